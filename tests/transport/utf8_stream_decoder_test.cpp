#include "veltrix/transport/utf8_stream_decoder.h"

#include <gtest/gtest.h>

#include <string>

namespace veltrix::transport {
namespace {

// Two-, three- and four-byte characters between plain ones.
const std::string kText =
    "Zahlung \xC3\xBC"
    "ber 12,50 \xE2\x82\xAC \xE6\x94\xAF\xE4\xBB\x98\xE6\x88\x90\xE5\x8A\x9F \xF0\x9F\x98\x80!";

TEST(Utf8StreamDecoderTest, TextCutAnywhereComesOutUnchanged) {
  for (std::size_t cut = 0; cut <= kText.size(); ++cut) {
    for (std::size_t cut2 = cut; cut2 <= kText.size(); ++cut2) {
      Utf8StreamDecoder decoder;
      std::string out = decoder.decode(kText.substr(0, cut));
      out += decoder.decode(kText.substr(cut, cut2 - cut));
      out += decoder.decode(kText.substr(cut2));
      out += decoder.finish();
      ASSERT_EQ(out, kText) << "cuts at " << cut << " and " << cut2;
    }
  }
}

TEST(Utf8StreamDecoderTest, HoldsOnlyAnIncompleteTrailingCharacter) {
  Utf8StreamDecoder decoder;
  EXPECT_EQ(decoder.decode("ab\xE6\x94"), "ab");
  EXPECT_EQ(decoder.heldBytes(), 2u);
  EXPECT_EQ(decoder.decode("\xAF"
                           "c"),
            "\xE6\x94\xAF"
            "c");
  EXPECT_EQ(decoder.heldBytes(), 0u);
}

TEST(Utf8StreamDecoderTest, APieceThatIsNotUtf8IsLatin1AsAWhole) {
  Utf8StreamDecoder decoder;
  // A Latin-1 "é", a stray continuation byte, an overlong slash, a surrogate
  // and a byte that never starts a character: the piece is Latin-1 text, so
  // the bytes of "€" in it are three Latin-1 characters too.
  EXPECT_EQ(decoder.decode("caf\xE9 \x80 \xC0\xAF \xED\xA0\x80 \xFF \xE2\x82\xAC"),
            "caf\xC3\xA9 \xC2\x80 \xC3\x80\xC2\xAF \xC3\xAD\xC2\xA0\xC2\x80 \xC3\xBF "
            "\xC3\xA2\xC2\x82\xC2\xAC");
  EXPECT_EQ(decoder.heldBytes(), 0u);
  // Latin-1 "é" followed by what looks like the start of a character: the
  // piece is Latin-1 already, so nothing is held.
  EXPECT_EQ(decoder.decode("\xE9\xE2\x82"), "\xC3\xA9\xC3\xA2\xC2\x82");
  EXPECT_EQ(decoder.heldBytes(), 0u);
  // The next piece is judged on its own.
  EXPECT_EQ(decoder.decode("\xE2\x82\xAC"), "\xE2\x82\xAC");
}

TEST(Utf8StreamDecoderTest, HeldBytesThatNeverCompleteBecomeLatin1) {
  Utf8StreamDecoder decoder;
  EXPECT_EQ(decoder.decode("a\xE2"), "a");
  // The next piece does not continue the character: held bytes and piece
  // are Latin-1 together.
  EXPECT_EQ(decoder.decode("(b\xE9"), "\xC3\xA2(b\xC3\xA9");
  EXPECT_EQ(decoder.decode("\xE2\x82"), "");
  EXPECT_EQ(decoder.finish(), "\xC3\xA2\xC2\x82");
  EXPECT_EQ(decoder.finish(), "");
}

}  // namespace
}  // namespace veltrix::transport
