// The overflow grid: what it shows, how a pick and a tap outside close it,
// and its panel and tiles on a phone and a pad.
#include "veltrix/ui/scan/grid_view_controller.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/ui_test_env.h"
#include "veltrix/platform/paths.h"
#include "veltrix/platform/ui/image.h"
#include "veltrix/platform/ui/outside_text.h"
#include "veltrix/platform/ui/render/renderer.h"
#include "veltrix/platform/ui/view_controller.h"

namespace veltrix::ui::scan {
namespace {

ServiceInfoDict service(const std::string& model, const std::string& sn, const std::string& name) {
  ServiceInfoDict s;
  s.model = model;
  s.sn = sn;
  s.serviceName = name;
  s.serviceType = "Purchase";
  s.serviceId = "svc-" + sn;
  s.address = "10.0.0.7:8080";
  return s;
}

// The whole dictionary, as the facade would get it.
facade::ServiceDictionary dict(const ServiceInfoDict& s) { return s.toDictionary(); }

std::vector<ServiceInfoDict> services(int n) {
  std::vector<ServiceInfoDict> out;
  for (int i = 0; i < n; ++i) {
    out.push_back(service(i % 2 ? "T310" : "T420", "TAVIO-SN-000" + std::to_string(i),
                          "Payment " + std::to_string(i)));
  }
  return out;
}

struct Recorder : GridViewControllerDelegate {
  std::vector<ServiceInfoDict> picks;
  void onScanMoreTerminalSucc(const ServiceInfoDict& s) override { picks.push_back(s); }
};

class GridTest : public testing::UiTest {
 protected:
  // Presents a grid of `data` over a plain screen, as the scan screen does.
  GridViewController& present(std::vector<ServiceInfoDict> data,
                              const DeviceProfile& device = DeviceProfile::phone()) {
    makeWindow(device);
    screen = std::make_shared<ViewController>();
    show(screen);
    grid = std::make_shared<GridViewController>(std::move(data));
    grid->setDelegate(recorder);
    screen->present(grid, true);
    driver().advance(transitionDuration());
    return *grid;
  }
  bool gridShown() { return screen->presentedViewController() == grid.get(); }
  Rect panelFrame() { return inWindow(grid->containerView()); }

