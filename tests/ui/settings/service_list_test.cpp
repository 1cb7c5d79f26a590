// The service list: its rows, what a tap offers in the remember popup, and
// how a row shows what the popup stored or forgot.
#include <gtest/gtest.h>

#include "ui/settings/settings_test_env.h"
#include "veltrix/ui/settings/multi_select_popup_view_controller.h"
#include "veltrix/ui/settings/service_list_view_controller.h"

namespace veltrix::ui::settings {
namespace {

const std::string kSn1 = "TAVIO-SN-000001";
const std::string kSn2 = "TAVIO-SN-000002";

class ServiceListTest : public testing::SettingsScreenTest {
 protected:
  void seed() {
    addService(kSn1, "Purchase", "pay-a");
    addService(kSn1, "Purchase", "pay-off", "payment", /*enabled=*/2);
    addService(kSn2, "Purchase", "pay-c");
    addService(kSn2, "Refund", "refund-c");
  }
  std::shared_ptr<ServiceListViewController> open(std::optional<std::string> sn) {
    list = std::make_shared<ServiceListViewController>(env);
    list->setServiceItems({
        ServiceItem::itemWithTitle("Purchase", "No default target", "", "3"),
        ServiceItem::itemWithTitle("Refund", "refund-c", kSn2, "0"),
    });
    list->setSn(std::move(sn));
    list->setTitleName("Payment Service");
    return pushOverRoot(list);
  }
  ServiceTableViewCell* row(std::int64_t r) {
    return dynamic_cast<ServiceTableViewCell*>(
        list->tableView().cellForRow(IndexPath::forRow(r)).get());
  }
  MultiSelectPopupViewController* tapRow(std::int64_t r) {
    EXPECT_TRUE(driver().tapRow(list->tableView(), IndexPath::forRow(r)));
    driver().advance(0.5);
    return dynamic_cast<MultiSelectPopupViewController*>(top());
  }
  static std::vector<std::string> serviceIds(const registry::Rows& rows) {
    std::vector<std::string> ids;
    for (const registry::Row& r : rows)
      ids.push_back(registry::rowText(r, "serviceId").value_or(""));
    return ids;
  }

  std::shared_ptr<ServiceListViewController> list;
};

TEST_F(ServiceListTest, RowsShowTheItemsAndHideAnEmptySecondSubtitle) {
  open(std::nullopt);
  EXPECT_EQ(list->title(), "Payment Service");
  ServiceTableViewCell* purchase = row(0);
  ASSERT_NE(purchase, nullptr);
  EXPECT_EQ(purchase->titleLabel()->text(), "Purchase");
  EXPECT_EQ(purchase->subtitle1Label()->text(), "No default target");
  EXPECT_TRUE(purchase->subtitle2Label()->isHidden());
  EXPECT_EQ(purchase->availableLabel()->text(), "3 available");
  EXPECT_EQ(purchase->accessoryType, AccessoryType::DisclosureIndicator);
  ServiceTableViewCell* refund = row(1);
  EXPECT_FALSE(refund->subtitle2Label()->isHidden());
  EXPECT_EQ(refund->subtitle2Label()->text(), kSn2);
  EXPECT_EQ(refund->availableLabel()->text(), "0 available");
  for (std::int64_t r : {0, 1}) {
    EXPECT_EQ(list->tableView().rectForRow(IndexPath::forRow(r)).height(), 90);
  }
  // The first row starts 8 below the navigation bar.
  const Rect first = inWindow(*purchase);
  EXPECT_EQ(first.minY(), 91 + 8);
  // The texts stay apart: the count right of the title, the lines stacked.
  const Rect title = purchase->titleLabel()->frame();
  EXPECT_LE(title.maxX() + 16, purchase->availableLabel()->frame().minX());
  EXPECT_LE(title.maxY(), purchase->subtitle1Label()->frame().minY());
}

TEST_F(ServiceListTest, WithoutATerminalThePopupOffersEveryTerminalsServicesOfTheType) {
  seed();
  remember(kSn2, "Purchase", "pay-c");
  open(std::string());
  MultiSelectPopupViewController* popup = tapRow(0);
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(serviceIds(list->terminalserviceList()),
            (std::vector<std::string>{"pay-a", "pay-off", "pay-c"}));
  EXPECT_EQ(popup->selectIndex(), 2) << "the remembered service";
  EXPECT_FALSE(popup->flexFlag());
}

TEST_F(ServiceListTest, WithATerminalThePopupOffersItsEnabledServicesOnly) {
  seed();
  open(kSn1);
  MultiSelectPopupViewController* popup = tapRow(0);
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(serviceIds(list->terminalserviceList()), (std::vector<std::string>{"pay-a"}));
  EXPECT_TRUE(popup->flexFlag()) << "a designated terminal's only service";
}

TEST_F(ServiceListTest, SaveShowsTheChosenServiceAndForgetItShowsNoDefault) {
  seed();
  addService(kSn2, "Purchase", "pay-d");
  open(std::nullopt);
  // Not the first entry: the row shows the chosen one's identifier.
  MultiSelectPopupViewController* popup = tapRow(0);
  ASSERT_NE(popup, nullptr);
  ASSERT_TRUE(driver().tapRow(*popup->tableView(), IndexPath::forRow(3)));
  ASSERT_TRUE(driver().tap(*popup->saveButton()));
  driver().advance(0.5);
  EXPECT_EQ(top(), list.get());
  EXPECT_EQ(list->serviceItems()[0], ServiceItem::itemWithTitle("Purchase", "pay-d", kSn2, "3"));
  EXPECT_EQ(row(0)->subtitle1Label()->text(), "pay-d");
  EXPECT_EQ(row(0)->subtitle2Label()->text(), kSn2);
  EXPECT_FALSE(row(0)->subtitle2Label()->isHidden());
  // A reload keeps it.
  list->tableView().reloadData();
  driver().settle();
  EXPECT_EQ(row(0)->subtitle1Label()->text(), "pay-d");

  popup = tapRow(0);
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(popup->selectIndex(), 3);
  ASSERT_TRUE(driver().tap(*popup->forgetButton()));
  driver().advance(0.5);
  EXPECT_EQ(row(0)->subtitle1Label()->text(), "No default target");
  EXPECT_EQ(row(0)->subtitle2Label()->text(), "");
  EXPECT_TRUE(row(0)->subtitle2Label()->isHidden());
  EXPECT_EQ(rememberedSn("Purchase"), std::nullopt);

  // Cancel leaves the row as it is.
  popup = tapRow(1);
  ASSERT_NE(popup, nullptr);
  ASSERT_TRUE(driver().tap(*popup->cancelButton()));
  driver().advance(0.5);
  EXPECT_EQ(row(1)->subtitle1Label()->text(), "refund-c");
}

}  // namespace
}  // namespace veltrix::ui::settings
