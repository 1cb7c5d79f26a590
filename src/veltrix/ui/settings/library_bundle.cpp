#include "veltrix/ui/settings/library_bundle.h"

#include "veltrix/version.h"

namespace veltrix::ui::settings {

std::shared_ptr<const LibraryBundle> LibraryBundle::shared() {
  static const auto bundle = std::make_shared<const LibraryBundle>(
      LibraryBundle::Info{{std::string(kShortVersionKey), VELTRIX_VERSION_SHORT_STRING},
                          {std::string(kBundleVersionKey), VELTRIX_VERSION_BUILD_STRING}});
  return bundle;
}

std::optional<std::string> LibraryBundle::info(std::string_view key) const {
  if (auto it = info_.find(key); it != info_.end()) return it->second;
  return std::nullopt;
}

}  // namespace veltrix::ui::settings
