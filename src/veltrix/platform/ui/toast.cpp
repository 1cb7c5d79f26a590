#include "veltrix/platform/ui/toast.h"

#include <algorithm>
#include <cmath>

#include "veltrix/platform/ui/animation.h"
#include "veltrix/platform/ui/controls.h"
#include "veltrix/platform/ui/runtime.h"
#include "veltrix/platform/ui/text_metrics.h"

namespace veltrix::ui {

void showToastInView(View& view, std::string_view message, double duration, Point position) {
  VELTRIX_UI_CHECK_MAIN();
  // A negative or undefined duration would never show or never end.
  if (!std::isfinite(duration) || duration < 0) duration = 0;
  auto subviews = view.subviews();
  for (auto& sub : subviews) {
    if (sub->tag == kToastTag && dynamic_cast<Label*>(sub.get())) sub->removeFromSuperview();
  }
  auto label = std::make_shared<Label>();
  label->tag = kToastTag;
  label->debugName = "toast";
  label->setText(std::string(message));
  label->textColor = Color::white();
  label->setBackgroundColor(Color::black().withAlpha(0.7));
  label->textAlignment = TextAlignment::Center;
  label->cornerRadius = 10;
  label->clipsToBounds = true;
  label->setNumberOfLines(0);
  label->setAlpha(0);
  const double maxWidth = std::max(1.0, 0.8 * view.bounds().width() - 40);
  const Size text = textMetrics().measure(label->text(), label->font(), maxWidth, 0);
  const Size size{text.width + 40, text.height + 20};
  label->setFrame(
      Rect{position.x - size.width / 2, position.y - size.height / 2, size.width, size.height});
  view.addSubview(label);
  animate(
      0.3, [&] { label->setAlpha(1); },
      [label, duration](bool) {
        animate(
            0.3, duration, AnimationCurve::EaseInOut, [&] { label->setAlpha(0); },
            [label](bool) { label->removeFromSuperview(); });
      });
}

void showToastInView(View& view, std::string_view message, double duration) {
  const Rect b = view.bounds();
  showToastInView(view, message, duration, Point{b.midX(), b.maxY() - 100});
}

}  // namespace veltrix::ui
