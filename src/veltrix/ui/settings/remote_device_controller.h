// The detail sheet of one discovered terminal ("Remote Device"): its header,
// authentication status, a device-status panel and its services, each with
// an enable check button stored at once; "FIND DEVICE" asks the terminal,
// through the service facade's Display request, to show itself. A second
// button ("REMOVE DEVICE" / "CONNECT DEVICE") toggles the terminal's stored
// status; it is made hidden and has no place in the layout.
//
// The scan screen pushes it for a tapped terminal with that terminal's
// discovered-terminal row and its service rows, read at that moment.
//
// Thread: the main loop. Ownership: the navigation stack owns the sheet; its
// table and the rows' blocks hold it weakly; it keeps copies of the rows it
// was given and updates them after each successful write.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "veltrix/model/nonfinancial_params.h"
#include "veltrix/platform/ui/view_controller.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/ui/settings/settings_environment.h"

namespace veltrix::ui::settings {

// FIND DEVICE's message content, written with the JSON writer (a `"` or `\`
// in a model or serial number stays valid JSON; an absent one is ""):
// {"data":{"hasShow":false,"model":"<model>","sn":"<sn>","type":0},"refId":"selfLocationReport"}
std::string selfLocationReportContent(const std::optional<std::string>& model,
                                      const std::optional<std::string>& sn);

class RemoteDeviceController : public ViewController,
                               public TableViewDataSource,
                               public TableViewDelegate {
 public:
  static constexpr double kToastSeconds = 2.0;
  static constexpr const char* kSaved = "Save successfully!";
  static constexpr const char* kSaveFailed = "Save failed!";
  static constexpr const char* kNoDisplay = "This terminal unsupport display!";

  // initWithOptions:selectedIndices: the terminal's row and its services.
  RemoteDeviceController(registry::Row terminalInfo, registry::Rows serviceArray,
                         SettingsEnvironment env = SettingsEnvironment::shared());

  const registry::Row& terminalInfo() const { return terminalInfo_; }
  const registry::Rows& serviceArray() const { return serviceArray_; }
  bool isConnect() const { return isConnect_; }
  // nullptr before the view loaded.
  const std::shared_ptr<TableView>& tableView() const { return tableView_; }
  const std::shared_ptr<View>& buttonContainerView() const { return buttonContainerView_; }
  const std::shared_ptr<Button>& leftButton() const { return leftButton_; }
  const std::shared_ptr<Button>& rightButton() const { return rightButton_; }

  void viewDidLoad() override;
  void viewDidAppear(bool animated) override;
  std::string typeName() const override { return "RemoteDeviceController"; }

  // Stores one service's enable state (1 on, 2 off). "Save successfully!"
  // only when the store succeeded; otherwise "Save failed!" and the row's
  // check button goes back.
  void handleSelection(std::int64_t tsId, bool on);
  // REMOVE DEVICE / CONNECT DEVICE.
  void leftButtonTapped();
  // FIND DEVICE.
  void rightButtonTapped();
  // FIND DEVICE's request: to the first service whose "serviceType" is
  // exactly "Display"; nullopt when there is none.
  std::optional<model::DisplayParam> findDeviceRequest();

  // TableViewDataSource, TableViewDelegate.
  std::int64_t numberOfSections(TableView&) override { return 4; }
  std::int64_t numberOfRows(TableView&, std::int64_t section) override;
  std::shared_ptr<TableViewCell> cellForRow(TableView& table, IndexPath indexPath) override;
  std::optional<double> heightForRow(TableView&, IndexPath indexPath) override;
  void didSelectRow(TableView& table, IndexPath indexPath) override;

 private:
  void setupTableView();
  void setupButtonContainer();
  void setupButtons();
  void setupConstraints();
  void showToast(const std::string& message);
  std::shared_ptr<TableViewCell> serviceCell(std::size_t index);

  SettingsEnvironment env_;
  registry::Row terminalInfo_;
  registry::Rows serviceArray_;
  bool isConnect_ = false;
  std::shared_ptr<TableView> tableView_;
  std::shared_ptr<View> buttonContainerView_;
  std::shared_ptr<Button> leftButton_;
  std::shared_ptr<Button> rightButton_;
};

}  // namespace veltrix::ui::settings
