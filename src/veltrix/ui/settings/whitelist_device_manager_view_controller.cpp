#include "veltrix/ui/settings/whitelist_device_manager_view_controller.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "veltrix/facade/retailer_setting_manager.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/ui/animation.h"
#include "veltrix/platform/ui/toast.h"
#include "veltrix/ui/settings/settings_style.h"

namespace veltrix::ui::settings {

namespace {

constexpr double kWhitelistMargin = 20;
constexpr double kWhitelistBarHeight = 50;
constexpr double kBarCornerRadius = 10;
constexpr double kBarInset = 16;
constexpr double kListGap = 16;
constexpr double kWhitelistRowHeight = 44;
constexpr double kWhitelistButtonHeight = 50;
constexpr double kWhitelistButtonBottom = 30;
constexpr double kWhitelistButtonCornerRadius = 8;
constexpr double kLayoutSeconds = 0.3;
constexpr double kWhitelistToastSeconds = 2.0;
constexpr double kBoxSize = 24;
constexpr double kSquareSize = 20;
constexpr double kSquareInset = 2;
constexpr double kSquareBorder = 1.5;
constexpr double kSquareCornerRadius = 2;
constexpr const char* kWhitelistCellId = "SNCell";

}  // namespace

std::set<std::string> whitelistSelection(std::string_view stored) {
  std::set<std::string> out;
  if (stored.empty()) return out;
  std::size_t start = 0;
  while (true) {
    const std::size_t colon = stored.find(':', start);
    out.emplace(stored.substr(start, colon == std::string_view::npos ? colon : colon - start));
    if (colon == std::string_view::npos) break;
    start = colon + 1;
  }
  return out;
}

WhitelistDeviceManagerViewController::WhitelistDeviceManagerViewController(SettingsEnvironment env)
    : env_(std::move(env)) {}

void WhitelistDeviceManagerViewController::viewDidLoad() {
  setTitle("Whitelist Device Manager");
  view().setBackgroundColor(backdropColor());
  setInitialData();
  setupUI();
  setupConstraints();
}

void WhitelistDeviceManagerViewController::setInitialData() {
  deviceSNList_ = getServiceArray();
  selectedSNSet_ = whitelistSelection(env_.database->fetchSetting(facade::device_Acess_List));
}

std::optional<std::vector<std::string>> WhitelistDeviceManagerViewController::getServiceArray() {
  std::vector<std::string> sns = env_.database->discoveredTerminalSns();
  if (sns.empty()) return std::nullopt;
  return sns;
}

std::optional<std::map<std::string, std::vector<registry::ServiceInfo>>>
WhitelistDeviceManagerViewController::getSeriviceList() {
  const std::optional<std::vector<registry::ServiceInfo>> services = env_.facade->showAllService();
  if (!services || services->empty()) return std::nullopt;
  std::map<std::string, std::vector<registry::ServiceInfo>> bySn;
  for (const registry::ServiceInfo& service : *services) {
    platform::logf("serviceSn = {}, serviceId = {}", service.serviceSn.value_or("(null)"),
                   service.serviceId.value_or("(null)"));
    // A service without a serial number belongs to no terminal.
    if (!service.serviceSn) continue;
    bySn[*service.serviceSn].push_back(service);
  }
  return bySn;
}

double WhitelistDeviceManagerViewController::listHeight() const {
  return static_cast<double>(deviceSNList_ ? deviceSNList_->size() : 0) * kWhitelistRowHeight;
}

void WhitelistDeviceManagerViewController::setupUI() {
  whitelistBgView_ = makeCard(kBarCornerRadius);
  whitelistBgView_->clipsToBounds = false;
  view().addSubview(whitelistBgView_);

  whitelistLabel_ = makeLabel("Whitelist", Font::system(17));
  whitelistBgView_->addSubview(whitelistLabel_);

  whitelistSwitch_ = makeLaidOut<Switch>();
  whitelistSwitch_->setOn(!selectedSNSet_.empty());
  std::weak_ptr<ViewController> weak = weak_from_this();
  whitelistSwitch_->addTarget(ControlEvent::ValueChanged, [weak](Control&) {
    if (auto self = std::static_pointer_cast<WhitelistDeviceManagerViewController>(weak.lock())) {
      self->switchValueChanged();
    }
  });
  whitelistBgView_->addSubview(whitelistSwitch_);

  snTableView_ = makeLaidOut<TableView>();
  snTableView_->setBackgroundColor(Color::white());
  snTableView_->cornerRadius = kBarCornerRadius;
  snTableView_->clipsToBounds = true;
  snTableView_->separatorStyle = SeparatorStyle::None;
  snTableView_->allowsMultipleSelection = true;
  snTableView_->rowHeight = kWhitelistRowHeight;
  snTableView_->registerCell(kWhitelistCellId, [] {
    return std::make_shared<TableViewCell>(TableViewCellStyle::Default, kWhitelistCellId);
  });
  auto self = std::static_pointer_cast<WhitelistDeviceManagerViewController>(shared_from_this());
  snTableView_->setDataSource(std::weak_ptr<TableViewDataSource>(self));
  snTableView_->setDelegate(std::weak_ptr<TableViewDelegate>(self));
  snTableView_->setHidden(selectedSNSet_.empty());
  view().addSubview(snTableView_);

  confirmButton_ = makeLaidOut<Button>();
  confirmButton_->setTitle("CONFIRM", ControlState::Normal);
  confirmButton_->setBackgroundColor(Color::systemBlue());
  confirmButton_->cornerRadius = kWhitelistButtonCornerRadius;
  confirmButton_->addTarget(ControlEvent::TouchUpInside, [weak](Control&) {
    if (auto self = std::static_pointer_cast<WhitelistDeviceManagerViewController>(weak.lock())) {
      self->confirmButtonTapped();
    }
  });
  view().addSubview(confirmButton_);
}

void WhitelistDeviceManagerViewController::setupConstraints() {
  LayoutGuide& safe = view().safeAreaLayoutGuide();
  View& bar = *whitelistBgView_;
  tableViewHeightConstraint_ = snTableView_->heightAnchor().constraintEqualToConstant(listHeight());
  // A long list gives way to the button and scrolls.
  tableViewHeightConstraint_->setPriority(priority::kDefaultHigh);
  activate({
      bar.leadingAnchor().constraintEqualTo(safe.leadingAnchor(), kWhitelistMargin),
      bar.trailingAnchor().constraintEqualTo(safe.trailingAnchor(), -kWhitelistMargin),
      bar.topAnchor().constraintEqualTo(safe.topAnchor(), kWhitelistMargin),
      bar.heightAnchor().constraintEqualToConstant(kWhitelistBarHeight),
      whitelistLabel_->leadingAnchor().constraintEqualTo(bar.leadingAnchor(), kBarInset),
      whitelistLabel_->centerYAnchor().constraintEqualTo(bar.centerYAnchor()),
      whitelistSwitch_->trailingAnchor().constraintEqualTo(bar.trailingAnchor(), -kBarInset),
      whitelistSwitch_->centerYAnchor().constraintEqualTo(bar.centerYAnchor()),

      snTableView_->leadingAnchor().constraintEqualTo(safe.leadingAnchor(), kWhitelistMargin),
      snTableView_->trailingAnchor().constraintEqualTo(safe.trailingAnchor(), -kWhitelistMargin),
      snTableView_->topAnchor().constraintEqualTo(bar.bottomAnchor(), kListGap),
      tableViewHeightConstraint_,
      snTableView_->bottomAnchor().constraintLessThanOrEqualTo(confirmButton_->topAnchor(),
                                                               -kListGap),

      confirmButton_->leadingAnchor().constraintEqualTo(safe.leadingAnchor(), kWhitelistMargin),
      confirmButton_->trailingAnchor().constraintEqualTo(safe.trailingAnchor(), -kWhitelistMargin),
      confirmButton_->bottomAnchor().constraintEqualTo(safe.bottomAnchor(),
                                                       -kWhitelistButtonBottom),
      confirmButton_->heightAnchor().constraintEqualToConstant(kWhitelistButtonHeight),
  });
}

std::int64_t WhitelistDeviceManagerViewController::numberOfRows(TableView&, std::int64_t) {
  return deviceSNList_ ? static_cast<std::int64_t>(deviceSNList_->size()) : 0;
}

std::shared_ptr<TableViewCell> WhitelistDeviceManagerViewController::cellForRow(
    TableView& table, IndexPath indexPath) {
  auto cell = table.dequeueReusableCell(kWhitelistCellId, indexPath);
  const std::string& sn = deviceSNList_->at(static_cast<std::size_t>(indexPath.row()));
  cell->textLabel()->setShowsOutsideText(true);
  cell->textLabel()->setText(sn);
  cell->setBackgroundColor(Color::white());
  cell->setAccessoryView(createCheckmarkView(selectedSNSet_.contains(sn)));
  return cell;
}

std::optional<double> WhitelistDeviceManagerViewController::heightForRow(TableView&, IndexPath) {
  return kWhitelistRowHeight;
}

void WhitelistDeviceManagerViewController::didSelectRow(TableView& table, IndexPath indexPath) {
  const std::string& sn = deviceSNList_->at(static_cast<std::size_t>(indexPath.row()));
  if (!selectedSNSet_.erase(sn)) selectedSNSet_.insert(sn);
  table.reloadRows({indexPath});
  table.deselectRow(indexPath, true);
}

void WhitelistDeviceManagerViewController::switchValueChanged() {
  const bool on = whitelistSwitch_->isOn();
  snTableView_->setHidden(!on);
  tableViewHeightConstraint_->setConstant(on ? listHeight() : 0);
  if (!on) {
    env_.database->deleteSetting(facade::device_Acess_List);
    selectedSNSet_.clear();
    snTableView_->reloadData();
  }
  View* root = &view();
  animate(kLayoutSeconds, [root] { root->layoutIfNeeded(); });
}

bool WhitelistDeviceManagerViewController::storeSelection() {
  platform::logf("selectedSNSet = {}", fmt::join(selectedSNSet_, ","));
  if (selectedSNSet_.empty()) return env_.database->deleteSetting(facade::device_Acess_List);
  std::vector<std::string> sns(selectedSNSet_.begin(), selectedSNSet_.end());
  platform::logf("deviceAcessList = {}", fmt::join(sns, ":"));
  return env_.facade->deviceAcessList(sns);
}

void WhitelistDeviceManagerViewController::confirmButtonTapped() {
  if (!storeSelection()) {
    showToastInView(view(), kWhitelistSaveFailed, kWhitelistToastSeconds);
    return;
  }
  NavigationController* nav = navigationController();
  // The screen leaves at once: the toast goes where it stays in sight.
  showToastInView(nav ? nav->view() : view(), kWhitelistSaved, kWhitelistToastSeconds);
  if (nav) nav->popViewController(true);
}

std::shared_ptr<View> WhitelistDeviceManagerViewController::createCheckmarkView(bool selected) {
  auto box = std::make_shared<View>(Rect{0, 0, kBoxSize, kBoxSize});
  box->setBackgroundColor(Color::white());
  auto square = std::make_shared<View>(Rect{kSquareInset, kSquareInset, kSquareSize, kSquareSize});
  square->borderWidth = kSquareBorder;
  square->borderColor = Color::systemBlue();
  square->cornerRadius = kSquareCornerRadius;
  box->addSubview(square);
  if (selected) {
    auto tick = std::make_shared<Label>(Rect{0, 0, kSquareSize, kSquareSize});
    tick->setText("✓");
    tick->setFont(Font::bold(16));
    tick->textColor = Color::systemBlue();
    tick->textAlignment = TextAlignment::Center;
    square->addSubview(tick);
  }
  return box;
}

}  // namespace veltrix::ui::settings
