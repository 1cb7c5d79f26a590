// The "Device Setting" screen: the connection method, this device's
// authentication switch (its stored pairing flag, which makes the library's
// handshake announce "DCA") and the remember options per service type: a
// "Forget All" button and one row per service type with its number of
// terminal services and the serial number remembered for it. A tap on a
// service-type row presents the remember popup for that type. The host
// creates and shows it; no screen of the library opens it.
//
// Thread: the main loop. Ownership: whoever shows it owns it; its table,
// the rows' blocks and the popup's completion hold it weakly.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "veltrix/platform/ui/view_controller.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/ui/settings/remember_popup_maker.h"
#include "veltrix/ui/settings/settings_environment.h"

namespace veltrix::ui::settings {

// "Authentication" with a switch showing `authStatus`; a user's flip reports
// the new state to `selectionBlock`.
class AuthenticationCell : public TableViewCell {
 public:
  AuthenticationCell(registry::Row terminalInfo, bool authStatus);
  const std::shared_ptr<Switch>& authSwitch() const { return authSwitch_; }
  std::function<void(bool on)> selectionBlock;
  void switchValueChanged(Switch& sender);
  void layoutSubviews() override;
  std::string typeName() const override { return "AuthenticationCell"; }

 private:
  registry::Row terminalInfo_;
  std::shared_ptr<Switch> authSwitch_;
};

// "Remember options" with a "Forget All" button that reports YES to
// `selectionBlock`.
class DeviceOptionsCell : public TableViewCell {
 public:
  explicit DeviceOptionsCell(registry::Row terminalInfo);
  const std::shared_ptr<Button>& buttonScan() const { return buttonScan_; }
  std::function<void(bool)> selectionBlock;
  void forgetTerminal(Button& sender);
  // A touch inside the button goes to the button.
  View* hitTest(Point p) override;
  std::string typeName() const override { return "DeviceOptionsCell"; }

 private:
  registry::Row terminalInfo_;
  std::shared_ptr<Button> buttonScan_;
};

// One service type: its name, "Remote <count>" and the serial number
// remembered for it (`rememberedSn`, "" when none).
class TerminalServicesCell : public TableViewCell {
 public:
  TerminalServicesCell(registry::Row serviceCount, std::string rememberedSn);
  const std::shared_ptr<Label>& snLabel() const { return snLabel_; }
  const std::shared_ptr<Label>& countLabel() const { return countLabel_; }
  std::string typeName() const override { return "TerminalServicesCell"; }

 private:
  registry::Row serviceCount_;
  std::shared_ptr<Label> snLabel_;
  std::shared_ptr<Label> countLabel_;
};

// "Remote <count>", "0" when the entry has no count.
std::string remoteCountText(const registry::Row& serviceCount);

class DeviceSettingsController : public ViewController,
                                 public TableViewDataSource,
                                 public TableViewDelegate {
 public:
  // initWithOptions:selectedIndices: a terminal's row (handed to the rows)
  // and an array that is kept, not shown.
  DeviceSettingsController(registry::Row terminalInfo, registry::Rows serviceArray,
                           SettingsEnvironment env = SettingsEnvironment::shared());

  const registry::Row& terminalInfo() const { return terminalInfo_; }
  const registry::Rows& serviceArray() const { return serviceArray_; }
  const registry::Rows& serviceTypeList() const { return serviceTypeList_; }
  bool authFlag() const { return authFlag_; }
  const std::shared_ptr<TableView>& tableView() const { return tableView_; }

  // Makes the remember popup; tests put a recorder here.
  RememberPopupMaker rememberPopupMaker = makeRememberPopup;

  void viewDidLoad() override;
  std::string typeName() const override { return "DeviceSettingsController"; }

  // Stores the authentication switch: inserts this device's pairing row the
  // first time, updates its status afterwards.
  void handleAuthType(bool on);
  // "Forget All": every remembered service goes, and every visible
  // service-type row shows none.
  void handleSelection(bool selected);
  // The popup's completion for service-type row `row` of the last section:
  // "1" shows `sn` there, "2" empties it.
  void handleRememberChoice(std::int64_t row, const std::string& flag,
                            const std::optional<std::string>& sn);

  // TableViewDataSource, TableViewDelegate.
  std::int64_t numberOfSections(TableView&) override { return 3; }
  std::int64_t numberOfRows(TableView&, std::int64_t section) override;
  std::shared_ptr<TableViewCell> cellForRow(TableView& table, IndexPath indexPath) override;
  std::optional<double> heightForRow(TableView&, IndexPath indexPath) override;
  void didSelectRow(TableView& table, IndexPath indexPath) override;

 private:
  void setupTableView();
  std::weak_ptr<DeviceSettingsController> weakSelf();
  TerminalServicesCell* visibleServiceRow(std::int64_t row);

  SettingsEnvironment env_;
  registry::Row terminalInfo_;
  registry::Rows serviceArray_;
  registry::Rows serviceTypeList_;
  bool authFlag_ = false;
  std::shared_ptr<TableView> tableView_;
};

}  // namespace veltrix::ui::settings
