#include <gtest/gtest.h>

#include <map>

#include "support/ui_test_env.h"
#include "veltrix/platform/ui/collection_view.h"
#include "veltrix/platform/ui/table_view.h"
#include "veltrix/platform/ui/view_controller.h"

namespace veltrix::ui {
namespace {

using testing::UiTest;

// --- Collection view -----------------------------------------------------------

class Tiles : public CollectionViewDataSource, public CollectionViewDelegate {
 public:
  std::int64_t count = 10;
  std::optional<Size> size;
  std::vector<std::string> events;
  int made = 0;

  std::int64_t numberOfItems(CollectionView&, std::int64_t) override { return count; }
  std::shared_ptr<CollectionViewCell> cellForItem(CollectionView& view, IndexPath ip) override {
    auto cell = view.dequeueReusableCell("GridCell", ip);
    cell->debugName = "tile " + std::to_string(ip.item);
    return cell;
  }
  std::optional<Size> sizeForItem(CollectionView&, FlowLayout&, IndexPath) override { return size; }
  void didSelectItem(CollectionView&, IndexPath ip) override {
    events.push_back("select " + std::to_string(ip.item));
  }
};

class ListTest : public UiTest {};

TEST_F(ListTest, FlowLayoutFillsRowsOfThreeAndCentresALoneTile) {
  // The overflow grid: insets 20/10/20/10, spacing 10, square tiles of a
  // third of the width left after the insets and the two gaps.
  auto layout = std::make_shared<FlowLayout>();
  layout->minimumLineSpacing = 10;
  layout->minimumInteritemSpacing = 10;
  layout->sectionInset = {20, 10, 20, 10};
  auto grid = std::make_shared<CollectionView>(Rect{0, 0, 350, 337.6}, layout);
  auto tiles = std::make_shared<Tiles>();
  const double side = (350 - 2 * 10 - 2 * 10) / 3.0;
  tiles->size = Size{side, side};
  grid->registerCell("GridCell", [t = tiles.get()] {
    ++t->made;
    return std::make_shared<CollectionViewCell>();
  });
  grid->setDataSource(tiles);
  grid->setDelegate(tiles);
  window().addSubview(grid);

  for (int i = 0; i < 9; ++i) {
    const Rect f = *grid->frameForItem(IndexPath::forItem(i));
    EXPECT_NEAR(f.x(), 10 + (i % 3) * (side + 10), 1e-9) << i;
    EXPECT_NEAR(f.y(), 20 + (i / 3) * (side + 10), 1e-9) << i;
  }
  const Rect last = *grid->frameForItem(IndexPath::forItem(9));
  EXPECT_NEAR(last.midX(), 175, 1e-9) << "a line of one tile is centred";
  EXPECT_NEAR(grid->contentSize().height, 20 + 4 * side + 3 * 10 + 20, 1e-9);

  // Four rows do not fit: only the tiles meeting the visible area exist.
  auto visible = grid->visibleCells();
  EXPECT_EQ(visible.size(), 9u);
  EXPECT_EQ(grid->cellForItem(IndexPath::forItem(9)), nullptr);
  driver().scroll(*grid, 200);
  EXPECT_NE(grid->cellForItem(IndexPath::forItem(9)), nullptr);
  EXPECT_EQ(grid->cellForItem(IndexPath::forItem(0)), nullptr);
  EXPECT_LE(tiles->made, 10) << "cells that scrolled away are reused";

  ASSERT_TRUE(driver().tapItem(*grid, IndexPath::forItem(9)));
  EXPECT_EQ(tiles->events, (std::vector<std::string>{"select 9"}));
}

TEST_F(ListTest, FlowLayoutSpreadsSpareWidthBetweenTheItemsOfALine) {
  auto layout = std::make_shared<FlowLayout>();
  layout->minimumInteritemSpacing = 16;
  layout->minimumLineSpacing = 16;
  layout->sectionInset = {16, 16, 16, 16};
  auto list = std::make_shared<CollectionView>(Rect{0, 0, 820, 600}, layout);
  auto items = std::make_shared<Tiles>();
  items->count = 3;
  items->size = Size{(820 - 48) / 2.0 - 10, 90};  // 10 narrower than two columns
  list->registerCell("GridCell", [] { return std::make_shared<CollectionViewCell>(); });
  list->setDataSource(items);
  list->setDelegate(items);
  EXPECT_EQ(list->frameForItem(IndexPath::forItem(0))->x(), 16);
  EXPECT_EQ(list->frameForItem(IndexPath::forItem(1))->maxX(), 804) << "justified";
  EXPECT_EQ(list->frameForItem(IndexPath::forItem(2))->y(), 16 + 90 + 16);
}

// --- Table view ----------------------------------------------------------------

class Sections : public TableViewDataSource, public TableViewDelegate {
 public:
  std::vector<std::int64_t> rows{1, 2, 1};
  std::vector<std::string> events;
  std::map<std::int64_t, int> asked;
  bool newCells = false;

