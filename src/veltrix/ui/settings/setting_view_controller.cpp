#include "veltrix/ui/settings/setting_view_controller.h"

#include <fmt/format.h>

#include "veltrix/platform/log.h"
#include "veltrix/platform/ui/toast.h"
#include "veltrix/ui/settings/connection_method_view_controller.h"
#include "veltrix/ui/settings/preferences_view_controller.h"
#include "veltrix/ui/settings/services_manager_view_controller.h"
#include "veltrix/ui/settings/settings_style.h"

namespace veltrix::ui::settings {

namespace {

constexpr double kSettingRowHeight = 60;
constexpr double kSettingHeaderHeight = 40;
constexpr double kSettingFooterHeight = 20;
constexpr double kLastFooterHeight = 40;
constexpr double kHeaderLabelX = 20;
constexpr double kHeaderLabelY = 10;
constexpr double kHeaderLabelHeight = 20;
constexpr double kVersionSpacing = 10;
constexpr double kSettingToastSeconds = 2.0;
constexpr const char* kSettingCellId = "Cell";

// What a tap on each section does, by section alone.
using SectionAction = void (SettingViewController::*)();
constexpr SectionAction kSectionActions[] = {
    &SettingViewController::pushToConnectionSetting,
    &SettingViewController::pushToServicesManager,
    &SettingViewController::pushToPreferences,
    &SettingViewController::pushToWhitelist,
};

}  // namespace

const std::vector<SettingRow>& settingRows() {
  static const std::vector<SettingRow> rows = {
      {"LAN", "Connection Setting", "Configure network connections", "Connection Setting",
       "This is Connection Setting section"},
      {"SERVICES", "Services Manager", "Manage background services", "Services Manager",
       "This is Services Manager section"},
      {"PREFERENCES", "Preferences", "App preferences and settings", "Preferences",
       "This is Preferences section"},
      {"WHITELIST", "Whitelist Device Manager", "Whitelist Device Manager", "Whitelist",
       "Whitelist Device Manager"},
  };
  return rows;
}

std::string versionText(const LibraryBundle& bundle) {
  return fmt::format("Version {}.{}", bundle.info(kShortVersionKey).value_or("Unknown"),
                     bundle.info(kBundleVersionKey).value_or("Unknown"));
}

SettingViewController::SettingViewController(SettingsEnvironment env) : env_(std::move(env)) {}

void SettingViewController::viewDidLoad() {
  setTitle("Settings");
  view().setBackgroundColor(backdropColor());

  tableView_ = std::make_shared<TableView>(view().bounds(), TableViewStyle::Grouped);
  // One backdrop from the bar down to the version line.
  tableView_->setBackgroundColor(Color::clear());
  auto self = std::static_pointer_cast<SettingViewController>(shared_from_this());
  tableView_->setDataSource(std::weak_ptr<TableViewDataSource>(self));
  tableView_->setDelegate(std::weak_ptr<TableViewDelegate>(self));
  // Subtitle cells: the default style has no detail label for the
  // description.
  tableView_->registerCell(kSettingCellId, [] {
    return std::make_shared<TableViewCell>(TableViewCellStyle::Subtitle, kSettingCellId);
  });
  view().addSubview(tableView_);
  setupVersionLabel();
}

void SettingViewController::setupVersionLabel() {
  versionLabel_ = makeLabel(versionText(env_.bundle ? *env_.bundle : LibraryBundle{}),
                            Font::system(12, FontWeight::Light), Color::tertiaryLabel());
  versionLabel_->textAlignment = TextAlignment::Center;
  view().addSubview(versionLabel_);

  View& root = view();
  tableView_->setTranslatesAutoresizingMaskIntoConstraints(false);
  activate({
      // Lists here do not inset their content for the bars: start under them.
      tableView_->topAnchor().constraintEqualTo(root.safeAreaLayoutGuide().topAnchor()),
      tableView_->leadingAnchor().constraintEqualTo(root.leadingAnchor()),
      tableView_->trailingAnchor().constraintEqualTo(root.trailingAnchor()),
      tableView_->bottomAnchor().constraintEqualTo(versionLabel_->topAnchor(), -kVersionSpacing),
      versionLabel_->centerXAnchor().constraintEqualTo(root.centerXAnchor()),
      versionLabel_->bottomAnchor().constraintEqualTo(root.safeAreaLayoutGuide().bottomAnchor(),
                                                      -kVersionSpacing),
      versionLabel_->leadingAnchor().constraintGreaterThanOrEqualTo(root.leadingAnchor(),
                                                                    kVersionSpacing),
      versionLabel_->trailingAnchor().constraintLessThanOrEqualTo(root.trailingAnchor(),
                                                                  -kVersionSpacing),
  });
}

std::int64_t SettingViewController::numberOfSections(TableView&) {
  return static_cast<std::int64_t>(settingRows().size());
}

std::int64_t SettingViewController::numberOfRows(TableView&, std::int64_t) { return 1; }

std::shared_ptr<TableViewCell> SettingViewController::cellForRow(TableView& table,
                                                                 IndexPath indexPath) {
  auto cell = table.dequeueReusableCell(kSettingCellId, indexPath);
  const SettingRow& row = settingRows().at(static_cast<std::size_t>(indexPath.section));
  cell->textLabel()->setText(row.title);
  cell->textLabel()->setFont(Font::system(16));
  cell->detailTextLabel()->setText(row.description);
  cell->detailTextLabel()->setFont(Font::system(12));
  cell->detailTextLabel()->textColor = Color::secondaryLabel();
  cell->accessoryType = AccessoryType::DisclosureIndicator;
  cell->selectionStyle = SelectionStyle::Default;
  return cell;
}

std::optional<double> SettingViewController::heightForRow(TableView&, IndexPath) {
  return kSettingRowHeight;
}

std::optional<double> SettingViewController::heightForHeader(TableView&, std::int64_t) {
  return kSettingHeaderHeight;
}

std::optional<double> SettingViewController::heightForFooter(TableView&, std::int64_t section) {
  const bool last = section == static_cast<std::int64_t>(settingRows().size()) - 1;
  return last ? kLastFooterHeight : kSettingFooterHeight;
}

std::shared_ptr<View> SettingViewController::viewForHeader(TableView& table, std::int64_t section) {
  const double width = table.bounds().width();
  auto header = std::make_shared<View>(Rect{0, 0, width, kSettingHeaderHeight});
  auto label = std::make_shared<Label>(
      Rect{kHeaderLabelX, kHeaderLabelY, width - 2 * kHeaderLabelX, kHeaderLabelHeight});
  label->setText(settingRows().at(static_cast<std::size_t>(section)).header);
  label->setFont(Font::system(13, FontWeight::Medium));
  label->textColor = Color::secondaryLabel();
  header->addSubview(label);
  return header;
}

void SettingViewController::didSelectRow(TableView& table, IndexPath indexPath) {
  table.deselectRow(indexPath, true);
  const auto section = static_cast<std::size_t>(indexPath.section);
  if (indexPath.section < 0 || section >= std::size(kSectionActions)) return;
  (this->*kSectionActions[section])();
  const SettingRow& row = settingRows()[section];
  platform::logf("{}: {}", row.logName, row.logMessage);
}

void SettingViewController::push(std::shared_ptr<ViewController> screen) {
  if (NavigationController* nav = navigationController()) {
    nav->pushViewController(std::move(screen), true);
  }
}

void SettingViewController::pushToConnectionSetting() {
  push(std::make_shared<ConnectionMethodViewController>(env_));
}

void SettingViewController::pushToServicesManager() {
  push(makeServicesManagerViewController(env_));
}

void SettingViewController::pushToPreferences() {
  push(std::make_shared<PreferencesViewController>(env_));
}

void SettingViewController::pushToWhitelist() {
  showToastInView(view(), kWhitelistUnavailable, kSettingToastSeconds);
}

std::shared_ptr<ViewController> makeSettingViewController() {
  return std::make_shared<SettingViewController>();
}

}  // namespace veltrix::ui::settings
