#include "veltrix/ui/settings/connection_method_view_controller.h"

#include "veltrix/facade/retailer_setting_manager.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/ui/device.h"
#include "veltrix/platform/ui/image.h"
#include "veltrix/ui/settings/lan_settings_view_controller.h"
#include "veltrix/ui/settings/settings_style.h"

namespace veltrix::ui::settings {

namespace {

constexpr double kMethodMargin = 20;
constexpr double kCardCornerRadius = 12;
constexpr double kCardMinHeight = 180;
constexpr double kTitleHeight = 28;
constexpr double kTableHeight = 100;
constexpr double kRowHeight = 50;
constexpr double kChevronSize = 16;
constexpr double kStatusToChevron = 10;
constexpr const char* kCellId = "ConnectionCell";

// ConnectionMethodCell's fixed frames, from the main screen's width W.
constexpr double kCellCornerRadius = 10;
// The title takes the room up to the value (our font truncated it at 180);
// the chevron keeps clear of the value, in line with the device settings
// screen's chevrons.
constexpr double kCellValueFromRight = 150;
constexpr double kCellIconFromRight = 82;

}  // namespace

std::int64_t communicateTypeForRow(std::int64_t row) {
  return row == 0 ? facade::kCommunicateTypeLan : facade::kCommunicateTypeBluetooth;
}

std::string statusText(bool on) { return on ? "ON" : "OFF"; }

ConnectionMethodViewController::ConnectionMethodViewController(SettingsEnvironment env)
    : env_(std::move(env)) {}

void ConnectionMethodViewController::viewDidLoad() {
  view().setBackgroundColor(Color::systemGray6());
  setTitle("Connection Setting");
  connectionMethods_ = {"LAN", "Bluetooth"};
  statusValues_ = {statusText(true), statusText(false)};
  setupUI();
  setupConstraints();
}

void ConnectionMethodViewController::viewWillAppear(bool) {
  // The LAN screen may have changed a state since the list was last shown.
  contentTableView_->reloadData();
}

void ConnectionMethodViewController::setupUI() {
  page_ = ScrollingPage::install(view());
  mainContainerView_ = makeCard(kCardCornerRadius);
  page_->content().addSubview(mainContainerView_);

  titleLabel_ = makeLabel("Connection method", Font::system(20, FontWeight::Semibold));
  mainContainerView_->addSubview(titleLabel_);

  contentTableView_ = makeListTable(kCellId, kMethodMargin);
  serveTable(*contentTableView_,
             std::static_pointer_cast<ConnectionMethodViewController>(shared_from_this()));
  mainContainerView_->addSubview(contentTableView_);
}

void ConnectionMethodViewController::setupConstraints() {
  View& root = page_->content();
  View& card = *mainContainerView_;
  activate({
      card.topAnchor().constraintEqualTo(root.topAnchor(), kMethodMargin),
      card.leadingAnchor().constraintEqualTo(root.leadingAnchor(), kMethodMargin),
      card.trailingAnchor().constraintEqualTo(root.trailingAnchor(), -kMethodMargin),
      card.heightAnchor().constraintGreaterThanOrEqualToConstant(kCardMinHeight),
      card.bottomAnchor().constraintEqualTo(contentTableView_->bottomAnchor(), kMethodMargin),
      card.bottomAnchor().constraintLessThanOrEqualTo(root.bottomAnchor(), -kMethodMargin),

      titleLabel_->topAnchor().constraintEqualTo(card.topAnchor(), kMethodMargin),
      titleLabel_->leadingAnchor().constraintEqualTo(card.leadingAnchor(), kMethodMargin),
      titleLabel_->trailingAnchor().constraintEqualTo(card.trailingAnchor(), -kMethodMargin),
      titleLabel_->heightAnchor().constraintEqualToConstant(kTitleHeight),

      contentTableView_->topAnchor().constraintEqualTo(titleLabel_->bottomAnchor(), kMethodMargin),
      contentTableView_->leadingAnchor().constraintEqualTo(card.leadingAnchor()),
      contentTableView_->trailingAnchor().constraintEqualTo(card.trailingAnchor()),
      contentTableView_->heightAnchor().constraintEqualToConstant(kTableHeight),
      contentTableView_->bottomAnchor().constraintLessThanOrEqualTo(card.bottomAnchor(),
                                                                    -kMethodMargin),
  });
}

std::int64_t ConnectionMethodViewController::numberOfRows(TableView&, std::int64_t) {
  return static_cast<std::int64_t>(connectionMethods_.size());
}

std::shared_ptr<TableViewCell> ConnectionMethodViewController::cellForRow(TableView& table,
                                                                          IndexPath indexPath) {
  auto cell = emptiedCell(table, kCellId, indexPath, Color::clear());
  View& content = *cell->contentView();

  const bool on = env_.facade->getCommunicateTypeState(communicateTypeForRow(indexPath.row()));
  auto name = makeLabel(connectionMethods_.at(static_cast<std::size_t>(indexPath.row())),
                        Font::system(17, FontWeight::Medium));
  auto status =
      makeLabel(on ? statusValues_[0] : statusValues_[1], Font::system(15), Color::systemGray());
  auto chevron = makeChevron();
  content.addSubview(name);
  content.addSubview(status);
  content.addSubview(chevron);
  activateAll({
      {
          name->leadingAnchor().constraintEqualTo(content.leadingAnchor(), kMethodMargin),
          name->centerYAnchor().constraintEqualTo(content.centerYAnchor()),
          status->centerYAnchor().constraintEqualTo(content.centerYAnchor()),
      },
      chevronAfter(content, *status, *chevron, kMethodMargin, kStatusToChevron, kChevronSize),
  });
  return cell;
}

std::optional<double> ConnectionMethodViewController::heightForRow(TableView&, IndexPath) {
  return kRowHeight;
}

void ConnectionMethodViewController::willDisplayCell(TableView&, TableViewCell& cell,
                                                     IndexPath indexPath) {
  // No line under the last row: the card's edge ends the list.
  cell.separatorInset = rowSeparatorInset(indexPath.row() == 1, kMethodMargin);
}

void ConnectionMethodViewController::didSelectRow(TableView& table, IndexPath indexPath) {
  if (indexPath.row() >= 0 &&
      indexPath.row() < static_cast<std::int64_t>(connectionMethods_.size())) {
    platform::logf("{}", connectionMethods_[static_cast<std::size_t>(indexPath.row())]);
  }
  if (indexPath.row() == 0) {
    if (NavigationController* nav = navigationController()) {
      nav->pushViewController(std::make_shared<LANSettingsViewController>(env_), true);
    }
  }
  table.reloadData();
}

// --- ConnectionMethodCell -------------------------------------------------------------------

ConnectionMethodCell::ConnectionMethodCell(registry::Row terminalInfo)
    : TableViewCell(TableViewCellStyle::Default), terminalInfo_(std::move(terminalInfo)) {
  setFrame(Rect{});
  setupUI();
}

void ConnectionMethodCell::setupUI() {
  const double width = screenWidth();
  setBackgroundColor(Color::white());
  cornerRadius = kCellCornerRadius;

  auto title = std::make_shared<Label>(Rect{20, 10, width - kCellValueFromRight - 8 - 20, 40});
  title->setText("Connection Method");
  title->setFont(Font::bold(18));
  title->textColor = Color::black();
  title->textAlignment = TextAlignment::Left;
  shrinkToFit(*title);
  contentView()->addSubview(title);

  auto value = std::make_shared<Label>(Rect{width - kCellValueFromRight, 10, 60, 40});
  value->setText("LAN");
  value->setFont(Font::bold(18));
  value->textColor = Color::gray();
  value->textAlignment = TextAlignment::Center;
  contentView()->addSubview(value);

  auto icon = std::make_shared<ImageView>(Rect{width - kCellIconFromRight, 15, 30, 30});
  icon->setImage(loadImageNamed("icon_more_setting"));
  contentView()->addSubview(icon);
}

}  // namespace veltrix::ui::settings
