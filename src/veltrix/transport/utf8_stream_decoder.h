// Turns the bytes of a streamed response into UTF-8 text piece by piece.
//
// A terminal's response arrives in pieces that may end inside a multi-byte
// character. The decoder holds such an incomplete trailing sequence (at most
// three bytes) until the next piece, so the text handed on is exactly the
// text that was sent. A piece that is truly not UTF-8 (beyond such a held
// tail) is taken whole as ISO Latin-1 text, one character per byte.
//
// One decoder per stream; not thread-safe (the session manager uses it on
// its task queue only). Copyable value.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace veltrix::transport {

class Utf8StreamDecoder {
 public:
  // The text of `piece`, preceded by the bytes held from the previous piece.
  std::string decode(std::string_view piece);
  // Ends the stream: bytes still held become Latin-1 characters.
  std::string finish();
  std::size_t heldBytes() const { return held_.size(); }

 private:
  std::string decodeBytes(std::string_view bytes);
  std::string held_;
};

}  // namespace veltrix::transport
