// Small text helpers shared by the facade's sources. Stateless.
#pragma once

#include <cstddef>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "veltrix/facade/scan_presenter.h"
#include "veltrix/platform/log.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/registry/file_logger.h"

namespace veltrix::facade::detail {

// An absent text as the log lines print it.
inline std::string_view orNull(const std::optional<std::string>& text) {
  return text ? std::string_view(*text) : std::string_view("(null)");
}

inline bool hasText(const std::optional<std::string>& text) { return text && !text->empty(); }

// The length of a text as the design counts it: UTF-16 code units (a
// character beyond U+FFFF counts 2). Bytes that are not UTF-8 count 1 each.
std::size_t textLength(std::string_view text);
inline std::size_t textLength(const std::string& text) {
  return textLength(std::string_view(text));
}
inline std::size_t textLength(const std::optional<std::string>& text) {
  return text ? textLength(std::string_view(*text)) : 0;
}

// The value under `key`; absent when the dictionary lacks it.
std::optional<std::string> dictValue(const ServiceDictionary& dict, std::string_view key);

// A database row as a service dictionary: integers as decimal text.
ServiceDictionary dictionaryFromRow(const registry::Row& row);

// "{key = value; ...}", the dictionaries' form in log lines.
std::string describe(const ServiceDictionary& dict);
std::string describe(const registry::Row& row);

// Writes `line` to the platform log and to the log file.
void logBoth(registry::LogFile& logFile, std::string_view line);

// Runs the host's code `call` (a block or a delegate hook). What it throws
// is logged and goes no further: the request it was called for goes on.
template <typename Call>
void callHost(std::string_view what, Call&& call) {
  try {
    call();
  } catch (const std::exception& e) {
    platform::logf("{} threw: {}", what, e.what());
  } catch (...) {
    platform::logf("{} threw", what);
  }
}

}  // namespace veltrix::facade::detail
