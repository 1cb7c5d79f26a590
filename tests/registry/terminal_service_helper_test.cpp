#include "veltrix/registry/terminal_service_helper.h"

#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <string>

namespace veltrix::registry {
namespace {

TEST(TerminalServiceHelperTest, NamesTheThirtyTwoServices) {
  EXPECT_EQ(TerminalServiceHelper::stringForService(0), "Display");
  EXPECT_EQ(TerminalServiceHelper::stringForService(3), "Purchase");
  EXPECT_EQ(TerminalServiceHelper::stringForService(4), "Scan Code Purchase");
  EXPECT_EQ(TerminalServiceHelper::stringForService(9), "PreAuth Completion");
  EXPECT_EQ(TerminalServiceHelper::stringForService(17), "Clear Reversal Flag");
  EXPECT_EQ(TerminalServiceHelper::stringForService(28), "InitialisationCardReader");
  EXPECT_EQ(TerminalServiceHelper::stringForService(31), "Transmission");
  // 18 and 21 share one name; no number inside the table is "Unknown".
  EXPECT_EQ(TerminalServiceHelper::stringForService(18), "BalanceInquiry");
  EXPECT_EQ(TerminalServiceHelper::stringForService(21), "BalanceInquiry");
  std::set<std::string> names;
  for (std::int64_t n = 0; n < kServiceCount; ++n) {
    const std::string name = TerminalServiceHelper::stringForService(n);
    EXPECT_NE(name, "Unknown") << n;
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 31u);
}

TEST(TerminalServiceHelperTest, UnknownOutsideTheTable) {
  for (std::int64_t n :
       {std::int64_t{-1}, std::int64_t{32}, std::numeric_limits<std::int64_t>::min(),
        std::numeric_limits<std::int64_t>::max()}) {
    EXPECT_EQ(TerminalServiceHelper::stringForService(n), "Unknown") << n;
  }
}

}  // namespace
}  // namespace veltrix::registry
