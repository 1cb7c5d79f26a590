// Byte buffers as the library passes them around: an owned buffer is a
// vector of unsigned bytes, a borrowed one a span. Value types, no state.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace veltrix::platform {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// The bytes of a text, borrowed (the text must outlive the view).
inline ByteView asBytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

inline Bytes toBytes(std::string_view text) {
  const ByteView view = asBytes(text);
  return {view.begin(), view.end()};
}

// The bytes as a text of the same bytes (no decoding).
inline std::string toText(ByteView bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace veltrix::platform
