#include "veltrix/platform/bool_value.h"

#include <gtest/gtest.h>

namespace veltrix::platform {
namespace {

TEST(BoolValue, FirstSignificantCharacterDecides) {
  for (const char* yes :
       {"YES", "yes", "Y", "true", "T", "t", "1", "9", "  +007", "\t\n-5x", "0001", "Tuesday"}) {
    EXPECT_TRUE(boolValue(yes)) << '"' << yes << '"';
  }
  for (const char* no :
       {"", "   ", "NO", "false", "0", "000", "-0", "+", "x1", "0x1", " ,1", "++1"}) {
    EXPECT_FALSE(boolValue(no)) << '"' << no << '"';
  }
}

TEST(BoolValue, JsonValuesByType) {
  EXPECT_TRUE(jsonBoolValue(Json(true)));
  EXPECT_FALSE(jsonBoolValue(Json(false)));
  EXPECT_TRUE(jsonBoolValue(Json(-1)));
  EXPECT_TRUE(jsonBoolValue(Json(0.25)));
  EXPECT_FALSE(jsonBoolValue(Json(0)));
  EXPECT_FALSE(jsonBoolValue(Json(0.0)));
  EXPECT_TRUE(jsonBoolValue(Json(std::uint64_t{18446744073709551615u})));
  EXPECT_TRUE(jsonBoolValue(Json("yes")));
  EXPECT_FALSE(jsonBoolValue(Json()));
  EXPECT_FALSE(jsonBoolValue(Json::array({1})));
  EXPECT_FALSE(jsonBoolValue(Json::object({{"a", true}})));
}

}  // namespace
}  // namespace veltrix::platform
