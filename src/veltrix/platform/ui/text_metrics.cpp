#include "veltrix/platform/ui/text_metrics.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/process_exit.h"
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

namespace {

// What a measurement depends on besides the font map.
struct MeasureKey {
  std::string text;
  Font font;
  double maxWidth = 0;
  int maxLines = 0;

  friend bool operator==(const MeasureKey&, const MeasureKey&) = default;
};

std::size_t fontHash(const Font& font) {
  return std::hash<double>{}(font.size) * 31 + static_cast<std::size_t>(font.weight);
}

struct MeasureKeyHash {
  std::size_t operator()(const MeasureKey& k) const {
    std::size_t h = std::hash<std::string>{}(k.text);
    h = h * 31 + fontHash(k.font);
    h = h * 31 + std::hash<double>{}(k.maxWidth);
    return h * 31 + static_cast<std::size_t>(k.maxLines);
  }
};

struct FontHash {
  std::size_t operator()(const Font& f) const { return fontHash(f); }
};

// A screen measures the same few texts again at every layout pass; past
// this many the remembered ones are dropped (texts come from the network).
constexpr std::size_t kMaxRemembered = 4096;
// How long callers leave the font map alone before the preparation loads
// its next font.
constexpr std::chrono::milliseconds kCallerQuiet{5};
// Loads a size's Latin face and its CJK fallback.
constexpr char kPrepareSample[] = "Ag\u6536";

// Measures `text` in `font` in `context`, discarding the result: the faces
// it needs are then loaded.
void loadFaces(PangoContext* context, std::string_view text, const Font& font) {
  PangoLayout* l = detail::newLayout(context, text, font);
  PangoRectangle logical{};
  pango_layout_get_extents(l, nullptr, &logical);
  g_object_unref(l);
}

// What the first font costs in any map, once a process (fontconfig's
// configuration and caches, the font files), paid in a map of its own so
// that no caller waits for it.
void loadProcessFonts(const Font& font) {
  static std::once_flag once;
  std::call_once(once, [&] {
    PangoFontMap* map = pango_cairo_font_map_new();
    PangoContext* context = pango_font_map_create_context(map);
    detail::configureTextContext(context);
    loadFaces(context, kPrepareSample, font);
    g_object_unref(context);
    g_object_unref(map);
  });
}

}  // namespace

struct PangoMetrics::Impl {
  // Pango's objects are not thread-safe: callers (the main loop) and the
  // global queue's preparation take turns under this mutex. The
  // preparation loads a font only once callers have left the map alone for
  // kCallerQuiet and none waits (a mutex is not fair), so a burst of calls
  // waits for one font's load at most.
  std::mutex mutex;
  std::condition_variable turnTaken;
  std::atomic<int> callersWaiting{0};
  std::chrono::steady_clock::time_point lastCall;  // under `mutex`

  // A caller's use of the font map, ahead of the preparation.
  class CallerTurn {
   public:
    explicit CallerTurn(Impl& impl) : impl_(impl) {
      impl_.callersWaiting.fetch_add(1);
      impl_.mutex.lock();
      impl_.callersWaiting.fetch_sub(1);
    }
    ~CallerTurn() {
      impl_.lastCall = std::chrono::steady_clock::now();
      impl_.mutex.unlock();
      impl_.turnTaken.notify_all();
    }
    CallerTurn(const CallerTurn&) = delete;
    CallerTurn& operator=(const CallerTurn&) = delete;

   private:
    Impl& impl_;
  };

  // The preparation's turn: returns holding `lock` once callers are quiet.
  void awaitPreparationTurn(std::unique_lock<std::mutex>& lock) {
    for (;;) {
      if (callersWaiting.load() > 0) {
        turnTaken.wait(lock);
        continue;
      }
      // Real time, not the library's clock: this only spaces the work.
      const auto quietFrom = lastCall + kCallerQuiet;
      if (std::chrono::steady_clock::now() >= quietFrom) return;
      turnTaken.wait_until(lock, quietFrom);
    }
  }

  PangoFontMap* map = nullptr;
  PangoContext* context = nullptr;
  std::unordered_map<MeasureKey, Size, MeasureKeyHash> measured;
  std::unordered_map<Font, double, FontHash> lineHeights;
  // Fonts prepared or handed to the global queue for it.
  std::unordered_set<Font, FontHash> prepared;

  ~Impl() {
    if (context) g_object_unref(context);
    if (map) g_object_unref(map);
  }

  PangoLayout* layout(std::string_view text, const Font& font) const {
    return detail::newLayout(context, text, font);
  }

  Size measure(std::string_view text, const Font& font, double maxWidth, int maxLines) {
    MeasureKey key{std::string(text), font, maxWidth, maxLines};
    if (auto it = measured.find(key); it != measured.end()) return it->second;
    PangoLayout* l = layout(text, font);
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
    const Size size{std::ceil(width), std::ceil(height)};
    if (measured.size() >= kMaxRemembered) measured.clear();
    measured.emplace(std::move(key), size);
    return size;
  }

  double lineHeight(const Font& font) {
    if (auto it = lineHeights.find(font); it != lineHeights.end()) return it->second;
    PangoLayout* l = layout("Ag", font);
    PangoRectangle logical{};
    pango_layout_get_extents(l, nullptr, &logical);
    g_object_unref(l);
    const double height = std::ceil(static_cast<double>(logical.height) / PANGO_SCALE);
    if (lineHeights.size() >= kMaxRemembered) lineHeights.clear();
    lineHeights.emplace(font, height);
    return height;
  }

  void load(const Font& font) {
    lineHeight(font);
    loadFaces(context, kPrepareSample, font);
  }
};

PangoMetrics::PangoMetrics() : impl_(std::make_shared<Impl>()) {
  // A map of its own, not the thread's default: prepare() uses it off the
  // thread that made it.
  impl_->map = pango_cairo_font_map_new();
  impl_->context = pango_font_map_create_context(impl_->map);
  // Points, with the renderer's glyph metrics: layout works in points, the
  // renderer scales.
  detail::configureTextContext(impl_->context);
}

PangoMetrics::~PangoMetrics() = default;

Size PangoMetrics::measure(std::string_view text, const Font& font, double maxWidth,
                           int maxLines) const {
  if (text.empty()) return {0, 0};
  Impl::CallerTurn turn(*impl_);
  return impl_->measure(text, font, maxWidth, maxLines);
}

double PangoMetrics::lineHeight(const Font& font) const {
  Impl::CallerTurn turn(*impl_);
  return impl_->lineHeight(font);
}

void PangoMetrics::prepare(std::vector<Font> fonts) const {
  {
    Impl::CallerTurn turn(*impl_);
    std::erase_if(fonts, [&](const Font& f) {
      return impl_->lineHeights.contains(f) || !impl_->prepared.insert(f).second;
    });
  }
  if (fonts.empty()) return;
  // One font at a time, so that the main loop waits at most for one.
  platform::GlobalQueue::shared().post([weak = std::weak_ptr<Impl>(impl_), fonts] {
    loadProcessFonts(fonts.front());
    for (const Font& font : fonts) {
      if (platform::processExiting()) return;
      const std::shared_ptr<Impl> impl = weak.lock();
      if (!impl) return;
      std::unique_lock<std::mutex> lock(impl->mutex);
      impl->awaitPreparationTurn(lock);
      impl->load(font);
    }
  });
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
