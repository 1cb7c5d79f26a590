// The Bluetooth device list screen: scans for terminals over Bluetooth LE
// for five seconds, lists those found, and connects the one the user taps;
// a successful connection turns the Bluetooth connection method on.
// Progress shows in alerts without title or buttons that go after 1.2 s.
// The host shows it (pushed or presented); no screen of the library opens
// it.
//
// Decisions kept apart from the views: which scan results are listed
// (ui/ble_link.h), and below a row's detail text and what a status shows.
//
// Thread: the main loop. The transport's scan results, connection
// completion and status changes are moved there before they touch the
// screen, and the setting is written there too, also when the screen has
// gone meanwhile (the terminal is connected all the same).
// Ownership: whoever shows it owns it; it owns its views and holds the
// transport link and the settings facade. Every block it gives the
// transport, timers or views holds it weakly; the status handler stays set
// on the transport after the screen has gone and then does nothing.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "veltrix/facade/retailer_setting_manager.h"
#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/ui/view_controller.h"
#include "veltrix/transport/ble_communicate_service.h"
#include "veltrix/ui/ble_link.h"
#include "veltrix/ui/self_dismissing_alert.h"

namespace veltrix::ui::scan {

// The link and the list rules are shared with the Bluetooth settings screen.
using ::veltrix::ui::addScannedPeripheral;
using ::veltrix::ui::BleDeviceLink;
using ::veltrix::ui::isListedPeripheral;
using ::veltrix::ui::makeBleDeviceLink;

// "<serial number>\n<rssi> dBm", or "...\nUnknown RSSI" without a signal;
// the serial number as it may be shown (displayableOutsideText).
std::string peripheralDetailText(const transport::BLEPeripheralModel& model);

// What a connection status shows: its text, and whether it gives the scan
// button back. Disconnected and unknown statuses show nothing.
struct BleStatusDisplay {
  std::string text;
  bool enablesScanButton = false;
};
std::optional<BleStatusDisplay> bleStatusDisplay(transport::BLEConnectStatus status);

class BLEDeviceScanViewController final : public ViewController,
                                          public TableViewDataSource,
                                          public TableViewDelegate {
 public:
  static constexpr double kScanSeconds = 5.0;
  static constexpr double kToastSeconds = 1.2;

  struct Collaborators {
    std::shared_ptr<BleDeviceLink> ble;
    std::shared_ptr<facade::RetailerSettingManager> settings;
  };

  // On the process-wide transport and settings facade.
  BLEDeviceScanViewController();
  explicit BLEDeviceScanViewController(Collaborators collaborators);
  ~BLEDeviceScanViewController() override;

  const std::vector<transport::BLEPeripheralModel>& deviceArray() const { return devices_; }
  // nullptr before the view loaded.
  const std::shared_ptr<TableView>& tableView() const { return tableView_; }
  const std::shared_ptr<Button>& scanBtn() const { return scanBtn_; }
  const std::shared_ptr<ActivityIndicator>& loadingView() const { return loadingView_; }

  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void viewDidLayoutSubviews() override;

  // Safe before the view loaded: the transport is asked all the same, and
  // what would show on the screen is left out.
  void scanBtnClick();
  void stopScan();
  void connectDevice(const transport::BLEPeripheralModel& model);
  void observeBLEStatus();
  // An alert with `message` and no title or buttons, gone after 1.2 s; it
  // takes the place of one still showing.
  void showToast(const std::string& message);

  std::int64_t numberOfRows(TableView& table, std::int64_t section) override;
  std::shared_ptr<TableViewCell> cellForRow(TableView& table, IndexPath indexPath) override;
  void didSelectRow(TableView& table, IndexPath indexPath) override;

  std::string typeName() const override { return "BLEDeviceScanViewController"; }

 private:
  void setupScanButton();
  void setupTable();
  void setupLoadingView();
  // Places the button, the list and the spinner for the screen's size.
  void placeViews();
  // Both do nothing before the view loaded.
  void setBusy(bool busy);
  void reloadTable();
  void scanned(const transport::BLEPeripheralModel& model);
  void connected(const std::optional<std::string>& message);
  void statusChanged(transport::BLEConnectStatus status);
  std::weak_ptr<BLEDeviceScanViewController> weakSelf();

  Collaborators collaborators_;
  std::vector<transport::BLEPeripheralModel> devices_;
  std::shared_ptr<TableView> tableView_;
  std::shared_ptr<Button> scanBtn_;
  std::shared_ptr<ActivityIndicator> loadingView_;
  // The pending end of the latest scan; a newer scan or a connection
  // cancels it, so it never cuts their work short.
  platform::DelayedCall scanStop_;
  SelfDismissingAlert toast_{kToastSeconds};
};

}  // namespace veltrix::ui::scan
