// The remember-mode and designated-terminal dialogs: marking by exact text,
// row taps that only move the mark, Save reporting once before the dialog
// leaves, Cancel reporting nothing.
#include "veltrix/ui/settings/selector_dialogs.h"

#include <gtest/gtest.h>

#include "support/ui_test_env.h"

namespace veltrix::ui::settings {
namespace {

class SelectorDialogTest : public veltrix::testing::UiTest {
 protected:
  SelectorDialogTest() { setTransitionDuration(0.35); }

  void present(std::shared_ptr<ViewController> dialog) {
    root = std::make_shared<ViewController>();
    show(root);
    root->present(std::move(dialog), true);
    driver().advance(0.5);
  }
  static std::string mark(TableView& table, std::int64_t row) {
    auto cell = table.cellForRow(IndexPath::forRow(row));
    auto* image = dynamic_cast<ImageView*>(cell->accessoryView().get());
    return image && image->image() ? image->image()->name() : "";
  }

  std::shared_ptr<ViewController> root;
  std::vector<std::optional<std::string>> reports;
  bool presentedAtReport = false;
};

TEST_F(SelectorDialogTest, ModeDialogMarksMovesAndReportsOnSaveOnly) {
  auto dialog = std::make_shared<RememberModeSelectorViewController>(
      "Use Designated terminal", [this](const std::string& mode) {
        presentedAtReport = root->presentedViewController() != nullptr;
        reports.push_back(mode);
      });
  EXPECT_EQ(dialog->modalPresentationStyle, ModalPresentationStyle::OverCurrentContext);
  EXPECT_EQ(dialog->modalTransitionStyle, ModalTransitionStyle::CrossDissolve);
  present(dialog);
  TableView& table = *dialog->modeTableView();
  EXPECT_TRUE(driver().isTextVisible("Select Remember Mode"));
  EXPECT_EQ(mark(table, 0), "circle");
  EXPECT_EQ(mark(table, 1), "checkmark.circle.fill");

  ASSERT_TRUE(driver().tapRow(table, IndexPath::forRow(0)));
  EXPECT_EQ(mark(table, 0), "checkmark.circle.fill");
  EXPECT_EQ(mark(table, 1), "circle");
  EXPECT_TRUE(reports.empty()) << "a row tap reports nothing";

  ASSERT_TRUE(driver().tap(*dialog->saveButton()));
  // A second tap while the dialog leaves reports nothing more.
  dialog->saveAction();
  driver().advance(0.5);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0], "Flexible selection");
  EXPECT_TRUE(presentedAtReport) << "reported before the dismissal";
  EXPECT_EQ(root->presentedViewController(), nullptr);
}

TEST_F(SelectorDialogTest, ModeCardIsAsTallAsItsContentAndNeverScrolls) {
  auto dialog = std::make_shared<RememberModeSelectorViewController>(
      "none of them", RememberModeSelectorViewController::Completion{});
  present(dialog);
  TableView& table = *dialog->modeTableView();
  EXPECT_EQ(mark(table, 0), "circle");
  EXPECT_EQ(mark(table, 1), "circle") << "an unknown mode marks nothing";
  EXPECT_EQ(dialog->cardView()->frame().height(), 210);
  EXPECT_EQ(dialog->cardView()->frame().width(), 320);
  EXPECT_EQ(table.frame().height(), 100);
  EXPECT_FALSE(table.isScrollEnabled());
  EXPECT_EQ(dialog->preferredContentSize, (Size{320, 210}));
  EXPECT_EQ(RememberModeSelectorViewController::cardSize(320).width, 280);
  // Save without a tap and without a completion just closes.
  ASSERT_TRUE(driver().tap(*dialog->saveButton()));
  driver().advance(0.5);
  EXPECT_EQ(root->presentedViewController(), nullptr);
}

TEST_F(SelectorDialogTest, ModeDialogCancelDropsTheChoice) {
  auto dialog = std::make_shared<RememberModeSelectorViewController>(
      "Flexible selection", [this](const std::string& mode) { reports.push_back(mode); });
  present(dialog);
  ASSERT_TRUE(driver().tapRow(*dialog->modeTableView(), IndexPath::forRow(1)));
  ASSERT_TRUE(driver().tap(*dialog->cancelButton()));
  driver().advance(0.5);
  EXPECT_TRUE(reports.empty());
  EXPECT_EQ(root->presentedViewController(), nullptr);
}

TEST_F(SelectorDialogTest, DeviceDialogReportsTheGivenValueWithoutATap) {
  auto report = [this](const std::optional<std::string>& sn) { reports.push_back(sn); };
  // A serial number not in the list marks nothing and comes back unchanged.
  auto dialog = std::make_shared<DeviceSelectorViewController>(
      std::vector<std::string>{"SN-A", "SN-B"}, "SN-GONE", report);
  EXPECT_EQ(dialog->modalPresentationStyle, ModalPresentationStyle::FormSheet);
  present(dialog);
  TableView& table = *dialog->deviceTableView();
  EXPECT_TRUE(driver().isTextVisible("Discovered Devices"));
  EXPECT_EQ(mark(table, 0), "circle");
  EXPECT_EQ(mark(table, 1), "circle");
  ASSERT_TRUE(driver().tap(*dialog->saveButton()));
  driver().advance(0.5);

  // None at creation and no tap: none.
  auto empty = std::make_shared<DeviceSelectorViewController>(std::vector<std::string>{"SN-A"},
                                                              std::nullopt, report);
  root->present(empty, true);
  driver().advance(0.5);
  ASSERT_TRUE(driver().tap(*empty->saveButton()));
  driver().advance(0.5);
  EXPECT_EQ(reports, (std::vector<std::optional<std::string>>{"SN-GONE", std::nullopt}));
}

TEST_F(SelectorDialogTest, DeviceDialogMovesTheMarkAndCancelReportsNothing) {
  auto dialog = std::make_shared<DeviceSelectorViewController>(
      std::vector<std::string>{"SN-A", "SN-B"}, "SN-A",
      [this](const std::optional<std::string>& sn) { reports.push_back(sn); });
  present(dialog);
  TableView& table = *dialog->deviceTableView();
  EXPECT_EQ(mark(table, 0), "largecircle.fill.circle");
  ASSERT_TRUE(driver().tapRow(table, IndexPath::forRow(1)));
  EXPECT_EQ(mark(table, 0), "circle");
  EXPECT_EQ(mark(table, 1), "largecircle.fill.circle");
  EXPECT_EQ(dialog->selectedDeviceId(), "SN-B");
  ASSERT_TRUE(driver().tap(*dialog->cancelButton()));
  driver().advance(0.5);
  EXPECT_TRUE(reports.empty());
  // The preferred size comes from the screen at load.
  EXPECT_EQ(dialog->preferredContentSize, (Size{300, 350}));
  EXPECT_EQ(DeviceSelectorViewController::preferredSize(Size{320, 400}), (Size{280, 300}));
}

}  // namespace
}  // namespace veltrix::ui::settings
