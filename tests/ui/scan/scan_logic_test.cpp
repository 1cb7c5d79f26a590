// The scan screen's decisions without a window: the discovery filter, age
// bands, texts, admission to the orbit and its geometry.
#include "veltrix/ui/scan/scan_logic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "veltrix/registry/terminal_info.h"

namespace veltrix::ui::scan {
namespace {

using Verdict = FilterOutcome::Verdict;

constexpr const char* kRemembered = "TAVIO-REM-001";
constexpr const char* kStatic = "TAVIO-STA-001";

ServiceInfoDict accepted(std::string sn, std::string id, std::string type = "Purchase") {
  ServiceInfoDict d;
  d.sn = std::move(sn);
  d.serviceId = std::move(id);
  d.serviceType = std::move(type);
  return d;
}

struct FilterCase {
  const char* name;
  FilterState state;
  std::string sn, type, id;
  std::vector<ServiceInfoDict> accepted;
  Verdict verdict;
  bool scanAllAfter;
  bool narrowSn = false, narrowId = false, narrowRemembered = false;
};

TEST(ScanFilterTest, StepsInOrder) {
  FilterState plain;
  plain.serviceType = "Purchase";
  FilterState whitelist = plain;
  whitelist.snList = "AAA111:BBB222";
  FilterState remembered = plain;
  remembered.optionSN = kRemembered;
  remembered.optionMode = "2";
  FilterState rememberedAll = remembered;
  rememberedAll.isScanAllService = true;
  FilterState rememberedAllMode1 = rememberedAll;
  rememberedAllMode1.optionMode = "1";
  FilterState staticSn = plain;
  staticSn.sn = kStatic;
  FilterState staticSnAll = staticSn;
  staticSnAll.isScanAllService = true;
  FilterState tenChars = plain;
  tenChars.sn = "TAVIO-0010";
  FilterState staticId = plain;
  staticId.serviceId = "7";
  FilterState staticIdAll = staticId;
  staticIdAll.isScanAllService = true;

  const std::vector<FilterCase> cases = {
      {"any terminal without constraints",
       plain,
       "T1",
       "Purchase",
       "1",
       {},
       Verdict::Accept,
       false},
      {"another type", plain, "T1", "Refund", "1", {}, Verdict::Reject, false},
      {"type differs in case", plain, "T1", "purchase", "1", {}, Verdict::Reject, false},
      {"whitelisted token", whitelist, "BBB222", "Purchase", "1", {}, Verdict::Accept, false},
      {"substring of a token", whitelist, "B222", "Purchase", "1", {}, Verdict::Reject, false},
      {"not whitelisted", whitelist, "CCC333", "Purchase", "1", {}, Verdict::Reject, false},
      {"empty sn and a whitelist", whitelist, "", "Purchase", "1", {}, Verdict::Reject, false},
      {"same service again",
       plain,
       "T1",
       "Purchase",
       "1",
       {accepted("T1", "1")},
       Verdict::Duplicate,
       false},
      {"other service of the terminal",
       plain,
       "T1",
       "Purchase",
       "2",
       {accepted("T1", "1")},
       Verdict::Accept,
       false},
      {"remembered terminal only", remembered, "T1", "Purchase", "1", {}, Verdict::Reject, false},
      {"the remembered terminal",
       remembered,
       kRemembered,
       "Purchase",
       "1",
       {},
       Verdict::Accept,
       false},
      {"scan-all accepts others", rememberedAll, "T1", "Purchase", "1", {}, Verdict::Accept, true},
      {"remembered found while scanning all",
       rememberedAll,
       kRemembered,
       "Purchase",
       "1",
       {},
       Verdict::Accept,
       false,
       false,
       false,
       true},
      {"remembered found, mode 1 keeps scanning all",
       rememberedAllMode1,
       kRemembered,
       "Purchase",
       "1",
       {},
       Verdict::Accept,
       true,
       false,
       false,
       true},
      {"static sn only", staticSn, "T1", "Purchase", "1", {}, Verdict::Reject, false},
      {"static sn found while scanning all",
       staticSnAll,
       kStatic,
       "Purchase",
       "1",
       {},
       Verdict::Accept,
       false,
       true},
      {"an sn of 10 characters does not count",
       tenChars,
       "T1",
       "Purchase",
       "1",
       {},
       Verdict::Accept,
       false},
      {"static identifier only", staticId, "T1", "Purchase", "8", {}, Verdict::Reject, false},
      {"static identifier found while scanning all",
       staticIdAll,
       "T1",
       "Purchase",
       "7",
       {},
       Verdict::Accept,
       false,
       false,
       true},
  };
  for (const auto& c : cases) {
    const FilterOutcome out = filterService(c.state, c.sn, c.type, c.id, c.accepted);
    EXPECT_EQ(out.verdict, c.verdict) << c.name;
    EXPECT_EQ(out.isScanAllService, c.scanAllAfter) << c.name;
    EXPECT_EQ(out.narrowToSn, c.narrowSn) << c.name;
    EXPECT_EQ(out.narrowToServiceId, c.narrowId) << c.name;
    EXPECT_EQ(out.narrowToRemembered, c.narrowRemembered) << c.name;
  }
}

TEST(ScanFilterTest, WhitelistComparesWholeSerialNumbers) {
  EXPECT_TRUE(onWhitelist("AAA111", "AAA111"));
  EXPECT_TRUE(onWhitelist("AAA111:BBB222", "AAA111"));
  EXPECT_FALSE(onWhitelist("AAA111:BBB222", "AAA"));
  EXPECT_FALSE(onWhitelist("AAA111:BBB222", "AAA111:BBB222"));
  EXPECT_FALSE(onWhitelist("AAA111::BBB222", ""));
}

TEST(ScanDictTest, BuiltFromADiscoveredService) {
  registry::ServiceInfo info;
  info.serviceSn = "TAVIO-SIM-0001";
  info.model = "T420";
  info.address = "127.0.0.2:8080";
  info.parameter = "http";
  info.serviceType = "Purchase";
  info.serviceTypeName = "Payment";
  info.serviceId = "1";
  info.serviceName = "Card";
  ServiceInfoDict d;
  ASSERT_TRUE(makeServiceInfoDict(info, 1767225600123, &d));
  const auto dict = d.toDictionary();
  EXPECT_EQ(dict.size(), 13u);
  EXPECT_EQ(dict.at("uuidString"), "");
  EXPECT_EQ(dict.at("isEnable"), "1");
  EXPECT_EQ(dict.at("isMore"), "0");
  EXPECT_EQ(dict.at("createTime"), "1767225600123");
  EXPECT_EQ(dict.at("updateTime"), dict.at("createTime"));

  info.serviceId.reset();
  EXPECT_FALSE(makeServiceInfoDict(info, 1, &d)) << "identity keys are required";
}

TEST(ScanAgeTest, BandsHaveExclusiveBounds) {
  const std::vector<std::pair<std::int64_t, AgeBand>> cases = {
      {-5, AgeBand::None},     {0, AgeBand::None},
      {1, AgeBand::Fresh},     {14999, AgeBand::Fresh},
      {15000, AgeBand::None},  {15001, AgeBand::Stale},
      {29999, AgeBand::Stale}, {30000, AgeBand::None},
      {30001, AgeBand::Gone},  {1767225600000, AgeBand::Gone},
  };
  for (const auto& [age, band] : cases) EXPECT_EQ(ageBand(age), band) << age;
}

TEST(ScanAgeTest, IconsFallBackToTheT420Pair) {
  auto onlyEnabled = [](std::string_view name) { return name == "icon_t1_enabled"; };
  auto both = [](std::string_view name) { return name.starts_with("icon_t1_"); };
  EXPECT_EQ(iconNames("T1", +both).disabled, "icon_t1_disabled");
  EXPECT_EQ(iconNames("T1", +onlyEnabled).enabled, "icon_t420_enabled");
  EXPECT_EQ(iconNames("T1", +onlyEnabled).disabled, "icon_t420_disabled");
  // A model named in words reaches artwork named with underscores.
  auto z3 = [](std::string_view name) { return name.starts_with("icon_tmix_z3_"); };
  EXPECT_EQ(iconNames("TMIX Z3", +z3).enabled, "icon_tmix_z3_enabled");
  EXPECT_EQ(iconNames("Tmix-Z3", +z3).disabled, "icon_tmix_z3_disabled");
}

TEST(ScanTextsTest, HeaderAndInstructions) {
  EXPECT_EQ(headerText("Purchase"), "Purchase Service");
  const std::vector<std::pair<std::size_t, double>> sizes = {{1, 40},  {10, 40}, {11, 30}, {12, 30},
                                                             {13, 40}, {14, 26}, {30, 26}};
  for (const auto& [len, size] : sizes) EXPECT_EQ(headerFontSize(len), size) << len;
  EXPECT_EQ(characterCount("Zahlung Ä"), 9u);

  EXPECT_EQ(instructionLines(true, false).first, "Drag a device to the center to ");
  EXPECT_EQ(instructionLines(true, false).second, "interact with it.");
  EXPECT_EQ(instructionLines(true, true).first, "Drag a device to the center to interact with it.");
  EXPECT_EQ(instructionLines(true, true).second, "");
  EXPECT_EQ(instructionLines(false, true).first, "Select a target device to interact.");
  EXPECT_EQ(instructionLines(false, false).second, "");

  EXPECT_EQ(topOffsets({390, 844}).header, 40);
  EXPECT_EQ(topOffsets({390, 844}).subHeader, 90);
  EXPECT_EQ(topOffsets({844, 390}).header, 30);
  EXPECT_EQ(topOffsets({844, 390}).subHeader, 70);
  EXPECT_EQ(topOffsets({844, 390}).collection, 90);

  EXPECT_TRUE(isOrbitMode("1"));
  EXPECT_TRUE(isOrbitMode(" 1x"));
  EXPECT_FALSE(isOrbitMode(""));
  EXPECT_FALSE(isOrbitMode("2"));
  EXPECT_EQ(showAllMessage("Purchase", "T9"), "NO Purchase in T9, showing all supported devices.");
  EXPECT_EQ(rememberTitle(0, "", ""), "Choose service every time    ");
  EXPECT_EQ(rememberTitle(3, "hint", ""), "hint");
}

TEST(ScanTextsTest, ShortSerialCountsCharacters) {
  EXPECT_EQ(shortSerial("TAVIO-A1B2"), "(*A1B2)");
  EXPECT_EQ(shortSerial("AB"), "(*AB)");
  EXPECT_EQ(shortSerial(""), "(*)");
  EXPECT_EQ(shortSerial("XÄÖÜß"), "(*ÄÖÜß)");
}

TEST(ScanOrbitTest, AdmissionKeepsEightBubblesAndMore) {
  // Services 1 to 8 get bubbles; the ninth goes to the overflow and brings
  // the "more" bubble; later ones only overflow.
  std::size_t bubbles = 0;
  bool hasMore = false;
  std::size_t overflow = 0;
  for (std::size_t accepted = 1; accepted <= 11; ++accepted) {
    const Admission a = admit(accepted, bubbles, hasMore, overflow);
    EXPECT_EQ(a.numberOfViews, std::min<std::size_t>(accepted, 9));
    if (a.toOverflow) {
      ++overflow;
    } else {
      ++bubbles;
    }
    if (a.addMore) {
      ++bubbles;
      hasMore = true;
    }
  }
  EXPECT_EQ(bubbles, 9u);
  EXPECT_TRUE(hasMore);
  EXPECT_EQ(overflow, 3u);
}

TEST(ScanOrbitTest, PlacesOnTheCircle) {
  const Point c{195, 422};
  const Point right = orbitPoint(c, 150, 0);
  EXPECT_DOUBLE_EQ(right.x, 345);
  EXPECT_DOUBLE_EQ(right.y, 422);
  const Point below = orbitPoint(c, 150, std::numbers::pi / 2);
  EXPECT_NEAR(below.x, 195, 1e-9);
  EXPECT_NEAR(below.y, 572, 1e-9) << "angles grow clockwise on screen";
  EXPECT_DOUBLE_EQ(slotAngle(3, 9), 2 * std::numbers::pi * 3 / 9);
  EXPECT_DOUBLE_EQ(slotAngle(12, 9), 2 * std::numbers::pi * 8 / 9) << "index clamped";
  EXPECT_DOUBLE_EQ(slotAngle(-1, 9), 0);
}

}  // namespace
}  // namespace veltrix::ui::scan
