// Text measurement of the UI layer, behind an interface.
//
// Layout asks the process's metrics for the size of a text; the renderer
// draws with the same metrics, so what is laid out is what is drawn. The
// default is PangoMetrics (the installed fonts); unit tests install
// FixedMetrics, whose numbers do not depend on fonts.
//
// Thread: the main loop (as every UI entry point); prepare() from any
// thread.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "veltrix/platform/ui/geometry.h"
#include "veltrix/platform/ui/style.h"

namespace veltrix::ui {

class TextMetrics {
 public:
  virtual ~TextMetrics() = default;

  // Size of `text` set in `font`, wrapped at word boundaries to `maxWidth`
  // (0 or less: no wrapping) and cut after `maxLines` lines (0: no limit).
  // "\n" always breaks a line. An empty text measures 0 x 0.
  virtual Size measure(std::string_view text, const Font& font, double maxWidth,
                       int maxLines) const = 0;
  // Height of one line of `font`.
  virtual double lineHeight(const Font& font) const = 0;
  // Loads `fonts` off the calling thread ahead of their first use, so that
  // a task of the main loop does not pay it. Returns at once.
  virtual void prepare(std::vector<Font> /*fonts*/) const {}
};

// Deterministic metrics for tests: every character (code point) advances
// 0.55 x the font size; a line is ceil(1.2 x size) high.
class FixedMetrics final : public TextMetrics {
 public:
  Size measure(std::string_view text, const Font& font, double maxWidth,
               int maxLines) const override;
  double lineHeight(const Font& font) const override;
};

// Metrics of the installed fonts through Pango (DejaVu Sans for Latin text,
// a CJK face by fallback).
//
// The first use of a face or size is costly (Pango matches it with
// fontconfig on threads it starts, then loads the face) and is paid once per
// font map, so prepare() loads fonts in this object's own map on the global
// queue. They take turns with callers under a mutex, callers first. Results
// are remembered: the same text in the same font measures the same.
class PangoMetrics final : public TextMetrics {
 public:
  PangoMetrics();
  ~PangoMetrics() override;
  PangoMetrics(const PangoMetrics&) = delete;
  PangoMetrics& operator=(const PangoMetrics&) = delete;

  Size measure(std::string_view text, const Font& font, double maxWidth,
               int maxLines) const override;
  double lineHeight(const Font& font) const override;
  void prepare(std::vector<Font> fonts) const override;

 private:
  struct Impl;
  std::shared_ptr<Impl> impl_;
};

// The process's metrics (PangoMetrics unless another was installed).
const TextMetrics& textMetrics();
// Installs `metrics`; nullptr restores the default.
void setTextMetrics(std::shared_ptr<TextMetrics> metrics);

// Installs metrics for the scope (tests).
class ScopedTextMetrics {
 public:
  explicit ScopedTextMetrics(std::shared_ptr<TextMetrics> metrics);
  ~ScopedTextMetrics();
  ScopedTextMetrics(const ScopedTextMetrics&) = delete;
  ScopedTextMetrics& operator=(const ScopedTextMetrics&) = delete;

 private:
  std::shared_ptr<TextMetrics> previous_;
};

}  // namespace veltrix::ui
