// What the terminal scan screen decides, apart from its views: the service
// info dictionary, the filter of discovery reports, age bands, admission to
// the orbit and its geometry, and the texts the screen shows. Everything
// here is a pure function or a plain value, so tests need no window or
// clock.
//
// Thread: any (no shared state).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "veltrix/facade/scan_presenter.h"
#include "veltrix/platform/ui/geometry.h"

namespace veltrix::registry {
struct ServiceInfo;
}

namespace veltrix::ui::scan {

// One accepted terminal service, as the screen hands it to its bubbles, its
// list and the facade; or the "more" bubble's stand-in (model "more",
// isMore 1, no "isEnable").
struct ServiceInfoDict {
  std::string sn, model, address, uuidString, parameter, serviceType, serviceTypeName, serviceId,
      serviceName;
  int isEnable = 1;
  int isMore = 0;
  std::string createTime, updateTime;

  // The 13 keys; the integers as their decimal text.
  facade::ServiceDictionary toDictionary() const;
  // What tells services apart: (sn, serviceType, serviceId), viewing this
  // dictionary's texts.
  using ServiceKey = std::tuple<std::string_view, std::string_view, std::string_view>;
  ServiceKey serviceKey() const { return {sn, serviceType, serviceId}; }
  bool isMoreBubble() const { return model == "more"; }

