#include "veltrix/transport/streaming_http_session_manager.h"

#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <mutex>
#include <unordered_map>

#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/url_error.h"
#include "veltrix/transport/utf8_stream_decoder.h"

namespace veltrix::transport {
namespace {

std::string lowerTrimmed(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Characters (code points) of UTF-8 text.
std::size_t characterCount(std::string_view text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// The first `count` characters of UTF-8 text.
std::string_view firstCharacters(std::string_view text, std::size_t count) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (seen == count) return text.substr(0, i);
      ++seen;
    }
  }
  return text;
}

// One task between registration and completion. The blocks and the alive
// flag are read on the main queue; everything else belongs to the task
// queue (the session thread).
struct StreamTask {
  HttpTaskId id;
  platform::HttpTransferId transfer = 0;
  HttpProgressBlock progress;
  HttpCompletionBlock completion;
  std::vector<std::string> accepted;
  // Cleared by cancel and by the delivery of the completion; checked on the
  // main queue before each block.
  std::atomic<bool> alive{true};
  // Set on the task queue once the transfer's end has been handled.
  std::atomic<bool> ended{false};

  // Task queue only.
  Utf8StreamDecoder decoder;
  std::string kept;
  bool keptTruncated = false;
  HttpResponseInfo info;
};

}  // namespace

bool isAcceptedContentType(const std::optional<std::string>& contentType,
                           const std::vector<std::string>& accepted) {
  if (!contentType) return false;
  const std::string_view full = *contentType;
  const std::string mime = lowerTrimmed(full.substr(0, full.find(';')));
  return std::any_of(accepted.begin(), accepted.end(),
                     [&](const std::string& a) { return lowerTrimmed(a) == mime; });
}

struct WSStreamingHTTPSessionManager::Core : std::enable_shared_from_this<Core> {
  platform::Duration resourceTimeout{};
  std::atomic<double> requestTimeout{WSStreamingHTTPSessionManager::kDefaultRequestTimeout};
  std::atomic<std::uint64_t> nextId{1};

  mutable std::mutex mutex;
  std::unordered_map<std::uint64_t, std::shared_ptr<StreamTask>> tasks;

  void forget(const StreamTask& task) {
    std::lock_guard<std::mutex> lock(mutex);
    tasks.erase(task.id.v);
  }

  // The completion runs on the main queue; the task stays registered until
  // then, so a cancel made on the main queue before it still stops it.
  void deliverCompletion(const std::shared_ptr<StreamTask>& task, std::optional<std::string> text,
                         std::optional<HttpError> error, const HttpResponseInfo& info) {
    std::weak_ptr<Core> weak = weak_from_this();
    platform::postToMain([weak, task, text = std::move(text), error = std::move(error), info] {
      if (!task->alive.exchange(false)) return;
      if (auto core = weak.lock()) core->forget(*task);
      if (task->completion) task->completion(text, error, info);
    });
  }

  static void keep(StreamTask& task, const std::string& text) {
    if (task.keptTruncated) return;
    if (task.kept.size() + text.size() > kMaxKeptTextBytes) {
      task.keptTruncated = true;
      platform::logf("Response text beyond {} bytes is not kept (task {})", kMaxKeptTextBytes,
                     task.id.v);
      return;
    }
    task.kept.append(text);
  }

  static void deliverProgress(const std::shared_ptr<StreamTask>& task, std::string text) {
    if (text.empty() || !task->progress) return;
    platform::postToMain([task, text = std::move(text), received = task->info.receivedBytes,
                          expected = task->info.expectedLength] {
      if (task->alive.load()) task->progress(text, received, expected);
    });
  }

  // Task queue.
  void handleReceivedData(const std::shared_ptr<StreamTask>& task, std::string_view bytes,
                          const platform::HttpResponseHead& head) {
    if (!task->alive.load()) return;
    task->info.statusCode = head.status;
    task->info.contentType = head.contentType;
    task->info.expectedLength = head.expectedLength;
    task->info.receivedBytes += bytes.size();
    std::string text = task->decoder.decode(bytes);
    keep(*task, text);
    deliverProgress(task, std::move(text));
  }

  // Task queue.
  void handleTaskCompletion(const std::shared_ptr<StreamTask>& task,
                            const platform::HttpTransferEnd& end) {
    if (!task->alive.load()) return;
    std::string tail = task->decoder.finish();
    keep(*task, tail);
    deliverProgress(task, std::move(tail));

    HttpResponseInfo info = task->info;
    info.statusCode = end.head.status;
    info.contentType = end.head.contentType;
    info.expectedLength = end.head.expectedLength;

    std::optional<HttpError> error;
    if (end.errorCode != 0) {
      error = HttpError{kURLErrorDomain, end.errorCode, end.errorText};
    } else if (info.statusCode < 200 || info.statusCode > 299) {
      error = HttpError{kHTTPResponseErrorDomain, platform::url_error::kBadServerResponse,
                        fmt::format("Request failed: HTTP status {}", info.statusCode)};
    } else if (!(info.contentType == std::nullopt && info.receivedBytes == 0) &&
               !isAcceptedContentType(info.contentType, task->accepted)) {
      error = HttpError{kHTTPResponseErrorDomain, platform::url_error::kCannotDecodeContentData,
                        fmt::format("Request failed: unacceptable content-type: {}",
                                    info.contentType.value_or("(none)"))};
    }

    std::optional<std::string> text;
    if (error) {
      platform::logf("Request failed with error: {}", error->toString());
      if (info.receivedBytes > 0) text = task->kept;
    } else {
      text = task->kept;
      const std::size_t length = characterCount(*text);
      platform::logf("Request completed successfully. Response length: {} characters", length);
      if (length >= 1000) {
        platform::logf("Response XML (truncated): {}...", firstCharacters(*text, 100));
      } else {
        platform::logf("Full response XML: {}", *text);
      }
    }
    std::string().swap(task->kept);
    task->ended.store(true);
    deliverCompletion(task, std::move(text), std::move(error), info);
  }
};

