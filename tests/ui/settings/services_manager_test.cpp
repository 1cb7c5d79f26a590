// The services manager on the real database: what it loads in each mode,
// what its two dialogs store, the default target of each service type it
// hands to the service list, and clear-all.
#include <gtest/gtest.h>

#include "ui/settings/settings_test_env.h"
#include "veltrix/platform/log.h"
#include "veltrix/ui/settings/selector_dialogs.h"
#include "veltrix/ui/settings/service_list_view_controller.h"
#include "veltrix/ui/settings/services_manager_view_controller.h"

namespace veltrix::ui::settings {
namespace {

using Types = std::vector<std::vector<ServicesRow>>;
constexpr ServicesRow kMode = ServicesRow::RememberMode;
constexpr ServicesRow kTerminal = ServicesRow::PreferredTerminal;
constexpr ServicesRow kExplain = ServicesRow::Explanation;
constexpr ServicesRow kCategory = ServicesRow::Category;
constexpr ServicesRow kClear = ServicesRow::ClearAll;

const std::string kManagerSn1 = "TAVIO-SN-000001";
const std::string kManagerSn2 = "TAVIO-SN-000002";

class ServicesManagerTest : public testing::SettingsScreenTest {
 protected:
  // Two terminals: the first with payment and print services, the second
  // with payment and display services; one disabled service.
  void seed() {
    addService(kManagerSn1, "Purchase", "pay-1");
    addService(kManagerSn1, "Refund", "refund-1");
    addService(kManagerSn1, "Printer", "print-1", "print");
    addService(kManagerSn2, "Purchase", "pay-2");
    addService(kManagerSn2, "Purchase", "pay-2b");
    addService(kManagerSn2, "Display", "show-2", "display");
    addService(kManagerSn2, "Refund", "refund-2", "payment", /*enabled=*/2);
  }
  std::shared_ptr<ServicesManagerViewController> open() {
    return pushOverRoot(std::make_shared<ServicesManagerViewController>(env));
  }
  ServiceItem item(const ServicesManagerViewController& screen, std::size_t category,
                   const std::string& type) {
    auto& mutableScreen = const_cast<ServicesManagerViewController&>(screen);
    for (const ServiceItem& i : mutableScreen.serviceItemsForCategory(category)) {
      if (i.title == type) return i;
    }
    ADD_FAILURE() << "no item " << type;
    return {};
  }
  std::size_t categoryIndex(const ServicesManagerViewController& screen, const std::string& key) {
    std::size_t i = 0;
    for (const auto& [k, title] : screen.serviceTitlesList()) {
      if (k == key) return i;
      ++i;
    }
    ADD_FAILURE() << "no category " << key;
    return 0;
  }
  TableView& table(ServicesManagerViewController& screen) { return *screen.mainTableView(); }
  // Taps `row` of the screen's table and returns the `T` it brings up
  // (null when the tap fails or something else shows).
  template <typename T>
  T* tapInto(ServicesManagerViewController& screen, IndexPath row) {
    if (!driver().tapRow(table(screen), row)) {
      ADD_FAILURE() << "the row cannot be tapped";
      return nullptr;
    }
    driver().advance(0.5);
    return dynamic_cast<T*>(top());
  }
};

TEST_F(ServicesManagerTest, FirstVisitStoresFlexibleModeAndListsEveryCategoryByKey) {
  seed();
  auto screen = open();
  EXPECT_EQ(setting("remember_mode"), "0");
  EXPECT_EQ(screen->title(), "Services Manager");
  EXPECT_EQ(screen->selectedRememberMode(), "Flexible selection");
  EXPECT_EQ(screen->subtitleText(), "You can configure and select terminals freely.");
  EXPECT_EQ(screen->selectedDeviceId(), std::nullopt);
  EXPECT_EQ(screen->discoveredDevices(), (std::vector<std::string>{kManagerSn1, kManagerSn2}));
  EXPECT_EQ(screen->originalServiceTitles(),
            (std::vector<std::string>{"Display Service", "Payment Service", "Print Service"}));
  EXPECT_EQ(screen->sectionCellTypes(),
            (Types{{kMode}, {kExplain, kCategory, kCategory, kCategory}, {kClear}}));
  for (const char* text :
       {"Remember Mode", "Flexible selection", "You can configure and select terminals freely.",
        "Display Service", "Payment Service", "Print Service", "Clear All Remembered Options"}) {
    EXPECT_TRUE(driver().isTextVisible(text)) << text;
  }
  EXPECT_FALSE(driver().isTextVisible("Preferred Terminal"));
}

TEST_F(ServicesManagerTest, AnyModeOtherThanZeroIsDesignatedWithTheAllRowsTerminal) {
  seed();
  db->insertSetting("remember_mode", "7");
  remember(kManagerSn2, "ALL", "");
  auto screen = open();
  EXPECT_EQ(setting("remember_mode"), "7") << "only a missing or empty mode is written";
  EXPECT_EQ(screen->selectedRememberMode(), "Use Designated terminal");
  EXPECT_EQ(screen->subtitleText(),
            "Use the preferred terminal if available; otherwise\xEF\xBC\x8C"
            "display the service list for selection");
  EXPECT_EQ(screen->selectedDeviceId(), kManagerSn2);
  EXPECT_EQ(screen->originalServiceTitles(),
            (std::vector<std::string>{"Display Service", "Payment Service"}));
  EXPECT_EQ(screen->sectionCellTypes(),
            (Types{{kMode, kTerminal}, {kExplain, kCategory, kCategory}, {kClear}}));
  EXPECT_TRUE(driver().isTextVisible("Preferred Terminal"));
  EXPECT_TRUE(driver().isTextVisible(kManagerSn2));
}

TEST_F(ServicesManagerTest, DesignatedModeWithoutADesignatedTerminalListsNoCategories) {
  seed();
  db->insertSetting("remember_mode", "1");
  auto screen = open();
  EXPECT_EQ(screen->selectedDeviceId(), std::nullopt);
  EXPECT_EQ(screen->sectionCellTypes(), (Types{{kMode, kTerminal}, {kExplain}, {kClear}}));
}

TEST_F(ServicesManagerTest, NothingRecordedLeavesOnlyTheExplanationAndAnEmptyDeviceList) {
  auto screen = open();
  EXPECT_EQ(screen->sectionCellTypes(), (Types{{kMode}, {kExplain}, {kClear}}));
  EXPECT_TRUE(screen->discoveredDevices().empty());
}

TEST_F(ServicesManagerTest, RowsAreRoundedBySectionAndTheLastHasNoSeparator) {
  seed();
  db->insertSetting("remember_mode", "1");
  remember(kManagerSn2, "ALL", "");
  auto screen = open();
  TableView& t = table(*screen);
  auto cell = [&](std::int64_t row, std::int64_t section) {
    return t.cellForRow(IndexPath::forRow(row, section));
  };
  // Section 0: two rows; section 1: explanation and two categories.
  EXPECT_EQ(cell(0, 0)->maskedCorners, corner::kTopLeft | corner::kTopRight);
  EXPECT_EQ(cell(0, 0)->cornerRadius, 12);
  EXPECT_EQ(cell(1, 0)->maskedCorners, corner::kBottomLeft | corner::kBottomRight);
  EXPECT_EQ(cell(1, 1)->cornerRadius, 0) << "a middle row";
  EXPECT_FALSE(cell(1, 1)->clipsToBounds);
  EXPECT_EQ(cell(0, 2)->maskedCorners, corner::kAll) << "a one-row section";
  EXPECT_TRUE(cell(0, 2)->clipsToBounds);

  EXPECT_EQ(cell(0, 0)->separatorInset, (Insets{0, 20, 0, 20}));
  EXPECT_GE(cell(1, 0)->separatorInset->left, cell(1, 0)->bounds().width());
  EXPECT_EQ(t.rectForRow(IndexPath::forRow(0, 0)).height(), 60);
  EXPECT_EQ(t.rectForRow(IndexPath::forRow(1, 1)).height(), 60);
  EXPECT_EQ(t.rectForRow(IndexPath::forRow(0, 2)).height(), 50);
  EXPECT_GE(t.rectForRow(IndexPath::forRow(0, 1)).height(), 60) << "the explanation fits";
  // 20 from the sides and from the safe area.
  EXPECT_EQ(t.frame(), (Rect{20, 91 + 20, 390 - 40, 844 - 91 - 34 - 40}));
}

// In the installed fonts on a phone, the designated mode's two values are
// whole beside their titles: the serial number is what names the terminal.
TEST_F(ServicesManagerTest, TheModeAndTheDesignatedSerialNumberAreWholeOnAPhone) {
  ScopedTextMetrics fonts{std::make_shared<PangoMetrics>()};
  const std::string sn = "TAVIO-T420-0000123";
  addService(sn, "Purchase", "pay-1");
  db->insertSetting("remember_mode", "1");
  remember(sn, "ALL", "");
  auto screen = open();
  for (std::int64_t row : {0, 1}) {
    auto cell = table(*screen).cellForRow(IndexPath::forRow(row, 0));
    ASSERT_NE(cell, nullptr);
    const auto labels = cell->contentView()->findAll<Label>();
    ASSERT_EQ(labels.size(), 2u);
    const Label& title = *labels[0];
    const Label& value = *labels[1];
    EXPECT_EQ(value.text(), row == 0 ? "Use Designated terminal" : sn);
    EXPECT_TRUE(textFits(value)) << value.text();
    EXPECT_TRUE(textFits(title)) << title.text();
    EXPECT_LE(title.frame().maxX(), value.frame().minX()) << title.text();
  }
}

// --- default targets ----------------------------------------------------------

TEST_F(ServicesManagerTest, DefaultTargetsFollowTheRememberedRowThenTheDesignatedTerminal) {
  seed();
  addService(kManagerSn1, "PreAuth", "pre-1");
  addService(kManagerSn2, "Card Auth", "card-2");
  // a. A remembered Refund on the second terminal.
  remember(kManagerSn2, "Refund", "refund-2");
  // A remembered PreAuth row without a serial number names nothing.
  ASSERT_TRUE(db->insertRememberServices(std::nullopt, "PreAuth", std::nullopt, "pre-1", "", "1"));
  auto screen = open();
  const std::size_t payment = categoryIndex(*screen, "payment");

  EXPECT_EQ(item(*screen, payment, "Refund"),
            ServiceItem::itemWithTitle("Refund", "refund-2", kManagerSn2, "1"));
  // c. Nothing remembered and no designated terminal.
  EXPECT_EQ(item(*screen, payment, "Purchase"),
            ServiceItem::itemWithTitle("Purchase", "No default target", "", "3"));
  EXPECT_EQ(item(*screen, payment, "PreAuth"),
            ServiceItem::itemWithTitle("PreAuth", "No default target", "", "1"));

  // b. With a designated terminal: a type counted once takes that terminal's
  // first enabled service of the type, empty when it has none.
  remember(kManagerSn1, "ALL", "");
  EXPECT_EQ(item(*screen, payment, "PreAuth"),
            ServiceItem::itemWithTitle("PreAuth", "pre-1", kManagerSn1, "1"));
  EXPECT_EQ(item(*screen, payment, "Card Auth"),
            ServiceItem::itemWithTitle("Card Auth", "", kManagerSn1, "1"));
  EXPECT_EQ(item(*screen, payment, "Purchase"),
            ServiceItem::itemWithTitle("Purchase", "No default target", "", "3"))
      << "counted more than once";
  EXPECT_EQ(item(*screen, payment, "Refund"),
            ServiceItem::itemWithTitle("Refund", "refund-2", kManagerSn2, "1"))
      << "the type's own row first";
}

TEST_F(ServicesManagerTest, CountsFollowTheDesignatedTerminalAsLoadedAndAllTerminalsAfterFlexible) {
  seed();
  remember(kManagerSn2, "ALL", "");
  auto screen = open();
  ASSERT_EQ(screen->selectedRememberMode(), "Flexible selection");
  const std::size_t payment = categoryIndex(*screen, "payment");
  // Loaded with the "ALL" row: restricted to it, in flexible mode too.
  EXPECT_EQ(item(*screen, payment, "Purchase").availableCount, "2");
  screen->rememberModeChosen("Flexible selection");
  EXPECT_EQ(screen->selectedDeviceId(), std::nullopt);
  EXPECT_EQ(item(*screen, payment, "Purchase").availableCount, "3");
  EXPECT_EQ(item(*screen, payment, "Refund").availableCount, "1") << "enabled only";
}

TEST_F(ServicesManagerTest, ACategoryRowPushesItsServiceList) {
  seed();
  remember(kManagerSn1, "ALL", "");
  db->insertSetting("remember_mode", "1");
  platform::ScopedLogCapture log;
  auto screen = open();
  // The designated terminal offers payment and print services.
  ASSERT_EQ(screen->originalServiceTitles(),
            (std::vector<std::string>{"Payment Service", "Print Service"}));
  auto* list = tapInto<ServiceListViewController>(*screen, IndexPath::forRow(1, 1));
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->title(), "Payment Service");
  EXPECT_EQ(list->sn(), kManagerSn1);
  EXPECT_EQ(list->serviceItems(),
            (std::vector<ServiceItem>{
                ServiceItem::itemWithTitle("Purchase", "pay-1", kManagerSn1, "1"),
                ServiceItem::itemWithTitle("Refund", "refund-1", kManagerSn1, "1"),
            }));
  EXPECT_TRUE(log.contains("Service clicked: Payment Service"));
  EXPECT_TRUE(log.contains("serviceCategory: payment"));
}

// --- dialogs ------------------------------------------------------------------

TEST_F(ServicesManagerTest, TheModeDialogSwitchesModesAndKeepsTheAllRow) {
  seed();
  remember(kManagerSn2, "ALL", "");
  auto screen = open();
  auto* dialog = tapInto<RememberModeSelectorViewController>(*screen, IndexPath::forRow(0, 0));
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->modalPresentationStyle, ModalPresentationStyle::FormSheet);
  EXPECT_EQ(dialog->selectedMode(), "Flexible selection");
  ASSERT_TRUE(driver().tapRow(*dialog->modeTableView(), IndexPath::forRow(1)));
  ASSERT_TRUE(driver().tap(*dialog->saveButton()));
  driver().advance(0.5);
  EXPECT_EQ(top(), screen.get());

