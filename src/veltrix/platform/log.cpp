#include "veltrix/platform/log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "veltrix/platform/card_redaction.h"

namespace veltrix::platform {
namespace {

std::mutex& sinkMutex() {
  static std::mutex m;
  return m;
}

bool stderrWanted() {
  static const bool wanted = [] {
    const char* v = std::getenv("VELTRIX_LOG");  // NOLINT(concurrency-mt-unsafe): read once
    return v != nullptr && std::strcmp(v, "stderr") == 0;
  }();
  return wanted;
}

void defaultSink(std::string_view line) {
  if (!stderrWanted()) return;
  std::string out = "[veltrix] ";
  out.append(line);
  out.push_back('\n');
  std::fwrite(out.data(), 1, out.size(), stderr);
}

// Never destroyed: threads that still run during exit log.
LogSink& sinkSlot() {
  static auto* sink = new LogSink;
  return *sink;
}

LogSink exchangeSink(LogSink sink) {
  std::lock_guard<std::mutex> lock(sinkMutex());
  std::swap(sinkSlot(), sink);
  return sink;
}

}  // namespace

void setLogSink(LogSink sink) { exchangeSink(std::move(sink)); }

void logLine(std::string_view raw) {
  LogSink sink;
  {
    std::lock_guard<std::mutex> lock(sinkMutex());
    sink = sinkSlot();
  }
  // The silent default needs no line at all: skip the masking.
  if (!sink && !stderrWanted()) return;
  // Message texts are logged whole; card data in them must not reach a sink.
  const std::string line = redactCardData(raw);
  try {
    if (sink) {
      sink(line);
    } else {
      defaultSink(line);
    }
  } catch (...) {
    // A host sink that throws loses its line, nothing more.
  }
}

ScopedLogCapture::ScopedLogCapture() : state_(std::make_shared<State>()) {
  previous_ = exchangeSink([state = state_](std::string_view line) {
    std::lock_guard<std::mutex> lock(state->mutex);
    state->lines.emplace_back(line);
  });
}

ScopedLogCapture::~ScopedLogCapture() { exchangeSink(std::move(previous_)); }

std::vector<std::string> ScopedLogCapture::lines() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->lines;
}

bool ScopedLogCapture::contains(std::string_view text) const { return count(text) > 0; }

std::size_t ScopedLogCapture::count(std::string_view text) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  std::size_t n = 0;
  for (const auto& line : state_->lines) {
    if (line.find(text) != std::string::npos) ++n;
  }
  return n;
}

void ScopedLogCapture::clear() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->lines.clear();
}

}  // namespace veltrix::platform
