#include "veltrix/platform/http_client.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>

#include "sim/http_simulator.h"
#include "support/test_env.h"
#include "veltrix/platform/url_error.h"

namespace veltrix::platform {
namespace {

using namespace std::chrono_literals;

TEST(HttpClientTest, RecognisesUsableUrls) {
  EXPECT_TRUE(HttpClient::isValidUrl("http://127.0.0.2:9100"));
  EXPECT_TRUE(HttpClient::isValidUrl("https://example.test/a?b=c"));
  EXPECT_FALSE(HttpClient::isValidUrl(""));
  EXPECT_FALSE(HttpClient::isValidUrl("http://"));
  EXPECT_FALSE(HttpClient::isValidUrl("127.0.0.1:80"));
  EXPECT_FALSE(HttpClient::isValidUrl("http://bad host/"));
  EXPECT_FALSE(HttpClient::isValidUrl(std::string_view("http://a\0b", 10)));
}

TEST(HttpClientTest, HeaderNamesCompareWithoutCase) {
  HttpHeaderList headers = {{"Content-Type", "a"}, {"Accept", "b"}};
  EXPECT_EQ(findHeader(headers, "content-type"), "a");
  EXPECT_EQ(findHeader(headers, "Expect"), std::nullopt);
  setHeader(headers, "ACCEPT", "c");
  setHeader(headers, "Expect", "");
  EXPECT_EQ(headers, (HttpHeaderList{{"Content-Type", "a"}, {"ACCEPT", "c"}, {"Expect", ""}}));
}

class HttpClientTransferTest : public testing::LoopTest {
 protected:
  void SetUp() override {
    sim_ = sim::HttpSimulator::start("127.0.0.1", 0);
    ASSERT_TRUE(sim_);
  }

  struct Result {
    std::mutex mutex;
    int ends = 0;
    HttpTransferEnd end;
  };

  HttpTransferId start(HttpRequest request, Result& result) {
    HttpTransferHandler handler;
    handler.onEnd = [&result](const HttpTransferEnd& end) {
      std::lock_guard<std::mutex> lock(result.mutex);
      ++result.ends;
      result.end = end;
    };
    return client_.start(std::move(request), std::move(handler));
  }

  bool ended(Result& result) {
    return main().runUntil([&] {
      std::lock_guard<std::mutex> lock(result.mutex);
      return result.ends > 0;
    });
  }

  std::unique_ptr<sim::HttpSimulator> sim_;
  HttpClient client_{"test.http"};
};

TEST_F(HttpClientTransferTest, TheTotalTimeOutRunsOnTheProcessClock) {
  sim::Reply late = sim::Reply::plain(200, "OK", "x", "text/plain");
  late.waitForRelease = true;
  sim_->add(late);
  HttpRequest request;
  request.method = "HEAD";
  request.url = sim_->url();
  request.totalTimeout = seconds(10);  // and no idle time-out
  Result result;
  start(request, result);
  ASSERT_TRUE(main().runUntil([&] { return sim_->requestCount() == 1; }));
  advanceSeconds(9.9);
  ASSERT_TRUE(main().runUntil([&] { return clock().pendingCount() == 1; }));
  advanceSeconds(0.1);
  ASSERT_TRUE(ended(result));
  EXPECT_EQ(result.end.errorCode, url_error::kTimedOut);
  EXPECT_EQ(result.end.errorText, "The request timed out.");
}

TEST_F(HttpClientTransferTest, MapsTransportErrorsAndStaysSilentAfterCancel) {
  HttpRequest unsupported;
  unsupported.url = "ftp://127.0.0.1/file";
  Result refusedScheme;
  start(unsupported, refusedScheme);
  ASSERT_TRUE(ended(refusedScheme));
  EXPECT_EQ(refusedScheme.end.errorCode, url_error::kUnsupportedURL);

  sim::Reply held = sim::Reply::plain(200, "OK", "x", "text/plain");
  held.waitForRelease = true;
  sim_->add(held);
  HttpRequest request;
  request.url = sim_->url();
  Result cancelled;
  const HttpTransferId id = start(request, cancelled);
  ASSERT_TRUE(main().runUntil([&] { return sim_->requestCount() == 1; }));
  client_.cancel(id);
  // The client takes its tasks in order: once the later request is out, the
  // cancel has been taken, however late its thread got to it, and the
  // answer released now must go unheard. The later transfer's end then
  // shows the cancelled one had every chance to report.
  Result later;
  start(request, later);
  ASSERT_TRUE(main().runUntil([&] { return sim_->requestCount() == 2; }));
  sim_->release();
  ASSERT_TRUE(ended(later));
  EXPECT_EQ(later.end.errorCode, 0);
  EXPECT_EQ(later.end.head.status, 200);
  std::lock_guard<std::mutex> lock(cancelled.mutex);
  EXPECT_EQ(cancelled.ends, 0);
}

}  // namespace
}  // namespace veltrix::platform
