#include "veltrix/ui/settings/remote_device_controller.h"

#include <limits>
#include <utility>

#include "veltrix/platform/json.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/ui/image.h"
#include "veltrix/platform/ui/toast.h"
#include "veltrix/ui/settings/settings_style.h"
#include "veltrix/ui/settings/terminal_detail_cells.h"

namespace veltrix::ui::settings {

namespace {

using registry::Row;
using registry::rowInt;
using registry::rowText;

constexpr const char* kRemoteTitle = "Remote Device";
constexpr const char* kDisplayType = "Display";
constexpr const char* kCapabilityCellId = "Cell";
constexpr const char* kRemoveDevice = "REMOVE DEVICE";
constexpr const char* kConnectDevice = "CONNECT DEVICE";
constexpr const char* kFindDevice = "FIND DEVICE";

constexpr std::int64_t kSectionHeader = 0;
constexpr std::int64_t kSectionAuth = 1;
constexpr std::int64_t kSectionStatus = 2;
constexpr std::int64_t kSectionServices = 3;

constexpr double kHeaderRowHeight = 100;
constexpr double kAuthRowHeight = 60;
constexpr double kStatusRowHeight = 120;
constexpr double kCapabilityTitleHeight = 30;
constexpr double kServiceRowHeight = 72;
constexpr double kRemoteSectionSpacing = 5;
constexpr double kBarHeight = 60;
constexpr double kRemoteButtonHeight = 44;
constexpr double kRemoteButtonWidth = 200;
constexpr double kButtonInset = 15;
constexpr double kButtonCornerRadius = 5;
constexpr double kToastAboveBar = 40;

constexpr std::int64_t kStatusInUse = 1;
constexpr std::int64_t kStatusRemoved = 2;
constexpr std::int64_t kServiceEnabled = 1;
constexpr std::int64_t kServiceDisabled = 2;

// A header or footer view that takes no room (a zero height would give the
// style's default).
std::shared_ptr<View> collapsedTableEdge() {
  return std::make_shared<View>(Rect{0, 0, 0, std::numeric_limits<double>::min()});
}

std::shared_ptr<Button> makeBarButton(const char* title, Color background) {
  auto button = std::make_shared<Button>(ButtonType::System);
  button->setTitle(title, ControlState::Normal);
  button->setTitleColor(Color::white(), ControlState::Normal);
  button->setBackgroundColor(background);
  button->cornerRadius = kButtonCornerRadius;
  return button;
}

}  // namespace

std::string selfLocationReportContent(const std::optional<std::string>& model,
                                      const std::optional<std::string>& sn) {
  auto content = [](const std::string& m, const std::string& s) {
    platform::Json data = platform::Json::object();
    data["hasShow"] = false;
    data["model"] = m;
    data["sn"] = s;
    data["type"] = 0;
    platform::Json root = platform::Json::object();
    root["data"] = std::move(data);
    root["refId"] = "selfLocationReport";
    return platform::dumpJson(root);
  };
  if (auto text = content(model.value_or(""), sn.value_or(""))) return *text;
  // Only text that is not UTF-8 fails; the terminal's registry row came from
  // parsed JSON, so this is a corrupted database.
  platform::logLine("selfLocationReport: model or sn is not UTF-8");
  return content("", "").value_or("");
}

RemoteDeviceController::RemoteDeviceController(registry::Row terminalInfo,
                                               registry::Rows serviceArray, SettingsEnvironment env)
    : env_(std::move(env)),
      terminalInfo_(std::move(terminalInfo)),
      serviceArray_(std::move(serviceArray)) {
  // Set as the design does; the scan screen pushes the sheet, where it has
  // no effect.
  modalPresentationStyle = ModalPresentationStyle::OverCurrentContext;
}

void RemoteDeviceController::viewDidLoad() {
  view().setBackgroundColor(Color::white());
  setTitle(kRemoteTitle);
  isConnect_ = rowInt(terminalInfo_, "status") == kStatusInUse;
  setupTableView();
  setupButtonContainer();
  setupButtons();
  setupConstraints();
}

void RemoteDeviceController::viewDidAppear(bool) {
  if (rowInt(terminalInfo_, "status") != kStatusInUse) {
    isConnect_ = false;
    leftButton_->setTitle(kConnectDevice, ControlState::Normal);
  } else {
    isConnect_ = true;
  }
}

void RemoteDeviceController::setupTableView() {
  tableView_ = std::make_shared<TableView>(Rect{}, TableViewStyle::InsetGrouped);
  tableView_->setTranslatesAutoresizingMaskIntoConstraints(false);
  auto self = std::static_pointer_cast<RemoteDeviceController>(shared_from_this());
  tableView_->setDataSource(std::weak_ptr<TableViewDataSource>(self));
  tableView_->setDelegate(std::weak_ptr<TableViewDelegate>(self));
  tableView_->allowsMultipleSelection = true;
  tableView_->rowHeight = kAutomaticDimension;
  tableView_->sectionHeaderHeight = kRemoteSectionSpacing;
  tableView_->sectionFooterHeight = kRemoteSectionSpacing;
  tableView_->setTableHeaderView(collapsedTableEdge());
  tableView_->setTableFooterView(collapsedTableEdge());
  tableView_->separatorStyle = SeparatorStyle::None;
  // Registered as the design does; every row is nevertheless made anew.
  tableView_->registerCell("RemoteTerminalCell",
                           [] { return std::make_shared<RemoteTerminalCell>(Row{}); });
  tableView_->registerCell("AuthStatusCell",
                           [] { return std::make_shared<AuthStatusCell>(Row{}); });
  tableView_->registerCell("DeviceStatusCell",
                           [] { return std::make_shared<DeviceStatusCell>(Row{}); });
  tableView_->registerCell("DeviceCapabilityCell",
                           [] { return std::make_shared<DeviceCapabilityCell>(Row{}); });
  view().addSubview(tableView_);
}

void RemoteDeviceController::setupButtonContainer() {
  buttonContainerView_ = makeLaidOut();
  buttonContainerView_->setBackgroundColor(Color::white(0.95));
  buttonContainerView_->setAlpha(1.0);
  view().addSubview(buttonContainerView_);
}

void RemoteDeviceController::setupButtons() {
  auto weak = weak_from_this();
  leftButton_ = makeBarButton(kRemoveDevice, Color::systemRed());
  leftButton_->setHidden(true);
  leftButton_->addTarget(ControlEvent::TouchUpInside, [weak](Control&) {
    if (auto self = std::static_pointer_cast<RemoteDeviceController>(weak.lock())) {
      self->leftButtonTapped();
    }
  });
  buttonContainerView_->addSubview(leftButton_);

  rightButton_ = makeBarButton(kFindDevice, Color::systemBlue());
  rightButton_->setTranslatesAutoresizingMaskIntoConstraints(false);
  rightButton_->addTarget(ControlEvent::TouchUpInside, [weak](Control&) {
    if (auto self = std::static_pointer_cast<RemoteDeviceController>(weak.lock())) {
      self->rightButtonTapped();
    }
  });
  buttonContainerView_->addSubview(rightButton_);
}

void RemoteDeviceController::setupConstraints() {
  View& root = view();
  LayoutGuide& safe = root.safeAreaLayoutGuide();
  View& bar = *buttonContainerView_;
  View& find = *rightButton_;
  activate({
      bar.leadingAnchor().constraintEqualTo(root.leadingAnchor()),
      bar.trailingAnchor().constraintEqualTo(root.trailingAnchor()),
      bar.bottomAnchor().constraintEqualTo(safe.bottomAnchor()),
      bar.heightAnchor().constraintEqualToConstant(kBarHeight),

      tableView_->topAnchor().constraintEqualTo(safe.topAnchor()),
      tableView_->leadingAnchor().constraintEqualTo(root.leadingAnchor()),
      tableView_->trailingAnchor().constraintEqualTo(root.trailingAnchor()),
      tableView_->bottomAnchor().constraintEqualTo(bar.topAnchor()),

      find.centerXAnchor().constraintEqualTo(bar.centerXAnchor()),
      find.centerYAnchor().constraintEqualTo(bar.centerYAnchor()),
      find.heightAnchor().constraintEqualToConstant(kRemoteButtonHeight),
      find.widthAnchor().constraintEqualToConstant(kRemoteButtonWidth),
      find.leadingAnchor().constraintGreaterThanOrEqualTo(bar.leadingAnchor(), kButtonInset),
      find.trailingAnchor().constraintLessThanOrEqualTo(bar.trailingAnchor(), -kButtonInset),
  });
}

// --- The table ----------------------------------------------------------------------

std::int64_t RemoteDeviceController::numberOfRows(TableView&, std::int64_t section) {
  if (section == kSectionServices) return static_cast<std::int64_t>(serviceArray_.size()) + 1;
  return 1;
}

std::shared_ptr<TableViewCell> RemoteDeviceController::cellForRow(TableView&, IndexPath indexPath) {
  std::shared_ptr<TableViewCell> cell;
  switch (indexPath.section) {
    case kSectionHeader:
      cell = std::make_shared<RemoteTerminalCell>(terminalInfo_);
      cell->setBackgroundColor(Color::clear());
      break;
    case kSectionAuth:
      cell = std::make_shared<AuthStatusCell>(terminalInfo_);
      break;
    case kSectionStatus:
      cell = std::make_shared<DeviceStatusCell>(terminalInfo_);
      break;
    default:
      if (indexPath.row() == 0) {
        cell = std::make_shared<TableViewCell>(TableViewCellStyle::Default, kCapabilityCellId);
        cell->setBackgroundColor(Color::white());
        cell->textLabel()->setText("Device Capability");
        cell->textLabel()->textColor = Color::black();
        cell->textLabel()->setFont(Font::bold(18));
      } else {
        cell = serviceCell(static_cast<std::size_t>(indexPath.row() - 1));
      }
      break;
  }
  cell->selectionStyle = SelectionStyle::None;
  return cell;
}

std::shared_ptr<TableViewCell> RemoteDeviceController::serviceCell(std::size_t index) {
  Row service = serviceArray_.at(index);
  service["isLastLine"] = std::int64_t{index + 1 == serviceArray_.size() ? 1 : 0};
  auto cell = std::make_shared<DeviceCapabilityCell>(std::move(service));
  auto weak = weak_from_this();
  cell->selectionBlock = [weak](std::int64_t tsId, bool selected) {
    if (auto self = std::static_pointer_cast<RemoteDeviceController>(weak.lock())) {
      self->handleSelection(tsId, selected);
    }
  };
  return cell;
}

std::optional<double> RemoteDeviceController::heightForRow(TableView&, IndexPath indexPath) {
  switch (indexPath.section) {
    case kSectionHeader:
      return kHeaderRowHeight;
    case kSectionAuth:
      return kAuthRowHeight;
    case kSectionStatus:
      return kStatusRowHeight;
    default:
      return indexPath.row() == 0 ? kCapabilityTitleHeight : kServiceRowHeight;
  }
}

void RemoteDeviceController::didSelectRow(TableView& table, IndexPath indexPath) {
  table.deselectRow(indexPath, true);
}

// --- Actions ---------------------------------------------------------------------------

void RemoteDeviceController::showToast(const std::string& message) {
  // Above the button bar: the usual place, 100 points over the bottom,
  // would cover FIND DEVICE.
  if (buttonContainerView_ && buttonContainerView_->frame().height() > 0) {
    const Point above{view().bounds().midX(),
                      buttonContainerView_->frame().minY() - kToastAboveBar};
    showToastInView(view(), message, kToastSeconds, above);
    return;
  }
  showToastInView(view(), message, kToastSeconds);
}

void RemoteDeviceController::handleSelection(std::int64_t tsId, bool on) {
  const std::int64_t value = on ? kServiceEnabled : kServiceDisabled;
  if (!env_.database->updataTerminalServiceStatus(tsId, value)) {
    showToast(kSaveFailed);
    // The button shows what is stored, which did not change.
    if (tableView_) {
      for (const auto& visible : tableView_->visibleCells()) {
        auto* cell = dynamic_cast<DeviceCapabilityCell*>(visible.get());
        if (cell && cell->tsId() == tsId) cell->updateBtn()->setSelected(!on);
      }
    }
    return;
  }
  // A row built again (scrolled back in) shows what is stored.
  for (Row& service : serviceArray_) {
    if (rowInt(service, "tsId") == tsId) service["isEnabled"] = value;
  }
  showToast(kSaved);
}

std::optional<model::DisplayParam> RemoteDeviceController::findDeviceRequest() {
  const Row* target = nullptr;
  for (const Row& service : serviceArray_) {
    if (rowText(service, "serviceType") == kDisplayType) {
      target = &service;
      break;
    }
  }
  if (target == nullptr) return std::nullopt;

  model::ActionMessageParam message;
  message.format = model::OutputFormatCode::SREF;
  message.messageContent =
      selfLocationReportContent(rowText(terminalInfo_, "model"), rowText(terminalInfo_, "sn"));
  message.messageDestination = model::ReceiptOutputTargetCode::MDSP;
  message.responseRequiredFlag = true;

  model::DisplayParam param;
  param.displayContents = std::vector<model::ActionMessageParam>{std::move(message)};
  model::DestinationParams destination;
  destination.sn = rowText(env_.database->fetchDiscoveredTerminal(rowText(*target, "sn")), "sn");
  destination.serviceId = rowText(*target, "serviceId");
  param.servicesParams = std::move(destination);
  return param;
}

void RemoteDeviceController::rightButtonTapped() {
  std::optional<model::DisplayParam> request = findDeviceRequest();
  if (!request) {
    showToast(kNoDisplay);
    return;
  }
  env_.services->display(
      *request, [](const std::string&) {},
      [](std::shared_ptr<const model::DisplayResult> result, std::int64_t code,
         std::optional<std::string> message) {
        platform::logf("FIND DEVICE result = {}, code = {}, message = {}",
                       result ? "DisplayResult" : "(null)", code, message.value_or("(null)"));
      });
}

void RemoteDeviceController::leftButtonTapped() {
  const TerminalIconNames icons = terminalIconNames(rowText(terminalInfo_, "model"));
  std::string image;
  std::int64_t status;
  if (isConnect_) {
    leftButton_->setTitle(kConnectDevice, ControlState::Normal);
    image = icons.disabled;
    status = kStatusRemoved;
  } else {
    leftButton_->setTitle(kRemoveDevice, ControlState::Normal);
    image = icons.enabled;
    status = kStatusInUse;
  }
  isConnect_ = !isConnect_;
  if (auto cell = std::dynamic_pointer_cast<RemoteTerminalCell>(
          tableView_->cellForRow(IndexPath::forRow(0, kSectionHeader)))) {
    cell->terminalImageView()->setImage(loadImageNamed(image));
  }
  const std::optional<std::string> sn = rowText(terminalInfo_, "sn");
  if (env_.database->updateTerminalStatus(sn, status)) {
    terminalInfo_["status"] = status;
  }
  const Row stored = env_.database->fetchDiscoveredTerminal(sn);
  platform::logf("terminal {} status = {}", sn.value_or("(null)"), rowInt(stored, "status"));
}

}  // namespace veltrix::ui::settings
