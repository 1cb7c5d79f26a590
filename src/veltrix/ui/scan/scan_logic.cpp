#include "veltrix/ui/scan/scan_logic.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <numbers>

#include "veltrix/platform/ui/image.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/registry/terminal_info.h"

namespace veltrix::ui::scan {

facade::ServiceDictionary ServiceInfoDict::toDictionary() const {
  facade::ServiceDictionary d;
  d["sn"] = sn;
  d["model"] = model;
  d["address"] = address;
  d["uuidString"] = uuidString;
  d["parameter"] = parameter;
  d["serviceType"] = serviceType;
  d["serviceTypeName"] = serviceTypeName;
  d["serviceId"] = serviceId;
  d["serviceName"] = serviceName;
  d["isEnable"] = std::to_string(isEnable);
  d["isMore"] = std::to_string(isMore);
  d["createTime"] = createTime;
  d["updateTime"] = updateTime;
  return d;
}

ServiceInfoDict ServiceInfoDict::more() {
  ServiceInfoDict d;
  d.model = "more";
  d.isMore = 1;
  d.isEnable = 0;  // the "more" dictionary has no "isEnable": never chosen by a drop
  return d;
}

std::string millisText(std::int64_t millis) { return fmt::format("{}", millis); }

bool makeServiceInfoDict(const registry::ServiceInfo& info, std::int64_t nowMillis,
                         ServiceInfoDict* out) {
  if (!info.serviceSn || !info.serviceType || !info.serviceId) return false;
  ServiceInfoDict d;
  d.sn = *info.serviceSn;
  d.model = info.model.value_or("");
  d.address = info.address.value_or("");
  d.uuidString = info.uuidString.value_or("");
  d.parameter = info.parameter.value_or("");
  d.serviceType = *info.serviceType;
  d.serviceTypeName = info.serviceTypeName.value_or("");
  d.serviceId = *info.serviceId;
  d.serviceName = info.serviceName.value_or("");
  d.createTime = millisText(nowMillis);
  d.updateTime = d.createTime;
  *out = std::move(d);
  return true;
}

bool onWhitelist(std::string_view snList, std::string_view sn) {
  if (sn.empty()) return false;
  std::size_t start = 0;
  while (start <= snList.size()) {
    std::size_t end = snList.find(':', start);
    if (end == std::string_view::npos) end = snList.size();
    if (snList.substr(start, end - start) == sn) return true;
    start = end + 1;
  }
  return false;
}

FilterOutcome filterService(const FilterState& state, std::string_view serviceSn,
                            std::string_view type, std::string_view id,
                            const std::vector<ServiceInfoDict>& accepted) {
  FilterOutcome out;
  bool scanAll = state.isScanAllService;
  auto finish = [&](FilterOutcome::Verdict verdict) {
    out.verdict = verdict;
    out.isScanAllService = scanAll;
    return out;
  };
  const bool remembered = !state.optionSN.empty() && state.optionType == 2;
  const bool staticSn = characterCount(state.sn) > 10;
  const bool staticId = !state.serviceId.empty();

  if (type != state.serviceType) return finish(FilterOutcome::Verdict::Reject);
  if (remembered && serviceSn == state.optionSN && scanAll) {
    out.narrowToRemembered = true;
    if (state.optionMode == "2") scanAll = false;
  }
  if (remembered && serviceSn != state.optionSN && !scanAll) {
    return finish(FilterOutcome::Verdict::Reject);
  }
  if (staticSn && serviceSn != state.sn && !scanAll) return finish(FilterOutcome::Verdict::Reject);
  if (staticSn && serviceSn == state.sn && scanAll) {
    scanAll = false;
    out.narrowToSn = true;
  }
  if (staticId && id != state.serviceId && !scanAll) return finish(FilterOutcome::Verdict::Reject);
  if (staticId && id == state.serviceId && scanAll) {
    scanAll = false;
    out.narrowToServiceId = true;
  }
  if (!state.snList.empty() && !onWhitelist(state.snList, serviceSn)) {
    return finish(FilterOutcome::Verdict::Reject);
  }
  const bool duplicate = std::any_of(accepted.begin(), accepted.end(), [&](const auto& d) {
    return d.sn == serviceSn && d.serviceId == id && d.serviceType == type;
  });
  return finish(duplicate ? FilterOutcome::Verdict::Duplicate : FilterOutcome::Verdict::Accept);
}

AgeBand ageBand(std::int64_t ageMillis) {
  if (ageMillis <= 0 || ageMillis == kStaleAfterMillis || ageMillis == kGoneAfterMillis) {
    return AgeBand::None;
  }
  if (ageMillis < kStaleAfterMillis) return AgeBand::Fresh;
  if (ageMillis < kGoneAfterMillis) return AgeBand::Stale;
  return AgeBand::Gone;
}

namespace {

std::string lowerAscii(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

// Terminals name their model in words ("TMIX Z3"); the library's artwork
// joins them with underscores ("icon_tmix_z3_enabled"). The model as it
// stands comes first, so a host's own picture of that name still wins.
std::array<std::string, 2> artworkStems(std::string_view model) {
  const std::string lower = lowerAscii(model);
  std::string joined = lower;
  std::replace_if(
      joined.begin(), joined.end(), [](unsigned char c) { return !std::isalnum(c); }, '_');
  return {lower, joined};
}

}  // namespace

IconNames iconNames(std::string_view model, bool (*imageExists)(std::string_view)) {
  for (const std::string& name : artworkStems(model)) {
    IconNames names{fmt::format("icon_{}_enabled", name), fmt::format("icon_{}_disabled", name)};
    if (imageExists(names.enabled) && imageExists(names.disabled)) return names;
  }
  return {"icon_t420_enabled", "icon_t420_disabled"};
}

std::string enabledIconName(std::string_view model, bool (*imageExists)(std::string_view)) {
  for (const std::string& stem : artworkStems(model)) {
    std::string name = fmt::format("icon_{}_enabled", stem);
    if (imageExists(name)) return name;
  }
  return "icon_t420_enabled";
}

bool libraryImageExists(std::string_view name) { return loadImageNamed(name) != nullptr; }

bool isOrbitMode(std::string_view preferencesMode) {
  return registry::leadingInteger(preferencesMode) == 1;
}

std::string headerText(std::string_view serviceType) {
  return fmt::format("{} Service", serviceType);
}

double headerFontSize(std::size_t characters) {
  if (characters == 11 || characters == 12) return 30;
  if (characters >= 14) return 26;
  return 40;
}

std::size_t characterCount(std::string_view text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

TopOffsets topOffsets(Size bounds) {
  if (bounds.width > bounds.height) return {30, 70, 90};
  return {40, 90, 130};
}

Orbit fitOrbit(const Rect& room, double largest, std::size_t places) {
  const double reach = kBubbleReachUp + kBubbleReachDown;
  const double lines = kBubbleReachDown - kBubbleLinesTop;
  // Neighbours' distance per point of radius (none for a single bubble).
  const double chord =
      places >= 2 ? 2 * std::sin(std::numbers::pi / static_cast<double>(places)) : 0;
  const auto radiusAt = [&](double scale) {
    return std::min({largest, (room.size.height - scale * reach) / 2,
                     (room.size.width - scale * kPreferredBubbleLineWidth) / 2});
  };
  const auto fits = [&](double scale, double radius) {
    if (radius < kSmallestOrbitRadius) return false;
    if (places < 2) return true;
    const double apart = radius * chord;
    // One above the other at the circle's sides; lines side by side (or
    // corner to corner) elsewhere.
    return scale * reach <= apart &&
           scale * std::hypot(kPreferredBubbleLineWidth, lines) + kBubbleLineGap <= apart;
  };
  // Hundredths, largest first: the first that fits, else the smallest.
  double scale = kSmallestBubbleScale;
  const long smallest = std::lround(kSmallestBubbleScale * 100);
  for (long hundredths = 100; hundredths >= smallest; --hundredths) {
    const double s = static_cast<double>(hundredths) / 100;
    if (fits(s, radiusAt(s))) {
      scale = s;
      break;
    }
  }
  const double radius = std::clamp(radiusAt(scale), kSmallestOrbitRadius, largest);
  // At angle 0 and pi the lines reach the room's sides; neighbours' lines
  // clear each other at any angle when their box's diagonal is no longer
  // than the neighbours' distance.
  double width = std::min(kBubbleLineWidth, (room.size.width - 2 * radius) / scale);
  if (places >= 2) {
    const double apart = radius * chord;
    const double high = scale * lines;
    width = std::min(
        width, (std::sqrt(std::max(0.0, apart * apart - high * high)) - kBubbleLineGap) / scale);
  }
  const Point mid = room.mid();
  return {Point{mid.x, mid.y + scale * (kBubbleReachUp - kBubbleReachDown) / 2}, radius, scale,
          std::max(0.0, width)};
}

InstructionLines instructionLines(bool orbit, bool pad) {
  if (!orbit) return {"Select a target device to interact.", ""};
  if (pad) return {"Drag a device to the center to interact with it.", ""};
  return {"Drag a device to the center to ", "interact with it."};
}

std::string rememberTitle(int optionType, std::string_view showString,
                          std::string_view rememberedTerminalTitle) {
  switch (optionType) {
    case 0:
      return "Choose service every time    ";
    case 1:
      return "Remember this service    ";
    case 2:
      return std::string(rememberedTerminalTitle);
    default:
      return std::string(showString);
  }
}

Admission admit(std::size_t accepted, std::size_t bubbles, bool hasMore, std::size_t overflow) {
  Admission a;
  a.numberOfViews = std::min(accepted, kMaxPlaces);
  const std::size_t full = hasMore ? kMaxPlaces : kMaxBubbles;
  a.toOverflow = accepted > kMaxBubbles && bubbles >= full;
  a.addMore = !hasMore && (a.toOverflow || overflow > 0);
  return a;
}

Point orbitPoint(Point centre, double radius, double angle) {
  return {centre.x + radius * std::cos(angle), centre.y + radius * std::sin(angle)};
}

double slotAngle(std::int64_t index, std::size_t places) {
  if (places == 0) return 0;
  const auto n = static_cast<std::int64_t>(places);
  index = std::clamp<std::int64_t>(index, 0, n - 1);
  return 2 * std::numbers::pi * static_cast<double>(index) / static_cast<double>(n);
}

std::string_view lastCharacters(std::string_view text, std::size_t count) {
  // Back up over whole characters: a cut inside one would leave bytes that
  // are not UTF-8.
  std::size_t start = text.size();
  std::size_t chars = 0;
  while (start > 0 && chars < count) {
    --start;
    if ((static_cast<unsigned char>(text[start]) & 0xC0) != 0x80) ++chars;
  }
  return text.substr(start);
}

std::string shortSerial(std::string_view sn) {
  return fmt::format("(*{})", lastCharacters(sn, kShortSerialCharacters));
}

std::string showAllMessage(std::string_view serviceType, std::string_view optionSn) {
  return fmt::format("NO {} in {}, showing all supported devices.", serviceType, optionSn);
}

}  // namespace veltrix::ui::scan
