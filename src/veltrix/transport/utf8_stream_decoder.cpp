#include "veltrix/transport/utf8_stream_decoder.h"

#include <cstdint>

namespace veltrix::transport {
namespace {

void appendLatin1(std::string& out, std::uint8_t byte) {
  out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
  out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
}

// Length of the sequence that `lead` starts and the range allowed for the
// byte after it (which rules out overlong forms, surrogates and code points
// above U+10FFFF); 0 when `lead` cannot start a sequence.
int sequenceLength(std::uint8_t lead, std::uint8_t& low, std::uint8_t& high) {
  low = 0x80;
  high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead == 0xE0) {
    low = 0xA0;
    return 3;
  }
  if (lead >= 0xE1 && lead <= 0xEC) return 3;
  if (lead == 0xED) {
    high = 0x9F;
    return 3;
  }
  if (lead == 0xEE || lead == 0xEF) return 3;
  if (lead == 0xF0) {
    low = 0x90;
    return 4;
  }
  if (lead >= 0xF1 && lead <= 0xF3) return 4;
  if (lead == 0xF4) {
    high = 0x8F;
    return 4;
  }
  return 0;
}

}  // namespace

std::string Utf8StreamDecoder::decode(std::string_view piece) {
  if (held_.empty()) return decodeBytes(piece);
  std::string joined;
  joined.reserve(held_.size() + piece.size());
  joined.append(held_);
  joined.append(piece);
  held_.clear();
  return decodeBytes(joined);
}

std::string Utf8StreamDecoder::finish() {
  std::string out;
  for (char c : held_) appendLatin1(out, static_cast<std::uint8_t>(c));
  held_.clear();
  return out;
}

std::string Utf8StreamDecoder::decodeBytes(std::string_view bytes) {
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    const auto lead = static_cast<std::uint8_t>(bytes[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    std::uint8_t low = 0;
    std::uint8_t high = 0;
    const int length = sequenceLength(lead, low, high);
    bool valid = length > 0;
    for (int k = 1; valid && k < length; ++k) {
      if (i + k >= n) {
        // Every byte so far fits: the rest of the character is still to come.
        held_.assign(bytes.substr(i));
        return std::string(bytes.substr(0, i));
      }
      const auto next = static_cast<std::uint8_t>(bytes[i + k]);
      const std::uint8_t lo = k == 1 ? low : 0x80;
      const std::uint8_t hi = k == 1 ? high : 0xBF;
      valid = next >= lo && next <= hi;
    }
    if (!valid) {
      // A piece that is not UTF-8 is Latin-1 text as a whole, one character
      // per byte, bytes held from the piece before included.
      std::string out;
      out.reserve(2 * n);
      for (char c : bytes) {
        const auto byte = static_cast<std::uint8_t>(c);
        if (byte < 0x80) {
          out.push_back(c);
        } else {
          appendLatin1(out, byte);
        }
      }
      return out;
    }
    i += length;
  }
  return std::string(bytes);
}

}  // namespace veltrix::transport
