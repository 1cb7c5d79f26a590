// Shared pieces of the decoder tests: a delegate that records every callback
// of every decoder, a captured log, and helpers that run one decoder over a
// literal message text.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "support/test_env.h"
#include "veltrix/codec/event_notification_parser.h"
#include "veltrix/codec/financial_rspn_builders.h"
#include "veltrix/codec/nonfinancial_rspn_builders.h"
#include "veltrix/codec/response_delegates.h"
#include "veltrix/platform/log.h"

namespace veltrix::codec::test {

struct Callback {
  std::string operation;  // "onRefundResponse", ...
  std::shared_ptr<const model::BaseResult> result;
  std::string exchangeId;
  bool endFlag = false;
};

class RecordingDelegate : public PaymentRspnParserDelegate,
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
  std::vector<Callback> calls;

#define VELTRIX_RECORD(Name, Result)                                                            \
  void Name(std::shared_ptr<const model::Result> r, const std::string& id, bool end) override { \
    calls.push_back({#Name, std::move(r), id, end});                                            \
  }
  VELTRIX_RECORD(onPaymentResponse, PaymentResult)
  VELTRIX_RECORD(onRefundResponse, RefundResult)
  VELTRIX_RECORD(onPreAuthResponse, PreAuthResult)
  VELTRIX_RECORD(onPreAuthCompletionResponse, PreAuthCompletionResult)
  VELTRIX_RECORD(onReversalResponse, ReversalResult)
  VELTRIX_RECORD(onReconciliationResponse, ReconciliationResult)
  VELTRIX_RECORD(onMessageStatusResponse, MessageStatusResult)
  VELTRIX_RECORD(onBalanceInquiryResponse, BalanceInquiryResult)
  VELTRIX_RECORD(onPrintResponse, PrintResult)
  VELTRIX_RECORD(onNFCTagResponse, NFCTagResult)
  VELTRIX_RECORD(onCardAuthResponse, CardAuthResult)
  VELTRIX_RECORD(onAuthAdjustmentResponse, AuthAdjustmentResult)
  VELTRIX_RECORD(onDisplayResponse, DisplayResult)
  VELTRIX_RECORD(onTransmitMessageResponse, TransmitMessageResult)
  VELTRIX_RECORD(onReprintResponse, ReprintResult)
  VELTRIX_RECORD(onEventNotificationResponse, EventNotificationParam)
#undef VELTRIX_RECORD

  void onAbortResponse(std::shared_ptr<const model::AbortResult> r,
                       const std::string& id) override {
    calls.push_back({"onAbortResponse", std::move(r), id, false});
  }
};

// Runs a fresh decoder `D` over `text` with a recording delegate.
template <typename D>
struct Decoded {
  std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
  D decoder;

  explicit Decoded(std::optional<std::string_view> text, bool withDelegate = true) {
    if (withDelegate) decoder.setDelegate(delegate);
    decoder.startParser(text);
  }
  // The one callback's result as R; fails the test when there was none.
  template <typename R = typename std::remove_const_t<
                typename decltype(std::declval<D>().result())::element_type>>
  std::shared_ptr<const R> only() const {
    EXPECT_EQ(delegate->calls.size(), 1u);
    if (delegate->calls.empty()) return nullptr;
    auto r = std::dynamic_pointer_cast<const R>(delegate->calls.front().result);
    EXPECT_TRUE(r) << "wrong result class";
    return r;
  }
};

// A message: the header keys of `header` (an object literal's members,
// without braces) beside "response": `body`.
inline std::string message(std::string_view body,
                           std::string_view header = R"("exchangeIdentification": "EX1",
                                                        "endFlag": true)") {
  std::string text = "{";
  text += header;
  if (!header.empty()) text += ",";
  text += "\"response\": ";
  text += body;
  text += "}";
  return text;
}

// A golden message of tests/codec/fixtures.
inline std::string fixture(std::string_view name) {
  const std::filesystem::path path = veltrix::testing::sourceTree() / "tests/codec/fixtures" / name;
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << "missing fixture " << path;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace veltrix::codec::test
