// The host application inside veltrix-cli: it runs the library's main loop
// on the program's main thread, starts one request at a time through a
// RetailerManager and prints what comes back.
//
// The host result block says nothing of end flags, yet the command must
// stop after the exchange's last message, and an abort must not stop the
// program before its message has left. So the host builds its own
// RetailerManager over the library's shared database, registry, settings
// and log file (the facade's public constructor), with a transport factory
// that wraps the library's transports and watches each exchange: how many
// responses came, whether the final one came, whether the transport ended.
//
// Threads: main loop only (the thread that made it). Ownership: owns its
// RetailerManager and the watchers; the printer must outlive it.
// Non-copyable.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "cli/printer.h"
#include "veltrix/facade/retailer_manager.h"
#include "veltrix/facade/retailer_setting_manager.h"
#include "veltrix/model/codes.h"
#include "veltrix/registry/database_manager.h"

namespace veltrix::cli {

inline constexpr std::chrono::seconds kRequestTimeout{200};

// How one request ended.
struct Outcome {
  // False when the time ran out first.
  bool finished = false;
  // The code of the last result delivered; nullopt when none was.
  std::optional<std::int64_t> lastCode;
  // The terminal's response in that result, when it came with code 0 and a
  // result object (an abort's answer has none).
  std::optional<model::ResponseCode> lastResponse;
};

// The result's text form: its toString() where it has one, else its
// response code (and additional information).
template <typename R>
std::string textForm(const R& result) {
  if constexpr (requires { result.toString(); }) {
    return result.toString();
  } else {
    std::string text = "response: " + model::ResponseCodeHelper::stringFromCode(result.response);
    if (result.additionalResponseInformation) {
      text += "\nadditionalResponseInformation: " + *result.additionalResponseInformation;
    }
    return text;
  }
}

class CliHost {
 public:
  // Over the library's shared database and settings.
  explicit CliHost(Printer& printer);
  // Over a database and settings of the caller's (which must outlive it):
  // a till that meets its terminals through discovery of its own.
  CliHost(Printer& printer, registry::DatabaseManager& database,
          facade::RetailerSettingManager& settings);
  ~CliHost();
  CliHost(const CliHost&) = delete;
  CliHost& operator=(const CliHost&) = delete;

  facade::RetailerManager& manager() { return *manager_; }

  // Starts a request with `start`, which calls one service method of
  // manager() with the blocks it is given, and runs the main loop until the
  // request has ended and its transport is done, or `timeout` has passed.
  // `last` receives the last result object delivered.
  template <typename R>
  Outcome run(const std::function<void(facade::ExchangeIdBlock, facade::ResultBlock<R>)>& start,
              std::shared_ptr<const R>* last = nullptr,
              std::chrono::seconds timeout = kRequestTimeout) {
    launch<R>(start, last);
    return finish(timeout);
  }

  // run() in two steps, for a host that acts (on a screen) while the
  // request is under way: launch() starts it, finish() waits for its end.
  template <typename R>
  void launch(const std::function<void(facade::ExchangeIdBlock, facade::ResultBlock<R>)>& start,
              std::shared_ptr<const R>* last = nullptr) {
    begin();
    start(exchangeIdBlock(), [this, last](std::shared_ptr<const R> result, std::int64_t code,
                                          std::optional<std::string> message) {
      if (last && result) *last = result;
      const bool answered = code == 0 && result;
      delivered(code, std::move(message),
                answered ? std::optional<std::string>(textForm(*result)) : std::nullopt,
                answered ? std::optional<model::ResponseCode>(result->response) : std::nullopt);
    });
  }
  Outcome finish(std::chrono::seconds timeout = kRequestTimeout);

  // The same for abort, whose block takes (code, message) only.
  Outcome runAbort(
      const std::function<void(facade::ExchangeIdBlock, facade::AbortResultBlock)>& start,
      std::chrono::seconds timeout = kRequestTimeout);

 private:
  class Watcher;
  class Notifications;

  void begin();
  facade::ExchangeIdBlock exchangeIdBlock();
  void notified(const model::EventNotificationParam& param);
  // One host result: printed with the end flag the watcher knows of.
  void delivered(std::int64_t code, std::optional<std::string> message,
                 std::optional<std::string> text, std::optional<model::ResponseCode> response);
  // The request's last word: an abort's answer, or an error.
  void ended(std::int64_t code, std::optional<std::string> message);
  // A transport of the exchange has ended; once every result queued for it
  // has been delivered, the request counts as ended even without a final
  // result (a final message that could not be decoded).
  void transportEnded(const std::string& exchangeId);

  Printer& printer_;
  std::shared_ptr<Watcher> watcher_;
  std::shared_ptr<Notifications> notifications_;
  std::shared_ptr<facade::RetailerManager> manager_;

  // The request in flight.
  std::string exchangeId_;
  std::size_t deliveries_ = 0;
  bool done_ = false;
  std::optional<std::int64_t> lastCode_;
  std::optional<model::ResponseCode> lastResponse_;
  std::uint64_t markers_ = 0;
};

}  // namespace veltrix::cli
