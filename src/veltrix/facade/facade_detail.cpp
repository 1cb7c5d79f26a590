#include "veltrix/facade/facade_detail.h"

#include <fmt/format.h>

#include <variant>

#include "veltrix/platform/log.h"

namespace veltrix::facade::detail {

std::optional<std::string> dictValue(const ServiceDictionary& dict, std::string_view key) {
  auto found = dict.find(key);
  if (found == dict.end()) return std::nullopt;
  return found->second;
}

std::string describe(const ServiceDictionary& dict) {
  std::string text = "{";
  for (const auto& [key, value] : dict)
    fmt::format_to(std::back_inserter(text), "{} = {}; ", key, value);
  text += "}";
  return text;
}

std::string describe(const registry::Row& row) {
  std::string text = "{";
  for (const auto& [key, value] : row) {
    if (const auto* number = std::get_if<std::int64_t>(&value)) {
      fmt::format_to(std::back_inserter(text), "{} = {}; ", key, *number);
    } else {
      fmt::format_to(std::back_inserter(text), "{} = {}; ", key, std::get<std::string>(value));
    }
  }
  text += "}";
  return text;
}

void logBoth(registry::LogFile& logFile, std::string_view line) {
  platform::logLine(line);
  logFile.logMessage(line);
}

}  // namespace veltrix::facade::detail
