// One bubble of the scan screen's orbit: a terminal service (its model's
// icon, the model, the end of its serial number, the service name) or the
// "more" bubble. It circles a centre on its own, driven by a display link;
// a drag released within 50 points of the centre makes it grow, fade and
// report the choice; released elsewhere it asks its owner to re-lay the
// orbit.
//
// Thread: the main loop only. Ownership: the screen's view owns the bubble
// (and the screen lists it); the bubble holds its delegate weakly and its
// handlers refer to the screen weakly. Blocks the bubble gives to the
// display link, animations and recognisers hold it weakly, and whatever runs
// the owner's handlers keeps the bubble alive meanwhile.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "veltrix/platform/ui/animation.h"
#include "veltrix/platform/ui/controls.h"
#include "veltrix/platform/ui/gesture.h"
#include "veltrix/platform/ui/view.h"
#include "veltrix/ui/scan/scan_logic.h"

namespace veltrix::ui::scan {

class CircularMovingDelegate {
 public:
  virtual ~CircularMovingDelegate() = default;
  // A drag ended outside the centre zone: re-lay the orbit.
  virtual void onReadjustView() = 0;
};

class CircularMovingView : public View {
 public:
  static constexpr double kWidth = 200;
  static constexpr double kHeight = 100;
  static constexpr double kCenterZoneRadius = 50.0;
  static constexpr double kAnglePerFrame = 0.001;

  using TapHandler = std::function<void(CircularMovingView&)>;
  using CenterZoneHandler = std::function<void(CircularMovingView&, bool inZone)>;

  // Placed on the circle at `initialAngle` and already moving.
  static std::shared_ptr<CircularMovingView> create(const Rect& frame, double radius, Point center,
                                                    double initialAngle, ServiceInfoDict info);
  ~CircularMovingView() override;

  // Every font a bubble's lines may be drawn in, their own sizes first.
  static std::vector<Font> fonts();

  const ServiceInfoDict& getServiceInfo() const { return serviceInfo_; }
  bool isMore() const { return isMore_; }

  // (Re)starts the motion from the present position.
  void startAutoRotation();
  // Moves to `angle` of the circle (0.3 s), springs onto it, then moves on.
  void readjustToCircle(double angle);
  void stopDisplayLink();
  bool isMoving() const { return displayLink_ != nullptr; }
  // Draws the bubble at `scale` about its point and its lines at most
  // `lineWidth` wide (bubble points), as the orbit it is on leaves room for
  // (fitOrbit).
  void fitTo(double scale, double lineWidth);
  double drawingScale() const { return scale_; }
  // Stops the motion and drops gestures, handlers, delegate and content.
  void cleanAllResources();

  std::weak_ptr<CircularMovingDelegate> delgate;
  Point circleCenter;
  double circleRadius = 0;
  bool isEnable = true;
  TapHandler tapHandler;
  CenterZoneHandler centerZoneHandler;

  const std::shared_ptr<ImageView>& imageView() const { return imageView_; }
  double currentAngle() const { return currentAngle_; }
  bool isDragging() const { return isDragging_; }
  bool isInCenterZone() const { return isInCenterZone_; }

  std::string typeName() const override { return "CircularMovingView"; }

 private:
  CircularMovingView(const Rect& frame, double radius, Point center, ServiceInfoDict info);
  void setupUI();
  void updatePosition();
  void handleTap(GestureRecognizer& recognizer);
  void handlePan(GestureRecognizer& recognizer);
  bool isPointInCenterZone(Point p) const;
  void handleReleaseInCenterZone();
  void returnToCircle();
  std::shared_ptr<CircularMovingView> self() {
    return std::static_pointer_cast<CircularMovingView>(shared_from_this());
  }

  ServiceInfoDict serviceInfo_;
  double currentAngle_ = 0;
  Point originalPosition_;
  std::shared_ptr<DisplayLink> displayLink_;
  bool isDragging_ = false;
  bool isInCenterZone_ = false;
  bool isMore_ = false;
  bool cleaned_ = false;
  bool vanishing_ = false;
  std::shared_ptr<ImageView> imageView_;
  // The model, serial and service lines (the "more" bubble: its two).
  std::vector<std::shared_ptr<Label>> lines_;
  // Each line's frame as designed, in the order of lines_.
  std::vector<Rect> lineFrames_;
  double scale_ = 1;
};

}  // namespace veltrix::ui::scan
