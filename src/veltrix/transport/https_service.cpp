#include "veltrix/transport/https_service.h"

#include <cstdint>
#include <mutex>
#include <utility>

#include "veltrix/codec/event_notification_parser.h"
#include "veltrix/platform/bool_value.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/url_error.h"
#include "veltrix/transport/streaming_http_session_manager.h"

namespace veltrix::transport {
namespace {

constexpr std::string_view kEventNotification = "EventNotification";

HttpRequestOptions requestOptions(const HttpsServiceConfig& config) {
  HttpRequestOptions options;
  options.idleTimeout = config.idleTimeout;
  // The manager puts "Content-Type" with its charset and "Accept" over
  // these, so five fields reach the wire.
  options.headers = {{"Content-Type", "application/json"},
                     {"Connection", "Keep-Alive"},
                     {"support-long-connection", "true"},
                     {"accept-encoding", "identity"}};
  options.acceptedContentTypes = {"application/json", "text/json", "text/javascript"};
  options.freshConnection = true;
  return options;
}

HttpError jsonError(std::string description) {
  return HttpError{kJSONErrorDomain, kJSONReadErrorCode, std::move(description)};
}

bool endFlagOf(const platform::Json& message) {
  if (!message.is_object()) return false;
  const auto it = message.find("endFlag");
  return it != message.end() && platform::jsonBoolValue(*it);
}

std::optional<platform::Json> parseLogged(std::string_view json) {
  std::string error;
  std::optional<platform::Json> parsed = platform::parseJson(json, &error);
  if (!parsed) platform::logf("JSON 解析失败: {}", error);
  return parsed;
}

bool isXmlBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// "<name ...>...</name>" or "<name .../>" filling `text` from `at` to its
// end. The name runs to the first '>', blank, '/' or ':'.
bool isElementAt(std::string_view text, std::size_t at) {
  if (at >= text.size() || text[at] != '<') return false;
  std::size_t i = at + 1;
  while (i < text.size() && text[i] != '>' && text[i] != '/' && text[i] != ':' &&
         !isXmlBlank(text[i])) {
    ++i;
  }
  const std::string_view name = text.substr(at + 1, i - at - 1);
  const std::size_t tagEnd = text.find('>', i);
  if (name.empty() || tagEnd == std::string_view::npos) return false;

  // Self-closing: the tag is the rest of the text.
  if (tagEnd == text.size() - 1 && tagEnd - 1 >= i && text[tagEnd - 1] == '/' &&
      (tagEnd - 1 == i || isXmlBlank(text[i]))) {
    return true;
  }
  // Opening tag, anything, and the closing tag at the very end.
  if (i != tagEnd && !isXmlBlank(text[i])) return false;
  const std::string closing = "</" + std::string(name) + ">";
  return text.size() >= closing.size() && text.size() - closing.size() > tagEnd &&
         text.substr(text.size() - closing.size()) == closing;
}

}  // namespace

// One send: its blocks, the message being assembled and how far it got.
// Lives in the session manager's blocks; everything but `task` is touched
// on the main loop only, after cell() has handed it over.
struct HttpsService::Exchange {
  std::shared_ptr<HttpsService> service;  // kept alive for its one send
  WSStreamingHTTPSessionManager* manager = nullptr;
  std::optional<std::string> exchangeId;
  std::optional<std::string> serviceType;
  CommunicateProgressBlock progress;
  CommunicateResultBlock result;
  const std::size_t maxMessageBytes;
  JsonDocumentSplitter splitter;
  bool responseDelivered = false;
  bool finalDelivered = false;  // an answer had "endFlag" true
  bool ended = false;

  std::mutex taskMutex;  // cell() may run on another thread than the blocks
  HttpTaskId task;

  explicit Exchange(std::size_t maxBytes) : maxMessageBytes(maxBytes), splitter(maxBytes) {}

