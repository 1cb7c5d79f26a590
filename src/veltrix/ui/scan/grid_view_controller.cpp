#include "veltrix/ui/scan/grid_view_controller.h"

#include <algorithm>
#include <cmath>

#include "veltrix/platform/ui/animation.h"
#include "veltrix/platform/ui/device.h"
#include "veltrix/platform/ui/gesture.h"
#include "veltrix/platform/ui/image.h"
#include "veltrix/platform/ui/runtime.h"

namespace veltrix::ui::scan {
namespace {

constexpr char kGridCellIdentifier[] = "GridCell";

// Panel.
constexpr double kPanelMarginPad = 300;
constexpr double kPanelMarginPhone = 20;
constexpr double kPanelHeightPad = 0.5;
constexpr double kPanelHeightPhone = 0.4;
constexpr double kPanelCornerRadius = 12;
constexpr double kDimmingAlpha = 0.5;

// Grid.
constexpr double kSpacing = 10;
constexpr Insets kSectionInset{20, 10, 20, 10};
constexpr int kColumns = 3;

// Entry animation.
constexpr double kEntryScaleX = 0.8;
constexpr double kEntryScaleY = 0.5;
constexpr double kEntryDuration = 0.3;
constexpr double kEntryDamping = 0.7;

// Tile.
constexpr double kTileCornerRadius = 8;
constexpr double kTileBorderWidth = 0.5;
constexpr double kTileBorderWhite = 0.9;
constexpr double kIconMaxSide = 70;
constexpr double kIconMinSide = 24;
constexpr double kTilePadding = 5;
constexpr double kIconGap = 3;
constexpr double kTextInset = 4;
constexpr double kTitleHeight = 17;     // one line of 14 points
constexpr double kSubtitleHeight = 15;  // one line of 12 points
constexpr double kDetailHeight = 14;    // one line of 11 points

}  // namespace

double gridTileSide(double width) {
  return (width - kSectionInset.left - kSectionInset.right - (kColumns - 1) * kSpacing) / kColumns;
}

// --- GridCollectionViewCell --------------------------------------------------

GridCollectionViewCell::GridCollectionViewCell() { setupSubviews(); }

void GridCollectionViewCell::setupSubviews() {
  View& content = *contentView();
  imageView_ = std::make_shared<ImageView>();
  imageView_->contentMode = ContentMode::AspectFit;
  imageView_->clipsToBounds = true;
  content.addSubview(imageView_);

  titleLabel_ = std::make_shared<Label>();
  titleLabel_->textAlignment = TextAlignment::Center;
  titleLabel_->setShowsOutsideText(true);
  titleLabel_->setFont(Font::system(14, FontWeight::Medium));
  content.addSubview(titleLabel_);

  subtitleLabel_ = std::make_shared<Label>();
  subtitleLabel_->textAlignment = TextAlignment::Center;
  subtitleLabel_->setShowsOutsideText(true);
  subtitleLabel_->setFont(Font::system(12));
  subtitleLabel_->textColor = Color::darkGray();
  content.addSubview(subtitleLabel_);

  detailLabel_ = std::make_shared<Label>();
  detailLabel_->textAlignment = TextAlignment::Center;
  detailLabel_->setShowsOutsideText(true);
  detailLabel_->setFont(Font::system(11));
  detailLabel_->textColor = Color::gray();
  // One line that ends in an ellipsis: a tile has no room for a second,
  // and a clipped first word reads as a different service.
  detailLabel_->lineBreakMode = LineBreakMode::TruncateTail;
  content.addSubview(detailLabel_);

  content.setBackgroundColor(Color::white());
  content.cornerRadius = kTileCornerRadius;
  content.borderWidth = kTileBorderWidth;
  content.borderColor = Color::white(kTileBorderWhite);
  content.clipsToBounds = true;
}

// The icon above the model, the shortened serial number and the service
// name, all centred in the tile. The texts tell terminals of one model
// apart, so a tile too small for all of them (a pad's panel keeps 300
// points on each side) drops the icon rather than a line.
void GridCollectionViewCell::layoutSubviews() {
  CollectionViewCell::layoutSubviews();
  const Size size = contentView()->bounds().size;
  const double text = kTitleHeight + kSubtitleHeight + kDetailHeight;
  double icon = std::min(kIconMaxSide, size.height - 2 * kTilePadding - kIconGap - text);
  if (icon < kIconMinSide) icon = 0;
  imageView_->setHidden(icon == 0);
  const double block = icon > 0 ? icon + kIconGap + text : text;
  double y = std::max(0.0, (size.height - block) / 2);
  imageView_->setFrame(Rect{(size.width - icon) / 2, y, icon, icon});
  if (icon > 0) y += icon + kIconGap;
  const double textWidth = std::max(0.0, size.width - 2 * kTextInset);
  titleLabel_->setFrame(Rect{kTextInset, y, textWidth, kTitleHeight});
  y += kTitleHeight;
  subtitleLabel_->setFrame(Rect{kTextInset, y, textWidth, kSubtitleHeight});
  y += kSubtitleHeight;
  detailLabel_->setFrame(Rect{kTextInset, y, textWidth, kDetailHeight});
}

void GridCollectionViewCell::configureWithTitle(const std::optional<std::string>& title,
                                                const std::optional<std::string>& subtitle,
                                                const std::optional<std::string>& detail,
                                                std::string_view imageName) {
  titleLabel_->setText(title.value_or(""));
  subtitleLabel_->setText(subtitle.value_or(""));
  detailLabel_->setText(detail.value_or(""));
  imageView_->setImage(loadImageNamed(imageName));
}

// --- GridViewController -------------------------------------------------------

GridViewController::GridViewController(std::vector<ServiceInfoDict> gridData)
    : gridData_(std::move(gridData)) {
  modalPresentationStyle = ModalPresentationStyle::OverCurrentContext;
  modalTransitionStyle = ModalTransitionStyle::CrossDissolve;
}

void GridViewController::viewDidLoad() {
  isIpad_ = currentDevice().isPad();
  view().setBackgroundColor(Color::black().withAlpha(kDimmingAlpha));
  setupContainerView();
  setupCollectionView();
  setupConstraints();
  addDismissGesture();
}

void GridViewController::setupContainerView() {
  containerView_ = std::make_shared<View>();
  containerView_->debugName = "gridPanel";
  containerView_->setBackgroundColor(Color::white());
  containerView_->cornerRadius = kPanelCornerRadius;
  containerView_->clipsToBounds = true;
  view().addSubview(containerView_);
}

void GridViewController::setupCollectionView() {
  auto layout = std::make_shared<FlowLayout>();
  layout->minimumLineSpacing = kSpacing;
  layout->minimumInteritemSpacing = kSpacing;
  layout->sectionInset = kSectionInset;
  collectionView_ = std::make_shared<CollectionView>(Rect{}, layout);
  auto self = sharedAs<GridViewController>();
  collectionView_->setDataSource(std::weak_ptr<CollectionViewDataSource>(self));
  collectionView_->setDelegate(std::weak_ptr<CollectionViewDelegate>(self));
  collectionView_->setBackgroundColor(Color::white());
  collectionView_->showsVerticalScrollIndicator = false;
  collectionView_->registerCell(kGridCellIdentifier,
                                [] { return std::make_shared<GridCollectionViewCell>(); });
  containerView_->addSubview(collectionView_);
}

void GridViewController::setupConstraints() {
  View& root = view();
  View& panel = *containerView_;
  CollectionView& grid = *collectionView_;
  panel.setTranslatesAutoresizingMaskIntoConstraints(false);
  grid.setTranslatesAutoresizingMaskIntoConstraints(false);
  const double margin = isIpad_ ? kPanelMarginPad : kPanelMarginPhone;
  const double height = isIpad_ ? kPanelHeightPad : kPanelHeightPhone;
  // The margins count from the safe area's sides: the same as the view's
  // upright, but clear of a turned phone's sensor housing.
  LayoutGuide& safe = root.safeAreaLayoutGuide();
  activate({
      panel.leadingAnchor().constraintEqualTo(safe.leadingAnchor(), margin),
      panel.trailingAnchor().constraintEqualTo(safe.trailingAnchor(), -margin),
      panel.centerYAnchor().constraintEqualTo(root.centerYAnchor()),
      panel.heightAnchor().constraintEqualTo(root.heightAnchor(), Multiplier{height}),
      grid.topAnchor().constraintEqualTo(panel.topAnchor()),
      grid.leadingAnchor().constraintEqualTo(panel.leadingAnchor()),
      grid.trailingAnchor().constraintEqualTo(panel.trailingAnchor()),
      grid.bottomAnchor().constraintEqualTo(panel.bottomAnchor()),
  });
}

void GridViewController::addDismissGesture() {
  std::weak_ptr<GridViewController> weak = sharedAs<GridViewController>();
  auto tap = std::make_shared<TapGestureRecognizer>([weak](GestureRecognizer& recognizer) {
    if (auto self = weak.lock()) self->handleBackgroundTap(recognizer);
  });
  // The tiles under the dimming must still get their taps.
  tap->cancelsTouchesInView = false;
  view().addGestureRecognizer(tap);
}

void GridViewController::viewWillAppear(bool animated) {
  ViewController::viewWillAppear(animated);
  View& panel = *containerView_;
  panel.setTransform(Transform::scale(kEntryScaleX, kEntryScaleY));
  panel.setAlpha(0);
  std::weak_ptr<View> weakPanel = containerView_;
  animateSpring(kEntryDuration, 0, kEntryDamping, 0, [weakPanel] {
    if (auto p = weakPanel.lock()) {
      p->setTransform(Transform::identity());
      p->setAlpha(1);
    }
  });
}

void GridViewController::handleBackgroundTap(GestureRecognizer& recognizer) {
  const Point location = recognizer.locationInView(&view());
  if (!containerView_->frame().contains(location)) dismiss(true);
}

void GridViewController::closePopup() { dismiss(true); }

std::int64_t GridViewController::numberOfItems(CollectionView&, std::int64_t) {
  return static_cast<std::int64_t>(gridData_.size());
}

std::shared_ptr<CollectionViewCell> GridViewController::cellForItem(CollectionView& view,
                                                                    IndexPath indexPath) {
  auto cell = view.dequeueReusableCell(kGridCellIdentifier, indexPath);
  auto* tile = dynamic_cast<GridCollectionViewCell*>(cell.get());
  if (!tile || indexPath.item < 0 || indexPath.item >= numberOfItems(view, 0)) return cell;
  const ServiceInfoDict& info = gridData_[static_cast<std::size_t>(indexPath.item)];
  tile->configureWithTitle(info.model, shortSerial(info.sn), info.serviceName,
                           enabledIconName(info.model, libraryImageExists));
  return cell;
}

std::optional<Size> GridViewController::sizeForItem(CollectionView& view, FlowLayout&, IndexPath) {
  const double side = std::max(0.0, gridTileSide(view.frame().width()));
  // Square, but no taller than the panel shows: a turned phone's panel is
  // 156 high, a third of its width 260.
  const double shown = view.frame().height() - kSectionInset.top - kSectionInset.bottom;
  return Size{side, std::clamp(shown, 0.0, side)};
}

void GridViewController::didSelectItem(CollectionView& view, IndexPath indexPath) {
  if (indexPath.item < 0 || indexPath.item >= numberOfItems(view, 0)) return;
  // The delegate may end the scan screen; keep the chosen entry meanwhile.
  const ServiceInfoDict chosen = gridData_[static_cast<std::size_t>(indexPath.item)];
  keepAlive(shared_from_this());
  if (auto delegate = delegate_.lock()) delegate->onScanMoreTerminalSucc(chosen);
  closePopup();
}

}  // namespace veltrix::ui::scan
