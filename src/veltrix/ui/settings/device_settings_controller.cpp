#include "veltrix/ui/settings/device_settings_controller.h"

#include <fmt/format.h>

#include <algorithm>
#include <limits>
#include <utility>

#include "veltrix/platform/clock.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/time_format.h"
#include "veltrix/platform/ui/device.h"
#include "veltrix/platform/ui/image.h"
#include "veltrix/ui/settings/connection_method_view_controller.h"
#include "veltrix/ui/settings/settings_style.h"
#include "veltrix/ui/settings/terminal_detail_cells.h"

namespace veltrix::ui::settings {

namespace {

using registry::Row;
using registry::rowInt;
using registry::rowText;

constexpr const char* kTitle = "Device Setting";
constexpr const char* kAuthType = "DCA";

constexpr std::int64_t kSectionConnection = 0;
constexpr std::int64_t kSectionAuthentication = 1;
constexpr std::int64_t kSectionRemember = 2;

constexpr double kConnectionRowHeight = 70;
constexpr double kAuthenticationRowHeight = 70;
constexpr double kOptionsRowHeight = 50;
constexpr double kServiceTypeRowHeight = 80;
constexpr double kSectionSpacing = 5;

// Our font is wider than the design's: titles get the room up to the
// control beside them, the switch keeps the row's 16-point right margin,
// and the remembered serial number goes on the count's line, between the
// count and the chevron (on the type's line it ran into the type).
constexpr double kTitleWidth = 200;
constexpr double kRowInsets = 40;
constexpr double kRowMargin = 16;
constexpr double kChevronFromRight = 82;
constexpr double kSnLabelX = 168;
constexpr double kSnLabelEndFromRight = 90;

}  // namespace

// --- AuthenticationCell ---------------------------------------------------------------

AuthenticationCell::AuthenticationCell(registry::Row terminalInfo, bool authStatus)
    : TableViewCell(TableViewCellStyle::Default), terminalInfo_(std::move(terminalInfo)) {
  setFrame(Rect{});
  styleRow(*this);
  const double width = screenWidth();
  addLabel(*contentView(), {20, 20, kTitleWidth, 40}, "Authentication", Font::bold(18),
           Color::black());

  authSwitch_ = std::make_shared<Switch>();
  const Size size = authSwitch_->intrinsicContentSize();
  authSwitch_->setFrame(
      Rect{width - kRowInsets - kRowMargin - size.width, 25, size.width, size.height});
  authSwitch_->userInteractionEnabled = true;
  authSwitch_->setOn(authStatus);
  authSwitch_->onTintColor = Color::systemGreen();
  authSwitch_->setTintColor(Color::systemRed());
  authSwitch_->thumbTintColor = Color::white();
  authSwitch_->addTarget(ControlEvent::ValueChanged, [this](Control& sender) {
    switchValueChanged(static_cast<Switch&>(sender));
  });
  contentView()->addSubview(authSwitch_);
}

void AuthenticationCell::switchValueChanged(Switch& sender) {
  if (selectionBlock) selectionBlock(sender.isOn());
}

void AuthenticationCell::layoutSubviews() {
  TableViewCell::layoutSubviews();
  contentView()->bringSubviewToFront(*authSwitch_);
}

// --- DeviceOptionsCell ----------------------------------------------------------------

DeviceOptionsCell::DeviceOptionsCell(registry::Row terminalInfo)
    : TableViewCell(TableViewCellStyle::Default), terminalInfo_(std::move(terminalInfo)) {
  setFrame(Rect{});
  styleRow(*this, false);
  const double width = screenWidth();
  // Up to "Forget All", which the small phone brings within the 200 points.
  shrinkToFit(*addLabel(*contentView(), {20, 10, std::min(kTitleWidth, width - 150 - 8 - 20), 40},
                        "Remember options", Font::bold(18), Color::black()));

  buttonScan_ = std::make_shared<Button>(ButtonType::Custom, Rect{width - 150, 10, 100, 40});
  buttonScan_->tag = 0;
  buttonScan_->setTitle("Forget All", ControlState::Normal);
  buttonScan_->setTitleColor(detailLinkColor(), ControlState::Normal);
  buttonScan_->contentHorizontalAlignment = ContentHorizontalAlignment::Left;
  buttonScan_->addTarget(ControlEvent::TouchUpInside,
                         [this](Control& sender) { forgetTerminal(static_cast<Button&>(sender)); });
  contentView()->addSubview(buttonScan_);
}

void DeviceOptionsCell::forgetTerminal(Button&) {
  if (selectionBlock) selectionBlock(true);
}

View* DeviceOptionsCell::hitTest(Point p) {
  if (buttonScan_ && !buttonScan_->isHidden() &&
      buttonScan_->pointInside(convert(p, buttonScan_.get()))) {
    return buttonScan_.get();
  }
  return TableViewCell::hitTest(p);
}

// --- TerminalServicesCell -------------------------------------------------------------

std::string remoteCountText(const registry::Row& serviceCount) {
  return fmt::format("Remote {}", rowText(serviceCount, "count").value_or("0"));
}

TerminalServicesCell::TerminalServicesCell(registry::Row serviceCount, std::string rememberedSn)
    : TableViewCell(TableViewCellStyle::Default), serviceCount_(std::move(serviceCount)) {
  setFrame(Rect{});
  styleRow(*this, false);
  const double width = screenWidth();
  View& content = *contentView();

  auto icon = std::make_shared<ImageView>(Rect{25, 15, 30, 30});
  icon->setImage(loadImageNamed("icon_unknown"));
  content.addSubview(icon);

  addLabel(content, {80, 0, 200, 40}, rowText(serviceCount_, "serviceType").value_or(""),
           Font::bold(17), Color::black());
  countLabel_ = addLabel(content, {80, 40, 80, 20}, remoteCountText(serviceCount_), Font::bold(14),
                         Color::gray(), TextAlignment::Center);
  countLabel_->setBackgroundColor(detailBadgeColor());

  auto more = std::make_shared<ImageView>(Rect{width - kChevronFromRight, 25, 30, 30});
  more->setImage(loadImageNamed("icon_more_setting"));
  content.addSubview(more);

  snLabel_ = addLabel(content,
                      {kSnLabelX, 40, std::max(0.0, width - kSnLabelEndFromRight - kSnLabelX), 20},
                      std::move(rememberedSn), Font::bold(12), Color::gray(), TextAlignment::Right);
  snLabel_->setShowsOutsideText(true);
  shrinkToFit(*snLabel_);
  // Where the serial number does not fit beside the count even drawn smaller
  // (the small phone leaves it 62 points), it takes the line under the
  // count, from the count's left edge to the same end.
  const Rect beside = snLabel_->frame();
  if (snLabel_->intrinsicContentSize().width * snLabel_->minimumScaleFactor > beside.width()) {
    const double x = countLabel_->frame().minX();
    snLabel_->setFrame(Rect{x, countLabel_->frame().maxY(), std::max(0.0, beside.maxX() - x), 20});
    snLabel_->textAlignment = TextAlignment::Left;
  }
}

// --- DeviceSettingsController ---------------------------------------------------------

DeviceSettingsController::DeviceSettingsController(registry::Row terminalInfo,
                                                   registry::Rows serviceArray,
                                                   SettingsEnvironment env)
    : env_(std::move(env)),
      terminalInfo_(std::move(terminalInfo)),
      serviceArray_(std::move(serviceArray)) {
  modalPresentationStyle = ModalPresentationStyle::OverCurrentContext;
}

std::weak_ptr<DeviceSettingsController> DeviceSettingsController::weakSelf() {
  return std::static_pointer_cast<DeviceSettingsController>(weak_from_this().lock());
}

void DeviceSettingsController::viewDidLoad() {
  setTitle(kTitle);
  // The list's grey, also under the home indicator where the list now ends.
  view().setBackgroundColor(Color::systemGray6());
  serviceTypeList_ = env_.database->groupCountByTerminaService();
  const Row auth = env_.database->fetchDeviceAuthInfoWithSn(env_.deviceIdentifier());
  authFlag_ = auth.contains("deviceId") && rowInt(auth, "status") == 1;
  setupTableView();
}

void DeviceSettingsController::setupTableView() {
  tableView_ = std::make_shared<TableView>(Rect{}, TableViewStyle::InsetGrouped);
  tableView_->setTranslatesAutoresizingMaskIntoConstraints(false);
  auto self = std::static_pointer_cast<DeviceSettingsController>(shared_from_this());
  tableView_->setDataSource(std::weak_ptr<TableViewDataSource>(self));
  tableView_->setDelegate(std::weak_ptr<TableViewDelegate>(self));
  tableView_->allowsMultipleSelection = false;
  tableView_->rowHeight = kAutomaticDimension;
  // Registered as the design does; every row is nevertheless made anew.
  tableView_->registerCell("ConnectionMethodCell",
                           [] { return std::make_shared<ConnectionMethodCell>(Row{}); });
  tableView_->registerCell("AuthenticationCell",
                           [] { return std::make_shared<AuthenticationCell>(Row{}, false); });
  tableView_->registerCell("DeviceOptionsCell",
                           [] { return std::make_shared<DeviceOptionsCell>(Row{}); });
  tableView_->registerCell("TerminalServicesCell",
                           [] { return std::make_shared<TerminalServicesCell>(Row{}, ""); });
  tableView_->separatorStyle = SeparatorStyle::None;
  tableView_->sectionHeaderHeight = kSectionSpacing;
  tableView_->sectionFooterHeight = kSectionSpacing;
  tableView_->setTableFooterView(
      std::make_shared<View>(Rect{0, 0, 0, std::numeric_limits<double>::min()}));
  view().addSubview(tableView_);
  // The top and the bottom follow the safe area: lists are not inset for the
  // bars and the home indicator here, and the last row would stay under it.
  View& root = view();
  activate({
      tableView_->topAnchor().constraintEqualTo(root.safeAreaLayoutGuide().topAnchor()),
      tableView_->leadingAnchor().constraintEqualTo(root.leadingAnchor()),
      tableView_->trailingAnchor().constraintEqualTo(root.trailingAnchor()),
      tableView_->bottomAnchor().constraintEqualTo(root.safeAreaLayoutGuide().bottomAnchor()),
  });
}

std::int64_t DeviceSettingsController::numberOfRows(TableView&, std::int64_t section) {
  if (section == kSectionRemember) return static_cast<std::int64_t>(serviceTypeList_.size()) + 1;
  return 1;
}

std::shared_ptr<TableViewCell> DeviceSettingsController::cellForRow(TableView&,
                                                                    IndexPath indexPath) {
  std::shared_ptr<TableViewCell> cell;
  auto weak = weakSelf();
  if (indexPath.section == kSectionConnection) {
    cell = std::make_shared<ConnectionMethodCell>(terminalInfo_);
  } else if (indexPath.section == kSectionAuthentication) {
    auto auth = std::make_shared<AuthenticationCell>(terminalInfo_, authFlag_);
    auth->selectionBlock = [weak](bool on) {
      if (auto self = weak.lock()) self->handleAuthType(on);
    };
    cell = auth;
  } else if (indexPath.row() == 0) {
    auto options = std::make_shared<DeviceOptionsCell>(terminalInfo_);
    options->selectionBlock = [weak](bool selected) {
      if (auto self = weak.lock()) self->handleSelection(selected);
    };
    cell = options;
  } else {
    const Row& entry = serviceTypeList_.at(static_cast<std::size_t>(indexPath.row() - 1));
    const Row remembered =
        env_.database->fetchRememberServicesWithType(rowText(entry, "serviceType"));
    cell = std::make_shared<TerminalServicesCell>(entry, rowText(remembered, "sn").value_or(""));
  }
  cell->selectionStyle = SelectionStyle::None;
  return cell;
}

std::optional<double> DeviceSettingsController::heightForRow(TableView&, IndexPath indexPath) {
  switch (indexPath.section) {
    case kSectionConnection:
      return kConnectionRowHeight;
    case kSectionAuthentication:
      return kAuthenticationRowHeight;
    default:
      return indexPath.row() == 0 ? kOptionsRowHeight : kServiceTypeRowHeight;
  }
}

void DeviceSettingsController::didSelectRow(TableView&, IndexPath indexPath) {
  if (indexPath.section != kSectionRemember || indexPath.row() == 0) {
    platform::logf("didSelectRowAtIndexPath section = {}, row = {}", indexPath.section,
                   indexPath.row());
    return;
  }
  const std::int64_t row = indexPath.row();
  const std::optional<std::string> type =
      rowText(serviceTypeList_.at(static_cast<std::size_t>(row - 1)), "serviceType");
  RememberPopupRequest request;
  request.options = env_.database->fetchTerminalServicesWithServiceType(type);
  request.remembered = env_.database->fetchRememberServicesWithType(type);
  request.sn = std::nullopt;
  auto weak = weakSelf();
  request.completion = [weak, row](const std::string& flag, const std::optional<std::string>& sn) {
    if (auto self = weak.lock()) self->handleRememberChoice(row, flag, sn);
  };
  if (auto popup = rememberPopupMaker(std::move(request), env_)) present(popup, true);
}

// --- Actions ---------------------------------------------------------------------------

void DeviceSettingsController::handleAuthType(bool on) {
  const std::string deviceId = env_.deviceIdentifier();
  const std::int64_t status = on ? 1 : 0;
  const Row row = env_.database->fetchDeviceAuthInfoWithSn(deviceId);
  bool stored;
  if (!row.contains("deviceId")) {
    stored = env_.database->insertDeviceAuthInfo(deviceId, status, kAuthType, kAuthType,
                                                 platform::millisText(platform::nowMillis()));
  } else {
    stored = env_.database->updateDeviceAuthInfo(deviceId, status);
  }
  if (stored) {
    // A row built again shows what is stored.
    authFlag_ = on;
    return;
  }
  platform::logf("authentication switch not stored: {}", on ? 1 : 0);
  // The switch shows what is stored, which did not change.
  if (tableView_) {
    if (auto cell = std::dynamic_pointer_cast<AuthenticationCell>(
            tableView_->cellForRow(IndexPath::forRow(0, kSectionAuthentication)))) {
      cell->authSwitch()->setOn(!on);
    }
  }
}

TerminalServicesCell* DeviceSettingsController::visibleServiceRow(std::int64_t row) {
  if (!tableView_) return nullptr;
  return dynamic_cast<TerminalServicesCell*>(
      tableView_->cellForRow(IndexPath::forRow(row, kSectionRemember)).get());
}

void DeviceSettingsController::handleSelection(bool) {
  if (!env_.database->deleteRememberServiceAll()) {
    // The rows keep showing what is still stored.
    platform::logLine("Forget All: remembered services not deleted");
    return;
  }
  const auto rows = static_cast<std::int64_t>(serviceTypeList_.size());
  for (std::int64_t row = 1; row <= rows; ++row) {
    if (TerminalServicesCell* cell = visibleServiceRow(row)) cell->snLabel()->setText("");
  }
}

void DeviceSettingsController::handleRememberChoice(std::int64_t row, const std::string& flag,
                                                    const std::optional<std::string>& sn) {
  TerminalServicesCell* cell = visibleServiceRow(row);
  if (cell == nullptr) return;  // a row built later reads the stored choice
  if (flag == "1") {
    cell->snLabel()->setText(sn.value_or(""));
  } else if (flag == "2") {
    cell->snLabel()->setText("");
  }
}

}  // namespace veltrix::ui::settings
