#include "veltrix/transport/json_document_splitter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "veltrix/platform/json.h"
#include "veltrix/transport/kv_iso_utils.h"

namespace veltrix::transport {
namespace {

using State = JsonDocumentSplitter::State;

std::vector<std::string> texts(std::vector<JsonDocumentSplitter::Document> documents) {
  std::vector<std::string> out;
  for (auto& document : documents) out.push_back(std::move(document.text));
  return out;
}

const std::string kFirst = R"({"serviceType":"EventNotification","response":{"event":"CRDI"}})";
const std::string kSecond = R"({"text":"braces } { and \"quotes\" \\","list":[1,[2,{}]]})";
const std::string kThird =
    R"({"serviceType":"Purchase","endFlag":true,"response":{"note":"支付成功"}})";

TEST(JsonDocumentSplitterTest, DeliversEachDocumentWhenItsLastByteArrives) {
  const std::string stream = kFirst + kSecond + kThird;
  JsonDocumentSplitter splitter;
  std::vector<std::string> got;
  for (std::size_t i = 0; i < stream.size(); ++i) {
    for (auto& doc : splitter.append(stream.substr(i, 1))) got.push_back(std::move(doc.text));
    const std::size_t expected = i + 1 >= kFirst.size() + kSecond.size() + kThird.size() ? 3
                                 : i + 1 >= kFirst.size() + kSecond.size()               ? 2
                                 : i + 1 >= kFirst.size()                                ? 1
                                                                                         : 0;
    ASSERT_EQ(got.size(), expected) << "after byte " << i;
  }
  EXPECT_EQ(got, (std::vector<std::string>{kFirst, kSecond, kThird}));
  EXPECT_TRUE(splitter.pending().empty());
  EXPECT_EQ(splitter.state(), State::kCollecting);
}

TEST(JsonDocumentSplitterTest, PieceHoldingTheEndOfOneAndTheStartOfTheNextLosesNeither) {
  JsonDocumentSplitter splitter;
  const std::string glued = kFirst.substr(30) + "\n" + kSecond.substr(0, 10);
  EXPECT_TRUE(splitter.append(kFirst.substr(0, 30)).empty());
  EXPECT_EQ(texts(splitter.append(glued)), std::vector<std::string>{kFirst + "\n"});
  EXPECT_EQ(texts(splitter.append(kSecond.substr(10) + kThird)),
            (std::vector<std::string>{kSecond, kThird}));
}

TEST(JsonDocumentSplitterTest, KeepsTheBlanksAroundADocument) {
  JsonDocumentSplitter splitter;
  EXPECT_EQ(texts(splitter.append(" \r\n" + kFirst + "\r\n")),
            std::vector<std::string>{" \r\n" + kFirst + "\r\n"});
  // Blanks after a delivered document start the next one.
  EXPECT_TRUE(splitter.append("\n\t").empty());
  EXPECT_TRUE(splitter.pendingIsBlank());
  EXPECT_EQ(texts(splitter.append("[1,2]")), std::vector<std::string>{"\n\t[1,2]"});
}

TEST(JsonDocumentSplitterTest, BlanksAreTheWhiteSpaceTheCompletenessTestTrims) {
  // Vertical tab, form feed, no-break space, line separator, ideographic
  // space: around a message they are blanks for the completeness test, so
  // they are for the splitter too, also when a piece ends inside one.
  const std::string blanks = "\v\f\xC2\xA0\xE2\x80\xA8\xE3\x80\x80";
  const std::string stream = blanks + kFirst + blanks + kThird + blanks;
  ASSERT_TRUE(KVISOUtils::isStringValidCompleteJSON(blanks + kFirst + blanks));
  for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
    JsonDocumentSplitter splitter;
    std::vector<std::string> got = texts(splitter.append(stream.substr(0, cut)));
    for (std::string& doc : texts(splitter.append(stream.substr(cut)))) got.push_back(doc);
    // Blanks between the two go with the piece they arrived in.
    ASSERT_EQ(got.size(), 2u) << "cut at " << cut;
    EXPECT_EQ(got[0] + got[1] + splitter.pending(), stream);
    EXPECT_EQ(got[0].substr(0, blanks.size() + kFirst.size()), blanks + kFirst);
    EXPECT_NE(got[1].find(kThird), std::string::npos);
    EXPECT_TRUE(splitter.pendingIsBlank());
  }

  // What the completeness test refuses stops the splitter as well.
  for (const std::string& outside :
       {std::string("x"), std::string("\xC2\xA1"), std::string("\x01")}) {
    EXPECT_FALSE(KVISOUtils::isStringValidCompleteJSON(outside + kFirst));
    JsonDocumentSplitter splitter;
    EXPECT_TRUE(splitter.append(outside + kFirst).empty());
    EXPECT_EQ(splitter.state(), State::kInvalid);
  }
}

