// The HTTP transport: one casp request posted to a terminal service on the
// local network, its streamed answer cut into messages.
//
// The terminal keeps the response open and writes one JSON message after
// another: event notifications, then the response. Each message is handed
// on as soon as its last byte has arrived, whatever the piece boundaries: a
// message whose top-level "serviceType" is "EventNotification" goes to the
// progress block (its own "exchangeIdentification", its "serviceType", the
// parsed record), any other to the result block (its text as received, the
// send's exchange identifier, its "endFlag", the send's service type, 0).
// Nothing ends the exchange when "endFlag" is true: the terminal ends the
// response, or the idle time-out does.
//
// A failure goes to the result block once, as (nothing, exchange
// identifier, true, service type, code, error domain), and nothing follows
// it. When the body ends normally, a failure is reported only when the
// status is not 2xx (-1011), when no response arrived (-1016 for a content
// type that is not JSON, else 3840), when text that is not blank is left
// over (3840) or when no response was final (none an object with "endFlag"
// true: 3840), so a request always ends. A message longer than the cap
// fails the exchange with -1103 and stops the transfer.
//
// Every send goes out on a connection of its own that is closed afterwards:
// curl would otherwise send a payment a second time by itself when a reused
// keep-alive connection dies before any answer. The request still carries
// "Connection: Keep-Alive", as terminals expect.
//
// Threads: create() and the send may be called on any thread (the facade's);
// the blocks run on the main loop, where every message is assembled.
// Ownership: one object per request, made by create(); the blocks of its
// send hold it, so the caller may drop its pointer right after sending. The
// session manager and the log file must outlive the send.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "veltrix/platform/clock.h"
#include "veltrix/platform/json.h"
#include "veltrix/platform/log_file.h"
#include "veltrix/transport/communicate_service.h"
#include "veltrix/transport/json_document_splitter.h"

namespace veltrix::transport {

class WSStreamingHTTPSessionManager;

// What a transport is built with; the defaults are production's.
struct HttpsServiceConfig {
  static constexpr double kIdleTimeoutSeconds = 180.0;

  // nullptr: WSStreamingHTTPSessionManager::sharedManager().
  WSStreamingHTTPSessionManager* sessionManager = nullptr;
  // nullptr: the process's log file (platform::logFile()).
  platform::LogFile* logFile = nullptr;
  // Restarts on every received byte; also covers connecting.
  platform::Duration idleTimeout = platform::seconds(kIdleTimeoutSeconds);
  // Upper bound of one message.
  std::size_t maxMessageBytes = JsonDocumentSplitter::kMaxDocumentBytes;
};

class HttpsService final : public CommunicateServiceProtocol,
                           public std::enable_shared_from_this<HttpsService> {
 public:
  // A transport whose POST goes to exactly `baseUrl` ("http://" and the
  // terminal service's address).
  static std::shared_ptr<HttpsService> create(std::string baseUrl);
  static std::shared_ptr<HttpsService> create(std::string baseUrl, HttpsServiceConfig config);

  HttpsService(const HttpsService&) = delete;
  HttpsService& operator=(const HttpsService&) = delete;

  // Forwards to cell(); `address` is not used (the target is baseUrl).
  void sendRequest(std::optional<std::string> request, std::optional<std::string> exchangeId,
                   std::optional<std::string> serviceType, std::optional<std::string> address,
                   CommunicateProgressBlock progress, CommunicateResultBlock result) override;

  // The send: logs "repuestData = %@" and "url = %@" to the platform log and
  // the log file, then posts `request` (an absent one as an empty body).
  void cell(std::optional<std::string> request, std::optional<std::string> exchangeId,
            std::optional<std::string> serviceType, CommunicateProgressBlock progress,
            CommunicateResultBlock result);

  const std::string& baseUrl() const { return baseUrl_; }

  // getEndFlagValueForJson of the same text.
  static bool isEndFlagTrue(std::string_view json);
  // The truth value of the top-level "endFlag" (platform::jsonBoolValue;
  // absent is false). Text that does not parse logs "JSON 解析失败: %@" and
  // gives false.
  static bool getEndFlagValueForJson(std::string_view json);
  // The top-level JSON object; absent when the text is an array, and after
  // logging "JSON 解析失败: %@" when it does not parse.
  static std::optional<platform::Json> extractMsgFctnForJson(std::string_view json);

  // Readies the XML completeness check (done at every send). The exchange
  // does not use it.
  void setupXMLPatternRegex();
  // True when the text, trimmed of blanks and line ends, is one XML element
  // (optionally after an XML declaration): "<a ...>...</a>" or "<a .../>".
  // False before setupXMLPatternRegex() has run.
  bool isCompleteXMLWithRegex(std::string_view text) const;

 private:
  struct Exchange;

  HttpsService(std::string baseUrl, HttpsServiceConfig config);

  const std::string baseUrl_;
  const HttpsServiceConfig config_;
  std::atomic<bool> xmlPatternReady_{false};
};

}  // namespace veltrix::transport
