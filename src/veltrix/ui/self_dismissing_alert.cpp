#include "veltrix/ui/self_dismissing_alert.h"

#include <optional>
#include <utility>

#include "veltrix/platform/clock.h"
#include "veltrix/platform/dispatch.h"

namespace veltrix::ui {

struct SelfDismissingAlert::State : std::enable_shared_from_this<State> {
  double seconds = 0;
  std::weak_ptr<ViewController> presenter;
  // The alert shown (or being shown), the message waiting to replace it,
  // and whether its dismissal for that is under way.
  std::weak_ptr<AlertController> alert;
  std::optional<std::string> pending;
  bool replacing = false;
  platform::DelayedCall dismissal;

  void presentPending() {
    const auto shownBy = presenter.lock();
    if (!pending || !shownBy) return;
    auto next = std::make_shared<AlertController>(std::nullopt, *pending);
    pending.reset();
    alert = next;
    shownBy->present(next, true);
    std::weak_ptr<AlertController> weakAlert = next;
    dismissal =
        platform::after(platform::MainLoop::shared(), platform::seconds(seconds), [weakAlert] {
          if (auto shown = weakAlert.lock(); shown && shown->presentingViewController()) {
            shown->dismiss(true);
          }
        });
  }
};

SelfDismissingAlert::SelfDismissingAlert(double seconds) : state_(std::make_shared<State>()) {
  state_->seconds = seconds;
}

// The alert's own dismissal is left to run: the alert sits on the
// presenter's container, which may outlive the screen (released during its
// Back transition, say), and would otherwise stay for good.
SelfDismissingAlert::~SelfDismissingAlert() = default;

void SelfDismissingAlert::show(ViewController& presenter, const std::string& message) {
  state_->dismissal.cancel();
  state_->presenter = presenter.weak_from_this();
  state_->pending = message;
  // The dismissal under way shows the latest message when it ends.
  if (state_->replacing) return;
  // The platform refuses a presentation while another shows: the earlier
  // alert goes first, at once.
  if (auto previous = state_->alert.lock(); previous && previous->presentingViewController()) {
    state_->replacing = true;
    std::weak_ptr<State> weak = state_;
    previous->dismiss(false, [weak] {
      if (auto state = weak.lock()) {
        state->replacing = false;
        state->presentPending();
      }
    });
    return;
  }
  state_->presentPending();
}

}  // namespace veltrix::ui
