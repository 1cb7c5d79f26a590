// The coded values of the casp messages. Inside the library each is an
// integer enumeration whose value is the position of its wire code in its
// table (transaction types count from 1); on the wire it is a fixed code of
// capital letters. The helpers convert in both directions and never fail:
// each direction has a fixed fallback for values and texts outside the
// table. Enumerators are named by their codes. Values outside a table are
// legal enumeration values and survive a round trip through the model.
//
// Helpers are stateless structs of static functions over constant data,
// callable from any thread at once. Texts passed in may be absent
// (std::nullopt); an absent, empty or unknown text gives the fallback.
// Codes mean something only together with their table: "FAIL" is both
// ResponseCode::FAIL and TypeTransactionTotalsCode::FAIL.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltrix::model {

// ----------------------------------------------------------------------------
// Enumerations
// ----------------------------------------------------------------------------

enum class TypeOfAmountCode : std::int64_t { ACTL, ESTM, MAXI, DFLT, RPLT, INCR, DECR, RESD };

enum class InformationQualifyCode : std::int64_t {
  CUSA,
  DISP,
  DOCT,
  ERRO,
  INPT,
  POIR,
  RCPT,
  SOND,
  STAT,
  VCHR,
};

enum class OutputFormatCode : std::int64_t { BARC, MENT, MREF, SREF, TEXT, HTML, ESC };

enum class MsgCapabilityOutputFormatCode : std::int64_t { MREF, TEXT, HTML };

enum class CardAccountTypeCode : std::int64_t {
  CTDP,
  CHCK,
  CRDT,
  CURR,
  CDBT,
  DFLT,
  EPRS,
  HEQL,
  ISTL,
  INVS,
  LCDT,
  MBNW,
  MNMK,
  MNMC,
  MTGL,
  RTRM,
  RVLV,
  SVNG,
  STBD,
  UVRL,
  PRPD,
  FLTC,
  EBTC,
  EBTF,
  EBTCS,
  EBTCW,
};

enum class PaymentInstrumentTypeCode : std::int64_t { CARD, CASH, CHCK, LOYT, SVAC };

enum class InputCommandCode : std::int64_t {
  DCSG,
  DGSG,
  GAKY,
  GCNF,
  GFKY,
  GMNE,
  PSWD,
  SITE,
  TXSG,
  HTML,
  SIGN,
  IMGS,
};

enum class RefusalReasonCode : std::int64_t {
  BLOCK_CARD,
  INVALID_AMOUNT,
  UNSUPPORTED_CURRENCY,
  AMOUNT_BELOW_MINIMUM,
  PAYMENT_METHOD_NOT_CONFIGURED,
  UNSUPPORTED_SHOPPER_INTERACTION,
  ACQUIRER_ERROR,
  AID_BANNED,
  ALWAYS_REFUSED,
  DECLINED,
  PIN_REQUIRED,
  CVC_DECLINED,
  CARD_EXPIRED,
  ISSUER_SUSPECTED_FRAUD,
  MOBILE_PIN_REQUIRED,
  NOT_ENOUGH_BALANCE,
  NOT_SUBMITTED,
  NOT_SUPPORTED,
  PIN_TRIES_EXCEEDED,
  PIN_VALIDATION_NOT_POSSIBLE,
  CONTACTLESS_FALLBACK,
  TRANSACTION_NOT_PERMITTED,
  WITHDRAWAL_COUNT_EXCEEDED,
  WITHDRAWAL_AMOUNT_EXCEEDED,
};

// The error condition of a response.
enum class RetailerResultDetailCode : std::int64_t {
  ABRT,
  BUSY,
  CANC,
  DEVO,
  WPIN,
  NHOS,
  UNVS,
  UNVD,
  REFU,
  PAYR,
  TNFD,
  NALW,
  LOUT,
  IVCA,
  ICAR,
  WIPG,
};

enum class ReconciliationTypeCode : std::int64_t { AREC, ASYN, PREC, SREC };

enum class ResponseCode : std::int64_t { SUCC, FAIL, PART, WARN };

enum class ReceiptOutputTargetCode : std::int64_t {
  CDSP,
  CRCP,
  MDSP,
  MRCP,
  CRDO,
  NOCRCP,
  JNRL,
  HRCP,
  RPIN,
  VCHR,
};

// The card entry mode.
enum class CardDataReadingCode : std::int64_t {
  TAGC,
  PHYS,
  BRCD,
  MGST,
  CICC,
  DFLE,
  CTLS,
  ECTL,
  CDFL,
  SICC,
  UNKW,
  QRCD,
  OPTC,
};

enum class EventToNotifyCode : std::int64_t {
  ABRT,
  MAIB,
  CRDI,
  COMP,
  CRDR,
  CUSL,
  MAIE,
  INIT,
  KEYP,
  MAIR,
  OODR,
  SADM,
  SWUP,
  SECA,
  SHUT,
  SASS,
  DISC,
  CNTN,
  TNOK,
  TNKO,
  CDIS,
  ASEL,
  CREA,
  CRDS,
  CREM,
  UCAN,
  ONPR,
  ONAP,
  ONDE,
  CSIG,
  MCAE,
  PINE,
};

