#include "veltrix/ui/settings/services_manager_view_controller.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <cmath>
#include <iterator>

#include "veltrix/platform/clock.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/time_format.h"
#include "veltrix/platform/ui/device.h"
#include "veltrix/platform/ui/image.h"
#include "veltrix/platform/ui/toast.h"
#include "veltrix/ui/settings/settings_style.h"

namespace veltrix::ui::settings {

namespace {

constexpr const char* kManagerCellId = "ServiceCell";
constexpr double kManagerMargin = 20;
constexpr double kManagerCornerRadius = 12;
constexpr double kManagerRowHeight = 60;
constexpr double kClearAllHeight = 50;
constexpr double kFooterHeight = 10;
constexpr double kManagerChevronSize = 16;
constexpr double kManagerValueToChevron = 5;
constexpr double kValueGap = 8;
constexpr double kExplanationInset = 10;
constexpr double kManagerToastSeconds = 1.0;

// "%@" of an absent text.
std::string shown(const std::optional<std::string>& text) { return text.value_or("(null)"); }

bool hasText(const std::optional<std::string>& text) { return text && !text->empty(); }

std::vector<ServicesRow> typesOf(std::initializer_list<ServicesRow> types) { return types; }

}  // namespace

ServicesManagerViewController::ServicesManagerViewController(SettingsEnvironment env)
    : env_(std::move(env)) {}

void ServicesManagerViewController::viewDidLoad() {
  view().setBackgroundColor(Color::systemGray6());
  setTitle("Services Manager");

  discoveredDevices_ = env_.database->getDeviceSNArray();
  // The designated terminal is read in both modes.
  selectedDeviceId_ =
      registry::rowText(env_.database->fetchRememberServicesWithType(kRememberAllTypes), "sn");

  std::string mode = env_.database->fetchSetting(kRememberModeKey);
  if (mode.empty()) {
    env_.database->insertSetting(kRememberModeKey, kRememberModeFlexible);
    mode = std::string(kRememberModeFlexible);
  }
  platform::logf("remember mode =  {}", mode);
  if (mode == kRememberModeFlexible) {
    showFlexibleMode();
  } else {
    showDesignatedMode();
  }
  setupSectionCellTypes();
  setupUI();
  setupConstraints();
}

void ServicesManagerViewController::showFlexibleMode() {
  selectedRememberMode_ = std::string(kFlexibleSelection);
  subtitleText_ = std::string(kFlexibleSubtitle);
  serviceTitles_ = env_.database->getServiceCategoryArray();
}

void ServicesManagerViewController::showDesignatedMode() {
  selectedRememberMode_ = std::string(kUseDesignatedTerminal);
  subtitleText_ = std::string(kDesignatedSubtitle);
  serviceTitles_ = env_.database->getServiceCategoryArrayBySN(selectedDeviceId_);
}

std::vector<std::string> ServicesManagerViewController::originalServiceTitles() const {
  std::vector<std::string> titles;
  titles.reserve(serviceTitles_.size());
  for (const auto& [key, title] : serviceTitles_) titles.push_back(title);
  return titles;
}

void ServicesManagerViewController::setupSectionCellTypes() {
  std::vector<ServicesRow> first{ServicesRow::RememberMode};
  if (isDesignatedMode()) first.push_back(ServicesRow::PreferredTerminal);
  std::vector<ServicesRow> second{ServicesRow::Explanation};
  second.insert(second.end(), serviceTitles_.size(), ServicesRow::Category);
  sectionTypes_ = {std::move(first), std::move(second), typesOf({ServicesRow::ClearAll})};
}

void ServicesManagerViewController::setupUI() {
  mainTableView_ = makeListTable(kManagerCellId, kManagerMargin);
  mainTableView_->sectionHeaderHeight = 0;
  mainTableView_->sectionFooterHeight = kFooterHeight;
  serveTable(*mainTableView_,
             std::static_pointer_cast<ServicesManagerViewController>(shared_from_this()));
  view().addSubview(mainTableView_);
}

void ServicesManagerViewController::setupConstraints() {
  View& root = view();
  LayoutGuide& safe = root.safeAreaLayoutGuide();
  activate({
      mainTableView_->topAnchor().constraintEqualTo(safe.topAnchor(), kManagerMargin),
      // Clear of a turned phone's sensor housing, like the other cards.
      mainTableView_->leadingAnchor().constraintEqualTo(safe.leadingAnchor(), kManagerMargin),
      mainTableView_->trailingAnchor().constraintEqualTo(safe.trailingAnchor(), -kManagerMargin),
      mainTableView_->bottomAnchor().constraintEqualTo(safe.bottomAnchor(), -kManagerMargin),
  });
}

// --- table ------------------------------------------------------------------

std::optional<ServicesRow> ServicesManagerViewController::rowType(IndexPath indexPath) const {
  if (indexPath.section < 0 || indexPath.section >= static_cast<std::int64_t>(sectionTypes_.size()))
    return std::nullopt;
  const auto& rows = sectionTypes_[static_cast<std::size_t>(indexPath.section)];
  if (indexPath.row() < 0 || indexPath.row() >= static_cast<std::int64_t>(rows.size()))
    return std::nullopt;
  return rows[static_cast<std::size_t>(indexPath.row())];
}

std::int64_t ServicesManagerViewController::numberOfSections(TableView&) {
  return static_cast<std::int64_t>(sectionTypes_.size());
}

std::int64_t ServicesManagerViewController::numberOfRows(TableView&, std::int64_t section) {
  if (section < 0 || section >= static_cast<std::int64_t>(sectionTypes_.size())) return 0;
  return static_cast<std::int64_t>(sectionTypes_[static_cast<std::size_t>(section)].size());
}

std::shared_ptr<TableViewCell> ServicesManagerViewController::cellForRow(TableView& table,
                                                                         IndexPath indexPath) {
  auto cell = emptiedCell(table, kManagerCellId, indexPath, Color::white());
  switch (rowType(indexPath).value_or(ServicesRow::Explanation)) {
    case ServicesRow::RememberMode:
      fillValueRow(*cell, "Remember Mode", selectedRememberMode_, 14);
      break;
    case ServicesRow::PreferredTerminal:
      fillValueRow(*cell, "Preferred Terminal", selectedDeviceId_.value_or(""), 15);
      break;
    case ServicesRow::Explanation:
      fillExplanationRow(*cell);
      break;
    case ServicesRow::Category: {
      const auto index = static_cast<std::size_t>(indexPath.row() - 1);
      auto entry = std::next(serviceTitles_.begin(),
                             static_cast<std::ptrdiff_t>(std::min(index, serviceTitles_.size())));
      fillCategoryRow(*cell, entry == serviceTitles_.end() ? std::string() : entry->second);
      break;
    }
    case ServicesRow::ClearAll:
      fillClearAllRow(*cell);
      break;
  }
  return cell;
}

void ServicesManagerViewController::fillValueRow(TableViewCell& cell, std::string_view title,
                                                 const std::string& value, double valueSize) {
  View& content = *cell.contentView();
  auto name = makeLabel(std::string(title), Font::system(17, FontWeight::Medium));
  auto valueLabel = makeLabel(value, Font::system(valueSize), Color::systemGray());
  valueLabel->textAlignment = TextAlignment::Right;
  auto chevron = makeChevron();
  content.addSubview(name);
  content.addSubview(valueLabel);
  content.addSubview(chevron);
  // The title gives way (two lines, a smaller size) before the value: the
  // serial number is what identifies the designated terminal.
  activateAll({
      shareRow(content, *name, *valueLabel, kManagerMargin),
      chevronAfter(content, *valueLabel, *chevron, kManagerMargin, kManagerValueToChevron,
                   kManagerChevronSize),
  });
}

void ServicesManagerViewController::fillExplanationRow(TableViewCell& cell) {
  View& content = *cell.contentView();
  auto label = makeLabel(subtitleText_, Font::system(14), Color::systemGray());
  label->setNumberOfLines(0);
  content.addSubview(label);
  activate({
      label->leadingAnchor().constraintEqualTo(content.leadingAnchor(), kManagerMargin),
      label->trailingAnchor().constraintEqualTo(content.trailingAnchor(), -kManagerMargin),
      label->topAnchor().constraintEqualTo(content.topAnchor(), kExplanationInset),
      label->bottomAnchor().constraintEqualTo(content.bottomAnchor(), -kExplanationInset),
  });
}

void ServicesManagerViewController::fillCategoryRow(TableViewCell& cell, const std::string& title) {
  View& content = *cell.contentView();
  auto name = makeLabel(title, Font::system(17, FontWeight::Medium));
  auto chevron = makeChevron();
  content.addSubview(name);
  content.addSubview(chevron);
  activate({
      name->leadingAnchor().constraintEqualTo(content.leadingAnchor(), kManagerMargin),
      name->centerYAnchor().constraintEqualTo(content.centerYAnchor()),
      name->trailingAnchor().constraintLessThanOrEqualTo(chevron->leadingAnchor(), -kValueGap),
      chevron->trailingAnchor().constraintEqualTo(content.trailingAnchor(), -kManagerMargin),
      chevron->centerYAnchor().constraintEqualTo(content.centerYAnchor()),
      chevron->widthAnchor().constraintEqualToConstant(kManagerChevronSize),
      chevron->heightAnchor().constraintEqualToConstant(kManagerChevronSize),
  });
}

void ServicesManagerViewController::fillClearAllRow(TableViewCell& cell) {
  View& content = *cell.contentView();
  auto button = makeLaidOut<Button>();
  button->setTitle(std::string(kClearAllTitle), ControlState::Normal);
  button->setTitleColor(Color::systemBlue(), ControlState::Normal);
  button->titleLabel()->setFont(Font::system(15, FontWeight::Medium));
  std::weak_ptr<ServicesManagerViewController> weak =
      std::static_pointer_cast<ServicesManagerViewController>(shared_from_this());
  button->addTarget(ControlEvent::TouchUpInside, [weak](Control&) {
    if (auto self = weak.lock()) self->clearAllRemember();
  });
  content.addSubview(button);
  activate({
      button->leadingAnchor().constraintEqualTo(content.leadingAnchor(), kManagerMargin),
      button->centerYAnchor().constraintEqualTo(content.centerYAnchor()),
  });
}

std::optional<double> ServicesManagerViewController::heightForRow(TableView& table,
                                                                  IndexPath indexPath) {
  const auto type = rowType(indexPath);
  if (type == ServicesRow::ClearAll) return kClearAllHeight;
  if (type == ServicesRow::Explanation) {
    // 60 as designed, taller when the text needs more lines than that
    // leaves room for in our font.
    Label probe;
    probe.setFont(Font::system(14));
    probe.setNumberOfLines(0);
    probe.setText(subtitleText_);
    const double width = std::max(0.0, table.bounds().width() - 2 * kManagerMargin);
    const double text = probe.sizeThatFits(Size{width, 1e6}).height;
    return std::max(kManagerRowHeight, std::ceil(text) + 2 * kExplanationInset);
  }
  return kManagerRowHeight;
}

void ServicesManagerViewController::willDisplayCell(TableView&, TableViewCell& cell,
                                                    IndexPath indexPath) {
  const std::int64_t count = numberOfRows(*mainTableView_, indexPath.section);
  const bool first = indexPath.row() == 0;
  const bool last = indexPath.row() == count - 1;
  // Each section reads as one rounded card.
  unsigned corners = 0;
  if (first) corners |= corner::kTopLeft | corner::kTopRight;
  if (last) corners |= corner::kBottomLeft | corner::kBottomRight;
  cell.maskedCorners = corners == 0 ? corner::kAll : corners;
  cell.cornerRadius = corners == 0 ? 0 : kManagerCornerRadius;
  cell.clipsToBounds = corners != 0;
  // No line under a section's last row.
  cell.separatorInset = rowSeparatorInset(last, kManagerMargin);
}

void ServicesManagerViewController::didSelectRow(TableView& table, IndexPath indexPath) {
  table.deselectRow(indexPath, false);
  const auto type = rowType(indexPath);
  if (!type) return;
  switch (*type) {
    case ServicesRow::RememberMode:
      showRememberModeSelector();
      break;
    case ServicesRow::PreferredTerminal:
      platform::logLine("Preferred Terminal clicked");
      showDeviceSelector();
      break;
    case ServicesRow::Explanation:
      break;
    case ServicesRow::Category:
      openCategory(static_cast<std::size_t>(indexPath.row() - 1));
      break;
    case ServicesRow::ClearAll:
      clearAllRemember();
      break;
  }
}

// --- dialogs ----------------------------------------------------------------

void ServicesManagerViewController::showRememberModeSelector() {
  std::weak_ptr<ServicesManagerViewController> weak =
      std::static_pointer_cast<ServicesManagerViewController>(shared_from_this());
  auto dialog = std::make_shared<RememberModeSelectorViewController>(
      selectedRememberMode_, [weak](const std::string& mode) {
        if (auto self = weak.lock()) self->rememberModeChosen(mode);
      });
  dialog->modalPresentationStyle = ModalPresentationStyle::FormSheet;
  dialog->modalTransitionStyle = ModalTransitionStyle::CoverVertical;
  present(dialog, true);
}

void ServicesManagerViewController::rememberModeChosen(const std::string& mode) {
  const bool flexible = mode == kFlexibleSelection;
  if (!env_.database->updateSetting(kRememberModeKey,
                                    flexible ? kRememberModeFlexible : kRememberModeDesignated)) {
    saveFailed();
    return;
  }
  if (flexible) {
    // The "ALL" row stays: the facade still uses it, and designated mode
    // shows it again.
    selectedDeviceId_.reset();
    showFlexibleMode();
  } else {
    selectedDeviceId_ =
        registry::rowText(env_.database->fetchRememberServicesWithType(kRememberAllTypes), "sn");
    showDesignatedMode();
  }
  setupSectionCellTypes();
  if (mainTableView_) mainTableView_->reloadData();
}

void ServicesManagerViewController::showDeviceSelector() {
  std::weak_ptr<ServicesManagerViewController> weak =
      std::static_pointer_cast<ServicesManagerViewController>(shared_from_this());
  auto dialog = std::make_shared<DeviceSelectorViewController>(
      discoveredDevices_, selectedDeviceId_, [weak](const std::optional<std::string>& sn) {
        if (auto self = weak.lock()) self->deviceChosen(sn);
      });
  auto wrapper = std::make_shared<NavigationController>(dialog);
  wrapper->modalPresentationStyle = ModalPresentationStyle::FormSheet;
  wrapper->modalTransitionStyle = ModalTransitionStyle::CoverVertical;
  // A pad's form sheet takes the wrapper's size: the dialog's own.
  wrapper->preferredContentSize = DeviceSelectorViewController::preferredSize(safeScreenSize());
  present(wrapper, true);
}

void ServicesManagerViewController::deviceChosen(const std::optional<std::string>& sn) {
  // Nothing marked: storing it would drop the designated terminal for an
  // "ALL" row that names none.
  if (!hasText(sn)) {
    platform::logLine("No designated terminal chosen");
    return;
  }
  // The one "ALL" row is replaced in one step, so readers never see none.
  if (!env_.database->replaceRememberServices(
          *sn, kRememberAllTypes, "", "", std::nullopt,
          platform::millisText(static_cast<double>(platform::nowMillis())))) {
    saveFailed();
    return;
  }
  selectedDeviceId_ = sn;
  serviceTitles_ = env_.database->getServiceCategoryArrayBySN(*sn);
  platform::logf("serviceTitlesList = {}", serviceTitles_);
  setupSectionCellTypes();
  if (mainTableView_) mainTableView_->reloadData();
}

// --- categories and clear-all -------------------------------------------------

std::vector<ServiceItem> ServicesManagerViewController::serviceItemsForCategory(std::size_t index) {
  if (index >= serviceTitles_.size()) return {};
  const std::string key =
      std::next(serviceTitles_.begin(), static_cast<std::ptrdiff_t>(index))->first;
  const registry::Rows counts =
      hasText(selectedDeviceId_) ? env_.database->groupCountByTerminaService(key, selectedDeviceId_)
                                 : env_.database->groupCountByTerminaService(key);
  const std::optional<std::string> allSn =
      registry::rowText(env_.database->fetchRememberServicesWithType(kRememberAllTypes), "sn");

  std::vector<ServiceItem> items;
  for (const registry::Row& row : counts) {
    const std::string type = registry::rowText(row, "serviceType").value_or("");
    const std::int64_t count = registry::rowInt(row, "count");
    ServiceItem item = ServiceItem::itemWithTitle(type, std::string(kNoDefaultTarget), "",
                                                  fmt::format("{}", count));
    const registry::Row remembered = env_.database->fetchRememberServicesWithType(type);
    if (const auto sn = registry::rowText(remembered, "sn"); hasText(sn)) {
      item.subtitle1 = registry::rowText(remembered, "serviceId").value_or("");
      item.subtitle2 = *sn;
    } else if (hasText(allSn) && count == 1) {
      const registry::Rows services =
          env_.database->fetchTerminalServicesWithServiceTypeSn(type, *allSn);
      item.subtitle1 =
          services.empty() ? "" : registry::rowText(services.front(), "serviceId").value_or("");
      item.subtitle2 = *allSn;
    }
    items.push_back(std::move(item));
  }
  platform::logf("serviceCategory: {}", key);
  platform::logf("selectedDeviceId: {}", shown(selectedDeviceId_));
  platform::logf("servicearray ={}", counts.size());
  return items;
}

void ServicesManagerViewController::openCategory(std::size_t index) {
  if (index >= serviceTitles_.size()) return;
  const std::string title =
      std::next(serviceTitles_.begin(), static_cast<std::ptrdiff_t>(index))->second;
  platform::logf("Service clicked: {}", title);
  std::vector<ServiceItem> items = serviceItemsForCategory(index);
  std::vector<std::string> described;
  for (const ServiceItem& item : items) {
    described.push_back(fmt::format("{} {} {} {}", item.title, item.subtitle1, item.subtitle2,
                                    item.availableCount));
  }
  platform::logf("externalData = {}", described);

  auto list = std::make_shared<ServiceListViewController>(env_);
  list->setServiceItems(std::move(items));
  list->setSn(selectedDeviceId_);
  list->setTitleName(title);
  if (NavigationController* nav = navigationController()) nav->pushViewController(list, true);
}

void ServicesManagerViewController::clearAllRemember() {
  platform::logLine("Clear All clicked");
  // The rows that stay keep steering payments: the screen keeps showing
  // them.
  if (!env_.database->deleteRememberServiceAll()) {
    saveFailed();
    return;
  }
  selectedDeviceId_ = std::string();
  if (isDesignatedMode()) serviceTitles_.clear();
  setupSectionCellTypes();
  if (mainTableView_) mainTableView_->reloadData();
  showToastInView(view(), kClearAllToast, kManagerToastSeconds);
}

void ServicesManagerViewController::saveFailed() {
  platform::logLine("Services manager: not stored");
  showToastInView(view(), kSaveFailed, kManagerToastSeconds);
}

std::shared_ptr<ViewController> makeServicesManagerViewController(const SettingsEnvironment& env) {
  return std::make_shared<ServicesManagerViewController>(env);
}

}  // namespace veltrix::ui::settings
