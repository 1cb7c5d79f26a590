#include "veltrix/ui/scan/ble_device_scan_view_controller.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <utility>

#include "veltrix/platform/clock.h"
#include "veltrix/platform/ui/outside_text.h"
#include "veltrix/platform/ui/window.h"

namespace veltrix::ui::scan {
namespace {

using transport::BLEConnectStatus;
using transport::BLEPeripheralModel;

constexpr const char* kTitle = "Ble Device Scan";
constexpr const char* kCellIdentifier = "BLEDeviceCell";
constexpr const char* kStartScan = "Start Scan";
constexpr const char* kScanning = "Scanning...";

constexpr double kButtonInset = 20;
constexpr double kButtonHeight = 44;
constexpr double kButtonBottomGap = 20;
constexpr double kButtonCornerRadius = 8;
constexpr double kDisabledTitleAlpha = 0.7;
// The table leaves the button, its gaps and the safe area below it.
constexpr double kTableBottomSpace = 104;
constexpr double kRowHeight = 80;
constexpr double kSeparatorInset = 16;
constexpr double kNameFontSize = 16;
constexpr double kDetailFontSize = 12;
constexpr int kDetailLines = 2;

struct StatusRow {
  BLEConnectStatus status;
  const char* text;
  bool enablesScanButton;
};
constexpr std::array<StatusRow, 3> kStatusTexts{{
    {BLEConnectStatus::Connecting, "Connecting...", false},
    {BLEConnectStatus::Ready, "Connected Success", false},
    {BLEConnectStatus::Failed, "Connect Failed", true},
}};

}  // namespace

std::string peripheralDetailText(const BLEPeripheralModel& model) {
  const std::string signal = model.rssi ? fmt::format("{} dBm", *model.rssi) : "Unknown RSSI";
  // The serial number is the terminal's own text and must keep to its line;
  // the line break between the two is ours.
  return fmt::format("{}\n{}", displayableOutsideText(model.manufacturerName.value_or("")), signal);
}

std::optional<BleStatusDisplay> bleStatusDisplay(BLEConnectStatus status) {
  for (const StatusRow& row : kStatusTexts) {
    if (row.status == status) return BleStatusDisplay{row.text, row.enablesScanButton};
  }
  return std::nullopt;
}

// --- The screen ----------------------------------------------------------

BLEDeviceScanViewController::BLEDeviceScanViewController()
    : BLEDeviceScanViewController(
          Collaborators{makeBleDeviceLink(), facade::RetailerSettingManager::sharedPtr()}) {}

BLEDeviceScanViewController::BLEDeviceScanViewController(Collaborators collaborators)
    : collaborators_(std::move(collaborators)) {}

BLEDeviceScanViewController::~BLEDeviceScanViewController() {
  scanStop_.cancel();
  if (collaborators_.ble) collaborators_.ble->stopScan();
}

std::weak_ptr<BLEDeviceScanViewController> BLEDeviceScanViewController::weakSelf() {
  return std::static_pointer_cast<BLEDeviceScanViewController>(weak_from_this().lock());
}

void BLEDeviceScanViewController::viewDidLoad() {
  View& root = view();
  root.setBackgroundColor(Color::systemBackground());
  setTitle(kTitle);
  devices_.clear();

  setupScanButton();
  setupTable();
  setupLoadingView();
  placeViews();
  observeBLEStatus();
}

void BLEDeviceScanViewController::placeViews() {
  // From the view's size as it is now, not only at set-up: a turn, or a
  // sheet shorter than the screen, moves the button and ends the list above
  // it again.
  const Size size = view().bounds().size;
  const Window* key = Window::keyWindow();
  const Insets safe = key ? key->safeAreaInsets() : Insets{};
  scanBtn_->setFrame(Rect{safe.left + kButtonInset,
                          size.height - kButtonHeight - safe.bottom - kButtonBottomGap,
                          size.width - safe.left - safe.right - 2 * kButtonInset, kButtonHeight});
  tableView_->setFrame(Rect{0, 0, size.width, size.height - kTableBottomSpace - safe.bottom});
  loadingView_->setCenter(Rect{Point{0, 0}, size}.mid());
}

void BLEDeviceScanViewController::setupScanButton() {
  scanBtn_ = std::make_shared<Button>(ButtonType::System);
  scanBtn_->setTitle(kStartScan, ControlState::Normal);
  scanBtn_->setTitle(kScanning, ControlState::Disabled);
  scanBtn_->setBackgroundColor(Color::systemBlue());
  scanBtn_->setTitleColor(Color::white(), ControlState::Normal);
  // The platform's grey disabled title cannot be read on the blue fill.
  scanBtn_->setTitleColor(Color::white(1, kDisabledTitleAlpha), ControlState::Disabled);
  scanBtn_->cornerRadius = kButtonCornerRadius;
  scanBtn_->clipsToBounds = true;
  auto weak = weakSelf();
  scanBtn_->addTarget(ControlEvent::TouchUpInside, [weak](Control&) {
    if (auto self = weak.lock()) self->scanBtnClick();
  });
  view().addSubview(scanBtn_);
}

void BLEDeviceScanViewController::setupTable() {
  tableView_ = std::make_shared<TableView>(Rect{}, TableViewStyle::Plain);
  auto self = std::static_pointer_cast<BLEDeviceScanViewController>(shared_from_this());
  tableView_->setDataSource(std::static_pointer_cast<TableViewDataSource>(self));
  tableView_->setDelegate(std::static_pointer_cast<TableViewDelegate>(self));
  tableView_->rowHeight = kRowHeight;
  tableView_->setBackgroundColor(Color::systemBackground());
  tableView_->separatorInset = Insets{0, kSeparatorInset, 0, kSeparatorInset};
  // An empty footer: no separator lines below the last row.
  tableView_->setTableFooterView(std::make_shared<View>());
  view().addSubview(tableView_);
}

void BLEDeviceScanViewController::setupLoadingView() {
  loadingView_ = std::make_shared<ActivityIndicator>(ActivityIndicatorStyle::Large);
  const Size size = loadingView_->intrinsicContentSize();
  loadingView_->setFrame(Rect{0, 0, size.width, size.height});
  loadingView_->setHidesWhenStopped(true);
  view().addSubview(loadingView_);
}

void BLEDeviceScanViewController::viewWillAppear(bool /*animated*/) { scanBtnClick(); }

void BLEDeviceScanViewController::viewDidLayoutSubviews() {
  placeViews();
  // The table starts under the navigation bar. The platform insets a
  // scroll view's content by the bars over it; the UI layer leaves that to
  // the screen.
  const double top = std::max(0.0, view().safeAreaInsets().top - tableView_->frame().y());
  if (tableView_->contentInset.top == top) return;
  const bool atTop = tableView_->contentOffset().y <= -tableView_->contentInset.top;
  tableView_->contentInset.top = top;
  if (atTop) tableView_->setContentOffset(Point{0, -top});
}

void BLEDeviceScanViewController::setBusy(bool busy) {
  // Before the view loaded there is nothing to show it on; the transport
  // work goes on all the same.
  if (!scanBtn_ || !loadingView_) return;
  scanBtn_->setEnabled(!busy);
  if (busy) {
    loadingView_->startAnimating();
  } else {
    loadingView_->stopAnimating();
  }
}

void BLEDeviceScanViewController::reloadTable() {
  if (tableView_) tableView_->reloadData();
}

void BLEDeviceScanViewController::scanBtnClick() {
  devices_.clear();
  reloadTable();
  setBusy(true);
  auto weak = weakSelf();
  collaborators_.ble->startScan([weak](const BLEPeripheralModel& model) {
    platform::postToMain([weak, model] {
      if (auto self = weak.lock()) self->scanned(model);
    });
  });
  scanStop_.cancel();
  scanStop_ =
      platform::after(platform::MainLoop::shared(), platform::seconds(kScanSeconds), [weak] {
        if (auto self = weak.lock()) self->stopScan();
      });
}

void BLEDeviceScanViewController::scanned(const BLEPeripheralModel& model) {
  if (addScannedPeripheral(devices_, model)) reloadTable();
}

void BLEDeviceScanViewController::stopScan() {
  collaborators_.ble->stopScan();
  setBusy(false);
}

void BLEDeviceScanViewController::connectDevice(const BLEPeripheralModel& model) {
  scanStop_.cancel();
  stopScan();
  setBusy(true);
  auto weak = weakSelf();
  connectAndStoreBluetooth(*collaborators_.ble, collaborators_.settings, model,
                           [weak](bool, const std::optional<std::string>& message) {
                             if (auto self = weak.lock()) self->connected(message);
                           });
}

void BLEDeviceScanViewController::connected(const std::optional<std::string>& message) {
  setBusy(false);
  showToast(message.value_or(""));
}

void BLEDeviceScanViewController::observeBLEStatus() {
  auto weak = weakSelf();
  collaborators_.ble->setConnectStatusChangeBlock(
      [weak](BLEConnectStatus status, std::optional<std::string>, std::optional<std::string>) {
        platform::postToMain([weak, status] {
          if (auto self = weak.lock()) self->statusChanged(status);
        });
      });
}

void BLEDeviceScanViewController::statusChanged(BLEConnectStatus status) {
  const std::optional<BleStatusDisplay> display = bleStatusDisplay(status);
  if (!display) return;
  showToast(display->text);
  if (display->enablesScanButton && scanBtn_) scanBtn_->setEnabled(true);
}

void BLEDeviceScanViewController::showToast(const std::string& message) {
  toast_.show(*this, message);
}

std::int64_t BLEDeviceScanViewController::numberOfRows(TableView&, std::int64_t) {
  return static_cast<std::int64_t>(devices_.size());
}

std::shared_ptr<TableViewCell> BLEDeviceScanViewController::cellForRow(TableView& table,
                                                                       IndexPath indexPath) {
  std::shared_ptr<TableViewCell> cell = table.dequeueReusableCell(kCellIdentifier);
  if (!cell) cell = std::make_shared<TableViewCell>(TableViewCellStyle::Value1, kCellIdentifier);
  const BLEPeripheralModel& model = devices_.at(static_cast<std::size_t>(indexPath.row()));
  cell->accessoryType = AccessoryType::DisclosureIndicator;
  cell->setBackgroundColor(Color::systemBackground());
  Label* name = cell->textLabel();
  name->setShowsOutsideText(true);
  name->setText(model.name.value_or(""));
  name->setFont(Font::system(kNameFontSize, FontWeight::Semibold));
  name->textColor = Color::label();
  Label* detail = cell->detailTextLabel();
  detail->setText(peripheralDetailText(model));
  detail->setFont(Font::system(kDetailFontSize));
  detail->textColor = Color::secondaryLabel();
  detail->setNumberOfLines(kDetailLines);
  return cell;
}

void BLEDeviceScanViewController::didSelectRow(TableView& table, IndexPath indexPath) {
  table.deselectRow(indexPath, true);
  if (indexPath.row() < 0 || static_cast<std::size_t>(indexPath.row()) >= devices_.size()) return;
  const BLEPeripheralModel model = devices_[static_cast<std::size_t>(indexPath.row())];
  connectDevice(model);
}

}  // namespace veltrix::ui::scan
