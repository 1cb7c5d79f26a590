#include "veltrix/ui/scan/circular_moving_view.h"

#include <cmath>
#include <numbers>

#include "veltrix/platform/ui/image.h"
#include "veltrix/platform/ui/text_metrics.h"

namespace veltrix::ui::scan {
namespace {

constexpr double kBubbleCornerRadius = 10;
const Rect kIconFrame{65, 0, 60, 60};
const Rect kModelFrame{0, 50, 200, 40};
const Rect kSerialFrame{0, 70, 200, 40};
// A little lower than the serial line's frame of 80 so the two grey lines
// do not overlap.
const Rect kServiceNameFrame{0, 86, 200, 40};
const Rect kMoreLabelFrame{55, 50, 80, 40};
// Wider than the icon, about the same centre, so "(*.more)" is not cut.
const Rect kMoreSerialFrame{45, 70, 100, 40};
// A line narrowed by its orbit first draws its text smaller, then cuts it
// with an ellipsis.
constexpr double kSmallestLineScale = 0.8;
constexpr double kModelFontSize = 16;
constexpr double kBubbleDetailFontSize = 13;
constexpr double kReleaseDuration = 0.5;
constexpr double kReleaseScale = 2.0;
constexpr double kReadjustDuration = 0.3;
constexpr double kSpringDuration = 0.5;
constexpr double kSpringDamping = 0.7;
constexpr double kSpringVelocity = 0.5;

std::shared_ptr<Label> addLabel(View& parent, std::string text, double size, Color color,
                                bool outside) {
  auto label = std::make_shared<Label>();
  label->setShowsOutsideText(outside);
  label->setText(std::move(text));
  label->setFont(Font::bold(size));
  label->textColor = color;
  label->textAlignment = TextAlignment::Center;
  label->adjustsFontSizeToFitWidth = true;
  label->minimumScaleFactor = kSmallestLineScale;
  parent.addSubview(label);
  return label;
}

// A line as tall as its text (which the designed 40-point frame centres),
// about the designed frame's middle, at most `width` wide.
Rect lineFrame(const Rect& designed, const Label& label, double width) {
  const double w = std::min(designed.width(), width);
  const double h = textMetrics().lineHeight(label.font());
  return {designed.midX() - w / 2, designed.midY() - h / 2, w, h};
}

// Keeps the angle within one turn; the positions are the same.
double wrapAngle(double a) { return std::remainder(a, 2 * std::numbers::pi); }

double angleOf(Point p, Point centre) { return std::atan2(p.y - centre.y, p.x - centre.x); }

}  // namespace

std::shared_ptr<CircularMovingView> CircularMovingView::create(const Rect& frame, double radius,
                                                               Point center, double initialAngle,
                                                               ServiceInfoDict info) {
  std::shared_ptr<CircularMovingView> view(
      new CircularMovingView(frame, radius, center, std::move(info)));
  view->setCenter(orbitPoint(center, radius, initialAngle));
  std::weak_ptr<CircularMovingView> weak = view;
  auto pan = std::make_shared<PanGestureRecognizer>([weak](GestureRecognizer& r) {
    if (auto self = weak.lock()) self->handlePan(r);
  });
  auto tap = std::make_shared<TapGestureRecognizer>([weak](GestureRecognizer& r) {
    if (auto self = weak.lock()) self->handleTap(r);
  });
  tap->requireToFail(pan);
  view->addGestureRecognizer(tap);
  view->addGestureRecognizer(pan);
  view->startAutoRotation();
  return view;
}

CircularMovingView::CircularMovingView(const Rect& frame, double radius, Point center,
                                       ServiceInfoDict info)
    : View(frame), circleCenter(center), circleRadius(radius), serviceInfo_(std::move(info)) {
  isMore_ = serviceInfo_.isMore != 0;
  debugName = isMore_ ? "more" : serviceInfo_.sn + "/" + serviceInfo_.serviceId;
  setupUI();
}

CircularMovingView::~CircularMovingView() { stopDisplayLink(); }

std::vector<Font> CircularMovingView::fonts() {
  // The lines' own sizes first, then the smaller ones a long text steps
  // down to.
  std::vector<Font> fonts{Font::bold(kModelFontSize), Font::bold(kBubbleDetailFontSize)};
  for (double size : {kModelFontSize, kBubbleDetailFontSize}) {
    const std::vector<Font> steps = Label::fittingFonts(Font::bold(size), kSmallestLineScale);
    fonts.insert(fonts.end(), steps.begin() + 1, steps.end());
  }
  return fonts;
}

void CircularMovingView::setupUI() {
  cornerRadius = kBubbleCornerRadius;
  clipsToBounds = false;
  imageView_ = std::make_shared<ImageView>(kIconFrame);
  imageView_->contentMode = ContentMode::AspectFit;
  const auto line = [this](const Rect& frame, std::string text, double size, Color color,
                           bool outside) {
    lines_.push_back(addLabel(*this, std::move(text), size, color, outside));
    lineFrames_.push_back(frame);
  };
  if (isMore_) {
    imageView_->setImage(loadImageNamed("icon_more_enabled"));
    addSubview(imageView_);
    line(kMoreLabelFrame, serviceInfo_.model, kModelFontSize, Color::black(), false);
    line(kMoreSerialFrame, "(*.more)", kBubbleDetailFontSize, Color::gray(), false);
  } else {
    imageView_->setImage(loadImageNamed(iconNames(serviceInfo_.model, libraryImageExists).enabled));
    addSubview(imageView_);
    // What the terminal reported about itself.
    line(kModelFrame, serviceInfo_.model, kModelFontSize, Color::black(), true);
    line(kSerialFrame, shortSerial(serviceInfo_.sn), kBubbleDetailFontSize, Color::gray(), true);
    line(kServiceNameFrame, serviceInfo_.serviceName, kBubbleDetailFontSize, Color::gray(), true);
  }
  fitTo(1, kBubbleLineWidth);
}

void CircularMovingView::fitTo(double scale, double lineWidth) {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    lines_[i]->setFrame(lineFrame(lineFrames_[i], *lines_[i], lineWidth));
  }
  if (scale == scale_) return;
  scale_ = scale;
  // Not while it vanishes: that animation sets its own transform.
  if (!vanishing_) setTransform(Transform::scale(scale, scale));
}

