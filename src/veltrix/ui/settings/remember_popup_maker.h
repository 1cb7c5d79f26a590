// How the device settings screen gets the per-terminal remember popup
// ("Remember Option"): the services of one type, the remembered row of that
// type, an optional designated serial number and a completion told what was
// stored ("1" saved the service of terminal `sn`, "2" forgot the type's
// remembered services). makeRememberPopup makes the library's
// MultiSelectPopupViewController; the screen's maker member lets tests put
// another in its place.
//
// Thread: the main loop. Each call makes a new controller the caller owns
// (and presents).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "veltrix/platform/ui/view_controller.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/ui/settings/settings_environment.h"

namespace veltrix::ui::settings {

using RememberPopupCompletion =
    std::function<void(const std::string& flag, const std::optional<std::string>& sn)>;

struct RememberPopupRequest {
  // Terminal-service rows, in row order.
  registry::Rows options;
  // fetchRememberServicesWithType of the type (empty: none remembered).
  registry::Row remembered;
  // A designated terminal's serial number, or none.
  std::optional<std::string> sn;
  RememberPopupCompletion completion;
};

using RememberPopupMaker = std::function<std::shared_ptr<ViewController>(
    RememberPopupRequest, const SettingsEnvironment&)>;

std::shared_ptr<ViewController> makeRememberPopup(RememberPopupRequest request,
                                                  const SettingsEnvironment& env);

}  // namespace veltrix::ui::settings
