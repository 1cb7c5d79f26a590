#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "support/ui_test_env.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/ui/animation.h"
#include "veltrix/platform/ui/layer.h"
#include "veltrix/platform/ui/render/renderer.h"
#include "veltrix/platform/ui/render/symbols.h"
#include "veltrix/platform/ui/view_controller.h"

namespace veltrix::ui {
namespace {

using testing::TempDir;
using testing::UiTest;

bool near(const Color& a, const Color& b, double tolerance = 0.02) {
  return std::fabs(a.r - b.r) <= tolerance && std::fabs(a.g - b.g) <= tolerance &&
         std::fabs(a.b - b.b) <= tolerance && std::fabs(a.a - b.a) <= tolerance;
}

// Pixels inside `r` (points) that differ from `background`.
int inkIn(const Canvas& c, const Rect& r, const Color& background) {
  int count = 0;
  const double s = c.scale();
  for (int y = static_cast<int>(r.minY() * s); y < static_cast<int>(r.maxY() * s); ++y) {
    for (int x = static_cast<int>(r.minX() * s); x < static_cast<int>(r.maxX() * s); ++x) {
      if (!near(c.pixel(x, y), background, 0.1)) ++count;
    }
  }
  return count;
}

std::shared_ptr<View> box(const Rect& frame, const Color& color) {
  auto v = std::make_shared<View>(frame);
  v->setBackgroundColor(color);
  return v;
}

class RendererTest : public UiTest {
 protected:
  RendererTest() {
    screen_ = std::make_shared<ViewController>();
    screen_->view().setBackgroundColor(Color::white());
    show(screen_);
  }
  View& root() { return screen_->view(); }
  Canvas draw(double scale = 1) {
    RenderOptions options;
    options.scale = scale;
    return renderView(window(), options);
  }

