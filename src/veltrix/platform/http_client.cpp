#include "veltrix/platform/http_client.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/process_exit.h"
#include "veltrix/platform/url_error.h"

namespace veltrix::platform {
namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

void initCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::int64_t urlErrorFor(CURLcode rc) {
  switch (rc) {
    case CURLE_OK:
      return 0;
    case CURLE_OPERATION_TIMEDOUT:
      return url_error::kTimedOut;
    case CURLE_COULDNT_CONNECT:
      return url_error::kCannotConnectToHost;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return url_error::kCannotFindHost;
    case CURLE_UNSUPPORTED_PROTOCOL:
      return url_error::kUnsupportedURL;
    case CURLE_URL_MALFORMAT:
      return url_error::kBadURL;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
      return url_error::kNetworkConnectionLost;
    case CURLE_WEIRD_SERVER_REPLY:
      return url_error::kBadServerResponse;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_USE_SSL_FAILED:
      return url_error::kSecureConnectionFailed;
    case CURLE_ABORTED_BY_CALLBACK:
      return url_error::kCancelled;
    default:
      return url_error::kUnknown;
  }
}

// The client's task queue. Its tasks run on the client thread between two
// curl calls; posting wakes the thread out of curl_multi_poll. The process
// clock targets it for time-out checks, which is why it is a TaskQueue.
class ClientQueue final : public TaskQueue {
 public:
  explicit ClientQueue(std::string label) : label_(std::move(label)) {}

  void post(Task task) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (closed_) return;
      tasks_.push_back(std::move(task));
    }
    // Outside the task lock: the woken thread takes its tasks at once and
    // would otherwise block on the lock this thread still holds.
    std::lock_guard<std::mutex> lock(wakeMutex_);
    if (multi_ != nullptr) curl_multi_wakeup(multi_);
  }
  bool isCurrent() const override { return thread_.load() == std::this_thread::get_id(); }
  std::string_view label() const override { return label_; }

  void attach(CURLM* multi) {
    std::lock_guard<std::mutex> lock(wakeMutex_);
    multi_ = multi;
  }
  void bindCurrentThread() { thread_.store(std::this_thread::get_id()); }
  std::deque<Task> take() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::deque<Task> out;
    out.swap(tasks_);
    return out;
  }
  bool hasTasks() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return !tasks_.empty();
  }
  // After close() nothing runs and curl is never touched again from here.
  void close() {
    {
      std::lock_guard<std::mutex> lock(wakeMutex_);
      multi_ = nullptr;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    tasks_.clear();
  }

 private:
  const std::string label_;
  mutable std::mutex mutex_;
  std::deque<Task> tasks_;
  // Guards the multi handle for wake-ups: once close() has let it go, the
  // client thread cleans it up.
  std::mutex wakeMutex_;
  CURLM* multi_ = nullptr;
  bool closed_ = false;
  std::atomic<std::thread::id> thread_{};
};

struct Transfer {
  HttpTransferId id = 0;
  CURL* easy = nullptr;
  curl_slist* headers = nullptr;
  HttpRequest request;
  HttpTransferHandler handler;
  TimePoint started{};
  TimePoint lastActivity{};
  bool headKnown = false;
  HttpResponseHead head;
  bool checkScheduled = false;
  char errorBuffer[CURL_ERROR_SIZE] = {};

  Transfer() = default;
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;
  ~Transfer() {
    if (easy != nullptr) curl_easy_cleanup(easy);
    if (headers != nullptr) curl_slist_free_all(headers);
  }
};

HttpResponseHead readHead(CURL* easy) {
  HttpResponseHead head;
  long status = 0;
  if (curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK) head.status = status;
  char* type = nullptr;
  if (curl_easy_getinfo(easy, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type != nullptr) {
    head.contentType = std::string(type);
  }
  curl_off_t length = -1;
  if (curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK) {
    head.expectedLength = length;
  }
  return head;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t n = size * count;
  t->lastActivity = clock().now();
  if (!t->headKnown) {
    t->head = readHead(t->easy);
    t->headKnown = true;
  }
  if (t->handler.onData && n > 0) {
    try {
      t->handler.onData(std::string_view(data, n), t->head);
    } catch (...) {
      // A handler fault must not unwind through curl.
    }
  }
  return n;
}

size_t onHeader(char* /*data*/, size_t size, size_t count, void* user) {
  static_cast<Transfer*>(user)->lastActivity = clock().now();
  return size * count;
}

}  // namespace

