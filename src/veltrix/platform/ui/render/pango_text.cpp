#include "veltrix/platform/ui/render/pango_text.h"

namespace veltrix::ui::detail {

PangoFontDescription* newFontDescription(const Font& font) {
  PangoFontDescription* desc = pango_font_description_from_string("DejaVu Sans");
  PangoWeight weight = PANGO_WEIGHT_NORMAL;
  switch (font.weight) {
    case FontWeight::Light:
      weight = PANGO_WEIGHT_LIGHT;
      break;
    case FontWeight::Regular:
      weight = PANGO_WEIGHT_NORMAL;
      break;
    case FontWeight::Medium:
      weight = PANGO_WEIGHT_MEDIUM;
      break;
    case FontWeight::Semibold:
      weight = PANGO_WEIGHT_SEMIBOLD;
      break;
    case FontWeight::Bold:
      weight = PANGO_WEIGHT_BOLD;
      break;
  }
  pango_font_description_set_weight(desc, weight);
  pango_font_description_set_absolute_size(desc, font.size * PANGO_SCALE);
  return desc;
}

PangoLayout* newLayout(PangoContext* context, std::string_view text, const Font& font) {
  PangoLayout* layout = pango_layout_new(context);
  PangoFontDescription* desc = newFontDescription(font);
  pango_layout_set_font_description(layout, desc);
  pango_font_description_free(desc);
  PangoAttrList* attrs = pango_attr_list_new();
  pango_attr_list_insert(attrs, pango_attr_insert_hyphens_new(FALSE));
  pango_layout_set_attributes(layout, attrs);
  pango_attr_list_unref(attrs);
  pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
  return layout;
}

void configureTextContext(PangoContext* context) {
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  pango_cairo_context_set_font_options(context, options);
  cairo_font_options_destroy(options);
  pango_context_set_round_glyph_positions(context, FALSE);
  // One Pango unit per point: sizes are absolute, in points.
  pango_cairo_context_set_resolution(context, 72);
}

}  // namespace veltrix::ui::detail
