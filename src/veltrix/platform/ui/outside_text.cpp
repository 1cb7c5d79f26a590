#include "veltrix/platform/ui/outside_text.h"

#include <array>
#include <utility>

#include "veltrix/platform/utf8.h"

namespace veltrix::ui {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

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

// The code point of the well-formed sequence of `length` bytes at the front
// of `text`.
char32_t decode(std::string_view text, std::size_t length) {
  constexpr unsigned char kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  char32_t c = static_cast<unsigned char>(text[0]) & kLeadBits[length];
  for (std::size_t i = 1; i < length; ++i) c = (c << 6) | (text[i] & 0x3F);
  return c;
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
    const std::size_t length = platform::utf8SequenceLength(text, 0);
    if (length == 0) {
      // One byte at a time, so the text after a bad byte still shows.
      out.append(kReplacement);
      text.remove_prefix(1);
      continue;
    }
    out.append(hidden(decode(text, length)) ? kReplacement : text.substr(0, length));
    text.remove_prefix(length);
  }
  return out;
}

}  // namespace veltrix::ui