  std::shared_ptr<ViewController> screen_;
};

TEST_F(RendererTest, SampleScreenShowsFillsTextAndClipping) {
  root().addSubview(box(Rect{20, 100, 100, 50}, Color::systemRed()));
  auto label = std::make_shared<Label>(Rect{20, 200, 200, 30});
  label->setText("Select a terminal");
  root().addSubview(label);
  auto clip = box(Rect{150, 300, 100, 100}, Color::systemGray5());
  clip->clipsToBounds = true;
  clip->addSubview(box(Rect{50, 50, 200, 200}, Color::systemGreen()));
  root().addSubview(clip);

  const Canvas c = draw(2);
  EXPECT_EQ(c.pixelWidth(), 780);
  EXPECT_EQ(c.pixelHeight(), 1688);
  EXPECT_TRUE(near(c.colorAt({70, 125}), Color::systemRed(), 0.005))
      << toString(c.colorAt({70, 125}));
  EXPECT_TRUE(near(c.colorAt({10, 10}), Color::white()));
  EXPECT_GT(inkIn(c, Rect{20, 200, 200, 30}, Color::white()), 200) << "the label's glyphs";
  EXPECT_EQ(inkIn(c, Rect{20, 232, 300, 40}, Color::white()), 0) << "nothing below the label";
  EXPECT_TRUE(near(c.colorAt({225, 375}), Color::systemGreen())) << "the child inside";
  EXPECT_TRUE(near(c.colorAt({280, 380}), Color::white())) << "clipped at the parent's edge";
  EXPECT_TRUE(near(c.colorAt({200, 430}), Color::white()));
}

TEST_F(RendererTest, CornersBordersAndMaskedCorners) {
  auto round = box(Rect{20, 100, 100, 100}, Color::systemBlue());
  round->cornerRadius = 30;
  root().addSubview(round);
  auto top = box(Rect{150, 100, 100, 100}, Color::systemBlue());
  top->cornerRadius = 30;
  top->maskedCorners = corner::kTopLeft | corner::kTopRight;
  root().addSubview(top);
  auto framed = box(Rect{20, 250, 100, 100}, Color::white());
  framed->borderWidth = 4;
  framed->borderColor = Color::systemRed();
  framed->addSubview(box(Rect{0, 0, 50, 50}, Color::systemGreen()));
  root().addSubview(framed);

  const Canvas c = draw();
  EXPECT_TRUE(near(c.colorAt({22, 102}), Color::white())) << "rounded corner left out";
  EXPECT_TRUE(near(c.colorAt({70, 150}), Color::systemBlue()));
  EXPECT_TRUE(near(c.colorAt({152, 102}), Color::white()));
  EXPECT_TRUE(near(c.colorAt({152, 198}), Color::systemBlue())) << "square bottom corner";
  EXPECT_TRUE(near(c.colorAt({21, 300}), Color::systemRed())) << "border inside the frame";
  EXPECT_TRUE(near(c.colorAt({21, 251}), Color::systemRed())) << "border over the subview";
  EXPECT_TRUE(near(c.colorAt({30, 260}), Color::systemGreen()));
  EXPECT_TRUE(near(c.colorAt({18, 300}), Color::white())) << "nothing outside";
}

TEST_F(RendererTest, AlphaCompositesAViewAsAWhole) {
  auto group = std::make_shared<View>(Rect{20, 100, 200, 50});
  group->setAlpha(0.5);
  group->addSubview(box(Rect{0, 0, 120, 50}, Color::black()));
  group->addSubview(box(Rect{80, 0, 120, 50}, Color::black()));
  root().addSubview(group);
  auto hidden = box(Rect{20, 200, 50, 50}, Color::black());
  hidden->setHidden(true);
  root().addSubview(hidden);
  auto clear = box(Rect{100, 200, 50, 50}, Color::black());
  clear->setAlpha(0);
  root().addSubview(clear);

  const Canvas c = draw();
  const Color single = c.colorAt({40, 125});
  EXPECT_TRUE(near(single, Color::white(0.5), 0.01)) << toString(single);
  EXPECT_TRUE(near(c.colorAt({120, 125}), single, 0.005)) << "the overlap is no darker";
  EXPECT_EQ(inkIn(c, Rect{0, 190, 390, 70}, Color::white()), 0);
}

TEST_F(RendererTest, ViewsWhoseValuesAreNotNumbersDoNotStopTheDrawing) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  auto lost = box(Rect{0, 100, 50, 50}, Color::black());
  lost->setCenter({nan, 125});
  root().addSubview(lost);
  auto odd = box(Rect{100, 100, 50, 50}, Color::rgb(nan, 0, 0));
  odd->cornerRadius = nan;
  odd->borderWidth = inf;
  odd->setTransform(Transform::scale(inf, 1));
  root().addSubview(odd);
  auto fine = box(Rect{200, 100, 50, 50}, Color::systemBlue());
  fine->cornerRadius = inf;
  root().addSubview(fine);

