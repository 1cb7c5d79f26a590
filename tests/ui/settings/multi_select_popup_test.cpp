// The remember popup on the real database: preselection, choosing by row
// or radio button, Save replacing the type's remembered rows, Forget It
// across terminals, the flexible single-option case and the card's size.
#include <gtest/gtest.h>

#include "ui/settings/settings_test_env.h"
#include "veltrix/ui/settings/multi_select_popup_view_controller.h"

namespace veltrix::ui::settings {
namespace {

struct Report {
  std::string flag;
  std::string sn;
  std::optional<std::string> serviceId;
};

class MultiSelectPopupTest : public testing::SettingsScreenTest {
 protected:
  // Three Purchase services: two on the first terminal, one on the second.
  void seed() {
    addService("TAVIO-SN-000001", "Purchase", "pay-a");
    addService("TAVIO-SN-000001", "Purchase", "pay-b");
    addService("TAVIO-SN-000002", "Purchase", "pay-c");
  }
  std::shared_ptr<MultiSelectPopupViewController> open(
      std::optional<std::string> sn = std::nullopt) {
    root = std::make_shared<ViewController>();
    showInNavigation(root);
    popup = std::make_shared<MultiSelectPopupViewController>(
        db->fetchTerminalServicesWithServiceType("Purchase"),
        db->fetchRememberServicesWithType("Purchase"), std::move(sn),
        [this](const std::string& flag, const std::string& sn, const registry::Row& option) {
          reports.push_back({flag, sn, registry::rowText(option, "serviceId")});
        },
        env);
    root->present(popup, true);
    driver().advance(0.5);
    return popup;
  }
  RememberViewCell* cell(std::int64_t row) {
    return dynamic_cast<RememberViewCell*>(
        popup->tableView()->cellForRow(IndexPath::forRow(row)).get());
  }
  std::vector<bool> radios() {
    std::vector<bool> on;
    for (std::int64_t row = 0; row < popup->tableView()->numberOfRows(0); ++row) {
      RememberViewCell* c = cell(row);
      on.push_back(c && c->selectBtn()->isSelected());
    }
    return on;
  }
  bool isShown() { return root->presentedViewController() != nullptr; }

  std::shared_ptr<ViewController> root;
  std::shared_ptr<MultiSelectPopupViewController> popup;
  std::vector<Report> reports;
};

TEST_F(MultiSelectPopupTest, TheRememberedServicePreselectsItsRowAndSaveStoresItAgain) {
  seed();
  remember("TAVIO-SN-000001", "Purchase", "pay-b");
  open();
  EXPECT_TRUE(driver().isTextVisible("Remember Option"));
  EXPECT_TRUE(driver().isTextVisible("pay-c"));
  EXPECT_EQ(popup->selectIndex(), 1);
  EXPECT_EQ(radios(), (std::vector<bool>{false, true, false}));
  EXPECT_FALSE(popup->flexFlag());
  EXPECT_FALSE(popup->forgetButton()->isHidden());

  const std::string savedAt = fmt::format("{}", platform::nowMillis());
  ASSERT_TRUE(driver().tap(*popup->saveButton()));
  driver().advance(0.5);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].flag, "1");
  EXPECT_EQ(reports[0].sn, "TAVIO-SN-000001");
  EXPECT_EQ(reports[0].serviceId, "pay-b");
  EXPECT_FALSE(isShown());
  ASSERT_EQ(db->fetchRememberServices().size(), 1u);
  EXPECT_EQ(registry::rowText(db->fetchRememberServicesWithType("Purchase"), "createTime"),
            savedAt);
}

TEST_F(MultiSelectPopupTest, ARememberedRowOutOfViewIsPreselectedToo) {
  for (int i = 0; i < 20; ++i) addService(fmt::format("TAVIO-SN-{:06}", i), "Purchase", "p");
  remember("TAVIO-SN-000019", "Purchase", "p");
  open();
  EXPECT_EQ(popup->selectIndex(), 19);
  EXPECT_EQ(popup->tableView()->cellForRow(IndexPath::forRow(19)), nullptr) << "not in view";
  ASSERT_TRUE(driver().tap(*popup->saveButton()));
  EXPECT_EQ(rememberedSn("Purchase"), "TAVIO-SN-000019");
}

