#include "veltrix/platform/user_defaults.h"

#include <fmt/format.h>

#include <ctime>
#include <system_error>

#include "veltrix/platform/clock.h"
#include "veltrix/platform/file.h"
#include "veltrix/platform/json.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/paths.h"

namespace veltrix::platform {
namespace {

// Renames `path` beside itself with the time in its name, so what it held
// is kept for a look later while the values start afresh.
void setAside(const std::filesystem::path& path, std::uintmax_t size) {
  const std::int64_t millis = nowMillis();
  const std::time_t seconds = static_cast<std::time_t>(millis / 1000);
  std::tm utc{};
  ::gmtime_r(&seconds, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
  std::error_code ec;
  std::filesystem::path target;
  for (int n = 0; n < 100; ++n) {
    target = path;
    target += n == 0 ? fmt::format(".aside-{}", stamp) : fmt::format(".aside-{}-{}", stamp, n);
    if (!std::filesystem::exists(target, ec)) break;
  }
  std::filesystem::rename(path, target, ec);
  if (ec) {
    logf(
        "UserDefaults: {} holds {} bytes, over the cap of {}; could not set it aside ({}), "
        "starting empty",
        path.string(), size, kUserDefaultsMaxFileSize, ec.message());
    return;
  }
  logf("UserDefaults: {} holds {} bytes, over the cap of {}; set aside as {}, starting empty",
       path.string(), size, kUserDefaultsMaxFileSize, target.string());
}

}  // namespace

UserDefaults& UserDefaults::standard() {
  // Never destroyed, like every process-wide object.
  static auto* defaults = new UserDefaults;
  return *defaults;
}

UserDefaults::UserDefaults() = default;

UserDefaults::UserDefaults(std::filesystem::path file) : fixedPath_(std::move(file)) {}

std::filesystem::path UserDefaults::filePath() const {
  return fixedPath_ ? *fixedPath_ : documentsDir() / kUserDefaultsFileName;
}

void UserDefaults::loadIfNeeded() {
  const std::filesystem::path path = filePath();
  if (loadedPath_ == path) return;
  loadedPath_ = path;
  values_.clear();
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (!ec && size > kUserDefaultsMaxFileSize) {
    setAside(path, size);
    return;
  }
  const std::optional<std::string> text = readWholeFile(path);
  if (!text) return;
  std::string error;
  const std::optional<Json> json = parseJson(*text, &error);
  if (!json || !json->is_object()) {
    logf("UserDefaults: unreadable file {} ({}), starting empty", path.string(), error);
    return;
  }
  for (const auto& [key, value] : json->items()) {
    if (value.is_string()) values_[key] = value.get<std::string>();
  }
}

bool UserDefaults::writeLocked() {
  // The keys are unique and already in order: appended as they are, where
  // json[key] would search the members for each one.
  Json json(Json::value_t::object);
  auto& members = json.get_ref<Json::object_t&>();
  members.reserve(values_.size());
  for (const auto& [key, value] : values_) members.emplace_back(key, value);
  const std::optional<std::string> text = dumpJson(json);
  const std::filesystem::path path = filePath();
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  if (!text || !writeFileAtomically(path, *text)) {
    logf("UserDefaults: could not write {}", path.string());
    return false;
  }
  return true;
}

std::optional<std::string> UserDefaults::stringForKey(std::string_view key) {
  std::lock_guard<std::mutex> lock(mutex_);
  loadIfNeeded();
  const auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

void UserDefaults::setString(std::string_view key, std::string value) {
  std::lock_guard<std::mutex> lock(mutex_);
  loadIfNeeded();
  values_.insert_or_assign(std::string(key), std::move(value));
  writeLocked();
}

void UserDefaults::removeObject(std::string_view key) {
  std::lock_guard<std::mutex> lock(mutex_);
  loadIfNeeded();
  const auto it = values_.find(key);
  if (it == values_.end()) return;
  values_.erase(it);
  writeLocked();
}

bool UserDefaults::synchronize() {
  std::lock_guard<std::mutex> lock(mutex_);
  loadIfNeeded();
  return writeLocked();
}

}  // namespace veltrix::platform
