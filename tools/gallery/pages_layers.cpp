// Gallery page of what moves: a ripple of replicated, animated layers under
// a centre image, a view that draws itself from the clock, and a view
// animation, each drawn at the moment the clock shows.
#include <chrono>
#include <cmath>
#include <memory>
#include <numbers>

#include "gallery/demo.h"
#include "gallery/gallery.h"
#include "veltrix/platform/ui/animation.h"
#include "veltrix/platform/ui/image.h"
#include "veltrix/platform/ui/layer.h"
#include "veltrix/platform/ui/render/canvas.h"

namespace veltrix::gallery {
namespace {

using ui::Color;
using ui::Rect;

constexpr double kPi = std::numbers::pi;

// Three dots circling a tilted orbit, placed from the canvas's time: the
// kind of view that draws itself.
class OrbitDial : public ui::View, public ui::CustomDrawing {
 public:
  explicit OrbitDial(const Rect& frame) : ui::View(frame), start_(platform::clock().now()) {}

  void draw(ui::Canvas& canvas, const Rect& bounds) const override {
    const double t = std::chrono::duration<double>(canvas.time() - start_).count();
    const double rx = bounds.width() / 2 - 14;
    const double ry = bounds.height() / 2 - 14;
    const ui::Point c = bounds.mid();
    canvas.addOval(Rect{c.x - rx, c.y - ry, 2 * rx, 2 * ry});
    canvas.stroke(Color::systemBlue().withAlpha(0.3), 1.5);
    canvas.addOval(Rect{c.x - 9, c.y - 9, 18, 18});
    canvas.fill(Color::systemBlue());
    for (int i = 0; i < 3; ++i) {
      const double a = t * 0.8 + i * 2 * kPi / 3;
      const double depth = (std::sin(a) + 1) / 2;  // nearer at the bottom
      const double r = 5 + 4 * depth;
      const ui::Point p{c.x + rx * std::cos(a), c.y + ry * std::sin(a)};
      canvas.addOval(Rect{p.x - r, p.y - r, 2 * r, 2 * r});
      canvas.fill(Color::systemBlue().withAlpha(0.45 + 0.55 * depth));
    }
  }

 private:
  platform::TimePoint start_;
};

// Circles growing out of the centre and fading, one a second.
std::shared_ptr<ui::ReplicatorLayer> ripple(const Rect& bounds) {
  auto circle = std::make_shared<ui::ShapeLayer>();
  circle->setFrame(bounds);
  circle->path = ui::ShapeLayer::Path::Oval;
  circle->pathRect = bounds;
  circle->fillColor = Color::systemBlue().withAlpha(0.35);
  circle->opacity = 0;  // copies that have not started yet stay out of sight
  auto scale = ui::LayerAnimation::basic("transform.scale", 0.3, 1.0);
  auto fade = ui::LayerAnimation::basic("opacity", 0.9, 0.0);
  scale.duration = fade.duration = 3;
  auto group = ui::LayerAnimation::group({scale, fade});
  group.duration = 3;
  group.repeatCount = ui::LayerAnimation::kRepeatForever;
  circle->addAnimation(group, "ripple");
  auto replicator = std::make_shared<ui::ReplicatorLayer>();
  replicator->setFrame(bounds);
  replicator->instanceCount = 3;
  replicator->instanceDelay = 1;
  replicator->addSublayer(circle);
  return replicator;
}

void layers(Stage& stage) {
  auto moving = std::make_shared<std::shared_ptr<ui::View>>();
  auto screen = std::make_shared<demo::Composition>("Motion", [moving](ui::View& root) {
    demo::Cards cards(root, demo::contentTop(true));
    {
      ui::View& card = cards.add("RIPPLE OF REPLICATED LAYERS", 232);
      const Rect area{(card.bounds().width() - 216) / 2, 8, 216, 216};
      auto holder = std::make_shared<ui::View>(area);
      auto disc = std::make_shared<ui::View>(Rect{33, 33, 150, 150});
      disc->setBackgroundColor(Color::rgb255(234, 243, 255));
      disc->cornerRadius = 75;
      holder->addSubview(disc);
      auto centre = std::make_shared<ui::ImageView>(Rect{68, 68, 80, 80});
      centre->setImage(ui::loadImageNamed("icon_t310_enabled"));
      centre->contentMode = ui::ContentMode::AspectFit;
      centre->setBackgroundColor(Color::white());
      centre->cornerRadius = 40;
      centre->clipsToBounds = true;
      holder->addSubview(centre);
      holder->insertSublayerBelow(ripple(Rect{0, 0, 216, 216}), *centre);
      card.addSubview(holder);
    }
    {
      ui::View& card = cards.add("A VIEW THAT DRAWS ITSELF", 150);
      card.addSubview(std::make_shared<OrbitDial>(Rect{16, 8, card.bounds().width() - 32, 134}));
    }
    {
      ui::View& card = cards.add("VIEW ANIMATION, HALF WAY", 96);
      auto from = std::make_shared<ui::View>(Rect{16, 20, 56, 56});
      from->borderWidth = 1;
      from->borderColor = Color::systemGray3();
      from->cornerRadius = 12;
      card.addSubview(from);
      auto to = std::make_shared<ui::View>(Rect{card.bounds().width() - 72, 20, 56, 56});
      to->borderWidth = 1;
      to->borderColor = Color::systemGray3();
      to->cornerRadius = 12;
      card.addSubview(to);
      auto box = std::make_shared<ui::View>(Rect{16, 20, 56, 56});
      box->setBackgroundColor(Color::systemBlue());
      box->cornerRadius = 12;
      card.addSubview(box);
      *moving = box;
    }
  });
  stage.show(demo::inNavigation(screen));
  if (auto box = *moving) {
    const double target = box->superview()->bounds().width() - 72 + 28;
    ui::animate(2.0, 0, ui::AnimationCurve::Linear, [&] {
      box->setCenter(ui::Point{target, box->center().y});
      box->setAlpha(0.3);
    });
  }
  stage.advance(1.0);
  stage.snapshot("motion");
  stage.advance(0.8);
  stage.snapshot("motion_later");
}

}  // namespace

VELTRIX_GALLERY_PAGE("motion", layers);

}  // namespace veltrix::gallery
