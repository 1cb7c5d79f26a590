// Fixture of the scan screen tests: the real database in the test's
// documents directory, a discovery stand-in that records starts, stops and
// its delegate, and a request delegate that records the screen's answers.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/ui_test_env.h"
#include "veltrix/facade/scan_presenter.h"
#include "veltrix/platform/clock.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/registry/discover_manager_delegate.h"
#include "veltrix/registry/terminal_info.h"
#include "veltrix/ui/scan/scan_view_controller.h"

namespace veltrix::ui::scan::test {

class FakeDiscovery final : public registry::DiscoveryControl {
 public:
  void startScan() override {
    ++starts;
    running = true;
  }
  void stopScan() override {
    ++stops;
    running = false;
  }
  void setScanType(std::int32_t) override {}
  std::shared_ptr<registry::DiscoverManagerDelegate> delegate() const override {
    return delegate_.lock();
  }
  void setDelegate(std::weak_ptr<registry::DiscoverManagerDelegate> d) override { delegate_ = d; }

  int starts = 0;
  int stops = 0;
  bool running = false;

 private:
  std::weak_ptr<registry::DiscoverManagerDelegate> delegate_;
};

class HostDiscoveryDelegate final : public registry::DiscoverManagerDelegate {};

class RecordingScanDelegate final : public facade::ScanViewControllerDelegate {
 public:
  void onScanTerminalSucc(const facade::ServiceDictionary& service) override {
    chosen.push_back(service);
  }
  void onError(std::int64_t code, const std::optional<std::string>& msg) override {
    errors.push_back({code, msg.value_or("")});
  }
  std::size_t answers() const { return chosen.size() + errors.size(); }

  std::vector<facade::ServiceDictionary> chosen;
  std::vector<std::pair<std::int64_t, std::string>> errors;
};

class ScanScreenTest : public testing::UiTest {
 protected:
  ScanScreenTest() {
    db.insertSetting("preferencesMode", "1");
    discovery.setDelegate(host);
  }
  ~ScanScreenTest() override {
    // The screens go before the database and discovery they refer to.
    screen.reset();
    nav.reset();
    makeWindow();
    runPending();
  }

  // Shows a navigation controller with a root screen, then pushes the scan
  // screen for `request`.
  ScanViewController& open(facade::ScanRequest request = purchase(),
                           const DeviceProfile& profile = DeviceProfile::phone()) {
    makeWindow(profile);
    nav = std::make_shared<NavigationController>(std::make_shared<ViewController>());
    show(nav);
    screen = ScanViewController::create(request, answers, {db, &discovery});
    nav->pushViewController(screen, true);
    driver().advance(0.5);
    return *screen;
  }

  static facade::ScanRequest purchase() {
    facade::ScanRequest request;
    request.serviceType = "Purchase";
    return request;
  }

  // A stored enabled service last heard of `ageMillis` ago, reported to the
  // screen.
  void report(const std::string& sn, const std::string& id = "1", std::int64_t ageMillis = 0,
              const std::string& type = "Purchase", const std::string& model = "T420") {
    const std::string t = std::to_string(platform::nowMillis() - ageMillis);
    if (db.fetchTerminalServicesWithServiceTypeSnServiceId(type, sn, id).empty()) {
      db.insertTerminalServices(sn, type, "Payment", std::nullopt, id, "Card " + id, 1, t, t,
                                "payment");
    }
    registry::ServiceInfo info;
    info.serviceSn = sn;
    info.deviceSn = sn;
    info.model = model;
    info.address = "127.0.0.9:8080";
    info.parameter = "http";
    info.serviceType = type;
    info.serviceTypeName = "Payment";
    info.serviceId = id;
    info.serviceName = "Card " + id;
    if (auto d = discovery.delegate()) d->onScanTerminal(info);
  }

  // The terminal answers: its services' times become now.
  void answer(const std::string& sn) {
    for (const auto& row : db.fetchTerminalServicesWithSn(sn)) {
      db.updataTerminalServiceLastTime(registry::rowInt(row, "tsId"),
                                       std::to_string(platform::nowMillis()));
    }
  }

  std::vector<CircularMovingView*> terminalBubbles() {
    std::vector<CircularMovingView*> out;
    for (auto& b : screen->movingViews()) {
      if (!b->isMore()) out.push_back(b.get());
    }
    return out;
  }

  registry::DatabaseManager db{docs() / "scan.sqlite"};
  FakeDiscovery discovery;
  std::shared_ptr<HostDiscoveryDelegate> host = std::make_shared<HostDiscoveryDelegate>();
  std::shared_ptr<RecordingScanDelegate> answers = std::make_shared<RecordingScanDelegate>();
  std::shared_ptr<NavigationController> nav;
  std::shared_ptr<ScanViewController> screen;
};

}  // namespace veltrix::ui::scan::test