  EXPECT_EQ(setting("remember_mode"), "1");
  EXPECT_EQ(screen->selectedDeviceId(), kManagerSn2);
  EXPECT_EQ(screen->sectionCellTypes(),
            (Types{{kMode, kTerminal}, {kExplain, kCategory, kCategory}, {kClear}}));
  EXPECT_TRUE(driver().isTextVisible("Use Designated terminal"));
  EXPECT_TRUE(driver().isTextVisible(kManagerSn2));

  // Back to flexible: the terminal row goes, the "ALL" row stays stored.
  screen->rememberModeChosen("Flexible selection");
  EXPECT_EQ(setting("remember_mode"), "0");
  EXPECT_EQ(screen->sectionCellTypes().front(), std::vector<ServicesRow>{kMode});
  EXPECT_EQ(rememberedSn("ALL"), kManagerSn2);
  screen->rememberModeChosen("Use Designated terminal");
  EXPECT_EQ(screen->selectedDeviceId(), kManagerSn2) << "the same terminal shows again";
}

TEST_F(ServicesManagerTest, SavingADesignatedTerminalReplacesTheAllRow) {
  seed();
  db->insertSetting("remember_mode", "1");
  remember(kManagerSn1, "ALL", "");
  remember(kManagerSn1, "ALL", "");
  auto screen = open();
  auto* dialog = tapInto<DeviceSelectorViewController>(*screen, IndexPath::forRow(1, 0));
  ASSERT_NE(dialog, nullptr);
  EXPECT_NE(dynamic_cast<NavigationController*>(dialog->parentViewController()), nullptr)
      << "inside a navigation controller";
  EXPECT_EQ(dialog->devices(), (std::vector<std::string>{kManagerSn1, kManagerSn2}));
  ASSERT_TRUE(driver().tapRow(*dialog->deviceTableView(), IndexPath::forRow(1)));
  const std::string savedAt = fmt::format("{}", platform::nowMillis());
  ASSERT_TRUE(driver().tap(*dialog->saveButton()));
  driver().advance(0.5);
  EXPECT_EQ(top(), screen.get()) << "the wrapper is dismissed";

  const registry::Rows all = db->fetchRememberServicesWithSn(kManagerSn2);
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(registry::rowText(all[0], "serviceType"), "ALL");
  EXPECT_EQ(registry::rowText(all[0], "serviceId"), "");
  EXPECT_FALSE(registry::rowText(all[0], "screenId"));
  EXPECT_EQ(registry::rowText(all[0], "createTime"), savedAt);
  EXPECT_TRUE(db->fetchRememberServicesWithSn(kManagerSn1).empty()) << "every earlier ALL row goes";
  EXPECT_EQ(screen->selectedDeviceId(), kManagerSn2);
  EXPECT_EQ(screen->originalServiceTitles(),
            (std::vector<std::string>{"Display Service", "Payment Service"}));
}

