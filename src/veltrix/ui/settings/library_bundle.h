// The library's own bundle as the screens read it: its info keys
// ("CFBundleShortVersionString", "CFBundleVersion"), never the host's.
//
// Immutable once made; any thread.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace veltrix::ui::settings {

inline constexpr std::string_view kShortVersionKey = "CFBundleShortVersionString";
inline constexpr std::string_view kBundleVersionKey = "CFBundleVersion";

class LibraryBundle {
 public:
  using Info = std::map<std::string, std::string, std::less<>>;

  explicit LibraryBundle(Info info = {}) : info_(std::move(info)) {}

  // The bundle of this build: the project's "major.minor" and its patch
  // number as the build number.
  static std::shared_ptr<const LibraryBundle> shared();

  std::optional<std::string> info(std::string_view key) const;

 private:
  Info info_;
};

}  // namespace veltrix::ui::settings
