// Response handling: the transport's result block, the decoders and their
// callbacks, and the ending of a request with an error.
#include <fmt/format.h>

#include <initializer_list>
#include <utility>

#include "veltrix/codec/financial_rspn_builders.h"
#include "veltrix/codec/nonfinancial_rspn_builders.h"
#include "veltrix/facade/facade_detail.h"
#include "veltrix/facade/retailer_manager.h"
#include "veltrix/facade/service_numbers.h"
#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/log.h"
#include "veltrix/registry/terminal_service_helper.h"

namespace veltrix::facade {

using detail::orNull;
using registry::TerminalServiceHelper;

namespace {

// One decoder for one message, with the facade as its delegate.
template <typename Decoder, bool kGivesEndFlag>
void decodeWith(const std::weak_ptr<RetailerManager>& delegate, const std::string& text,
                bool endFlag) {
  Decoder decoder;
  decoder.setDelegate(delegate);
  if constexpr (kGivesEndFlag) decoder.setEndFlag(endFlag);
  decoder.startParser(text);
}

struct DecoderRow {
  std::initializer_list<std::int64_t> services;
  // Null: the response is stored only.
  void (*decode)(const std::weak_ptr<RetailerManager>&, const std::string&, bool);
};

// Matched by service name in this order; the first row that names the
// request's service wins.
const DecoderRow kDecoders[] = {
    {{service::kPurchase, service::kScanCodePurchase, service::kCashPurchase,
      service::kQrCodePurchase},
     &decodeWith<codec::PaymentRspnParser, false>},
    {{service::kRefund}, &decodeWith<codec::RefundRspnBuilder, true>},
    {{service::kPreAuth}, &decodeWith<codec::PreAuthRspnBuilder, true>},
    {{service::kPreAuthCompletion}, &decodeWith<codec::PreAuthCompletionRspnBuilder, true>},
    {{service::kReversal}, &decodeWith<codec::ReversalRspnBuilder, true>},
    {{service::kAbort}, nullptr},
    {{service::kReconciliation}, &decodeWith<codec::ReconciliationRspnBuilder, true>},
    {{service::kBalanceInquiry18}, &decodeWith<codec::BalanceInquiryRspnBuilder, true>},
    {{service::kPrinter}, &decodeWith<codec::PrintRspnBuilder, true>},
    {{service::kNfcTag}, &decodeWith<codec::NFCTagRspnBuilder, true>},
    {{service::kCardAuth}, &decodeWith<codec::CardAuthRspnBuilder, true>},
    {{service::kAuthAdjustment}, &decodeWith<codec::AuthAdjustmentRspnBuilder, false>},
    {{service::kDisplay}, &decodeWith<codec::DisplayRspnBuilder, true>},
    {{service::kMessageStatus}, &decodeWith<codec::MessageStatusRspnBuilder, true>},
    {{service::kTransmitMessage}, &decodeWith<codec::TransmitMessageRspnBuilder, true>},
    {{service::kReprint}, &decodeWith<codec::ReprintRspnBuilder, true>},
};

const DecoderRow* decoderFor(std::string_view serviceType) {
  for (const DecoderRow& row : kDecoders) {
    for (std::int64_t number : row.services) {
      if (TerminalServiceHelper::stringForService(number) == serviceType) return &row;
    }
  }
  return nullptr;
}

}  // namespace

void RetailerManager::onTransportResult(const ContextPtr& context,
                                        std::optional<std::string> response, bool endFlag,
                                        std::int64_t code, std::optional<std::string> msg) {
  detail::logBoth(logFile_, "retailer reobject");
  const std::string& exchangeId = context->exchangeId;
  if (!response) {
    // The transport's code is logged only; the host gets -200 and the
    // transport's message.
    detail::logBoth(logFile_, fmt::format("http server failed，timeout！ errorCode = {},msg = {}",
                                          code, orNull(msg)));
    releaseTransport(exchangeId);
    reportError(context, kErrorConnect, std::move(msg));
    return;
  }

  databaseManager_.insertCaspExchangeMsg(exchangeId, "2", *response);
  if (!decodeResponse(context, *response, endFlag) && endFlag) {
    // No decoder: the host never hears of the response, but its
    // registration must not stay for ever.
    resultManager_.removeCallbackForId(exchangeId);
  }
  if (endFlag) {
    releaseTransport(exchangeId);
    endRequest(exchangeId);
  }
}

bool RetailerManager::decodeResponse(const ContextPtr& context, const std::string& response,
                                     bool endFlag) {
  const DecoderRow* row = decoderFor(context->serviceType);
  if (row == nullptr || row->decode == nullptr) return false;
  // The decoder calls back before it returns; meanwhile its result belongs
  // to the exchange this response was sent for.
  std::string outer = std::exchange(decodingExchangeId_, context->exchangeId);
  row->decode(weak_from_this(), response, endFlag);
  decodingExchangeId_ = std::move(outer);
  return true;
}

void RetailerManager::notifyDelegate(
    std::shared_ptr<const model::EventNotificationParam> notification) {
  // A notification whose body could not be read comes as an absent record;
  // the host still hears that the terminal notified.
  callDelegate("onNotification",
               [&](RetailerManagerDelegate& d) { d.onNotification(std::move(notification)); });
}

std::string RetailerManager::routeExchangeId(const std::string& headerExchangeId) const {
  if (decodingExchangeId_.empty()) return headerExchangeId;
  if (headerExchangeId != decodingExchangeId_) {
    platform::logf("response exchange id mismatch: header {}, sent {}; using the sent one",
                   headerExchangeId.empty() ? "(empty)" : headerExchangeId, decodingExchangeId_);
  }
  return decodingExchangeId_;
}

void RetailerManager::handleResponse(ResultObject result, const std::string& exchangeId,
                                     bool endFlag) {
  const std::string target = routeExchangeId(exchangeId);
  resultManager_.executeCallbackForId(target, std::move(result), 0, std::nullopt);
  if (endFlag) {
    resultManager_.removeCallbackForId(target);
    endRequest(target);
  }
}

void RetailerManager::reportError(const ContextPtr& context, std::int64_t code,
                                  std::optional<std::string> msg) {
  if (context->abortResult) {
    // Abort's block is not registered; it hears directly, once.
    AbortResultBlock abortResult = std::exchange(context->abortResult, {});
    abortResult(code, msg);
  }
  resultManager_.executeCallbackForId(context->exchangeId, nullptr, code, std::move(msg));
  resultManager_.removeCallbackForId(context->exchangeId);
  endRequest(context->exchangeId);
}

void RetailerManager::releaseTransport(const std::string& exchangeId) {
  auto found = inFlight_.find(exchangeId);
  if (found == inFlight_.end()) return;
  // Destroyed on the main loop later: this may run inside the transport's
  // own callback.
  platform::postToMain([transport = std::move(found->second)] {});
  inFlight_.erase(found);
}

// --- decoder callbacks -----------------------------------------------------------

void RetailerManager::onPaymentResponse(std::shared_ptr<const model::PaymentResult> result,
                                        const std::string& exchangeId, bool endFlag) {
  platform::logLine("xml 解析完成，返回结果");
  handleResponse(std::move(result), exchangeId, endFlag);
}

void RetailerManager::onRefundResponse(std::shared_ptr<const model::RefundResult> result,
                                       const std::string& exchangeId, bool endFlag) {
  platform::logLine("xml 解析完成，返回结果");
  handleResponse(std::move(result), exchangeId, endFlag);
}

void RetailerManager::onPreAuthResponse(std::shared_ptr<const model::PreAuthResult> result,
                                        const std::string& exchangeId, bool endFlag) {
  handleResponse(std::move(result), exchangeId, endFlag);
}

void RetailerManager::onPreAuthCompletionResponse(
    std::shared_ptr<const model::PreAuthCompletionResult> result, const std::string& exchangeId,
    bool endFlag) {
  handleResponse(std::move(result), exchangeId, endFlag);
}

void RetailerManager::onReversalResponse(std::shared_ptr<const model::ReversalResult> result,
                                         const std::string& exchangeId, bool endFlag) {
  handleResponse(std::move(result), exchangeId, endFlag);
}

void RetailerManager::onReconciliationResponse(
    std::shared_ptr<const model::ReconciliationResult> result, const std::string& exchangeId,
    bool endFlag) {
  handleResponse(std::move(result), exchangeId, endFlag);
}

void RetailerManager::onAbortResponse(std::shared_ptr<const model::AbortResult> /*result*/,
                                      const std::string& /*exchangeId*/) {}

void RetailerManager::onMessageStatusResponse(
    std::shared_ptr<const model::MessageStatusResult> result, const std::string& exchangeId,
    bool endFlag) {
  handleResponse(std::move(result), exchangeId, endFlag);
}

void RetailerManager::onBalanceInquiryResponse(
    std::shared_ptr<const model::BalanceInquiryResult> result, const std::string& exchangeId,
    bool endFlag) {
  handleResponse(std::move(result), exchangeId, endFlag);
}

void RetailerManager::onPrintResponse(std::shared_ptr<const model::PrintResult> result,
                                      const std::string& exchangeId, bool endFlag) {
  handleResponse(std::move(result), exchangeId, endFlag);
}

void RetailerManager::onNFCTagResponse(std::shared_ptr<const model::NFCTagResult> result,
                                       const std::string& exchangeId, bool endFlag) {
  handleResponse(std::move(result), exchangeId, endFlag);
}

void RetailerManager::onCardAuthResponse(std::shared_ptr<const model::CardAuthResult> result,
                                         const std::string& exchangeId, bool endFlag) {
  handleResponse(std::move(result), exchangeId, endFlag);
}

void RetailerManager::onAuthAdjustmentResponse(
    std::shared_ptr<const model::AuthAdjustmentResult> result, const std::string& exchangeId,
    bool endFlag) {
  handleResponse(std::move(result), exchangeId, endFlag);
}

void RetailerManager::onDisplayResponse(std::shared_ptr<const model::DisplayResult> result,
                                        const std::string& exchangeId, bool endFlag) {
  handleResponse(std::move(result), exchangeId, endFlag);
}

void RetailerManager::onTransmitMessageResponse(
    std::shared_ptr<const model::TransmitMessageResult> result, const std::string& exchangeId,
    bool endFlag) {
  handleResponse(std::move(result), exchangeId, endFlag);
}

void RetailerManager::onReprintResponse(std::shared_ptr<const model::ReprintResult> result,
                                        const std::string& exchangeId, bool endFlag) {
  handleResponse(std::move(result), exchangeId, endFlag);
}

}  // namespace veltrix::facade
