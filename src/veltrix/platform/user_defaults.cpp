#include "veltrix/platform/user_defaults.h"

#include <system_error>

#include "veltrix/platform/file.h"
#include "veltrix/platform/json.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/paths.h"

namespace veltrix::platform {

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
  Json json = Json::object();
  for (const auto& [key, value] : values_) json[key] = value;
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
