// The Bluetooth screens' feedback: an alert with no title and no buttons,
// presented by the screen and gone after a fixed time. A new message takes
// the place of the alert still showing (dismissed at once), where the
// platform would refuse a second presentation and lose the message.
//
// Thread: the main loop.
// Ownership: a member of its screen; it refers to the screen (the
// presenter) and to the alert weakly, and its blocks hold its state weakly,
// so no message is shown for a screen that has gone. The dismissal of an
// alert showing belongs to the alert: it runs after the screen has gone.
#pragma once

#include <memory>
#include <string>

#include "veltrix/platform/ui/view_controller.h"

namespace veltrix::ui {

class SelfDismissingAlert {
 public:
  explicit SelfDismissingAlert(double seconds);
  ~SelfDismissingAlert();
  SelfDismissingAlert(const SelfDismissingAlert&) = delete;
  SelfDismissingAlert& operator=(const SelfDismissingAlert&) = delete;

  // Shows `message` over `presenter`, replacing the alert showing.
  void show(ViewController& presenter, const std::string& message);

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace veltrix::ui
