// What veltrix-cli writes on standard output: for people by default, one
// JSON object per line with --json (and nothing else then).
//
// Main loop only. Writes and flushes each line at once, so a reader sees
// every notification as it arrives.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "veltrix/model/abort_reprint_results.h"
#include "veltrix/registry/terminal_info.h"

namespace veltrix::cli {

class Printer {
 public:
  explicit Printer(bool json) : json_(json) {}

  bool json() const { return json_; }

  void exchange(const std::string& exchangeId);
  void notification(const std::string& exchangeId, const model::EventNotificationParam& param);
  // A result with code 0 carries the result's text form; an error its
  // message.
  void result(std::int64_t code, const std::optional<std::string>& message, bool endFlag,
              const std::optional<std::string>& text);
  // A terminal service that discovery found; services of one terminal come
  // one after another.
  void service(const registry::ServiceInfo& info);
  // A line for people only (headings, where files are); nothing in JSON mode.
  void note(const std::string& line);

 private:
  void emit(const std::string& line);

  bool json_;
  std::string lastTerminal_;
};

}  // namespace veltrix::cli
