#include "veltrix/model/codes.h"

#include <array>
#include <string_view>

#include "veltrix/model/code_table.h"

namespace veltrix::model {
namespace {

using R = ParseRule;
using sv = std::string_view;

constexpr CodeTable<TypeOfAmountCode, 8> kTypeOfAmount{
    {"ACTL", "ESTM", "MAXI", "DFLT", "RPLT", "INCR", "DECR", "RESD"},
    0,
    "ACTL",
    R::kUpperCase,
    TypeOfAmountCode::ACTL};

constexpr CodeTable<InformationQualifyCode, 10> kInformationQualify{
    {"CUSA", "DISP", "DOCT", "ERRO", "INPT", "POIR", "RCPT", "SOND", "STAT", "VCHR"},
    0,
    "DISP",
    R::kUpperCase,
    InformationQualifyCode::DISP};

constexpr CodeTable<OutputFormatCode, 7> kOutputFormat{
    {"BARC", "MENT", "MREF", "SREF", "TEXT", "HTML", "ESC"},
    0,
    "TEXT",
    R::kUpperCase,
    OutputFormatCode::TEXT};

constexpr CodeTable<MsgCapabilityOutputFormatCode, 3> kMsgCapabilityOutputFormat{
    {"MREF", "TEXT", "HTML"}, 0, "TEXT", R::kUpperCase, MsgCapabilityOutputFormatCode::TEXT};

constexpr CodeTable<CardAccountTypeCode, 26> kCardAccountType{
    {"CTDP", "CHCK", "CRDT", "CURR", "CDBT", "DFLT", "EPRS",  "HEQL", "ISTL",
     "INVS", "LCDT", "MBNW", "MNMK", "MNMC", "MTGL", "RTRM",  "RVLV", "SVNG",
     "STBD", "UVRL", "PRPD", "FLTC", "EBTC", "EBTF", "EBTCS", "EBTCW"},
    0,
    "DFLT",
    R::kExact,
    CardAccountTypeCode::DFLT};

constexpr CodeTable<PaymentInstrumentTypeCode, 5> kPaymentInstrumentType{
    {"CARD", "CASH", "CHCK", "LOYT", "SVAC"},
    0,
    "CARD",
    R::kUpperCase,
    PaymentInstrumentTypeCode::CARD};

constexpr CodeTable<InputCommandCode, 12> kInputCommand{
    {"DCSG", "DGSG", "GAKY", "GCNF", "GFKY", "GMNE", "PSWD", "SITE", "TXSG", "HTML", "SIGN",
     "IMGS"},
    0,
    "TXSG",
    R::kUpperCase,
    InputCommandCode::TXSG};

constexpr CodeTable<RefusalReasonCode, 24> kRefusalReason{{"BLOCK_CARD",
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
                                                          0,
                                                          "DECLINED",
                                                          R::kUpperCase,
                                                          RefusalReasonCode::DECLINED};

constexpr CodeTable<RetailerResultDetailCode, 16> kRetailerResultDetail{
    {"ABRT", "BUSY", "CANC", "DEVO", "WPIN", "NHOS", "UNVS", "UNVD", "REFU", "PAYR", "TNFD", "NALW",
     "LOUT", "IVCA", "ICAR", "WIPG"},
    0,
    "REFU",
    R::kUpperCase,
    RetailerResultDetailCode::REFU};

constexpr CodeTable<ReconciliationTypeCode, 4> kReconciliationType{
    {"AREC", "ASYN", "PREC", "SREC"}, 0, "AREC", R::kUpperCase, ReconciliationTypeCode::AREC};

constexpr CodeTable<ResponseCode, 4> kResponse{
    {"SUCC", "FAIL", "PART", "WARN"}, 0, "FAIL", R::kUpperCase, ResponseCode::FAIL};

constexpr CodeTable<ReceiptOutputTargetCode, 10> kReceiptOutputTarget{
    {"CDSP", "CRCP", "MDSP", "MRCP", "CRDO", "NOCRCP", "JNRL", "HRCP", "RPIN", "VCHR"},
    0,
    "MRCP",
    R::kUpperCase,
    ReceiptOutputTargetCode::MRCP};

constexpr CodeTable<CardDataReadingCode, 13> kCardDataReading{
    {"TAGC", "PHYS", "BRCD", "MGST", "CICC", "DFLE", "CTLS", "ECTL", "CDFL", "SICC", "UNKW", "QRCD",
     "OPTC"},
    0,
    "UNKW",
    R::kExact,
    CardDataReadingCode::UNKW};

constexpr CodeTable<EventToNotifyCode, 32> kEventToNotify{
    {"ABRT", "MAIB", "CRDI", "COMP", "CRDR", "CUSL", "MAIE", "INIT", "KEYP", "MAIR", "OODR",
     "SADM", "SWUP", "SECA", "SHUT", "SASS", "DISC", "CNTN", "TNOK", "TNKO", "CDIS", "ASEL",
     "CREA", "CRDS", "CREM", "UCAN", "ONPR", "ONAP", "ONDE", "CSIG", "MCAE", "PINE"},
    0,
    "INIT",
    R::kUpperCase,
    EventToNotifyCode::INIT};

constexpr CodeTable<TypeTransactionTotalsCode, 7> kTypeTransactionTotals{
    {"CRDT", "CRDR", "DEBT", "DBTR", "DECL", "FAIL", "RESV"},
    0,
    "DEBT",
    R::kUpperCase,
    TypeTransactionTotalsCode::DEBT};

constexpr CodeTable<TransactionTypeCode, 14> kTransactionType{
    {"SCDP", "QRCP", "CSHP", "HCEP", "CRDP", "RFND", "SCDR", "PCDR", "CSHB", "RESA", "SCPP", "PCPP",
     "CACT", "CASH_RFND"},
    1,
    "Unknown",
    R::kExact,
    TransactionTypeCode::RESA};

constexpr CodeTable<UnitOfMeasureCode, 17> kUnitOfMeasure{
    {"PIEC", "TONS", "FOOT", "GBGA", "USGA", "GRAM", "INCH", "KILO", "PUND", "METR", "CMET", "MMET",
     "LITR", "CELI", "MILI", "GBOU", "USOU"},
    0,
    "Unknown",
    R::kUpperCase,
    UnitOfMeasureCode::PIEC};

constexpr CodeTable<AttendanceContextCode, 3> kAttendanceContext{
    {"ATTD", "SATT", "UATT"}, 0, "Unknown", R::kUpperCase, AttendanceContextCode::ATTD};

static_assert(kTypeOfAmount.wellFormed() && kInformationQualify.wellFormed() &&
              kOutputFormat.wellFormed() && kMsgCapabilityOutputFormat.wellFormed() &&
              kCardAccountType.wellFormed() && kPaymentInstrumentType.wellFormed() &&
              kInputCommand.wellFormed() && kRefusalReason.wellFormed() &&
              kRetailerResultDetail.wellFormed() && kReconciliationType.wellFormed() &&
              kResponse.wellFormed() && kReceiptOutputTarget.wellFormed() &&
              kCardDataReading.wellFormed() && kEventToNotify.wellFormed() &&
              kTypeTransactionTotals.wellFormed() && kTransactionType.wellFormed() &&
              kUnitOfMeasure.wellFormed() && kAttendanceContext.wellFormed());
// The last enumerator of each enumeration lines up with the last code.
static_assert(kCardAccountType.contains(CardAccountTypeCode::EBTCW) &&
              !kCardAccountType.contains(static_cast<std::int64_t>(CardAccountTypeCode::EBTCW) +
                                         1));
static_assert(kTransactionType.codeView(TransactionTypeCode::CASH_RFND) == "CASH_RFND");
static_assert(kEventToNotify.codeView(EventToNotifyCode::PINE) == "PINE");
static_assert(kRefusalReason.codeView(RefusalReasonCode::WITHDRAWAL_AMOUNT_EXCEEDED) ==
              "WITHDRAWAL_AMOUNT_EXCEEDED");
static_assert(kUnitOfMeasure.codeView(UnitOfMeasureCode::USOU) == "USOU");
static_assert(kCardDataReading.codeView(CardDataReadingCode::OPTC) == "OPTC");
static_assert(kRetailerResultDetail.codeView(RetailerResultDetailCode::WIPG) == "WIPG");
static_assert(kInputCommand.codeView(InputCommandCode::IMGS) == "IMGS");
static_assert(kInformationQualify.codeView(InformationQualifyCode::VCHR) == "VCHR");
static_assert(kReceiptOutputTarget.codeView(ReceiptOutputTargetCode::VCHR) == "VCHR");

// A text per value of a table, else `fallback`.
template <typename E, std::size_t N>
std::string textFor(const std::array<sv, N>& texts, E code, sv fallback) {
  const auto v = static_cast<std::int64_t>(code);
  return std::string(v >= 0 && v < static_cast<std::int64_t>(N) ? texts[static_cast<std::size_t>(v)]
                                                                : fallback);
}

constexpr std::array<sv, 26> kAccountNames{
    "Certificate of Deposit",
    "Checking",
    "Credit Card",
    "Current",
    "Debit Card",
    "Default",
    "Electronic Purse",
    "Home Equity Loan",
    "Instalment Loan",
    "Investment",
    "Line of Credit",
    "Mobile Phone Account",
    "Money Market Savings",
    "Money Market Checking",
    "Mortgage Loan",
    "Retirement",
    "Revolving Loan",
    "Savings",
    "Stock or Bond",
    "Universal",
    "Pre-paid",
    "Fleet Card",
    "EBT Cash",
    "EBT Food",
    "EBT Cash (Sale)",
    "EBT Cash (Withdrawal)",
};

constexpr std::array<sv, 26> kAccountDescriptions{
    "Certificate of deposit saving account",
    "Checking account",
    "Credit card account",
    "Current account",
    "Debit card account",
    "Default account",
    "Electronic purse card account",
    "Home equity loan credit account",
    "Instalment loan credit account",
    "Investment account",
    "Line of credit account",
    "Mobile Station Integrated Services Digital Network: Number (MSISDN)",
    "Money market saving account",
    "Money market checking account",
    "Mortgage loan credit account",
    "Retirement account",
    "Revolving loan account",
    "Savings account",
    "Stock or bond investment account",
    "Universal account",
    "Pre-paid account",
    "Fleet card account",
    "EBT Cash card",
    "EBT food card",
    "EBT cash card (sale)",
    "EBT Cash Withdrawal - EBT cash card (withdrawal)",
};

constexpr std::array<sv, 13> kEntryModeNames{
    "RFID Tag",           "Physical Entry",  "Bar Code",
    "Magnetic Stripe",    "Contact ICC",     "Account Data on File",
    "Contactless Reader", "EMV Contactless", "Card on File",
    "Synchronous ICC",    "Unknown",         "QR Code",
    "Optical Code",
};

constexpr std::array<sv, 16> kErrorNames{
    "Aborted",
    "System Busy",
    "Cancelled",
    "Device Out of Order",
    "Wrong PIN",
    "Host Unreachable",
    "Service Unavailable",
    "Device Unavailable",
    "Transaction Refused",
    "Payment Restriction",
    "Transaction Not Found",
    "Not Allowed",
    "Logged Out",
    "Invalid Card",
    "Card Inserted",
    "In Progress",
};

constexpr std::array<sv, 16> kErrorDescriptions{
    "The Initiator of the request has sent an Abort message request, which was accepted and "
    "processed.",
    "The system is busy, try later.",
    "The user has aborted the transaction on the PED keyboard, for instance during PIN entering.",
    "Device out of order.",
    "The user has entered the PIN on the PED keyboard and the verification fails.",
    "Acquirer or any host is unreachable or has not answered to an online request, so is "
    "considered as temporary unavailable. Depending on the Sale context, the request could be "
    "repeated (to be compared with 'Refusal').",
    "The service is not available (not implemented, not configured, protocol version too "
    "old...).",
    "The hardware is not available (absent, not configured...).",
    "The transaction is refused by the host or by the local rules associated to the card or the "
    "POI.",
    "Some sale items are not payable by the card proposed by the Customer.",
    "The transaction is not found (e.g. for a reversal or a repeat).",
    "A service request is sent during a Service dialogue. A combination of services not possible "
    "to provide. During the DeviceInitialisationCardReader message processing, the user has "
    "entered a card which has to be protected by the POI, and cannot be processed with this "
    "device request from the external, and then the Sale System.",
    "Not logged in.",
    "The card entered by the Customer cannot be processed by the POI because this card is not "
    "configured in the system.",
    "If the Input Device request a NotifyCardInputFlag and the Customer enters a card in the card "
    "reader without answers to the Input command, the POI abort the Input command processing, "
    "and answer a dedicated ErrorCondition value in the Input response message.",
    "The transaction is still in progress and then the command cannot be processed.",
};

constexpr std::array<sv, 4> kResponseNames{"Success", "Failure", "Partial Approved", "Warning"};

constexpr std::array<sv, 4> kResponseDescriptions{
    "Processing OK. Information related to the result of the processing is contained in other "
    "parts of the response message.",
    "Processing of the request fails for various reasons. Some further processing according to "
    "the type of requested service, the context of the process, and some additional precision "
    "about the failure notified in the ErrorCondition data element.",
    "Service has been partially provided.",
    "An additional Response Code, mainly a functional one, should be considered to identify the "
    "outcome of the request.",
};

constexpr sv kUnknown = "Unknown";

}  // namespace

// --- TypeOfAmountCodeHelper -------------------------------------------------

std::string TypeOfAmountCodeHelper::stringFromCode(TypeOfAmountCode code) {
  return kTypeOfAmount.code(code);
}
TypeOfAmountCode TypeOfAmountCodeHelper::codeFromString(std::optional<std::string_view> text) {
  return kTypeOfAmount.parse(text);
}

// --- InformationQualifyCodeHelper -------------------------------------------

std::string InformationQualifyCodeHelper::stringFromCode(InformationQualifyCode code) {
  return kInformationQualify.code(code);
}
InformationQualifyCode InformationQualifyCodeHelper::codeFromString(
    std::optional<std::string_view> text) {
  return kInformationQualify.parse(text);
}

// --- OutputFormatCodeHelper -------------------------------------------------

std::string OutputFormatCodeHelper::stringFromCode(OutputFormatCode code) {
  return kOutputFormat.code(code);
}
OutputFormatCode OutputFormatCodeHelper::codeFromString(std::optional<std::string_view> text) {
  return kOutputFormat.parse(text);
}

// --- MsgCapabilityOutputFormatCodeHelper ------------------------------------

std::string MsgCapabilityOutputFormatCodeHelper::stringFromCode(
    MsgCapabilityOutputFormatCode code) {
  return kMsgCapabilityOutputFormat.code(code);
}
MsgCapabilityOutputFormatCode MsgCapabilityOutputFormatCodeHelper::codeFromString(
    std::optional<std::string_view> text) {
  return kMsgCapabilityOutputFormat.parse(text);
}

// --- CardAccountTypeCodeHelper ----------------------------------------------

std::string CardAccountTypeCodeHelper::stringFromCode(CardAccountTypeCode code) {
  return kCardAccountType.code(code);
}
CardAccountTypeCode CardAccountTypeCodeHelper::codeFromString(
    std::optional<std::string_view> text) {
  return kCardAccountType.parse(text);
}
CardAccountTypeCode CardAccountTypeCodeHelper::codeFromInteger(std::int64_t value) {
  return kCardAccountType.clean(value);
}
std::string CardAccountTypeCodeHelper::displayNameForCode(CardAccountTypeCode code) {
  return textFor(kAccountNames, code, kUnknown);
}
std::string CardAccountTypeCodeHelper::descriptionForCode(CardAccountTypeCode code) {
  return textFor(kAccountDescriptions, code, kUnknown);
}

// --- PaymentInstrumentTypeCodeHelper ----------------------------------------

std::string PaymentInstrumentTypeCodeHelper::stringFromCode(PaymentInstrumentTypeCode code) {
  return kPaymentInstrumentType.code(code);
}
PaymentInstrumentTypeCode PaymentInstrumentTypeCodeHelper::codeFromString(
    std::optional<std::string_view> text) {
  return kPaymentInstrumentType.parse(text);
}

// --- InputCommandCodeHelper -------------------------------------------------

std::string InputCommandCodeHelper::stringFromCode(InputCommandCode code) {
  return kInputCommand.code(code);
}
InputCommandCode InputCommandCodeHelper::codeFromString(std::optional<std::string_view> text) {
  return kInputCommand.parse(text);
}

// --- RefusalReasonCodeHelper ------------------------------------------------

std::string RefusalReasonCodeHelper::stringFromCode(RefusalReasonCode code) {
  return kRefusalReason.code(code);
}
RefusalReasonCode RefusalReasonCodeHelper::codeFromString(std::optional<std::string_view> text) {
  return kRefusalReason.parse(text);
}

// --- RetailerResultDetailCodeHelper -----------------------------------------

std::string RetailerResultDetailCodeHelper::stringFromCode(RetailerResultDetailCode code) {
  return kRetailerResultDetail.code(code);
}
RetailerResultDetailCode RetailerResultDetailCodeHelper::codeFromString(
    std::optional<std::string_view> text) {
  return kRetailerResultDetail.parse(text);
}
RetailerResultDetailCode RetailerResultDetailCodeHelper::codeFromInteger(std::int64_t value) {
  return kRetailerResultDetail.clean(value);
}
std::string RetailerResultDetailCodeHelper::displayNameForCode(RetailerResultDetailCode code) {
  return textFor(kErrorNames, code, kUnknown);
}
std::string RetailerResultDetailCodeHelper::descriptionForCode(RetailerResultDetailCode code) {
  return textFor(kErrorDescriptions, code, "Unknown error code");
}
const std::vector<RetailerResultDetailCode>& RetailerResultDetailCodeHelper::allCodes() {
  static const auto* all =
      new std::vector<RetailerResultDetailCode>(kRetailerResultDetail.values());
  return *all;
}

bool RetailerResultDetailCodeHelper::isUserCancelled(RetailerResultDetailCode code) {
  using C = RetailerResultDetailCode;
  return code == C::ABRT || code == C::CANC;
}
bool RetailerResultDetailCodeHelper::isSystemOrDeviceError(RetailerResultDetailCode code) {
  using C = RetailerResultDetailCode;
  return code == C::DEVO || code == C::UNVS || code == C::UNVD || code == C::NALW ||
         code == C::LOUT;
}
bool RetailerResultDetailCodeHelper::isNetworkOrHostError(RetailerResultDetailCode code) {
  using C = RetailerResultDetailCode;
  return code == C::BUSY || code == C::NHOS;
}
bool RetailerResultDetailCodeHelper::isCardRelatedError(RetailerResultDetailCode code) {
  using C = RetailerResultDetailCode;
  return code == C::WPIN || code == C::IVCA || code == C::ICAR;
}
bool RetailerResultDetailCodeHelper::isTransactionRefused(RetailerResultDetailCode code) {
  using C = RetailerResultDetailCode;
  return code == C::REFU || code == C::PAYR;
}
bool RetailerResultDetailCodeHelper::isRetryable(RetailerResultDetailCode code) {
  using C = RetailerResultDetailCode;
  return code == C::BUSY || code == C::NHOS || code == C::TNFD;
}
bool RetailerResultDetailCodeHelper::isTemporaryState(RetailerResultDetailCode code) {
  return code == RetailerResultDetailCode::WIPG;
}

std::string RetailerResultDetailCodeHelper::errorCategoryForCode(RetailerResultDetailCode code) {
  using Helper = RetailerResultDetailCodeHelper;
  struct Category {
    bool (*test)(RetailerResultDetailCode);
    sv name;
  };
  // Order matters: BUSY and NHOS are retryable too but report as network
  // errors.
  static constexpr std::array<Category, 7> kCategories{{
      {&Helper::isUserCancelled, "UserCancelled"},
      {&Helper::isSystemOrDeviceError, "SystemOrDeviceError"},
      {&Helper::isNetworkOrHostError, "NetworkOrHostError"},
      {&Helper::isCardRelatedError, "CardRelatedError"},
      {&Helper::isTransactionRefused, "TransactionRefused"},
      {&Helper::isRetryable, "Retryable"},
      {&Helper::isTemporaryState, "TemporaryState"},
  }};
  for (const auto& category : kCategories) {
    if (category.test(code)) return std::string(category.name);
  }
  return std::string(kUnknown);
}

// --- ReconciliationTypeCodeHelper -------------------------------------------

std::string ReconciliationTypeCodeHelper::stringFromCode(ReconciliationTypeCode code) {
  return kReconciliationType.code(code);
}
ReconciliationTypeCode ReconciliationTypeCodeHelper::codeFromString(
    std::optional<std::string_view> text) {
  return kReconciliationType.parse(text);
}

// --- ResponseCodeHelper -----------------------------------------------------

std::string ResponseCodeHelper::stringFromCode(ResponseCode code) { return kResponse.code(code); }
ResponseCode ResponseCodeHelper::codeFromString(std::optional<std::string_view> text) {
  return kResponse.parse(text);
}
ResponseCode ResponseCodeHelper::codeFromInteger(std::int64_t value) {
  return kResponse.clean(value);
}
std::string ResponseCodeHelper::displayNameForCode(ResponseCode code) {
  return textFor(kResponseNames, code, kUnknown);
}
std::string ResponseCodeHelper::descriptionForCode(ResponseCode code) {
  return textFor(kResponseDescriptions, code, "Unknown response code");
}
const std::vector<ResponseCode>& ResponseCodeHelper::allCodes() {
  static const auto* all = new std::vector<ResponseCode>(kResponse.values());
  return *all;
}
bool ResponseCodeHelper::isSuccess(ResponseCode code) { return code == ResponseCode::SUCC; }
bool ResponseCodeHelper::isFailure(ResponseCode code) { return code == ResponseCode::FAIL; }
bool ResponseCodeHelper::isPartialApproved(ResponseCode code) { return code == ResponseCode::PART; }
bool ResponseCodeHelper::requiresAdditionalHandling(ResponseCode code) {
  return code == ResponseCode::WARN;
}
bool ResponseCodeHelper::isFinalState(ResponseCode code) {
  return code == ResponseCode::SUCC || code == ResponseCode::FAIL;
}

// --- ReceiptOutputTargetHelper ----------------------------------------------

std::string ReceiptOutputTargetHelper::stringFromCode(ReceiptOutputTargetCode code) {
  return kReceiptOutputTarget.code(code);
}
ReceiptOutputTargetCode ReceiptOutputTargetHelper::targetFromString(
    std::optional<std::string_view> text) {
  return kReceiptOutputTarget.parse(text);
}

// --- CardDataReadingCodeHelper ----------------------------------------------

std::string CardDataReadingCodeHelper::stringFromCode(CardDataReadingCode code) {
  return kCardDataReading.code(code);
}
CardDataReadingCode CardDataReadingCodeHelper::codeFromString(
    std::optional<std::string_view> text) {
  return kCardDataReading.parse(text);
}
CardDataReadingCode CardDataReadingCodeHelper::codeFromInteger(std::int64_t value) {
  return kCardDataReading.clean(value);
}
std::string CardDataReadingCodeHelper::displayNameForCode(CardDataReadingCode code) {
  return textFor(kEntryModeNames, code, kUnknown);
}
const std::vector<CardDataReadingCode>& CardDataReadingCodeHelper::allCodes() {
  static const auto* all = new std::vector<CardDataReadingCode>(kCardDataReading.values());
  return *all;
}

// --- EventToNotifyCodeHelper ------------------------------------------------

std::string EventToNotifyCodeHelper::stringFromCode(EventToNotifyCode code) {
  return kEventToNotify.code(code);
}
EventToNotifyCode EventToNotifyCodeHelper::codeFromString(std::optional<std::string_view> text) {
  return kEventToNotify.parse(text);
}

// --- TypeTransactionTotalsCodeHelper ----------------------------------------

std::string TypeTransactionTotalsCodeHelper::stringFromCode(TypeTransactionTotalsCode code) {
  return kTypeTransactionTotals.code(code);
}
TypeTransactionTotalsCode TypeTransactionTotalsCodeHelper::codeFromString(
    std::optional<std::string_view> text) {
  return kTypeTransactionTotals.parse(text);
}

// --- TransactionTypeHelper --------------------------------------------------

std::string TransactionTypeHelper::stringFromTransactionType(TransactionTypeCode code) {
  return kTransactionType.code(code);
}
TransactionTypeCode TransactionTypeHelper::transactionTypeFromString(
    std::optional<std::string_view> text) {
  return kTransactionType.parse(text);
}

// --- UnitOfMeasureCodeHelper ------------------------------------------------

std::string UnitOfMeasureCodeHelper::stringFromCode(UnitOfMeasureCode code) {
  return kUnitOfMeasure.code(code);
}
UnitOfMeasureCode UnitOfMeasureCodeHelper::codeFromString(std::optional<std::string_view> text) {
  return kUnitOfMeasure.parse(text);
}
UnitOfMeasureCode UnitOfMeasureCodeHelper::codeFromString(std::optional<std::string_view> text,
                                                          UnitOfMeasureCode defaultValue) {
  return kUnitOfMeasure.parse(text, defaultValue);
}

// --- AttendanceContextCodeHelper --------------------------------------------

std::string AttendanceContextCodeHelper::stringFromCode(AttendanceContextCode code) {
  return kAttendanceContext.code(code);
}
AttendanceContextCode AttendanceContextCodeHelper::codeFromString(
    std::optional<std::string_view> text) {
  return kAttendanceContext.parse(text);
}
AttendanceContextCode AttendanceContextCodeHelper::codeFromString(
    std::optional<std::string_view> text, AttendanceContextCode defaultValue) {
  return kAttendanceContext.parse(text, defaultValue);
}

}  // namespace veltrix::model
