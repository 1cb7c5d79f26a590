#include "veltrix/ui/settings/preferences_view_controller.h"

#include "veltrix/facade/retailer_setting_manager.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/ui/gesture.h"
#include "veltrix/platform/ui/image.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/ui/settings/settings_style.h"

namespace veltrix::ui::settings {

namespace {

constexpr double kPreferencesMargin = 20;
constexpr double kPreferencesCardCornerRadius = 16;
constexpr double kTitleToTiles = 30;
constexpr double kTileGap = 10;
constexpr double kTileHeight = 200;
constexpr double kIconSize = 100;
constexpr double kTileSpacing = 10;
constexpr double kCheckSize = 28;
constexpr double kPreferencesRowHeight = 60;
constexpr double kChosenTileAlpha = 0.1;
// Our choice: the chosen tile's tint follows the card's rounding.
constexpr double kTileCornerRadius = 12;
constexpr double kSmallestTileTitleScale = 0.6;

}  // namespace

std::int64_t preferencesIndexForMode(std::string_view mode) {
  return registry::leadingInteger(mode) == 1 ? kRadarViewIndex : kListViewIndex;
}

std::string preferencesModeForIndex(std::int64_t index) {
  return index == kRadarViewIndex ? "1" : "2";
}

PreferencesViewController::PreferencesViewController(SettingsEnvironment env)
    : env_(std::move(env)) {}

void PreferencesViewController::viewDidLoad() {
  setTitle("Preferences");
  view().setBackgroundColor(backdropColor());

  const std::string mode = env_.database->fetchSetting(kPreferencesModeKey);
  platform::logf("mode = {}", mode);
  if (!mode.empty()) {
    selectedIndex_ = preferencesIndexForMode(mode);
  } else {
    env_.database->insertSetting(kPreferencesModeKey, preferencesModeForIndex(kListViewIndex));
    selectedIndex_ = kListViewIndex;
  }
  const std::string showSetting = settingWithDefault(facade::show_setting);
  const std::string showRemember = settingWithDefault(facade::show_remember);

  setupUI();
  setupConstraints();
  setupActions();
  // Also rewrites a mode other than "1" or "2" as "2".
  updateSelectedState();
  updateSwitchState(showSetting, *setting_.toggle, facade::show_setting);
  updateSwitchState(showRemember, *remember_.toggle, facade::show_remember);
}

std::string PreferencesViewController::settingWithDefault(std::string_view key) {
  std::string value = env_.database->fetchSetting(key);
  if (value.empty()) {
    value.assign(1, '1');  // not `= "1"`: GCC 12 at -O3 misjudges that copy
    env_.database->insertSetting(key, value);
  }
  return value;
}

// ---- views ---------------------------------------------------------------------------------

void PreferencesViewController::setupUI() {
  page_ = ScrollingPage::install(view());
  mainContainerView_ = makeCard(kPreferencesCardCornerRadius);
  page_->content().addSubview(mainContainerView_);
  titleLabel_ = makeLabel("Services Display", Font::system(22, FontWeight::Semibold));
  titleLabel_->textAlignment = TextAlignment::Natural;
  mainContainerView_->addSubview(titleLabel_);

  radar_ = makeTile("radarview", "Radar View");
  list_ = makeTile("listview", "List View");
  setting_ = makeSwitchRow("Show Setting icon");
  remember_ = makeSwitchRow("Show Remember Option");
}

PreferencesViewController::Tile PreferencesViewController::makeTile(const char* image,
                                                                    const char* title) {
  Tile tile;
  tile.container = makeLaidOut();
  tile.container->setBackgroundColor(Color::clear());
  tile.container->cornerRadius = kTileCornerRadius;
  mainContainerView_->addSubview(tile.container);

  tile.icon = makeLaidOut<ImageView>();
  if (ImagePtr picture = loadImageNamed(image)) {
    tile.icon->setImage(picture->withRenderingMode(RenderingMode::AlwaysTemplate));
  }
  tile.icon->setTintColor(Color::systemBlue());
  tile.icon->contentMode = ContentMode::AspectFit;
  tile.container->addSubview(tile.icon);

  tile.title = makeLabel(title, Font::system(17, FontWeight::Medium));
  tile.title->textAlignment = TextAlignment::Center;
  // The small phone's tiles are narrower than the title.
  tile.title->adjustsFontSizeToFitWidth = true;
  tile.title->minimumScaleFactor = kSmallestTileTitleScale;
  tile.container->addSubview(tile.title);

  // The chosen tile shows the filled mark: its button is *not* selected.
  tile.check = makeLaidOut<Button>();
  tile.check->setImage(Image::systemNamed("checkmark.circle.fill"), ControlState::Normal);
  tile.check->setImage(Image::systemNamed("circle"), ControlState::Selected);
  tile.check->setTintColor(Color::systemBlue());
  tile.container->addSubview(tile.check);
  return tile;
}

PreferencesViewController::SwitchRow PreferencesViewController::makeSwitchRow(const char* title) {
  SwitchRow row;
  row.container = makeCard(kPreferencesCardCornerRadius);
  page_->content().addSubview(row.container);
  row.title = makeLabel(title, Font::system(20, FontWeight::Medium));
  row.container->addSubview(row.title);
  row.toggle = makeLaidOut<Switch>();
  row.toggle->onTintColor = Color::systemBlue();
  row.container->addSubview(row.toggle);
  return row;
}

void PreferencesViewController::setupConstraints() {
  View& root = page_->content();
  View& card = *mainContainerView_;
  View& radar = *radar_.container;
  View& list = *list_.container;
  activate({
      card.topAnchor().constraintEqualTo(root.topAnchor(), kPreferencesMargin),
      card.leadingAnchor().constraintEqualTo(root.leadingAnchor(), kPreferencesMargin),
      card.trailingAnchor().constraintEqualTo(root.trailingAnchor(), -kPreferencesMargin),

      titleLabel_->topAnchor().constraintEqualTo(card.topAnchor(), kPreferencesMargin),
      titleLabel_->leadingAnchor().constraintEqualTo(card.leadingAnchor(), kPreferencesMargin),
      titleLabel_->trailingAnchor().constraintEqualTo(card.trailingAnchor(), -kPreferencesMargin),
      titleLabel_->centerXAnchor().constraintEqualTo(card.centerXAnchor()),

      radar.topAnchor().constraintEqualTo(titleLabel_->bottomAnchor(), kTitleToTiles),
      radar.leadingAnchor().constraintEqualTo(card.leadingAnchor(), kPreferencesMargin),
      radar.widthAnchor().constraintEqualTo(card.widthAnchor(), Multiplier{0.5}, -25),
      radar.heightAnchor().constraintEqualToConstant(kTileHeight),
      radar.bottomAnchor().constraintEqualTo(card.bottomAnchor(), -kPreferencesMargin),

      list.topAnchor().constraintEqualTo(radar.topAnchor()),
      list.leadingAnchor().constraintEqualTo(radar.trailingAnchor(), kTileGap),
      list.trailingAnchor().constraintEqualTo(card.trailingAnchor(), -kPreferencesMargin),
      list.heightAnchor().constraintEqualTo(radar.heightAnchor()),
      list.bottomAnchor().constraintEqualTo(card.bottomAnchor(), -kPreferencesMargin),
  });
  constrainTile(radar_);
  constrainTile(list_);
  constrainSwitchRow(setting_, card);
  constrainSwitchRow(remember_, *setting_.container);
  activate({remember_.container->bottomAnchor().constraintLessThanOrEqualTo(root.bottomAnchor(),
                                                                            -kPreferencesMargin)});
}

void PreferencesViewController::constrainTile(const Tile& tile) {
  View& box = *tile.container;
  activate({
      tile.icon->topAnchor().constraintEqualTo(box.topAnchor(), kPreferencesMargin),
      tile.icon->centerXAnchor().constraintEqualTo(box.centerXAnchor()),
      tile.icon->widthAnchor().constraintEqualToConstant(kIconSize),
      tile.icon->heightAnchor().constraintEqualToConstant(kIconSize),
      tile.title->topAnchor().constraintEqualTo(tile.icon->bottomAnchor(), kTileSpacing),
      tile.title->centerXAnchor().constraintEqualTo(box.centerXAnchor()),
      tile.title->leadingAnchor().constraintEqualTo(box.leadingAnchor(), kTileSpacing),
      tile.title->trailingAnchor().constraintEqualTo(box.trailingAnchor(), -kTileSpacing),
      tile.check->topAnchor().constraintEqualTo(tile.title->bottomAnchor(), kTileSpacing),
      tile.check->centerXAnchor().constraintEqualTo(box.centerXAnchor()),
      tile.check->widthAnchor().constraintEqualToConstant(kCheckSize),
      tile.check->heightAnchor().constraintEqualToConstant(kCheckSize),
  });
}

void PreferencesViewController::constrainSwitchRow(const SwitchRow& row, View& above) {
  View& root = page_->content();
  View& box = *row.container;
  activateAll({
      shareRow(box, *row.title, *row.toggle, kPreferencesMargin),
      {
          box.topAnchor().constraintEqualTo(above.bottomAnchor(), kPreferencesMargin),
          box.leadingAnchor().constraintEqualTo(root.leadingAnchor(), kPreferencesMargin),
          box.trailingAnchor().constraintEqualTo(root.trailingAnchor(), -kPreferencesMargin),
          box.heightAnchor().constraintEqualToConstant(kPreferencesRowHeight),
          row.toggle->trailingAnchor().constraintEqualTo(box.trailingAnchor(), -kPreferencesMargin),
      },
  });
}

// ---- actions -------------------------------------------------------------------------------

void PreferencesViewController::setupActions() {
  std::weak_ptr<ViewController> weak = weak_from_this();
  auto on = [weak](void (PreferencesViewController::*action)()) {
    return [weak, action](auto&) {
      if (auto self = std::static_pointer_cast<PreferencesViewController>(weak.lock())) {
        ((*self).*action)();
      }
    };
  };
  radar_.container->addGestureRecognizer(
      std::make_shared<TapGestureRecognizer>(on(&PreferencesViewController::radarViewTapped)));
  list_.container->addGestureRecognizer(
      std::make_shared<TapGestureRecognizer>(on(&PreferencesViewController::listViewTapped)));
  setting_.container->addGestureRecognizer(
      std::make_shared<TapGestureRecognizer>(on(&PreferencesViewController::settingRowTapped)));
  remember_.container->addGestureRecognizer(
      std::make_shared<TapGestureRecognizer>(on(&PreferencesViewController::rememberRowTapped)));
  // The check buttons choose their tile as a tap on the tile does.
  radar_.check->addTarget(ControlEvent::TouchUpInside,
                          on(&PreferencesViewController::radarViewTapped));
  list_.check->addTarget(ControlEvent::TouchUpInside,
                         on(&PreferencesViewController::listViewTapped));
  setting_.toggle->addTarget(ControlEvent::ValueChanged,
                             on(&PreferencesViewController::settingSwitchChanged));
  remember_.toggle->addTarget(ControlEvent::ValueChanged,
                              on(&PreferencesViewController::rememberSwitchChanged));
}

void PreferencesViewController::setSelectedIndex(std::int64_t index) {
  selectedIndex_ = index;
  updateSelectedState();
}

void PreferencesViewController::radarViewTapped() { setSelectedIndex(kRadarViewIndex); }

void PreferencesViewController::listViewTapped() { setSelectedIndex(kListViewIndex); }

void PreferencesViewController::settingSwitchChanged() {
  env_.facade->isShowSetting(setting_.toggle->isOn());
}

void PreferencesViewController::rememberSwitchChanged() {
  env_.facade->isShowRememberOption(remember_.toggle->isOn());
}

void PreferencesViewController::settingRowTapped() {
  setting_.toggle->setOn(!setting_.toggle->isOn(), false);
  settingSwitchChanged();
}

void PreferencesViewController::rememberRowTapped() {
  remember_.toggle->setOn(!remember_.toggle->isOn(), false);
  rememberSwitchChanged();
}

void PreferencesViewController::updateSelectedState() {
  radar_.check->setSelected(selectedIndex_ != kRadarViewIndex);
  list_.check->setSelected(selectedIndex_ != kListViewIndex);
  const Color chosen = Color::systemBlue().withAlpha(kChosenTileAlpha);
  radar_.container->setBackgroundColor(selectedIndex_ == kRadarViewIndex ? chosen : Color::clear());
  list_.container->setBackgroundColor(selectedIndex_ == kListViewIndex ? chosen : Color::clear());
  const std::string mode = preferencesModeForIndex(selectedIndex_);
  platform::logf("preferencesMode = {}", mode);
  env_.database->updateSetting(kPreferencesModeKey, mode);
}

void PreferencesViewController::updateSwitchState(const std::string& value, Switch& toggle,
                                                  std::string_view key) {
  toggle.setOn(value == "1");
  env_.database->updateSetting(key, value);
}

}  // namespace veltrix::ui::settings
