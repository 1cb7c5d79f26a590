// The scan screen's list card: its constraints place the icon, the three
// lines and the detail button as the list shows them, it shows exactly the
// item it was last given, and the detail button reports the cell itself.
#include <gtest/gtest.h>

#include "support/ui_test_env.h"
#include "veltrix/platform/ui/image.h"
#include "veltrix/ui/scan/terminal_collection_view_cell.h"

namespace veltrix::ui::scan::test {
namespace {

class TerminalListCellTest : public testing::UiTest {
 protected:
  static TerminalItem item(const std::string& model, const std::string& sn, const std::string& icon,
                           const std::string& serviceName) {
    ServiceInfoDict info;
    info.sn = sn;
    info.model = model;
    info.serviceName = serviceName;
    return TerminalItem::itemWithName(model, sn, icon, info);
  }
};

TEST_F(TerminalListCellTest, ConstraintsGiveTheCardsFrames) {
  auto cell = std::make_shared<TerminalCollectionViewCell>(Rect{0, 0, 342, 90});
  cell->configureWithItem(item("T420", "TAVIO-SIM-0001", "icon_t420_enabled", "Card Payment"));
  cell->layoutIfNeeded();

  EXPECT_EQ(cell->backgroundColor(), Color::white());
  EXPECT_EQ(cell->cornerRadius, 10);
  EXPECT_TRUE(cell->clipsToBounds);
  EXPECT_EQ(cell->iconImageView()->frame(), (Rect{16, 16, 40, 50}));
  // Lines of 16 and 14 points are 20 and 17 high in the test metrics; each
  // starts 2 below the one above, the first level with the icon.
  const Rect name = cell->nameLabel()->frame();
  EXPECT_EQ(name.x(), 68);
  EXPECT_EQ(name.y(), 16);
  EXPECT_EQ(name.width(), cell->nameLabel()->intrinsicContentSize().width) << "natural width";
  const Rect serial = cell->snLabel()->frame();
  EXPECT_EQ(serial.x(), 68);
  EXPECT_EQ(serial.y(), name.maxY() + 2);
  const Rect service = cell->serviceNameLabel()->frame();
  EXPECT_EQ(service.y(), serial.maxY() + 2);
  EXPECT_EQ(cell->moreButton()->frame(), (Rect{296, 30, 30, 30}));
  EXPECT_EQ(service.x(), 68);
  EXPECT_EQ(service.maxX(), 296 - 8);

  EXPECT_EQ(cell->nameLabel()->font(), Font::system(16, FontWeight::Medium));
  EXPECT_EQ(cell->snLabel()->font(), Font::system(14));
  EXPECT_EQ(cell->snLabel()->textColor, Color::gray());
  EXPECT_EQ(cell->serviceNameLabel()->textColor, Color::lightGray());
  EXPECT_EQ(cell->moreButton()->currentImage()->name(), "ellipsis.circle");
  EXPECT_EQ(cell->moreButton()->tintColor(), Color::gray());
}

TEST_F(TerminalListCellTest, ConfigureShowsExactlyTheItemGiven) {
  TerminalCollectionViewCell cell;
  cell.configureWithItem(
      item("T420", "TAVIO-SIM-000000000001", "icon_t420_enabled", "Card Payment"));
  EXPECT_EQ(cell.nameLabel()->text(), "T420");
  EXPECT_EQ(cell.snLabel()->text(), "TAVIO-SIM-000000000001") << "never shortened";
  EXPECT_EQ(cell.serviceNameLabel()->text(), "Card Payment");
  ASSERT_TRUE(cell.iconImageView()->image());
  EXPECT_EQ(cell.iconImageView()->image()->name(), "icon_t420_enabled");

  // Reused for another row: every text and the icon change; a missing
  // image or service name leaves those empty.
  cell.configureWithItem(item("X9", "SN-2", "icon_x9_enabled", ""));
  EXPECT_EQ(cell.nameLabel()->text(), "X9");
  EXPECT_EQ(cell.snLabel()->text(), "SN-2");
  EXPECT_EQ(cell.serviceNameLabel()->text(), "");
  EXPECT_EQ(cell.iconImageView()->image(), nullptr);
  EXPECT_EQ(cell.item().sn, "SN-2");
}

TEST_F(TerminalListCellTest, DetailButtonReportsTheCellOnce) {
  auto cell = std::make_shared<TerminalCollectionViewCell>(Rect{0, 0, 342, 90});
  cell->moreButton()->sendActions(ControlEvent::TouchUpInside);  // no block: nothing

  std::vector<TerminalCollectionViewCell*> seen;
  cell->moreButtonClickBlock = [&](TerminalCollectionViewCell& c) { seen.push_back(&c); };
  cell->moreButton()->sendActions(ControlEvent::TouchUpInside);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], cell.get());
}

}  // namespace
}  // namespace veltrix::ui::scan::test
