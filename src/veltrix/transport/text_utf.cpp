#include "veltrix/transport/text_utf.h"

#include <cstdint>

#include "veltrix/platform/utf8.h"

namespace veltrix::transport {
namespace {

using platform::utf8SequenceLength;

}  // namespace

bool isWhiteSpaceOrNewline(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

std::size_t leadingWhiteSpaceLength(std::string_view text, bool* incomplete) {
  if (incomplete != nullptr) *incomplete = false;
  if (text.empty()) return 0;
  const auto b = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
  const std::uint8_t lead = b(0);
  if (lead < 0x80) return isWhiteSpaceOrNewline(lead) ? 1 : 0;
  const std::size_t expected = lead >= 0xC2 && lead <= 0xDF   ? 2
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
  if (expected == 0) return 0;
  if (text.size() < expected) {
    bool continues = true;
    for (std::size_t k = 1; k < text.size(); ++k) continues = continues && (b(k) & 0xC0) == 0x80;
    if (incomplete != nullptr) *incomplete = continues;
    return 0;
  }
  if (utf8SequenceLength(text, 0) != expected) return 0;
  char32_t c = lead & (0xFF >> (expected + 1));
  for (std::size_t k = 1; k < expected; ++k) c = (c << 6) | (b(k) & 0x3F);
  return isWhiteSpaceOrNewline(c) ? expected : 0;
}

std::size_t utf16Length(std::string_view text) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = utf8SequenceLength(text, i);
    units += n == 4 ? 2 : 1;
    i += n == 0 ? 1 : n;
  }
  return units;
}

std::string latin1ToUtf8(platform::ByteView bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const std::uint8_t b : bytes) {
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
    } else {
      out.push_back(static_cast<char>(0xC0 | (b >> 6)));
      out.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
  return out;
}

}  // namespace veltrix::transport
