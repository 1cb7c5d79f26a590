// Shared helpers of the fuzz targets: silent logging, a deterministic cut
// of the input into pieces, and the checks that stop the run on a broken
// invariant.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "veltrix/platform/log.h"

namespace veltrix::fuzz {

// Log lines are built (and masked) but go nowhere.
inline void silenceLog() {
  static const bool quiet = [] {
    platform::setLogSink([](std::string_view) {});
    return true;
  }();
  (void)quiet;
}

// Stops the run with a message when an invariant does not hold; the input
// is then saved as a finding.
#define VELTRIX_FUZZ_CHECK(condition)                                                        \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                          \
    }                                                                                        \
  } while (0)

inline std::string_view asText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The text cut into pieces of 1..maxPiece bytes. The cut depends only on the
// text, so a saved input replays the same way.
inline std::vector<std::string_view> cutIntoPieces(std::string_view text,
                                                   std::size_t maxPiece = 17) {
  std::uint32_t state = 2166136261u ^ static_cast<std::uint32_t>(text.size());
  for (std::size_t i = 0; i < text.size() && i < 8; ++i) {
    state = (state ^ static_cast<std::uint8_t>(text[i])) * 16777619u;
  }
  std::vector<std::string_view> pieces;
  std::size_t at = 0;
  while (at < text.size()) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    const std::size_t n = 1 + state % maxPiece;
    pieces.push_back(text.substr(at, n));
    at += pieces.back().size();
  }
  return pieces;
}

// Strict UTF-8: no overlong forms, surrogates or code points above U+10FFFF.
inline bool isUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<std::uint8_t>(text[i]);
    std::size_t extra = 0;
    std::uint32_t cp = 0;
    std::uint32_t min = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1, cp = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, cp = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3, cp = lead & 0x07, min = 0x10000;
    } else {
      return false;
    }
    if (i + extra >= text.size()) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto c = static_cast<std::uint8_t>(text[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

}  // namespace veltrix::fuzz
