// A streamed HTTP response as the session manager reads it: bytes in
// pieces through the UTF-8 stream decoder, the text through the document
// splitter. Checks: the decoder's text is UTF-8 and, for UTF-8 input, the
// input itself whatever the pieces; the splitter's documents and pending
// text give back what it was fed; it hands out the same documents whatever
// the pieces.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "veltrix/platform/json.h"
#include "veltrix/transport/json_document_splitter.h"
#include "veltrix/transport/utf8_stream_decoder.h"

using veltrix::platform::Json;
using veltrix::transport::JsonDocumentSplitter;
using veltrix::transport::Utf8StreamDecoder;

namespace {

// Small enough for the fuzzer to reach the bound.
constexpr std::size_t kMaxDocument = 2048;

struct Split {
  std::vector<Json> values;
  JsonDocumentSplitter::State state;
};

Split splitInPieces(const std::vector<std::string_view>& pieces) {
  JsonDocumentSplitter splitter(kMaxDocument);
  Split out;
  std::string fed;
  std::string given;
  for (const std::string_view piece : pieces) {
    const bool collecting = splitter.state() == JsonDocumentSplitter::State::kCollecting;
    if (collecting) fed.append(piece);
    for (JsonDocumentSplitter::Document& document : splitter.append(piece)) {
      VELTRIX_FUZZ_CHECK(document.value.is_object() || document.value.is_array());
      VELTRIX_FUZZ_CHECK(document.text.size() <= kMaxDocument);
      // The blanks around it may be ones JSON does not allow (no-break space).
      const std::size_t first = document.text.find_first_of("{[");
      const std::size_t last = document.text.find_last_of("}]");
      VELTRIX_FUZZ_CHECK(first != std::string::npos && last != std::string::npos);
      const std::optional<Json> reparsed = veltrix::platform::parseJson(
          std::string_view(document.text).substr(first, last + 1 - first));
      VELTRIX_FUZZ_CHECK(reparsed && *reparsed == document.value);
      given += document.text;
      out.values.push_back(std::move(document.value));
    }
    if (splitter.state() != JsonDocumentSplitter::State::kTooLarge) {
      VELTRIX_FUZZ_CHECK(given + splitter.pending() == fed);
    } else {
      VELTRIX_FUZZ_CHECK(splitter.pending().empty());
    }
  }
  out.state = splitter.state();
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  veltrix::fuzz::silenceLog();
  const std::string_view bytes = veltrix::fuzz::asText(data, size);
  const std::vector<std::string_view> pieces = veltrix::fuzz::cutIntoPieces(bytes);

  Utf8StreamDecoder decoder;
  std::string text;
  std::vector<std::string> decodedPieces;
  for (const std::string_view piece : pieces) {
    std::string decoded = decoder.decode(piece);
    VELTRIX_FUZZ_CHECK(decoder.heldBytes() <= 3);
    VELTRIX_FUZZ_CHECK(veltrix::fuzz::isUtf8(decoded));
    text += decoded;
    decodedPieces.push_back(std::move(decoded));
  }
  const std::string tail = decoder.finish();
  VELTRIX_FUZZ_CHECK(veltrix::fuzz::isUtf8(tail) && decoder.heldBytes() == 0);
  text += tail;
  decodedPieces.push_back(tail);
  if (veltrix::fuzz::isUtf8(bytes)) VELTRIX_FUZZ_CHECK(text == bytes);

  std::vector<std::string_view> textPieces(decodedPieces.begin(), decodedPieces.end());
  const Split byPiece = splitInPieces(textPieces);
  const Split atOnce = splitInPieces({std::string_view(text)});
  // Blanks after a document travel with it or with the next one depending
  // on when they arrive, so the bound may be met at a different place.
  if (byPiece.state == JsonDocumentSplitter::State::kTooLarge ||
      atOnce.state == JsonDocumentSplitter::State::kTooLarge) {
    return 0;
  }
  VELTRIX_FUZZ_CHECK(byPiece.state == atOnce.state);
  VELTRIX_FUZZ_CHECK(byPiece.values == atOnce.values);
  return 0;
}
