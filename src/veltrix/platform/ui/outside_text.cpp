#include "veltrix/platform/ui/outside_text.h"

#include <array>
#include <cstdint>
#include <optional>
#include <utility>

namespace veltrix::ui {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Ranges (first, last) shown as the replacement character: they draw no
// glyph of their own, and each either reorders, hides or breaks the text
// around it. (The control pictures, U+2400 on, would name C0 controls, but
// our fonts have no glyphs for them.)
constexpr std::array<std::pair<char32_t, char32_t>, 11> kHidden{{
    {0x0000, 0x001F},  // C0 controls: line feed, carriage return, tab...
    {0x007F, 0x009F},  // DEL and the C1 controls (next line among them)
    {0x00AD, 0x00AD},  // soft hyphen
    {0x061C, 0x061C},  // Arabic letter mark
    {0x200B, 0x200F},  // zero-width space, non-joiner, joiner; LRM, RLM
    {0x2028, 0x2029},  // line and paragraph separators
    {0x202A, 0x202E},  // embeddings and overrides
    {0x2060, 0x2064},  // word joiner, invisible operators
    {0x2066, 0x2069},  // isolates
    {0xFEFF, 0xFEFF},  // zero-width no-break space
    {0xFFF9, 0xFFFB},  // interlinear annotation
}};

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// The code point at the front of `text` and its length in bytes; nothing
// for a sequence that is not well-formed UTF-8 (overlong forms, surrogates
// and points past U+10FFFF included).
std::optional<std::pair<char32_t, std::size_t>> decode(std::string_view text) {
  const auto b0 = static_cast<unsigned char>(text[0]);
  if (b0 < 0x80) return std::pair{static_cast<char32_t>(b0), std::size_t{1}};
  // Lead byte: sequence length, its payload bits, the smallest point the
  // length may carry.
  std::size_t length = 4;
  char32_t c = b0 & 0x07;
  char32_t minimum = 0x10000;
  if ((b0 & 0xE0) == 0xC0) {
    length = 2;
    c = b0 & 0x1F;
    minimum = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    length = 3;
    c = b0 & 0x0F;
    minimum = 0x800;
  } else if ((b0 & 0xF8) != 0xF0) {
    return std::nullopt;
  }
  if (text.size() < length) return std::nullopt;
  for (std::size_t i = 1; i < length; ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if ((b & 0xC0) != 0x80) return std::nullopt;
    c = (c << 6) | (b & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
  return std::pair{c, length};
}

bool hidden(char32_t c) {
  for (const auto& [first, last] : kHidden) {
    if (c >= first && c <= last) return true;
  }
  return false;
}

}  // namespace

std::string displayableOutsideText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const auto decoded = decode(text);
    if (!decoded) {
      // One byte at a time, so the text after a bad byte still shows.
      appendUtf8(out, kReplacement);
      text.remove_prefix(1);
      continue;
    }
    const auto [c, length] = *decoded;
    if (hidden(c)) {
      appendUtf8(out, kReplacement);
    } else {
      out.append(text.substr(0, length));
    }
    text.remove_prefix(length);
  }
  return out;
}

}  // namespace veltrix::ui