  const Canvas c = draw();
  EXPECT_TRUE(near(c.colorAt({225, 125}), Color::systemBlue())) << "drawn after the others";
  EXPECT_TRUE(near(c.colorAt({202, 102}), Color::white())) << "as round as it can be";
  EXPECT_TRUE(near(c.colorAt({25, 125}), Color::white()));
}

TEST_F(RendererTest, ScaleTransformsAndScrollOffsets) {
  auto scaled = box(Rect{100, 100, 100, 100}, Color::systemBlue());
  scaled->setTransform(Transform::scale(0.5, 0.5));
  root().addSubview(scaled);
  auto scroll = std::make_shared<ScrollView>(Rect{0, 300, 390, 100});
  scroll->setContentSize({390, 400});
  scroll->addSubview(box(Rect{0, 60, 390, 20}, Color::systemRed()));
  scroll->setContentOffset({0, 50});
  root().addSubview(scroll);

  const Canvas c = draw();
  EXPECT_TRUE(near(c.colorAt({110, 110}), Color::white())) << "shrunk about its centre";
  EXPECT_TRUE(near(c.colorAt({126, 126}), Color::systemBlue()));
  EXPECT_TRUE(near(c.colorAt({174, 174}), Color::systemBlue()));
  EXPECT_TRUE(near(c.colorAt({190, 150}), Color::white()));
  EXPECT_TRUE(near(c.colorAt({200, 315}), Color::systemRed())) << "60 - 50 below the top";
  EXPECT_TRUE(near(c.colorAt({200, 365}), Color::white()));
}

TEST_F(RendererTest, ImagesFollowContentModeAndTint) {
  // A wide picture: 2 x 1 red pixels.
  const std::uint32_t red = 0xFFFF0000;
  auto wide = Image::fromBitmap(std::make_shared<Bitmap>(2, 1, red), 1);
  auto fit = std::make_shared<ImageView>(Rect{20, 100, 100, 100});
  fit->setImage(wide);
  fit->contentMode = ContentMode::AspectFit;
  root().addSubview(fit);
  auto fill = std::make_shared<ImageView>(Rect{150, 100, 100, 100});
  fill->setImage(wide);
  root().addSubview(fill);
  auto templated = std::make_shared<ImageView>(Rect{20, 250, 40, 40});
  templated->setImage(wide->withRenderingMode(RenderingMode::AlwaysTemplate));
  templated->setTintColor(Color::systemGreen());
  root().addSubview(templated);
  auto symbol = std::make_shared<ImageView>(Rect{100, 250, 40, 40});
  symbol->setImage(Image::systemNamed("circle"));
  root().addSubview(symbol);

  const Canvas c = draw();
  EXPECT_TRUE(near(c.colorAt({70, 110}), Color::white())) << "the band above a fitted image";
  EXPECT_TRUE(near(c.colorAt({70, 150}), Color::red()));
  EXPECT_TRUE(near(c.colorAt({160, 105}), Color::red())) << "stretched to fill";
  EXPECT_TRUE(near(c.colorAt({40, 270}), Color::systemGreen())) << "template in the tint";
  EXPECT_GT(inkIn(c, Rect{100, 250, 40, 40}, Color::white()), 40);
  EXPECT_TRUE(near(c.colorAt({120, 270}), Color::white())) << "a ring, not a disc";
  // The ring's most saturated pixel on a line across it.
  Color ring = Color::white();
  for (double x = 100; x < 120; x += 1) {
    const Color p = c.colorAt({x, 270});
    if (p.b - p.r > ring.b - ring.r) ring = p;
  }
  EXPECT_TRUE(near(ring, Color::systemBlue(), 0.25)) << "symbols take the default tint";
}

TEST_F(RendererTest, AnimationsAreDrawnAtTheClocksPresentationValues) {
  auto moving = box(Rect{0, 100, 50, 50}, Color::black());
  root().addSubview(moving);
  animate(1.0, 0, AnimationCurve::Linear, [&] {
    moving->setCenter({225, 125});
    moving->setAlpha(0);
  });
  advanceSeconds(0.5);
  Canvas c = draw();
  EXPECT_TRUE(near(c.colorAt({125, 125}), Color::white(0.5), 0.02))
      << "half way and half faded: " << toString(c.colorAt({125, 125}));
  EXPECT_TRUE(near(c.colorAt({25, 125}), Color::white()));

  RenderOptions at;
  at.scale = 1;
  at.time = platform::clock().now() + platform::seconds(1);
  c = renderView(window(), at);
  EXPECT_EQ(inkIn(c, Rect{0, 100, 390, 50}, Color::white()), 0) << "ended: moved and gone";
}

TEST_F(RendererTest, LayerAnimationsAndReplicasFollowTheClock) {
  auto host = std::make_shared<View>(Rect{0, 100, 200, 200});
  root().addSubview(host);
  auto dot = std::make_shared<ShapeLayer>();
  dot->setFrame(Rect{0, 0, 200, 200});
  dot->path = ShapeLayer::Path::Oval;
  dot->pathRect = Rect{0, 0, 200, 200};
  dot->fillColor = Color::black();
  dot->opacity = 0;
  auto grow = LayerAnimation::basic("transform.scale", 0, 1);
  grow.duration = 2;
  auto show = LayerAnimation::basic("opacity", 1, 1);
  show.duration = 2;
  auto group = LayerAnimation::group({grow, show});
  group.duration = 2;
  group.repeatCount = LayerAnimation::kRepeatForever;
  dot->addAnimation(group, "ripple");
  auto replicator = std::make_shared<ReplicatorLayer>();
  replicator->setFrame(Rect{0, 0, 200, 200});
  replicator->instanceCount = 2;
  replicator->instanceDelay = 1;
  replicator->addSublayer(dot);
  host->addSublayer(replicator);

  advanceSeconds(0.5);  // the first copy at a quarter, the second not started
  Canvas c = draw();
  EXPECT_TRUE(near(c.colorAt({100, 200}), Color::black()));
  EXPECT_TRUE(near(c.colorAt({100, 140}), Color::white())) << "radius 25 only";
  advanceSeconds(1.0);  // three quarters and a quarter
  c = draw();
  EXPECT_TRUE(near(c.colorAt({100, 140}), Color::black()));
  EXPECT_TRUE(near(c.colorAt({100, 110}), Color::white()));
  advanceSeconds(0.6);  // the first copy starts again (0.1), the second at 0.55
  c = draw();
  EXPECT_TRUE(near(c.colorAt({100, 150}), Color::black()));
  EXPECT_TRUE(near(c.colorAt({100, 140}), Color::white()));
}

class Dial : public View, public CustomDrawing {
 public:
  using View::View;
  void draw(Canvas& canvas, const Rect& bounds) const override {
    drawnBounds = bounds;
    canvas.fillRect(Rect{bounds.x(), bounds.y(), 10, 10}, Color::systemRed());
  }
  mutable Rect drawnBounds;
};

TEST_F(RendererTest, ViewsThatDrawThemselvesDrawInTheirOwnCoordinates) {
  auto scroller = std::make_shared<ScrollView>(Rect{0, 100, 100, 100});
  auto dial = std::make_shared<Dial>(Rect{20, 20, 60, 60});
  dial->setBounds(Rect{5, 5, 60, 60});
  dial->addSubview(box(Rect{5, 5, 5, 5}, Color::systemBlue()));  // over the drawing
  scroller->addSubview(dial);
  root().addSubview(scroller);

  const Canvas c = draw();
  EXPECT_EQ(dial->drawnBounds, (Rect{5, 5, 60, 60}));
  EXPECT_TRUE(near(c.colorAt({22, 122}), Color::systemBlue()));
  EXPECT_TRUE(near(c.colorAt({28, 128}), Color::systemRed()));
  EXPECT_TRUE(near(c.colorAt({32, 132}), Color::white()));
}

TEST_F(RendererTest, PresentationsDimWhatIsUnderThem) {
  root().setBackgroundColor(Color::white());
  auto sheet = std::make_shared<ViewController>();
  sheet->view().setBackgroundColor(Color::white());
  screen_->present(sheet, false);
  driver().settle();
  Canvas c = draw();
  EXPECT_TRUE(near(c.colorAt({195, 30}), Color::white(0.6), 0.01)) << "dimmed by black at 0.4";
  EXPECT_TRUE(near(c.colorAt({195, 400}), Color::white())) << "the sheet itself";
  EXPECT_TRUE(near(c.colorAt({1, 58}), Color::white(0.6), 0.02)) << "its top corners are round";
  sheet->dismiss(false);
  driver().settle();

  auto alert = std::make_shared<AlertController>("Remove device?", "It goes.");
  alert->addAction({"Cancel", AlertActionStyle::Cancel, {}});
  alert->addAction({"Remove", AlertActionStyle::Destructive, {}});
  screen_->present(alert, false);
  driver().settle();
  c = draw();
  EXPECT_TRUE(near(c.colorAt({10, 100}), Color::white(0.8), 0.01)) << "alerts dim by 0.2";
  Button* remove = alert->buttonForAction("Remove");
  ASSERT_NE(remove, nullptr);
  const Rect r = inWindow(*remove);
  EXPECT_GT(inkIn(c, r.inset({2, 2, 2, 2}), Color::white(0.97)), 20) << "its title";
}

TEST_F(RendererTest, ControlsShowTheirState) {
  auto on = std::make_shared<Switch>(Rect{20, 100, 51, 31});
  on->setOn(true);
  root().addSubview(on);
  auto off = std::make_shared<Switch>(Rect{100, 100, 51, 31});
  root().addSubview(off);
  auto cellHost = std::make_shared<TableViewCell>();
  cellHost->setFrame(Rect{0, 200, 390, 44});
  cellHost->accessoryType = AccessoryType::DisclosureIndicator;
  cellHost->setSelected(true);
  root().addSubview(cellHost);

  const Canvas c = draw(2);
  EXPECT_TRUE(near(c.colorAt({28, 115}), Color::systemGreen())) << "an on switch's track";
  EXPECT_FALSE(near(c.colorAt({140, 115}), Color::systemGreen(), 0.2));
  EXPECT_TRUE(near(c.colorAt({62, 115}), Color::white(), 0.05)) << "the thumb on the right";
  EXPECT_TRUE(near(c.colorAt({100, 210}), Color::systemGray4())) << "a selected row";
  EXPECT_GT(inkIn(c, Rect{390 - 38, 205, 38, 34}, Color::systemGray4()), 10) << "its chevron";
}

TEST_F(RendererTest, LayersGoBelowTheirSubviewOrOnTop) {
  auto host = std::make_shared<View>(Rect{0, 100, 200, 100});
  auto under = box(Rect{0, 0, 100, 100}, Color::systemBlue());
  host->addSubview(under);
  auto below = std::make_shared<Layer>();
  below->setFrame(Rect{0, 0, 200, 50});
  below->backgroundColor = Color::systemRed();
  host->insertSublayerBelow(below, *under);
  auto above = std::make_shared<Layer>();
  above->setFrame(Rect{0, 50, 200, 50});
  above->backgroundColor = Color::systemGreen();
  host->addSublayer(above);
  root().addSubview(host);

  const Canvas c = draw();
  EXPECT_TRUE(near(c.colorAt({50, 120}), Color::systemBlue())) << "the subview over the layer";
  EXPECT_TRUE(near(c.colorAt({150, 120}), Color::systemRed()));
  EXPECT_TRUE(near(c.colorAt({50, 180}), Color::systemGreen())) << "the layer over the subview";
}

TEST_F(RendererTest, NavigationBarsAndTheDeviceAroundTheScreen) {
  auto content = std::make_shared<ViewController>();
  content->view().setBackgroundColor(Color::systemRed());
  content->setTitle("Settings");
  show(std::make_shared<NavigationController>(content));

  Canvas c = draw(2);
  const Color bar = c.colorAt({5, 60});
  EXPECT_TRUE(near(bar, Color::white(0.97), 0.05)) << toString(bar);
  EXPECT_TRUE(near(c.colorAt({5, 20}), bar, 0.005)) << "the bar's backdrop behind the status bar";
  EXPECT_TRUE(near(c.colorAt({5, 95}), Color::systemRed()));
  EXPECT_GT(inkIn(c, Rect{150, 47, 90, 44}, bar), 50) << "the title";
  EXPECT_EQ(inkIn(c, Rect{0, 0, 390, 47}, bar), 0) << "no chrome unless asked";
  EXPECT_TRUE(near(c.colorAt({195, 833}), Color::systemRed()));

  RenderOptions chrome;
  chrome.scale = 2;
  chrome.deviceChrome = true;
  c = renderView(window(), chrome);
  EXPECT_GT(inkIn(c, Rect{0, 0, 120, 47}, bar), 50) << "the time";
  EXPECT_GT(inkIn(c, Rect{300, 0, 90, 47}, bar), 50) << "the battery";
  EXPECT_TRUE(near(c.colorAt({195, 833.5}), Color::black())) << "the home indicator";
}

class TwoRows : public TableViewController {
 public:
  TwoRows() : TableViewController(TableViewStyle::InsetGrouped) {}
  std::int64_t numberOfRows(TableView&, std::int64_t) override { return 2; }
  std::shared_ptr<TableViewCell> cellForRow(TableView&, IndexPath) override {
    return std::make_shared<TableViewCell>();
  }
};

TEST_F(RendererTest, InsetGroupedSectionsAreRoundAndEndWithoutSeparator) {
  auto list = std::make_shared<TwoRows>();
  show(list);
  const Rect first = list->tableView().rectForRow(IndexPath::forRow(0));
  const Rect second = list->tableView().rectForRow(IndexPath::forRow(1));
  const Canvas c = draw(2);
  const Color table = Color::systemGray6();
  EXPECT_TRUE(near(c.colorAt({first.x() + 0.5, first.y() + 0.5}), table)) << "round top";
  EXPECT_TRUE(near(c.colorAt({first.x() + 0.5, first.maxY() + 0.5}), Color::white()));
  EXPECT_TRUE(near(c.colorAt({second.x() + 0.5, second.maxY() - 0.5}), table)) << "round bottom";
  EXPECT_FALSE(near(c.colorAt({first.midX(), first.maxY() - 0.25}), Color::white(), 0.02))
      << "a separator between the rows";
  EXPECT_TRUE(near(c.colorAt({second.midX(), second.maxY() - 0.25}), Color::white(), 0.02))
      << "none after the last";
}

TEST_F(RendererTest, PngIsWrittenAtTheDeviceScale) {
  TempDir dir;
  auto small = box(Rect{0, 0, 40, 30}, Color::systemBlue());
  root().addSubview(small);
  ASSERT_TRUE(renderViewToPng(*small, dir.path() / "small.png"));
  EXPECT_EQ(imagePixelSize(dir.path() / "small.png"), (Size{120, 90})) << "the phone's 3x";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1) << "no temporary file left";