TEST_F(MultiSelectPopupTest, ASecondSaveTakesEffect) {
  seed();
  remember("TAVIO-SN-000001", "Purchase", "pay-a");
  open();
  ASSERT_TRUE(driver().tapRow(*popup->tableView(), IndexPath::forRow(2)));
  ASSERT_TRUE(driver().tap(*popup->saveButton()));
  driver().advance(0.5);
  EXPECT_EQ(rememberedSn("Purchase"), "TAVIO-SN-000002");
  EXPECT_EQ(db->fetchRememberServices().size(), 1u) << "the type's rows are replaced";

  open();
  EXPECT_EQ(popup->selectIndex(), 2);
  ASSERT_TRUE(driver().tapRow(*popup->tableView(), IndexPath::forRow(1)));
  ASSERT_TRUE(driver().tap(*popup->saveButton()));
  driver().advance(0.5);
  EXPECT_EQ(registry::rowText(db->fetchRememberServicesWithType("Purchase"), "serviceId"), "pay-b");
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[1].serviceId, "pay-b");
}

TEST_F(MultiSelectPopupTest, RowTapsChooseOneRowAndTheLastTapWins) {
  seed();
  open();
  TableView& table = *popup->tableView();
  ASSERT_TRUE(driver().tapRow(table, IndexPath::forRow(0)));
  ASSERT_TRUE(driver().tapRow(table, IndexPath::forRow(1)));
  EXPECT_EQ(radios(), (std::vector<bool>{false, true, false}));
  ASSERT_TRUE(driver().tapRow(table, IndexPath::forRow(1)));
  EXPECT_EQ(radios(), (std::vector<bool>{false, true, false})) << "a second tap keeps it";
  ASSERT_TRUE(driver().tapRow(table, IndexPath::forRow(0)));
  EXPECT_EQ(radios(), (std::vector<bool>{true, false, false}));
  EXPECT_EQ(popup->selectIndex(), 0);
  ASSERT_TRUE(driver().tap(*popup->saveButton()));
  EXPECT_EQ(registry::rowText(db->fetchRememberServicesWithType("Purchase"), "serviceId"), "pay-a");
}

TEST_F(MultiSelectPopupTest, ARadioTapChoosesItsRow) {
  seed();
  open();
  ASSERT_TRUE(driver().tapRow(*popup->tableView(), IndexPath::forRow(0)));
  ASSERT_TRUE(driver().tap(*cell(2)->selectBtn()));
  EXPECT_EQ(popup->selectIndex(), 2);
  EXPECT_EQ(radios(), (std::vector<bool>{false, false, true}));
  ASSERT_TRUE(driver().tap(*cell(2)->selectBtn()));
  EXPECT_EQ(radios(), (std::vector<bool>{false, false, true})) << "a second tap keeps it";
  ASSERT_TRUE(driver().tap(*popup->saveButton()));
  EXPECT_EQ(rememberedSn("Purchase"), "TAVIO-SN-000002");
}

TEST_F(MultiSelectPopupTest, ForgetItDeletesTheTypeOnEveryTerminal) {
  seed();
  remember("TAVIO-SN-000001", "Purchase", "pay-a");
  remember("TAVIO-SN-000002", "Purchase", "pay-c");
  remember("TAVIO-SN-000002", "Refund", "refund");
  open();
  ASSERT_TRUE(driver().tapRow(*popup->tableView(), IndexPath::forRow(2)));
  ASSERT_TRUE(driver().tap(*popup->forgetButton()));
  driver().advance(0.5);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].flag, "2");
  EXPECT_EQ(reports[0].sn, "TAVIO-SN-000002");
  EXPECT_EQ(rememberedSn("Purchase"), std::nullopt);
  EXPECT_EQ(rememberedSn("Refund"), "TAVIO-SN-000002");
  EXPECT_FALSE(isShown());
}

