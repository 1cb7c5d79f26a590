#include "veltrix/platform/ui/layout.h"

#include <gtest/gtest.h>

#include "support/ui_test_env.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/ui/controls.h"
#include "veltrix/platform/ui/scroll_view.h"
#include "veltrix/platform/ui/table_view.h"

namespace veltrix::ui {
namespace {

using testing::UiTest;

class LayoutTest : public UiTest {
 protected:
  // A screen-sized root in the window, with the navigation bar's 44 points
  // added to its safe area as inside a navigation controller.
  std::shared_ptr<View> screen() {
    auto root = std::make_shared<View>(window().bounds());
    root->setAdditionalSafeAreaInsets({44, 0, 0, 0});
    window().addSubview(root);
    return root;
  }
  template <typename T = View>
  std::shared_ptr<T> add(View& parent, std::shared_ptr<T> v = std::make_shared<T>()) {
    v->setTranslatesAutoresizingMaskIntoConstraints(false);
    parent.addSubview(v);
    return v;
  }
  platform::ScopedLogCapture log_;
};

TEST_F(LayoutTest, CardWithMarginsAndAMinimumHeightTakesItsContentsHeight) {
  // The connection-method card: a title and a 100-point list inside a card
  // 20 points from the safe top and the sides, at least 180 high.
  auto root = screen();
  auto card = add(*root);
  auto title = add(*card, std::make_shared<Label>());
  auto table = add(*card, std::make_shared<TableView>());
  title->setText("Connection method");
  activate({
      card->topAnchor().constraintEqualTo(root->safeAreaLayoutGuide().topAnchor(), 20),
      card->leadingAnchor().constraintEqualTo(root->leadingAnchor(), 20),
      card->trailingAnchor().constraintEqualTo(root->trailingAnchor(), -20),
      card->heightAnchor().constraintGreaterThanOrEqualToConstant(180),
      card->bottomAnchor().constraintEqualTo(table->bottomAnchor(), 20),
      title->topAnchor().constraintEqualTo(card->topAnchor(), 20),
      title->leadingAnchor().constraintEqualTo(card->leadingAnchor(), 20),
      title->trailingAnchor().constraintEqualTo(card->trailingAnchor(), -20),
      title->heightAnchor().constraintEqualToConstant(28),
      table->topAnchor().constraintEqualTo(title->bottomAnchor(), 20),
      table->leadingAnchor().constraintEqualTo(card->leadingAnchor()),
      table->trailingAnchor().constraintEqualTo(card->trailingAnchor()),
      table->heightAnchor().constraintEqualToConstant(100),
      table->bottomAnchor().constraintLessThanOrEqualTo(card->bottomAnchor(), -20),
  });
  root->layoutIfNeeded();
  EXPECT_EQ(card->frame(), (Rect{20, 111, 350, 188}));
  EXPECT_EQ(title->frame(), (Rect{20, 20, 310, 28}));
  EXPECT_EQ(table->frame(), (Rect{0, 68, 350, 100}));
  EXPECT_FALSE(log_.contains("Unable to simultaneously satisfy constraints"));
}

TEST_F(LayoutTest, CentredCardOfFixedWidthBreaksAMarginItCannotKeep) {
  // The remember-mode dialog's card: 320 wide, centred, at least 20 from
  // the sides, as high as its title, list and button bar.
  auto build = [&](View& root) {
    auto card = add(root);
    auto title = add(*card, std::make_shared<Label>());
    auto list = add(*card);
    auto bar = add(*card);
    activate({
        card->centerXAnchor().constraintEqualTo(root.centerXAnchor()),
        card->centerYAnchor().constraintEqualTo(root.centerYAnchor()),
        card->widthAnchor().constraintEqualToConstant(320),
        card->leadingAnchor().constraintGreaterThanOrEqualTo(root.leadingAnchor(), 20),
        card->trailingAnchor().constraintLessThanOrEqualTo(root.trailingAnchor(), -20),
        title->topAnchor().constraintEqualTo(card->topAnchor(), 20),
        title->leadingAnchor().constraintEqualTo(card->leadingAnchor(), 20),
        title->trailingAnchor().constraintEqualTo(card->trailingAnchor(), -20),
        title->heightAnchor().constraintEqualToConstant(24),
        list->topAnchor().constraintEqualTo(title->bottomAnchor(), 16),
        list->leadingAnchor().constraintEqualTo(card->leadingAnchor()),
        list->trailingAnchor().constraintEqualTo(card->trailingAnchor()),
        list->heightAnchor().constraintEqualToConstant(2 * 50),
        bar->topAnchor().constraintEqualTo(list->bottomAnchor()),
        bar->leadingAnchor().constraintEqualTo(card->leadingAnchor()),
        bar->trailingAnchor().constraintEqualTo(card->trailingAnchor()),
        bar->bottomAnchor().constraintEqualTo(card->bottomAnchor()),
        bar->heightAnchor().constraintEqualToConstant(50),
    });
    root.layoutIfNeeded();
    return card;
  };
  {
    auto root = std::make_shared<View>(Rect{0, 0, 390, 787});
    auto card = build(*root);
    EXPECT_EQ(card->frame(), (Rect{35, 288.5, 320, 210}));
    EXPECT_FALSE(log_.contains("Unable to simultaneously satisfy constraints"));
  }
  {
    // 320 points leave no room for the margins: one constraint is broken
    // and the layout says so.
    auto root = std::make_shared<View>(Rect{0, 0, 320, 548});
    auto card = build(*root);
    EXPECT_TRUE(log_.contains("Unable to simultaneously satisfy constraints"));
    EXPECT_EQ(card->frame().height(), 210);
  }
}

TEST_F(LayoutTest, ListCellConstraintsPlaceTextBesideTheIconAndStackTheLines) {
  // The terminal list cell: fifteen equalities inside a 342 x 90 content view.
  auto content = std::make_shared<View>(Rect{0, 0, 342, 90});
  auto icon = add(*content, std::make_shared<ImageView>());
  auto name = add(*content, std::make_shared<Label>());
  auto sn = add(*content, std::make_shared<Label>());
  auto service = add(*content, std::make_shared<Label>());
  auto more = add(*content, std::make_shared<Button>());
  name->setFont(Font::system(16, FontWeight::Medium));
  sn->setFont(Font::system(14));
  service->setFont(Font::system(14));
  name->setText("T420");
  sn->setText("SN1234567890");
  service->setText("Purchase");
  activate({
      icon->leadingAnchor().constraintEqualTo(content->leadingAnchor(), 16),
      icon->topAnchor().constraintEqualTo(content->topAnchor(), 16),
      icon->widthAnchor().constraintEqualToConstant(40),
      icon->heightAnchor().constraintEqualToConstant(50),
      name->leadingAnchor().constraintEqualTo(icon->trailingAnchor(), 12),
      name->topAnchor().constraintEqualTo(icon->topAnchor()),
      sn->leadingAnchor().constraintEqualTo(name->leadingAnchor()),
      sn->topAnchor().constraintEqualTo(name->bottomAnchor(), 2),
      service->leadingAnchor().constraintEqualTo(name->leadingAnchor()),
      service->topAnchor().constraintEqualTo(sn->bottomAnchor(), 2),
      service->trailingAnchor().constraintEqualTo(more->leadingAnchor(), -8),
      more->trailingAnchor().constraintEqualTo(content->trailingAnchor(), -16),
      more->centerYAnchor().constraintEqualTo(content->centerYAnchor()),
      more->widthAnchor().constraintEqualToConstant(30),
      more->heightAnchor().constraintEqualToConstant(30),
  });
  content->layoutIfNeeded();
  EXPECT_EQ(icon->frame(), (Rect{16, 16, 40, 50}));
  EXPECT_EQ(more->frame(), (Rect{296, 30, 30, 30}));
  EXPECT_EQ(name->frame().origin, (Point{68, 16}));
  // Labels without a trailing constraint take their natural one-line size.
  EXPECT_EQ(name->frame().size, name->intrinsicContentSize());
  EXPECT_EQ(sn->frame().size, sn->intrinsicContentSize());
  EXPECT_EQ(sn->frame().minY(), name->frame().maxY() + 2);
  EXPECT_EQ(service->frame().minY(), sn->frame().maxY() + 2);
  EXPECT_EQ(service->frame().minX(), 68);
  EXPECT_EQ(service->frame().maxX(), 288);
}

TEST_F(LayoutTest, MultiplierAndCentreGiveThePanelOfTheOverflowGrid) {
  auto root = std::make_shared<View>(Rect{0, 0, 390, 844});
  auto panel = add(*root);
  auto grid = add(*panel);
  activate({
      panel->leadingAnchor().constraintEqualTo(root->leadingAnchor(), 20),
      panel->trailingAnchor().constraintEqualTo(root->trailingAnchor(), -20),
      panel->centerYAnchor().constraintEqualTo(root->centerYAnchor()),
      panel->heightAnchor().constraintEqualTo(root->heightAnchor(), Multiplier{0.4}),
      grid->topAnchor().constraintEqualTo(panel->topAnchor()),
      grid->leadingAnchor().constraintEqualTo(panel->leadingAnchor()),
      grid->trailingAnchor().constraintEqualTo(panel->trailingAnchor()),
      grid->bottomAnchor().constraintEqualTo(panel->bottomAnchor()),
  });
  root->layoutIfNeeded();
  EXPECT_EQ(panel->frame(), (Rect{20, 253.2, 350, 337.6}));
  EXPECT_EQ(grid->frame(), (Rect{0, 0, 350, 337.6}));
}

TEST_F(LayoutTest, HeldConstraintsTakeNewConstantsAtTheNextLayout) {
  auto root = screen();
  auto header = add(*root, std::make_shared<Label>());
  header->setText("Purchase Service");
  auto top = header->topAnchor().constraintEqualTo(root->safeAreaLayoutGuide().topAnchor(), 40);
  activate({top, header->centerXAnchor().constraintEqualTo(root->centerXAnchor()),
            header->widthAnchor().constraintEqualTo(root->widthAnchor())});
  root->layoutIfNeeded();
  EXPECT_EQ(header->frame().y(), 91 + 40);
  top->setConstant(30);
  EXPECT_EQ(header->frame().y(), 131) << "nothing moves before the layout pass";
  root->layoutIfNeeded();
  EXPECT_EQ(header->frame().y(), 121);
  EXPECT_EQ(header->frame().width(), 390);
}

TEST_F(LayoutTest, MultiLineLabelsAreMeasuredAgainAtTheirLaidOutWidth) {
  auto root = std::make_shared<View>(Rect{0, 0, 140, 400});
  auto text = add(*root, std::make_shared<Label>());
  auto below = add(*root, std::make_shared<Label>());
  text->setNumberOfLines(0);
  text->setFont(Font::system(10));  // 5.5 points a character, 12 a line
  text->setText(std::string(40, 'x') + " " + std::string(10, 'y'));
  below->setText("next");
  activate({
      text->topAnchor().constraintEqualTo(root->topAnchor(), 10),
      text->leadingAnchor().constraintEqualTo(root->leadingAnchor(), 20),
      text->trailingAnchor().constraintEqualTo(root->trailingAnchor(), -20),
      below->topAnchor().constraintEqualTo(text->bottomAnchor()),
      below->leadingAnchor().constraintEqualTo(text->leadingAnchor()),
  });
  root->layoutIfNeeded();
  // 100 points hold 18 characters: the long word is broken over three lines
  // and the short one joins the third.
  EXPECT_EQ(text->frame(), (Rect{20, 10, 100, 36}));
  EXPECT_EQ(below->frame().minY(), 46);
}

TEST_F(LayoutTest, PrioritiesDecideWhatGivesWay) {
  auto root = std::make_shared<View>(Rect{0, 0, 400, 100});
  auto a = add(*root, std::make_shared<Label>());
  auto b = add(*root, std::make_shared<Label>());
  a->setText(std::string(20, 'a'));  // 20 x 9.35 = 187 wide at 17 points
  b->setText(std::string(20, 'b'));
  b->setContentCompressionResistancePriority(700, LayoutAxis::Horizontal);
  activate({
      a->leadingAnchor().constraintEqualTo(root->leadingAnchor()),
      b->leadingAnchor().constraintEqualTo(a->trailingAnchor()),
      b->trailingAnchor().constraintLessThanOrEqualTo(root->trailingAnchor(), -100),
      a->topAnchor().constraintEqualTo(root->topAnchor()),
      b->topAnchor().constraintEqualTo(root->topAnchor()),
  });
  root->layoutIfNeeded();
  EXPECT_DOUBLE_EQ(a->frame().width(), 187) << "the more resistant label keeps its size";
  EXPECT_DOUBLE_EQ(b->frame().width(), 113);

  auto wide = add(*root);
  auto want = wide->widthAnchor().constraintEqualToConstant(300);
  want->setPriority(750);
  activate({want, wide->widthAnchor().constraintLessThanOrEqualToConstant(200),
            wide->leadingAnchor().constraintEqualTo(root->leadingAnchor())});
  root->layoutIfNeeded();
  EXPECT_EQ(wide->frame().width(), 200) << "required beats optional";
  EXPECT_FALSE(log_.contains("Unable to simultaneously satisfy constraints"));
}

TEST_F(LayoutTest, ConflictingRequiredConstraintsBreakTheLaterOneAndLogIt) {
  auto root = std::make_shared<View>(Rect{0, 0, 400, 100});
  auto v = add(*root);
  v->debugName = "v";
  activate({v->widthAnchor().constraintEqualToConstant(100),
            v->widthAnchor().constraintEqualToConstant(150),
            v->leadingAnchor().constraintEqualTo(root->leadingAnchor())});
  root->layoutIfNeeded();
  EXPECT_EQ(v->frame().width(), 100);
  EXPECT_TRUE(log_.contains("Unable to simultaneously satisfy constraints"));
  EXPECT_TRUE(log_.contains("View'v'.width == 150"));
}

TEST_F(LayoutTest, ConstraintsNeedACommonAncestor) {
  auto a = std::make_shared<View>();
  auto b = std::make_shared<View>();
  auto c = a->widthAnchor().constraintEqualTo(b->widthAnchor());
  c->setActive(true);
  EXPECT_FALSE(c->isActive());
  EXPECT_TRUE(log_.contains("no common ancestor"));
}

TEST_F(LayoutTest, UnconstrainedPositionsStayWhereTheyWere) {
  auto root = std::make_shared<View>(Rect{0, 0, 400, 400});
  auto v = add(*root);
  v->setFrame(Rect{30, 40, 10, 10});
  activate({v->widthAnchor().constraintEqualToConstant(50)});
  root->layoutIfNeeded();
  EXPECT_EQ(v->frame(), (Rect{30, 40, 50, 10}));
}

TEST_F(LayoutTest, RepeatedConstraintsAreNoConflict) {
  auto root = std::make_shared<View>(Rect{0, 0, 400, 100});
  auto v = add(*root);
  activate({v->widthAnchor().constraintEqualToConstant(100),
            v->widthAnchor().constraintEqualToConstant(100),
            v->leadingAnchor().constraintEqualTo(root->leadingAnchor(), 5),
            v->trailingAnchor().constraintEqualTo(root->leadingAnchor(), 105)});
  root->layoutIfNeeded();
  EXPECT_EQ(v->frame().x(), 5);
  EXPECT_FALSE(log_.contains("Unable to simultaneously satisfy constraints"));
}

TEST_F(LayoutTest, ConstrainedContentOfAScrolledListStaysInItsCell) {
  // A cell's content placed by constraints keeps its place in the cell when
  // the list scrolls (the scroll offset is part of the coordinates).
  auto root = std::make_shared<View>(Rect{0, 0, 390, 400});
  auto list = std::make_shared<ScrollView>(Rect{0, 100, 390, 200});
  list->setContentSize({390, 1000});
  root->addSubview(list);
  auto cell = std::make_shared<View>(Rect{0, 300, 390, 90});
  list->addSubview(cell);
  auto label = add(*cell, std::make_shared<Label>());
  label->setText("row");
  activate({label->leadingAnchor().constraintEqualTo(cell->leadingAnchor(), 16),
            label->centerYAnchor().constraintEqualTo(cell->centerYAnchor())});
  root->layoutIfNeeded();
  const Rect before = label->frame();
  EXPECT_EQ(before.x(), 16);
  list->setContentOffset({0, 250});
  root->layoutIfNeeded();
  EXPECT_EQ(label->frame(), before);
  EXPECT_EQ(label->convert(Point{0, 0}, root.get()).y, 100 + 300 - 250 + before.y());
}

TEST_F(LayoutTest, HiddenViewsKeepTheirConstraints) {
  auto root = std::make_shared<View>(Rect{0, 0, 390, 200});
  auto first = add(*root, std::make_shared<Label>());
  auto second = add(*root, std::make_shared<Label>());
  first->setText("Service");
  second->setText("");
  second->setHidden(true);
  auto third = add(*root, std::make_shared<Label>());
  third->setText("count");
  activate({first->topAnchor().constraintEqualTo(root->topAnchor(), 10),
            second->topAnchor().constraintEqualTo(first->bottomAnchor(), 4),
            third->topAnchor().constraintEqualTo(second->bottomAnchor(), 4)});
  root->layoutIfNeeded();
  EXPECT_EQ(third->frame().y(), 10 + 21 + 4 + 0 + 4) << "an empty label is 0 high, hidden or not";
}

}  // namespace
}  // namespace veltrix::ui
