#include "veltrix/ui/settings/terminal_detail_cells.h"

#include <fmt/format.h>

#include <algorithm>
#include <utility>

#include "veltrix/platform/ui/device.h"
#include "veltrix/platform/ui/image.h"
#include "veltrix/ui/scan/scan_logic.h"
#include "veltrix/ui/settings/settings_style.h"

namespace veltrix::ui::settings {

namespace {

// Inset-grouped rows are 40 narrower than the screen; 16 is the row's own
// right margin.
constexpr double kDetailRowInsets = 40;
constexpr double kDetailRowMargin = 16;
constexpr double kLinkWidth = 76;

std::string cellText(const registry::Row& row, std::string_view key) {
  return registry::rowText(row, key).value_or("");
}

}  // namespace

std::string linkText(const std::optional<std::string>& parameter) {
  if (!parameter) return "unknown";
  const bool http = parameter->find("http") != std::string::npos;
  const bool ble = parameter->find("ble") != std::string::npos;
  if (http && ble) return "LAN,BLE";
  if (http) return "LAN";
  if (ble) return "BLE";
  return "unknown";
}

TerminalIconNames terminalIconNames(const std::optional<std::string>& model) {
  scan::IconNames names = scan::iconNames(model.value_or(""), scan::libraryImageExists);
  return {std::move(names.enabled), std::move(names.disabled)};
}

Color detailLinkColor() { return Color::rgb255(58, 118, 226); }
Color detailBadgeColor() { return Color::rgb255(216, 235, 255); }

// --- RemoteTerminalCell -------------------------------------------------------------

RemoteTerminalCell::RemoteTerminalCell(registry::Row terminalInfo)
    : TableViewCell(TableViewCellStyle::Default), terminalInfo_(std::move(terminalInfo)) {
  setFrame(Rect{});
  setupUI();
}

void RemoteTerminalCell::setupUI() {
  const double width = screenWidth();
  styleRow(*this);
  View& content = *contentView();

  const TerminalIconNames icons = terminalIconNames(registry::rowText(terminalInfo_, "model"));
  const bool inUse = registry::rowInt(terminalInfo_, "status") == 1;
  terminalImageView_ = std::make_shared<ImageView>(Rect{0, 20, 70, 70});
  terminalImageView_->contentMode = ContentMode::AspectFit;
  terminalImageView_->setImage(loadImageNamed(inUse ? icons.enabled : icons.disabled));
  content.addSubview(terminalImageView_);

  addLabel(content, {80, 20, 120, 40}, cellText(terminalInfo_, "model"), Font::bold(18),
           Color::black())
      ->setShowsOutsideText(true);
  // The badge sits at the row's right margin and the serial number takes
  // the room before it: the frames of the design truncate both in our font.
  const double linkX = width - kDetailRowInsets - kDetailRowMargin - kLinkWidth;
  // On the small phone that room is shorter than a serial number: it is
  // drawn smaller rather than cut.
  auto sn = addLabel(content, {80, 45, linkX - 8 - 80, 40}, cellText(terminalInfo_, "sn"),
                     Font::bold(16), Color::gray());
  sn->setShowsOutsideText(true);
  shrinkToFit(*sn);

  linkLabel_ = addLabel(content, {linkX, 30, kLinkWidth, 40},
                        linkText(registry::rowText(terminalInfo_, "parameter")), Font::bold(13),
                        detailLinkColor(), TextAlignment::Center);
  linkLabel_->setBackgroundColor(detailBadgeColor());
}

// --- AuthStatusCell -------------------------------------------------------------------

AuthStatusCell::AuthStatusCell(registry::Row terminalInfo)
    : TableViewCell(TableViewCellStyle::Default), terminalInfo_(std::move(terminalInfo)) {
  setFrame(Rect{});
  setupUI();
}

void AuthStatusCell::setupUI() {
  const double width = screenWidth();
  styleRow(*this);
  View& content = *contentView();

  authImage_ = std::make_shared<ImageView>(Rect{20, 15, 30, 30});
  authImage_->setImage(loadImageNamed("icon_unverified"));
  content.addSubview(authImage_);

  statusLabel_ = addLabel(content, {60, 10, width - 150 - 8 - 60, 40}, "Auth type: NONE",
                          Font::bold(17), Color::rgb255(14, 177, 118));
  shrinkToFit(*statusLabel_);

  verifyButton_ = std::make_shared<Button>(ButtonType::Custom, Rect{width - 150, 10, 50, 40});
  verifyButton_->tag = 0;
  verifyButton_->setTitle("Verify", ControlState::Normal);
  verifyButton_->setTitleColor(detailLinkColor(), ControlState::Normal);
  verifyButton_->contentHorizontalAlignment = ContentHorizontalAlignment::Left;
  verifyButton_->addTarget(ControlEvent::TouchUpInside, [this](Control& sender) {
    verifyTerminal(static_cast<Button&>(sender));
  });
  content.addSubview(verifyButton_);
}

void AuthStatusCell::verifyTerminal(Button&) {
  if (selectionBlock) selectionBlock(cellText(terminalInfo_, "sn"));
}

// --- DeviceStatusCell -----------------------------------------------------------------

DeviceStatusCell::DeviceStatusCell(registry::Row terminalInfo)
    : TableViewCell(TableViewCellStyle::Default), terminalInfo_(std::move(terminalInfo)) {
  setFrame(Rect{});
  setupUI();
}

void DeviceStatusCell::setupUI() {
  const double width = screenWidth();
  styleRow(*this);
  View& content = *contentView();

  constexpr double kTitleWidth = 150;
  auto title =
      addLabel(content, {20, 0, kTitleWidth, 40}, "Device Status", Font::bold(17), Color::black());
  // Three equal columns across the row: the design's frames overlap in our
  // font ("charging" runs into "Storage"). On the small phone a column is 80
  // points, narrower than "charging": the texts are drawn smaller there.
  const double column = (width - kDetailRowInsets - 40) / 3;
  struct Fixed {
    const char* value;
    const char* caption;
  };
  const Fixed columns[] = {{"--%", "charging"}, {"--G", "Storage"}, {"Enable", "Wifi"}};
  for (int i = 0; i < 3; ++i) {
    const double x = 20 + i * column;
    shrinkToFit(*addLabel(content, {x, 40, column, 40}, columns[i].value, Font::bold(16),
                          Color::black(), TextAlignment::Center));
    shrinkToFit(*addLabel(content, {x, 70, column, 40}, columns[i].caption, Font::bold(16),
                          Color::gray(), TextAlignment::Center));
  }

  // The time starts 8 points after the title's text, not after its 150-point
  // frame: on the small phone it then fits, drawn smaller, beside it.
  const double updateX = 20 + std::min(kTitleWidth, title->intrinsicContentSize().width) + 8;
  updateButton_ = std::make_shared<Button>(
      ButtonType::Custom,
      Rect{updateX, 0, width - kDetailRowInsets - kDetailRowMargin - updateX, 40});
  updateButton_->setTitle("Updated 1 minute ago", ControlState::Normal);
  updateButton_->titleLabel()->setFont(Font::system(12));
  shrinkToFit(*updateButton_->titleLabel());
  updateButton_->setTitleColor(Color::gray(), ControlState::Normal);
  updateButton_->setImage(loadImageNamed("refresh@2x"), ControlState::Normal);
  updateButton_->semanticContentAttribute = SemanticContentAttribute::ForceRightToLeft;
  // The panel's figures are placeholders: there is nothing to refresh.
  updateButton_->addTarget(ControlEvent::TouchUpInside, [](Control&) {});
  content.addSubview(updateButton_);
}

// --- DeviceCapabilityCell -------------------------------------------------------------

DeviceCapabilityCell::DeviceCapabilityCell(registry::Row serviceInfo)
    : TableViewCell(TableViewCellStyle::Default), serviceInfo_(std::move(serviceInfo)) {
  setFrame(Rect{});
  setupUI();
}

std::int64_t DeviceCapabilityCell::tsId() const { return registry::rowInt(serviceInfo_, "tsId"); }

void DeviceCapabilityCell::setupUI() {
  const double width = screenWidth();
  styleRow(*this, false);
  View& content = *contentView();

  addLabel(content, {70, 10, 200, 40}, cellText(serviceInfo_, "serviceType"), Font::bold(17),
           Color::black());
  addLabel(content, {70, 30, 200, 40}, cellText(serviceInfo_, "serviceName"), Font::bold(16),
           Color::gray())
      ->setShowsOutsideText(true);

  updateBtn_ = std::make_shared<Button>(ButtonType::Custom, Rect{30, 25, 25, 25});
  updateBtn_->userInteractionEnabled = true;
  updateBtn_->setImage(loadImageNamed("icon_check_disable"), ControlState::Normal);
  updateBtn_->setImage(loadImageNamed("icon_check_enable"), ControlState::Selected);
  updateBtn_->setSelected(registry::rowInt(serviceInfo_, "isEnabled") == 1);
  updateBtn_->addTarget(ControlEvent::TouchUpInside,
                        [this](Control& sender) { buttonTapped(static_cast<Button&>(sender)); });
  content.addSubview(updateBtn_);

  if (registry::rowInt(serviceInfo_, "isLastLine") == 0) {
    lineView_ = std::make_shared<ImageView>(Rect{20, 70, width - 100, 1});
    lineView_->setImage(loadImageNamed("line"));
    lineView_->contentMode = ContentMode::ScaleToFill;
    content.addSubview(lineView_);
  }
}

void DeviceCapabilityCell::buttonTapped(Button& sender) {
  sender.setSelected(!sender.isSelected());
  if (selectionBlock) selectionBlock(tsId(), sender.isSelected());
}

View* DeviceCapabilityCell::hitTest(Point p) {
  if (updateBtn_ && !updateBtn_->isHidden() && updateBtn_->userInteractionEnabled) {
    if (updateBtn_->pointInside(convert(p, updateBtn_.get()))) return updateBtn_.get();
  }
  return TableViewCell::hitTest(p);
}

}  // namespace veltrix::ui::settings