enum class TypeTransactionTotalsCode : std::int64_t { CRDT, CRDR, DEBT, DBTR, DECL, FAIL, RESV };

// Counts from 1; 0 means "no transaction type".
enum class TransactionTypeCode : std::int64_t {
  SCDP = 1,
  QRCP,
  CSHP,
  HCEP,
  CRDP,
  RFND,
  SCDR,
  PCDR,
  CSHB,
  RESA,
  SCPP,
  PCPP,
  CACT,
  CASH_RFND,
};

enum class UnitOfMeasureCode : std::int64_t {
  PIEC,
  TONS,
  FOOT,
  GBGA,
  USGA,
  GRAM,
  INCH,
  KILO,
  PUND,
  METR,
  CMET,
  MMET,
  LITR,
  CELI,
  MILI,
  GBOU,
  USOU,
};

enum class AttendanceContextCode : std::int64_t { ATTD, SATT, UATT };

// The reason of a reversal. It has no helper: the reversal request encoder
// writes its code (CUSC, MALF, MERC, UNAB).
enum class ReversalReasonCode : std::int64_t { CUSC, MALF, MERC, UNAB };

// ----------------------------------------------------------------------------
// Helpers. Code direction: the code at the value's position, else the code
// fallback (given per helper). Parse direction: "upper-cased" helpers match
// the ASCII upper-cased text without trimming blanks; "exact" helpers match
// the text unchanged.
// ----------------------------------------------------------------------------

// Fallbacks "ACTL" / ACTL; upper-cased.
struct TypeOfAmountCodeHelper {
  static std::string stringFromCode(TypeOfAmountCode code);
  static TypeOfAmountCode codeFromString(std::optional<std::string_view> text);
};

// Fallbacks "DISP" / DISP; upper-cased.
struct InformationQualifyCodeHelper {
  static std::string stringFromCode(InformationQualifyCode code);
  static InformationQualifyCode codeFromString(std::optional<std::string_view> text);
};

// Fallbacks "TEXT" / TEXT; upper-cased.
struct OutputFormatCodeHelper {
  static std::string stringFromCode(OutputFormatCode code);
  static OutputFormatCode codeFromString(std::optional<std::string_view> text);
};

// Fallbacks "TEXT" / TEXT; upper-cased.
struct MsgCapabilityOutputFormatCodeHelper {
  static std::string stringFromCode(MsgCapabilityOutputFormatCode code);
  static MsgCapabilityOutputFormatCode codeFromString(std::optional<std::string_view> text);
};

// Fallbacks "DFLT" / DFLT; exact ("ctdp" gives DFLT).
struct CardAccountTypeCodeHelper {
  static std::string stringFromCode(CardAccountTypeCode code);
  static CardAccountTypeCode codeFromString(std::optional<std::string_view> text);
  // `value` when it is a position of the table, else DFLT.
  static CardAccountTypeCode codeFromInteger(std::int64_t value);
  // Short English name; "Unknown" outside the table.
  static std::string displayNameForCode(CardAccountTypeCode code);
  // Longer English text; "Unknown" outside the table.
  static std::string descriptionForCode(CardAccountTypeCode code);
};

// Fallbacks "CARD" / CARD; upper-cased.
struct PaymentInstrumentTypeCodeHelper {
  static std::string stringFromCode(PaymentInstrumentTypeCode code);
  static PaymentInstrumentTypeCode codeFromString(std::optional<std::string_view> text);
};

// Fallbacks "TXSG" / TXSG; upper-cased.
struct InputCommandCodeHelper {
  static std::string stringFromCode(InputCommandCode code);
  static InputCommandCode codeFromString(std::optional<std::string_view> text);
};

// Fallbacks "DECLINED" / DECLINED; upper-cased.
struct RefusalReasonCodeHelper {
  static std::string stringFromCode(RefusalReasonCode code);
  static RefusalReasonCode codeFromString(std::optional<std::string_view> text);
};

// Fallbacks "REFU" / REFU; upper-cased.
struct RetailerResultDetailCodeHelper {
  static std::string stringFromCode(RetailerResultDetailCode code);
  static RetailerResultDetailCode codeFromString(std::optional<std::string_view> text);
  // `value` when it is a position of the table, else REFU.
  static RetailerResultDetailCode codeFromInteger(std::int64_t value);
  // "Unknown" outside the table.
  static std::string displayNameForCode(RetailerResultDetailCode code);
  // "Unknown error code" outside the table.
  static std::string descriptionForCode(RetailerResultDetailCode code);
  // ABRT .. WIPG.
  static const std::vector<RetailerResultDetailCode>& allCodes();

