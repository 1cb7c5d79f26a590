// The window: root of the view tree on one screen, holder of the root view
// controller and of modal presentations, and the entry of touches.
//
// Touch rules (what the screens rely on):
// - Hit testing picks the deepest view under the finger (see View::hitTest);
//   presentations lie above the presenter, so touches go to the top-most one.
// - The recognisers of the hit view and its ancestors watch the touch,
//   innermost first; a touch that moves more than 10 points begins the
//   innermost pan and fails the taps; at the end the innermost tap whose
//   required-to-fail recognisers failed recognises. Only one recogniser wins.
// - A control in the chain wins over its ancestors' tap recognisers and over
//   row selection; an enabled control then gets the tap (touch-up-inside, a
//   switch flips), a disabled one swallows it.
// - Unless the winning recogniser cancels touches in its view, the control,
//   or else the list whose cell was hit, gets the tap after the recogniser's
//   action.
// - While a navigation controller pushes or pops with animation, touches
//   are ignored (one under way is cancelled), as the platform does.
//
// Thread: the main loop only. Owned through std::shared_ptr.
#pragma once

#include <memory>
#include <vector>

#include "veltrix/platform/ui/device.h"
#include "veltrix/platform/ui/view.h"
#include "veltrix/platform/ui/view_controller.h"

namespace veltrix::ui {

class TouchDispatch;

// Holds one presented controller's view (and a dimming view for sheets).
class PresentationContainer : public View {
 public:
  explicit PresentationContainer(ModalPresentationStyle style);

  ModalPresentationStyle style() const { return style_; }
  const std::shared_ptr<View>& dimmingView() const { return dimming_; }
  // Covers the whole window with the presented content (nothing below is
  // visible once the presentation has finished).
  bool coversWindow() const { return style_ == ModalPresentationStyle::FullScreen; }

  std::weak_ptr<ViewController> host;
  std::weak_ptr<ViewController> presented;

  void layoutSubviews() override;
  std::string typeName() const override { return "PresentationContainer"; }

 private:
  ModalPresentationStyle style_;
  std::shared_ptr<View> dimming_;
};

class Window : public View {
 public:
  // A window the size of `profile`'s screen; the profile becomes the
  // current device.
  explicit Window(const DeviceProfile& profile = currentDevice());
  ~Window() override;

  static Window* keyWindow();
  void makeKeyAndVisible();
  bool isKeyWindow() const { return keyWindow() == this; }

  // Installs the root controller's view under everything else; a visible
  // window gives it its appearance callbacks.
  void setRootViewController(std::shared_ptr<ViewController> controller);
  ViewController* rootViewController() const { return root_.get(); }
  // The controller in front: the last presented one (or the root), and for
  // a navigation controller its top controller.
  ViewController* topViewController() const;

  // The status bar's look: the preferred style of the controller that
  // covers the screen, the root or the last one presented full screen.
  StatusBarStyle statusBarStyle() const;

  const DeviceProfile& device() const { return device_; }
  // Turns the device: every controller gets viewWillTransitionToSize, the
  // window takes the new size and lays out inside an animation together
  // with the coordinators' alongside blocks; their completions run when the
  // transition's duration has passed.
  void rotate(bool landscape);

  // Frame of a presented controller's view in its container.
  Rect presentedFrame(ModalPresentationStyle style, const Rect& container, Size preferred) const;

  // Touches, in window coordinates.
  void touchBegan(Point p);
  void touchMoved(Point p);
  void touchEnded(Point p);
  void touchCancelled();

  void layoutSubviews() override;
  std::string typeName() const override { return "Window"; }

 private:
  DeviceProfile device_;
  std::shared_ptr<ViewController> root_;
  bool visible_ = false;
  std::unique_ptr<TouchDispatch> touches_;
};

}  // namespace veltrix::ui
