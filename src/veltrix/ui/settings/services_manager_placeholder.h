// Stands in for the services manager until that screen is built: the hub's
// services row pushes what this maker returns, a plain titled screen. The
// services manager replaces the maker's body and keeps its signature.
//
// Thread: the main loop.
#pragma once

#include <memory>

#include "veltrix/platform/ui/view_controller.h"
#include "veltrix/ui/settings/settings_environment.h"

namespace veltrix::ui::settings {

// A new screen on every call.
std::shared_ptr<ViewController> makeServicesManagerViewController(const SettingsEnvironment& env);

}  // namespace veltrix::ui::settings
