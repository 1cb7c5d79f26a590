// veltrix-cli discover: runs terminal discovery (the host discovery service
// of the settings facade) for a while and lists the terminal services found.
#include <chrono>
#include <string>

#include "cli/commands.h"
#include "veltrix/facade/retailer_setting_manager.h"
#include "veltrix/platform/dispatch.h"

namespace veltrix::cli {

int runDiscover(const CommandLine& line, Printer& printer) {
  const int seconds = line.get("seconds") ? std::stoi(*line.get("seconds")) : 10;
  platform::MainLoop& loop = platform::MainLoop::shared();
  loop.bindCurrentThread();

  facade::RetailerSettingManager& settings = facade::RetailerSettingManager::sharedManager();
  settings.startDiscoverServices();
  printer.note("Discovering terminals for " + std::to_string(seconds) + " s...");
  loop.runUntil([] { return false; }, std::chrono::seconds(seconds));
  settings.stopDiscoverServices();

  const auto services = settings.showAllService();
  if (!services || services->empty()) {
    printer.note("No terminal found.");
    return 0;
  }
  for (const registry::ServiceInfo& service : *services) printer.service(service);
  return 0;
}

}  // namespace veltrix::cli
