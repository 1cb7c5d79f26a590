// Running animations of a view's properties, as the renderer reads them.
#pragma once

#include <array>
#include <cstdint>

#include "veltrix/platform/clock.h"

namespace veltrix::ui {

enum class AnimatedProperty : std::int64_t { Center, BoundsSize, Alpha, Transform, Background };

enum class AnimationCurve : std::int64_t { EaseInOut, EaseIn, EaseOut, Linear, Spring };

// One property moving from `from` to `to` (up to four components) over
// [start, start + duration) of the process clock.
struct PropertyAnimation {
  AnimatedProperty property = AnimatedProperty::Alpha;
  std::array<double, 4> from{};
  std::array<double, 4> to{};
  platform::TimePoint start{};
  double duration = 0;
  AnimationCurve curve = AnimationCurve::EaseInOut;
  double damping = 1;

  // Progress 0..1 of the curve at `now`.
  double progress(platform::TimePoint now) const;
};

}  // namespace veltrix::ui
