// The settings screens on every device profile, upright and turned: their
// cards, rows and dialogs lie in the safe area (clear of a turned phone's
// sensor housing and of the home indicator), scrolled to where they scroll,
// and what a row shows stays inside the row.
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "ui/settings/settings_test_env.h"
#include "veltrix/ui/settings/connection_method_view_controller.h"
#include "veltrix/ui/settings/device_settings_controller.h"
#include "veltrix/ui/settings/multi_select_popup_view_controller.h"
#include "veltrix/ui/settings/remote_device_controller.h"
#include "veltrix/ui/settings/services_manager_view_controller.h"

namespace veltrix::ui::settings {
namespace {

constexpr const char* kSn = "TAVIO-T420-00017";

struct Orientation {
  DeviceProfile device;
  std::string name() const { return device.name + (device.landscape ? "Landscape" : "Portrait"); }
};
void PrintTo(const Orientation& o, std::ostream* os) { *os << o.name(); }

class EveryDeviceTest : public testing::SettingsScreenTest,
                        public ::testing::WithParamInterface<Orientation> {
 protected:
  EveryDeviceTest() {
    makeWindow(GetParam().device);
    EXPECT_TRUE(db->insertDiscoveredTerminal(kSn, "T420", "10.0.0.7:8080", "http,ble", std::nullopt,
                                             1, 1, 0, "1000", "1000", std::nullopt));
    for (const char* type : {"Purchase", "Refund", "Display"}) addService(kSn, type, "pay");
    remember(kSn, "Purchase", "pay");
  }

  // Every row of `table`, scrolled to, lies in the safe area (clear of a
  // turned phone's sensor housing and of the home indicator) and what it
  // shows stays inside it.
  void expectRowsInside(TableView& table) {
    for (std::int64_t s = 0; s < table.numberOfSections(); ++s) {
      for (std::int64_t r = 0; r < table.numberOfRows(s); ++r) {
        table.scrollToRow(IndexPath::forRow(r, s));
        driver().settle();
        auto cell = table.cellForRow(IndexPath::forRow(r, s));
        ASSERT_NE(cell, nullptr);
        const Rect row = inWindow(*cell);
        EXPECT_TRUE(onScreen(*cell)) << "row " << s << "." << r;
        for (const auto& view : cell->contentView()->subviews()) {
          if (view->isHidden() || view->bounds().isEmpty()) continue;
          EXPECT_TRUE(encloses(row, inWindow(*view)))
              << "row " << s << "." << r << ": " << view->describe();
        }
      }
    }
  }
};

TEST_P(EveryDeviceTest, TheTerminalDetailRowsKeepTheirContent) {
  auto sheet = pushOverRoot(std::make_shared<RemoteDeviceController>(
      db->fetchDiscoveredTerminal(kSn), db->fetchTerminalServicesWithSn(kSn), env));
  expectRowsInside(*sheet->tableView());
}

TEST_P(EveryDeviceTest, TheDeviceSettingsRowsKeepTheirContent) {
  auto screen = pushOverRoot(
      std::make_shared<DeviceSettingsController>(registry::Row{}, registry::Rows{}, env));
  expectRowsInside(*screen->tableView());
}

TEST_P(EveryDeviceTest, TheServicesManagersCardsKeepClearOfTheSides) {
  auto screen = pushOverRoot(std::make_shared<ServicesManagerViewController>(env));
  expectRowsInside(*screen->mainTableView());
}

TEST_P(EveryDeviceTest, TheConnectionMethodsCardIsInTheSafeArea) {
  auto screen = pushOverRoot(std::make_shared<ConnectionMethodViewController>(env));
  EXPECT_TRUE(onScreen(*screen->mainContainerView()));
}

TEST_P(EveryDeviceTest, TheRememberPopupAndItsButtonsAreInTheSafeArea) {
  auto root = showInNavigation(std::make_shared<ViewController>());
  auto popup = std::make_shared<MultiSelectPopupViewController>(
      db->fetchTerminalServicesWithServiceType("Purchase"),
      db->fetchRememberServicesWithType("Purchase"), std::nullopt,
      [](const std::string&, const std::string&, const registry::Row&) {}, env);
  root->present(popup, true);
  driver().advance(0.5);
  for (View* view :
       std::initializer_list<View*>{popup->cardView().get(), popup->cancelButton().get(),
                                    popup->forgetButton().get(), popup->saveButton().get()}) {
    EXPECT_TRUE(onScreen(*view)) << view->describe();
  }
}

std::vector<Orientation> orientations() {
  std::vector<Orientation> out;
  for (const DeviceProfile& device : veltrix::testing::UiTest::everyOrientation())
    out.push_back({device});
  return out;
}

INSTANTIATE_TEST_SUITE_P(Devices, EveryDeviceTest, ::testing::ValuesIn(orientations()),
                         [](const ::testing::TestParamInfo<Orientation>& info) {
                           return info.param.name();
                         });

}  // namespace
}  // namespace veltrix::ui::settings
