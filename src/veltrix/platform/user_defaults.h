// User defaults: a few text values under text keys that survive restarts,
// kept in one small JSON file ("user-defaults.json") in the documents
// directory. The platform's user defaults hold only the Bluetooth LE
// transport's last device.
//
// Writes go to the file at once (replaced whole, so a crash leaves the old
// or the new content); synchronize() writes again and reports whether the
// file holds the values. A write costs time linear in the file's size. A
// file that cannot be read or parsed counts as empty and is replaced by the
// next write. A file over kUserDefaultsMaxFileSize is never read: it is set
// aside (renamed to "<name>.aside-<UTC time>", kept, logged) and the values
// start empty.
//
// Thread-safe. Non-copyable. One process-wide instance (standard()), which
// follows the documents directory when it changes; tests may build their
// own on a path.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace veltrix::platform {

inline constexpr std::string_view kUserDefaultsFileName = "user-defaults.json";
// Far beyond what a few settings need; a larger file is damage or abuse.
inline constexpr std::uintmax_t kUserDefaultsMaxFileSize = 4u << 20;

class UserDefaults {
 public:
  static UserDefaults& standard();

  // Defaults in kUserDefaultsFileName of documentsDir(), looked up at each
  // use.
  UserDefaults();
  // Defaults in `file`.
  explicit UserDefaults(std::filesystem::path file);
  UserDefaults(const UserDefaults&) = delete;
  UserDefaults& operator=(const UserDefaults&) = delete;

  std::optional<std::string> stringForKey(std::string_view key);
  void setString(std::string_view key, std::string value);
  void removeObject(std::string_view key);
  // Writes the values out; false when the file could not be written.
  bool synchronize();

  std::filesystem::path filePath() const;

 private:
  // Loads the file when the path changed since the last use. Needs mutex_.
  void loadIfNeeded();
  bool writeLocked();

  std::optional<std::filesystem::path> fixedPath_;
  std::mutex mutex_;
  std::optional<std::filesystem::path> loadedPath_;
  std::map<std::string, std::string, std::less<>> values_;
};

}  // namespace veltrix::platform