  void onPiece(const std::string& text) {
    if (ended) return;
    platform::logf("xmlChunk = {}", text);
    for (JsonDocumentSplitter::Document& message : splitter.append(text)) {
      if (ended) return;
      deliver(std::move(message));
    }
    if (splitter.state() == JsonDocumentSplitter::State::kTooLarge && !ended) {
      platform::logf("A message of exchange {} exceeds {} bytes; the transfer is stopped",
                     exchangeId.value_or("(null)"), maxMessageBytes);
      HttpTaskId id;
      {
        std::lock_guard<std::mutex> lock(taskMutex);
        id = task;
      }
      manager->cancel(id);
      fail(HttpError::url(platform::url_error::kDataLengthExceedsMaximum));
    }
  }

  void deliver(JsonDocumentSplitter::Document message) {
    // The splitter has parsed the message; that value is the only parse on
    // the way to the decoder, which borrows it.
    const platform::Json& parsed = message.value;
    const bool endFlag = endFlagOf(parsed);
    platform::logf("Is endFlag true? {}", endFlag ? "YES" : "NO");
    bool notification = false;
    if (parsed.is_object()) {
      const auto type = parsed.find("serviceType");
      notification = type != parsed.end() && type->is_string() &&
                     type->get_ref<const std::string&>() == kEventNotification;
    }

    if (!notification) {
      platform::logLine("交易完成，返回交易结果");
      responseDelivered = true;
      finalDelivered = finalDelivered || endFlag;
      // A copy: the block may run the main loop, which may end the exchange.
      const CommunicateResultBlock block = result;
      if (!block) return;
      const std::string text = std::move(message.text);
      platform::ParsedJsonLoan loan(text, std::move(message.value));
      block(text, exchangeId, endFlag, serviceType, 0, std::nullopt);
      return;
    }
    platform::logLine("解析通知报文信息");
    const CommunicateProgressBlock block = progress;
    if (!block) return;
    const auto body = parsed.find("response");
    std::shared_ptr<const model::EventNotificationParam> record =
        codec::EventNotificationParamBuilder::parseBodyFromDictionary(
            body == parsed.end() ? nullptr : &*body);
    block(platform::readText(parsed, "exchangeIdentification"),
          platform::readText(parsed, "serviceType"), std::move(record));
  }

  // The transfer has ended by itself: judge how.
  void onCompletion(const std::optional<HttpError>& error) {
    if (ended) return;
    const bool unacceptableType = error && error->domain == kHTTPResponseErrorDomain &&
                                  error->code == platform::url_error::kCannotDecodeContentData;
    if (error && !unacceptableType) {
      fail(*error);  // lost connection, time-out, bad status, bad URL
    } else if (!responseDelivered) {
      fail(error ? *error : jsonError("The response ended without a complete message."));
    } else if (!splitter.pendingIsBlank()) {
      fail(jsonError("The response ended with text that is not a complete message."));
    } else if (!finalDelivered) {
      // No answer was final: nothing else would ever end the request.
      fail(jsonError("The response ended without a final message."));
    } else {
      finish();
    }
  }

  void fail(const HttpError& error) {
    if (ended) return;
    platform::logf("Exchange {} failed: {}", exchangeId.value_or("(null)"), error.toString());
    CommunicateResultBlock block = std::move(result);
    finish();
    if (block) block(std::nullopt, exchangeId, true, serviceType, error.code, error.domain);
  }

