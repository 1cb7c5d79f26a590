#include "veltrix/ui/settings/remember_popup_maker.h"

#include <utility>

#include "veltrix/ui/settings/multi_select_popup_view_controller.h"

namespace veltrix::ui::settings {

std::shared_ptr<ViewController> makeRememberPopup(RememberPopupRequest request,
                                                  const SettingsEnvironment& env) {
  auto completion = std::move(request.completion);
  return std::make_shared<MultiSelectPopupViewController>(
      std::move(request.options), std::move(request.remembered), std::move(request.sn),
      [completion = std::move(completion)](const std::string& flag, const std::string& sn,
                                           const registry::Row&) {
        if (completion) completion(flag, sn);
      },
      env);
}

}  // namespace veltrix::ui::settings