TEST_F(MultiSelectPopupTest, AStoreThatFailsSaysSoAndKeepsThePopup) {
  seed();
  remember("TAVIO-SN-000001", "Purchase", "pay-a");
  open();
  refuseWrites("remember_service");
  ASSERT_TRUE(driver().tapRow(*popup->tableView(), IndexPath::forRow(2)));
  for (Button* button : {popup->saveButton().get(), popup->forgetButton().get()}) {
    ASSERT_TRUE(driver().tap(*button));
    driver().advance(0.5);
    EXPECT_EQ(driver().toast(), "Save failed!") << button->currentTitle().value_or("");
    EXPECT_TRUE(isShown());
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(rememberedSn("Purchase"), "TAVIO-SN-000001");
  }
}

TEST_F(MultiSelectPopupTest, WithoutAChoiceSaveAndForgetOnlyAsk) {
  seed();
  record();
  open();
  ASSERT_TRUE(driver().tap(*popup->saveButton()));
  EXPECT_EQ(driver().toast(), "Please select one service first!");
  ASSERT_TRUE(driver().tap(*popup->forgetButton()));
  EXPECT_EQ(driver().toast(), "Please select one service first!");
  driver().advance(0.3 + 2.0 + 0.3 + 0.1);
  EXPECT_FALSE(driver().toast());
  EXPECT_TRUE(isShown());
  EXPECT_TRUE(reports.empty());
  EXPECT_TRUE(database->writes.empty());

  ASSERT_TRUE(driver().tap(*popup->cancelButton()));
  driver().advance(0.5);
  EXPECT_FALSE(isShown());
  EXPECT_TRUE(reports.empty());
  EXPECT_TRUE(database->writes.empty());
}

TEST_F(MultiSelectPopupTest, ASingleOptionOfADesignatedTerminalIsOnlyShown) {
  addService("TAVIO-SN-000001", "Purchase", "pay-a");
  record();
  open("TAVIO-SN-000001");
  EXPECT_TRUE(popup->flexFlag());
  EXPECT_TRUE(popup->forgetButton()->isHidden());
  EXPECT_EQ(radios(), std::vector<bool>{true});
  ASSERT_TRUE(driver().tap(*popup->saveButton()));
  driver().advance(0.5);
  EXPECT_FALSE(isShown());
  EXPECT_TRUE(reports.empty());
  EXPECT_TRUE(database->writes.empty());
}

TEST_F(MultiSelectPopupTest, TheCardFitsTheScreen) {
  EXPECT_EQ(MultiSelectPopupViewController::cardSize(Size{390, 844}, false), (Size{350, 700}));
  EXPECT_EQ(MultiSelectPopupViewController::cardSize(Size{375, 667}, false), (Size{335, 587}));
  EXPECT_EQ(MultiSelectPopupViewController::cardSize(Size{820, 1180}, true), (Size{410, 700}));

  makeWindow(DeviceProfile::smallPhone());
  seed();
  open();
  const Rect card = inWindow(*popup->cardView());
  EXPECT_EQ(card.height(), 568 - 80);
  EXPECT_EQ(card.width(), 320 - 40);
  for (const auto& button : {popup->cancelButton(), popup->forgetButton(), popup->saveButton()}) {
    const Rect frame = inWindow(*button);
    EXPECT_GE(frame.minY(), 0);
    EXPECT_LE(frame.maxY(), 568) << "the buttons stay on screen";
    EXPECT_EQ(frame.maxY(), card.maxY() - 15);
  }
  EXPECT_EQ(popup->cancelButton()->frame().minX(), 0);
  EXPECT_EQ(popup->saveButton()->frame().maxX(), card.width());
  EXPECT_EQ(popup->forgetButton()->frame().mid().x, card.width() / 2);
}

}  // namespace
}  // namespace veltrix::ui::settings
