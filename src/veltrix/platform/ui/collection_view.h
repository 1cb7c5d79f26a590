// Collection views with a vertical flow layout.
//
// Flow layout: per section, after the section inset, items fill lines left to
// right; an item joins a line when the line's width plus the inter-item
// spacing plus its own width stays within the available width (1e-6 of
// slack). A line of one item is centred; the spare width of a longer line is
// spread between its items; items are centred vertically in their line, and
// lines are the line spacing apart.
//
// Cells exist only for items whose frame meets the visible area; they are
// made by the data source, reused through reuse identifiers, and reported to
// the delegate when a user taps them.
//
// Thread: the main loop only. Data source and delegate are held weakly.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "veltrix/platform/ui/scroll_view.h"

namespace veltrix::ui {

class CollectionView;

class CollectionViewCell : public View {
 public:
  CollectionViewCell();
  explicit CollectionViewCell(const Rect& frame);

  const std::shared_ptr<View>& contentView() const { return contentView_; }
  const std::string& reuseIdentifier() const { return reuseIdentifier_; }
  bool isSelected() const { return selected_; }
  virtual void setSelected(bool selected) { selected_ = selected; }
  virtual void prepareForReuse() {}

  void layoutSubviews() override;
  std::string typeName() const override { return "CollectionViewCell"; }

 private:
  friend class CollectionView;
  std::shared_ptr<View> contentView_;
  std::string reuseIdentifier_;
  bool selected_ = false;
};

class CollectionViewDataSource {
 public:
  virtual ~CollectionViewDataSource() = default;
  virtual std::int64_t numberOfSections(CollectionView&) { return 1; }
  virtual std::int64_t numberOfItems(CollectionView& view, std::int64_t section) = 0;
  virtual std::shared_ptr<CollectionViewCell> cellForItem(CollectionView& view,
                                                          IndexPath indexPath) = 0;
};

class FlowLayout;

class CollectionViewDelegate {
 public:
  virtual ~CollectionViewDelegate() = default;
  virtual void didSelectItem(CollectionView&, IndexPath) {}
  virtual void didDeselectItem(CollectionView&, IndexPath) {}
  virtual void willDisplayCell(CollectionView&, CollectionViewCell&, IndexPath) {}
  // The flow layout's item-size query; nullopt: the layout's item size.
  virtual std::optional<Size> sizeForItem(CollectionView&, FlowLayout&, IndexPath) {
    return std::nullopt;
  }
};

class FlowLayout {
 public:
  double minimumInteritemSpacing = 10;
  double minimumLineSpacing = 10;
  Insets sectionInset;
  Size itemSize{50, 50};

  // Recomputes the layout at the next layout pass.
  void invalidateLayout();

 private:
  friend class CollectionView;
  CollectionView* view_ = nullptr;
};

class CollectionView : public ScrollView {
 public:
  CollectionView(const Rect& frame, std::shared_ptr<FlowLayout> layout);
  ~CollectionView() override;

  const std::shared_ptr<FlowLayout>& layout() const { return layout_; }
  void setDataSource(std::weak_ptr<CollectionViewDataSource> dataSource);
  void setDelegate(std::weak_ptr<CollectionViewDelegate> delegate);

  using CellFactory = std::function<std::shared_ptr<CollectionViewCell>()>;
  void registerCell(const std::string& reuseIdentifier, CellFactory factory);
  // A reused cell or a new one from the registered factory; a plain cell
  // (and a log line) for an identifier that was never registered.
  std::shared_ptr<CollectionViewCell> dequeueReusableCell(const std::string& reuseIdentifier,
                                                          IndexPath indexPath);

  // Asks the data source again at the next layout pass; clears the selection.
  void reloadData();
  void invalidateLayout();
  std::int64_t numberOfSections();
  std::int64_t numberOfItems(std::int64_t section);

  // Visible cells (laid out first), in index-path order.
  std::vector<std::shared_ptr<CollectionViewCell>> visibleCells();
  std::optional<IndexPath> indexPathForCell(const CollectionViewCell& cell) const;
  // The visible cell at `indexPath`, or nullptr.
  std::shared_ptr<CollectionViewCell> cellForItem(IndexPath indexPath);
  // The item's frame in the collection view's content (laid out first).
  std::optional<Rect> frameForItem(IndexPath indexPath);

  bool allowsSelection = true;
  bool allowsMultipleSelection = false;
  // From code: no delegate calls.
  void selectItem(IndexPath indexPath, bool animated);
  void deselectItem(IndexPath indexPath, bool animated);
  std::vector<IndexPath> indexPathsForSelectedItems() const;

  // A user's tap on `cell` (the window's dispatch).
  void userTapped(CollectionViewCell& cell);

  void layoutSubviews() override;
  std::string typeName() const override { return "CollectionView"; }

 protected:
  void boundsSizeChanged() override { layoutValid_ = false; }

 private:
  void computeLayout();
  void recycle(const std::shared_ptr<CollectionViewCell>& cell);

  std::shared_ptr<FlowLayout> layout_;
  std::weak_ptr<CollectionViewDataSource> dataSource_;
  std::weak_ptr<CollectionViewDelegate> delegate_;
  std::map<std::string, CellFactory> factories_;
  std::map<std::string, std::vector<std::shared_ptr<CollectionViewCell>>> pool_;
  std::map<IndexPath, std::shared_ptr<CollectionViewCell>> visible_;
  std::set<IndexPath> selected_;
  std::vector<std::vector<Rect>> frames_;
  bool countsValid_ = false;
  bool layoutValid_ = false;
};

}  // namespace veltrix::ui