  platform::ScopedLogCapture log;
  EXPECT_FALSE(renderViewToPng(*small, dir.path() / "small.png" / "x.png"));
  EXPECT_TRUE(log.contains("Could not write the picture"));
}

// The rightmost column (in pixels) with ink inside `r`, or -1.
int rightmostInk(const Canvas& c, const Rect& r, const Color& background) {
  int right = -1;
  for (int y = static_cast<int>(r.minY()); y < static_cast<int>(r.maxY()); ++y) {
    for (int x = static_cast<int>(r.minX()); x < static_cast<int>(r.maxX()); ++x) {
      if (!near(c.pixel(x, y), background, 0.1)) right = std::max(right, x);
    }
  }
  return right;
}

TEST_F(RendererTest, TextSizedByThePangoMetricsIsDrawnWhole) {
  ScopedTextMetrics pango(std::make_shared<PangoMetrics>());
  const std::string texts[] = {"Connection Method", "Remember this terminal    ",
                               "请选择要交互的终端设备", "Tavio T420 终端 (*5678)"};
  double y = 60;
  std::vector<std::pair<std::shared_ptr<Label>, std::shared_ptr<Label>>> pairs;
  for (const std::string& text : texts) {
    auto tight = std::make_shared<Label>();
    tight->setText(text);
    tight->setFont(Font::system(17, FontWeight::Semibold));
    tight->setFrame(Rect{Point{10, y}, tight->intrinsicContentSize()});
    auto wide = std::make_shared<Label>(Rect{10, y + 30, 380, 30});
    wide->setText(text);
    wide->setFont(tight->font());
    root().addSubview(tight);
    root().addSubview(wide);
    pairs.emplace_back(tight, wide);
    y += 70;
  }
  auto wrapped = std::make_shared<Label>();
  wrapped->setText("Drag a device to the center to interact with it.");
  wrapped->setNumberOfLines(0);
  wrapped->setFrame(Rect{Point{10, 600}, wrapped->intrinsicContentSizeForWidth(150)});
  root().addSubview(wrapped);

  const Canvas c = draw();
  for (const auto& [tight, wide] : pairs) {
    const Rect t = tight->frame();
    const Rect w = wide->frame();
    const int tightRight = rightmostInk(c, Rect{0, t.y(), 390, t.height()}, Color::white());
    const int wideRight = rightmostInk(c, w, Color::white());
    EXPECT_GT(wideRight, 20) << tight->text();
    EXPECT_NEAR(tightRight, wideRight, 1) << tight->text() << ": truncated when sized to fit";
  }
  const Rect f = wrapped->frame();
  const double line = PangoMetrics().lineHeight(wrapped->font());
  EXPECT_GE(f.height(), 3 * line) << "wraps to three lines or more";
  EXPECT_GT(inkIn(c, Rect{f.x(), f.maxY() - line, f.width(), line}, Color::white()), 10)
      << "the last line is drawn";
  EXPECT_EQ(inkIn(c, Rect{f.maxX() + 1, f.y(), 100, f.height()}, Color::white()), 0);

  EXPECT_TRUE(fontsCanDisplay("请选择要交互的终端设备", Font::system(17)));
  EXPECT_TRUE(fontsCanDisplay("Purchase 12.50 €", Font::bold(17)));
  EXPECT_FALSE(fontsCanDisplay("\xF4\x8F\xBF\xBD", Font::system(17))) << "a private-use point";
}

