#include "veltrix/ui/settings/multi_select_popup_view_controller.h"

#include <algorithm>
#include <utility>

#include "veltrix/platform/clock.h"
#include "veltrix/platform/time_format.h"
#include "veltrix/platform/ui/animation.h"
#include "veltrix/platform/ui/device.h"
#include "veltrix/platform/ui/image.h"
#include "veltrix/platform/ui/toast.h"
#include "veltrix/ui/settings/settings_style.h"

namespace veltrix::ui::settings {

namespace {

constexpr double kPopupCardCornerRadius = 10;
constexpr double kPopupCardHeight = 700;
// Room kept above and below the card on a screen lower than it.
constexpr double kCardScreenMargin = 40;
constexpr double kPhoneSideMargin = 20;
constexpr double kTitleInset = 15;
constexpr double kPopupTitleHeight = 30;
constexpr double kListSpacing = 10;
constexpr double kButtonWidth = 80;
constexpr double kButtonHeight = 40;
constexpr double kButtonBottom = 15;
constexpr double kPopupRowHeight = 60;
constexpr double kToastSeconds = 2.0;
constexpr double kRadioFadeSeconds = 0.3;

// RememberViewCell's frames.
const Rect kRadioFrame{20, 20, 40, 40};
constexpr double kLabelX = 70;
constexpr double kLabelWidth = 300;
constexpr double kLabelHeight = 40;
constexpr double kSnLabelY = 10;
constexpr double kServiceLabelY = 30;
constexpr double kLabelRightMargin = 10;

std::string text(const registry::Row& row, std::string_view key) {
  return registry::rowText(row, key).value_or("");
}

// The remembered service names this option: all three keys present and
// equal (an empty record names nothing).
bool names(const registry::Row& remembered, const registry::Row& option) {
  for (std::string_view key : {"sn", "serviceType", "serviceId"}) {
    const auto want = registry::rowText(remembered, key);
    if (!want || want != registry::rowText(option, key)) return false;
  }
  return true;
}

std::shared_ptr<Label> makeOptionLabel(double y) {
  auto label = std::make_shared<Label>(Rect{kLabelX, y, kLabelWidth, kLabelHeight});
  label->textColor = Color::gray();
  label->setFont(Font::bold(16));
  label->textAlignment = TextAlignment::Left;
  return label;
}

}  // namespace

// --- RememberViewCell --------------------------------------------------------

RememberViewCell::RememberViewCell(registry::Row optionInfo)
    : TableViewCell(TableViewCellStyle::Default), optionInfo_(std::move(optionInfo)) {
  setBackgroundColor(Color::white());
  cornerRadius = 10;
  selectionStyle = SelectionStyle::None;

  selectBtn_ = std::make_shared<Button>(ButtonType::Custom, kRadioFrame);
  selectBtn_->setImage(loadImageNamed("bluetooth_unselected"), ControlState::Normal);
  selectBtn_->setImage(loadImageNamed("bluetooth_selected"), ControlState::Selected);
  selectBtn_->addTarget(ControlEvent::TouchUpInside, [this](Control&) { buttonTapped(); });
  contentView()->addSubview(selectBtn_);

  // Both lines are the terminal's own texts.
  snLabel_ = makeOptionLabel(kSnLabelY);
  snLabel_->setShowsOutsideText(true);
  snLabel_->setText(text(optionInfo_, "sn"));
  contentView()->addSubview(snLabel_);
  serviceNameLabel_ = makeOptionLabel(kServiceLabelY);
  serviceNameLabel_->setShowsOutsideText(true);
  serviceNameLabel_->setText(text(optionInfo_, "serviceId"));
  contentView()->addSubview(serviceNameLabel_);
}

void RememberViewCell::layoutSubviews() {
  TableViewCell::layoutSubviews();
  // The labels' 300 points, but never past the card's edge.
  const double width =
      std::clamp(contentView()->bounds().width() - kLabelX - kLabelRightMargin, 0.0, kLabelWidth);
  snLabel_->setFrame(Rect{kLabelX, kSnLabelY, width, kLabelHeight});
  serviceNameLabel_->setFrame(Rect{kLabelX, kServiceLabelY, width, kLabelHeight});
}

void RememberViewCell::setRadio(bool on, bool animated) {
  if (!animated) {
    selectBtn_->setSelected(on);
    return;
  }
  transition(*selectBtn_, kRadioFadeSeconds, TransitionStyle::CrossDissolve,
             [button = selectBtn_, on] { button->setSelected(on); });
}

void RememberViewCell::buttonTapped() {
  // The button's action runs while the cell lives (the cell owns it).
  if (onRadioTapped) onRadioTapped(*this);
}

// --- MultiSelectPopupViewController ------------------------------------------

MultiSelectPopupViewController::MultiSelectPopupViewController(registry::Rows options,
                                                               registry::Row selectedIndices,
                                                               std::optional<std::string> sn,
                                                               Completion completion,
                                                               SettingsEnvironment env)
    : options_(std::move(options)),
      selectedIndices_(std::move(selectedIndices)),
      sn_(std::move(sn)),
      completion_(std::move(completion)),
      env_(std::move(env)) {
  modalPresentationStyle = ModalPresentationStyle::OverCurrentContext;
}

Size MultiSelectPopupViewController::cardSize(Size screen, bool pad) {
  const double width = pad ? screen.width / 2 : screen.width - 2 * kPhoneSideMargin;
  // 700 high as designed, but never taller than the screen leaves.
  const double height =
      std::max(0.0, std::min(kPopupCardHeight, screen.height - 2 * kCardScreenMargin));
  return {width, height};
}

void MultiSelectPopupViewController::viewDidLoad() {
  view().setBackgroundColor(Color::black().withAlpha(0.5));
  // The remembered row is chosen at load: building cells sees only the rows
  // in view.
  for (std::size_t i = 0; i < options_.size(); ++i) {
    if (names(selectedIndices_, options_[i])) {
      selectIndex_ = static_cast<std::int64_t>(i);
      break;
    }
  }
  flexFlag_ = sn_ && !sn_->empty() && options_.size() == 1;
  setupCard();
  setupButtons();
  forgetButton_->setHidden(flexFlag_);
  if (selectIndex_ >= 0) tableView_->selectRow(IndexPath::forRow(selectIndex_), false);
}

void MultiSelectPopupViewController::setupCard() {
  card_ = makeCard(kPopupCardCornerRadius);
  view().addSubview(card_);

  titleLabel_ = makeLabel("Remember Option", Font::bold(18));
  titleLabel_->textAlignment = TextAlignment::Left;
  card_->addSubview(titleLabel_);

  tableView_ = makeLaidOut<TableView>();
  tableView_->allowsMultipleSelection = false;
  tableView_->rowHeight = kAutomaticDimension;
  tableView_->estimatedRowHeight = kPopupRowHeight;
  tableView_->separatorStyle = SeparatorStyle::None;
  auto self = std::static_pointer_cast<MultiSelectPopupViewController>(shared_from_this());
  tableView_->setDataSource(std::weak_ptr<TableViewDataSource>(self));
  tableView_->setDelegate(std::weak_ptr<TableViewDelegate>(self));
  card_->addSubview(tableView_);

  const DeviceProfile& device = currentDevice();
  const Size size = cardSize(safeScreenSize(), device.isPad());
  View& root = view();
  activate({
      card_->centerXAnchor().constraintEqualTo(root.centerXAnchor()),
      card_->centerYAnchor().constraintEqualTo(root.centerYAnchor()),
      card_->widthAnchor().constraintEqualToConstant(size.width),
      card_->heightAnchor().constraintEqualToConstant(size.height),
      titleLabel_->topAnchor().constraintEqualTo(card_->topAnchor(), kTitleInset),
      titleLabel_->leadingAnchor().constraintEqualTo(card_->leadingAnchor(), kTitleInset),
      titleLabel_->trailingAnchor().constraintEqualTo(card_->trailingAnchor(), -kTitleInset),
      titleLabel_->heightAnchor().constraintEqualToConstant(kPopupTitleHeight),
      tableView_->topAnchor().constraintEqualTo(titleLabel_->bottomAnchor(), kListSpacing),
      tableView_->leadingAnchor().constraintEqualTo(card_->leadingAnchor()),
      tableView_->trailingAnchor().constraintEqualTo(card_->trailingAnchor()),
  });
}

void MultiSelectPopupViewController::setupButtons() {
  std::weak_ptr<MultiSelectPopupViewController> weak =
      std::static_pointer_cast<MultiSelectPopupViewController>(shared_from_this());
  auto button = [&](const char* title, void (MultiSelectPopupViewController::*action)()) {
    auto b = std::make_shared<Button>(ButtonType::System);
    b->setTranslatesAutoresizingMaskIntoConstraints(false);
    b->setTitle(title, ControlState::Normal);
    b->addTarget(ControlEvent::TouchUpInside, [weak, action](Control&) {
      if (auto self = weak.lock()) ((*self).*action)();
    });
    card_->addSubview(b);
    return b;
  };
  cancelButton_ = button("Cancel", &MultiSelectPopupViewController::cancelSelection);
  forgetButton_ = button("Forget It", &MultiSelectPopupViewController::forgetService);
  saveButton_ = button("Save", &MultiSelectPopupViewController::confirmSelection);

  View& card = *card_;
  std::vector<ConstraintPtr> constraints;
  for (const auto& b : {cancelButton_, forgetButton_, saveButton_}) {
    constraints.push_back(b->widthAnchor().constraintEqualToConstant(kButtonWidth));
    constraints.push_back(b->heightAnchor().constraintEqualToConstant(kButtonHeight));
    constraints.push_back(b->bottomAnchor().constraintEqualTo(card.bottomAnchor(), -kButtonBottom));
  }
  constraints.push_back(cancelButton_->leadingAnchor().constraintEqualTo(card.leadingAnchor()));
  constraints.push_back(forgetButton_->centerXAnchor().constraintEqualTo(card.centerXAnchor()));
  constraints.push_back(saveButton_->trailingAnchor().constraintEqualTo(card.trailingAnchor()));
  constraints.push_back(
      tableView_->bottomAnchor().constraintEqualTo(saveButton_->topAnchor(), -kListSpacing));
  activate(constraints);
}

std::int64_t MultiSelectPopupViewController::numberOfRows(TableView&, std::int64_t) {
  return static_cast<std::int64_t>(options_.size());
}

std::shared_ptr<TableViewCell> MultiSelectPopupViewController::cellForRow(TableView&,
                                                                          IndexPath indexPath) {
  const auto row = static_cast<std::size_t>(indexPath.row());
  auto cell = std::make_shared<RememberViewCell>(options_.at(row));
  cell->setRadio(flexFlag_ || indexPath.row() == selectIndex_, false);
  std::weak_ptr<MultiSelectPopupViewController> weak =
      std::static_pointer_cast<MultiSelectPopupViewController>(shared_from_this());
  cell->onRadioTapped = [weak](RememberViewCell& tapped) {
    auto self = weak.lock();
    if (!self) return;
    if (auto path = self->tableView_->indexPathForCell(tapped)) self->chooseRow(path->row(), true);
  };
  return cell;
}

std::optional<double> MultiSelectPopupViewController::heightForRow(TableView&, IndexPath) {
  return kPopupRowHeight;
}

void MultiSelectPopupViewController::didSelectRow(TableView&, IndexPath indexPath) {
  chooseRow(indexPath.row(), false);
}

void MultiSelectPopupViewController::chooseRow(std::int64_t row, bool animated) {
  if (row < 0 || row >= static_cast<std::int64_t>(options_.size())) return;
  const std::int64_t previous = std::exchange(selectIndex_, row);
  if (previous >= 0 && previous != row && !flexFlag_) {
    if (auto cell = std::dynamic_pointer_cast<RememberViewCell>(
            tableView_->cellForRow(IndexPath::forRow(previous)))) {
      cell->setRadio(false, animated);
    }
  }
  if (auto cell = std::dynamic_pointer_cast<RememberViewCell>(
          tableView_->cellForRow(IndexPath::forRow(row)))) {
    cell->setRadio(true, animated);
  }
  // The table's own selection follows, so its next tap deselects nothing
  // the popup still holds.
  tableView_->selectRow(IndexPath::forRow(row), false);
}

bool MultiSelectPopupViewController::hasChoice() const {
  return selectIndex_ >= 0 && selectIndex_ < static_cast<std::int64_t>(options_.size());
}

void MultiSelectPopupViewController::confirmSelection() {
  if (finished_) return;
  if (flexFlag_) {
    finished_ = true;
    dismiss(true);
    return;
  }
  if (!hasChoice()) {
    showToastInView(view(), kSelectServiceFirst, kToastSeconds);
    return;
  }
  const registry::Row& option = options_[static_cast<std::size_t>(selectIndex_)];
  // The type's earlier rows go with the insert: readers take the first row
  // of a type, so an added row would never be read.
  const bool stored = env_.database->replaceRememberServices(
      registry::rowText(option, "sn"), registry::rowText(option, "serviceType"),
      registry::rowText(option, "packageName"), registry::rowText(option, "serviceId"), "",
      platform::millisText(static_cast<double>(platform::nowMillis())));
  if (!stored) {
    // Nothing changed: the popup stays, and nobody is told of a store.
    showToastInView(view(), kSaveFailed, kToastSeconds);
    return;
  }
  finish(kRememberStored);
}

void MultiSelectPopupViewController::forgetService() {
  if (finished_) return;
  if (!hasChoice()) {
    showToastInView(view(), kSelectServiceFirst, kToastSeconds);
    return;
  }
  const registry::Row& option = options_[static_cast<std::size_t>(selectIndex_)];
  const std::string type = text(option, "serviceType");
  if (!type.empty() && !env_.database->deleteRememberServiceWithType(type)) {
    showToastInView(view(), kSaveFailed, kToastSeconds);
    return;
  }
  finish(kRememberForgotten);
}

void MultiSelectPopupViewController::cancelSelection() {
  if (finished_) return;
  finished_ = true;
  dismiss(true);
}

void MultiSelectPopupViewController::finish(std::string_view flag) {
  finished_ = true;
  const registry::Row option = options_[static_cast<std::size_t>(selectIndex_)];
  if (Completion completion = std::exchange(completion_, {})) {
    completion(std::string(flag), text(option, "sn"), option);
  }
  dismiss(true);
}

}  // namespace veltrix::ui::settings
