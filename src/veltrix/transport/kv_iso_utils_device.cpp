// Device, environment, text-check, Base64, probe and resource operations of
// KVISOUtils.
#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <regex>

#include "veltrix/platform/base64.h"
#include "veltrix/platform/device_info.h"
#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/file.h"
#include "veltrix/platform/json.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/net_interfaces.h"
#include "veltrix/platform/paths.h"
#include "veltrix/platform/tcp_probe.h"
#include "veltrix/platform/uuid.h"
#include "veltrix/transport/kv_iso_utils.h"
#include "veltrix/transport/text_utf.h"

namespace veltrix::transport {
namespace {

// KVISOUtils has a member named platform(), so the namespace goes by alias.
namespace vp = ::veltrix::platform;

// ---- Model table ------------------------------------------------------------

const std::map<std::string, std::string, std::less<>>& modelTable() {
  static const auto* table = new std::map<std::string, std::string, std::less<>>{
#include "veltrix/transport/model_table.inc"
  };
  return *table;
}

// ---- Device identifier ---------------------------------------------------------

bool isUuidText(std::string_view text) {
  if (text.size() != 36) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? text[i] != '-' : !std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
  }
  return true;
}

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string_view trimAscii(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  return text;
}

// ---- White space of the platform's "white space and newline" set ------------------

std::string_view trimWhiteSpaceAndNewlines(std::string_view text) {
  while (const std::size_t n = leadingWhiteSpaceLength(text)) text.remove_prefix(n);
  while (!text.empty()) {
    std::size_t start = text.size() - 1;
    while (start > 0 && text.size() - start < 4 &&
           (static_cast<std::uint8_t>(text[start]) & 0xC0) == 0x80) {
      --start;
    }
    const std::string_view last = text.substr(start);
    if (leadingWhiteSpaceLength(last) != last.size()) break;
    text.remove_suffix(last.size());
  }
  return text;
}

}  // namespace

// ---- Device and network facts ---------------------------------------------------------

std::optional<std::string> KVISOUtils::getUUID() {
  static std::mutex mutex;
  // Never destroyed: read from any thread until the process ends.
  static auto& cachedDir = *new std::filesystem::path;
  static auto& cached = *new std::optional<std::string>;
  std::lock_guard<std::mutex> lock(mutex);
  const std::filesystem::path dir = vp::documentsDir();
  if (cached && cachedDir == dir) return cached;
  const std::filesystem::path file = dir / kDeviceIdFileName;
  if (const std::optional<std::string> stored = vp::readWholeFile(file)) {
    const std::string_view text = trimAscii(*stored);
    if (isUuidText(text)) {
      cachedDir = dir;
      cached = upper(std::string(text));
      return cached;
    }
  }
  std::string id = upper(vp::newUuid());
  if (!isUuidText(id)) return std::nullopt;
  if (!vp::writeFileAtomically(file, id)) {
    vp::logf("KVISOUtils: cannot store the device identifier in {}", file.string());
  }
  cachedDir = dir;
  cached = std::move(id);
  return cached;
}

std::string KVISOUtils::getWiFiIPAddress() {
  const std::optional<std::vector<vp::InterfaceAddress>> entries =
      vp::networkEnvironment()->interfaceAddresses();
  if (!entries) return "error";
  const std::optional<std::string> wifi = vp::wifiInterfaceName(*entries);
  if (!wifi) return "error";
  std::string address = "error";
  for (const vp::InterfaceAddress& entry : *entries) {
    // Every IPv4 entry of the interface overwrites the one before.
    if (entry.name == *wifi && entry.ipv4) address = *entry.ipv4;
  }
  return address;
}

std::string KVISOUtils::platform() {
  const std::optional<std::string> machine = vp::machineHardwareName();
  if (!machine || !isValidUtf8(*machine)) return "Unknown";
  return *machine;
}

std::string KVISOUtils::platformName() { return platformNameFor(platform()); }

