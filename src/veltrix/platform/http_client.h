// HTTP transfers over libcurl: one client thread runs a curl multi handle and
// carries any number of transfers at once, reusing connections (keep-alive).
//
// Every transfer is HTTP/1.1 without proxy, without decompression and
// without "Expect: 100-continue". Its idle time-out restarts on every byte
// received (headers included) and also covers connecting; both the idle and
// the total time-out run on the process clock (platform::clock()), so tests
// with a ManualClock trigger them by advancing it.
//
// Threads: start(), cancel() and cancelAll() may be called from any thread.
// The handler's blocks run on the client's own thread; they must be quick
// and must not call back into the client synchronously (post instead).
// Ownership: the client owns its thread and every curl handle; destroying it
// stops every transfer without calling any handler, and so does the
// process's exit (process_exit.h).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "veltrix/platform/clock.h"

namespace veltrix::platform {

// Header fields in the order they are sent. Names compare case-insensitively.
using HttpHeaderList = std::vector<std::pair<std::string, std::string>>;

// The value of `name` in `headers` (case-insensitive), if any.
std::optional<std::string> findHeader(const HttpHeaderList& headers, std::string_view name);
// Replaces the value of `name` (case-insensitive) or appends it.
void setHeader(HttpHeaderList& headers, std::string name, std::string value);

struct HttpRequest {
  std::string method = "GET";  // "GET", "HEAD" or "POST"
  std::string url;
  // Sent as given. An empty value removes a header that curl would add by
  // itself (as "Expect" does for large bodies).
  HttpHeaderList headers;
  std::string body;         // POST only, sent unchanged
  Duration idleTimeout{};   // zero: none
  Duration totalTimeout{};  // zero: none
  // Off only for probes that must reach servers with any certificate.
  bool verifyTls = true;
  // Send on a new connection and close it afterwards. curl sends a request
  // a second time by itself when a reused connection dies before any answer;
  // a request that must never arrive twice (a payment) asks for this.
  bool freshConnection = false;
};

// What is known of the response: its status line and headers.
struct HttpResponseHead {
  std::int64_t status = 0;  // 0 until a status line arrived
  std::optional<std::string> contentType;
  std::int64_t expectedLength = -1;  // Content-Length, or -1 when unknown
};

struct HttpTransferEnd {
  std::int64_t errorCode = 0;  // 0, or a code of url_error.h
  std::string errorText;       // empty when errorCode is 0
  HttpResponseHead head;
};

struct HttpTransferHandler {
  // Every piece of the body, in arrival order.
  std::function<void(std::string_view bytes, const HttpResponseHead& head)> onData;
  // Once, when the transfer has ended by itself; never after cancel().
  std::function<void(const HttpTransferEnd& end)> onEnd;
};

using HttpTransferId = std::uint64_t;

class HttpClient {
 public:
  // `label` names the client's thread in logs.
  explicit HttpClient(std::string label);
  ~HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  // Starts a transfer; the returned id (never 0) identifies it for cancel().
  HttpTransferId start(HttpRequest request, HttpTransferHandler handler);
  // Stops a transfer; its handler is not called after the client's thread
  // has taken the request (a block already running finishes).
  void cancel(HttpTransferId id);
  void cancelAll();

  // True when `url` parses as an absolute URL with a scheme and a host.
  static bool isValidUrl(std::string_view url);

 private:
  struct Impl;
  std::shared_ptr<Impl> impl_;
};

}  // namespace veltrix::platform