  static ServiceInfoDict more();
};

// The dictionary of a discovered service accepted at `nowMillis`; false when
// one of its identity keys (serviceSn, serviceType, serviceId) is missing.
// Other missing values become "".
bool makeServiceInfoDict(const registry::ServiceInfo& info, std::int64_t nowMillis,
                         ServiceInfoDict* out);

// Milliseconds since 1970 as the screens write them ("%.0f").
std::string millisText(std::int64_t millis);

// --- filter ------------------------------------------------------------------

// The screen's state that the filter reads.
struct FilterState {
  std::string serviceType;
  std::string sn;         // static serial number; counts when longer than 10
  std::string serviceId;  // static service identifier; counts when non-empty
  std::string snList;     // whitelist, serial numbers joined by ":"
  std::string optionSN;   // the remembered terminal
  std::string optionMode;
  int optionType = 2;
  bool isScanAllService = false;
};

// What the screen does with one report, in the filter's order.
struct FilterOutcome {
  enum class Verdict { Reject, Duplicate, Accept };
  Verdict verdict = Verdict::Reject;
  // The remembered terminal answered while all were scanned: keep only its
  // entries (remember mode "2").
  bool narrowToRemembered = false;
  // The static serial number or identifier answered while all were
  // scanned: drop the other terminals' bubbles, items and entries.
  bool narrowToSn = false;
  bool narrowToServiceId = false;
  // isScanAllService after the steps that ran.
  bool isScanAllService = false;
};

// The filter of one discovered service (serial number `serviceSn`, type
// `type`, identifier `id`) given the state and the services accepted so far.
FilterOutcome filterService(const FilterState& state, std::string_view serviceSn,
                            std::string_view type, std::string_view id,
                            const std::vector<ServiceInfoDict>& accepted);

// Whether `sn` is one of the serial numbers of the whitelist (whole tokens
// between ":"); an empty serial number never is.
bool onWhitelist(std::string_view snList, std::string_view sn);

// --- ageing ------------------------------------------------------------------

enum class AgeBand { None, Fresh, Stale, Gone };
inline constexpr std::int64_t kStaleAfterMillis = 15000;
inline constexpr std::int64_t kGoneAfterMillis = 30000;
// Both bounds exclusive: exactly 15000, exactly 30000 and ages <= 0 change
// nothing.
AgeBand ageBand(std::int64_t ageMillis);

// The enabled and disabled icon names of a model; the t420 pair when either
// image is missing (bubbles and list rows, which show both).
struct IconNames {
  std::string enabled;
  std::string disabled;
};
IconNames iconNames(std::string_view model, bool (*imageExists)(std::string_view));
// The enabled icon name of a model, "icon_t420_enabled" only when that image
// is missing (grid tiles and the icon view, which show no other).
std::string enabledIconName(std::string_view model, bool (*imageExists)(std::string_view));
// Whether the library or the host has an image of that name.
bool libraryImageExists(std::string_view name);

// --- presentation ---------------------------------------------------------------

// "preferencesMode": integer value 1 is the orbit, anything else the list.
bool isOrbitMode(std::string_view preferencesMode);

// Header "%@ Service" and its bold font size by the type's length in
// characters: 40 up to 10 and for 13, 30 for 11 and 12, 26 from 14.
std::string headerText(std::string_view serviceType);
double headerFontSize(std::size_t characters);
// Characters (not bytes) of a UTF-8 text.
std::size_t characterCount(std::string_view text);

struct TopOffsets {
  double header, subHeader, collection;
};
// Landscape (wider than high): 30/70/90; otherwise 40/90/130.
TopOffsets topOffsets(Size bounds);

struct InstructionLines {
  std::string first, second;
};
InstructionLines instructionLines(bool orbit, bool pad);

// The remember button's title at start for an option type (the title of
// "Remember this terminal" comes from the remember code).
std::string rememberTitle(int optionType, std::string_view showString,
                          std::string_view rememberedTerminalTitle);

// --- orbit -------------------------------------------------------------------

inline constexpr std::size_t kMaxBubbles = 8;
inline constexpr std::size_t kMaxPlaces = 9;

struct Admission {
  std::size_t numberOfViews = 0;  // places on the circle
  bool toOverflow = false;        // the new service gets no bubble
  bool addMore = false;           // the "more" bubble is to be made
};
// Admission of a newly accepted service when `accepted` services are
// accepted (the new one included), `bubbles` bubbles exist, one of them the
// "more" bubble when `hasMore`, and `overflow` services wait in the
// overflow. The "more" bubble is made whenever the overflow is not empty
// after the admission and there is none yet, so every overflowed service
// can be reached through it.
Admission admit(std::size_t accepted, std::size_t bubbles, bool hasMore, std::size_t overflow);

inline constexpr double kOrbitRadiusPhone = 150;
inline constexpr double kOrbitRadiusPad = 170;
// How far a bubble's drawing reaches above and below the point it sits on
// at full size (its icon on top, the service line at the bottom), and where
// its three lines begin below that point.
inline constexpr double kBubbleReachUp = 50;
inline constexpr double kBubbleReachDown = 66;
inline constexpr double kBubbleLinesTop = 10;
// Below this the bubbles pile onto each other and the centre disc; the
// bubbles are drawn smaller instead.
inline constexpr double kSmallestOrbitRadius = 90;
// The bubbles' lines are 200 wide as designed; narrower where neighbours or
// the screen's edges leave less, and the orbit keeps at least this much
// room for them at its sides before the bubbles are drawn smaller.
inline constexpr double kBubbleLineWidth = 200;
inline constexpr double kPreferredBubbleLineWidth = 86;
// Between neighbours' lines, in points on screen.
inline constexpr double kBubbleLineGap = 4;
// The smallest a bubble is drawn (its icon and lines together).
inline constexpr double kSmallestBubbleScale = 0.6;
// The height of the smallest orbit at full size: a band lower than this
// takes the orbit beside the texts (a phone on its side).
inline constexpr double kSmallestOrbitHeight =
    2 * kSmallestOrbitRadius + kBubbleReachUp + kBubbleReachDown;

struct Orbit {
  Point center;
  double radius = 0;
  // The bubbles are drawn at `bubbleScale` about their point, their lines
  // `lineWidth` wide (in the bubble's own points).
  double bubbleScale = 1;
  double lineWidth = kBubbleLineWidth;
};
// The orbit of `places` bubbles in `room`, the rectangle every bubble's
// drawing must stay in whatever its angle: centred in it, with `largest` as
// the radius and full-size bubbles where they fit. Where they do not, the
// radius shrinks (not below kSmallestOrbitRadius) and the bubbles are drawn
// smaller (not below kSmallestBubbleScale) until neighbours on the circle
// stay clear of each other (a bubble above its neighbour at the circle's
// sides, their lines side by side at its top and bottom); the lines are as
// wide as the room at the circle's sides and between neighbours leaves, so
// no two neighbours' lines overlap at any angle.
Orbit fitOrbit(const Rect& room, double largest, std::size_t places);
// Angle 0 points right; angles grow clockwise on screen.
Point orbitPoint(Point centre, double radius, double angle);
// Place i of n: 2π·i/n, with i clamped to [0, n).
double slotAngle(std::int64_t index, std::size_t places);

// The last `count` characters (not bytes) of a UTF-8 text, or the whole of
// a shorter one: a serial number shortened where room is short.
std::string_view lastCharacters(std::string_view text, std::size_t count);
inline constexpr std::size_t kShortSerialCharacters = 4;
// "(*A1B2)": the last four characters of a serial number (orbit bubbles and
// grid tiles).
std::string shortSerial(std::string_view sn);

// "NO %@ in %@, showing all supported devices."
std::string showAllMessage(std::string_view serviceType, std::string_view optionSn);

}  // namespace veltrix::ui::scan