std::string KVISOUtils::platformNameFor(std::string_view identifier) {
  const auto& table = modelTable();
  const auto it = table.find(identifier);
  return it != table.end() ? it->second : std::string(identifier);
}

std::size_t KVISOUtils::platformNameTableSize() { return modelTable().size(); }

// ---- Text checks ----------------------------------------------------------------------------

bool KVISOUtils::isStringValidCompleteJSON(std::string_view text) {
  const std::string_view trimmed = trimWhiteSpaceAndNewlines(text);
  if (trimmed.size() < 2) return false;
  const char first = trimmed.front();
  const char last = trimmed.back();
  // Opening and closing brackets are not paired here; the parse decides.
  if ((first != '{' && first != '[') || (last != '}' && last != ']')) return false;
  return vp::parseJson(trimmed).has_value();
}

bool KVISOUtils::isStringValidJSON(std::string_view text) {
  if (text.empty()) return false;
  return vp::parseJson(text).has_value();
}

bool KVISOUtils::isValidIPAndPort(std::string_view text) {
  // No valid text is longer; a bound keeps the regex engine's recursion small.
  if (text.empty() || text.size() > 32) return false;
  static const auto& pattern = *new std::optional<std::regex>([]() -> std::optional<std::regex> {
    try {
      return std::regex(
          R"(^((25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\.){3}(25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?):([1-9]|[1-5]?[0-9]{2,4}|6[0-4][0-9]{3}|65[0-4][0-9]{2}|655[0-2][0-9]|6553[0-5])$)");
    } catch (const std::regex_error& e) {
      vp::logf("正则表达式错误: {}", e.what());
      return std::nullopt;
    }
  }());
  ;
  if (!pattern) return false;
  try {
    return std::regex_match(text.begin(), text.end(), *pattern);
  } catch (const std::regex_error& e) {
    vp::logf("正则表达式错误: {}", e.what());
    return false;
  }
}

std::optional<std::string> KVISOUtils::base64ToString(std::string_view text) {
  return vp::base64ToString(text);
}

std::optional<std::string> KVISOUtils::stringToBase64(std::string_view text) {
  return vp::stringToBase64(text);
}

// ---- Probe -----------------------------------------------------------------------------------

void KVISOUtils::pingHost(std::string host, std::int64_t port, double timeout,
                          std::function<void(bool reachable)> completion) {
  pingHost(vp::GlobalQueue::shared(), std::move(host), port, timeout, std::move(completion));
}

void KVISOUtils::pingHost(vp::TaskQueue& queue, std::string host, std::int64_t port, double timeout,
                          std::function<void(bool reachable)> completion) {
  queue.post([host = std::move(host), port, timeout, completion = std::move(completion)]() mutable {
    const bool reachable = pingHostNow(host, port, timeout);
    vp::postToMain([completion = std::move(completion), reachable] {
      if (completion) completion(reachable);
    });
  });
}

bool KVISOUtils::pingHostNow(const std::string& host, std::int64_t port, double timeout) {
  try {
    return vp::tcpConnectProbe(host, static_cast<std::uint16_t>(port & 0xFFFF), timeout);
  } catch (...) {
    return false;
  }
}

// ---- Resources -------------------------------------------------------------------------------

std::filesystem::path KVISOUtils::sdkBundle() { return vp::resourceDir(); }

std::optional<std::string> KVISOUtils::pathForResource(std::string_view name,
                                                       std::string_view type) {
  if (name.empty()) return std::nullopt;
  std::string fileName(name);
  if (!type.empty()) {
    fileName += '.';
    fileName += type;
  }
  const std::filesystem::path relative(fileName);
  if (relative.is_absolute()) return std::nullopt;
  for (const auto& part : relative) {
    if (part == "..") return std::nullopt;
  }
  const std::filesystem::path path = sdkBundle() / relative;
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return std::nullopt;
  return path.string();
}

}  // namespace veltrix::transport