TEST_F(RendererTest, LongTextIsTruncatedInsideItsFrame) {
  ScopedTextMetrics pango(std::make_shared<PangoMetrics>());
  const std::string text = "Purchase service on TMIX Z3 terminal SN 00112233445566778899";
  double y = 100;
  for (LineBreakMode mode : {LineBreakMode::TruncateTail, LineBreakMode::TruncateMiddle,
                             LineBreakMode::TruncateHead, LineBreakMode::Clip}) {
    auto label = std::make_shared<Label>(Rect{10, y, 200, 30});
    label->setText(text);
    label->lineBreakMode = mode;
    root().addSubview(label);
    y += 40;
  }
  const Canvas c = draw();
  EXPECT_GT(inkIn(c, Rect{10, 100, 200, 150}, Color::white()), 400);
  EXPECT_EQ(inkIn(c, Rect{211, 90, 179, 170}, Color::white()), 0);
}

// A label that shows outside text draws it without the controls that would
// reorder, hide or break it; its text stays as received.
TEST_F(RendererTest, OutsideTextShowsItsControlsAsReplacementCharacters) {
  const std::string honest = "TAVIO-SIM-1234";
  const std::string hostile = "TAVIO-SIM-\u202E4321";
  auto label = [&](const std::string& text) {
    auto l = std::make_shared<Label>(Rect{0, 0, 300, 30});
    l->setShowsOutsideText(true);
    l->setText(text);
    root().addSubview(l);
    return l;
  };
  const auto poser = label(hostile);
  EXPECT_EQ(poser->text(), hostile);
  EXPECT_NE(drawnText(*poser).text(), drawnText(*label(honest)).text()) << "two identical cards";
  EXPECT_EQ(drawnText(*poser).text(), "TAVIO-SIM-\uFFFD4321");

  const std::pair<std::string, std::string> cases[] = {
      {"T420\nTMIX", "T420\uFFFDTMIX"},
      {"A\u200BB\u2066C\u2069\u200F\u061C", "A\uFFFDB\uFFFDC\uFFFD\uFFFD\uFFFD"},
      {"\x01\t\x7F\xC2\x85\r", "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"bad \xFF end", "bad \uFFFD end"},
      {"Tavio 终端", "Tavio 终端"},
  };
  for (const auto& [raw, shown] : cases) {
    const auto l = label(raw);
    EXPECT_EQ(l->text(), raw);
    EXPECT_EQ(l->displayText(), shown) << raw;
    EXPECT_EQ(drawnText(*l).lines, std::vector<std::string>{shown}) << raw;
  }
}

TEST(SymbolsTest, EverySymbolIsKnownAndDrawsInsideItsBox) {
  for (const std::string& name : symbolNames()) {
    EXPECT_NE(Image::systemNamed(name), nullptr) << name;
    Canvas c(Size{40, 40}, 2);
    ASSERT_TRUE(drawSymbol(c, name, Rect{10, 10, 20, 20}, Color::black())) << name;
    EXPECT_GT(inkIn(c, Rect{10, 10, 20, 20}, Color::clear()), 40) << name;
    EXPECT_EQ(inkIn(c, Rect{0, 0, 40, 9}, Color::clear()), 0) << name;
    EXPECT_EQ(inkIn(c, Rect{0, 31, 40, 9}, Color::clear()), 0) << name;
  }
  Canvas c(Size{20, 20}, 1);
  EXPECT_FALSE(drawSymbol(c, "no.such.symbol", Rect{0, 0, 20, 20}, Color::black()));
}

}  // namespace
}  // namespace veltrix::ui
