#include "veltrix/platform/ui/device.h"

namespace veltrix::ui {
namespace {

DeviceProfile& current() {
  static auto& profile = *new DeviceProfile(DeviceProfile::phone());
  return profile;
}

}  // namespace

DeviceProfile DeviceProfile::phone() {
  DeviceProfile p;
  p.name = "phone";
  p.idiom = Idiom::Phone;
  p.portraitSize = {390, 844};
  p.scale = 3;
  p.portraitSafeArea = {47, 0, 34, 0};
  p.landscapeSafeArea = {0, 47, 21, 47};
  p.portraitStatusBar = 47;
  p.landscapeStatusBar = 0;
  p.navigationBarHeight = 44;
  return p;
}

DeviceProfile DeviceProfile::smallPhone() {
  DeviceProfile p;
  p.name = "small";
  p.idiom = Idiom::Phone;
  p.portraitSize = {320, 568};
  p.scale = 2;
  p.portraitSafeArea = {20, 0, 0, 0};
  p.landscapeSafeArea = {0, 0, 0, 0};
  p.portraitStatusBar = 20;
  p.landscapeStatusBar = 0;
  p.navigationBarHeight = 44;
  return p;
}

DeviceProfile DeviceProfile::pad() {
  DeviceProfile p;
  p.name = "pad";
  p.idiom = Idiom::Pad;
  p.portraitSize = {820, 1180};
  p.scale = 2;
  p.portraitSafeArea = {24, 0, 20, 0};
  p.landscapeSafeArea = {24, 0, 20, 0};
  p.portraitStatusBar = 24;
  p.landscapeStatusBar = 24;
  p.navigationBarHeight = 50;
  return p;
}

const DeviceProfile& currentDevice() { return current(); }
void setCurrentDevice(const DeviceProfile& profile) { current() = profile; }

Screen mainScreen() {
  const DeviceProfile& d = current();
  return {Rect{Point{0, 0}, d.size()}, d.scale};
}

}  // namespace veltrix::ui