  // Nothing more is reported; the host's blocks are let go.
  void finish() {
    ended = true;
    progress = nullptr;
    result = nullptr;
    splitter.reset();
  }
};

std::shared_ptr<HttpsService> HttpsService::create(std::string baseUrl) {
  return create(std::move(baseUrl), HttpsServiceConfig{});
}

std::shared_ptr<HttpsService> HttpsService::create(std::string baseUrl, HttpsServiceConfig config) {
  return std::shared_ptr<HttpsService>(new HttpsService(std::move(baseUrl), config));
}

HttpsService::HttpsService(std::string baseUrl, HttpsServiceConfig config)
    : baseUrl_(std::move(baseUrl)), config_(config) {}

void HttpsService::sendRequest(std::optional<std::string> request,
                               std::optional<std::string> exchangeId,
                               std::optional<std::string> serviceType,
                               std::optional<std::string> /*address*/,
                               CommunicateProgressBlock progress, CommunicateResultBlock result) {
  cell(std::move(request), std::move(exchangeId), std::move(serviceType), std::move(progress),
       std::move(result));
}

void HttpsService::cell(std::optional<std::string> request, std::optional<std::string> exchangeId,
                        std::optional<std::string> serviceType, CommunicateProgressBlock progress,
                        CommunicateResultBlock result) {
  platform::LogFile& logFile = config_.logFile != nullptr ? *config_.logFile : platform::logFile();
  const std::string requestLine = "repuestData = " + request.value_or("(null)");
  platform::logLine(requestLine);
  logFile.logMessage(requestLine);
  const std::string urlLine = "url = " + baseUrl_;
  platform::logLine(urlLine);
  logFile.logMessage(urlLine);

  WSStreamingHTTPSessionManager& manager = config_.sessionManager != nullptr
                                               ? *config_.sessionManager
                                               : WSStreamingHTTPSessionManager::sharedManager();
  setupXMLPatternRegex();

  auto exchange = std::make_shared<Exchange>(config_.maxMessageBytes);
  exchange->service = shared_from_this();
  exchange->manager = &manager;
  exchange->exchangeId = std::move(exchangeId);
  exchange->serviceType = std::move(serviceType);
  exchange->progress = std::move(progress);
  exchange->result = std::move(result);

  // Held across post() so that a block that must stop the task finds its id.
  std::lock_guard<std::mutex> lock(exchange->taskMutex);
  exchange->task = manager.post(
      baseUrl_, request.value_or(std::string()), std::nullopt, requestOptions(config_),
      [exchange](const std::string& text, std::uint64_t, std::int64_t) { exchange->onPiece(text); },
      [exchange](std::optional<std::string>, std::optional<HttpError> error,
                 const HttpResponseInfo&) { exchange->onCompletion(error); });
  platform::logf("task = {}", exchange->task.v);
}

bool HttpsService::isEndFlagTrue(std::string_view json) { return getEndFlagValueForJson(json); }

bool HttpsService::getEndFlagValueForJson(std::string_view json) {
  const std::optional<platform::Json> parsed = parseLogged(json);
  return parsed && endFlagOf(*parsed);
}

std::optional<platform::Json> HttpsService::extractMsgFctnForJson(std::string_view json) {
  std::optional<platform::Json> parsed = parseLogged(json);
  if (!parsed || !parsed->is_object()) return std::nullopt;
  return parsed;
}

void HttpsService::setupXMLPatternRegex() { xmlPatternReady_.store(true); }

bool HttpsService::isCompleteXMLWithRegex(std::string_view text) const {
  while (!text.empty() && isXmlBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isXmlBlank(text.back())) text.remove_suffix(1);
  if (text.empty() || !xmlPatternReady_.load()) return false;

  // An XML declaration may come first; when what follows it is no element,
  // the text is read once more as starting with an element called "?xml".
  constexpr std::string_view kDeclaration = "<?xml";
  if (text.substr(0, kDeclaration.size()) == kDeclaration && text.size() > kDeclaration.size() &&
      isXmlBlank(text[kDeclaration.size()])) {
    const std::size_t end = text.find('>');
    if (end != std::string_view::npos && end > kDeclaration.size() + 1 && text[end - 1] == '?') {
      std::size_t next = end + 1;
      while (next < text.size() && isXmlBlank(text[next])) ++next;
      if (isElementAt(text, next)) return true;
    }
  }
  return isElementAt(text, 0);
}

}  // namespace veltrix::transport
