#include "veltrix/registry/json_text_scanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace veltrix::registry {
namespace {

using State = JsonTextScanner::State;

State scanAll(const std::vector<std::string>& pieces, JsonTextScanner& scanner) {
  State state = State::kIncomplete;
  for (const std::string& piece : pieces) state = scanner.append(piece);
  return state;
}

TEST(JsonTextScannerTest, CompleteWhenTheOpeningBracketIsClosedWhateverThePieces) {
  const std::string text = R"( {"a":"x}]\"{[","b":[{"c":"\\"}],"d":"é"} )";
  // Every way of cutting the text in two gives the same answer.
  for (std::size_t cut = 0; cut <= text.size(); ++cut) {
    JsonTextScanner scanner;
    EXPECT_EQ(scanAll({text.substr(0, cut), text.substr(cut)}, scanner), State::kComplete) << cut;
    EXPECT_EQ(scanner.begin(), 1u);
    EXPECT_EQ(scanner.end(), text.size() - 1);
  }
  JsonTextScanner open;
  EXPECT_EQ(scanAll({"\t\r\n[1,", "[2]", "]"}, open), State::kComplete);
  EXPECT_EQ(open.begin(), 3u);
  // The platform's white space, a no-break space (C2 A0) and a line
  // separator (E2 80 A8) included, even when a piece cuts it.
  JsonTextScanner unicode;
  EXPECT_EQ(scanAll({"\v\xC2", "\xA0{}\xE2\x80", "\xA8\f"}, unicode), State::kComplete);
  EXPECT_EQ(unicode.begin(), 3u);
  EXPECT_EQ(unicode.end(), 5u);
}

TEST(JsonTextScannerTest, PiecesEndingInClosingBracketsAreNotTheEnd) {
  JsonTextScanner scanner;
  EXPECT_EQ(scanner.append(R"({"a":[1])"), State::kIncomplete);
  EXPECT_EQ(scanner.append(R"(,"b":"}])"), State::kIncomplete);
  EXPECT_EQ(scanner.append(R"(")"), State::kIncomplete);
  EXPECT_EQ(scanner.append(R"(})"), State::kComplete);
  EXPECT_EQ(scanner.append(" \n"), State::kComplete);
}

TEST(JsonTextScannerTest, TextThatCanNeverCompleteIsInvalid) {
  for (const std::vector<std::string>& pieces : std::vector<std::vector<std::string>>{
           {"x{}"},
           {"\"{}\""},
           {"{}", " x"},
           {"[1]", "[2]"},
           {"\xC2", "{}"},
           {"{}\xE2\x80", "x"},
           {"\xC3\xA9{}"},
       }) {
    JsonTextScanner scanner;
    EXPECT_EQ(scanAll(pieces, scanner), State::kInvalid) << pieces[0];
    EXPECT_EQ(scanner.append("{}"), State::kInvalid);
  }
}

}  // namespace
}  // namespace veltrix::registry
