#include "veltrix/platform/json.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>

#include "support/test_env.h"

namespace veltrix::platform {
namespace {

TEST(JsonParse, AcceptsObjectsAndArraysOnly) {
  EXPECT_TRUE(parseJson(R"({"a":1})"));
  EXPECT_TRUE(parseJson("[1,2]"));
  std::string error;
  EXPECT_FALSE(parseJson("5", &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(parseJson(R"("text")"));
  EXPECT_FALSE(parseJson("null"));
  EXPECT_TRUE(parseJsonFragment("5"));
}

TEST(JsonParse, RejectsBrokenTextAndInvalidUtf8WithoutThrowing) {
  EXPECT_FALSE(parseJson(""));
  EXPECT_FALSE(parseJson(R"({"a":)"));
  EXPECT_FALSE(parseJson(R"({"a":1} trailing)"));
  EXPECT_FALSE(parseJson("{\"a\":\"\xff\xfe\"}"));
  EXPECT_FALSE(parseJson("{\"a\":\"\xe4\xbd\"}"));  // truncated sequence
  // A NUL ended the lexer's input, so what followed it was never read.
  EXPECT_FALSE(parseJson(std::string_view("[1]\0\x96", 5)));
  EXPECT_FALSE(parseJson(std::string_view("{\"a\":1}\0garbage", 15)));
  EXPECT_FALSE(parseJsonFragment(std::string_view("1\0x", 3)));
}

TEST(JsonParse, KeepsKeyOrderAndChineseText) {
  auto v = parseJson(R"({"z":1,"a":"支付成功","m":null})");
  ASSERT_TRUE(v);
  EXPECT_EQ(*dumpJson(*v), R"({"z":1,"a":"支付成功","m":null})");
}

std::string nested(std::size_t levels, char open = '[', char close = ']') {
  return std::string(levels, open) + std::string(levels, close);
}

TEST(JsonParse, GivesWhatTheLibraryParserGives) {
  // Repeated keys keep their first place and take the last value, as the
  // library's own parser has it; also past the point where an index is used.
  std::string many = "{";
  for (int i = 0; i < 40; ++i)
    many += "\"k" + std::to_string(i % 25) + "\":" + std::to_string(i) + ",";
  many += R"("k3":{"x":[1,{"y":null}]}})";
  for (const std::string& text :
       {std::string(R"({"a":1,"b":[true,false,null,-2,3.5e2,18446744073709551615],"a":{"c":"d"}})"),
        std::string(R"([{"z":1,"z":2},[],{},"\u00e9\ud83d\ude00"])"), many}) {
    const auto value = parseJson(text);
    ASSERT_TRUE(value) << text;
    EXPECT_EQ(*dumpJson(*value), Json::parse(text).dump()) << text;
  }
}

TEST(JsonParse, RepeatedKeysMergeAsTheLibraryParserMergesThem) {
  // Small objects and large ones (merged differently), keys repeated any
  // number of times, values nested.
  std::mt19937 random(32);
  for (int round = 0; round < 200; ++round) {
    const int members = 1 + static_cast<int>(random() % 60);
    const int keys = 1 + static_cast<int>(random() % 30);
    std::string text = "{";
    for (int i = 0; i < members; ++i) {
      if (i > 0) text += ",";
      text += "\"k" + std::to_string(random() % keys) + "\":";
      text += random() % 4 == 0 ? R"({"x":[)" + std::to_string(i) + "]}" : std::to_string(i);
    }
    text += "}";
    const auto value = parseJson(text);
    ASSERT_TRUE(value) << text;
    ASSERT_EQ(*dumpJson(*value), Json::parse(text).dump()) << text;
  }
}

TEST(JsonParse, RefusesNestingDeeperThanTheLimit) {
  EXPECT_TRUE(parseJson(nested(kMaxJsonDepth)));
  std::string error;
  EXPECT_FALSE(parseJson(nested(kMaxJsonDepth + 1), &error));
  EXPECT_EQ(error, "JSON text nested deeper than 512 levels");
  EXPECT_FALSE(parseJson(nested(kMaxJsonDepth + 1, '{', '}')));
  // Objects count like arrays; the limit holds inside a member too.
  std::string objects;
  for (std::size_t i = 0; i < kMaxJsonDepth; ++i) objects += R"({"a":)";
  objects += "[]" + std::string(kMaxJsonDepth, '}');
  EXPECT_FALSE(parseJson(objects));
  EXPECT_FALSE(parseJsonFragment(nested(kMaxJsonDepth + 1)));

  // Hostile depth: refused without exhausting the stack, even unterminated.
  const std::string deep = nested(100000);
  EXPECT_FALSE(parseJson(deep, &error));
  EXPECT_EQ(error, "JSON text nested deeper than 512 levels");
  EXPECT_FALSE(parseJson(std::string(1000000, '[')));
}

TEST(JsonParse, ManyMembersCostLinearTime) {
  // 300,000 members took minutes when each insert searched its siblings;
  // 100,000 show the cost is linear.
  std::string text = "{";
  for (int i = 0; i < 100000; ++i)
    text += "\"m" + std::to_string(i) + "\":" + std::to_string(i) + ",";
  text += R"("m7":"last"})";
  const auto start = std::chrono::steady_clock::now();
  const auto value = parseJson(text);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  ASSERT_TRUE(value);
  EXPECT_EQ(value->size(), 100000u);
  EXPECT_EQ(readText(*value, "m7"), "last");
  EXPECT_EQ(value->begin().key(), "m0");
  EXPECT_LT(elapsed, std::chrono::seconds(10) * testing::kSlowdown);
}

TEST(ParsedJsonLoan, HandsItsValueToTheFirstParseOfTheSameTextOnly) {
  const std::string text = R"({"a":1})";
  {
    ParsedJsonLoan loan(text, Json{{"lent", true}});
    EXPECT_EQ(*dumpJson(*parseJson(R"({"b":2})")), R"({"b":2})");  // another text
    EXPECT_EQ(*dumpJson(*parseJson(text)), R"({"lent":true})");
    EXPECT_EQ(*dumpJson(*parseJson(text)), R"({"a":1})");  // handed over once
    {
      ParsedJsonLoan inner(text, Json::array());
      EXPECT_EQ(*dumpJson(*parseJson(text)), "[]");
    }
  }
  EXPECT_EQ(*dumpJson(*parseJson(text)), R"({"a":1})");
  // A loan does not make a scalar acceptable where the top level must be
  // structured.
  ParsedJsonLoan scalar("5", Json(5));
  EXPECT_FALSE(parseJson("5"));
}

TEST(JsonDump, InvalidUtf8IsReportedNotThrown) {
  Json v = {{"bad", std::string("\xc3\x28")}};
  std::string error;
  EXPECT_FALSE(dumpJson(v, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(dumpJsonPretty(v));
}

TEST(JsonDump, PrettyIndentsByTwo) {
  Json v = {{"a", 1}};
  EXPECT_EQ(*dumpJsonPretty(v), "{\n  \"a\": 1\n}");
}

TEST(JsonNumberText, MatchesThePlatformNumberTexts) {
  EXPECT_EQ(jsonNumberText(Json(100.0)), "100");
  EXPECT_EQ(jsonNumberText(Json(12.5)), "12.5");
  EXPECT_EQ(jsonNumberText(Json(0.1)), "0.1");
  EXPECT_EQ(jsonNumberText(Json(-3.0)), "-3");
  EXPECT_EQ(jsonNumberText(Json(true)), "1");
  EXPECT_EQ(jsonNumberText(Json(false)), "0");
  EXPECT_EQ(jsonNumberText(Json(42)), "42");
  EXPECT_EQ(jsonNumberText(Json(-7)), "-7");
  EXPECT_EQ(jsonNumberText(Json(18446744073709551615ull)), "18446744073709551615");
  EXPECT_EQ(jsonNumberText(*parseJsonFragment("100.0")), "100");
  EXPECT_EQ(jsonNumberText(*parseJsonFragment("1e3")), "1000");
  EXPECT_EQ(jsonNumberText(Json("5")), "");
}

TEST(JsonReaders, AreLenient) {
  auto v = *parseJson(R"({"s":"abc","n":12.50,"i":7,"b":true,"o":{},"a":[],"z":null,"e":""})");
  EXPECT_EQ(readText(v, "s"), "abc");
  EXPECT_EQ(readText(v, "n"), "12.5");
  EXPECT_EQ(readText(v, "i"), "7");
  EXPECT_EQ(readText(v, "b"), "1");
  EXPECT_EQ(readText(v, "e"), "");  // empty is not absent
  EXPECT_EQ(readText(v, "o"), std::nullopt);
  EXPECT_EQ(readText(v, "a"), std::nullopt);
  EXPECT_EQ(readText(v, "z"), std::nullopt);
  EXPECT_EQ(readText(v, "missing"), std::nullopt);
  EXPECT_EQ(readText(Json::array(), "s"), std::nullopt);
  EXPECT_NE(findObject(v, "o"), nullptr);
  EXPECT_EQ(findObject(v, "a"), nullptr);
  EXPECT_NE(findArray(v, "a"), nullptr);
  EXPECT_EQ(findArray(v, "s"), nullptr);
}

}  // namespace
}  // namespace veltrix::platform