  static bool isUserCancelled(RetailerResultDetailCode code);        // ABRT, CANC
  static bool isSystemOrDeviceError(RetailerResultDetailCode code);  // DEVO UNVS UNVD NALW LOUT
  static bool isNetworkOrHostError(RetailerResultDetailCode code);   // BUSY, NHOS
  static bool isCardRelatedError(RetailerResultDetailCode code);     // WPIN, IVCA, ICAR
  static bool isTransactionRefused(RetailerResultDetailCode code);   // REFU, PAYR
  static bool isRetryable(RetailerResultDetailCode code);            // BUSY, NHOS, TNFD
  static bool isTemporaryState(RetailerResultDetailCode code);       // WIPG
  // The category of the first predicate above that holds, in that order:
  // "UserCancelled", "SystemOrDeviceError", "NetworkOrHostError",
  // "CardRelatedError", "TransactionRefused", "Retryable" (so TNFD alone),
  // "TemporaryState"; else "Unknown".
  static std::string errorCategoryForCode(RetailerResultDetailCode code);
};

// Fallbacks "AREC" / AREC; upper-cased.
struct ReconciliationTypeCodeHelper {
  static std::string stringFromCode(ReconciliationTypeCode code);
  static ReconciliationTypeCode codeFromString(std::optional<std::string_view> text);
};

// Fallbacks "FAIL" / FAIL; upper-cased. A missing response code reads as
// FAIL.
struct ResponseCodeHelper {
  static std::string stringFromCode(ResponseCode code);
  static ResponseCode codeFromString(std::optional<std::string_view> text);
  // `value` when it is a position of the table, else FAIL.
  static ResponseCode codeFromInteger(std::int64_t value);
  // "Unknown" outside the table.
  static std::string displayNameForCode(ResponseCode code);
  // "Unknown response code" outside the table.
  static std::string descriptionForCode(ResponseCode code);
  // SUCC .. WARN.
  static const std::vector<ResponseCode>& allCodes();

  static bool isSuccess(ResponseCode code);                   // SUCC
  static bool isFailure(ResponseCode code);                   // FAIL
  static bool isPartialApproved(ResponseCode code);           // PART
  static bool requiresAdditionalHandling(ResponseCode code);  // WARN
  // SUCC and FAIL only: PART and WARN are not final.
  static bool isFinalState(ResponseCode code);
};

// Fallbacks "MRCP" / MRCP; upper-cased.
struct ReceiptOutputTargetHelper {
  static std::string stringFromCode(ReceiptOutputTargetCode code);
  static ReceiptOutputTargetCode targetFromString(std::optional<std::string_view> text);
};

// Fallbacks "UNKW" / UNKW; exact.
struct CardDataReadingCodeHelper {
  static std::string stringFromCode(CardDataReadingCode code);
  static CardDataReadingCode codeFromString(std::optional<std::string_view> text);
  // `value` when it is a position of the table, else UNKW.
  static CardDataReadingCode codeFromInteger(std::int64_t value);
  // "Unknown" for UNKW and outside the table.
  static std::string displayNameForCode(CardDataReadingCode code);
  // TAGC .. OPTC.
  static const std::vector<CardDataReadingCode>& allCodes();
};

// Fallbacks "INIT" / INIT; upper-cased.
struct EventToNotifyCodeHelper {
  static std::string stringFromCode(EventToNotifyCode code);
  static EventToNotifyCode codeFromString(std::optional<std::string_view> text);
};

// Fallbacks "DEBT" / DEBT; upper-cased.
struct TypeTransactionTotalsCodeHelper {
  static std::string stringFromCode(TypeTransactionTotalsCode code);
  static TypeTransactionTotalsCode codeFromString(std::optional<std::string_view> text);
};

// Counts from 1. Fallbacks "Unknown" (0 included) / RESA; exact. Every text
// that is no code, absent included, reads as RESA, a real transaction type.
struct TransactionTypeHelper {
  static std::string stringFromTransactionType(TransactionTypeCode code);
  static TransactionTypeCode transactionTypeFromString(std::optional<std::string_view> text);
};

// Code fallback "Unknown"; upper-cased; the caller picks the parse fallback.
struct UnitOfMeasureCodeHelper {
  static std::string stringFromCode(UnitOfMeasureCode code);
  // codeFromString(text, PIEC).
  static UnitOfMeasureCode codeFromString(std::optional<std::string_view> text);
  static UnitOfMeasureCode codeFromString(std::optional<std::string_view> text,
                                          UnitOfMeasureCode defaultValue);
};

// Code fallback "Unknown"; upper-cased; the caller picks the parse fallback.
struct AttendanceContextCodeHelper {
  static std::string stringFromCode(AttendanceContextCode code);
  // codeFromString(text, ATTD).
  static AttendanceContextCode codeFromString(std::optional<std::string_view> text);
  static AttendanceContextCode codeFromString(std::optional<std::string_view> text,
                                              AttendanceContextCode defaultValue);
};

}  // namespace veltrix::model
