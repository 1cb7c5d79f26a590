// The services manager: how remembered terminal choices work and what is
// remembered. One grouped table: the remember mode (and in designated mode
// the preferred terminal), an explanation, one row per service category of
// the known terminal services, and a button that forgets every remembered
// choice. The two dialogs choose the mode and the designated terminal; a
// category row pushes the service list of that category.
//
// What it stores: the setting "remember_mode" and the remembered-service
// row of type "ALL" (the designated terminal), which the facade's choice of
// a terminal service reads for every request type. A store that fails shows
// "Save failed!" and leaves the screen as it was.
//
// Thread: the main loop. Ownership: the navigation stack owns the screen;
// the dialogs it presents and the lists it pushes hold it weakly.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "veltrix/platform/ui/view_controller.h"
#include "veltrix/ui/settings/selector_dialogs.h"
#include "veltrix/ui/settings/service_list_view_controller.h"
#include "veltrix/ui/settings/settings_environment.h"

namespace veltrix::ui::settings {

inline constexpr std::string_view kRememberModeKey = "remember_mode";
inline constexpr std::string_view kRememberModeFlexible = "0";
inline constexpr std::string_view kRememberModeDesignated = "1";
// The remembered-service type that names the terminal for every type.
inline constexpr std::string_view kRememberAllTypes = "ALL";
inline constexpr std::string_view kFlexibleSubtitle =
    "You can configure and select terminals freely.";
// The comma after "otherwise" is the full-width U+FF0C.
inline constexpr std::string_view kDesignatedSubtitle =
    "Use the preferred terminal if available; otherwise\xEF\xBC\x8C"
    "display the service list for selection";
inline constexpr std::string_view kClearAllTitle = "Clear All Remembered Options";
inline constexpr std::string_view kClearAllToast = "Clear all remember services success";

// Row types of the manager's table.
enum class ServicesRow : std::int64_t {
  RememberMode = 0,
  PreferredTerminal = 1,
  Explanation = 2,
  Category = 3,
  ClearAll = 4,
};

class ServicesManagerViewController : public ViewController,
                                      public TableViewDataSource,
                                      public TableViewDelegate {
 public:
  explicit ServicesManagerViewController(SettingsEnvironment env = SettingsEnvironment::shared());

  void viewDidLoad() override;
  std::string typeName() const override { return "ServicesManagerViewController"; }

  const std::shared_ptr<TableView>& mainTableView() const { return mainTableView_; }
  // Category key to title, ordered by key; row i shows entry i.
  const std::map<std::string, std::string>& serviceTitlesList() const { return serviceTitles_; }
  std::vector<std::string> originalServiceTitles() const;
  const std::vector<std::vector<ServicesRow>>& sectionCellTypes() const { return sectionTypes_; }
  const std::string& selectedRememberMode() const { return selectedRememberMode_; }
  const std::string& subtitleText() const { return subtitleText_; }
  // None, "" or the designated terminal's serial number.
  const std::optional<std::string>& selectedDeviceId() const { return selectedDeviceId_; }
  const std::vector<std::string>& discoveredDevices() const { return discoveredDevices_; }
  bool isDesignatedMode() const { return selectedRememberMode_ == kUseDesignatedTerminal; }

  void setupSectionCellTypes();
  void showRememberModeSelector();
  void showDeviceSelector();
  void clearAllRemember();
  // What the dialogs' Save does with the chosen value.
  void rememberModeChosen(const std::string& mode);
  void deviceChosen(const std::optional<std::string>& sn);
  // The items that category row `index` hands to the service list, read
  // afresh.
  std::vector<ServiceItem> serviceItemsForCategory(std::size_t index);
  // Pushes the service list of category row `index`.
  void openCategory(std::size_t index);

  // TableViewDataSource, TableViewDelegate.
  std::int64_t numberOfSections(TableView&) override;
  std::int64_t numberOfRows(TableView&, std::int64_t section) override;
  std::shared_ptr<TableViewCell> cellForRow(TableView& table, IndexPath indexPath) override;
  std::optional<double> heightForRow(TableView& table, IndexPath indexPath) override;
  void willDisplayCell(TableView& table, TableViewCell& cell, IndexPath indexPath) override;
  void didSelectRow(TableView& table, IndexPath indexPath) override;

 private:
  std::optional<ServicesRow> rowType(IndexPath indexPath) const;
  void showFlexibleMode();
  void showDesignatedMode();
  void setupUI();
  void setupConstraints();
  void fillValueRow(TableViewCell& cell, std::string_view title, const std::string& value,
                    double valueSize);
  void fillCategoryRow(TableViewCell& cell, const std::string& title);
  void fillClearAllRow(TableViewCell& cell);
  void fillExplanationRow(TableViewCell& cell);
  // A store failed: "Save failed!", and the screen stays as it was.
  void saveFailed();

  SettingsEnvironment env_;
  std::shared_ptr<TableView> mainTableView_;
  std::map<std::string, std::string> serviceTitles_;
  std::vector<std::vector<ServicesRow>> sectionTypes_;
  std::string selectedRememberMode_;
  std::string subtitleText_;
  std::optional<std::string> selectedDeviceId_;
  std::vector<std::string> discoveredDevices_;
};

// A new services manager on every call (the hub's services row).
std::shared_ptr<ViewController> makeServicesManagerViewController(const SettingsEnvironment& env);

}  // namespace veltrix::ui::settings
