// Internal to the UI layer: how text measurement and drawing set up Pango,
// in one place, so what layout measures is what the renderer draws.
#pragma once

#include <pango/pangocairo.h>

#include <string_view>

#include "veltrix/platform/ui/style.h"

namespace veltrix::ui::detail {

// The system font at `font`'s size (in points) and weight: DejaVu Sans, with
// a CJK face found by fallback. The caller frees it.
PangoFontDescription* newFontDescription(const Font& font);

// A layout of `text` in `font`. Lines broken inside a word get no hyphen,
// as on the platform.
PangoLayout* newLayout(PangoContext* context, std::string_view text, const Font& font);

// Unhinted, unrounded glyph metrics: text then advances the same at every
// scale, so a text measured in points fits the same points when drawn at 2x
// or 3x.
void configureTextContext(PangoContext* context);

}  // namespace veltrix::ui::detail