TEST_F(ServicesManagerTest, ASaveWithoutASerialNumberChangesNothing) {
  seed();
  db->insertSetting("remember_mode", "1");
  record();
  auto screen = open();
  auto* dialog = tapInto<DeviceSelectorViewController>(*screen, IndexPath::forRow(1, 0));
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(driver().tap(*dialog->saveButton()));
  driver().advance(0.5);
  screen->deviceChosen(std::string());
  EXPECT_TRUE(database->writes.empty()) << database->writes.front();
  EXPECT_EQ(rememberedSn("ALL"), std::nullopt);
  EXPECT_EQ(screen->selectedDeviceId(), std::nullopt);
}

TEST_F(ServicesManagerTest, AStoreThatFailsSaysSoAndLeavesTheScreenAsItWas) {
  seed();
  db->insertSetting("remember_mode", "1");
  remember(kManagerSn1, "ALL", "");
  remember(kManagerSn1, "Purchase", "pay-1");
  auto screen = open();
  const Types shown = screen->sectionCellTypes();
  refuseWrites("setting");
  refuseWrites("remember_service");
  const auto unchanged = [&] {
    EXPECT_EQ(driver().toast(), "Save failed!");
    EXPECT_EQ(top(), screen.get());
    EXPECT_EQ(screen->sectionCellTypes(), shown);
    EXPECT_EQ(screen->selectedDeviceId(), kManagerSn1);
    EXPECT_TRUE(driver().isTextVisible("Use Designated terminal"));
    EXPECT_EQ(setting("remember_mode"), "1");
    EXPECT_EQ(db->fetchRememberServices().size(), 2u);
    EXPECT_EQ(rememberedSn("ALL"), kManagerSn1);
  };

  // Clear all: the rows stay, and keep steering payments.
  ASSERT_TRUE(driver().tap(*driver().buttonWithTitle("Clear All Remembered Options")));
  unchanged();

  // Flexible selection, saved in its dialog.
  auto* mode = tapInto<RememberModeSelectorViewController>(*screen, IndexPath::forRow(0, 0));
  ASSERT_NE(mode, nullptr);
  ASSERT_TRUE(driver().tapRow(*mode->modeTableView(), IndexPath::forRow(0)));
  ASSERT_TRUE(driver().tap(*mode->saveButton()));
  driver().advance(0.5);
  unchanged();

  // The second terminal designated in its dialog.
  auto* device = tapInto<DeviceSelectorViewController>(*screen, IndexPath::forRow(1, 0));
  ASSERT_NE(device, nullptr);
  ASSERT_TRUE(driver().tapRow(*device->deviceTableView(), IndexPath::forRow(1)));
  ASSERT_TRUE(driver().tap(*device->saveButton()));
  driver().advance(0.5);
  unchanged();
}