void CircularMovingView::startAutoRotation() {
  stopDisplayLink();
  currentAngle_ = angleOf(center(), circleCenter);
  std::weak_ptr<CircularMovingView> weak = self();
  displayLink_ = DisplayLink::create([weak](DisplayLink&) {
    if (auto self = weak.lock()) self->updatePosition();
  });
  displayLink_->start();
}

void CircularMovingView::stopDisplayLink() {
  if (!displayLink_) return;
  displayLink_->invalidate();
  displayLink_.reset();
}

void CircularMovingView::updatePosition() {
  if (isDragging_) return;
  currentAngle_ = wrapAngle(currentAngle_ - kAnglePerFrame);
  setCenter(orbitPoint(circleCenter, circleRadius, currentAngle_));
}

void CircularMovingView::handleTap(GestureRecognizer& recognizer) {
  if (recognizer.state() != GestureState::Ended || !tapHandler) return;
  auto keep = self();
  auto handler = tapHandler;
  handler(*this);
}

void CircularMovingView::handlePan(GestureRecognizer& recognizer) {
  if (isMore_) return;
  auto keep = self();
  auto& pan = static_cast<PanGestureRecognizer&>(recognizer);
  const Point t = pan.translationInView(superview());
  const Point p{originalPosition_.x + t.x, originalPosition_.y + t.y};
  switch (recognizer.state()) {
    case GestureState::Began:
      isDragging_ = true;
      stopDisplayLink();
      originalPosition_ = center();
      break;
    case GestureState::Changed: {
      setCenter(p);
      const bool inZone = isPointInCenterZone(p);
      if (inZone != isInCenterZone_) {
        isInCenterZone_ = inZone;
        if (centerZoneHandler) {
          auto handler = centerZoneHandler;
          handler(*this, false);
        }
      }
      break;
    }
    case GestureState::Ended:
    case GestureState::Cancelled:
      isDragging_ = false;
      if (isInCenterZone_ && serviceInfo_.isEnable == 1) {
        handleReleaseInCenterZone();
      } else if (auto delegate = delgate.lock()) {
        delegate->onReadjustView();
      }
      break;
    default:
      break;
  }
}

bool CircularMovingView::isPointInCenterZone(Point p) const {
  return std::hypot(p.x - circleCenter.x, p.y - circleCenter.y) <= kCenterZoneRadius;
}

void CircularMovingView::handleReleaseInCenterZone() {
  vanishing_ = true;
  std::weak_ptr<CircularMovingView> weak = self();
  animate(
      kReleaseDuration,
      [this] {
        setTransform(Transform::scale(kReleaseScale * scale_, kReleaseScale * scale_));
        setAlpha(0);
      },
      [weak](bool) {
        auto self = weak.lock();
        if (!self) return;
        if (auto handler = self->centerZoneHandler) handler(*self, true);
        self->cleanAllResources();
        self->removeFromSuperview();
      });
}

void CircularMovingView::readjustToCircle(double angle) {
  currentAngle_ = wrapAngle(angle);
  std::weak_ptr<CircularMovingView> weak = self();
  const Point target = orbitPoint(circleCenter, circleRadius, currentAngle_);
  animate(
      kReadjustDuration, [this, target] { setCenter(target); },
      [weak](bool) {
        if (auto self = weak.lock()) self->returnToCircle();
      });
}

void CircularMovingView::returnToCircle() {
  // A bubble cleaned up meanwhile stays where it is.
  if (cleaned_) return;
  const double a = angleOf(center(), circleCenter);
  currentAngle_ = a;
  const Point target = orbitPoint(circleCenter, circleRadius, a);
  std::weak_ptr<CircularMovingView> weak = self();
  animateSpring(
      kSpringDuration, 0, kSpringDamping, kSpringVelocity, [this, target] { setCenter(target); },
      [weak, target](bool) {
        auto self = weak.lock();
        if (!self || self->cleaned_ || self->isDragging_) return;
        self->currentAngle_ = angleOf(target, self->circleCenter);
        self->startAutoRotation();
      });
}

void CircularMovingView::cleanAllResources() {
  cleaned_ = true;
  stopDisplayLink();
  removeAllGestureRecognizers();
  tapHandler = nullptr;
  centerZoneHandler = nullptr;
  delgate.reset();
  serviceInfo_ = ServiceInfoDict{};
  serviceInfo_.isEnable = 0;
  imageView_.reset();
}

}  // namespace veltrix::ui::scan