const std::vector<std::string>& WSStreamingHTTPSessionManager::defaultAcceptedContentTypes() {
  static const auto* types = new std::vector<std::string>{
      "application/json", "text/json", "text/plain", "text/html", "application/octet-stream"};
  return *types;
}

WSStreamingHTTPSessionManager& WSStreamingHTTPSessionManager::sharedManager() {
  static auto* manager = new WSStreamingHTTPSessionManager();
  return *manager;
}

WSStreamingHTTPSessionManager::WSStreamingHTTPSessionManager(platform::Duration resourceTimeout)
    : core_(std::make_shared<Core>()),
      client_(std::make_unique<platform::HttpClient>(kTaskQueueLabel)) {
  core_->resourceTimeout = resourceTimeout;
}

WSStreamingHTTPSessionManager::~WSStreamingHTTPSessionManager() {
  cancelAllRequests();
  client_.reset();
}

void WSStreamingHTTPSessionManager::setRequestTimeout(double seconds) {
  core_->requestTimeout.store(seconds);
}

double WSStreamingHTTPSessionManager::requestTimeout() const {
  return core_->requestTimeout.load();
}

HttpTaskId WSStreamingHTTPSessionManager::post(const std::string& url, const std::string& body,
                                               const std::optional<HttpHeaders>& headers,
                                               const HttpRequestOptions& options,
                                               HttpProgressBlock progress,
                                               HttpCompletionBlock completion) {
  HttpHeaders table = headers.value_or(HttpHeaders{});
  if (!platform::findHeader(table, "Content-Type")) {
    table.emplace_back("Content-Type", "application/json; charset=utf-8");
  }
  if (!platform::findHeader(table, "Accept")) {
    table.emplace_back("Accept", "application/json, text/xml");
  }

  if (!platform::HttpClient::isValidUrl(url)) {
    HttpError error = HttpError::url(platform::url_error::kBadURL);
    platform::logf("Request failed with error: {}", error.toString());
    if (completion) {
      platform::postToMain([completion = std::move(completion), error = std::move(error)] {
        completion(std::nullopt, error, HttpResponseInfo{});
      });
    }
    return HttpTaskId{};
  }

  platform::HttpRequest request;
  request.method = "POST";
  request.url = url;
  request.headers = options.headers;
  for (auto& [name, value] : table) platform::setHeader(request.headers, name, value);
  // curl would otherwise announce large bodies with "Expect: 100-continue"
  // and wait a second for an answer the terminal never gives.
  platform::setHeader(request.headers, "Expect", "");
  request.body = body;
  request.idleTimeout =
      options.idleTimeout.value_or(platform::seconds(core_->requestTimeout.load()));
  request.totalTimeout = core_->resourceTimeout;
  request.freshConnection = options.freshConnection;

  auto task = std::make_shared<StreamTask>();
  task->id = HttpTaskId{core_->nextId.fetch_add(1)};
  task->progress = std::move(progress);
  task->completion = std::move(completion);
  task->accepted = options.acceptedContentTypes.value_or(defaultAcceptedContentTypes());

  platform::logf("Sending json request to: {}", url);

  std::weak_ptr<Core> weakCore = core_;
  platform::HttpTransferHandler handler;
  handler.onData = [weakCore, task](std::string_view bytes,
                                    const platform::HttpResponseHead& head) {
    if (auto core = weakCore.lock()) core->handleReceivedData(task, bytes, head);
  };
  handler.onEnd = [weakCore, task](const platform::HttpTransferEnd& end) {
    if (auto core = weakCore.lock()) core->handleTaskCompletion(task, end);
  };
  // Registered before the transfer starts, so its first event finds it, and
  // under the lock that cancel() takes, so a cancel sees the transfer id.
  std::lock_guard<std::mutex> lock(core_->mutex);
  core_->tasks.emplace(task->id.v, task);
  task->transfer = client_->start(std::move(request), std::move(handler));
  return task->id;
}

void WSStreamingHTTPSessionManager::cancel(HttpTaskId id) {
  std::shared_ptr<StreamTask> task;
  {
    std::lock_guard<std::mutex> lock(core_->mutex);
    auto it = core_->tasks.find(id.v);
    if (it == core_->tasks.end()) return;
    task = it->second;
    core_->tasks.erase(it);
    task->alive.store(false);
  }
  client_->cancel(task->transfer);
}

void WSStreamingHTTPSessionManager::cancelAllRequests() {
  {
    std::lock_guard<std::mutex> lock(core_->mutex);
    for (auto& [id, task] : core_->tasks) task->alive.store(false);
    core_->tasks.clear();
  }
  if (client_) client_->cancelAll();
}

std::size_t WSStreamingHTTPSessionManager::taskCount() const {
  std::lock_guard<std::mutex> lock(core_->mutex);
  return core_->tasks.size();
}

std::size_t WSStreamingHTTPSessionManager::runningTaskCount() const {
  std::lock_guard<std::mutex> lock(core_->mutex);
  return static_cast<std::size_t>(
      std::count_if(core_->tasks.begin(), core_->tasks.end(),
                    [](const auto& entry) { return !entry.second->ended.load(); }));
}

}  // namespace veltrix::transport