std::optional<std::string> findHeader(const HttpHeaderList& headers, std::string_view name) {
  for (const auto& [key, value] : headers) {
    if (equalsIgnoringCase(key, name)) return value;
  }
  return std::nullopt;
}

void setHeader(HttpHeaderList& headers, std::string name, std::string value) {
  for (auto& [key, existing] : headers) {
    if (equalsIgnoringCase(key, name)) {
      key = std::move(name);
      existing = std::move(value);
      return;
    }
  }
  headers.emplace_back(std::move(name), std::move(value));
}

struct HttpClient::Impl {
  std::shared_ptr<ClientQueue> queue;
  CURLM* multi = nullptr;
  OwnedThread thread;
  ExitStop exitStop;
  std::atomic<HttpTransferId> nextId{1};
  std::atomic<bool> stopping{false};
  // Client thread only.
  std::map<HttpTransferId, std::unique_ptr<Transfer>> transfers;

  explicit Impl(std::string label) : queue(std::make_shared<ClientQueue>(std::move(label))) {}

  // The thread ends after the curl call it is in; no handler runs after.
  void stop() {
    stopping.store(true);
    queue->post([] {});
  }

  void run() {
    queue->bindCurrentThread();
    while (!stopping.load()) {
      for (Task& task : queue->take()) {
        if (task) task();
      }
      int running = 0;
      curl_multi_perform(multi, &running);
      drainFinished();
      long waitMs = -1;
      curl_multi_timeout(multi, &waitMs);
      if (waitMs < 0 || waitMs > 1000) waitMs = 1000;
      if (stopping.load() || queue->hasTasks()) waitMs = 0;
      if (waitMs > 0) curl_multi_poll(multi, nullptr, 0, static_cast<int>(waitMs), nullptr);
    }
    queue->close();
    for (auto& [id, t] : transfers) curl_multi_remove_handle(multi, t->easy);
    transfers.clear();
    curl_multi_cleanup(multi);
    multi = nullptr;
  }

  void add(HttpTransferId id, HttpRequest request, HttpTransferHandler handler) {
    auto t = std::make_unique<Transfer>();
    t->id = id;
    t->request = std::move(request);
    t->handler = std::move(handler);
    t->easy = curl_easy_init();
    if (t->easy == nullptr) {
      HttpTransferEnd end;
      end.errorCode = url_error::kUnknown;
      end.errorText = "cannot create a transfer";
      if (t->handler.onEnd) t->handler.onEnd(end);
      return;
    }
    CURL* e = t->easy;
    const HttpRequest& r = t->request;
    curl_easy_setopt(e, CURLOPT_URL, r.url.c_str());
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(e, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_TCP_NODELAY, 1L);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, t.get());
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, t.get());
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t->errorBuffer);
    curl_easy_setopt(e, CURLOPT_PRIVATE, t.get());
    if (r.method == "POST") {
      curl_easy_setopt(e, CURLOPT_POST, 1L);
      curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(r.body.size()));
      curl_easy_setopt(e, CURLOPT_POSTFIELDS, r.body.data());
    } else if (r.method == "HEAD") {
      curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
    } else if (r.method == "GET") {
      curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    } else {
      curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, r.method.c_str());
    }
    for (const auto& [name, value] : r.headers) {
      const std::string line = value.empty() ? name + ":" : name + ": " + value;
      curl_slist* next = curl_slist_append(t->headers, line.c_str());
      if (next != nullptr) t->headers = next;
    }
    if (t->headers != nullptr) curl_easy_setopt(e, CURLOPT_HTTPHEADER, t->headers);
    if (r.freshConnection) {
      curl_easy_setopt(e, CURLOPT_FRESH_CONNECT, 1L);
      curl_easy_setopt(e, CURLOPT_FORBID_REUSE, 1L);
    }
    if (!r.verifyTls) {
      curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 0L);
      curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 0L);
    }
    t->started = t->lastActivity = clock().now();
    curl_multi_add_handle(multi, e);
    Transfer& ref = *t;
    transfers.emplace(id, std::move(t));
    scheduleCheck(ref);
  }

  void remove(HttpTransferId id) {
    auto it = transfers.find(id);
    if (it == transfers.end()) return;
    curl_multi_remove_handle(multi, it->second->easy);
    transfers.erase(it);
  }

  void removeAll() {
    for (auto& [id, t] : transfers) curl_multi_remove_handle(multi, t->easy);
    transfers.clear();
  }

  // Ends a transfer and reports it; the transfer is gone before the handler
  // runs, so the handler may start new transfers.
  void finish(HttpTransferId id, std::int64_t code, std::string detail) {
    auto it = transfers.find(id);
    if (it == transfers.end()) return;
    std::unique_ptr<Transfer> t = std::move(it->second);
    transfers.erase(it);
    HttpTransferEnd end;
    end.head = readHead(t->easy);
    end.errorCode = code;
    if (code != 0) {
      end.errorText = url_error::describe(code);
      if (code == url_error::kUnknown && !detail.empty()) end.errorText += " (" + detail + ")";
    }
    curl_multi_remove_handle(multi, t->easy);
    HttpTransferHandler handler = std::move(t->handler);
    t.reset();
    if (handler.onEnd) {
      try {
        handler.onEnd(end);
      } catch (...) {
      }
    }
  }

  void drainFinished() {
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
      if (msg->msg != CURLMSG_DONE) continue;
      const CURLcode rc = msg->data.result;
      Transfer* t = nullptr;
      curl_easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, &t);
      if (t == nullptr) continue;
      std::string detail = t->errorBuffer[0] != '\0' ? t->errorBuffer : curl_easy_strerror(rc);
      finish(t->id, urlErrorFor(rc), std::move(detail));
    }
  }

  // One pending check per transfer: when it fires early (data arrived in
  // the meantime) it schedules the next one.
  void scheduleCheck(Transfer& t) {
    if (t.checkScheduled) return;
    const Duration idle = t.request.idleTimeout;
    const Duration total = t.request.totalTimeout;
    if (idle <= Duration::zero() && total <= Duration::zero()) return;
    TimePoint deadline = TimePoint::max();
    if (idle > Duration::zero()) deadline = t.lastActivity + idle;
    if (total > Duration::zero()) deadline = std::min(deadline, t.started + total);
    t.checkScheduled = true;
    clock().schedule(deadline, queue, [this, id = t.id] { checkTimeout(id); });
  }

  void checkTimeout(HttpTransferId id) {
    auto it = transfers.find(id);
    if (it == transfers.end()) return;
    Transfer& t = *it->second;
    t.checkScheduled = false;
    const TimePoint now = clock().now();
    const Duration idle = t.request.idleTimeout;
    const Duration total = t.request.totalTimeout;
    const bool idleOver = idle > Duration::zero() && now - t.lastActivity >= idle;
    const bool totalOver = total > Duration::zero() && now - t.started >= total;
    if (idleOver || totalOver) {
      finish(id, url_error::kTimedOut, {});
    } else {
      scheduleCheck(t);
    }
  }
};