  std::shared_ptr<ViewController> screen;
  std::shared_ptr<GridViewController> grid;
  std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

TEST_F(GridTest, ShortenedSerialAndIconFallback) {
  // A model of the host's with an enabled picture only: the tile shows it.
  const std::filesystem::path host = docs() / "host-images";
  std::filesystem::create_directories(host);
  std::filesystem::copy_file(platform::resourceDir() / "images" / "icon_t310_enabled@3x.png",
                             host / "icon_x9_enabled@3x.png");
  setHostImageDirectory(host);
  GridViewController& g = present({service("X9", "TERM-ÄÖÜß", "Refund"),
                                   service("T420", "AB€€", "Sale"), service("T420", "12", "Void")});
  auto tile = [&](int item) {
    return std::dynamic_pointer_cast<GridCollectionViewCell>(
        g.collectionView().cellForItem(IndexPath::forItem(item)));
  };
  ASSERT_TRUE(tile(0) && tile(1) && tile(2));
  // The last four characters, not bytes; a shorter serial shows whole.
  EXPECT_EQ(tile(0)->subtitleLabel()->text(), "(*ÄÖÜß)");
  EXPECT_EQ(tile(1)->subtitleLabel()->text(), "(*AB€€)");
  EXPECT_EQ(tile(2)->subtitleLabel()->text(), "(*12)");
  ASSERT_TRUE(tile(0)->imageView()->image());
  EXPECT_EQ(tile(0)->imageView()->image()->name(), "icon_x9_enabled");
  setHostImageDirectory({});
  EXPECT_DOUBLE_EQ(gridTileSide(350), 310.0 / 3);

  // A tile shows the terminal's texts safely, each on its one line.
  GridCollectionViewCell hostile;
  hostile.setFrame(Rect{0, 0, 100, 100});
  hostile.configureWithTitle("T420\nTMIX", shortSerial("SIM-12\u202E34"), "Card\nPayment", "");
  hostile.layoutIfNeeded();
  for (const auto& label : {hostile.titleLabel(), hostile.subtitleLabel(), hostile.detailLabel()}) {
    const TextLayout shown = drawnText(*label);
    EXPECT_EQ(shown.lines.size(), 1u) << label->text();
    EXPECT_EQ(shown.text(), displayableOutsideText(label->text()));
  }
}

TEST_F(GridTest, PresentsOverTheScreenWithoutHidingIt) {
  GridViewController& g = present(services(2));
  EXPECT_EQ(g.modalPresentationStyle, ModalPresentationStyle::OverCurrentContext);
  EXPECT_EQ(g.modalTransitionStyle, ModalTransitionStyle::CrossDissolve);
  EXPECT_TRUE(screen->isVisible());
  EXPECT_EQ(g.view().backgroundColor(), Color::black().withAlpha(0.5));
  // The entry animation has ended on the panel's model values.
  EXPECT_TRUE(g.containerView().transform().isIdentity());
  EXPECT_EQ(g.containerView().alpha(), 1);
}

TEST_F(GridTest, PanelOnPhoneAndPad) {
  auto expectNear = [](const Rect& a, const Rect& b) {
    EXPECT_NEAR(a.x(), b.x(), 1e-9);
    EXPECT_NEAR(a.y(), b.y(), 1e-9);
    EXPECT_NEAR(a.width(), b.width(), 1e-9);
    EXPECT_NEAR(a.height(), b.height(), 1e-9);
  };
  present(services(1));
  EXPECT_FALSE(grid->isIpad());
  expectNear(panelFrame(), Rect{20, (844 - 0.4 * 844) / 2, 350, 0.4 * 844});

  present(services(1), DeviceProfile::pad());
  EXPECT_TRUE(grid->isIpad());
  expectNear(panelFrame(), Rect{300, (1180 - 590) / 2.0, 220, 590});
}

// The panel and its tiles keep out of a turned phone's sensor housing.
TEST_F(GridTest, PanelAndTilesStayInsideTheSafeAreaOnEveryDevice) {
  for (const DeviceProfile& device : everyOrientation()) {
    SCOPED_TRACE(device.name + (device.landscape ? " landscape" : " portrait"));
    GridViewController& g = present(services(3), device);
    EXPECT_TRUE(onScreen(g.containerView()));
    for (const auto& tile : g.collectionView().visibleCells()) {
      const Rect f = inWindow(*tile);
      const Insets safe = device.safeArea();
      EXPECT_GE(f.minX(), safe.left);
      EXPECT_LE(f.maxX(), window().bounds().width() - safe.right);
    }
  }
}

TEST_F(GridTest, TilesOfATurnedPhoneAreNoTallerThanThePanelShows) {
  GridViewController& g = present(services(4), DeviceProfile::phone().inOrientation(true));
  CollectionView& c = g.collectionView();
  auto f = c.frameForItem(IndexPath::forItem(0));
  ASSERT_TRUE(f);
  EXPECT_LE(f->maxY(), c.bounds().height());
  EXPECT_LT(f->height(), f->width());
}

TEST_F(GridTest, TilesFillRowsOfThreeInListOrder) {
  GridViewController& g = present(services(7));
  CollectionView& c = g.collectionView();
  const double side = 310.0 / 3;
  ASSERT_EQ(c.numberOfItems(0), 7);
  for (int i = 0; i < 7; ++i) {
    auto f = c.frameForItem(IndexPath::forItem(i));
    ASSERT_TRUE(f) << i;
    EXPECT_NEAR(f->width(), side, 1e-9) << i;
    EXPECT_NEAR(f->height(), side, 1e-9) << i;
    // The last tile is alone on its line, which the layout centres.
    if (i < 6) {
      EXPECT_NEAR(f->x(), 10 + (i % 3) * (side + 10), 1e-6) << i;
    }
    EXPECT_NEAR(f->y(), 20 + (i / 3) * (side + 10), 1e-6) << i;
  }
  auto cell =
      std::dynamic_pointer_cast<GridCollectionViewCell>(c.cellForItem(IndexPath::forItem(1)));
  ASSERT_TRUE(cell);
  EXPECT_EQ(cell->titleLabel()->text(), "T310");
  EXPECT_EQ(cell->subtitleLabel()->text(), "(*0001)");
  EXPECT_EQ(cell->detailLabel()->text(), "Payment 1");
  ASSERT_TRUE(cell->imageView()->image());
  EXPECT_EQ(cell->imageView()->image()->name(), "icon_t310_enabled");
  // Three rows need more than the panel's height: the grid scrolls.
  EXPECT_GT(c.contentSize().height, c.bounds().height());
}

TEST_F(GridTest, SmallPadTilesKeepTheirTextsAndDropTheIcon) {
  auto tile = [&](int item) {
    return std::dynamic_pointer_cast<GridCollectionViewCell>(
        grid->collectionView().cellForItem(IndexPath::forItem(item)));
  };
  present(services(2));
  ASSERT_TRUE(tile(0));
  EXPECT_TRUE(tile(0)->imageView()->isVisibleInTree());
  EXPECT_GE(tile(0)->imageView()->frame().height(), 24);

  present(services(2), DeviceProfile::pad());
  ASSERT_TRUE(tile(0));
  EXPECT_NEAR(tile(0)->frame().width(), 60, 1e-9);
  EXPECT_FALSE(tile(0)->imageView()->isVisibleInTree());
  for (const char* text : {"T420", "(*0000)", "Payment 0"}) {
    EXPECT_TRUE(driver().isTextVisible(text)) << text;
  }
  for (Label* label : {tile(0)->titleLabel().get(), tile(0)->subtitleLabel().get(),
                       tile(0)->detailLabel().get()}) {
    EXPECT_LE(label->frame().maxY(), tile(0)->bounds().height()) << label->text();
  }
}

TEST_F(GridTest, UnknownModelShowsTheFallbackIconAndItsOwnName) {
  auto data = services(0);
  data.push_back(service("Z9", "7", "Refund"));
  GridViewController& g = present(data);
  auto cell = std::dynamic_pointer_cast<GridCollectionViewCell>(
      g.collectionView().cellForItem(IndexPath::forItem(0)));
  ASSERT_TRUE(cell);
  EXPECT_EQ(cell->titleLabel()->text(), "Z9");
  EXPECT_EQ(cell->subtitleLabel()->text(), "(*7)");
  ASSERT_TRUE(cell->imageView()->image());
  EXPECT_EQ(cell->imageView()->image()->name(), "icon_t420_enabled");
  EXPECT_TRUE(driver().isTextVisible("Refund"));
}

TEST_F(GridTest, WorksOnItsOwnCopyOfTheOverflowList) {
  std::vector<ServiceInfoDict> overflow = services(4);
  GridViewController& g = present(overflow);
  // The scan screen's ageing promotes entries while the grid is up.
  overflow.clear();
  ASSERT_TRUE(driver().tapItem(g.collectionView(), IndexPath::forItem(3)));
  ASSERT_EQ(recorder->picks.size(), 1u);
  EXPECT_EQ(dict(recorder->picks[0]), dict(services(4)[3]));
}

TEST_F(GridTest, PickTellsTheDelegateOnceThenCloses) {
  GridViewController& g = present(services(5));
  ASSERT_TRUE(driver().tapItem(g.collectionView(), IndexPath::forItem(4)));
  ASSERT_EQ(recorder->picks.size(), 1u);
  EXPECT_EQ(dict(recorder->picks[0]), dict(services(5)[4]));
  driver().advance(transitionDuration());
  EXPECT_FALSE(gridShown());
  EXPECT_EQ(recorder->picks.size(), 1u);
}

TEST_F(GridTest, PickWithoutDelegateOnlyCloses) {
  GridViewController& g = present(services(2));
  g.setDelegate({});
  ASSERT_TRUE(driver().tapItem(g.collectionView(), IndexPath::forItem(0)));
  driver().advance(transitionDuration());
  EXPECT_FALSE(gridShown());
  EXPECT_TRUE(recorder->picks.empty());
}

// The scan screen's own clean-up closes the popup while it is already
// closing after a pick.
struct ClosingDelegate : GridViewControllerDelegate {
  std::shared_ptr<ViewController> screen;
  int calls = 0;
  void onScanMoreTerminalSucc(const ServiceInfoDict&) override {
    ++calls;
    screen->dismiss(true);
  }
};

TEST_F(GridTest, ClosingTwiceIsHarmless) {
  GridViewController& g = present(services(2));
  auto closing = std::make_shared<ClosingDelegate>();
  closing->screen = screen;
  g.setDelegate(closing);
  ASSERT_TRUE(driver().tapItem(g.collectionView(), IndexPath::forItem(1)));
  driver().advance(transitionDuration());
  EXPECT_EQ(closing->calls, 1);
  EXPECT_FALSE(gridShown());
  g.closePopup();
  driver().advance(transitionDuration());
  EXPECT_FALSE(gridShown());
  EXPECT_TRUE(screen->isVisible());
}

TEST_F(GridTest, TapOutsideThePanelClosesInsideDoesNothing) {
  present(services(1));
  const Rect panel = panelFrame();
  // The blank panel beside the only tile, then its bottom margin.
  driver().tapAt(Point{panel.maxX() - 20, panel.minY() + 60});
  driver().tapAt(Point{panel.midX(), panel.maxY() - 5});
  driver().advance(transitionDuration());
  EXPECT_TRUE(gridShown());

  driver().tapAt(Point{panel.midX(), panel.maxY() + 30});
  driver().advance(transitionDuration());
  EXPECT_FALSE(gridShown());
  EXPECT_TRUE(recorder->picks.empty());
}

}  // namespace
}  // namespace veltrix::ui::scan
