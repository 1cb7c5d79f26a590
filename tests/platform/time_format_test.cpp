#include "veltrix/platform/time_format.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "support/test_env.h"
#include "veltrix/platform/uuid.h"

namespace veltrix::platform {
namespace {

using testing::ScopedTimeZone;

constexpr std::int64_t kJan31 = 1769868309007;  // 2026-01-31T14:05:09.007Z

TEST(TimeFormat, LocalTimestampAlwaysHasThreeDigitMillis) {
  ScopedTimeZone tz("UTC");
  EXPECT_EQ(formatLocalTimestamp(kJan31), "2026-01-31 14:05:09.007");
  EXPECT_EQ(formatLocalTimestamp(0), "1970-01-01 00:00:00.000");
  EXPECT_EQ(formatLocalTimestamp(-1), "1969-12-31 23:59:59.999");
}

TEST(TimeFormat, IsoUsesZForUtcAndOffsetOtherwise) {
  {
    ScopedTimeZone tz("UTC");
    EXPECT_EQ(formatIso8601(kJan31), "2026-01-31T14:05:09.007Z");
  }
  {
    ScopedTimeZone tz("Asia/Shanghai");
    EXPECT_EQ(formatIso8601(kJan31), "2026-01-31T22:05:09.007+08:00");
    EXPECT_EQ(formatLocalTimestamp(kJan31), "2026-01-31 22:05:09.007");
  }
  {
    ScopedTimeZone tz("America/St_Johns");  // -03:30 in winter
    EXPECT_EQ(formatIso8601(kJan31), "2026-01-31T10:35:09.007-03:30");
  }
}

TEST(TimeFormat, MillisTextHasNoFraction) {
  EXPECT_EQ(millisText(1769868309007.0), "1769868309007");
  EXPECT_EQ(millisText(1769868309007.6), "1769868309008");
  EXPECT_EQ(millisText(0), "0");
}

TEST(Uuid, IsUpperCaseVersion4AndFresh) {
  const std::regex shape("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
  std::set<std::string> seen;
  for (int i = 0; i < 100; ++i) {
    std::string u = newUuid();
    EXPECT_TRUE(std::regex_match(u, shape)) << u;
    seen.insert(u);
  }
  EXPECT_EQ(seen.size(), 100u);
}

}  // namespace
}  // namespace veltrix::platform
