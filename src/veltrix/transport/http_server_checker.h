// HTTP probes for the host application: is a server online, slow, asking for
// authentication or off? Nothing inside the library calls them.
//
// Threads: every member may be called from any thread. Completions of
// argument errors run at once on the caller's thread; all others run on the
// main queue. Ownership: the checker owns its HTTP session (a client thread
// of its own), made once; destroying a checker stops its probes without
// calling their completions.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "veltrix/platform/http_client.h"
#include "veltrix/transport/http_error.h"

namespace veltrix::transport {

enum class HTTPServerStatus : std::int64_t {
  kUnknown = 0,
  kOnline = 1,
  kOffline = 2,
  kSlow = 3,
  kAuthRequired = 4,
};

// (status, HTTP status code or 0, error, response time in milliseconds).
using HTTPCheckCompletion =
    std::function<void(HTTPServerStatus status, std::int64_t statusCode,
                       std::optional<HttpError> error, double responseTimeMs)>;

class HTTPServerChecker {
 public:
  // The domain of the checker's own argument errors.
  static constexpr const char* kErrorDomain = "HTTPServerChecker";
  static constexpr std::int64_t kEmptyURLError = -1000;
  static constexpr std::int64_t kInvalidURLError = -1001;
  static constexpr std::int64_t kUnsupportedMethodError = -1002;
  // Answers slower than this are "slow".
  static constexpr double kSlowResponseMs = 5000.0;
  // Every probe also ends after this long in all (the session's cap).
  static constexpr double kTotalTimeout = 10.0;

  static HTTPServerChecker& sharedChecker();

  HTTPServerChecker();
  ~HTTPServerChecker();
  HTTPServerChecker(const HTTPServerChecker&) = delete;
  HTTPServerChecker& operator=(const HTTPServerChecker&) = delete;

  // `method` is "HEAD" or "GET"; `timeout` in seconds is the idle time-out.
  void checkHTTPServer(const std::optional<std::string>& url, const std::string& method,
                       double timeout, HTTPCheckCompletion completion);
  void checkHTTPServer(const std::optional<std::string>& url, double timeout,
                       HTTPCheckCompletion completion);
  void checkHTTPServer(const std::optional<std::string>& url, const std::string& method,
                       HTTPCheckCompletion completion);

  // Probes all at once (HEAD, 5 s); URL -> 1 when online, else 0.
  void checkMultipleServers(const std::vector<std::string>& urls,
                            std::function<void(std::map<std::string, std::int64_t>)> completion);
  // HEAD of "http://host:port" with 3 s; true exactly when online.
  void checkPort(const std::string& host, std::int64_t port, std::function<void(bool)> completion);
  // GET of "baseURL/apiPath" with `params` as query, with the time-out the
  // last probe set.
  void checkAPI(const std::string& baseURL, const std::string& apiPath,
                const std::map<std::string, std::string>& params, HTTPCheckCompletion completion);
  // Whether any network path to the Internet exists; answers at once.
  void checkNetworkReachability(std::function<void(bool)> completion);

  static std::string statusDescription(HTTPServerStatus status);
  static HTTPServerStatus analyzeServerStatus(std::int64_t statusCode, double responseTimeMs);
  static HTTPServerStatus analyzeError(const std::optional<HttpError>& error);
  // "key=value&..." in key order, percent-escaped for a query.
  static std::string queryString(const std::map<std::string, std::string>& params);

 private:
  void send(const std::string& method, const std::string& url, const std::string& shownUrl,
            double timeout, HTTPCheckCompletion completion);

  std::unique_ptr<platform::HttpClient> session_;
  std::atomic<double> timeoutInterval_{kTotalTimeout};
};

}  // namespace veltrix::transport
