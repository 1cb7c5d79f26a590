#include "veltrix/transport/http_server_checker.h"

#include <fmt/format.h>

#include <chrono>
#include <mutex>

#include "veltrix/platform/clock.h"
#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/url_error.h"
#include "veltrix/transport/reachability.h"
#include "veltrix/transport/streaming_http_session_manager.h"

namespace veltrix::transport {
namespace {

const std::vector<std::string>& acceptedContentTypes() {
  static const auto* types = new std::vector<std::string>{
      "application/json", "text/json",       "text/javascript", "text/html",
      "text/plain",       "application/xml", "text/xml"};
  return *types;
}

std::string ensureHTTPURL(const std::string& url) {
  if (url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0) return url;
  return fmt::format("http://{}", url);
}

HttpError checkerError(std::int64_t code, const char* text) {
  return HttpError{HTTPServerChecker::kErrorDomain, code, text};
}

bool unreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~' || c == '/' || c == '?';
}

std::string percentEscaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (unreserved(u)) {
      out.push_back(c);
    } else {
      out += fmt::format("%{:02X}", u);
    }
  }
  return out;
}

}  // namespace

HTTPServerChecker& HTTPServerChecker::sharedChecker() {
  static auto* checker = new HTTPServerChecker();
  return *checker;
}

HTTPServerChecker::HTTPServerChecker()
    : session_(std::make_unique<platform::HttpClient>("HTTPServerChecker")) {}

HTTPServerChecker::~HTTPServerChecker() = default;

void HTTPServerChecker::checkHTTPServer(const std::optional<std::string>& url,
                                        const std::string& method, double timeout,
                                        HTTPCheckCompletion completion) {
  if (!url || url->empty()) {
    if (completion) {
      completion(HTTPServerStatus::kUnknown, 0, checkerError(kEmptyURLError, "URL不能为空"), 0.0);
    }
    return;
  }
  const std::string full = ensureHTTPURL(*url);
  if (!platform::HttpClient::isValidUrl(full)) {
    if (completion) {
      completion(HTTPServerStatus::kUnknown, 0, checkerError(kInvalidURLError, "URL格式无效"), 0.0);
    }
    return;
  }
  timeoutInterval_.store(timeout);
  platform::logf("🔍 开始检查HTTP服务器: {} (方法: {})", *url, method);
  if (method != "HEAD" && method != "GET") {
    // Nothing is sent, so nothing would ever answer: say so at once.
    if (completion) {
      completion(HTTPServerStatus::kUnknown, 0,
                 checkerError(kUnsupportedMethodError, "不支持的请求方法"), 0.0);
    }
    return;
  }
  send(method, full, *url, timeout, std::move(completion));
}

void HTTPServerChecker::checkHTTPServer(const std::optional<std::string>& url, double timeout,
                                        HTTPCheckCompletion completion) {
  checkHTTPServer(url, "HEAD", timeout, std::move(completion));
}

void HTTPServerChecker::checkHTTPServer(const std::optional<std::string>& url,
                                        const std::string& method, HTTPCheckCompletion completion) {
  checkHTTPServer(url, method, 8.0, std::move(completion));
}

void HTTPServerChecker::send(const std::string& method, const std::string& url,
                             const std::string& shownUrl, double timeout,
                             HTTPCheckCompletion completion) {
  platform::HttpRequest request;
  request.method = method;
  request.url = url;
  request.headers = {{"User-Agent", "HTTPServerChecker/1.0"},
                     {"Accept", "text/plain,text/html,application/json"}};
  request.idleTimeout = timeout > 0 ? platform::seconds(timeout) : platform::Duration::zero();
  request.totalTimeout = platform::seconds(kTotalTimeout);
  // A reachability probe must reach servers whatever certificate they show,
  // so neither the certificate nor the host name is checked.
  request.verifyTls = false;

  const platform::TimePoint start = platform::clock().now();
  auto received = std::make_shared<std::atomic<std::uint64_t>>(0);
  platform::HttpTransferHandler handler;
  handler.onData = [received](std::string_view bytes, const platform::HttpResponseHead&) {
    received->fetch_add(bytes.size());
  };
  handler.onEnd = [start, shownUrl, received,
                   completion = std::move(completion)](const platform::HttpTransferEnd& end) {
    const double ms =
        std::chrono::duration<double, std::milli>(platform::clock().now() - start).count();
    const std::int64_t status = end.head.status;
    std::optional<HttpError> error;
    if (end.errorCode != 0) {
      error = HttpError{kURLErrorDomain, end.errorCode, end.errorText};
    } else if (status < 200 || status > 299) {
      error = HttpError{kHTTPResponseErrorDomain, platform::url_error::kBadServerResponse,
                        fmt::format("Request failed: HTTP status {}", status)};
    } else if (received->load() > 0 &&
               !isAcceptedContentType(end.head.contentType, acceptedContentTypes())) {
      error = HttpError{kHTTPResponseErrorDomain, platform::url_error::kCannotDecodeContentData,
                        fmt::format("Request failed: unacceptable content-type: {}",
                                    end.head.contentType.value_or("(none)"))};
    }
    platform::postToMain([shownUrl, completion, error, status, ms] {
      if (!error) {
        const HTTPServerStatus verdict = analyzeServerStatus(status, ms);
        platform::logf("✅ HTTP服务器检查成功: {} - 状态码: {} - 响应时间: {:.0f}ms", shownUrl,
                       status, ms);
        if (completion) completion(verdict, status, std::nullopt, ms);
      } else {
        const HTTPServerStatus verdict = analyzeError(error);
        platform::logf("❌ HTTP服务器检查失败: {} - 错误: {} - 状态码: {}", shownUrl,
                       error->description, status);
        if (completion) completion(verdict, status, error, ms);
      }
    });
  };
  session_->start(std::move(request), std::move(handler));
}

