#include "veltrix/platform/json_writer.h"

#include <gtest/gtest.h>

namespace veltrix::platform {
namespace {

// The fast writer must give exactly the library serializer's text.
TEST(JsonWriter, SameTextAsTheLibrarySerializer) {
  Json value = Json::object();
  value["empty object"] = Json::object();
  value["empty array"] = Json::array();
  value["text"] = "plain \"quoted\" back\\slash /slash\b\f\n\r\t\x01\x1f\x7f end";
  value["utf8"] = "街角小店 café 😀";
  value["numbers"] = Json::array({0, -42, std::int64_t{-9223372036854775807} - 1,
                                  std::uint64_t{18446744073709551615u}, 1.0, 10.5, 1e20, -0.25});
  value["flags"] = Json::array({true, false, nullptr});
  value["nested"] = Json::array({Json::object({{"a", Json::array({Json::object()})}}), "x"});
  value["ключ \"k\""] = "v";
  const std::optional<std::string> expected = dumpJsonPretty(value);
  ASSERT_TRUE(expected);
  EXPECT_EQ(writeJsonPretty(value), expected);

  for (const Json& scalar : {Json("s"), Json(3), Json(), Json::object(), Json::array()}) {
    EXPECT_EQ(writeJsonPretty(scalar), dumpJsonPretty(scalar));
  }
}

TEST(JsonWriter, RejectsWhatIsNotUtf8) {
  for (const char* bad :
       {"\x80", "a\xc0\x80", "\xc3\x28", "\xed\xa0\x80", "\xe0\x9f\xbf", "\xf0\x8f\xbf\xbf",
        "\xf4\x90\x80\x80", "\xf5\x80\x80\x80", "\xff", "end\xe4\xb8"}) {
    std::string error;
    EXPECT_EQ(writeJsonPretty(Json::object({{"k", bad}}), &error), std::nullopt) << bad;
    EXPECT_FALSE(error.empty());
    // The library serializer refuses the same texts.
    EXPECT_EQ(dumpJsonPretty(Json::object({{"k", bad}})), std::nullopt) << bad;
  }
  std::string error;
  EXPECT_EQ(writeJsonPretty(Json::object({{"bad\xff key", 1}}), &error), std::nullopt);
  EXPECT_EQ(error, "invalid UTF-8 byte at index 3: 0xFF");
}

}  // namespace
}  // namespace veltrix::platform
