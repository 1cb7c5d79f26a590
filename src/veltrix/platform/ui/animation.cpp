#include "veltrix/platform/ui/animation.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/ui/runtime.h"
#include "veltrix/platform/ui/view.h"

namespace veltrix::ui {
namespace {

platform::TimePoint& framesSkippedUntil() {
  static platform::TimePoint end{};
  return end;
}

std::vector<detail::AnimationContext>& contexts() {
  static auto& stack = *new std::vector<detail::AnimationContext>;
  return stack;
}

void run(const detail::AnimationContext& ctx, const AnimationBlock& changes,
         CompletionBlock completion) {
  VELTRIX_UI_CHECK_MAIN();
  contexts().push_back(ctx);
  if (changes) changes();
  contexts().pop_back();
  if (completion) {
    later(std::max(0.0, ctx.delay) + std::max(0.0, ctx.duration),
          [completion = std::move(completion)] { completion(true); });
  }
}

const PropertyAnimation* find(const View& view, AnimatedProperty p, platform::TimePoint now) {
  for (const auto& a : view.animations()) {
    if (a.property == p && now < a.start + platform::seconds(a.duration)) return &a;
  }
  return nullptr;
}

std::array<double, 4> value(const PropertyAnimation& a, platform::TimePoint now) {
  const double t = a.progress(now);
  std::array<double, 4> out{};
  for (std::size_t i = 0; i < 4; ++i) out[i] = a.from[i] + (a.to[i] - a.from[i]) * t;
  return out;
}

}  // namespace

double PropertyAnimation::progress(platform::TimePoint now) const {
  if (now <= start) return 0;
  if (duration <= 0) return 1;
  const double t = std::min(1.0, std::chrono::duration<double>(now - start).count() / duration);
  switch (curve) {
    case AnimationCurve::Linear:
      return t;
    case AnimationCurve::EaseIn:
      return t * t;
    case AnimationCurve::EaseOut:
      return 1 - (1 - t) * (1 - t);
    case AnimationCurve::EaseInOut:
      return t * t * (3 - 2 * t);
    case AnimationCurve::Spring: {
      if (t >= 1) return 1;
      // An underdamped spring that settles by the end of the duration.
      const double zeta = std::clamp(damping, 0.05, 0.999);
      const double omega = 8.0;
      const double wd = omega * std::sqrt(1 - zeta * zeta);
      return 1 - std::exp(-zeta * omega * t) *
                     (std::cos(wd * t) + zeta / std::sqrt(1 - zeta * zeta) * std::sin(wd * t));
    }
  }
  return t;
}

void animate(double duration, const AnimationBlock& changes, CompletionBlock completion) {
  animate(duration, 0, AnimationCurve::EaseInOut, changes, std::move(completion));
}

void animate(double duration, double delay, AnimationCurve curve, const AnimationBlock& changes,
             CompletionBlock completion) {
  run({duration, delay, curve, 1}, changes, std::move(completion));
}

void animateSpring(double duration, double delay, double damping, double /*velocity*/,
                   const AnimationBlock& changes, CompletionBlock completion) {
  run({duration, delay, AnimationCurve::Spring, damping}, changes, std::move(completion));
}

void transition(View& /*view*/, double duration, TransitionStyle /*style*/,
                const AnimationBlock& changes, CompletionBlock completion) {
  // The content changes at once; only the completion waits for the fade.
  VELTRIX_UI_CHECK_MAIN();
  if (changes) changes();
  if (completion) {
    later(std::max(0.0, duration), [completion = std::move(completion)] { completion(true); });
  }
}

Point presentationCenter(const View& view, platform::TimePoint now) {
  if (auto* a = find(view, AnimatedProperty::Center, now)) {
    auto v = value(*a, now);
    return {v[0], v[1]};
  }
  return view.center();
}

Size presentationBoundsSize(const View& view, platform::TimePoint now) {
  if (auto* a = find(view, AnimatedProperty::BoundsSize, now)) {
    auto v = value(*a, now);
    return {v[0], v[1]};
  }
  return view.bounds().size;
}

double presentationAlpha(const View& view, platform::TimePoint now) {
  if (auto* a = find(view, AnimatedProperty::Alpha, now)) return value(*a, now)[0];
  return view.alpha();
}

Transform presentationTransform(const View& view, platform::TimePoint now) {
  if (auto* a = find(view, AnimatedProperty::Transform, now)) {
    auto v = value(*a, now);
    return {v[0], v[1]};
  }
  return view.transform();
}

Color presentationBackground(const View& view, platform::TimePoint now) {
  if (auto* a = find(view, AnimatedProperty::Background, now)) {
    auto v = value(*a, now);
    return {v[0], v[1], v[2], v[3]};
  }
  return view.backgroundColor();
}

// --- DisplayLink -------------------------------------------------------------

std::shared_ptr<DisplayLink> DisplayLink::create(Callback callback) {
  return std::shared_ptr<DisplayLink>(new DisplayLink(std::move(callback)));
}

void DisplayLink::start() {
  VELTRIX_UI_CHECK_MAIN();
  if (started_ || !valid_) return;
  started_ = true;
  origin_ = platform::clock().now();
  schedule(1);
}

void DisplayLink::invalidate() {
  valid_ = false;
  callback_ = nullptr;
}

void DisplayLink::schedule(std::int64_t frame) {
  const auto deadline =
      origin_ + std::chrono::duration_cast<platform::Duration>(
                    std::chrono::nanoseconds(frame * 1000000000LL / kFramesPerSecond));
  platform::clock().schedule(deadline, platform::MainLoop::sharedPtr(),
                             [self = shared_from_this(), frame] { self->fire(frame); });
}

void DisplayLink::fire(std::int64_t frame) {
  if (!valid_) return;
  const platform::TimePoint now = platform::clock().now();
  timestamp_ = now;
  if (!paused && callback_) {
    ++frames_;
    auto callback = callback_;
    callback(*this);
  }
  if (!valid_) return;
  // Late frames (a busy loop under the system clock) are skipped.
  std::int64_t next = frame + 1;
  const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(now - origin_).count();
  const std::int64_t due = elapsed * kFramesPerSecond / 1000000000LL;
  if (next <= due) next = due + 1;
  if (framesSkippedUntil() > now) {
    const auto skipped =
        std::chrono::duration_cast<std::chrono::nanoseconds>(framesSkippedUntil() - origin_)
            .count();
    next = std::max<std::int64_t>(next, skipped * kFramesPerSecond / 1000000000LL);
  }
  schedule(next);
}

namespace detail {
const AnimationContext* currentAnimation() {
  return contexts().empty() ? nullptr : &contexts().back();
}

void skipFramesUntil(platform::TimePoint end) {
  VELTRIX_UI_CHECK_MAIN();
  framesSkippedUntil() = end;
}
}  // namespace detail

}  // namespace veltrix::ui
