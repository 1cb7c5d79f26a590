#include "veltrix/ui/settings/lan_settings_view_controller.h"

#include <algorithm>

#include "veltrix/facade/retailer_setting_manager.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/ui/animation.h"
#include "veltrix/platform/ui/gesture.h"
#include "veltrix/platform/ui/image.h"
#include "veltrix/ui/settings/settings_style.h"

namespace veltrix::ui::settings {

namespace {

constexpr double kLanMargin = 20;
constexpr double kLanCornerRadius = 12;
constexpr double kLanCardHeight = 120;
constexpr double kLanRowHeight = 60;
constexpr double kPortRowHeight = 60;
constexpr double kLanChevronSize = 16;
constexpr double kValueToChevron = 10;
constexpr double kPressSeconds = 0.1;
constexpr double kPressScale = 0.98;
constexpr const char* kLanCellId = "LANCell";
constexpr const char* kDescription =
    "Enables mutual authentication between Orvane Tavio devices over LAN to ensure secure "
    "communication.";
constexpr const char* kPortTitle = "Passthrough Port Number";

const char* rowTitle(LANSettingsViewController::CellType type) {
  return type == LANSettingsViewController::kLan ? "LAN" : "Authentication";
}

}  // namespace

std::optional<std::string> acceptedPort(std::string_view text) {
  if (text.empty()) return std::nullopt;
  // A number pad types nothing else; pasted text must not slip past it.
  if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  return std::string(text);
}

LANSettingsViewController::LANSettingsViewController(SettingsEnvironment env)
    : env_(std::move(env)) {}

void LANSettingsViewController::viewDidLoad() {
  view().setBackgroundColor(Color::systemGray6());
  isLANEnabled_ = env_.facade->getCommunicateTypeState(facade::kCommunicateTypeLan);
  isAuthEnabled_ = false;
  portNumber_ = std::string(kDefaultPassthroughPort);
  cellTypes_ = {kLan, kAuthentication};
  setupUI();
  setupConstraints();
  setupActions();
}

void LANSettingsViewController::setupUI() {
  page_ = ScrollingPage::install(view());
  mainContainerView_ = makeCard(kLanCornerRadius);
  page_->content().addSubview(mainContainerView_);

  contentTableView_ = makeListTable(kLanCellId, kLanMargin);
  serveTable(*contentTableView_,
             std::static_pointer_cast<LANSettingsViewController>(shared_from_this()));
  mainContainerView_->addSubview(contentTableView_);

  descriptionLabel_ = makeLabel(kDescription, Font::system(14), Color::systemGray());
  descriptionLabel_->setNumberOfLines(0);
  page_->content().addSubview(descriptionLabel_);

  setupPortRow();
}

void LANSettingsViewController::setupPortRow() {
  portContainerView_ = makeCard(kLanCornerRadius);
  portContainerView_->userInteractionEnabled = true;
  page_->content().addSubview(portContainerView_);

  portTitleLabel_ = makeLabel(kPortTitle, Font::system(17, FontWeight::Medium));
  portContainerView_->addSubview(portTitleLabel_);
  portValueLabel_ = makeLabel(portNumber_, Font::system(15), Color::systemGray());
  portContainerView_->addSubview(portValueLabel_);
  portChevron_ = makeChevron();
  portContainerView_->addSubview(portChevron_);
}

void LANSettingsViewController::setupConstraints() {
  View& root = page_->content();
  View& card = *mainContainerView_;
  View& port = *portContainerView_;
  activateAll({
      shareRow(port, *portTitleLabel_, *portValueLabel_, kLanMargin),
      tableCardAtTop(root, card, *contentTableView_, kLanMargin, kLanCardHeight),
      {
          descriptionLabel_->topAnchor().constraintEqualTo(card.bottomAnchor(), kLanMargin),
          descriptionLabel_->leadingAnchor().constraintEqualTo(root.leadingAnchor(), kLanMargin),
          descriptionLabel_->trailingAnchor().constraintEqualTo(root.trailingAnchor(), -kLanMargin),

          port.topAnchor().constraintEqualTo(descriptionLabel_->bottomAnchor(), kLanMargin),
          port.leadingAnchor().constraintEqualTo(root.leadingAnchor(), kLanMargin),
          port.trailingAnchor().constraintEqualTo(root.trailingAnchor(), -kLanMargin),
          port.heightAnchor().constraintEqualToConstant(kPortRowHeight),
          port.bottomAnchor().constraintLessThanOrEqualTo(root.bottomAnchor(), -kLanMargin),
      },
      chevronAfter(port, *portValueLabel_, *portChevron_, kLanMargin, kValueToChevron,
                   kLanChevronSize),
  });
}

void LANSettingsViewController::setupActions() {
  std::weak_ptr<ViewController> weak = weak_from_this();
  auto tap = std::make_shared<TapGestureRecognizer>([weak](GestureRecognizer&) {
    if (auto self = std::static_pointer_cast<LANSettingsViewController>(weak.lock())) {
      self->portContainerTapped();
    }
  });
  tap->cancelsTouchesInView = false;
  portContainerView_->addGestureRecognizer(tap);
}

std::int64_t LANSettingsViewController::numberOfRows(TableView&, std::int64_t) {
  return static_cast<std::int64_t>(cellTypes_.size());
}

std::shared_ptr<TableViewCell> LANSettingsViewController::cellForRow(TableView& table,
                                                                     IndexPath indexPath) {
  auto cell = emptiedCell(table, kLanCellId, indexPath, Color::clear());
  View& content = *cell->contentView();

  const CellType type = cellTypes_.at(static_cast<std::size_t>(indexPath.row()));
  auto title = makeLabel(rowTitle(type), Font::system(17, FontWeight::Medium));
  auto toggle = makeLaidOut<Switch>();
  std::weak_ptr<ViewController> weak = weak_from_this();
  if (type == kLan) {
    toggle->setOn(isLANEnabled_);
    toggle->addTarget(ControlEvent::ValueChanged, [weak](Control& sender) {
      if (auto self = std::static_pointer_cast<LANSettingsViewController>(weak.lock())) {
        self->switchValueChanged(static_cast<Switch&>(sender));
      }
    });
  } else {
    toggle->setOn(isAuthEnabled_);
    // Flipping the switch itself must move the flag too, or a later row
    // tap would leave the two apart.
    toggle->addTarget(ControlEvent::ValueChanged, [weak](Control& sender) {
      if (auto self = std::static_pointer_cast<LANSettingsViewController>(weak.lock())) {
        self->isAuthEnabled_ = static_cast<Switch&>(sender).isOn();
      }
    });
  }
  content.addSubview(title);
  content.addSubview(toggle);
  activateAll({
      shareRow(content, *title, *toggle, kLanMargin),
      {toggle->trailingAnchor().constraintEqualTo(content.trailingAnchor(), -kLanMargin)},
  });
  return cell;
}

std::optional<double> LANSettingsViewController::heightForRow(TableView&, IndexPath) {
  return kLanRowHeight;
}

void LANSettingsViewController::willDisplayCell(TableView&, TableViewCell& cell,
                                                IndexPath indexPath) {
  const bool last = indexPath.row() == static_cast<std::int64_t>(cellTypes_.size()) - 1;
  cell.separatorInset = rowSeparatorInset(last, kLanMargin);
}

void LANSettingsViewController::didSelectRow(TableView& table, IndexPath indexPath) {
  const CellType type = cellTypes_.at(static_cast<std::size_t>(indexPath.row()));
  if (type == kLan) {
    isLANEnabled_ = !isLANEnabled_;
    env_.facade->setCommunicateType(facade::kCommunicateTypeLan, isLANEnabled_);
  } else {
    isAuthEnabled_ = !isAuthEnabled_;
  }
  table.reloadRows({indexPath});
}

void LANSettingsViewController::switchValueChanged(Switch& sender) {
  isLANEnabled_ = sender.isOn();
  env_.facade->setCommunicateType(facade::kCommunicateTypeLan, isLANEnabled_);
}

void LANSettingsViewController::portContainerTapped() {
  platform::logf("port number: {}", portNumber_);
  std::weak_ptr<ViewController> weak = weak_from_this();
  View* port = portContainerView_.get();
  animate(
      kPressSeconds, [port] { port->setTransform(Transform::scale(kPressScale, kPressScale)); },
      [weak](bool) {
        auto self = std::static_pointer_cast<LANSettingsViewController>(weak.lock());
        if (!self) return;
        View* port = self->portContainerView_.get();
        animate(kPressSeconds, [port] { port->setTransform(Transform::identity()); });
        self->showPortEditAlert();
      });
}

void LANSettingsViewController::showPortEditAlert() {
  auto alert = std::make_shared<AlertController>(std::string(kPortTitle), std::string());
  alert->addTextField([this](TextField& field) {
    field.setText(portNumber_);
    field.keyboardType = KeyboardType::NumberPad;
    field.placeholder = "Port Number";
  });
  std::weak_ptr<ViewController> weak = weak_from_this();
  // The alert owns its field; the field knows nothing of the alert.
  std::shared_ptr<TextField> field = alert->textFields().front();
  alert->addAction({"Save", AlertActionStyle::Default, [weak, field](const AlertAction&) {
                      if (auto self =
                              std::static_pointer_cast<LANSettingsViewController>(weak.lock())) {
                        self->savePort(field->text());
                      }
                    }});
  alert->addAction({"Cancel", AlertActionStyle::Cancel, nullptr});
  present(alert, true);
}

void LANSettingsViewController::savePort(std::string_view text) {
  std::optional<std::string> port = acceptedPort(text);
  if (!port) return;
  portNumber_ = std::move(*port);
  portValueLabel_->setText(portNumber_);
  platform::logf("new port number: {}", portNumber_);
}

}  // namespace veltrix::ui::settings
