#include "veltrix/ui/settings/ble_settings_view_controller.h"

#include <fmt/format.h>

#include <algorithm>
#include <utility>

#include "veltrix/platform/clock.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/ui/image.h"
#include "veltrix/ui/settings/settings_style.h"

namespace veltrix::ui::settings {
namespace {

using transport::BLEConnectStatus;
using transport::BLEPeripheralModel;

constexpr const char* kSwitchCellIdentifier = "LANCell";
constexpr const char* kDeviceCellIdentifier = "BLEDeviceCell";
constexpr const char* kBluetoothTitle = "Bluetooth";
constexpr const char* kModeTitle = "Bluetooth Mode";
constexpr const char* kModeName = "Host";
constexpr const char* kPairedTerminals = "Paired Terminals";
constexpr const char* kScanning = "Scanning...";
constexpr const char* kPairTerminal = "Pair Terminal";
constexpr const char* kUnknownDevice = "Unknown Device";
constexpr const char* kRefreshSymbol = "arrow.clockwise";

constexpr double kMargin = 20;
constexpr double kCornerRadius = 12;
constexpr double kCardHeight = 60;
constexpr double kHeaderHeight = 50;
constexpr double kSwitchRowHeight = 60;
constexpr double kDeviceRowHeight = 80;
// Two terminals' rows at least: a short screen scrolls the page instead.
constexpr double kMinimumListHeight = 2 * kDeviceRowHeight;
constexpr double kRowTitleFontSize = 17;
constexpr double kModeNameFontSize = 15;
constexpr double kChevronSide = 16;
constexpr double kModeNameGap = 10;
constexpr double kRefreshSide = 30;
constexpr double kPairButtonHeight = 60;
constexpr double kPairButtonFontSize = 17;
constexpr double kDisabledTitleAlpha = 0.7;

constexpr double kDeviceInset = 16;
constexpr double kNameTop = 12;
constexpr double kSerialTop = 4;
constexpr double kSignalTop = 2;
constexpr double kSignalBottom = 8;
constexpr double kStatusGap = 12;
constexpr double kNameFontSize = 16;
constexpr double kSerialFontSize = 13;
constexpr double kStatusFontSize = 12;
constexpr double kSignalFontSize = 11;
// Below the status label's (750), so the status keeps its word.
constexpr double kOutsideTextCompression = priority::kDefaultLow;

void styleListTable(TableView& table) {
  table.separatorStyle = SeparatorStyle::SingleLine;
  table.separatorInset = Insets{0, kMargin, 0, kMargin};
  table.separatorColor = Color::systemGray3();
  table.setTranslatesAutoresizingMaskIntoConstraints(false);
}

}  // namespace

bool isPeripheralPaired(const BLEPeripheralModel& model, BleSettingsLink& link,
                        registry::DatabaseManager& database) {
  if (!model.manufacturerName || model.manufacturerName->empty()) return false;
  const std::string& sn = *model.manufacturerName;
  if (link.connectStatus(sn) == BLEConnectStatus::Ready) return true;
  // The transport keeps the address it was last given there, mostly a
  // serial number: only a real UUID can ask the radio.
  const std::optional<std::string> serviceText = link.serviceUUIDString();
  if (serviceText && !serviceText->empty() && model.uuidString) {
    if (const auto service = platform::ble::BleUuid::fromString(*serviceText)) {
      const std::vector<std::string> ids = link.connectedPeripheralIdentifiers(*service);
      if (std::find(ids.begin(), ids.end(), *model.uuidString) != ids.end()) return true;
    }
  }
  const registry::Rows stored = database.fetchDiscoveredAllTerminal();
  return std::any_of(stored.begin(), stored.end(),
                     [&](const registry::Row& row) { return registry::rowText(row, "sn") == sn; });
}

PairedStatusDisplay pairedStatusDisplay(bool paired) {
  if (paired) return {"Paired", Color::systemGreen()};
  return {"Unpaired", Color::systemGray()};
}

std::optional<std::string> signalText(const BLEPeripheralModel& model) {
  if (!model.rssi) return std::nullopt;
  return fmt::format("{} dBm", *model.rssi);
}

BLEPeripheralModel storedTerminalModel(const registry::Row& row) {
  BLEPeripheralModel model;
  model.manufacturerName = registry::rowText(row, "sn").value_or("");
  for (const char* key : {"alias", "model"}) {
    if (auto text = registry::rowText(row, key); text && !text->empty()) {
      model.name = std::move(text);
      break;
    }
  }
  if (!model.name) model.name = kUnknownDevice;
  model.uuidString = registry::rowText(row, "uuidString");
  return model;
}

// --- The screen ----------------------------------------------------------

BleSettingsViewController::BleSettingsViewController()
    : BleSettingsViewController(Collaborators{makeBleSettingsLink(),
                                              facade::RetailerSettingManager::sharedPtr(),
                                              &registry::DatabaseManager::sharedManager()}) {}

BleSettingsViewController::BleSettingsViewController(Collaborators collaborators)
    : collaborators_(std::move(collaborators)) {}

BleSettingsViewController::~BleSettingsViewController() {
  scanStop_.cancel();
  if (collaborators_.ble) collaborators_.ble->stopScan();
}

std::weak_ptr<BleSettingsViewController> BleSettingsViewController::weakSelf() {
  return std::static_pointer_cast<BleSettingsViewController>(weak_from_this().lock());
}

void BleSettingsViewController::viewDidLoad() {
  view().setBackgroundColor(Color::systemGray6());
  isBleEnabled_ =
      collaborators_.settings->getCommunicateTypeState(facade::kCommunicateTypeBluetooth);
  modeName_ = kModeName;
  initData();
  setupUI();
  setupConstraints();
  startScan();
}

void BleSettingsViewController::initData() {
  deviceArray_.clear();
  isScanning_ = false;
}

// --- Views, in the order they stand on the screen ---------------------------

void BleSettingsViewController::setupUI() {
  page_ = ScrollingPage::install(view());
  setupSwitchCard();
  setupModeRow();
  setupDeviceListHeader();
  setupDeviceTable();
  setupPairButton();
  setupLoadingView();
}

void BleSettingsViewController::setupSwitchCard() {
  mainContainerView_ = makeCard(kCornerRadius);
  page_->content().addSubview(mainContainerView_);
  contentTableView_ = std::make_shared<TableView>(Rect{}, TableViewStyle::Plain);
  styleListTable(*contentTableView_);
  contentTableView_->setBackgroundColor(Color::clear());
  contentTableView_->bounces = false;
  auto self = std::static_pointer_cast<BleSettingsViewController>(shared_from_this());
  contentTableView_->setDataSource(std::static_pointer_cast<TableViewDataSource>(self));
  contentTableView_->setDelegate(std::static_pointer_cast<TableViewDelegate>(self));
  contentTableView_->registerCell(kSwitchCellIdentifier,
                                  [] { return std::make_shared<TableViewCell>(); });
  mainContainerView_->addSubview(contentTableView_);
}

void BleSettingsViewController::setupModeRow() {
  portContainerView_ = makeCard(kCornerRadius);
  // Shown as a row, but nothing happens on a tap.
  portContainerView_->userInteractionEnabled = true;
  page_->content().addSubview(portContainerView_);
  modeTitleLabel_ =
      makeLabel(kModeTitle, Font::system(kRowTitleFontSize, FontWeight::Medium), Color::label());
  portContainerView_->addSubview(modeTitleLabel_);
  modeChevronView_ = makeChevron();
  portContainerView_->addSubview(modeChevronView_);
  modeNameLabel_ = makeLabel(modeName_, Font::system(kModeNameFontSize), Color::systemGray());
  portContainerView_->addSubview(modeNameLabel_);
}

void BleSettingsViewController::setupDeviceListHeader() {
  deviceListHeaderView_ = makeCard(kCornerRadius);
  page_->content().addSubview(deviceListHeaderView_);
  deviceListTitleLabel_ = makeLabel(
      kPairedTerminals, Font::system(kRowTitleFontSize, FontWeight::Medium), Color::label());
  deviceListHeaderView_->addSubview(deviceListTitleLabel_);
  refreshScanButton_ = std::make_shared<Button>(ButtonType::System);
  refreshScanButton_->setImage(Image::systemNamed(kRefreshSymbol), ControlState::Normal);
  refreshScanButton_->setTintColor(Color::systemBlue());
  refreshScanButton_->setTranslatesAutoresizingMaskIntoConstraints(false);
  auto weak = weakSelf();
  refreshScanButton_->addTarget(ControlEvent::TouchUpInside, [weak](Control&) {
    if (auto self = weak.lock()) self->refreshScanButtonTapped();
  });
  deviceListHeaderView_->addSubview(refreshScanButton_);
}

void BleSettingsViewController::setupDeviceTable() {
  deviceTableView_ = std::make_shared<TableView>(Rect{}, TableViewStyle::Plain);
  styleListTable(*deviceTableView_);
  deviceTableView_->setBackgroundColor(Color::white());
  deviceTableView_->bounces = true;
  deviceTableView_->rowHeight = kDeviceRowHeight;
  // An empty footer: no separator lines below the last row.
  deviceTableView_->setTableFooterView(std::make_shared<View>());
  auto self = std::static_pointer_cast<BleSettingsViewController>(shared_from_this());
  deviceTableView_->setDataSource(std::static_pointer_cast<TableViewDataSource>(self));
  deviceTableView_->setDelegate(std::static_pointer_cast<TableViewDelegate>(self));
  deviceTableView_->registerCell(kDeviceCellIdentifier,
                                 [] { return std::make_shared<TableViewCell>(); });
  page_->content().addSubview(deviceTableView_);
}

void BleSettingsViewController::setupPairButton() {
  pairButton_ = std::make_shared<Button>(ButtonType::System);
  pairButton_->setTitle(kPairTerminal, ControlState::Normal);
  pairButton_->setTitle(kScanning, ControlState::Disabled);
  pairButton_->setTitleColor(Color::white(), ControlState::Normal);
  // The platform's grey disabled title cannot be read on the blue fill.
  pairButton_->setTitleColor(Color::white(1, kDisabledTitleAlpha), ControlState::Disabled);
  pairButton_->titleLabel()->setFont(Font::system(kPairButtonFontSize, FontWeight::Semibold));
  pairButton_->setBackgroundColor(Color::systemBlue());
  pairButton_->cornerRadius = kCornerRadius;
  pairButton_->clipsToBounds = true;
  pairButton_->setTranslatesAutoresizingMaskIntoConstraints(false);
  auto weak = weakSelf();
  pairButton_->addTarget(ControlEvent::TouchUpInside, [weak](Control&) {
    if (auto self = weak.lock()) self->pairButtonTapped();
  });
  page_->content().addSubview(pairButton_);
}

void BleSettingsViewController::setupLoadingView() {
  loadingView_ = std::make_shared<ActivityIndicator>(ActivityIndicatorStyle::Large);
  loadingView_->setHidesWhenStopped(true);
  loadingView_->setTranslatesAutoresizingMaskIntoConstraints(false);
  page_->content().addSubview(loadingView_);
}

void BleSettingsViewController::setupConstraints() {
  View& root = page_->content();
  View& card = *mainContainerView_;
  View& port = *portContainerView_;
  View& header = *deviceListHeaderView_;
  View& modeName = *modeNameLabel_;

  // A card below another, across the screen.
  auto stackedCard = [&](View& v, View& above, double height) {
    return std::vector<ConstraintPtr>{
        v.topAnchor().constraintEqualTo(above.bottomAnchor(), kMargin),
        v.leadingAnchor().constraintEqualTo(root.leadingAnchor(), kMargin),
        v.trailingAnchor().constraintEqualTo(root.trailingAnchor(), -kMargin),
        v.heightAnchor().constraintEqualToConstant(height),
    };
  };
  activateAll({
      tableCardAtTop(root, card, *contentTableView_, kMargin, kCardHeight),
      {
          deviceListTitleLabel_->leadingAnchor().constraintEqualTo(header.leadingAnchor(), kMargin),
          deviceListTitleLabel_->centerYAnchor().constraintEqualTo(header.centerYAnchor()),
          refreshScanButton_->widthAnchor().constraintEqualToConstant(kRefreshSide),
          refreshScanButton_->heightAnchor().constraintEqualToConstant(kRefreshSide),
          refreshScanButton_->trailingAnchor().constraintEqualTo(header.trailingAnchor(), -kMargin),
          refreshScanButton_->centerYAnchor().constraintEqualTo(header.centerYAnchor()),

          deviceTableView_->topAnchor().constraintEqualTo(header.bottomAnchor()),
          deviceTableView_->leadingAnchor().constraintEqualTo(root.leadingAnchor(), kMargin),
          deviceTableView_->trailingAnchor().constraintEqualTo(root.trailingAnchor(), -kMargin),
          deviceTableView_->bottomAnchor().constraintEqualTo(pairButton_->topAnchor(), -kMargin),
          // Where the screen is short the page scrolls rather than close the list.
          deviceTableView_->heightAnchor().constraintGreaterThanOrEqualToConstant(
              kMinimumListHeight),

          // Over the list it waits for: the screen's centre lies on the list's
          // header on the small phone, and off the page once it scrolls.
          loadingView_->centerXAnchor().constraintEqualTo(deviceTableView_->centerXAnchor()),
          loadingView_->centerYAnchor().constraintEqualTo(deviceTableView_->centerYAnchor()),

          pairButton_->leadingAnchor().constraintEqualTo(root.leadingAnchor(), kMargin),
          pairButton_->trailingAnchor().constraintEqualTo(root.trailingAnchor(), -kMargin),
          pairButton_->bottomAnchor().constraintEqualTo(root.bottomAnchor(), -kMargin),
          pairButton_->heightAnchor().constraintEqualToConstant(kPairButtonHeight),
      },
      stackedCard(port, card, kCardHeight),
      shareRow(port, *modeTitleLabel_, modeName, kMargin),
      chevronAfter(port, modeName, *modeChevronView_, kMargin, kModeNameGap, kChevronSide),
      stackedCard(header, port, kHeaderHeight),
  });
}

// --- Scanning ----------------------------------------------------------------

void BleSettingsViewController::startScan() {
  if (isScanning_) return;
  isScanning_ = true;
  const std::uint64_t generation = ++scanGeneration_;
  pairButton_->setEnabled(false);
  loadingView_->startAnimating();
  deviceListTitleLabel_->setText(kScanning);
  deviceArray_.clear();
  deviceTableView_->reloadData();

  auto weak = weakSelf();
  collaborators_.ble->startScan([weak, generation](const BLEPeripheralModel& model) {
    platform::postToMain([weak, generation, model] {
      if (auto self = weak.lock()) self->scanned(generation, model);
    });
  });
  scanStop_.cancel();
  scanStop_ = platform::after(
      platform::MainLoop::shared(), platform::seconds(kScanSeconds), [weak, generation] {
        auto self = weak.lock();
        if (self && self->isScanning_ && generation == self->scanGeneration_) {
          self->stopScan();
        }
      });
}

void BleSettingsViewController::scanned(std::uint64_t generation, const BLEPeripheralModel& model) {
  // A report queued by an earlier scan does not join the new list.
  if (generation != scanGeneration_) return;
  if (addScannedPeripheral(deviceArray_, model)) deviceTableView_->reloadData();
}

void BleSettingsViewController::stopScan() {
  scanStop_.cancel();
  collaborators_.ble->stopScan();
  isScanning_ = false;
  pairButton_->setEnabled(true);
  loadingView_->stopAnimating();
  deviceListTitleLabel_->setText(kPairedTerminals);
}

void BleSettingsViewController::pairButtonTapped() {
  if (isScanning_) {
    stopScan();
  } else {
    startScan();
  }
}

void BleSettingsViewController::refreshScanButtonTapped() { startScan(); }

void BleSettingsViewController::loadPairedDevices() {
  deviceArray_.clear();
  for (const registry::Row& row : collaborators_.database->fetchDiscoveredAllTerminal()) {
    deviceArray_.push_back(storedTerminalModel(row));
  }
  deviceTableView_->reloadData();
}

// --- Connecting ----------------------------------------------------------------

void BleSettingsViewController::connectDevice(const BLEPeripheralModel& model) {
  stopScan();
  pairButton_->setEnabled(false);
  loadingView_->startAnimating();
  auto weak = weakSelf();
  connectAndStoreBluetooth(*collaborators_.ble, collaborators_.settings, model,
                           [weak](bool success, const std::optional<std::string>& message) {
                             if (auto self = weak.lock()) self->connected(success, message);
                           });
}

void BleSettingsViewController::connected(bool success, const std::optional<std::string>& message) {
  loadingView_->stopAnimating();
  pairButton_->setEnabled(true);
  showToast(message.value_or(""));
  if (success) {
    // The switch and the rows' paired states would otherwise show what
    // held before the connection.
    isBleEnabled_ =
        collaborators_.settings->getCommunicateTypeState(facade::kCommunicateTypeBluetooth);
    reloadSwitchRow();
    deviceTableView_->reloadData();
  }
}

bool BleSettingsViewController::isDevicePaired(const BLEPeripheralModel& model) {
  return isPeripheralPaired(model, *collaborators_.ble, *collaborators_.database);
}

void BleSettingsViewController::showToast(const std::string& message) {
  toast_.show(*this, message);
}

// --- The Bluetooth switch --------------------------------------------------------

void BleSettingsViewController::switchValueChanged(Switch& sender) {
  setBluetoothEnabled(sender.isOn());
}

void BleSettingsViewController::setBluetoothEnabled(bool enabled) {
  isBleEnabled_ = enabled;
  collaborators_.settings->setCommunicateType(facade::kCommunicateTypeBluetooth, enabled);
  // Off: no automatic reconnection may pick the last terminal again.
  if (!enabled) collaborators_.ble->clearLastConnectDevice();
}

void BleSettingsViewController::reloadSwitchRow() {
  if (contentTableView_) contentTableView_->reloadRows({IndexPath::forRow(0)});
}

// --- Tables ----------------------------------------------------------------------

std::int64_t BleSettingsViewController::numberOfRows(TableView& table, std::int64_t) {
  if (&table == contentTableView_.get()) return 1;
  return static_cast<std::int64_t>(deviceArray_.size());
}

std::optional<double> BleSettingsViewController::heightForRow(TableView& table, IndexPath) {
  return &table == contentTableView_.get() ? kSwitchRowHeight : kDeviceRowHeight;
}

std::shared_ptr<TableViewCell> BleSettingsViewController::cellForRow(TableView& table,
                                                                     IndexPath indexPath) {
  const bool switchRow = &table == contentTableView_.get();
  std::shared_ptr<TableViewCell> cell = table.dequeueReusableCell(
      switchRow ? kSwitchCellIdentifier : kDeviceCellIdentifier, indexPath);
  // Rebuilt every time: a reused cell keeps nothing of its last row.
  for (const auto& subview : std::vector<ViewPtr>(cell->contentView()->subviews())) {
    subview->removeFromSuperview();
  }
  if (switchRow) {
    fillSwitchCell(*cell);
  } else {
    fillDeviceCell(*cell, deviceArray_.at(static_cast<std::size_t>(indexPath.row())));
  }
  return cell;
}

void BleSettingsViewController::fillSwitchCell(TableViewCell& cell) {
  cell.setBackgroundColor(Color::clear());
  cell.selectionStyle = SelectionStyle::None;
  View& content = *cell.contentView();
  auto title = makeLabel(kBluetoothTitle, Font::system(kRowTitleFontSize, FontWeight::Medium),
                         Color::label());
  auto toggle = std::make_shared<Switch>();
  toggle->setOn(isBleEnabled_);
  toggle->setTranslatesAutoresizingMaskIntoConstraints(false);
  auto weak = weakSelf();
  toggle->addTarget(ControlEvent::ValueChanged, [weak](Control& sender) {
    if (auto self = weak.lock()) self->switchValueChanged(static_cast<Switch&>(sender));
  });
  content.addSubview(title);
  content.addSubview(toggle);
  activateAll({
      shareRow(content, *title, *toggle, kMargin),
      {toggle->trailingAnchor().constraintEqualTo(content.trailingAnchor(), -kMargin)},
  });
}

void BleSettingsViewController::fillDeviceCell(TableViewCell& cell,
                                               const BLEPeripheralModel& model) {
  cell.selectionStyle = SelectionStyle::None;
  cell.setBackgroundColor(Color::white());
  cell.accessoryType = AccessoryType::None;
  View& content = *cell.contentView();
  const PairedStatusDisplay status = pairedStatusDisplay(isDevicePaired(model));
  auto name = makeLabel(model.name.value_or(""), Font::system(kNameFontSize, FontWeight::Semibold),
                        Color::label());
  auto serial = makeLabel(model.manufacturerName.value_or(""), Font::system(kSerialFontSize),
                          Color::secondaryLabel());
  auto statusLabel =
      makeLabel(status.text, Font::system(kStatusFontSize, FontWeight::Medium), status.color);
  statusLabel->textAlignment = TextAlignment::Right;
  // The name and serial number are the terminal's own: shown safely, and
  // they end in an ellipsis before the status gives way.
  for (Label* outside : {name.get(), serial.get()}) {
    outside->setShowsOutsideText(true);
    outside->setContentCompressionResistancePriority(kOutsideTextCompression,
                                                     LayoutAxis::Horizontal);
  }
  content.addSubview(name);
  content.addSubview(serial);
  content.addSubview(statusLabel);
  std::vector<ConstraintPtr> constraints{
      name->topAnchor().constraintEqualTo(content.topAnchor(), kNameTop),
      name->leadingAnchor().constraintEqualTo(content.leadingAnchor(), kDeviceInset),
      name->trailingAnchor().constraintLessThanOrEqualTo(statusLabel->leadingAnchor(), -kStatusGap),
      serial->topAnchor().constraintEqualTo(name->bottomAnchor(), kSerialTop),
      serial->leadingAnchor().constraintEqualTo(name->leadingAnchor()),
      serial->trailingAnchor().constraintLessThanOrEqualTo(statusLabel->leadingAnchor(),
                                                           -kStatusGap),
      statusLabel->trailingAnchor().constraintEqualTo(content.trailingAnchor(), -kDeviceInset),
      statusLabel->centerYAnchor().constraintEqualTo(content.centerYAnchor()),
  };
  if (const std::optional<std::string> signal = signalText(model)) {
    auto signalLabel = makeLabel(*signal, Font::system(kSignalFontSize, FontWeight::Light),
                                 Color::tertiaryLabel());
    content.addSubview(signalLabel);
    constraints.push_back(
        signalLabel->topAnchor().constraintEqualTo(serial->bottomAnchor(), kSignalTop));
    constraints.push_back(signalLabel->leadingAnchor().constraintEqualTo(name->leadingAnchor()));
    constraints.push_back(signalLabel->bottomAnchor().constraintLessThanOrEqualTo(
        content.bottomAnchor(), -kSignalBottom));
  }
  activate(constraints);
}

void BleSettingsViewController::willDisplayCell(TableView& table, TableViewCell& cell, IndexPath) {
  // The one row of the card draws no separator.
  if (&table == contentTableView_.get()) {
    cell.separatorInset = rowSeparatorInset(true, kMargin);
  }
}

void BleSettingsViewController::didSelectRow(TableView& table, IndexPath indexPath) {
  table.deselectRow(indexPath, true);
  if (&table == contentTableView_.get()) {
    setBluetoothEnabled(!isBleEnabled_);
    reloadSwitchRow();
    return;
  }
  const auto row = static_cast<std::size_t>(indexPath.row());
  if (indexPath.row() < 0 || row >= deviceArray_.size()) return;
  const BLEPeripheralModel model = deviceArray_[row];
  connectDevice(model);
}

}  // namespace veltrix::ui::settings
