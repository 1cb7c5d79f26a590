// The device whitelist: every discovered terminal's serial number with a
// tick box, a switch that turns the whitelist off (deleting it at once) and
// CONFIRM, which stores the ticked serial numbers joined by ":" (or deletes
// the setting when none is ticked) and leaves. The scan screen then offers
// only the whitelisted terminals.
//
// Thread: the main loop. Ownership: whoever pushed it (no screen of the
// library does) owns it through the navigation stack; its table holds it
// weakly; control actions capture it weakly.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "veltrix/platform/ui/layout.h"
#include "veltrix/platform/ui/view_controller.h"
#include "veltrix/registry/terminal_info.h"
#include "veltrix/ui/settings/settings_environment.h"

namespace veltrix::ui::settings {

inline constexpr std::string_view kWhitelistSaved = "Whitelist device manager success!";
inline constexpr std::string_view kWhitelistSaveFailed = "Save failed!";

// The ticked serial numbers a stored whitelist gives: the value split at
// ":"; none for an empty value.
std::set<std::string> whitelistSelection(std::string_view stored);

class WhitelistDeviceManagerViewController : public ViewController,
                                             public TableViewDataSource,
                                             public TableViewDelegate {
 public:
  explicit WhitelistDeviceManagerViewController(
      SettingsEnvironment env = SettingsEnvironment::shared());

  void viewDidLoad() override;
  std::string typeName() const override { return "WhitelistDeviceManagerViewController"; }

  const std::optional<std::vector<std::string>>& deviceSNList() const { return deviceSNList_; }
  const std::set<std::string>& selectedSNSet() const { return selectedSNSet_; }
  const std::shared_ptr<Switch>& whitelistSwitch() const { return whitelistSwitch_; }
  const std::shared_ptr<TableView>& snTableView() const { return snTableView_; }
  const std::shared_ptr<Button>& confirmButton() const { return confirmButton_; }
  const ConstraintPtr& tableViewHeightConstraint() const { return tableViewHeightConstraint_; }

  void switchValueChanged();
  void confirmButtonTapped();

  // The serial number of every discovered terminal, in the registry's row
  // order; none when there is no terminal.
  std::optional<std::vector<std::string>> getServiceArray();
  // The services the settings facade collected from discovery for the host,
  // by serial number, each terminal's in arrival order; none when there are
  // none. The screen itself does not use it.
  std::optional<std::map<std::string, std::vector<registry::ServiceInfo>>> getSeriviceList();

  // TableViewDataSource, TableViewDelegate.
  std::int64_t numberOfRows(TableView&, std::int64_t) override;
  std::shared_ptr<TableViewCell> cellForRow(TableView& table, IndexPath indexPath) override;
  std::optional<double> heightForRow(TableView&, IndexPath) override;
  void didSelectRow(TableView& table, IndexPath indexPath) override;

  // The tick box: a 24 x 24 white view around a 20 x 20 blue-edged square,
  // holding "✓" when selected.
  static std::shared_ptr<View> createCheckmarkView(bool selected);

 private:
  void setInitialData();
  void setupUI();
  void setupConstraints();
  double listHeight() const;
  // False when the whitelist could not be stored or deleted.
  bool storeSelection();

  SettingsEnvironment env_;
  std::optional<std::vector<std::string>> deviceSNList_;
  std::set<std::string> selectedSNSet_;
  std::shared_ptr<View> whitelistBgView_;
  std::shared_ptr<Label> whitelistLabel_;
  std::shared_ptr<Switch> whitelistSwitch_;
  std::shared_ptr<TableView> snTableView_;
  std::shared_ptr<Button> confirmButton_;
  ConstraintPtr tableViewHeightConstraint_;
};

}  // namespace veltrix::ui::settings
