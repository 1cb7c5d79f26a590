// One decoder's startParser over arbitrary bytes, then the text form of
// whatever it decoded. VELTRIX_FUZZ_DECODER names the decoder class.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "veltrix/codec/event_notification_parser.h"
#include "veltrix/codec/financial_rspn_builders.h"
#include "veltrix/codec/nonfinancial_rspn_builders.h"
#include "veltrix/platform/log.h"

namespace {

using namespace veltrix::codec;
namespace model = veltrix::model;

// Takes every callback and prints its result, as a host would.
class PrintingDelegate : public PaymentRspnParserDelegate,
                         public RefundRspnBuilderDelegate,
                         public PreAuthRspnBuilderDelegate,
                         public PreAuthCompletionRspnBuilderDelegate,
                         public ReversalRspnBuilderDelegate,
                         public ReconciliationRspnBuilderDelegate,
                         public AbortRspnParserDelegate,
                         public MessageStatusRspnBuilderDelegate,
                         public BalanceInquiryRspnBuilderDelegate,
                         public PrintRspnBuilderDelegate,
                         public NFCTagRspnBuilderDelegate,
                         public CardAuthRspnBuilderDelegate,
                         public AuthAdjustmentRspnBuilderDelegate,
                         public DisplayRspnBuilderDelegate,
                         public TransmitMessageRspnBuilderDelegate,
                         public ReprintRspnBuilderDelegate,
                         public EventNotificationParamBuilderDelegate {
 public:
  std::size_t printed = 0;

  template <typename R>
  void take(const std::shared_ptr<const R>& result, const std::string& exchangeId) {
    if (!result) __builtin_trap();
    printed += exchangeId.size();
    if constexpr (requires { result->toString(); }) printed += result->toString().size();
  }

#define VELTRIX_TAKE(Name, Result)                                                          \
  void Name(std::shared_ptr<const model::Result> r, const std::string& id, bool) override { \
    take(r, id);                                                                            \
  }
  VELTRIX_TAKE(onPaymentResponse, PaymentResult)
  VELTRIX_TAKE(onRefundResponse, RefundResult)
  VELTRIX_TAKE(onPreAuthResponse, PreAuthResult)
  VELTRIX_TAKE(onPreAuthCompletionResponse, PreAuthCompletionResult)
  VELTRIX_TAKE(onReversalResponse, ReversalResult)
  VELTRIX_TAKE(onReconciliationResponse, ReconciliationResult)
  VELTRIX_TAKE(onMessageStatusResponse, MessageStatusResult)
  VELTRIX_TAKE(onBalanceInquiryResponse, BalanceInquiryResult)
  VELTRIX_TAKE(onPrintResponse, PrintResult)
  VELTRIX_TAKE(onNFCTagResponse, NFCTagResult)
  VELTRIX_TAKE(onCardAuthResponse, CardAuthResult)
  VELTRIX_TAKE(onAuthAdjustmentResponse, AuthAdjustmentResult)
  VELTRIX_TAKE(onDisplayResponse, DisplayResult)
  VELTRIX_TAKE(onTransmitMessageResponse, TransmitMessageResult)
  VELTRIX_TAKE(onReprintResponse, ReprintResult)
  VELTRIX_TAKE(onEventNotificationResponse, EventNotificationParam)
#undef VELTRIX_TAKE

  void onAbortResponse(std::shared_ptr<const model::AbortResult> r,
                       const std::string& id) override {
    take(r, id);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Log lines are built (and masked) but go nowhere.
  static const bool quiet = [] {
    veltrix::platform::setLogSink([](std::string_view) {});
    return true;
  }();
  (void)quiet;
  auto delegate = std::make_shared<PrintingDelegate>();
  VELTRIX_FUZZ_DECODER decoder;
  decoder.setDelegate(delegate);
  decoder.startParser(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
