#include "veltrix/platform/json.h"

#include <gtest/gtest.h>

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
}

TEST(JsonParse, KeepsKeyOrderAndChineseText) {
  auto v = parseJson(R"({"z":1,"a":"支付成功","m":null})");
  ASSERT_TRUE(v);
  EXPECT_EQ(*dumpJson(*v), R"({"z":1,"a":"支付成功","m":null})");
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
