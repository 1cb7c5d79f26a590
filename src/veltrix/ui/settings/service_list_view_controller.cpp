#include "veltrix/ui/settings/service_list_view_controller.h"

#include <fmt/format.h>

#include <algorithm>

#include "veltrix/ui/settings/multi_select_popup_view_controller.h"
#include "veltrix/ui/settings/settings_style.h"

namespace veltrix::ui::settings {

namespace {

constexpr const char* kServiceListCellId = "ServiceCell";
constexpr double kServiceListRowHeight = 90;
constexpr double kServiceListCornerRadius = 12;
constexpr double kListInset = 8;
constexpr double kSide = 16;
constexpr double kTopBottom = 12;
constexpr double kLineSpacing = 4;

}  // namespace

ServiceItem ServiceItem::itemWithTitle(std::string title, std::string subtitle1,
                                       std::string subtitle2, std::string availableCount) {
  return {std::move(title), std::move(subtitle1), std::move(subtitle2), std::move(availableCount)};
}

std::string availableText(std::string_view count) { return fmt::format("{} available", count); }

// --- ServiceTableViewCell ----------------------------------------------------

ServiceTableViewCell::ServiceTableViewCell()
    : TableViewCell(TableViewCellStyle::Default, kServiceListCellId) {
  titleLabel_ = makeLabel("", Font::system(17, FontWeight::Medium), Color::black());
  subtitle1Label_ = makeLabel("", Font::system(14), Color::gray());
  subtitle2Label_ = makeLabel("", Font::system(14), Color::gray());
  subtitle2Label_->setShowsOutsideText(true);  // a remembered serial number
  availableLabel_ = makeLabel("", Font::system(14), Color::gray());
  availableLabel_->textAlignment = TextAlignment::Right;
  View& content = *contentView();
  for (const auto& label : {titleLabel_, subtitle1Label_, subtitle2Label_, availableLabel_}) {
    content.addSubview(label);
  }
  activate({
      titleLabel_->leadingAnchor().constraintEqualTo(content.leadingAnchor(), kSide),
      titleLabel_->topAnchor().constraintEqualTo(content.topAnchor(), kTopBottom),
      subtitle1Label_->leadingAnchor().constraintEqualTo(titleLabel_->leadingAnchor()),
      subtitle1Label_->topAnchor().constraintEqualTo(titleLabel_->bottomAnchor(), kLineSpacing),
      subtitle2Label_->leadingAnchor().constraintEqualTo(subtitle1Label_->leadingAnchor()),
      subtitle2Label_->topAnchor().constraintEqualTo(subtitle1Label_->bottomAnchor(), kLineSpacing),
      subtitle2Label_->bottomAnchor().constraintEqualTo(content.bottomAnchor(), -kTopBottom),
      availableLabel_->leadingAnchor().constraintGreaterThanOrEqualTo(titleLabel_->trailingAnchor(),
                                                                      kSide),
      availableLabel_->trailingAnchor().constraintEqualTo(content.trailingAnchor(), -kSide),
      availableLabel_->centerYAnchor().constraintEqualTo(content.centerYAnchor()),
  });
  accessoryType = AccessoryType::DisclosureIndicator;
  selectionStyle = SelectionStyle::None;
}

void ServiceTableViewCell::fill(const ServiceItem& item) {
  titleLabel_->setText(item.title);
  subtitle1Label_->setText(item.subtitle1);
  subtitle2Label_->setText(item.subtitle2);
  subtitle2Label_->setHidden(item.subtitle2.empty());
  availableLabel_->setText(availableText(item.availableCount));
}

// --- ServiceListViewController -----------------------------------------------

ServiceListViewController::ServiceListViewController(SettingsEnvironment env)
    : TableViewController(TableViewStyle::Plain), env_(std::move(env)) {}

void ServiceListViewController::viewDidLoad() {
  setTitle(titleName_);
  TableView& table = tableView();
  table.separatorStyle = SeparatorStyle::SingleLine;
  table.setBackgroundColor(Color::rgb(0.96, 0.97, 0.98));
  table.cornerRadius = kServiceListCornerRadius;
  table.clipsToBounds = true;
  table.contentInset = {kListInset, 0, kListInset, 0};
  table.registerCell(kServiceListCellId, [] { return std::make_shared<ServiceTableViewCell>(); });
}

void ServiceListViewController::viewDidLayoutSubviews() {
  // The table is the view, under the navigation bar: its 8-point insets
  // start below the bars (the UI layer does not inset for them).
  TableView& table = tableView();
  const Insets safe = table.safeAreaInsets();
  const Insets wanted{kListInset + safe.top, 0, kListInset + safe.bottom, 0};
  if (insetsApplied_ && table.contentInset == wanted) return;
  // The list starts at its top; later it keeps the user's place.
  const bool atTop = !insetsApplied_ || table.contentOffset().y <= -table.contentInset.top;
  insetsApplied_ = true;
  table.contentInset = wanted;
  if (atTop) table.setContentOffset(Point{0, -wanted.top});
}

std::int64_t ServiceListViewController::numberOfRows(TableView&, std::int64_t) {
  return static_cast<std::int64_t>(serviceItems_.size());
}

std::shared_ptr<TableViewCell> ServiceListViewController::cellForRow(TableView& table,
                                                                     IndexPath indexPath) {
  auto cell = table.dequeueReusableCell(kServiceListCellId, indexPath);
  if (auto* service = dynamic_cast<ServiceTableViewCell*>(cell.get())) {
    service->fill(serviceItems_.at(static_cast<std::size_t>(indexPath.row())));
  }
  return cell;
}

std::optional<double> ServiceListViewController::heightForRow(TableView&, IndexPath) {
  return kServiceListRowHeight;
}

void ServiceListViewController::didSelectRow(TableView&, IndexPath indexPath) {
  if (indexPath.row() < 0 || indexPath.row() >= static_cast<std::int64_t>(serviceItems_.size())) {
    return;
  }
  const auto row = static_cast<std::size_t>(indexPath.row());
  const std::string type = serviceItems_[row].title;
  if (!sn_ || sn_->empty()) {
    terminalserviceList_ = env_.database->fetchTerminalServicesWithServiceType(type);
  } else {
    terminalserviceList_ = env_.database->fetchTerminalServicesWithServiceTypeSn(type, *sn_);
  }
  const registry::Row remembered = env_.database->fetchRememberServicesWithType(type);

  std::weak_ptr<ServiceListViewController> weak =
      std::static_pointer_cast<ServiceListViewController>(shared_from_this());
  auto popup = std::make_shared<MultiSelectPopupViewController>(
      terminalserviceList_, remembered, sn_,
      [weak, row](const std::string& flag, const std::string& sn, const registry::Row& option) {
        if (auto self = weak.lock()) self->popupEnded(row, flag, sn, option);
      },
      env_);
  present(popup, true);
}

void ServiceListViewController::popupEnded(std::size_t row, const std::string& flag,
                                           const std::string& sn, const registry::Row& option) {
  if (row >= serviceItems_.size()) return;
  ServiceItem& item = serviceItems_[row];
  if (flag == kRememberStored) {
    item.subtitle1 = registry::rowText(option, "serviceId").value_or("");
    item.subtitle2 = sn;
  } else if (flag == kRememberForgotten) {
    item.subtitle1 = std::string(kNoDefaultTarget);
    item.subtitle2.clear();
  } else {
    return;
  }
  // The row model changes, so a later reload shows the same.
  if (isViewLoaded()) tableView().reloadRows({IndexPath::forRow(static_cast<std::int64_t>(row))});
}

}  // namespace veltrix::ui::settings
