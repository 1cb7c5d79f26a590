#include "veltrix/ui/settings/selector_dialogs.h"

#include <algorithm>
#include <utility>

#include "veltrix/platform/ui/device.h"
#include "veltrix/platform/ui/image.h"
#include "veltrix/ui/settings/settings_style.h"

namespace veltrix::ui::settings {

namespace {

// Remember-mode card.
constexpr double kCardWidth = 320;
constexpr double kCardMargin = 20;
constexpr double kSelectorCardCornerRadius = 12;
constexpr double kTitleTop = 20;
constexpr double kSelectorTitleHeight = 24;
constexpr double kTitleToList = 16;
constexpr double kModeRowHeight = 50;
constexpr double kModeMarkSize = 22;
constexpr const char* kModeCellId = "ModeCell";

// Device dialog.
constexpr double kDeviceMaxWidth = 300;
constexpr double kDeviceMaxHeight = 350;
constexpr double kDeviceTitleTop = 10;
constexpr double kDeviceTitleHeight = 20;
constexpr double kDeviceListTop = 40;
constexpr double kSelectorDeviceRowHeight = 44;
constexpr double kDeviceMarkSize = 20;
constexpr const char* kDeviceCellId = "DeviceCell";

// The Cancel | Save bar.
constexpr double kSelectorBarHeight = 50;
constexpr double kDividerWidth = 0.5;
constexpr double kDividerInset = 10;

ConstraintPtr withPriority(ConstraintPtr constraint, double priority) {
  constraint->setPriority(priority);
  return constraint;
}

std::shared_ptr<Button> makeBarButton(const char* title, std::function<void()> action) {
  auto button = makeLaidOut<Button>();
  button->setTitle(title, ControlState::Normal);
  button->setTitleColor(Color::systemBlue(), ControlState::Normal);
  button->titleLabel()->setFont(Font::system(16, FontWeight::Medium));
  button->addTarget(ControlEvent::TouchUpInside,
                    [action = std::move(action)](Control&) { action(); });
  return button;
}

// The bar with its two halves and the divider between them.
std::shared_ptr<View> makeButtonBar(const std::shared_ptr<Button>& cancel,
                                    const std::shared_ptr<Button>& save) {
  auto bar = makeLaidOut();
  bar->setBackgroundColor(Color::systemGray6());
  auto divider = makeLaidOut();
  divider->setBackgroundColor(Color::systemGray3());
  bar->addSubview(cancel);
  bar->addSubview(save);
  bar->addSubview(divider);
  activate({
      cancel->leadingAnchor().constraintEqualTo(bar->leadingAnchor()),
      cancel->topAnchor().constraintEqualTo(bar->topAnchor()),
      cancel->bottomAnchor().constraintEqualTo(bar->bottomAnchor()),
      cancel->trailingAnchor().constraintEqualTo(bar->centerXAnchor()),
      save->leadingAnchor().constraintEqualTo(bar->centerXAnchor()),
      save->topAnchor().constraintEqualTo(bar->topAnchor()),
      save->bottomAnchor().constraintEqualTo(bar->bottomAnchor()),
      save->trailingAnchor().constraintEqualTo(bar->trailingAnchor()),
      divider->centerXAnchor().constraintEqualTo(bar->centerXAnchor()),
      divider->widthAnchor().constraintEqualToConstant(kDividerWidth),
      divider->topAnchor().constraintEqualTo(bar->topAnchor(), kDividerInset),
      divider->bottomAnchor().constraintEqualTo(bar->bottomAnchor(), -kDividerInset),
  });
  return bar;
}

std::shared_ptr<Label> makeDialogTitle(const char* text) {
  auto title = makeLabel(text, Font::system(17, FontWeight::Semibold));
  title->textAlignment = TextAlignment::Center;
  return title;
}

// A radio row: the text and a tinted mark as its accessory view.
void fillRadioCell(TableViewCell& cell, const std::string& text, bool marked, const char* onSymbol,
                   double markSize) {
  cell.selectionStyle = SelectionStyle::None;
  cell.setBackgroundColor(Color::systemBackground());
  cell.textLabel()->setText(text);
  cell.textLabel()->setFont(Font::system(16));
  auto mark = std::make_shared<ImageView>(Rect{0, 0, markSize, markSize});
  mark->setImage(Image::systemNamed(marked ? onSymbol : "circle"));
  mark->setTintColor(Color::systemBlue());
  cell.setAccessoryView(mark);
}

// Exact text equality; none marks nothing.
bool isMarked(const std::optional<std::string>& choice, const std::string& row) {
  return choice && *choice == row;
}

template <typename T>
std::weak_ptr<T> weakSelf(ViewController& controller) {
  return std::static_pointer_cast<T>(controller.shared_from_this());
}

}  // namespace

// --- RememberModeSelectorViewController --------------------------------------

RememberModeSelectorViewController::RememberModeSelectorViewController(std::string selectedMode,
                                                                       Completion completion)
    : modeOptions_{std::string(kFlexibleSelection), std::string(kUseDesignatedTerminal)},
      selectedMode_(std::move(selectedMode)),
      completionBlock_(std::move(completion)) {
  modalPresentationStyle = ModalPresentationStyle::OverCurrentContext;
  modalTransitionStyle = ModalTransitionStyle::CrossDissolve;
}

Size RememberModeSelectorViewController::cardSize(double screenWidth) {
  const double height = kTitleTop + kSelectorTitleHeight + kTitleToList +
                        kModeRowHeight * 2 /*options*/ + kSelectorBarHeight;
  return {std::min(kCardWidth, screenWidth - 2 * kCardMargin), height};
}

void RememberModeSelectorViewController::viewDidLoad() {
  view().setBackgroundColor(Color::clear());
  // Known at load from the screen, not from a window the view is not in
  // yet: a form sheet on a pad is then just the card.
  preferredContentSize = cardSize(screenWidth());

  card_ = makeLaidOut();
  card_->setBackgroundColor(Color::systemBackground());
  card_->cornerRadius = kSelectorCardCornerRadius;
  card_->clipsToBounds = true;
  view().addSubview(card_);

  setupTitleLabelInView(*card_);
  setupTableViewInView(*card_);
  setupBottomButtonsInView(*card_);
  setupConstraintsWithContentView(*card_);
}

void RememberModeSelectorViewController::setupTitleLabelInView(View& card) {
  titleLabel_ = makeDialogTitle("Select Remember Mode");
  card.addSubview(titleLabel_);
}

void RememberModeSelectorViewController::setupTableViewInView(View& card) {
  modeTableView_ = makeLaidOut<TableView>();
  modeTableView_->rowHeight = kModeRowHeight;
  modeTableView_->setBackgroundColor(Color::clear());
  modeTableView_->showsVerticalScrollIndicator = false;
  modeTableView_->bounces = false;
  modeTableView_->setScrollEnabled(false);
  modeTableView_->separatorInset = {0, 16, 0, 0};
  modeTableView_->registerCell(kModeCellId, [] {
    return std::make_shared<TableViewCell>(TableViewCellStyle::Default, kModeCellId);
  });
  auto self = std::static_pointer_cast<RememberModeSelectorViewController>(shared_from_this());
  modeTableView_->setDataSource(std::weak_ptr<TableViewDataSource>(self));
  modeTableView_->setDelegate(std::weak_ptr<TableViewDelegate>(self));
  card.addSubview(modeTableView_);
}

void RememberModeSelectorViewController::setupBottomButtonsInView(View& card) {
  auto weak = weakSelf<RememberModeSelectorViewController>(*this);
  cancelButton_ = makeBarButton("Cancel", [weak] {
    if (auto self = weak.lock()) self->cancelAction();
  });
  saveButton_ = makeBarButton("Save", [weak] {
    if (auto self = weak.lock()) self->saveAction();
  });
  bottomButtonContainer_ = makeButtonBar(cancelButton_, saveButton_);
  card.addSubview(bottomButtonContainer_);
}

void RememberModeSelectorViewController::setupConstraintsWithContentView(View& card) {
  View& root = view();
  const double listHeight = kModeRowHeight * static_cast<double>(modeOptions_.size());
  activate({
      card.centerXAnchor().constraintEqualTo(root.centerXAnchor()),
      card.centerYAnchor().constraintEqualTo(root.centerYAnchor()),
      withPriority(card.widthAnchor().constraintEqualToConstant(kCardWidth),
                   priority::kDefaultHigh),
      card.leadingAnchor().constraintGreaterThanOrEqualTo(root.leadingAnchor(), kCardMargin),
      card.trailingAnchor().constraintLessThanOrEqualTo(root.trailingAnchor(), -kCardMargin),

      titleLabel_->topAnchor().constraintEqualTo(card.topAnchor(), kTitleTop),
      titleLabel_->leadingAnchor().constraintEqualTo(card.leadingAnchor(), kCardMargin),
      titleLabel_->trailingAnchor().constraintEqualTo(card.trailingAnchor(), -kCardMargin),
      titleLabel_->heightAnchor().constraintEqualToConstant(kSelectorTitleHeight),

      modeTableView_->topAnchor().constraintEqualTo(titleLabel_->bottomAnchor(), kTitleToList),
      modeTableView_->leadingAnchor().constraintEqualTo(card.leadingAnchor()),
      modeTableView_->trailingAnchor().constraintEqualTo(card.trailingAnchor()),
      modeTableView_->heightAnchor().constraintEqualToConstant(listHeight),

      bottomButtonContainer_->topAnchor().constraintEqualTo(modeTableView_->bottomAnchor()),
      bottomButtonContainer_->leadingAnchor().constraintEqualTo(card.leadingAnchor()),
      bottomButtonContainer_->trailingAnchor().constraintEqualTo(card.trailingAnchor()),
      bottomButtonContainer_->heightAnchor().constraintEqualToConstant(kSelectorBarHeight),
      bottomButtonContainer_->bottomAnchor().constraintEqualTo(card.bottomAnchor()),
  });
}

std::int64_t RememberModeSelectorViewController::numberOfRows(TableView&, std::int64_t) {
  return static_cast<std::int64_t>(modeOptions_.size());
}

std::shared_ptr<TableViewCell> RememberModeSelectorViewController::cellForRow(TableView& table,
                                                                              IndexPath indexPath) {
  auto cell = table.dequeueReusableCell(kModeCellId, indexPath);
  const std::string& option = modeOptions_.at(static_cast<std::size_t>(indexPath.row()));
  fillRadioCell(*cell, option, isMarked(selectedMode_, option), "checkmark.circle.fill",
                kModeMarkSize);
  return cell;
}

std::optional<double> RememberModeSelectorViewController::heightForRow(TableView&, IndexPath) {
  return kModeRowHeight;
}

void RememberModeSelectorViewController::didSelectRow(TableView& table, IndexPath indexPath) {
  if (indexPath.row() < 0 || indexPath.row() >= static_cast<std::int64_t>(modeOptions_.size())) {
    return;
  }
  selectedMode_ = modeOptions_[static_cast<std::size_t>(indexPath.row())];
  table.reloadData();
}

void RememberModeSelectorViewController::saveAction() {
  // Once: a second tap while the dialog leaves reports nothing more.
  if (Completion completion = std::exchange(completionBlock_, {})) completion(selectedMode_);
  dismiss(true);
}

void RememberModeSelectorViewController::cancelAction() {
  completionBlock_ = {};
  dismiss(true);
}

// --- DeviceSelectorViewController --------------------------------------------

DeviceSelectorViewController::DeviceSelectorViewController(
    std::vector<std::string> devices, std::optional<std::string> selectedDeviceId,
    Completion completion)
    : devices_(std::move(devices)),
      selectedDeviceId_(std::move(selectedDeviceId)),
      completionBlock_(std::move(completion)) {
  modalPresentationStyle = ModalPresentationStyle::FormSheet;
  modalTransitionStyle = ModalTransitionStyle::CoverVertical;
}

Size DeviceSelectorViewController::preferredSize(Size screen) {
  return {std::min(kDeviceMaxWidth, screen.width - 40),
          std::min(kDeviceMaxHeight, screen.height - 100)};
}

void DeviceSelectorViewController::viewDidLoad() {
  view().setBackgroundColor(Color::systemBackground());
  // The view is in no window yet at load: take the screen's size.
  preferredContentSize = preferredSize(safeScreenSize());
  setupTitleLabel();
  setupTableView();
  setupBottomButtons();
  setupConstraints();
}

void DeviceSelectorViewController::setupTitleLabel() {
  titleLabel_ = makeDialogTitle("Discovered Devices");
  view().addSubview(titleLabel_);
}

void DeviceSelectorViewController::setupTableView() {
  deviceTableView_ = makeLaidOut<TableView>();
  deviceTableView_->rowHeight = kSelectorDeviceRowHeight;
  deviceTableView_->setBackgroundColor(Color::clear());
  deviceTableView_->registerCell(kDeviceCellId, [] {
    return std::make_shared<TableViewCell>(TableViewCellStyle::Default, kDeviceCellId);
  });
  auto self = std::static_pointer_cast<DeviceSelectorViewController>(shared_from_this());
  deviceTableView_->setDataSource(std::weak_ptr<TableViewDataSource>(self));
  deviceTableView_->setDelegate(std::weak_ptr<TableViewDelegate>(self));
  view().addSubview(deviceTableView_);
}

void DeviceSelectorViewController::setupBottomButtons() {
  auto weak = weakSelf<DeviceSelectorViewController>(*this);
  cancelButton_ = makeBarButton("Cancel", [weak] {
    if (auto self = weak.lock()) self->cancelAction();
  });
  saveButton_ = makeBarButton("Save", [weak] {
    if (auto self = weak.lock()) self->saveAction();
  });
  bottomButtonContainer_ = makeButtonBar(cancelButton_, saveButton_);
  view().addSubview(bottomButtonContainer_);
}

void DeviceSelectorViewController::setupConstraints() {
  View& root = view();
  LayoutGuide& safe = root.safeAreaLayoutGuide();
  activate({
      titleLabel_->topAnchor().constraintEqualTo(safe.topAnchor(), kDeviceTitleTop),
      titleLabel_->leadingAnchor().constraintEqualTo(root.leadingAnchor(), kCardMargin),
      titleLabel_->trailingAnchor().constraintEqualTo(root.trailingAnchor(), -kCardMargin),
      titleLabel_->heightAnchor().constraintEqualToConstant(kDeviceTitleHeight),

      deviceTableView_->topAnchor().constraintEqualTo(safe.topAnchor(), kDeviceListTop),
      deviceTableView_->leadingAnchor().constraintEqualTo(root.leadingAnchor()),
      deviceTableView_->trailingAnchor().constraintEqualTo(root.trailingAnchor()),
      deviceTableView_->bottomAnchor().constraintEqualTo(bottomButtonContainer_->topAnchor()),

      bottomButtonContainer_->leadingAnchor().constraintEqualTo(root.leadingAnchor()),
      bottomButtonContainer_->trailingAnchor().constraintEqualTo(root.trailingAnchor()),
      bottomButtonContainer_->heightAnchor().constraintEqualToConstant(kSelectorBarHeight),
      bottomButtonContainer_->bottomAnchor().constraintEqualTo(safe.bottomAnchor()),
  });
}

std::int64_t DeviceSelectorViewController::numberOfRows(TableView&, std::int64_t) {
  return static_cast<std::int64_t>(devices_.size());
}

std::shared_ptr<TableViewCell> DeviceSelectorViewController::cellForRow(TableView& table,
                                                                        IndexPath indexPath) {
  auto cell = table.dequeueReusableCell(kDeviceCellId, indexPath);
  const std::string& sn = devices_.at(static_cast<std::size_t>(indexPath.row()));
  fillRadioCell(*cell, sn, isMarked(selectedDeviceId_, sn), "largecircle.fill.circle",
                kDeviceMarkSize);
  return cell;
}

std::optional<double> DeviceSelectorViewController::heightForRow(TableView&, IndexPath) {
  return kSelectorDeviceRowHeight;
}

void DeviceSelectorViewController::didSelectRow(TableView& table, IndexPath indexPath) {
  if (indexPath.row() < 0 || indexPath.row() >= static_cast<std::int64_t>(devices_.size())) return;
  selectedDeviceId_ = devices_[static_cast<std::size_t>(indexPath.row())];
  table.reloadData();
}

void DeviceSelectorViewController::saveAction() {
  if (Completion completion = std::exchange(completionBlock_, {})) completion(selectedDeviceId_);
  dismiss(true);
}

void DeviceSelectorViewController::cancelAction() {
  completionBlock_ = {};
  dismiss(true);
}

}  // namespace veltrix::ui::settings
