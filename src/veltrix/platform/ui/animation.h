// View animations, transitions and the display link, on the process clock.
//
// As on the platform, the model values that an animation block sets change at
// once; each change is recorded on its view with its timing so the renderer
// can draw the in-between (presentation) values. The completion runs on the
// main loop at delay + duration of clock time (with the manual clock: when a
// test advances past it), or on the next loop turn for a duration of 0; its
// flag is always true (animations here are never cut short).
//
// Thread: the main loop only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "veltrix/platform/clock.h"
#include "veltrix/platform/ui/animation_state.h"
#include "veltrix/platform/ui/geometry.h"
#include "veltrix/platform/ui/style.h"

namespace veltrix::ui {

class View;

using AnimationBlock = std::function<void()>;
using CompletionBlock = std::function<void(bool finished)>;

void animate(double duration, const AnimationBlock& changes, CompletionBlock completion = {});
void animate(double duration, double delay, AnimationCurve curve, const AnimationBlock& changes,
             CompletionBlock completion = {});
// A spring: `damping` is the damping ratio, `velocity` the initial velocity
// (both only shape the drawn curve).
void animateSpring(double duration, double delay, double damping, double velocity,
                   const AnimationBlock& changes, CompletionBlock completion = {});

enum class TransitionStyle : std::int64_t { None, CrossDissolve };
// Changes `view`'s content with a transition (the changes take effect at
// once; the renderer may fade).
void transition(View& view, double duration, TransitionStyle style, const AnimationBlock& changes,
                CompletionBlock completion = {});

// Presentation values: what is on screen at `now` while animations run.
Point presentationCenter(const View& view, platform::TimePoint now);
Size presentationBoundsSize(const View& view, platform::TimePoint now);
double presentationAlpha(const View& view, platform::TimePoint now);
Transform presentationTransform(const View& view, platform::TimePoint now);
Color presentationBackground(const View& view, platform::TimePoint now);

// A per-frame callback on the main loop, 60 frames per second of clock time
// (frame n at start + n/60 s). A started link keeps itself alive until
// invalidated; late frames are skipped, not repeated.
class DisplayLink : public std::enable_shared_from_this<DisplayLink> {
 public:
  static constexpr int kFramesPerSecond = 60;
  using Callback = std::function<void(DisplayLink&)>;

  static std::shared_ptr<DisplayLink> create(Callback callback);
  DisplayLink(const DisplayLink&) = delete;
  DisplayLink& operator=(const DisplayLink&) = delete;

  // Adds the link to the main loop; the first frame comes 1/60 s later.
  void start();
  // Stops it for good; safe inside its own callback.
  void invalidate();
  bool isValid() const { return valid_; }
  bool paused = false;
  // Clock time of the frame being delivered.
  platform::TimePoint timestamp() const { return timestamp_; }
  std::int64_t framesDelivered() const { return frames_; }

 private:
  explicit DisplayLink(Callback callback) : callback_(std::move(callback)) {}
  void schedule(std::int64_t frame);
  void fire(std::int64_t frame);

  Callback callback_;
  bool valid_ = true;
  bool started_ = false;
  platform::TimePoint origin_{};
  platform::TimePoint timestamp_{};
  std::int64_t frames_ = 0;
};

namespace detail {
struct AnimationContext {
  double duration = 0;
  double delay = 0;
  AnimationCurve curve = AnimationCurve::EaseInOut;
  double damping = 1;
};
// The animation block being run now, if any.
const AnimationContext* currentAnimation();
// Until `end` (the epoch: never), display links skip every frame but the
// last one due by then, as on a loop busy until `end`. For stretches of a
// test whose frames no one looks at (Driver::advanceUnwatched).
void skipFramesUntil(platform::TimePoint end);
}  // namespace detail

}  // namespace veltrix::ui
