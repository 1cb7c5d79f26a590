#include <gtest/gtest.h>

#include "support/ui_test_env.h"
#include "veltrix/platform/ui/controls.h"
#include "veltrix/platform/ui/gesture.h"
#include "veltrix/platform/ui/table_view.h"

namespace veltrix::ui {
namespace {

using testing::UiTest;

class EventTest : public UiTest {
 protected:
  std::shared_ptr<View> root() {
    if (!root_) {
      root_ = std::make_shared<View>(window().bounds());
      window().addSubview(root_);
    }
    return root_;
  }
  std::shared_ptr<View> root_;
  std::vector<std::string> events_;
};

class Rows : public TableViewDataSource, public TableViewDelegate {
 public:
  std::int64_t numberOfRows(TableView&, std::int64_t) override { return 30; }
  std::shared_ptr<TableViewCell> cellForRow(TableView& t, IndexPath ip) override {
    auto cell = t.dequeueReusableCell("cell", ip);
    cell->textLabel()->setText("row " + std::to_string(ip.row()));
    return cell;
  }
  void didSelectRow(TableView&, IndexPath ip) override {
    events.push_back("select " + std::to_string(ip.row()));
  }
  void didDeselectRow(TableView&, IndexPath ip) override {
    events.push_back("deselect " + std::to_string(ip.row()));
  }
  std::vector<std::string>& events;
  explicit Rows(std::vector<std::string>& e) : events(e) {}
};

TEST_F(EventTest, AControlWinsOverItsAncestorsTapRecognisers) {
  auto row = std::make_shared<View>(Rect{0, 100, 390, 60});
  root()->addSubview(row);
  auto sw = std::make_shared<Switch>(Rect{300, 10, 0, 0});
  row->addSubview(sw);
  sw->addTarget(ControlEvent::ValueChanged, [&](Control& c) {
    events_.push_back(static_cast<Switch&>(c).isOn() ? "switch on" : "switch off");
  });
  row->addGestureRecognizer(std::make_shared<TapGestureRecognizer>(
      [&](GestureRecognizer&) { events_.push_back("row tap"); }));

  ASSERT_TRUE(driver().flip(*sw));
  EXPECT_EQ(events_, (std::vector<std::string>{"switch on"}));
  driver().tapAt({100, 130});
  EXPECT_EQ(events_, (std::vector<std::string>{"switch on", "row tap"}));

  // A disabled control swallows the tap: no event, and no row tap either.
  sw->setEnabled(false);
  EXPECT_TRUE(driver().flip(*sw));
  EXPECT_EQ(events_.size(), 2u);
  EXPECT_TRUE(sw->isOn());
}

TEST_F(EventTest, SwitchChangedFromCodeSendsNothing) {
  auto sw = std::make_shared<Switch>();
  root()->addSubview(sw);
  int changes = 0;
  sw->addTarget(ControlEvent::ValueChanged, [&](Control&) { ++changes; });
  sw->setOn(true);
  sw->setOn(false, true);
  sw->setSelected(true);
  EXPECT_EQ(changes, 0);
  EXPECT_TRUE(driver().flip(*sw));
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(sw->isOn());
}

TEST_F(EventTest, CancellingRecogniserKeepsTheTouchFromTheListUnderIt) {
  Rows rows(events_);
  auto source = std::shared_ptr<Rows>(&rows, [](Rows*) {});
  auto table = std::make_shared<TableView>(Rect{0, 100, 390, 400});
  table->registerCell("cell", [] { return std::make_shared<TableViewCell>(); });
  table->setDataSource(source);
  table->setDelegate(source);
  root()->addSubview(table);
  auto tap = std::make_shared<TapGestureRecognizer>([&](GestureRecognizer& g) {
    const Point p = g.locationInView(root().get());
    events_.push_back("tap at " + std::to_string(static_cast<int>(p.y)));
  });
  root()->addGestureRecognizer(tap);

  ASSERT_TRUE(driver().tapRow(*table, IndexPath::forRow(1)));
  EXPECT_EQ(events_, (std::vector<std::string>{"tap at 166"})) << "cancelled: no selection";

  events_.clear();
  tap->cancelsTouchesInView = false;
  ASSERT_TRUE(driver().tapRow(*table, IndexPath::forRow(1)));
  EXPECT_EQ(events_, (std::vector<std::string>{"tap at 166", "select 1"}))
      << "the recogniser's action comes first, then the row";
}

TEST_F(EventTest, ADragAcrossAListScrollsItAndSelectsNothing) {
  Rows rows(events_);
  auto source = std::shared_ptr<Rows>(&rows, [](Rows*) {});
  auto table = std::make_shared<TableView>(Rect{0, 100, 390, 400});
  table->registerCell("cell", [] { return std::make_shared<TableViewCell>(); });
  table->setDataSource(source);
  table->setDelegate(source);
  root()->addSubview(table);
  driver().scroll(*table, 100);
  EXPECT_EQ(table->contentOffset().y, 100);
  EXPECT_TRUE(events_.empty());
  driver().scroll(*table, -500);
  EXPECT_EQ(table->contentOffset().y, 0) << "no scrolling past the top";
}

TEST_F(EventTest, TapRequiringAPanToFailOnlyFiresWhenTheTouchStaysPut) {
  auto bubble = std::make_shared<View>(Rect{100, 100, 200, 100});
  root()->addSubview(bubble);
  auto pan = std::make_shared<PanGestureRecognizer>();
  pan->addAction([&](GestureRecognizer& g) {
    auto& p = static_cast<PanGestureRecognizer&>(g);
    static constexpr const char* kStates[] = {"possible", "began",     "changed",
                                              "ended",    "cancelled", "failed"};
    const Point t = p.translationInView(root().get());
    events_.push_back(std::string(kStates[static_cast<int>(p.state())]) + " " +
                      std::to_string(static_cast<int>(t.x)));
  });
  auto tap =
      std::make_shared<TapGestureRecognizer>([&](GestureRecognizer&) { events_.push_back("tap"); });
  tap->requireToFail(pan);
  bubble->addGestureRecognizer(tap);
  bubble->addGestureRecognizer(pan);

  driver().drag({150, 150}, {{154, 150}, {158, 150}});  // never past 10 points
  EXPECT_EQ(events_, (std::vector<std::string>{"tap"}));

  events_.clear();
  driver().drag({150, 150}, {{155, 150}, {165, 150}, {190, 150}});
  EXPECT_EQ(events_, (std::vector<std::string>{"began 15", "changed 40", "ended 40"}))
      << "a tap that turns into a drag is no tap";

  events_.clear();
  driver().drag({150, 150}, {{170, 150}}, /*cancel=*/true);
  EXPECT_EQ(events_, (std::vector<std::string>{"began 20", "cancelled 20"}));
}

TEST_F(EventTest, TheInnermostTapRecogniserWins) {
  auto outer = std::make_shared<View>(Rect{0, 0, 390, 400});
  auto inner = std::make_shared<View>(Rect{50, 50, 100, 100});
  root()->addSubview(outer);
  outer->addSubview(inner);
  outer->addGestureRecognizer(std::make_shared<TapGestureRecognizer>(
      [&](GestureRecognizer&) { events_.push_back("outer"); }));
  inner->addGestureRecognizer(std::make_shared<TapGestureRecognizer>(
      [&](GestureRecognizer&) { events_.push_back("inner"); }));
  driver().tapAt({100, 100});
  driver().tapAt({300, 300});
  EXPECT_EQ(events_, (std::vector<std::string>{"inner", "outer"}));
  inner->removeAllGestureRecognizers();
  driver().tapAt({100, 100});
  EXPECT_EQ(events_.back(), "outer");
}

TEST_F(EventTest, ButtonActionMayRemoveTheButtonItself) {
  auto button = std::make_shared<Button>(ButtonType::System, Rect{10, 100, 100, 44});
  button->setTitle("Close", ControlState::Normal);
  root()->addSubview(button);
  std::weak_ptr<Button> weak = button;
  button->addTarget(ControlEvent::TouchUpInside, [&](Control& c) {
    c.removeFromSuperview();
    events_.push_back(c.typeName());  // still alive inside its own action
  });
  button.reset();
  ASSERT_TRUE(driver().tap(*weak.lock()));
  EXPECT_EQ(events_, (std::vector<std::string>{"Button"}));
  EXPECT_TRUE(weak.expired()) << "released once the task that removed it ended";
}

TEST_F(EventTest, DriverCannotTapWhatIsCoveredOrHidden) {
  auto button = std::make_shared<Button>(ButtonType::System, Rect{10, 100, 100, 44});
  root()->addSubview(button);
  int taps = 0;
  button->addTarget(ControlEvent::TouchUpInside, [&](Control&) { ++taps; });
  auto cover = std::make_shared<View>(Rect{0, 0, 390, 300});
  root()->addSubview(cover);
  EXPECT_FALSE(driver().tap(*button));
  cover->removeFromSuperview();
  button->setHidden(true);
  EXPECT_FALSE(driver().tap(*button));
  button->setHidden(false);
  EXPECT_TRUE(driver().tap(*button));
  EXPECT_EQ(taps, 1);
}

}  // namespace
}  // namespace veltrix::ui
