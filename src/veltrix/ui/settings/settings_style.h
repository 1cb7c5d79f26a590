// What the settings screens share of their look, and small helpers that keep
// the platform's noise out of their set-up code.
//
// Thread: the main loop.
#pragma once

#include <memory>
#include <string>

#include "veltrix/platform/ui/controls.h"
#include "veltrix/platform/ui/style.h"

namespace veltrix::ui::settings {

// The screens' backdrop: red 243, green 246, blue 249.
inline Color backdropColor() { return Color::rgb255(243, 246, 249); }

// A label for Auto Layout (no autoresizing mask).
inline std::shared_ptr<Label> makeLabel(std::string text, Font font, Color color = Color::label()) {
  auto label = std::make_shared<Label>();
  label->setTranslatesAutoresizingMaskIntoConstraints(false);
  label->setText(std::move(text));
  label->setFont(font);
  label->textColor = color;
  return label;
}

// A plain view for Auto Layout.
template <typename T = View>
std::shared_ptr<T> makeLaidOut() {
  auto view = std::make_shared<T>();
  view->setTranslatesAutoresizingMaskIntoConstraints(false);
  return view;
}

// A white card with rounded, clipping corners.
inline std::shared_ptr<View> makeCard(double cornerRadius) {
  auto card = makeLaidOut();
  card->setBackgroundColor(Color::white());
  card->cornerRadius = cornerRadius;
  card->clipsToBounds = true;
  return card;
}

}  // namespace veltrix::ui::settings
