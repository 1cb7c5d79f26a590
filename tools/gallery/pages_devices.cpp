// Gallery pages of the device screens: the QR scanner with a code in its
// frame and without a camera, and the Bluetooth device list scanning, with
// three terminals, and connected.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gallery/gallery.h"
#include "veltrix/facade/retailer_setting_manager.h"
#include "veltrix/platform/paths.h"
#include "veltrix/platform/ui/camera.h"
#include "veltrix/platform/ui/qr.h"
#include "veltrix/platform/uuid.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/ui/scan/ble_device_scan_view_controller.h"
#include "veltrix/ui/scan/qr_scanner_view_controller.h"

namespace veltrix::gallery {
namespace {

using transport::BLEConnectStatus;
using transport::BLEPeripheralModel;
using ui::scan::BLEDeviceScanViewController;
using ui::scan::QRScannerViewController;

// A camera picture: a grey desk with a terminal's pairing code on a white
// card near the top, outside the scan frame, so the scanner keeps looking.
std::shared_ptr<ui::Bitmap> deskWithCode() {
  constexpr int kW = 1080;
  constexpr int kH = 1920;
  auto picture = std::make_shared<ui::Bitmap>(kW, kH);
  for (int y = 0; y < kH; ++y) {
    const auto level = static_cast<std::uint32_t>(70 + 40 * y / kH);
    for (int x = 0; x < kW; ++x) {
      picture->set(x, y, 0xFF000000u | (level << 16) | ((level + 4) << 8) | (level + 8));
    }
  }
  const int card = 520;
  const int cx = (kW - card) / 2;
  const int cy = 60;
  for (int y = cy; y < cy + card; ++y) {
    for (int x = cx; x < cx + card; ++x) picture->set(x, y, 0xFFFFFFFFu);
  }
  auto code = ui::encodeQr(
      R"({"sn":"TAVIO-SIM-0001","address":"192.168.1.20:8080","contentType":"discover"})",
      ui::QrCorrection::M);
  auto modules = ui::renderQr(*code, 400, 400);
  for (int y = 0; y < 400; ++y) {
    for (int x = 0; x < 400; ++x) picture->set(cx + 60 + x, cy + 60 + y, modules->at(x, y));
  }
  return picture;
}

void scannerWithCode(Stage& stage) {
  auto camera = std::make_shared<ui::FakeCamera>();
  // A code in the frame would be read at once and the screen gone; one
  // outside it is seen in the preview and never read.
  ui::CaptureDevice::setDefaultVideoDevice(camera);
  stage.show(QRScannerViewController::initWithCompletion({}));
  camera->showPicture(std::shared_ptr<const ui::Bitmap>(deskWithCode()));
  stage.advance(1);
  stage.snapshot("qr_scanner_code_outside");
  ui::CaptureDevice::setDefaultVideoDevice(nullptr);
}

void scannerWithoutCamera(Stage& stage) {
  ui::CaptureDevice::setDefaultVideoDevice(nullptr);
  stage.show(QRScannerViewController::initWithCompletion({}));
  stage.snapshot("qr_scanner_no_camera");
}

// Terminals in range, as a radio would report them.
class GalleryLink final : public ui::scan::BleDeviceLink {
 public:
  void startScan(transport::BLEScanSingleBlock block) override { scan = std::move(block); }
  void stopScan() override { scan = nullptr; }
  void connectPeripheralWithModel(const BLEPeripheralModel& model,
                                  transport::BLEConnectCompletion completion) override {
    if (status)
      status(BLEConnectStatus::Connecting, "Start connecting device", model.manufacturerName);
    completion(true, "Device connected and ready for communication", model.manufacturerName);
    if (status) status(BLEConnectStatus::Ready, "ready", model.manufacturerName);
  }
  void setConnectStatusChangeBlock(transport::BLEConnectStatusChangeBlock block) override {
    status = std::move(block);
  }
  void reportThree() {
    const std::vector<BLEPeripheralModel> found{
        {nullptr, "Tavio T1 Pro", "6F0C2B1E-4D51-4B8A-9E27-1C3A5D7E9F01", -48, "TAVIO-T1P-00123"},
        {nullptr, "Tavio T420", "0A7D9C3B-2E14-4F6A-8B59-3D2C1E0F4A52", -71, "TAVIO-T420-04567"},
        {nullptr, "Tavio Mix Z3", "C41B8E2D-7A36-4C95-B0E8-5F1D2A3C6B73", std::nullopt,
         "TAVIO-Z3-08910"},
    };
    for (const auto& model : found) {
      if (scan) scan(model);
    }
  }

  transport::BLEScanSingleBlock scan;
  transport::BLEConnectStatusChangeBlock status;
};

// The device list in a navigation controller, its settings on a database
// of the page's own, which outlives the screen: leave() takes the screen
// off the stage first.
struct DeviceList {
  explicit DeviceList(Stage& stage)
      : stage(stage),
        database(std::make_unique<registry::DatabaseManager>(
            platform::documentsDir() / ("gallery-devices-" + platform::newUuid() + ".sqlite"))),
        settings(std::make_shared<facade::RetailerSettingManager>(*database)),
        screen(std::make_shared<BLEDeviceScanViewController>(
            BLEDeviceScanViewController::Collaborators{link, settings})) {
    stage.show(std::make_shared<ui::NavigationController>(screen));
  }
  ~DeviceList() {
    screen.reset();
    stage.show(nullptr);
  }
  DeviceList(const DeviceList&) = delete;
  DeviceList& operator=(const DeviceList&) = delete;

  Stage& stage;
  std::unique_ptr<registry::DatabaseManager> database;
  std::shared_ptr<facade::RetailerSettingManager> settings;
  std::shared_ptr<GalleryLink> link = std::make_shared<GalleryLink>();
  std::shared_ptr<BLEDeviceScanViewController> screen;
};

void deviceListScanning(Stage& stage) {
  DeviceList list(stage);
  stage.advance(0.5);
  stage.snapshot("ble_devices_scanning");
}

void deviceListThree(Stage& stage) {
  DeviceList list(stage);
  list.link->reportThree();
  stage.advance(5.5);
  stage.snapshot("ble_devices_three");
}

void deviceListConnected(Stage& stage) {
  DeviceList list(stage);
  list.link->reportThree();
  stage.advance(5.5);
  stage.driver().tapRow(*list.screen->tableView(), ui::IndexPath::forRow(0));
  stage.advance(0.5);
  stage.snapshot("ble_devices_connected");
}

}  // namespace

VELTRIX_GALLERY_PAGE("qr_scanner_code_outside", scannerWithCode);
VELTRIX_GALLERY_PAGE("qr_scanner_no_camera", scannerWithoutCamera);
VELTRIX_GALLERY_PAGE("ble_devices_scanning", deviceListScanning);
VELTRIX_GALLERY_PAGE("ble_devices_three", deviceListThree);
VELTRIX_GALLERY_PAGE("ble_devices_connected", deviceListConnected);

}  // namespace veltrix::gallery
