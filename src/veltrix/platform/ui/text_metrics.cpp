#include "veltrix/platform/ui/text_metrics.h"

#include <cmath>
#include <mutex>
#include <string>
#include <vector>

#include "veltrix/platform/ui/render/pango_text.h"

namespace veltrix::ui {
namespace {

std::size_t codePoints(std::string_view text) {
  std::size_t n = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80) ++n;
  }
  return n;
}

std::vector<std::string_view> split(std::string_view text, char sep) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = text.find(sep, start);
    if (end == std::string_view::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

struct MetricsState {
  std::mutex mutex;
  std::shared_ptr<TextMetrics> current;
};

MetricsState& metricsState() {
  static auto& s = *new MetricsState;
  return s;
}

}  // namespace

Size FixedMetrics::measure(std::string_view text, const Font& font, double maxWidth,
                           int maxLines) const {
  if (text.empty()) return {0, 0};
  const double advance = 0.55 * font.size;
  // Lines are kept as character counts: every character has the same advance.
  std::vector<std::size_t> lines;
  const bool wraps = maxWidth > 0;
  const std::size_t perLine =
      wraps ? std::max<std::size_t>(1, static_cast<std::size_t>((maxWidth + 1e-6) / advance)) : 0;
  for (std::string_view paragraph : split(text, '\n')) {
    if (!wraps) {
      lines.push_back(codePoints(paragraph));
      continue;
    }
    std::size_t current = 0;
    bool empty = true;
    auto place = [&](std::size_t word) {
      // A word longer than a line is broken between characters.
      while (word > perLine) {
        lines.push_back(perLine);
        word -= perLine;
      }
      current = word;
      empty = false;
    };
    for (std::string_view w : split(paragraph, ' ')) {
      const std::size_t word = codePoints(w);
      if (empty) {
        place(word);
      } else if (static_cast<double>(current + 1 + word) * advance <= maxWidth + 1e-6) {
        current += 1 + word;
      } else if (word == 0) {
        // A space at the end of a full line hangs; it starts no new line.
      } else {
        lines.push_back(current);
        place(word);
      }
    }
    lines.push_back(current);
  }
  if (maxLines > 0 && lines.size() > static_cast<std::size_t>(maxLines)) lines.resize(maxLines);
  std::size_t widest = 0;
  for (std::size_t n : lines) widest = std::max(widest, n);
  double width = static_cast<double>(widest) * advance;
  if (wraps) width = std::min(width, maxWidth);
  return {width, static_cast<double>(lines.size()) * lineHeight(font)};
}

double FixedMetrics::lineHeight(const Font& font) const { return std::ceil(1.2 * font.size); }

// --- Pango -------------------------------------------------------------------

struct PangoMetrics::Impl {
  PangoContext* context = nullptr;

  PangoLayout* layout(std::string_view text, const Font& font) const {
    return detail::newLayout(context, text, font);
  }
};

PangoMetrics::PangoMetrics() : impl_(std::make_unique<Impl>()) {
  PangoFontMap* map = pango_cairo_font_map_get_default();
  impl_->context = pango_font_map_create_context(map);
  // Points, with the renderer's glyph metrics: layout works in points, the
  // renderer scales.
  detail::configureTextContext(impl_->context);
}

PangoMetrics::~PangoMetrics() {
  if (impl_->context) g_object_unref(impl_->context);
}

Size PangoMetrics::measure(std::string_view text, const Font& font, double maxWidth,
                           int maxLines) const {
  if (text.empty()) return {0, 0};
  PangoLayout* l = impl_->layout(text, font);
  if (maxWidth > 0) {
    pango_layout_set_width(l, static_cast<int>(maxWidth * PANGO_SCALE));
    pango_layout_set_wrap(l, PANGO_WRAP_WORD_CHAR);
  }
  PangoRectangle logical{};
  pango_layout_get_extents(l, nullptr, &logical);
  const int count = pango_layout_get_line_count(l);
  double width = static_cast<double>(logical.width) / PANGO_SCALE;
  double height = static_cast<double>(logical.height) / PANGO_SCALE;
  if (maxLines > 0 && count > maxLines) height = height * maxLines / count;
  g_object_unref(l);
  if (maxWidth > 0) width = std::min(width, maxWidth);
  return {std::ceil(width), std::ceil(height)};
}

double PangoMetrics::lineHeight(const Font& font) const {
  PangoLayout* l = impl_->layout("Ag", font);
  PangoRectangle logical{};
  pango_layout_get_extents(l, nullptr, &logical);
  g_object_unref(l);
  return std::ceil(static_cast<double>(logical.height) / PANGO_SCALE);
}

// --- Process metrics ---------------------------------------------------------

const TextMetrics& textMetrics() {
  MetricsState& s = metricsState();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!s.current) s.current = std::make_shared<PangoMetrics>();
  return *s.current;
}

void setTextMetrics(std::shared_ptr<TextMetrics> metrics) {
  MetricsState& s = metricsState();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.current = std::move(metrics);
}

ScopedTextMetrics::ScopedTextMetrics(std::shared_ptr<TextMetrics> metrics) {
  MetricsState& s = metricsState();
  std::lock_guard<std::mutex> lock(s.mutex);
  previous_ = std::move(s.current);
  s.current = std::move(metrics);
}

ScopedTextMetrics::~ScopedTextMetrics() {
  MetricsState& s = metricsState();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.current = std::move(previous_);
}

}  // namespace veltrix::ui
