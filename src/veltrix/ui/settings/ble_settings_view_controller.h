// The Bluetooth settings screen: a card with the "Bluetooth" switch (the
// Bluetooth connection method), the fixed "Bluetooth Mode" row, the
// terminals a three-second Bluetooth LE scan finds with their paired state
// and signal, and the "Pair Terminal" button. Tapping a terminal connects it;
// a successful connection turns the Bluetooth connection method on. The host
// creates and shows it; no screen of the library opens it.
//
// Decisions kept apart from the views (the free functions below): the paired
// test, a row's status and signal texts, the entries made from stored
// terminals. The scan-list rules are shared with the device list screen
// (ui/ble_link.h).
//
// Thread: the main loop. Scan results and the connection completion may come
// on any thread and are posted there first.
// Ownership: whoever shows it owns it; it owns its views and holds the
// transport link and the settings facade; the database must outlive it.
// Blocks given to the transport, timers and views hold the screen weakly.
// The connection completion holds the settings facade, so a successful
// connection is stored even when the screen has gone.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "veltrix/facade/retailer_setting_manager.h"
#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/ui/view_controller.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/transport/ble_communicate_service.h"
#include "veltrix/ui/ble_link.h"
#include "veltrix/ui/self_dismissing_alert.h"
#include "veltrix/ui/settings/scrolling_page.h"

namespace veltrix::ui::settings {

// The paired test; the first rule that applies decides. No serial number:
// not paired. The transport's record for it is ready: paired. A peripheral
// of that identifier is connected with the transport's service (skipped
// when that text is not a UUID): paired. A stored terminal has that serial
// number: paired. Otherwise not.
bool isPeripheralPaired(const transport::BLEPeripheralModel& model, BleSettingsLink& link,
                        registry::DatabaseManager& database);

// "Paired" in green or "Unpaired" in grey.
struct PairedStatusDisplay {
  const char* text;
  Color color;
};
PairedStatusDisplay pairedStatusDisplay(bool paired);

// "<rssi> dBm", or nothing without a signal.
std::optional<std::string> signalText(const transport::BLEPeripheralModel& model);

// A list entry for a stored terminal: its serial number ("" when missing),
// its alias or else model as the name ("Unknown Device" without either),
// its stored identifier, no signal and no peripheral.
transport::BLEPeripheralModel storedTerminalModel(const registry::Row& row);

class BleSettingsViewController final : public ViewController,
                                        public TableViewDataSource,
                                        public TableViewDelegate {
 public:
  static constexpr double kScanSeconds = 3.0;
  static constexpr double kToastSeconds = 1.2;

  struct Collaborators {
    std::shared_ptr<BleSettingsLink> ble;
    std::shared_ptr<facade::RetailerSettingManager> settings;
    registry::DatabaseManager* database = nullptr;
  };

  // On the process-wide transport, settings facade and database.
  BleSettingsViewController();
  explicit BleSettingsViewController(Collaborators collaborators);
  ~BleSettingsViewController() override;

  bool isBleEnabled() const { return isBleEnabled_; }
  const std::string& modeName() const { return modeName_; }
  const std::vector<transport::BLEPeripheralModel>& deviceArray() const { return deviceArray_; }
  bool isScanning() const { return isScanning_; }
  // nullptr before the view loaded.
  const std::shared_ptr<View>& mainContainerView() const { return mainContainerView_; }
  const std::shared_ptr<ScrollingPage>& page() const { return page_; }
  const std::shared_ptr<TableView>& contentTableView() const { return contentTableView_; }
  const std::shared_ptr<View>& portContainerView() const { return portContainerView_; }
  const std::shared_ptr<Button>& pairButton() const { return pairButton_; }
  const std::shared_ptr<TableView>& deviceTableView() const { return deviceTableView_; }
  const std::shared_ptr<View>& deviceListHeaderView() const { return deviceListHeaderView_; }
  const std::shared_ptr<Label>& deviceListTitleLabel() const { return deviceListTitleLabel_; }
  const std::shared_ptr<Button>& refreshScanButton() const { return refreshScanButton_; }
  const std::shared_ptr<ActivityIndicator>& loadingView() const { return loadingView_; }

  void viewDidLoad() override;

  void initData();
  void startScan();
  void stopScan();
  void pairButtonTapped();
  void refreshScanButtonTapped();
  void connectDevice(const transport::BLEPeripheralModel& model);
  bool isDevicePaired(const transport::BLEPeripheralModel& model);
  // Lists the stored terminals instead of a scan's; nothing on the screen
  // calls it.
  void loadPairedDevices();
  void switchValueChanged(Switch& sender);
  // An alert with `message` and no title or buttons, gone after 1.2 s; it
  // takes the place of one still showing.
  void showToast(const std::string& message);

  std::int64_t numberOfRows(TableView& table, std::int64_t section) override;
  std::shared_ptr<TableViewCell> cellForRow(TableView& table, IndexPath indexPath) override;
  std::optional<double> heightForRow(TableView& table, IndexPath indexPath) override;
  void willDisplayCell(TableView& table, TableViewCell& cell, IndexPath indexPath) override;
  void didSelectRow(TableView& table, IndexPath indexPath) override;

  std::string typeName() const override { return "BleSettingsViewController"; }

 private:
  void setupUI();
  void setupConstraints();
  void setupSwitchCard();
  void setupModeRow();
  void setupDeviceListHeader();
  void setupDeviceTable();
  void setupPairButton();
  void setupLoadingView();
  void setBluetoothEnabled(bool enabled);
  void scanned(std::uint64_t generation, const transport::BLEPeripheralModel& model);
  void connected(bool success, const std::optional<std::string>& message);
  void reloadSwitchRow();
  void fillSwitchCell(TableViewCell& cell);
  void fillDeviceCell(TableViewCell& cell, const transport::BLEPeripheralModel& model);
  std::weak_ptr<BleSettingsViewController> weakSelf();

  Collaborators collaborators_;

  std::shared_ptr<ScrollingPage> page_;
  std::shared_ptr<View> mainContainerView_;
  std::shared_ptr<TableView> contentTableView_;
  std::shared_ptr<View> portContainerView_;
  std::shared_ptr<Label> modeTitleLabel_;
  std::shared_ptr<ImageView> modeChevronView_;
  std::shared_ptr<Label> modeNameLabel_;
  std::shared_ptr<Button> pairButton_;
  std::shared_ptr<TableView> deviceTableView_;
  std::shared_ptr<View> deviceListHeaderView_;
  std::shared_ptr<Label> deviceListTitleLabel_;
  std::shared_ptr<Button> refreshScanButton_;
  std::shared_ptr<ActivityIndicator> loadingView_;

  bool isBleEnabled_ = false;
  std::string modeName_;
  std::vector<transport::BLEPeripheralModel> deviceArray_;
  bool isScanning_ = false;
  // Each scan's number: its 3 s stop and its results count only while it is
  // the current one, so an older scan's timer never ends a newer scan.
  std::uint64_t scanGeneration_ = 0;
  platform::DelayedCall scanStop_;
  SelfDismissingAlert toast_{kToastSeconds};
};

}  // namespace veltrix::ui::settings
