#include "veltrix/platform/ui/collection_view.h"

#include <algorithm>

#include "veltrix/platform/log.h"
#include "veltrix/platform/ui/runtime.h"

namespace veltrix::ui {

CollectionViewCell::CollectionViewCell() {
  contentView_ = std::make_shared<View>();
  contentView_->debugName = "contentView";
  addSubview(contentView_);
}

CollectionViewCell::CollectionViewCell(const Rect& frame) : CollectionViewCell() {
  setFrame(frame);
}

void CollectionViewCell::layoutSubviews() {
  contentView_->setFrame(Rect{Point{0, 0}, bounds().size});
}

void FlowLayout::invalidateLayout() {
  if (view_) view_->invalidateLayout();
}

CollectionView::CollectionView(const Rect& frame, std::shared_ptr<FlowLayout> layout)
    : ScrollView(frame), layout_(layout ? std::move(layout) : std::make_shared<FlowLayout>()) {
  layout_->view_ = this;
}

CollectionView::~CollectionView() {
  if (layout_ && layout_->view_ == this) layout_->view_ = nullptr;
}

void CollectionView::setDataSource(std::weak_ptr<CollectionViewDataSource> dataSource) {
  dataSource_ = std::move(dataSource);
  reloadData();
}

void CollectionView::setDelegate(std::weak_ptr<CollectionViewDelegate> delegate) {
  delegate_ = std::move(delegate);
  invalidateLayout();
}

void CollectionView::registerCell(const std::string& reuseIdentifier, CellFactory factory) {
  factories_[reuseIdentifier] = std::move(factory);
}

std::shared_ptr<CollectionViewCell> CollectionView::dequeueReusableCell(
    const std::string& reuseIdentifier, IndexPath /*indexPath*/) {
  auto& pool = pool_[reuseIdentifier];
  if (!pool.empty()) {
    auto cell = pool.back();
    pool.pop_back();
    cell->prepareForReuse();
    return cell;
  }
  std::shared_ptr<CollectionViewCell> cell;
  if (auto it = factories_.find(reuseIdentifier); it != factories_.end() && it->second) {
    cell = it->second();
  }
  if (!cell) {
    platform::logLine("could not dequeue a view with identifier " + reuseIdentifier +
                      " - must register a class for the identifier");
    cell = std::make_shared<CollectionViewCell>();
  }
  cell->reuseIdentifier_ = reuseIdentifier;
  return cell;
}

void CollectionView::reloadData() {
  auto cells = std::move(visible_);
  visible_.clear();
  for (auto& [ip, cell] : cells) recycle(cell);
  selected_.clear();
  countsValid_ = false;
  layoutValid_ = false;
  setNeedsLayout();
}

void CollectionView::invalidateLayout() {
  layoutValid_ = false;
  setNeedsLayout();
}

std::int64_t CollectionView::numberOfSections() {
  computeLayout();
  return static_cast<std::int64_t>(frames_.size());
}

std::int64_t CollectionView::numberOfItems(std::int64_t section) {
  computeLayout();
  if (section < 0 || section >= static_cast<std::int64_t>(frames_.size())) return 0;
  return static_cast<std::int64_t>(frames_[static_cast<std::size_t>(section)].size());
}

void CollectionView::computeLayout() {
  if (layoutValid_ && countsValid_) return;
  auto source = dataSource_.lock();
  auto delegate = delegate_.lock();
  frames_.clear();
  const std::int64_t sections =
      source ? std::max<std::int64_t>(0, source->numberOfSections(*this)) : 0;
  const double width = bounds().width();
  const FlowLayout& fl = *layout_;
  double y = 0;
  for (std::int64_t s = 0; s < sections; ++s) {
    const std::int64_t n = std::max<std::int64_t>(0, source->numberOfItems(*this, s));
    std::vector<Size> sizes;
    for (std::int64_t i = 0; i < n; ++i) {
      std::optional<Size> size;
      if (delegate) size = delegate->sizeForItem(*this, *layout_, IndexPath{s, i});
      sizes.push_back(size.value_or(fl.itemSize));
    }
    std::vector<Rect> frames(sizes.size());
    const double available = width - fl.sectionInset.left - fl.sectionInset.right;
    y += fl.sectionInset.top;
    std::size_t i = 0;
    bool firstLine = true;
    while (i < sizes.size()) {
      // Fill one line.
      std::size_t end = i + 1;
      double used = sizes[i].width;
      while (end < sizes.size() &&
             used + fl.minimumInteritemSpacing + sizes[end].width <= available + 1e-6) {
        used += fl.minimumInteritemSpacing + sizes[end].width;
        ++end;
      }
      if (!firstLine) y += fl.minimumLineSpacing;
      firstLine = false;
      double lineHeight = 0;
      for (std::size_t k = i; k < end; ++k) lineHeight = std::max(lineHeight, sizes[k].height);
      const std::size_t count = end - i;
      double x = fl.sectionInset.left;
      double gap = fl.minimumInteritemSpacing;
      if (count == 1) {
        x += (available - sizes[i].width) / 2;
      } else {
        gap += (available - used) / static_cast<double>(count - 1);
      }
      for (std::size_t k = i; k < end; ++k) {
        frames[k] =
            Rect{x, y + (lineHeight - sizes[k].height) / 2, sizes[k].width, sizes[k].height};
        x += sizes[k].width + gap;
      }
      y += lineHeight;
      i = end;
    }
    y += fl.sectionInset.bottom;
    frames_.push_back(std::move(frames));
  }
  countsValid_ = true;
  layoutValid_ = true;
  setContentSize(Size{width, y});
}

void CollectionView::recycle(const std::shared_ptr<CollectionViewCell>& cell) {
  cell->removeFromSuperview();
  cell->setSelected(false);
  if (!cell->reuseIdentifier_.empty()) pool_[cell->reuseIdentifier_].push_back(cell);
}

void CollectionView::layoutSubviews() {
  computeLayout();
  const Rect viewport = bounds();
  auto source = dataSource_.lock();
  // Cells that left the visible area go back to the pool.
  for (auto it = visible_.begin(); it != visible_.end();) {
    const IndexPath ip = it->first;
    const bool valid =
        ip.section < static_cast<std::int64_t>(frames_.size()) &&
        ip.item < static_cast<std::int64_t>(frames_[static_cast<std::size_t>(ip.section)].size());
    if (!valid || !frames_[static_cast<std::size_t>(ip.section)][static_cast<std::size_t>(ip.item)]
                       .intersects(viewport)) {
      auto cell = it->second;
      it = visible_.erase(it);
      recycle(cell);
    } else {
      ++it;
    }
  }
  if (!source) return;
  for (std::size_t s = 0; s < frames_.size(); ++s) {
    for (std::size_t i = 0; i < frames_[s].size(); ++i) {
      const Rect& f = frames_[s][i];
      if (!f.intersects(viewport)) continue;
      const IndexPath ip{static_cast<std::int64_t>(s), static_cast<std::int64_t>(i)};
      auto it = visible_.find(ip);
      if (it != visible_.end()) {
        it->second->setFrame(f);
        continue;
      }
      auto cell = source->cellForItem(*this, ip);
      if (!cell) continue;
      cell->setFrame(f);
      cell->setSelected(selected_.count(ip) != 0);
      visible_[ip] = cell;
      insertSubview(cell, 0);
      if (auto delegate = delegate_.lock()) delegate->willDisplayCell(*this, *cell, ip);
    }
  }
}

std::vector<std::shared_ptr<CollectionViewCell>> CollectionView::visibleCells() {
  layoutIfNeeded();
  std::vector<std::shared_ptr<CollectionViewCell>> cells;
  for (auto& [ip, cell] : visible_) cells.push_back(cell);
  return cells;
}

std::optional<IndexPath> CollectionView::indexPathForCell(const CollectionViewCell& cell) const {
  for (const auto& [ip, c] : visible_) {
    if (c.get() == &cell) return ip;
  }
  return std::nullopt;
}

std::shared_ptr<CollectionViewCell> CollectionView::cellForItem(IndexPath indexPath) {
  layoutIfNeeded();
  auto it = visible_.find(indexPath);
  return it == visible_.end() ? nullptr : it->second;
}

std::optional<Rect> CollectionView::frameForItem(IndexPath ip) {
  layoutIfNeeded();
  computeLayout();
  if (ip.section < 0 || ip.section >= static_cast<std::int64_t>(frames_.size()))
    return std::nullopt;
  const auto& items = frames_[static_cast<std::size_t>(ip.section)];
  if (ip.item < 0 || ip.item >= static_cast<std::int64_t>(items.size())) return std::nullopt;
  return items[static_cast<std::size_t>(ip.item)];
}

void CollectionView::selectItem(IndexPath indexPath, bool /*animated*/) {
  if (!allowsMultipleSelection) {
    for (const IndexPath& ip : selected_) {
      if (auto it = visible_.find(ip); it != visible_.end()) it->second->setSelected(false);
    }
    selected_.clear();
  }
  selected_.insert(indexPath);
  if (auto it = visible_.find(indexPath); it != visible_.end()) it->second->setSelected(true);
}

void CollectionView::deselectItem(IndexPath indexPath, bool /*animated*/) {
  selected_.erase(indexPath);
  if (auto it = visible_.find(indexPath); it != visible_.end()) it->second->setSelected(false);
}

std::vector<IndexPath> CollectionView::indexPathsForSelectedItems() const {
  return {selected_.begin(), selected_.end()};
}

void CollectionView::userTapped(CollectionViewCell& cell) {
  if (!allowsSelection) return;
  auto ip = indexPathForCell(cell);
  if (!ip) return;
  keepAlive(weak_from_this().lock());
  auto delegate = delegate_.lock();
  applyTapToSelection(
      selected_, *ip, allowsMultipleSelection,
      [&](const IndexPath& p) {
        deselectItem(p, false);
        if (delegate) delegate->didDeselectItem(*this, p);
      },
      [&](const IndexPath& p) {
        selectItem(p, false);
        if (delegate) delegate->didSelectItem(*this, p);
      });
}

}  // namespace veltrix::ui