// --- clear all ------------------------------------------------------------------

TEST_F(ServicesManagerTest, ClearAllInDesignatedModeEmptiesTheCategoriesAndForgetsEverything) {
  seed();
  db->insertSetting("remember_mode", "1");
  db->insertSetting("Purchase", "2");
  remember(kManagerSn2, "ALL", "");
  remember(kManagerSn1, "Purchase", "pay-1");
  auto screen = open();
  ASSERT_TRUE(driver().tap(*driver().buttonWithTitle("Clear All Remembered Options")));
  EXPECT_EQ(driver().toast(), "Clear all remember services success");
  EXPECT_TRUE(db->fetchRememberServices().empty());
  EXPECT_EQ(screen->selectedDeviceId(), std::string());
  EXPECT_EQ(screen->sectionCellTypes(), (Types{{kMode, kTerminal}, {kExplain}, {kClear}}));
  EXPECT_EQ(setting("remember_mode"), "1");
  EXPECT_EQ(setting("Purchase"), "2");
  driver().advance(0.3 + 1.0 + 0.3 + 0.1);
  EXPECT_FALSE(driver().toast());
}

TEST_F(ServicesManagerTest, ClearAllInFlexibleModeKeepsTheCategories) {
  seed();
  remember(kManagerSn2, "ALL", "");
  auto screen = open();
  // Tapping the row (not its button) clears as well.
  ASSERT_TRUE(driver().tapRow(table(*screen), IndexPath::forRow(0, 2)));
  EXPECT_EQ(driver().toast(), "Clear all remember services success");
  EXPECT_TRUE(db->fetchRememberServices().empty());
  EXPECT_EQ(screen->selectedDeviceId(), std::string());
  EXPECT_EQ(screen->sectionCellTypes(),
            (Types{{kMode}, {kExplain, kCategory, kCategory, kCategory}, {kClear}}));
  EXPECT_EQ(setting("remember_mode"), "0");
}

}  // namespace
}  // namespace veltrix::ui::settings