void HTTPServerChecker::checkMultipleServers(
    const std::vector<std::string>& urls,
    std::function<void(std::map<std::string, std::int64_t>)> completion) {
  if (urls.empty()) {
    if (completion) completion({});
    return;
  }
  struct Gather {
    std::mutex mutex;
    std::map<std::string, std::int64_t> results;
    std::size_t remaining = 0;
  };
  auto gather = std::make_shared<Gather>();
  gather->remaining = urls.size();
  for (const std::string& url : urls) {
    checkHTTPServer(url, "HEAD", 5.0,
                    [gather, url, completion](HTTPServerStatus status, std::int64_t,
                                              std::optional<HttpError>, double) {
                      std::map<std::string, std::int64_t> done;
                      {
                        std::lock_guard<std::mutex> lock(gather->mutex);
                        gather->results[url] = status == HTTPServerStatus::kOnline ? 1 : 0;
                        if (--gather->remaining > 0) return;
                        done = gather->results;
                      }
                      if (completion) {
                        platform::postToMain([completion, done] { completion(done); });
                      }
                    });
  }
}

void HTTPServerChecker::checkPort(const std::string& host, std::int64_t port,
                                  std::function<void(bool)> completion) {
  const std::string url = fmt::format("http://{}:{}", host, port);
  platform::logf("urlString = {}", url);
  checkHTTPServer(
      url, "HEAD", 3.0,
      [completion](HTTPServerStatus status, std::int64_t, std::optional<HttpError>, double) {
        if (completion) completion(status == HTTPServerStatus::kOnline);
      });
}

void HTTPServerChecker::checkAPI(const std::string& baseURL, const std::string& apiPath,
                                 const std::map<std::string, std::string>& params,
                                 HTTPCheckCompletion completion) {
  std::string url = fmt::format("{}/{}", baseURL, apiPath);
  const std::string query = queryString(params);
  if (!query.empty()) url += (url.find('?') == std::string::npos ? "?" : "&") + query;
  send("GET", url, url, timeoutInterval_.load(), std::move(completion));
}

void HTTPServerChecker::checkNetworkReachability(std::function<void(bool)> completion) {
  if (!completion) return;
  const auto reachability = Reachability::reachabilityForInternetConnection();
  completion(reachability != nullptr && reachability->currentReachabilityStatus() !=
                                            Reachability::NetworkStatus::kNotReachable);
}

std::string HTTPServerChecker::statusDescription(HTTPServerStatus status) {
  switch (status) {
    case HTTPServerStatus::kOnline:
      return "在线";
    case HTTPServerStatus::kOffline:
      return "离线";
    case HTTPServerStatus::kSlow:
      return "响应缓慢";
    case HTTPServerStatus::kAuthRequired:
      return "需要认证";
    case HTTPServerStatus::kUnknown:
    default:
      return "未知";
  }
}

HTTPServerStatus HTTPServerChecker::analyzeServerStatus(std::int64_t statusCode,
                                                        double responseTimeMs) {
  if (statusCode >= 100 && statusCode < 400) {
    return responseTimeMs > kSlowResponseMs ? HTTPServerStatus::kSlow : HTTPServerStatus::kOnline;
  }
  if (statusCode == 401 || statusCode == 403) return HTTPServerStatus::kAuthRequired;
  if (statusCode < 100) return HTTPServerStatus::kUnknown;
  return HTTPServerStatus::kOffline;
}

HTTPServerStatus HTTPServerChecker::analyzeError(const std::optional<HttpError>& error) {
  if (!error) return HTTPServerStatus::kOnline;
  if (error->domain != kURLErrorDomain) return HTTPServerStatus::kOffline;
  switch (error->code) {
    case platform::url_error::kUserAuthenticationRequired:
    case platform::url_error::kUserCancelledAuthentication:
      return HTTPServerStatus::kAuthRequired;
    case platform::url_error::kTimedOut:
      return HTTPServerStatus::kSlow;
    default:
      return HTTPServerStatus::kOffline;
  }
}

std::string HTTPServerChecker::queryString(const std::map<std::string, std::string>& params) {
  std::string out;
  for (const auto& [key, value] : params) {
    if (!out.empty()) out += '&';
    out += percentEscaped(key);
    out += '=';
    out += percentEscaped(value);
  }
  return out;
}

}  // namespace veltrix::transport
