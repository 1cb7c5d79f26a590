// Dispatch: from a chosen terminal service to a sent request.
#include <fmt/format.h>

#include <algorithm>
#include <exception>
#include <initializer_list>
#include <type_traits>
#include <utility>

#include "veltrix/codec/financial_req_builders.h"
#include "veltrix/codec/nonfinancial_req_builders.h"
#include "veltrix/facade/facade_detail.h"
#include "veltrix/facade/retailer_manager.h"
#include "veltrix/facade/service_numbers.h"
#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/time_format.h"
#include "veltrix/registry/terminal_service_helper.h"

namespace veltrix::facade {

using detail::dictValue;
using detail::orNull;
using registry::TerminalServiceHelper;

namespace {

// The message of `param` for `service`; absent when it cannot be written.
template <typename Encoder>
std::optional<std::string> encode(const RequestParam& param, const model::ServiceParams& service) {
  using Param = typename Encoder::ParamType;
  auto text = Encoder().buildJsonWithParameters(std::get_if<Param>(&param), &service);
  if constexpr (std::is_same_v<decltype(text), std::string>) {
    // These encoders write "{}" for a message they cannot write; with a
    // service record every real message has header keys.
    if (text == "{}") return std::nullopt;
    return text;
  } else {
    return text;
  }
}

enum class Hook { kNone, kOptionsAfter, kPrintBefore, kDisplayAfter };

struct EncoderRow {
  std::initializer_list<std::int64_t> services;
  std::optional<std::string> (*encode)(const RequestParam&, const model::ServiceParams&);
  Hook hook;
};

// Matched by service name in this order; the first row that names the
// request's service wins (18 and 21 share one name).
const EncoderRow kEncoders[] = {
    {{service::kPurchase, service::kScanCodePurchase, service::kCashPurchase,
      service::kQrCodePurchase},
     &encode<codec::PaymentReqBuilder>,
     Hook::kOptionsAfter},
    {{service::kRefund}, &encode<codec::RefundReqBuilder>, Hook::kNone},
    {{service::kPreAuth}, &encode<codec::PreAuthReqBuilder>, Hook::kNone},
    {{service::kPreAuthCompletion}, &encode<codec::PreAuthCompletionReqBuilder>, Hook::kNone},
    {{service::kBalanceInquiry18}, &encode<codec::BalanceInquiryReqBuilder>, Hook::kNone},
    {{service::kReconciliation}, &encode<codec::ReconciliationReqBuilder>, Hook::kNone},
    {{service::kAbort}, &encode<codec::AbortReqBuilder>, Hook::kNone},
    {{service::kReversal}, &encode<codec::ReversalReqBuilder>, Hook::kNone},
    {{service::kPrinter}, &encode<codec::PrintReqBuilder>, Hook::kPrintBefore},
    {{service::kNfcTag}, &encode<codec::NFCTagReqBuilder>, Hook::kNone},
    {{service::kCardAuth}, &encode<codec::CardAuthReqBuilder>, Hook::kNone},
    {{service::kAuthAdjustment}, &encode<codec::AuthAdjustmentReqBuilder>, Hook::kNone},
    {{service::kDisplay}, &encode<codec::DisplayReqBuilder>, Hook::kDisplayAfter},
    {{service::kMessageStatus}, &encode<codec::MessageStatusReqBuilder>, Hook::kNone},
    {{service::kTransmitMessage}, &encode<codec::TransmitMessageReqBuilder>, Hook::kNone},
    {{service::kReprint}, &encode<codec::ReprintReqBuilder>, Hook::kNone},
};

const EncoderRow* encoderFor(std::string_view serviceType) {
  for (const EncoderRow& row : kEncoders) {
    for (std::int64_t number : row.services) {
      if (TerminalServiceHelper::stringForService(number) == serviceType) return &row;
    }
  }
  return nullptr;
}

}  // namespace

void RetailerManager::startHostService(const ContextPtr& context, ServiceDictionary service) {
  // 1. The service record of this request.
  model::ServiceParams params;
  params.sn = dictValue(service, "sn");
  params.serviceSn = params.sn;
  params.address = dictValue(service, "address");
  params.parameter = dictValue(service, "parameter");
  params.model = dictValue(service, "model");
  params.serviceId = dictValue(service, "serviceId");
  params.packageName = dictValue(service, "packageName");
  params.serviceName = dictValue(service, "serviceName");
  params.netWorkTp = dictValue(service, "netWorkTp");
  params.uuidString = dictValue(service, "uuidString");
  params.transDataTimeIn = platform::formatIso8601(context->transDataTimeIn);
  params.exchangeId = context->exchangeId;
  params.serviceType = context->serviceType;

  // 2. The local network when the service speaks HTTP, the local network
  // is on and the terminal answered there; else Bluetooth LE, whose
  // terminal is connected first when needed (at the send, below).
  std::uint64_t communicateType = kCommunicateHttp;
  const bool lan = params.parameter && params.parameter->find("http") != std::string::npos &&
                   settingManager_.getCommunicateTypeState(kCommunicateTypeLan) &&
                   !context->isOffline;
  if (!lan) {
    communicateType = kCommunicateBle;
    params.netWorkTp = "BLE";
  }

  // 3.
  const std::string& exchangeId = context->exchangeId;
  const std::string& serviceType = context->serviceType;
  detail::logBoth(logFile_, fmt::format("currentServiceType = {}", serviceType));

  // 5. The message, with the host's hooks around it.
  std::optional<std::string> message;
  if (const EncoderRow* row = encoderFor(serviceType)) {
    if (row->hook == Hook::kPrintBefore) {
      callDelegate("onStartPrint", [](RetailerManagerDelegate& d) { d.onStartPrint(); });
    }
    message = row->encode(context->param, params);
    if (!message) {
      platform::logf("request of {} not encoded, not sent", exchangeId);
      reportError(context, kErrorConnect, std::string(kMsgFailToEncode));
      return;
    }
    if (row->hook == Hook::kOptionsAfter) {
      callDelegate("onStartOptions", [](RetailerManagerDelegate& d) { d.onStartOptions(); });
    }
    if (row->hook == Hook::kDisplayAfter) {
      serviceBean_.reset();
      const std::optional<std::string> sn = dictValue(service, "sn");
      callDelegate("onStartDisplay",
                   [&](RetailerManagerDelegate& d) { d.onStartDisplay(exchangeId, sn); });
    }
  }

  // 6. and 7. The exchange log: the request message, then the exchange, in
  // one commit. A failed insert is logged there; the request goes anyway.
  registry::Row exchange{
      {"exchangeId", exchangeId},
      {"status", std::string("1")},
      {"initiatingPartyId", params.serviceSn.value_or("")},
      {"channel", std::string("LAN")},
      {"serviceType", serviceType},
      {"packageName", params.packageName.value_or("")},
      {"serviceId", params.serviceId.value_or("")},
      {"isAborted", std::string("0")},
      {"initiatingCreateTime", context->transDataTimeIn},
  };
  if (params.address) exchange.emplace("channelSource", *params.address);
  detail::logBoth(logFile_, fmt::format("caspExchange = {}", detail::describe(exchange)));
  databaseManager_.insertCaspExchangeWithRequest(exchange, message);

  if (communicateType == kCommunicateBle) {
    sendOverBle(context, message, service);
  } else {
    send(context, message, communicateType, service);
  }
}

void RetailerManager::sendOverBle(const ContextPtr& context,
                                  const std::optional<std::string>& message,
                                  const ServiceDictionary& service) {
  const std::optional<std::string> sn = dictValue(service, "sn");
  if (sn) {
    const std::vector<std::string> ready = ble_.connectedDeviceSns();
    if (std::find(ready.begin(), ready.end(), *sn) != ready.end()) {
      send(context, message, kCommunicateBle, service);
      return;
    }
  }
  // The request goes out from the connect completion, and never after a
  // failed connect: its host has been told it failed, so no payment may run.
  auto answered = std::make_shared<bool>(false);
  ble_.connectPeripheralWithSN(sn, [weak = weak_from_this(), context, message, service, answered](
                                       bool ok, const std::optional<std::string>& msg,
                                       const std::optional<std::string>& /*sn*/) {
    if (std::exchange(*answered, true)) return;
    auto self = weak.lock();
    if (!self) return;
    if (!ok) {
      platform::logf("ble connect failed, request {} not sent: {}", context->exchangeId,
                     orNull(msg));
      self->reportError(context, kErrorConnect, msg);
      return;
    }
    self->send(context, message, kCommunicateBle, service);
  });
}

void RetailerManager::send(const ContextPtr& context, const std::optional<std::string>& message,
                           std::uint64_t communicateType, const ServiceDictionary& service) {
  // 8. An abort is handed on: its host hears now (over Bluetooth LE only
  // once its terminal is connected; a failed connect reports the failure).
  if (context->abortResult) {
    AbortResultBlock abortResult = std::exchange(context->abortResult, {});
    abortResult(0, std::nullopt);
  }

  const std::optional<std::string> address = dictValue(service, "address");
  const std::optional<std::string> parameter = dictValue(service, "parameter");
  platform::logf("host ip: {}//{}", orNull(parameter), orNull(address));
  platform::logf("ble uuid: {}//{}", orNull(parameter), orNull(dictValue(service, "uuidString")));

  // An absent address gives "http://", which the transport refuses.
  const std::string url = fmt::format("http://{}", address.value_or(""));
  CommunicateServicePtr transport = factory_.createService(communicateType, url);
  service_ = transport;

  std::weak_ptr<RetailerManager> weak = weak_from_this();
  if (!transport) {
    // Reported the way a transport reports its own failure, on the main
    // loop after this call.
    platform::postToMain([weak, context] {
      if (auto self = weak.lock()) {
        self->onTransportResult(context, std::nullopt, true, -1, std::string(kMsgNoTransport));
      }
    });
    return;
  }
  inFlight_.insert_or_assign(context->exchangeId, transport);

  transport::CommunicateProgressBlock progress =
      [weak](std::optional<std::string> /*exchangeIdentification*/,
             std::optional<std::string> /*serviceType*/,
             std::shared_ptr<const model::EventNotificationParam> notification) {
        if (auto self = weak.lock()) self->notifyDelegate(std::move(notification));
      };
  transport::CommunicateResultBlock result =
      [weak, context](std::optional<std::string> response, std::optional<std::string> /*id*/,
                      bool endFlag, std::optional<std::string> /*serviceType*/, std::int64_t code,
                      std::optional<std::string> msg) {
        if (auto self = weak.lock()) {
          self->onTransportResult(context, std::move(response), endFlag, code, std::move(msg));
        }
      };
  try {
    transport->sendRequest(message, context->exchangeId, context->serviceType,
                           dictValue(service, "sn"), std::move(progress), std::move(result));
  } catch (const std::exception& e) {
    platform::logf("sendRequest threw: {}", e.what());
    releaseTransport(context->exchangeId);
    reportError(context, kErrorConnect, std::string(e.what()));
  }
}

}  // namespace veltrix::facade
