// The state of one request from the service method to its last result.
//
// Each service call makes one RequestContext and hands it along the whole
// road: the choice of the terminal service, the scan screen's delegate,
// dispatch, the Bluetooth LE connect completion and the transport's blocks.
// Two requests in flight therefore never share an exchange identifier, a
// service name, a parameter or an abort block.
//
// Threads: made and read on the main loop; only isOffline may be written by
// the probes on other threads. Ownership: shared by the closures of the
// request; non-copyable.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>

#include "veltrix/model/financial_params.h"
#include "veltrix/model/nonfinancial_params.h"
#include "veltrix/model/request_base.h"

namespace veltrix::facade {

// Abort's result block: (0, no message) once the abort is handed on for
// sending, or an error code and message.
using AbortResultBlock = std::function<void(std::int64_t code, std::optional<std::string> message)>;

// The parameter object of a request, copied at call time; empty for the
// device services, whose requests carry no message.
using RequestParam =
    std::variant<std::monostate, model::PaymentParam, model::RefundParam, model::PreAuthParam,
                 model::PreAuthCompletionParam, model::BalanceInquiryParam,
                 model::ReconciliationParam, model::AbortParam, model::ReversalParam,
                 model::PrintParam, model::NFCTagParam, model::CardAuthParam,
                 model::AuthAdjustmentParam, model::DisplayParam, model::MessageStatusParam,
                 model::TransmitMessageParam, model::ReprintParam>;

struct RequestContext {
  RequestContext() = default;
  RequestContext(const RequestContext&) = delete;
  RequestContext& operator=(const RequestContext&) = delete;

  std::string exchangeId;   // 32 upper-case hexadecimal characters
  std::string serviceType;  // the service name (the header's serviceType)
  RequestParam param;
  // The destination the host asked for.
  std::optional<model::DestinationParams> destination;
  // When the request started, ms since 1970.
  std::int64_t transDataTimeIn = 0;
  // While the choice runs: true when the last reach check found nothing
  // (the scan screen is told so). At dispatch: true sends over Bluetooth
  // LE. A candidate reached only by its Bluetooth LE presence sets it, one
  // that answered its probe and a scan-screen choice clear it.
  std::atomic<bool> isOffline{false};
  // Abort only; called once, then cleared.
  AbortResultBlock abortResult;
};

}  // namespace veltrix::facade
