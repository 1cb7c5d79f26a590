#include "veltrix/platform/base64.h"

#include <algorithm>
#include <cstdint>

#include "veltrix/platform/bytes.h"
#include "veltrix/platform/utf8.h"

namespace veltrix::platform {
namespace {

constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

std::optional<std::string> base64ToString(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::string out;
  std::uint32_t accumulator = 0;
  int bits = 0;
  std::size_t symbols = 0;
  for (const char c : text) {
    if (c == '=') break;  // padding ends the data
    const int v = base64Value(c);
    if (v < 0) continue;  // line breaks, blanks and other noise
    ++symbols;
    accumulator = (accumulator << 6) | static_cast<std::uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<char>((accumulator >> bits) & 0xFF));
    }
  }
  // A single symbol left over carries fewer than 8 bits: the text is cut.
  if (symbols == 0 || symbols % 4 == 1) return std::nullopt;
  if (!isValidUtf8(out)) return std::nullopt;
  return out;
}

std::optional<std::string> stringToBase64(std::string_view text) {
  if (text.empty()) return std::nullopt;
  const ByteView bytes = asBytes(text);
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t group = static_cast<std::uint32_t>(bytes[i]) << 16;
    if (n > 1) group |= static_cast<std::uint32_t>(bytes[i + 1]) << 8;
    if (n > 2) group |= bytes[i + 2];
    out.push_back(kBase64Alphabet[(group >> 18) & 0x3F]);
    out.push_back(kBase64Alphabet[(group >> 12) & 0x3F]);
    out.push_back(n > 1 ? kBase64Alphabet[(group >> 6) & 0x3F] : '=');
    out.push_back(n > 2 ? kBase64Alphabet[group & 0x3F] : '=');
  }
  return out;
}

}  // namespace veltrix::platform
