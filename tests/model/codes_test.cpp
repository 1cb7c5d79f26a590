#include "veltrix/model/codes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltrix::model {
namespace {

using Text = std::optional<std::string_view>;

// One code table seen through its helper, with the expectations written out
// independently of the implementation.
struct TableCase {
  std::string name;
  std::vector<std::string> codes;  // in enumeration order
  std::int64_t first = 0;
  std::string codeFallback;
  bool upperCases = true;  // false: the text must match exactly
  std::int64_t parseFallback = 0;
  std::function<std::string(std::int64_t)> toCode;
  std::function<std::int64_t(Text)> fromCode;
};

template <typename E>
TableCase table(std::string name, std::vector<std::string> codes, std::int64_t first,
                std::string codeFallback, bool upperCases, E parseFallback,
                std::string (*toCode)(E), E (*fromCode)(Text)) {
  TableCase c;
  c.name = std::move(name);
  c.codes = std::move(codes);
  c.first = first;
  c.codeFallback = std::move(codeFallback);
  c.upperCases = upperCases;
  c.parseFallback = static_cast<std::int64_t>(parseFallback);
  c.toCode = [toCode](std::int64_t v) { return toCode(static_cast<E>(v)); };
  c.fromCode = [fromCode](Text t) { return static_cast<std::int64_t>(fromCode(t)); };
  return c;
}

std::string lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

std::vector<TableCase> allTables() {
  constexpr bool U = true;
  constexpr bool X = false;
  return {
      table("TypeOfAmount", {"ACTL", "ESTM", "MAXI", "DFLT", "RPLT", "INCR", "DECR", "RESD"}, 0,
            "ACTL", U, TypeOfAmountCode::ACTL, &TypeOfAmountCodeHelper::stringFromCode,
            &TypeOfAmountCodeHelper::codeFromString),
      table("InformationQualify",
            {"CUSA", "DISP", "DOCT", "ERRO", "INPT", "POIR", "RCPT", "SOND", "STAT", "VCHR"}, 0,
            "DISP", U, InformationQualifyCode::DISP, &InformationQualifyCodeHelper::stringFromCode,
            &InformationQualifyCodeHelper::codeFromString),
      table("OutputFormat", {"BARC", "MENT", "MREF", "SREF", "TEXT", "HTML", "ESC"}, 0, "TEXT", U,
            OutputFormatCode::TEXT, &OutputFormatCodeHelper::stringFromCode,
            &OutputFormatCodeHelper::codeFromString),
      table("MsgCapabilityOutputFormat", {"MREF", "TEXT", "HTML"}, 0, "TEXT", U,
            MsgCapabilityOutputFormatCode::TEXT,
            &MsgCapabilityOutputFormatCodeHelper::stringFromCode,
            &MsgCapabilityOutputFormatCodeHelper::codeFromString),
      table("CardAccountType",
            {"CTDP", "CHCK", "CRDT", "CURR", "CDBT", "DFLT", "EPRS",  "HEQL", "ISTL",
             "INVS", "LCDT", "MBNW", "MNMK", "MNMC", "MTGL", "RTRM",  "RVLV", "SVNG",
             "STBD", "UVRL", "PRPD", "FLTC", "EBTC", "EBTF", "EBTCS", "EBTCW"},
            0, "DFLT", X, CardAccountTypeCode::DFLT, &CardAccountTypeCodeHelper::stringFromCode,
            &CardAccountTypeCodeHelper::codeFromString),
      table("PaymentInstrumentType", {"CARD", "CASH", "CHCK", "LOYT", "SVAC"}, 0, "CARD", U,
            PaymentInstrumentTypeCode::CARD, &PaymentInstrumentTypeCodeHelper::stringFromCode,
            &PaymentInstrumentTypeCodeHelper::codeFromString),
      table("InputCommand",
            {"DCSG", "DGSG", "GAKY", "GCNF", "GFKY", "GMNE", "PSWD", "SITE", "TXSG", "HTML", "SIGN",
             "IMGS"},
            0, "TXSG", U, InputCommandCode::TXSG, &InputCommandCodeHelper::stringFromCode,
            &InputCommandCodeHelper::codeFromString),
      table("RefusalReason",
            {"BLOCK_CARD",
             "INVALID_AMOUNT",
             "UNSUPPORTED_CURRENCY",
             "AMOUNT_BELOW_MINIMUM",
             "PAYMENT_METHOD_NOT_CONFIGURED",
             "UNSUPPORTED_SHOPPER_INTERACTION",
             "ACQUIRER_ERROR",
             "AID_BANNED",
             "ALWAYS_REFUSED",
             "DECLINED",
             "PIN_REQUIRED",
             "CVC_DECLINED",
             "CARD_EXPIRED",
             "ISSUER_SUSPECTED_FRAUD",
             "MOBILE_PIN_REQUIRED",
             "NOT_ENOUGH_BALANCE",
             "NOT_SUBMITTED",
             "NOT_SUPPORTED",
             "PIN_TRIES_EXCEEDED",
             "PIN_VALIDATION_NOT_POSSIBLE",
             "CONTACTLESS_FALLBACK",
             "TRANSACTION_NOT_PERMITTED",
             "WITHDRAWAL_COUNT_EXCEEDED",
             "WITHDRAWAL_AMOUNT_EXCEEDED"},
            0, "DECLINED", U, RefusalReasonCode::DECLINED, &RefusalReasonCodeHelper::stringFromCode,
            &RefusalReasonCodeHelper::codeFromString),
      table("RetailerResultDetail",
            {"ABRT", "BUSY", "CANC", "DEVO", "WPIN", "NHOS", "UNVS", "UNVD", "REFU", "PAYR", "TNFD",
             "NALW", "LOUT", "IVCA", "ICAR", "WIPG"},
            0, "REFU", U, RetailerResultDetailCode::REFU,
            &RetailerResultDetailCodeHelper::stringFromCode,
            &RetailerResultDetailCodeHelper::codeFromString),
      table("ReconciliationType", {"AREC", "ASYN", "PREC", "SREC"}, 0, "AREC", U,
            ReconciliationTypeCode::AREC, &ReconciliationTypeCodeHelper::stringFromCode,
            &ReconciliationTypeCodeHelper::codeFromString),
      table("Response", {"SUCC", "FAIL", "PART", "WARN"}, 0, "FAIL", U, ResponseCode::FAIL,
            &ResponseCodeHelper::stringFromCode, &ResponseCodeHelper::codeFromString),
      table("ReceiptOutputTarget",
            {"CDSP", "CRCP", "MDSP", "MRCP", "CRDO", "NOCRCP", "JNRL", "HRCP", "RPIN", "VCHR"}, 0,
            "MRCP", U, ReceiptOutputTargetCode::MRCP, &ReceiptOutputTargetHelper::stringFromCode,
            &ReceiptOutputTargetHelper::targetFromString),
      table("CardDataReading",
            {"TAGC", "PHYS", "BRCD", "MGST", "CICC", "DFLE", "CTLS", "ECTL", "CDFL", "SICC", "UNKW",
             "QRCD", "OPTC"},
            0, "UNKW", X, CardDataReadingCode::UNKW, &CardDataReadingCodeHelper::stringFromCode,
            &CardDataReadingCodeHelper::codeFromString),
      table("EventToNotify",
            {"ABRT", "MAIB", "CRDI", "COMP", "CRDR", "CUSL", "MAIE", "INIT", "KEYP", "MAIR", "OODR",
             "SADM", "SWUP", "SECA", "SHUT", "SASS", "DISC", "CNTN", "TNOK", "TNKO", "CDIS", "ASEL",
             "CREA", "CRDS", "CREM", "UCAN", "ONPR", "ONAP", "ONDE", "CSIG", "MCAE", "PINE"},
            0, "INIT", U, EventToNotifyCode::INIT, &EventToNotifyCodeHelper::stringFromCode,
            &EventToNotifyCodeHelper::codeFromString),
      table("TypeTransactionTotals", {"CRDT", "CRDR", "DEBT", "DBTR", "DECL", "FAIL", "RESV"}, 0,
            "DEBT", U, TypeTransactionTotalsCode::DEBT,
            &TypeTransactionTotalsCodeHelper::stringFromCode,
            &TypeTransactionTotalsCodeHelper::codeFromString),
      table("TransactionType",
            {"SCDP", "QRCP", "CSHP", "HCEP", "CRDP", "RFND", "SCDR", "PCDR", "CSHB", "RESA", "SCPP",
             "PCPP", "CACT", "CASH_RFND"},
            1, "Unknown", X, TransactionTypeCode::RESA,
            &TransactionTypeHelper::stringFromTransactionType,
            &TransactionTypeHelper::transactionTypeFromString),
      table("UnitOfMeasure",
            {"PIEC", "TONS", "FOOT", "GBGA", "USGA", "GRAM", "INCH", "KILO", "PUND", "METR", "CMET",
             "MMET", "LITR", "CELI", "MILI", "GBOU", "USOU"},
            0, "Unknown", U, UnitOfMeasureCode::PIEC, &UnitOfMeasureCodeHelper::stringFromCode,
            &UnitOfMeasureCodeHelper::codeFromString),
      table("AttendanceContext", {"ATTD", "SATT", "UATT"}, 0, "Unknown", U,
            AttendanceContextCode::ATTD, &AttendanceContextCodeHelper::stringFromCode,
            &AttendanceContextCodeHelper::codeFromString),
  };
}

class CodeTableTest : public ::testing::TestWithParam<TableCase> {};

TEST_P(CodeTableTest, EveryValueHasItsCodeAndEveryCodeItsValue) {
  const TableCase& t = GetParam();
  for (std::size_t i = 0; i < t.codes.size(); ++i) {
    const std::int64_t value = t.first + static_cast<std::int64_t>(i);
    EXPECT_EQ(t.toCode(value), t.codes[i]) << value;
    EXPECT_EQ(t.fromCode(t.codes[i]), value) << t.codes[i];
  }
}

TEST_P(CodeTableTest, ValuesOutsideTheTableGiveTheCodeFallback) {
  const TableCase& t = GetParam();
  const std::int64_t past = t.first + static_cast<std::int64_t>(t.codes.size());
  for (std::int64_t v : {t.first - 1, past, past + 1000, std::numeric_limits<std::int64_t>::min(),
                         std::numeric_limits<std::int64_t>::max()}) {
    EXPECT_EQ(t.toCode(v), t.codeFallback) << v;
  }
}

TEST_P(CodeTableTest, TextsThatAreNoCodeGiveTheParseFallback) {
  const TableCase& t = GetParam();
  for (Text text : {Text{}, Text{""}, Text{"NOPE"}, Text{"Unknown"},
                    Text{"ZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZ"}}) {
    EXPECT_EQ(t.fromCode(text), t.parseFallback) << text.value_or("(absent)");
  }
  // Blanks are not trimmed on either side.
  for (const std::string& code : t.codes) {
    EXPECT_EQ(t.fromCode(" " + code), t.parseFallback);
    EXPECT_EQ(t.fromCode(code + " "), t.parseFallback);
  }
}

TEST_P(CodeTableTest, LowerCaseMatchesOnlyWhereTheTableUpperCases) {
  const TableCase& t = GetParam();
  for (std::size_t i = 0; i < t.codes.size(); ++i) {
    const std::int64_t value = t.first + static_cast<std::int64_t>(i);
    const std::int64_t expected = t.upperCases ? value : t.parseFallback;
    EXPECT_EQ(t.fromCode(lower(t.codes[i])), expected) << lower(t.codes[i]);
  }
}

INSTANTIATE_TEST_SUITE_P(AllTables, CodeTableTest, ::testing::ValuesIn(allTables()),
                         [](const auto& info) { return info.param.name; });

TEST(CodeTables, UpperCasingIsAsciiOnly) {
  // Upper-casing is ASCII only and leaves every other byte alone.
  EXPECT_EQ(ResponseCodeHelper::codeFromString("SUCC\xC3\xA9"), ResponseCode::FAIL);
  EXPECT_EQ(ResponseCodeHelper::codeFromString(std::string_view("SUCC\0", 5)), ResponseCode::FAIL);
  EXPECT_EQ(ResponseCodeHelper::codeFromString("sUcC"), ResponseCode::SUCC);
  // Letters whose Unicode upper case is ASCII, and look-alikes, are no codes.
  EXPECT_EQ(ResponseCodeHelper::codeFromString("\u017F\u017FCC"), ResponseCode::FAIL);
  EXPECT_EQ(ResponseCodeHelper::codeFromString("\u0405UCC"), ResponseCode::FAIL);
  EXPECT_EQ(EventToNotifyCodeHelper::codeFromString("\u0131n\u0131t"), EventToNotifyCode::INIT);
  EXPECT_EQ(EventToNotifyCodeHelper::codeFromString("cRD\u0131"), EventToNotifyCode::INIT);
  EXPECT_EQ(EventToNotifyCodeHelper::codeFromString("crdi"), EventToNotifyCode::CRDI);
  EXPECT_EQ(OutputFormatCodeHelper::codeFromString("esc"), OutputFormatCode::ESC);
  EXPECT_EQ(ReceiptOutputTargetHelper::targetFromString("nocrcp"), ReceiptOutputTargetCode::NOCRCP);
}

TEST(CodeTables, AcceptsEveryKindOfCallerText) {
  const std::optional<std::string> absent;
  const std::optional<std::string> present = "CASH_RFND";
  const std::string owned = "WARN";
  EXPECT_EQ(TransactionTypeHelper::transactionTypeFromString(absent), TransactionTypeCode::RESA);
  EXPECT_EQ(TransactionTypeHelper::transactionTypeFromString(present),
            TransactionTypeCode::CASH_RFND);
  EXPECT_EQ(ResponseCodeHelper::codeFromString(owned), ResponseCode::WARN);
  EXPECT_EQ(ResponseCodeHelper::codeFromString(std::nullopt), ResponseCode::FAIL);
}

TEST(CodeTables, CallerChosenFallbacks) {
  EXPECT_EQ(UnitOfMeasureCodeHelper::codeFromString(std::nullopt, UnitOfMeasureCode::LITR),
            UnitOfMeasureCode::LITR);
  EXPECT_EQ(UnitOfMeasureCodeHelper::codeFromString("", UnitOfMeasureCode::KILO),
            UnitOfMeasureCode::KILO);
  EXPECT_EQ(UnitOfMeasureCodeHelper::codeFromString("BAG", static_cast<UnitOfMeasureCode>(-7)),
            static_cast<UnitOfMeasureCode>(-7));
  EXPECT_EQ(UnitOfMeasureCodeHelper::codeFromString("usou", UnitOfMeasureCode::LITR),
            UnitOfMeasureCode::USOU);
  EXPECT_EQ(AttendanceContextCodeHelper::codeFromString("NONE", AttendanceContextCode::UATT),
            AttendanceContextCode::UATT);
  EXPECT_EQ(AttendanceContextCodeHelper::codeFromString("satt", AttendanceContextCode::UATT),
            AttendanceContextCode::SATT);
}

TEST(CodeTables, CodeFromIntegerKeepsValuesOfTheTableOnly) {
  EXPECT_EQ(CardAccountTypeCodeHelper::codeFromInteger(25), CardAccountTypeCode::EBTCW);
  EXPECT_EQ(CardAccountTypeCodeHelper::codeFromInteger(26), CardAccountTypeCode::DFLT);
  EXPECT_EQ(CardAccountTypeCodeHelper::codeFromInteger(-1), CardAccountTypeCode::DFLT);
  EXPECT_EQ(CardDataReadingCodeHelper::codeFromInteger(12), CardDataReadingCode::OPTC);
  EXPECT_EQ(CardDataReadingCodeHelper::codeFromInteger(0), CardDataReadingCode::TAGC);
  EXPECT_EQ(CardDataReadingCodeHelper::codeFromInteger(13), CardDataReadingCode::UNKW);
  EXPECT_EQ(CardDataReadingCodeHelper::codeFromInteger(-1), CardDataReadingCode::UNKW);
  EXPECT_EQ(RetailerResultDetailCodeHelper::codeFromInteger(15), RetailerResultDetailCode::WIPG);
  EXPECT_EQ(RetailerResultDetailCodeHelper::codeFromInteger(16), RetailerResultDetailCode::REFU);
  EXPECT_EQ(ResponseCodeHelper::codeFromInteger(3), ResponseCode::WARN);
  EXPECT_EQ(ResponseCodeHelper::codeFromInteger(7), ResponseCode::FAIL);
  EXPECT_EQ(ResponseCodeHelper::codeFromInteger(std::numeric_limits<std::int64_t>::min()),
            ResponseCode::FAIL);
}

TEST(CodeTables, AllCodesListsEveryValueInOrder) {
  using RD = RetailerResultDetailCode;
  EXPECT_EQ(ResponseCodeHelper::allCodes(),
            (std::vector<ResponseCode>{ResponseCode::SUCC, ResponseCode::FAIL, ResponseCode::PART,
                                       ResponseCode::WARN}));
  const auto& details = RetailerResultDetailCodeHelper::allCodes();
  ASSERT_EQ(details.size(), 16u);
  EXPECT_EQ(details.front(), RD::ABRT);
  EXPECT_EQ(details.back(), RD::WIPG);
  const auto& modes = CardDataReadingCodeHelper::allCodes();
  ASSERT_EQ(modes.size(), 13u);
  for (std::size_t i = 0; i < modes.size(); ++i) {
    EXPECT_EQ(static_cast<std::int64_t>(modes[i]), static_cast<std::int64_t>(i));
  }
}

TEST(ResponseCodes, NamesTextsAndPredicates) {
  struct Row {
    std::int64_t value;
    const char* name;
    const char* description;
    bool success, failure, partial, additional, final;
  };
  const std::vector<Row> rows = {
      {0, "Success",
       "Processing OK. Information related to the result of the processing is contained in other "
       "parts of the response message.",
       true, false, false, false, true},
      {1, "Failure",
       "Processing of the request fails for various reasons. Some further processing according to "
       "the type of requested service, the context of the process, and some additional precision "
       "about the failure notified in the ErrorCondition data element.",
       false, true, false, false, true},
      {2, "Partial Approved", "Service has been partially provided.", false, false, true, false,
       false},
      {3, "Warning",
       "An additional Response Code, mainly a functional one, should be considered to identify the "
       "outcome of the request.",
       false, false, false, true, false},
      {4, "Unknown", "Unknown response code", false, false, false, false, false},
      {-1, "Unknown", "Unknown response code", false, false, false, false, false},
  };
  for (const Row& r : rows) {
    const auto code = static_cast<ResponseCode>(r.value);
    SCOPED_TRACE(r.value);
    EXPECT_EQ(ResponseCodeHelper::displayNameForCode(code), r.name);
    EXPECT_EQ(ResponseCodeHelper::descriptionForCode(code), r.description);
    EXPECT_EQ(ResponseCodeHelper::isSuccess(code), r.success);
    EXPECT_EQ(ResponseCodeHelper::isFailure(code), r.failure);
    EXPECT_EQ(ResponseCodeHelper::isPartialApproved(code), r.partial);
    EXPECT_EQ(ResponseCodeHelper::requiresAdditionalHandling(code), r.additional);
    EXPECT_EQ(ResponseCodeHelper::isFinalState(code), r.final);
  }
}

TEST(ErrorConditions, NamesTextsPredicatesAndCategories) {
  struct Row {
    std::int64_t value;
    const char* name;
    const char* description;
    const char* predicates;  // one letter per true predicate: U S N C T R P
    const char* category;
  };
  const std::vector<Row> rows = {
      {0, "Aborted",
       "The Initiator of the request has sent an Abort message request, which was accepted and "
       "processed.",
       "U", "UserCancelled"},
      {1, "System Busy", "The system is busy, try later.", "NR", "NetworkOrHostError"},
      {2, "Cancelled",
       "The user has aborted the transaction on the PED keyboard, for instance during PIN "
       "entering.",
       "U", "UserCancelled"},
      {3, "Device Out of Order", "Device out of order.", "S", "SystemOrDeviceError"},
      {4, "Wrong PIN",
       "The user has entered the PIN on the PED keyboard and the verification fails.", "C",
       "CardRelatedError"},
      {5, "Host Unreachable",
       "Acquirer or any host is unreachable or has not answered to an online request, so is "
       "considered as temporary unavailable. Depending on the Sale context, the request could be "
       "repeated (to be compared with 'Refusal').",
       "NR", "NetworkOrHostError"},
      {6, "Service Unavailable",
       "The service is not available (not implemented, not configured, protocol version too "
       "old...).",
       "S", "SystemOrDeviceError"},
      {7, "Device Unavailable", "The hardware is not available (absent, not configured...).", "S",
       "SystemOrDeviceError"},
      {8, "Transaction Refused",
       "The transaction is refused by the host or by the local rules associated to the card or "
       "the POI.",
       "T", "TransactionRefused"},
      {9, "Payment Restriction",
       "Some sale items are not payable by the card proposed by the Customer.", "T",
       "TransactionRefused"},
      {10, "Transaction Not Found",
       "The transaction is not found (e.g. for a reversal or a repeat).", "R", "Retryable"},
      {11, "Not Allowed",
       "A service request is sent during a Service dialogue. A combination of services not "
       "possible to provide. During the DeviceInitialisationCardReader message processing, the "
       "user has entered a card which has to be protected by the POI, and cannot be processed "
       "with this device request from the external, and then the Sale System.",
       "S", "SystemOrDeviceError"},
      {12, "Logged Out", "Not logged in.", "S", "SystemOrDeviceError"},
      {13, "Invalid Card",
       "The card entered by the Customer cannot be processed by the POI because this card is not "
       "configured in the system.",
       "C", "CardRelatedError"},
      {14, "Card Inserted",
       "If the Input Device request a NotifyCardInputFlag and the Customer enters a card in the "
       "card reader without answers to the Input command, the POI abort the Input command "
       "processing, and answer a dedicated ErrorCondition value in the Input response message.",
       "C", "CardRelatedError"},
      {15, "In Progress",
       "The transaction is still in progress and then the command cannot be processed.", "P",
       "TemporaryState"},
      {16, "Unknown", "Unknown error code", "", "Unknown"},
      {-1, "Unknown", "Unknown error code", "", "Unknown"},
  };
  using H = RetailerResultDetailCodeHelper;
  for (const Row& r : rows) {
    const auto code = static_cast<RetailerResultDetailCode>(r.value);
    const std::string p = r.predicates;
    auto has = [&p](char c) { return p.find(c) != std::string::npos; };
    SCOPED_TRACE(r.value);
    EXPECT_EQ(H::displayNameForCode(code), r.name);
    EXPECT_EQ(H::descriptionForCode(code), r.description);
    EXPECT_EQ(H::isUserCancelled(code), has('U'));
    EXPECT_EQ(H::isSystemOrDeviceError(code), has('S'));
    EXPECT_EQ(H::isNetworkOrHostError(code), has('N'));
    EXPECT_EQ(H::isCardRelatedError(code), has('C'));
    EXPECT_EQ(H::isTransactionRefused(code), has('T'));
    EXPECT_EQ(H::isRetryable(code), has('R'));
    EXPECT_EQ(H::isTemporaryState(code), has('P'));
    EXPECT_EQ(H::errorCategoryForCode(code), r.category);
  }
}

TEST(AccountTypes, NamesAndTexts) {
  const std::vector<std::pair<const char*, const char*>> rows = {
      {"Certificate of Deposit", "Certificate of deposit saving account"},
      {"Checking", "Checking account"},
      {"Credit Card", "Credit card account"},
      {"Current", "Current account"},
      {"Debit Card", "Debit card account"},
      {"Default", "Default account"},
      {"Electronic Purse", "Electronic purse card account"},
      {"Home Equity Loan", "Home equity loan credit account"},
      {"Instalment Loan", "Instalment loan credit account"},
      {"Investment", "Investment account"},
      {"Line of Credit", "Line of credit account"},
      {"Mobile Phone Account",
       "Mobile Station Integrated Services Digital Network: Number (MSISDN)"},
      {"Money Market Savings", "Money market saving account"},
      {"Money Market Checking", "Money market checking account"},
      {"Mortgage Loan", "Mortgage loan credit account"},
      {"Retirement", "Retirement account"},
      {"Revolving Loan", "Revolving loan account"},
      {"Savings", "Savings account"},
      {"Stock or Bond", "Stock or bond investment account"},
      {"Universal", "Universal account"},
      {"Pre-paid", "Pre-paid account"},
      {"Fleet Card", "Fleet card account"},
      {"EBT Cash", "EBT Cash card"},
      {"EBT Food", "EBT food card"},
      {"EBT Cash (Sale)", "EBT cash card (sale)"},
      {"EBT Cash (Withdrawal)", "EBT Cash Withdrawal - EBT cash card (withdrawal)"},
  };
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto code = static_cast<CardAccountTypeCode>(i);
    EXPECT_EQ(CardAccountTypeCodeHelper::displayNameForCode(code), rows[i].first) << i;
    EXPECT_EQ(CardAccountTypeCodeHelper::descriptionForCode(code), rows[i].second) << i;
  }
  for (std::int64_t v : {-1, 26}) {
    const auto code = static_cast<CardAccountTypeCode>(v);
    EXPECT_EQ(CardAccountTypeCodeHelper::displayNameForCode(code), "Unknown");
    EXPECT_EQ(CardAccountTypeCodeHelper::descriptionForCode(code), "Unknown");
  }
}

TEST(EntryModes, Names) {
  const std::vector<const char*> names = {
      "RFID Tag",           "Physical Entry",  "Bar Code",
      "Magnetic Stripe",    "Contact ICC",     "Account Data on File",
      "Contactless Reader", "EMV Contactless", "Card on File",
      "Synchronous ICC",    "Unknown",         "QR Code",
      "Optical Code",
  };
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(CardDataReadingCodeHelper::displayNameForCode(static_cast<CardDataReadingCode>(i)),
              names[i])
        << i;
  }
  EXPECT_EQ(CardDataReadingCodeHelper::displayNameForCode(static_cast<CardDataReadingCode>(13)),
            "Unknown");
  EXPECT_EQ(CardDataReadingCodeHelper::displayNameForCode(static_cast<CardDataReadingCode>(-1)),
            "Unknown");
}

}  // namespace
}  // namespace veltrix::model
