// The callbacks of the response decoders: one interface per decoder, each
// with the one operation through which the decoder hands over its result.
//
// A decoder holds its delegate weakly (std::weak_ptr) and calls it on the
// thread that runs startParser (the main loop on the response road), before
// startParser returns. Arguments: the decoded result, shared and immutable;
// the message header's exchange identifier ("" when the message has none);
// the header's end flag (false without a header). The service facade
// implements them all. Implementations should not throw: a decoder catches
// what escapes and only logs it.
#pragma once

#include <memory>
#include <string>

#include "veltrix/model/abort_reprint_results.h"
#include "veltrix/model/financial_results.h"
#include "veltrix/model/nonfinancial_results.h"

namespace veltrix::codec {

class PaymentRspnParserDelegate {
 public:
  virtual ~PaymentRspnParserDelegate() = default;
  virtual void onPaymentResponse(std::shared_ptr<const model::PaymentResult> result,
                                 const std::string& exchangeId, bool endFlag) = 0;
};

class RefundRspnBuilderDelegate {
 public:
  virtual ~RefundRspnBuilderDelegate() = default;
  virtual void onRefundResponse(std::shared_ptr<const model::RefundResult> result,
                                const std::string& exchangeId, bool endFlag) = 0;
};

class PreAuthRspnBuilderDelegate {
 public:
  virtual ~PreAuthRspnBuilderDelegate() = default;
  virtual void onPreAuthResponse(std::shared_ptr<const model::PreAuthResult> result,
                                 const std::string& exchangeId, bool endFlag) = 0;
};

class PreAuthCompletionRspnBuilderDelegate {
 public:
  virtual ~PreAuthCompletionRspnBuilderDelegate() = default;
  virtual void onPreAuthCompletionResponse(
      std::shared_ptr<const model::PreAuthCompletionResult> result, const std::string& exchangeId,
      bool endFlag) = 0;
};

class ReversalRspnBuilderDelegate {
 public:
  virtual ~ReversalRspnBuilderDelegate() = default;
  virtual void onReversalResponse(std::shared_ptr<const model::ReversalResult> result,
                                  const std::string& exchangeId, bool endFlag) = 0;
};

class ReconciliationRspnBuilderDelegate {
 public:
  virtual ~ReconciliationRspnBuilderDelegate() = default;
  virtual void onReconciliationResponse(std::shared_ptr<const model::ReconciliationResult> result,
                                        const std::string& exchangeId, bool endFlag) = 0;
};

// The only callback without an end flag.
class AbortRspnParserDelegate {
 public:
  virtual ~AbortRspnParserDelegate() = default;
  virtual void onAbortResponse(std::shared_ptr<const model::AbortResult> result,
                               const std::string& exchangeId) = 0;
};

class MessageStatusRspnBuilderDelegate {
 public:
  virtual ~MessageStatusRspnBuilderDelegate() = default;
  virtual void onMessageStatusResponse(std::shared_ptr<const model::MessageStatusResult> result,
                                       const std::string& exchangeId, bool endFlag) = 0;
};

class BalanceInquiryRspnBuilderDelegate {
 public:
  virtual ~BalanceInquiryRspnBuilderDelegate() = default;
  virtual void onBalanceInquiryResponse(std::shared_ptr<const model::BalanceInquiryResult> result,
                                        const std::string& exchangeId, bool endFlag) = 0;
};

class PrintRspnBuilderDelegate {
 public:
  virtual ~PrintRspnBuilderDelegate() = default;
  virtual void onPrintResponse(std::shared_ptr<const model::PrintResult> result,
                               const std::string& exchangeId, bool endFlag) = 0;
};

class NFCTagRspnBuilderDelegate {
 public:
  virtual ~NFCTagRspnBuilderDelegate() = default;
  virtual void onNFCTagResponse(std::shared_ptr<const model::NFCTagResult> result,
                                const std::string& exchangeId, bool endFlag) = 0;
};

class CardAuthRspnBuilderDelegate {
 public:
  virtual ~CardAuthRspnBuilderDelegate() = default;
  virtual void onCardAuthResponse(std::shared_ptr<const model::CardAuthResult> result,
                                  const std::string& exchangeId, bool endFlag) = 0;
};

class AuthAdjustmentRspnBuilderDelegate {
 public:
  virtual ~AuthAdjustmentRspnBuilderDelegate() = default;
  virtual void onAuthAdjustmentResponse(std::shared_ptr<const model::AuthAdjustmentResult> result,
                                        const std::string& exchangeId, bool endFlag) = 0;
};

class DisplayRspnBuilderDelegate {
 public:
  virtual ~DisplayRspnBuilderDelegate() = default;
  virtual void onDisplayResponse(std::shared_ptr<const model::DisplayResult> result,
                                 const std::string& exchangeId, bool endFlag) = 0;
};

class TransmitMessageRspnBuilderDelegate {
 public:
  virtual ~TransmitMessageRspnBuilderDelegate() = default;
  virtual void onTransmitMessageResponse(std::shared_ptr<const model::TransmitMessageResult> result,
                                         const std::string& exchangeId, bool endFlag) = 0;
};

class ReprintRspnBuilderDelegate {
 public:
  virtual ~ReprintRspnBuilderDelegate() = default;
  virtual void onReprintResponse(std::shared_ptr<const model::ReprintResult> result,
                                 const std::string& exchangeId, bool endFlag) = 0;
};

// The whole-message frame of the notification parser reports here; the
// transports parse notifications through parseBodyFromDictionary instead,
// so nothing in the library implements it.
class EventNotificationParamBuilderDelegate {
 public:
  virtual ~EventNotificationParamBuilderDelegate() = default;
  virtual void onEventNotificationResponse(
      std::shared_ptr<const model::EventNotificationParam> result, const std::string& exchangeId,
      bool endFlag) = 0;
};

}  // namespace veltrix::codec
