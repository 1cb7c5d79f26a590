// The settings hub: four one-row sections that open the connection methods,
// the services manager and the preferences, and a whitelist row that only
// explains itself in a toast; the library's version under the list.
//
// Thread: the main loop. Ownership: the navigation stack owns the hub; the
// hub keeps no reference to what it pushes (each tap pushes a new screen).
// Its table holds it weakly as data source and delegate.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "veltrix/platform/ui/view_controller.h"
#include "veltrix/ui/settings/settings_environment.h"

namespace veltrix::ui::settings {

inline constexpr std::string_view kWhitelistUnavailable =
    "The whitelist Device Manager is unavailable";

// One row of the hub and the screen it leads to.
struct SettingRow {
  std::string header;
  std::string title;
  std::string description;
  std::string logName;
  std::string logMessage;
};

// The four sections, in order.
const std::vector<SettingRow>& settingRows();

// "Version <short>.<build>", "Unknown" for each key the bundle lacks.
std::string versionText(const LibraryBundle& bundle);

class SettingViewController : public ViewController,
                              public TableViewDataSource,
                              public TableViewDelegate {
 public:
  explicit SettingViewController(SettingsEnvironment env = SettingsEnvironment::shared());

  void viewDidLoad() override;
  std::string typeName() const override { return "SettingViewController"; }

  const std::shared_ptr<TableView>& tableView() const { return tableView_; }
  const std::shared_ptr<Label>& versionLabel() const { return versionLabel_; }

  void pushToConnectionSetting();
  void pushToServicesManager();
  void pushToPreferences();
  void pushToWhitelist();

  // TableViewDataSource, TableViewDelegate.
  std::int64_t numberOfSections(TableView&) override;
  std::int64_t numberOfRows(TableView&, std::int64_t section) override;
  std::shared_ptr<TableViewCell> cellForRow(TableView& table, IndexPath indexPath) override;
  std::optional<double> heightForRow(TableView&, IndexPath) override;
  std::optional<double> heightForHeader(TableView&, std::int64_t) override;
  std::optional<double> heightForFooter(TableView&, std::int64_t section) override;
  std::shared_ptr<View> viewForHeader(TableView& table, std::int64_t section) override;
  void didSelectRow(TableView& table, IndexPath indexPath) override;

 private:
  void setupVersionLabel();
  void push(std::shared_ptr<ViewController> screen);

  SettingsEnvironment env_;
  std::shared_ptr<TableView> tableView_;
  std::shared_ptr<Label> versionLabel_;
};

// The hub over the process-wide library objects, for the scan screen's gear
// item and the host.
std::shared_ptr<ViewController> makeSettingViewController();

}  // namespace veltrix::ui::settings