HttpClient::HttpClient(std::string label) : impl_(std::make_shared<Impl>(std::move(label))) {
  initCurlOnce();
  impl_->multi = curl_multi_init();
  impl_->queue->attach(impl_->multi);
  impl_->thread.start([impl = impl_] { impl->run(); });
  // At exit transfers stop before anything their handlers use goes away
  // (the process-wide session is never destroyed).
  impl_->exitStop =
      ExitStop(ExitStage::kInput, [weak = std::weak_ptr<Impl>(impl_)](ExitDeadline deadline) {
        if (auto impl = weak.lock()) {
          impl->stop();
          impl->thread.finish(deadline);
        }
      });
}

HttpClient::~HttpClient() {
  impl_->exitStop.reset();
  impl_->stop();
  impl_->thread.finish();
}

HttpTransferId HttpClient::start(HttpRequest request, HttpTransferHandler handler) {
  const HttpTransferId id = impl_->nextId.fetch_add(1);
  impl_->queue->post([impl = impl_.get(), id, request = std::move(request),
                      handler = std::move(handler)]() mutable {
    impl->add(id, std::move(request), std::move(handler));
  });
  return id;
}

void HttpClient::cancel(HttpTransferId id) {
  impl_->queue->post([impl = impl_.get(), id] { impl->remove(id); });
}

void HttpClient::cancelAll() {
  impl_->queue->post([impl = impl_.get()] { impl->removeAll(); });
}

bool HttpClient::isValidUrl(std::string_view url) {
  if (url.empty() || url.find('\0') != std::string_view::npos) return false;
  initCurlOnce();
  CURLU* handle = curl_url();
  if (handle == nullptr) return false;
  const std::string text(url);
  bool ok = curl_url_set(handle, CURLUPART_URL, text.c_str(), 0) == CURLUE_OK;
  if (ok) {
    char* host = nullptr;
    ok = curl_url_get(handle, CURLUPART_HOST, &host, 0) == CURLUE_OK && host != nullptr &&
         host[0] != '\0';
    curl_free(host);
  }
  curl_url_cleanup(handle);
  return ok;
}

}  // namespace veltrix::platform
