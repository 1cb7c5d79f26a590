// The overflow grid: a dimmed popup over the scan screen with a white panel
// of square tiles, three to a row, one per terminal service that found no
// place in the orbit. A tile tap tells the delegate (the scan screen) which
// service was chosen, then the popup closes; a tap on the dimming outside
// the panel closes it without a choice.
//
// Threads: the main loop only. Ownership: whoever presents the grid owns it
// (the presenter); the grid holds its own copy of the services, so the scan
// screen's ageing may shrink its overflow list meanwhile; the delegate is
// held weakly. Non-copyable, like every controller.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "veltrix/platform/ui/collection_view.h"
#include "veltrix/platform/ui/controls.h"
#include "veltrix/platform/ui/view_controller.h"
#include "veltrix/ui/scan/scan_logic.h"

namespace veltrix::ui::scan {

class GridViewControllerDelegate {
 public:
  virtual ~GridViewControllerDelegate() = default;
  // The service of the tapped tile, unchanged.
  virtual void onScanMoreTerminalSucc(const ServiceInfoDict& service) = 0;
};

// Side of a tile in a collection `width` points wide: three tiles, the two
// section insets and the two gaps fill a row.
double gridTileSide(double width);

class GridCollectionViewCell : public CollectionViewCell {
 public:
  GridCollectionViewCell();

  // A missing text shows as "", a name without an image leaves the icon
  // empty.
  void configureWithTitle(const std::optional<std::string>& title,
                          const std::optional<std::string>& subtitle,
                          const std::optional<std::string>& detail, std::string_view imageName);

  const std::shared_ptr<ImageView>& imageView() const { return imageView_; }
  const std::shared_ptr<Label>& titleLabel() const { return titleLabel_; }
  const std::shared_ptr<Label>& subtitleLabel() const { return subtitleLabel_; }
  const std::shared_ptr<Label>& detailLabel() const { return detailLabel_; }

  void layoutSubviews() override;
  std::string typeName() const override { return "GridCollectionViewCell"; }

 private:
  void setupSubviews();

  std::shared_ptr<ImageView> imageView_;
  std::shared_ptr<Label> titleLabel_;
  std::shared_ptr<Label> subtitleLabel_;
  std::shared_ptr<Label> detailLabel_;
};

class GridViewController : public ViewController,
                           public CollectionViewDataSource,
                           public CollectionViewDelegate {
 public:
  // Keeps a copy of `gridData`; presented over the current context with a
  // cross-dissolve.
  explicit GridViewController(std::vector<ServiceInfoDict> gridData);

  const std::vector<ServiceInfoDict>& gridData() const { return gridData_; }
  void setDelegate(std::weak_ptr<GridViewControllerDelegate> delegate) {
    delegate_ = std::move(delegate);
  }
  bool isIpad() const { return isIpad_; }
  // Valid once the view has loaded.
  CollectionView& collectionView() { return *collectionView_; }
  View& containerView() { return *containerView_; }

  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;

  // Dismisses the popup, animated; harmless once it is closing or closed,
  // since both a choice and the scan screen's clean-up close it.
  void closePopup();

  std::int64_t numberOfItems(CollectionView& view, std::int64_t section) override;
  std::shared_ptr<CollectionViewCell> cellForItem(CollectionView& view,
                                                  IndexPath indexPath) override;
  std::optional<Size> sizeForItem(CollectionView& view, FlowLayout& layout,
                                  IndexPath indexPath) override;
  void didSelectItem(CollectionView& view, IndexPath indexPath) override;

  std::string typeName() const override { return "GridViewController"; }

 private:
  void setupContainerView();
  void setupCollectionView();
  void setupConstraints();
  void addDismissGesture();
  void handleBackgroundTap(GestureRecognizer& recognizer);

  std::vector<ServiceInfoDict> gridData_;
  std::weak_ptr<GridViewControllerDelegate> delegate_;
  std::shared_ptr<View> containerView_;
  std::shared_ptr<CollectionView> collectionView_;
  bool isIpad_ = false;
};

}  // namespace veltrix::ui::scan
