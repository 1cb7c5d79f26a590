// The response decoders of the services that move no money: reconciliation,
// card authentication, display, message status, NFC tag, print and transmit
// message. All seven run the shared frame of rspn_frame.h with its six log
// lines; the reconciliation decoder also logs "bodyDict = <member>" right
// before it tests the top-level "response".
//
// Body readers are static. Given no object they log
// "<Class>: 无效的报文体数据" and give null; an object always gives a
// result. Most read their response fields themselves (not all nine common
// ones): see each class. Nested values of the wrong type (a list that is no
// array, a nested result that is no object, a list element that is no
// object) are skipped without a log.
//
// The display, message-status, NFC-tag and print decoders also offer the
// result parser itself (parseFromDictionary, for display
// parseFromDictionaryByDisplayResult), which logs
// "<Result> parseFromDictionary: 无效的字典数据" for a non-object, and
// parseFromJSONString for a body object alone as text.
//
// Threads and ownership: as rspn_frame.h.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "veltrix/codec/response_delegates.h"
#include "veltrix/codec/rspn_frame.h"
#include "veltrix/model/nonfinancial_results.h"
#include "veltrix/platform/json.h"

namespace veltrix::codec {

class ReconciliationRspnBuilder
    : public RspnFrame<ReconciliationRspnBuilder, model::ReconciliationResult,
                       ReconciliationRspnBuilderDelegate> {
 public:
  static constexpr std::string_view kClassName = "ReconciliationRspnBuilder";

  // The nine common fields; "reconciliationType" (AREC when missing);
  // "shiftNumber", "merchantIdentification", "merchantIdentificationName",
  // "poiIdentificationId", "poiReconciliationIdentification",
  // "invoiceNumber", "transactionDateTime", "transactionReference"; the
  // sets of "transTotalsSets", the first of which is also transTotalsSet,
  // unless an object under "transTotalsSet" replaces it.
  static std::shared_ptr<model::ReconciliationResult> parseBodyFromDictionary(
      const platform::Json* body);
  // One set per object element, in order; nullopt for a non-array.
  static std::optional<std::vector<model::TransTotalsSet>> parseTransTotalsSetFromArray(
      const platform::Json* array);
  // Its texts, "paymentInstrumentTypeCode" (CARD when missing) and the
  // entries of "transactionTotals", the first also as transactionTotal;
  // nullopt for a non-object.
  static std::optional<model::TransTotalsSet> parseTransTotalsSetFromDictionary(
      const platform::Json* object);
  // Its texts ("cashBack" with a capital B), "activeCurrency" (XXX when
  // missing or unknown), "transactionTotalsType" (DEBT), the amount lists
  // "fees" and "valueAddedTax" (into valueAddedTaxs); nullopt for a
  // non-object.
  static std::optional<model::TransTotals> parseTransTotalFromDictionary(
      const platform::Json* object);

  // Logs "bodyDict = <member>" ("(null)" when the message has none).
  static void willReadBody(const platform::Json* member);

 private:
  friend class RspnFrame;
  static void deliver(ReconciliationRspnBuilderDelegate& delegate,
                      std::shared_ptr<const model::ReconciliationResult> result,
                      const std::string& exchangeId, bool endFlag) {
    delegate.onReconciliationResponse(std::move(result), exchangeId, endFlag);
  }
};

class CardAuthRspnBuilder
    : public RspnFrame<CardAuthRspnBuilder, model::CardAuthResult, CardAuthRspnBuilderDelegate> {
 public:
  static constexpr std::string_view kClassName = "CardAuthRspnBuilder";

  // "transactionReference", the five response fields, then
  // "transactionDateTime", "merchantIdentification",
  // "merchantIdentificationName", "poiIdentificationId",
  // "poiTransactionIdentification", "cardBrand", "maskedPAN",
  // "tokenIdentification", "cashierIdentification".
  static std::shared_ptr<model::CardAuthResult> parseBodyFromDictionary(const platform::Json* body);

 private:
  friend class RspnFrame;
  static void deliver(CardAuthRspnBuilderDelegate& delegate,
                      std::shared_ptr<const model::CardAuthResult> result,
                      const std::string& exchangeId, bool endFlag) {
    delegate.onCardAuthResponse(std::move(result), exchangeId, endFlag);
  }
};

class DisplayRspnBuilder
    : public RspnFrame<DisplayRspnBuilder, model::DisplayResult, DisplayRspnBuilderDelegate> {
 public:
  static constexpr std::string_view kClassName = "DisplayRspnBuilder";

  static std::shared_ptr<model::DisplayResult> parseBodyFromDictionary(const platform::Json* body);
  // The five response fields and "outputResultList": an array gives one
  // OutputResult per object element (possibly none), anything else leaves
  // the list absent.
  static std::shared_ptr<model::DisplayResult> parseFromDictionaryByDisplayResult(
      const platform::Json* body);
  // One OutputResult: "deviceType" (MRCP when missing),
  // "informationQualifier" (DISP), "response" as text; nullopt, without a
  // log, for a non-object.
  static std::optional<model::OutputResult> parseFromDictionary(const platform::Json* object);
  static std::shared_ptr<model::DisplayResult> parseFromJSONString(
      std::optional<std::string_view> text);

 private:
  friend class RspnFrame;
  static void deliver(DisplayRspnBuilderDelegate& delegate,
                      std::shared_ptr<const model::DisplayResult> result,
                      const std::string& exchangeId, bool endFlag) {
    delegate.onDisplayResponse(std::move(result), exchangeId, endFlag);
  }
};

class MessageStatusRspnBuilder
    : public RspnFrame<MessageStatusRspnBuilder, model::MessageStatusResult,
                       MessageStatusRspnBuilderDelegate> {
 public:
  static constexpr std::string_view kClassName = "MessageStatusRspnBuilder";

  static std::shared_ptr<model::MessageStatusResult> parseBodyFromDictionary(
      const platform::Json* body);
  // The five response fields, "orgExchangeIdentification",
  // "initiatingPartyIdentification", then each object under
  // "paymentResult", "reversalResult", "refundResult" and "preAuthResult"
  // read by that service's own body reader.
  static std::shared_ptr<model::MessageStatusResult> parseFromDictionary(
      const platform::Json* body);
  static std::shared_ptr<model::MessageStatusResult> parseFromJSONString(
      std::optional<std::string_view> text);

 private:
  friend class RspnFrame;
  static void deliver(MessageStatusRspnBuilderDelegate& delegate,
                      std::shared_ptr<const model::MessageStatusResult> result,
                      const std::string& exchangeId, bool endFlag) {
    delegate.onMessageStatusResponse(std::move(result), exchangeId, endFlag);
  }
};

class NFCTagRspnBuilder
    : public RspnFrame<NFCTagRspnBuilder, model::NFCTagResult, NFCTagRspnBuilderDelegate> {
 public:
  static constexpr std::string_view kClassName = "NFCTagRspnBuilder";

  static std::shared_ptr<model::NFCTagResult> parseBodyFromDictionary(const platform::Json* body);
  // The nine common fields (without the common-fields log line) and
  // "detectCount" through safeLong.
  static std::shared_ptr<model::NFCTagResult> parseFromDictionary(const platform::Json* body);
  static std::shared_ptr<model::NFCTagResult> parseFromJSONString(
      std::optional<std::string_view> text);
  // A number truncated toward zero (clamped to 64 bits); a text by its
  // leading decimal integer ("3abc" gives 3, clamped on overflow, 0 without
  // digits); anything else 0.
  static std::int64_t safeLong(const platform::Json& value);

 private:
  friend class RspnFrame;
  static void deliver(NFCTagRspnBuilderDelegate& delegate,
                      std::shared_ptr<const model::NFCTagResult> result,
                      const std::string& exchangeId, bool endFlag) {
    delegate.onNFCTagResponse(std::move(result), exchangeId, endFlag);
  }
};

class PrintRspnBuilder
    : public RspnFrame<PrintRspnBuilder, model::PrintResult, PrintRspnBuilderDelegate> {
 public:
  static constexpr std::string_view kClassName = "PrintRspnBuilder";

  static std::shared_ptr<model::PrintResult> parseBodyFromDictionary(const platform::Json* body);
  // "response", "responseReason", "refualResponse",
  // "additionalResponseInformation", "authRspnReason",
  // "issuerReferenceData"; no recipient party.
  static std::shared_ptr<model::PrintResult> parseFromDictionary(const platform::Json* body);
  static std::shared_ptr<model::PrintResult> parseFromJSONString(
      std::optional<std::string_view> text);
  // AbortRspnParser::safeBool.
  static bool safeBool(const platform::Json& value);

 private:
  friend class RspnFrame;
  static void deliver(PrintRspnBuilderDelegate& delegate,
                      std::shared_ptr<const model::PrintResult> result,
                      const std::string& exchangeId, bool endFlag) {
    delegate.onPrintResponse(std::move(result), exchangeId, endFlag);
  }
};

class TransmitMessageRspnBuilder
    : public RspnFrame<TransmitMessageRspnBuilder, model::TransmitMessageResult,
                       TransmitMessageRspnBuilderDelegate> {
 public:
  static constexpr std::string_view kClassName = "TransmitMessageRspnBuilder";

  // The five response fields and "receivedMessage" decoded from base64 as
  // UTF-8 text; an absent or empty value, or one that does not decode,
  // leaves receivedMessage absent and touches nothing else.
  static std::shared_ptr<model::TransmitMessageResult> parseBodyFromDictionary(
      const platform::Json* body);

 private:
  friend class RspnFrame;
  static void deliver(TransmitMessageRspnBuilderDelegate& delegate,
                      std::shared_ptr<const model::TransmitMessageResult> result,
                      const std::string& exchangeId, bool endFlag) {
    delegate.onTransmitMessageResponse(std::move(result), exchangeId, endFlag);
  }
};

}  // namespace veltrix::codec
