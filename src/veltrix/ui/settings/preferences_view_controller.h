// Preferences: how the scan screen shows terminals (Radar View, the orbit,
// or List View) and whether it shows its settings item and its remember
// button. Every choice is stored at once; opening the screen writes the
// missing defaults and normalises the stored mode.
//
// Thread: the main loop. Ownership: the navigation stack owns the screen;
// recognisers and control actions capture it weakly.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "veltrix/platform/ui/view_controller.h"
#include "veltrix/ui/settings/scrolling_page.h"
#include "veltrix/ui/settings/settings_environment.h"

namespace veltrix::ui::settings {

inline constexpr std::string_view kPreferencesModeKey = "preferencesMode";
inline constexpr std::int64_t kRadarViewIndex = 0;
inline constexpr std::int64_t kListViewIndex = 1;

// The chosen tile for a stored, non-empty "preferencesMode": Radar View for
// a value whose integer is 1, List View for anything else.
std::int64_t preferencesIndexForMode(std::string_view mode);
// The stored value of a tile: "1" Radar View, "2" List View.
std::string preferencesModeForIndex(std::int64_t index);

class PreferencesViewController : public ViewController {
 public:
  explicit PreferencesViewController(SettingsEnvironment env = SettingsEnvironment::shared());

  void viewDidLoad() override;
  std::string typeName() const override { return "PreferencesViewController"; }

  std::int64_t selectedIndex() const { return selectedIndex_; }
  const std::shared_ptr<View>& radarViewContainer() const { return radar_.container; }
  const std::shared_ptr<View>& listViewContainer() const { return list_.container; }
  const std::shared_ptr<Button>& radarCheckBtn() const { return radar_.check; }
  const std::shared_ptr<Button>& listCheckBtn() const { return list_.check; }
  const std::shared_ptr<View>& settingSwitchContainer() const { return setting_.container; }
  const std::shared_ptr<View>& rememberSwitchContainer() const { return remember_.container; }
  const std::shared_ptr<Switch>& settingSwitch() const { return setting_.toggle; }
  const std::shared_ptr<Switch>& rememberSwitch() const { return remember_.toggle; }
  const std::shared_ptr<Label>& rememberTitleLabel() const { return remember_.title; }
  const std::shared_ptr<Label>& radarTitleLabel() const { return radar_.title; }
  const std::shared_ptr<Label>& listTitleLabel() const { return list_.title; }
  const std::shared_ptr<ScrollingPage>& page() const { return page_; }

  void radarViewTapped();
  void listViewTapped();
  void settingSwitchChanged();
  void rememberSwitchChanged();
  void settingRowTapped();
  void rememberRowTapped();
  void updateSelectedState();
  void updateSwitchState(const std::string& value, Switch& toggle, std::string_view key);

 private:
  struct Tile {
    std::shared_ptr<View> container;
    std::shared_ptr<ImageView> icon;
    std::shared_ptr<Label> title;
    std::shared_ptr<Button> check;
  };
  struct SwitchRow {
    std::shared_ptr<View> container;
    std::shared_ptr<Label> title;
    std::shared_ptr<Switch> toggle;
  };

  // The stored value of `key`, inserted as "1" when missing or empty.
  std::string settingWithDefault(std::string_view key);
  void setupUI();
  void setupConstraints();
  void setupActions();
  Tile makeTile(const char* image, const char* title);
  SwitchRow makeSwitchRow(const char* title);
  void constrainTile(const Tile& tile);
  void constrainSwitchRow(const SwitchRow& row, View& above);
  void setSelectedIndex(std::int64_t index);

  SettingsEnvironment env_;
  std::int64_t selectedIndex_ = kListViewIndex;
  std::shared_ptr<ScrollingPage> page_;
  std::shared_ptr<View> mainContainerView_;
  std::shared_ptr<Label> titleLabel_;
  Tile radar_;
  Tile list_;
  SwitchRow setting_;
  SwitchRow remember_;
};

}  // namespace veltrix::ui::settings
