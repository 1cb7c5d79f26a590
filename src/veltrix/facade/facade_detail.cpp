#include "veltrix/facade/facade_detail.h"

#include <fmt/format.h>

#include <string>
#include <variant>

#include "veltrix/platform/log.h"

namespace veltrix::facade::detail {

std::optional<std::string> dictValue(const ServiceDictionary& dict, std::string_view key) {
  auto found = dict.find(key);
  if (found == dict.end()) return std::nullopt;
  return found->second;
}

std::size_t textLength(std::string_view text) {
  std::size_t length = 0;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t bytes = 1;
    if (lead >= 0xF0 && lead <= 0xF4) {
      bytes = 4;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      bytes = 3;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      bytes = 2;
    }
    if (bytes > 1 && i + bytes <= text.size()) {
      bool continuation = true;
      for (std::size_t k = 1; k < bytes; ++k) {
        continuation = continuation && (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
      }
      if (!continuation) bytes = 1;
    } else {
      bytes = 1;
    }
    length += bytes == 4 ? 2 : 1;
    i += bytes;
  }
  return length;
}

ServiceDictionary dictionaryFromRow(const registry::Row& row) {
  ServiceDictionary dict;
  for (const auto& [key, value] : row) {
    if (const auto* number = std::get_if<std::int64_t>(&value)) {
      dict.emplace(key, std::to_string(*number));
    } else {
      dict.emplace(key, std::get<std::string>(value));
    }
  }
  return dict;
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
