#include "veltrix/ui/settings/library_bundle.h"

#include "veltrix/ui/settings/bundle_version.h"

namespace veltrix::ui::settings {

std::shared_ptr<const LibraryBundle> LibraryBundle::shared() {
  static const auto bundle = std::make_shared<const LibraryBundle>(
      LibraryBundle::Info{{std::string(kShortVersionKey), VELTRIX_BUNDLE_SHORT_VERSION},
                          {std::string(kBundleVersionKey), VELTRIX_BUNDLE_VERSION}});
  return bundle;
}

std::optional<std::string> LibraryBundle::info(std::string_view key) const {
  if (auto it = info_.find(key); it != info_.end()) return it->second;
  return std::nullopt;
}

}  // namespace veltrix::ui::settings