  std::int64_t numberOfSections(TableView&) override {
    return static_cast<std::int64_t>(rows.size());
  }
  std::int64_t numberOfRows(TableView&, std::int64_t s) override {
    return rows[static_cast<std::size_t>(s)];
  }
  std::shared_ptr<TableViewCell> cellForRow(TableView& t, IndexPath ip) override {
    ++asked[ip.section * 100 + ip.row()];
    auto cell = newCells ? std::make_shared<TableViewCell>(TableViewCellStyle::Value1)
                         : t.dequeueReusableCell("Cell", ip);
    cell->textLabel()->setText(std::to_string(ip.section) + "." + std::to_string(ip.row()));
    return cell;
  }
  std::optional<double> heightForRow(TableView&, IndexPath) override { return 60; }
  std::optional<double> heightForHeader(TableView&, std::int64_t) override { return 40; }
  std::optional<double> heightForFooter(TableView&, std::int64_t s) override {
    return s == static_cast<std::int64_t>(rows.size()) - 1 ? 40 : 20;
  }
  std::shared_ptr<View> viewForHeader(TableView& t, std::int64_t s) override {
    // As the screens make them: a label sized from the table's width.
    auto v = std::make_shared<View>();
    v->debugName = "header " + std::to_string(s);
    v->addSubview(std::make_shared<Label>(Rect{20, 10, t.bounds().width() - 40, 20}));
    return v;
  }
  void willDisplayCell(TableView&, TableViewCell& cell, IndexPath ip) override {
    events.push_back("display " + toString(ip));
    if (ip.row() == 1) cell.separatorInset = Insets{0, cell.bounds().width(), 0, 0};
  }
  void didSelectRow(TableView&, IndexPath ip) override {
    events.push_back("select " + toString(ip));
  }
  void didDeselectRow(TableView&, IndexPath ip) override {
    events.push_back("deselect " + toString(ip));
  }
};

class TableTest : public ListTest {
 protected:
  std::shared_ptr<TableView> makeTable(TableViewStyle style, Rect frame = {0, 0, 390, 800}) {
    auto table = std::make_shared<TableView>(frame, style);
    table->registerCell("Cell", [] { return std::make_shared<TableViewCell>(); });
    table->setDataSource(holder_);
    table->setDelegate(holder_);
    window().addSubview(table);
    return table;
  }
  std::shared_ptr<Sections> holder_ = std::make_shared<Sections>();
  Sections& sections_ = *holder_;
};

TEST_F(TableTest, GeometryStacksHeadersRowsAndFootersPerSection) {
  auto table = makeTable(TableViewStyle::Grouped);
  auto header = std::make_shared<View>(Rect{0, 0, 0, 30});
  table->setTableHeaderView(header);
  EXPECT_EQ(table->rectForHeader(0), (Rect{0, 30, 390, 40}));
  EXPECT_EQ(table->rectForRow(IndexPath::forRow(0, 0)), (Rect{0, 70, 390, 60}));
  EXPECT_EQ(table->rectForFooter(0), (Rect{0, 130, 390, 20}));
  EXPECT_EQ(table->rectForHeader(1), (Rect{0, 150, 390, 40}));
  EXPECT_EQ(table->rectForRow(IndexPath::forRow(1, 1)), (Rect{0, 250, 390, 60}));
  EXPECT_EQ(table->rectForFooter(2), (Rect{0, 430, 390, 40})) << "the last footer is 40";
  EXPECT_EQ(table->contentSize().height, 470);
  EXPECT_EQ(header->frame().width(), 390);
  ASSERT_NE(table->headerViewForSection(1), nullptr);
  EXPECT_EQ(table->headerViewForSection(1)->debugName, "header 1");
  EXPECT_EQ(table->headerViewForSection(1)->frame(), (Rect{0, 150, 390, 40}));
}

TEST_F(TableTest, InsetGroupedRowsKeepTwentyPointsFromEachSide) {
  auto table = makeTable(TableViewStyle::InsetGrouped);
  EXPECT_EQ(table->rectForRow(IndexPath::forRow(0, 0)), (Rect{20, 40, 350, 60}));
}

// On a phone on its side the section headers' views keep clear of the
// unsafe sides.
TEST_F(TableTest, TurnedPhoneKeepsHeadersInTheSafeArea) {
  makeWindow(DeviceProfile::phone().inOrientation(true));
  auto table = makeTable(TableViewStyle::Grouped, window().bounds());
  table->layoutIfNeeded();
  ASSERT_NE(table->headerViewForSection(0), nullptr);
  EXPECT_TRUE(onScreen(*table->headerViewForSection(0)->subviews().at(0)));
}

TEST_F(TableTest, OnlyRowsInViewGetCellsAndWillDisplayPrecedesEach) {
  sections_.rows = {20};
  auto table = makeTable(TableViewStyle::Plain, Rect{0, 0, 390, 200});  // 40 + rows of 60
  auto cells = table->visibleCells();
  EXPECT_EQ(cells.size(), 3u);
  EXPECT_EQ(sections_.events,
            (std::vector<std::string>{"display [0, 0]", "display [0, 1]", "display [0, 2]"}));
  EXPECT_EQ(table->cellForRow(IndexPath::forRow(5)), nullptr);
  table->scrollToRow(IndexPath::forRow(10));
  ASSERT_NE(table->cellForRow(IndexPath::forRow(10)), nullptr);
  EXPECT_EQ(table->cellForRow(IndexPath::forRow(10))->textLabel()->text(), "0.10");
}

TEST_F(TableTest, SeparatorsFollowTheCellsInsets) {
  sections_.rows = {3};
  auto table = makeTable(TableViewStyle::Plain);
  table->separatorInset = {0, 20, 0, 20};
  const auto lines = table->separatorRects();
  ASSERT_EQ(lines.size(), 2u) << "row 1 hides its line with a left inset of its width";
  EXPECT_EQ(lines[0], (Rect{20, 40 + 60 - 0.5, 350, 0.5}));
  EXPECT_EQ(lines[1].y(), 40 + 180 - 0.5);
  table->separatorStyle = SeparatorStyle::None;
  EXPECT_TRUE(table->separatorRects().empty());
}

TEST_F(TableTest, SingleSelectionMovesAndMultipleSelectionToggles) {
  sections_.rows = {3};
  auto table = makeTable(TableViewStyle::Plain);
  ASSERT_TRUE(driver().tapRow(*table, IndexPath::forRow(0)));
  ASSERT_TRUE(driver().tapRow(*table, IndexPath::forRow(2)));
  ASSERT_TRUE(driver().tapRow(*table, IndexPath::forRow(2)));
  std::vector<std::string> taps(sections_.events.begin() + 3, sections_.events.end());
  EXPECT_EQ(taps, (std::vector<std::string>{"select [0, 0]", "deselect [0, 0]", "select [0, 2]",
                                            "select [0, 2]"}))
      << "a selected row tapped again is selected again";

  table->allowsMultipleSelection = true;
  table->deselectRow(IndexPath::forRow(2), false);  // from code: no call
  sections_.events.clear();
  ASSERT_TRUE(driver().tapRow(*table, IndexPath::forRow(0)));
  ASSERT_TRUE(driver().tapRow(*table, IndexPath::forRow(1)));
  ASSERT_TRUE(driver().tapRow(*table, IndexPath::forRow(0)));
  EXPECT_EQ(sections_.events,
            (std::vector<std::string>{"select [0, 0]", "select [0, 1]", "deselect [0, 0]"}));
  EXPECT_EQ(table->indexPathsForSelectedRows(), (std::vector<IndexPath>{IndexPath::forRow(1)}));
  EXPECT_TRUE(table->cellForRow(IndexPath::forRow(1))->isSelected());
}

TEST_F(TableTest, ReloadAsksAgainAndReusesOrMakesCells) {
  sections_.rows = {2};
  auto table = makeTable(TableViewStyle::Plain);
  auto before = table->cellForRow(IndexPath::forRow(1));
  table->reloadRows({IndexPath::forRow(1)});
  auto after = table->cellForRow(IndexPath::forRow(1));
  EXPECT_EQ(sections_.asked[1], 2);
  EXPECT_EQ(sections_.asked[0], 1) << "only the reloaded row is asked again";
  EXPECT_EQ(before, after) << "the registered cell is reused";
  sections_.newCells = true;
  table->reloadData();
  EXPECT_NE(table->cellForRow(IndexPath::forRow(1)), before) << "a cell made new each time";
  EXPECT_EQ(sections_.asked[1], 3);
}

TEST_F(TableTest, ValueOneCellPutsTheDetailAtTheTrailingEdge) {
  auto cell = std::make_shared<TableViewCell>(TableViewCellStyle::Value1, "BLEDeviceCell");
  cell->setFrame(Rect{0, 0, 390, 80});
  cell->accessoryType = AccessoryType::DisclosureIndicator;
  cell->textLabel()->setText("T420");
  cell->detailTextLabel()->setText("SN1\n-60 dBm");
  cell->detailTextLabel()->setNumberOfLines(2);
  cell->layoutIfNeeded();
  EXPECT_EQ(cell->contentView()->frame().width(), 390 - 38);
  EXPECT_EQ(cell->detailTextLabel()->frame().maxX(), 390 - 38 - 16);
  EXPECT_EQ(cell->detailTextLabel()->frame().height(), 2 * 21);
  EXPECT_EQ(cell->textLabel()->frame().x(), 16);
  EXPECT_EQ(TableViewCell().detailTextLabel(), nullptr) << "the default style has none";

  // A detail too long for the row leaves the text what it needs and ends
  // in the rest; two long ones share the row.
  const Label& text = *cell->textLabel();
  const Label& detail = *cell->detailTextLabel();
  cell->detailTextLabel()->setText(std::string(200, '7') + "\n-60 dBm");
  cell->setNeedsLayout();
  cell->layoutIfNeeded();
  EXPECT_DOUBLE_EQ(text.frame().width(), text.intrinsicContentSize().width);
  EXPECT_DOUBLE_EQ(detail.frame().minX(), text.frame().maxX() + 8);
  EXPECT_EQ(detail.frame().maxX(), 390 - 38 - 16);
  cell->textLabel()->setText(std::string(200, 'N'));
  cell->setNeedsLayout();
  cell->layoutIfNeeded();
  EXPECT_DOUBLE_EQ(text.frame().width(), detail.frame().width());
  EXPECT_DOUBLE_EQ(detail.frame().minX(), text.frame().maxX() + 8);
}

class ServiceList : public TableViewController {
 public:
  ServiceList() : TableViewController(TableViewStyle::InsetGrouped) {}
  std::int64_t numberOfRows(TableView&, std::int64_t) override { return 3; }
  std::shared_ptr<TableViewCell> cellForRow(TableView& t, IndexPath ip) override {
    auto cell = t.dequeueReusableCell("ServiceCell", ip);
    cell->textLabel()->setText("service " + std::to_string(ip.row()));
    return cell;
  }
  std::optional<double> heightForRow(TableView&, IndexPath) override { return 90; }
  void didSelectRow(TableView&, IndexPath ip) override { chosen.push_back(ip.row()); }
  void viewDidLoad() override {
    tableView().registerCell("ServiceCell", [] {
      return std::make_shared<TableViewCell>(TableViewCellStyle::Subtitle);
    });
  }
  std::vector<std::int64_t> chosen;
};

TEST_F(ListTest, TableViewControllerServesItsOwnTable) {
  auto list = std::make_shared<ServiceList>();
  show(std::make_shared<NavigationController>(list));
  EXPECT_EQ(&list->view(), &list->tableView());
  EXPECT_EQ(list->tableView().visibleCells().size(), 3u);
  EXPECT_TRUE(driver().isTextVisible("service 2"));
  ASSERT_TRUE(driver().tapRow(list->tableView(), IndexPath::forRow(2)));
  EXPECT_EQ(list->chosen, (std::vector<std::int64_t>{2}));
}

}  // namespace
}  // namespace veltrix::ui