TEST(JsonDocumentSplitterTest, HandsOutTheParsedValueWithTheText) {
  JsonDocumentSplitter splitter;
  std::vector<JsonDocumentSplitter::Document> docs = splitter.append(" " + kThird + "[1]");
  ASSERT_EQ(docs.size(), 2u);
  EXPECT_EQ(docs[0].value, platform::Json::parse(kThird));
  EXPECT_EQ(docs[1].value, platform::Json::array({1}));
}

TEST(JsonDocumentSplitterTest, HostileNestingMakesTheStreamInvalid) {
  // Deeper than any parse accepts: refused, and the process survives.
  JsonDocumentSplitter splitter;
  EXPECT_TRUE(splitter.append(std::string(100000, '[') + std::string(100000, ']')).empty());
  EXPECT_EQ(splitter.state(), State::kInvalid);
}

// The text as the transport would have delivered it before: the buffer is
// delivered whole when, trimmed, it begins with "{" or "[", ends with "}" or
// "]" and parses; nothing is delivered otherwise.
class WholeBufferModel {
 public:
  std::optional<std::string> append(const std::string& piece) {
    buffer_ += piece;
    const auto first = buffer_.find_first_not_of(" \t\r\n");
    const auto last = buffer_.find_last_not_of(" \t\r\n");
    if (first == std::string::npos || last - first + 1 < 2) return std::nullopt;
    if ((buffer_[first] != '{' && buffer_[first] != '[') ||
        (buffer_[last] != '}' && buffer_[last] != ']')) {
      return std::nullopt;
    }
    if (!platform::parseJson(std::string_view(buffer_).substr(first, last - first + 1))) {
      return std::nullopt;
    }
    std::string out;
    out.swap(buffer_);
    return out;
  }

 private:
  std::string buffer_;
};

TEST(JsonDocumentSplitterTest, DeliversWhatTheWholeBufferTestDeliversWheneverThatDeliversAnything) {
  const std::vector<std::string> streams = {
      kFirst + kSecond + kThird,
      "\r\n" + kFirst + "\r\n\r\n" + kSecond + " \n" + kThird + "\n",
      "  [" + kFirst + "," + kThird + "]  ",
  };
  std::mt19937 random(20240611);
  int compared = 0;
  for (const std::string& stream : streams) {
    for (int round = 0; round < 300; ++round) {
      JsonDocumentSplitter splitter;
      WholeBufferModel model;
      std::size_t at = 0;
      std::string delivered;
      while (at < stream.size()) {
        const std::size_t length = 1 + random() % 40;
        const std::string piece = stream.substr(at, length);
        at += piece.size();
        const std::vector<std::string> docs = texts(splitter.append(piece));
        for (const std::string& doc : docs) delivered += doc;
        if (auto expected = model.append(piece)) {
          ++compared;
          ASSERT_EQ(docs, std::vector<std::string>{*expected});
        }
      }
      // Nothing is lost or changed: the documents and the blanks left
      // pending make up the stream.
      ASSERT_EQ(delivered + splitter.pending(), stream);
      ASSERT_TRUE(splitter.pendingIsBlank());
    }
  }
  EXPECT_GT(compared, 100);
}

TEST(JsonDocumentSplitterTest, TextOutsideADocumentStopsDeliveryAndStaysPending) {
  JsonDocumentSplitter splitter;
  EXPECT_EQ(texts(splitter.append(kFirst + "xyz" + kSecond)), std::vector<std::string>{kFirst});
  EXPECT_EQ(splitter.state(), State::kInvalid);
  EXPECT_FALSE(splitter.pendingIsBlank());
  EXPECT_TRUE(splitter.append(kThird).empty());

  JsonDocumentSplitter broken;
  EXPECT_TRUE(broken.append(R"({"a" 1})").empty());
  EXPECT_EQ(broken.state(), State::kInvalid);
  EXPECT_EQ(broken.pending(), R"({"a" 1})");

  broken.reset();
  EXPECT_EQ(broken.state(), State::kCollecting);
  EXPECT_EQ(texts(broken.append(kFirst)), std::vector<std::string>{kFirst});
}

TEST(JsonDocumentSplitterTest, AnOverlongDocumentFreesItsTextAndStops) {
  JsonDocumentSplitter splitter(64);
  EXPECT_EQ(texts(splitter.append(R"({"a":1})")), std::vector<std::string>{R"({"a":1})"});
  EXPECT_TRUE(splitter.append(R"({"long":")" + std::string(40, 'x')).empty());
  EXPECT_EQ(splitter.state(), State::kCollecting);
  EXPECT_TRUE(splitter.append(std::string(40, 'x')).empty());
  EXPECT_EQ(splitter.state(), State::kTooLarge);
  EXPECT_TRUE(splitter.pending().empty());
  EXPECT_TRUE(splitter.append("\"}").empty());

  // A document that arrives complete in one piece is bounded all the same.
  JsonDocumentSplitter whole(16);
  EXPECT_TRUE(whole.append(R"({"abcdefghijklmnop":1})").empty());
  EXPECT_EQ(whole.state(), State::kTooLarge);
}

}  // namespace
}  // namespace veltrix::transport
