// The process's streaming HTTP session: a POST whose response is followed
// while it is still arriving.
//
// Every piece of the response is decoded to text at once (UTF-8, see
// Utf8StreamDecoder) and handed to the caller's progress block; the end of
// the task is reported once to the completion block, after every progress
// call. Options travel with each request instead of living in shared,
// mutable serializers, so requests sent at the same time never see each
// other's settings.
//
// Threads: post(), cancel(), cancelAllRequests() and setRequestTimeout() may
// be called from any thread. Transfers run on the session thread (libcurl),
// which is also the serial task queue "com.ws.streaming.xml.task.queue"
// where each task's bytes are counted and decoded: one hop fewer than a
// separate queue, which matters for the latency of an exchange. Both blocks
// run on the main queue. A block of a cancelled task never runs, even one
// already queued on the main queue, provided the cancel is made on the main
// queue.
// Ownership: the manager owns its session thread and task queue; the tasks
// hold the caller's blocks until their completion has run or they are
// cancelled. Destroying the manager cancels everything.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "veltrix/platform/clock.h"
#include "veltrix/platform/http_client.h"
#include "veltrix/transport/http_error.h"

namespace veltrix::transport {

using HttpHeaders = platform::HttpHeaderList;

// Identifies one task of a session; 0 means no task was started.
struct HttpTaskId {
  std::uint64_t v = 0;
  bool isValid() const { return v != 0; }
  friend bool operator==(HttpTaskId, HttpTaskId) = default;
};

struct HttpRequestOptions {
  // Idle time-out of the request (restarts on every received byte); absent:
  // the manager's request time-out.
  std::optional<platform::Duration> idleTimeout;
  // The header fields a request serializer would set. The post's own header
  // table is applied over them.
  HttpHeaders headers;
  // MIME types of an acceptable response; absent: the manager's default
  // list (defaultAcceptedContentTypes()).
  std::optional<std::vector<std::string>> acceptedContentTypes;
  // A new connection for this request alone, closed after it (see
  // platform::HttpRequest::freshConnection): for requests that must never
  // be sent twice.
  bool freshConnection = false;
};

// What the completion learns of the response.
struct HttpResponseInfo {
  std::int64_t statusCode = 0;  // 0 when no status line arrived
  std::optional<std::string> contentType;
  std::int64_t expectedLength = -1;
  std::uint64_t receivedBytes = 0;
};

// (text of one piece, bytes received so far, bytes expected or -1).
using HttpProgressBlock = std::function<void(const std::string& text, std::uint64_t receivedBytes,
                                             std::int64_t expectedBytes)>;
// (text, error, response). On a transport failure the text is what arrived
// before it, or absent when nothing did; at a normal end it is the body's
// text (the empty string for no body). The text keeps at most
// kMaxKeptTextBytes; the error is absent on success.
using HttpCompletionBlock =
    std::function<void(std::optional<std::string> text, std::optional<HttpError> error,
                       const HttpResponseInfo& response)>;

// True when `contentType` (parameters ignored, case-insensitive) is one of
// `accepted`.
bool isAcceptedContentType(const std::optional<std::string>& contentType,
                           const std::vector<std::string>& accepted);

class WSStreamingHTTPSessionManager {
 public:
  static constexpr double kDefaultRequestTimeout = 60.0;
  static constexpr double kResourceTimeout = 604800.0;  // seven days
  static constexpr const char* kTaskQueueLabel = "com.ws.streaming.xml.task.queue";
  // The completion's text is not needed for the messages themselves (they
  // went out piece by piece), so it is bounded like one message.
  static constexpr std::size_t kMaxKeptTextBytes = 16u * 1024u * 1024u;

  // "application/json", "text/json", "text/plain", "text/html",
  // "application/octet-stream".
  static const std::vector<std::string>& defaultAcceptedContentTypes();

  // The one session of the process, created on first use and never
  // destroyed; its thread ends at exit before anything it uses goes
  // (platform/process_exit.h).
  static WSStreamingHTTPSessionManager& sharedManager();

  explicit WSStreamingHTTPSessionManager(
      platform::Duration resourceTimeout = platform::seconds(kResourceTimeout));
  ~WSStreamingHTTPSessionManager();
  WSStreamingHTTPSessionManager(const WSStreamingHTTPSessionManager&) = delete;
  WSStreamingHTTPSessionManager& operator=(const WSStreamingHTTPSessionManager&) = delete;

  // Default idle time-out of later requests, in seconds.
  void setRequestTimeout(double seconds);
  double requestTimeout() const;

  // Posts `body` (UTF-8, unchanged) to `url`. `headers` (may be absent) gets
  // "Content-Type: application/json; charset=utf-8" and "Accept:
  // application/json, text/xml" when it lacks them, and replaces the
  // options' fields of the same names. A URL that cannot be used starts no
  // task: the completion gets (nothing, -1000) on the main queue and the
  // returned id is invalid.
  HttpTaskId post(const std::string& url, const std::string& body,
                  const std::optional<HttpHeaders>& headers, const HttpRequestOptions& options,
                  HttpProgressBlock progress, HttpCompletionBlock completion);

  // Stops one task; none of its blocks runs afterwards.
  void cancel(HttpTaskId task);
  // Stops every task and forgets them; none of their blocks runs afterwards.
  void cancelAllRequests();

  // Tasks whose completion has not run yet and that were not cancelled.
  std::size_t taskCount() const;
  // Of those, the tasks whose transfer has not ended yet (the others wait
  // for their completion on the main queue).
  std::size_t runningTaskCount() const;

 private:
  struct Core;
  std::shared_ptr<Core> core_;
  std::unique_ptr<platform::HttpClient> client_;
};

}  // namespace veltrix::transport
