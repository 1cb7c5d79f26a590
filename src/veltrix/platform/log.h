// The platform log: one line per step of the library, for developers.
//
// Silent by default; VELTRIX_LOG=stderr in the environment prints to
// standard error, and a host can install its own sink. Lines are UTF-8 and
// kept verbatim (many of them are Chinese). Thread-safe.
#pragma once

#include <fmt/format.h>

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace veltrix::platform {

using LogSink = std::function<void(std::string_view line)>;

// Installs `sink` for every later line; an empty sink restores the default.
void setLogSink(LogSink sink);

// Writes one line to the current sink, card data masked (card_redaction.h).
// Never throws.
void logLine(std::string_view line);

// Formats with fmt and writes the line. A bad format writes the format itself.
template <typename... Args>
void logf(fmt::format_string<Args...> format, Args&&... args) {
  std::string line;
  try {
    line = fmt::format(format, std::forward<Args>(args)...);
  } catch (...) {
    const fmt::string_view text = format;
    line.assign(text.data(), text.size());
  }
  logLine(line);
}

// Collects every line logged while it lives (tests). Restores the previous
// sink on destruction. Not nestable across threads.
class ScopedLogCapture {
 public:
  ScopedLogCapture();
  ~ScopedLogCapture();
  ScopedLogCapture(const ScopedLogCapture&) = delete;
  ScopedLogCapture& operator=(const ScopedLogCapture&) = delete;

  std::vector<std::string> lines() const;
  // True when some line contains `text`.
  bool contains(std::string_view text) const;
  std::size_t count(std::string_view text) const;
  void clear();

 private:
  struct State {
    mutable std::mutex mutex;
    std::vector<std::string> lines;
  };
  std::shared_ptr<State> state_;
  LogSink previous_;
};

}  // namespace veltrix::platform
