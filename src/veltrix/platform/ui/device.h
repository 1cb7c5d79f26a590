// Device profiles: what the UI layer takes from the phone or tablet the
// screens run on (idiom, screen size and scale, safe-area insets, status and
// navigation bar heights, system version).
//
// The process has one current profile (the screen), set by tests and by the
// window that runs the screens. Thread: the main loop.
#pragma once

#include <cstdint>
#include <string>

#include "veltrix/platform/ui/geometry.h"

namespace veltrix::ui {

enum class Idiom : std::int64_t { Phone, Pad };

struct DeviceProfile {
  std::string name;
  Idiom idiom = Idiom::Phone;
  Size portraitSize;  // points, portrait
  double scale = 2;   // pixels per point
  int systemMajor = 17;
  int systemMinor = 0;
  bool landscape = false;
  Insets portraitSafeArea;   // status bar and home indicator
  Insets landscapeSafeArea;  // sensor housing and home indicator
  double portraitStatusBar = 0;
  double landscapeStatusBar = 0;
  double navigationBarHeight = 44;

  // Screen size in the current orientation.
  Size size() const {
    return landscape ? Size{portraitSize.height, portraitSize.width} : portraitSize;
  }
  Insets safeArea() const { return landscape ? landscapeSafeArea : portraitSafeArea; }
  double statusBarHeight() const { return landscape ? landscapeStatusBar : portraitStatusBar; }
  bool isPad() const { return idiom == Idiom::Pad; }
  // True from system version `major` on.
  bool systemAtLeast(int major) const { return systemMajor >= major; }
  DeviceProfile inOrientation(bool isLandscape) const {
    DeviceProfile p = *this;
    p.landscape = isLandscape;
    return p;
  }
  DeviceProfile withSystem(int major, int minor = 0) const {
    DeviceProfile p = *this;
    p.systemMajor = major;
    p.systemMinor = minor;
    return p;
  }

  // A 390 x 844 phone at scale 3: status bar 47, home indicator 34; in
  // landscape no status bar, 47 at each side and 21 at the bottom.
  static DeviceProfile phone();
  // A 320 x 568 phone at scale 2 without home indicator; status bar 20.
  static DeviceProfile smallPhone();
  // An 820 x 1180 tablet at scale 2: status bar 24, home indicator 20 in both
  // orientations; navigation bar 50.
  static DeviceProfile pad();
};

const DeviceProfile& currentDevice();
void setCurrentDevice(const DeviceProfile& profile);

// The main screen: its bounds in the current orientation and its scale.
struct Screen {
  Rect bounds;
  double scale = 2;
};
Screen mainScreen();

}  // namespace veltrix::ui
