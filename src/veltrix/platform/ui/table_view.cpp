#include "veltrix/platform/ui/table_view.h"

#include <fmt/format.h>

#include <algorithm>

#include "veltrix/platform/log.h"
#include "veltrix/platform/ui/runtime.h"

namespace veltrix::ui {
namespace {

// Between a cell's text and its detail text when they share a line.
constexpr double kTextGap = 8;

}  // namespace

// --- TableViewCell -----------------------------------------------------------

TableViewCell::TableViewCell(TableViewCellStyle style, std::string reuseIdentifier)
    : style_(style), reuseIdentifier_(std::move(reuseIdentifier)) {
  setBackgroundColor(Color::systemBackground());
  contentView_ = std::make_shared<View>();
  contentView_->debugName = "contentView";
  addSubview(contentView_);
  setFrame(Rect{0, 0, 320, 44});
}

Label* TableViewCell::textLabel() {
  if (!textLabel_) {
    textLabel_ = std::make_shared<Label>();
    textLabel_->debugName = "textLabel";
    contentView_->addSubview(textLabel_);
    setNeedsLayout();
  }
  return textLabel_.get();
}

Label* TableViewCell::detailTextLabel() {
  if (style_ == TableViewCellStyle::Default) return nullptr;
  if (!detailLabel_) {
    detailLabel_ = std::make_shared<Label>();
    detailLabel_->debugName = "detailTextLabel";
    if (style_ == TableViewCellStyle::Subtitle) {
      detailLabel_->setFont(Font::system(12));
    } else {
      detailLabel_->textColor = Color::secondaryLabel();
      detailLabel_->textAlignment = TextAlignment::Right;
    }
    contentView_->addSubview(detailLabel_);
    setNeedsLayout();
  }
  return detailLabel_.get();
}

ImageView* TableViewCell::imageView() {
  if (!imageView_) {
    imageView_ = std::make_shared<ImageView>();
    imageView_->debugName = "imageView";
    contentView_->addSubview(imageView_);
    setNeedsLayout();
  }
  return imageView_.get();
}

void TableViewCell::setAccessoryView(std::shared_ptr<View> view) {
  if (accessoryView_ && accessoryView_->superview() == this) accessoryView_->removeFromSuperview();
  accessoryView_ = std::move(view);
  if (accessoryView_) addSubview(accessoryView_);
  setNeedsLayout();
}

void TableViewCell::setSelected(bool selected, bool /*animated*/) { selected_ = selected; }

void TableViewCell::layoutSubviews() {
  // The content and accessory keep out of the unsafe sides (a phone's
  // sensor housing in landscape); the cell's background spans the row.
  const Insets safe = safeAreaInsets();
  const double w = bounds().width() - safe.right;
  const double h = bounds().height();
  double contentWidth = w - safe.left;
  if (accessoryView_) {
    const Size a = accessoryView_->frame().size;
    accessoryView_->setFrame(Rect{w - 16 - a.width, (h - a.height) / 2, a.width, a.height});
    contentWidth -= 16 + a.width;
  } else if (accessoryType != AccessoryType::None) {
    contentWidth -= 38;
  }
  contentView_->setFrame(Rect{safe.left, 0, std::max(0.0, contentWidth), h});

  // The style's own views, where the screen left them in the content view.
  auto inContent = [&](const std::shared_ptr<View>& v) {
    return v && v->superview() == contentView_.get();
  };
  double x = 16;
  const double right = contentWidth - 16;
  if (inContent(imageView_) && imageView_->image()) {
    const Size s = imageView_->image()->size();
    imageView_->setFrame(Rect{16, (h - s.height) / 2, s.width, s.height});
    x = 16 + s.width + 16;
  }
  const double avail = std::max(0.0, right - x);
  const bool hasText = inContent(textLabel_);
  const bool hasDetail = inContent(detailLabel_);
  const Size t = hasText ? textLabel_->sizeThatFits(Size{avail, h}) : Size{};
  Size d = hasDetail ? detailLabel_->sizeThatFits(Size{avail, h}) : Size{};
  if (style_ == TableViewCellStyle::Subtitle) {
    const double top = (h - t.height - d.height) / 2;
    if (hasText) textLabel_->setFrame(Rect{x, top, avail, t.height});
    if (hasDetail) detailLabel_->setFrame(Rect{x, top + t.height, avail, d.height});
  } else {
    double dw = std::min(avail, d.width);
    if (hasText && t.width > 0 && dw > 0 && t.width + kTextGap + dw > avail) {
      // Both do not fit: neither label may crowd the other out. Each keeps
      // what it needs up to half the room, the other takes the rest and
      // ends in an ellipsis.
      const double half = std::max(0.0, (avail - kTextGap) / 2);
      dw = t.width <= half ? avail - kTextGap - t.width : std::min(dw, half);
      d = detailLabel_->sizeThatFits(Size{dw, h});
    }
    if (hasDetail) detailLabel_->setFrame(Rect{right - dw, (h - d.height) / 2, dw, d.height});
    if (hasText) {
      const double tw = std::max(0.0, avail - (hasDetail && dw > 0 ? dw + kTextGap : 0));
      textLabel_->setFrame(Rect{x, (h - t.height) / 2, tw, t.height});
    }
  }
}

std::string TableViewCell::describe() const {
  std::string out = View::describe();
  if (textLabel_) out += fmt::format(" text=\"{}\"", textLabel_->text());
  if (detailLabel_) out += fmt::format(" detail=\"{}\"", detailLabel_->text());
  if (selected_) out += " selected";
  return out;
}

// --- TableView ---------------------------------------------------------------

TableView::TableView(const Rect& frame, TableViewStyle style) : ScrollView(frame), style_(style) {
  if (style != TableViewStyle::Plain)
    setBackgroundColor(Color::systemGray6());
  else
    setBackgroundColor(Color::systemBackground());
  if (style == TableViewStyle::InsetGrouped) separatorInset = {0, 20, 0, 0};
}

void TableView::setDataSource(std::weak_ptr<TableViewDataSource> dataSource) {
  dataSource_ = std::move(dataSource);
  reloadData();
}

void TableView::setDelegate(std::weak_ptr<TableViewDelegate> delegate) {
  delegate_ = std::move(delegate);
  reloadData();
}

void TableView::setTableHeaderView(std::shared_ptr<View> view) {
  if (headerView_ && headerView_->superview() == this) headerView_->removeFromSuperview();
  headerView_ = std::move(view);
  if (headerView_) addSubview(headerView_);
  geometryValid_ = false;
  setNeedsLayout();
}

void TableView::setTableFooterView(std::shared_ptr<View> view) {
  if (footerView_ && footerView_->superview() == this) footerView_->removeFromSuperview();
  footerView_ = std::move(view);
  if (footerView_) addSubview(footerView_);
  geometryValid_ = false;
  setNeedsLayout();
}

void TableView::registerCell(const std::string& reuseIdentifier, CellFactory factory) {
  factories_[reuseIdentifier] = std::move(factory);
}

std::shared_ptr<TableViewCell> TableView::dequeueReusableCell(const std::string& reuseIdentifier) {
  auto& pool = pool_[reuseIdentifier];
  if (pool.empty()) return nullptr;
  auto cell = pool.back();
  pool.pop_back();
  cell->prepareForReuse();
  return cell;
}

std::shared_ptr<TableViewCell> TableView::dequeueReusableCell(const std::string& reuseIdentifier,
                                                              IndexPath /*indexPath*/) {
  if (auto cell = dequeueReusableCell(reuseIdentifier)) return cell;
  std::shared_ptr<TableViewCell> cell;
  if (auto it = factories_.find(reuseIdentifier); it != factories_.end() && it->second) {
    cell = it->second();
  }
  if (!cell) {
    platform::logLine("unable to dequeue a cell with identifier " + reuseIdentifier +
                      " - must register a nib or a class for the identifier");
    cell = std::make_shared<TableViewCell>(TableViewCellStyle::Default, reuseIdentifier);
  }
  cell->reuseIdentifier_ = reuseIdentifier;
  return cell;
}

void TableView::recycle(const std::shared_ptr<TableViewCell>& cell) {
  cell->removeFromSuperview();
  cell->setSelected(false);
  if (!cell->reuseIdentifier_.empty()) pool_[cell->reuseIdentifier_].push_back(cell);
}

void TableView::reloadData() {
  auto cells = std::move(visible_);
  visible_.clear();
  for (auto& [ip, cell] : cells) recycle(cell);
  for (auto& [s, v] : headers_) v->removeFromSuperview();
  for (auto& [s, v] : footers_) v->removeFromSuperview();
  headers_.clear();
  footers_.clear();
  selected_.clear();
  geometryValid_ = false;
  setNeedsLayout();
}

void TableView::reloadRows(const std::vector<IndexPath>& indexPaths) {
  for (const IndexPath& ip : indexPaths) {
    auto it = visible_.find(ip);
    if (it == visible_.end()) continue;
    auto cell = it->second;
    visible_.erase(it);
    recycle(cell);
  }
  geometryValid_ = false;
  setNeedsLayout();
}

double TableView::defaultHeaderHeight(bool hasTitle) const {
  if (style_ == TableViewStyle::Plain) return hasTitle ? 28 : 0;
  return hasTitle ? 38 : 18;
}

void TableView::computeGeometry() {
  if (geometryValid_) return;
  auto source = dataSource_.lock();
  auto delegate = delegate_.lock();
  const double width = bounds().width();
  const bool inset = style_ == TableViewStyle::InsetGrouped;
  const double rowX = inset ? 20 : 0;
  const double rowW = std::max(0.0, inset ? width - 40 : width);
  sections_.clear();
  double y = 0;
  if (headerView_) {
    headerView_->setFrame(Rect{0, 0, width, headerView_->frame().height()});
    y += headerView_->frame().height();
  }
  const std::int64_t count =
      source ? std::max<std::int64_t>(0, source->numberOfSections(*this)) : 0;
  for (std::int64_t s = 0; s < count; ++s) {
    SectionGeometry g;
    std::optional<double> hh = delegate ? delegate->heightForHeader(*this, s) : std::nullopt;
    if (!hh) hh = sectionHeaderHeight;
    if (!hh) hh = defaultHeaderHeight(source->titleForHeader(*this, s).has_value());
    g.header = Rect{0, y, width, std::max(0.0, *hh)};
    y += g.header.height();
    const std::int64_t rows = std::max<std::int64_t>(0, source->numberOfRows(*this, s));
    for (std::int64_t r = 0; r < rows; ++r) {
      std::optional<double> rh =
          delegate ? delegate->heightForRow(*this, IndexPath{s, r}) : std::nullopt;
      double h = rh.value_or(rowHeight);
      if (h < 0) h = 44;
      g.rows.push_back(Rect{rowX, y, rowW, h});
      y += h;
    }
    std::optional<double> fh = delegate ? delegate->heightForFooter(*this, s) : std::nullopt;
    if (!fh) fh = sectionFooterHeight;
    if (!fh) fh = defaultHeaderHeight(source->titleForFooter(*this, s).has_value());
    g.footer = Rect{0, y, width, std::max(0.0, *fh)};
    y += g.footer.height();
    sections_.push_back(std::move(g));
  }
  if (footerView_) {
    footerView_->setFrame(Rect{0, y, width, footerView_->frame().height()});
    y += footerView_->frame().height();
  }
  geometryValid_ = true;
  setContentSize(Size{width, y});
}

std::int64_t TableView::numberOfSections() {
  computeGeometry();
  return static_cast<std::int64_t>(sections_.size());
}

std::int64_t TableView::numberOfRows(std::int64_t section) {
  computeGeometry();
  if (section < 0 || section >= static_cast<std::int64_t>(sections_.size())) return 0;
  return static_cast<std::int64_t>(sections_[static_cast<std::size_t>(section)].rows.size());
}

void TableView::layoutSubviews() {
  computeGeometry();
  const Rect viewport = bounds();
  auto source = dataSource_.lock();
  auto delegate = delegate_.lock();
  auto rowRect = [&](const IndexPath& ip) -> std::optional<Rect> {
    if (ip.section < 0 || ip.section >= static_cast<std::int64_t>(sections_.size()))
      return std::nullopt;
    const auto& rows = sections_[static_cast<std::size_t>(ip.section)].rows;
    if (ip.item < 0 || ip.item >= static_cast<std::int64_t>(rows.size())) return std::nullopt;
    return rows[static_cast<std::size_t>(ip.item)];
  };
  for (auto it = visible_.begin(); it != visible_.end();) {
    auto r = rowRect(it->first);
    if (!r || !r->intersects(viewport)) {
      auto cell = it->second;
      it = visible_.erase(it);
      recycle(cell);
    } else {
      it->second->setFrame(*r);
      ++it;
    }
  }
  if (!source) return;
  // Headers and footers keep out of the unsafe sides like the cells' content;
  // their views are cut to that span so a screen that sized them from the
  // table's width does not reach past it.
  const Insets safe = safeAreaInsets();
  auto safeSpan = [&](const Rect& r) {
    return Rect{r.minX() + safe.left, r.minY(), std::max(0.0, r.width() - safe.left - safe.right),
                r.height()};
  };
  auto fitInside = [](View& v) {
    const double w = v.bounds().width();
    for (const auto& sub : v.subviews()) {
      const Rect f = sub->frame();
      if (f.maxX() > w)
        sub->setFrame(Rect{f.minX(), f.minY(), std::max(0.0, w - f.minX()), f.height()});
    }
  };
  for (std::size_t s = 0; s < sections_.size(); ++s) {
    const auto section = static_cast<std::int64_t>(s);
    const SectionGeometry& g = sections_[s];
    auto place = [&](std::map<std::int64_t, std::shared_ptr<View>>& views, const Rect& row,
                     bool header) {
      if (row.height() <= 0 || !row.intersects(viewport)) return;
      const Rect rect = safeSpan(row);
      auto it = views.find(section);
      if (it == views.end()) {
        std::shared_ptr<View> v;
        if (delegate)
          v = header ? delegate->viewForHeader(*this, section)
                     : delegate->viewForFooter(*this, section);
        if (!v) {
          auto title = header ? source->titleForHeader(*this, section)
                              : source->titleForFooter(*this, section);
          if (!title) return;
          auto label = std::make_shared<View>();
          auto text = std::make_shared<Label>();
          text->setText(*title);
          text->setFont(Font::system(13));
          text->textColor = Color::secondaryLabel();
          text->debugName = header ? "headerTitle" : "footerTitle";
          label->addSubview(text);
          const double margin = style_ == TableViewStyle::Plain ? 16 : 20;
          const Size ts = text->intrinsicContentSize();
          text->setFrame(Rect{margin, header ? rect.height() - ts.height - 6 : 6,
                              std::max(0.0, rect.width() - 2 * margin), ts.height});
          v = label;
        }
        it = views.emplace(section, v).first;
        addSubview(v);
      }
      it->second->setFrame(rect);
      fitInside(*it->second);
    };
    place(headers_, g.header, true);
    place(footers_, g.footer, false);
    for (std::size_t r = 0; r < g.rows.size(); ++r) {
      const Rect& rect = g.rows[r];
      if (!rect.intersects(viewport)) continue;
      const IndexPath ip{section, static_cast<std::int64_t>(r)};
      if (visible_.count(ip)) continue;
      auto cell = source->cellForRow(*this, ip);
      if (!cell) continue;
      cell->setFrame(rect);
      cell->setSelected(selected_.count(ip) != 0);
      visible_[ip] = cell;
      insertSubview(cell, 0);
      if (delegate) delegate->willDisplayCell(*this, *cell, ip);
    }
  }
}

std::shared_ptr<TableViewCell> TableView::cellForRow(IndexPath indexPath) {
  layoutIfNeeded();
  auto it = visible_.find(indexPath);
  return it == visible_.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<TableViewCell>> TableView::visibleCells() {
  layoutIfNeeded();
  std::vector<std::shared_ptr<TableViewCell>> cells;
  for (auto& [ip, cell] : visible_) cells.push_back(cell);
  return cells;
}

std::vector<IndexPath> TableView::indexPathsForVisibleRows() {
  layoutIfNeeded();
  std::vector<IndexPath> out;
  for (auto& [ip, cell] : visible_) out.push_back(ip);
  return out;
}

std::optional<IndexPath> TableView::indexPathForCell(const TableViewCell& cell) const {
  for (const auto& [ip, c] : visible_) {
    if (c.get() == &cell) return ip;
  }
  return std::nullopt;
}

Rect TableView::rectForRow(IndexPath ip) {
  computeGeometry();
  if (ip.section < 0 || ip.section >= static_cast<std::int64_t>(sections_.size())) return {};
  const auto& rows = sections_[static_cast<std::size_t>(ip.section)].rows;
  if (ip.item < 0 || ip.item >= static_cast<std::int64_t>(rows.size())) return {};
  return rows[static_cast<std::size_t>(ip.item)];
}

Rect TableView::rectForHeader(std::int64_t section) {
  computeGeometry();
  if (section < 0 || section >= static_cast<std::int64_t>(sections_.size())) return {};
  return sections_[static_cast<std::size_t>(section)].header;
}

Rect TableView::rectForFooter(std::int64_t section) {
  computeGeometry();
  if (section < 0 || section >= static_cast<std::int64_t>(sections_.size())) return {};
  return sections_[static_cast<std::size_t>(section)].footer;
}

std::shared_ptr<View> TableView::headerViewForSection(std::int64_t section) {
  layoutIfNeeded();
  auto it = headers_.find(section);
  return it == headers_.end() ? nullptr : it->second;
}

void TableView::scrollToRow(IndexPath indexPath) {
  const Rect r = rectForRow(indexPath);
  Point offset = contentOffset();
  if (r.minY() < offset.y) {
    offset.y = r.minY();
  } else if (r.maxY() > offset.y + bounds().height()) {
    offset.y = r.maxY() - bounds().height();
  }
  const Point max = maxContentOffset();
  offset.y = std::clamp(offset.y, -contentInset.top, max.y);
  setContentOffset(offset);
  layoutIfNeeded();
}

std::vector<Rect> TableView::separatorRects() {
  layoutIfNeeded();
  std::vector<Rect> out;
  if (separatorStyle == SeparatorStyle::None) return out;
  for (auto& [ip, cell] : visible_) {
    const Rect f = cell->frame();
    const Insets in = cell->separatorInset.value_or(separatorInset);
    if (in.left >= f.width()) continue;
    const double length = f.width() - in.left - in.right;
    if (length <= 0) continue;
    out.push_back(Rect{f.x() + in.left, f.maxY() - 0.5, length, 0.5});
  }
  return out;
}

void TableView::selectRow(IndexPath indexPath, bool /*animated*/) {
  if (!allowsMultipleSelection) {
    for (const IndexPath& ip : selected_) {
      if (auto it = visible_.find(ip); it != visible_.end()) it->second->setSelected(false);
    }
    selected_.clear();
  }
  selected_.insert(indexPath);
  if (auto it = visible_.find(indexPath); it != visible_.end()) it->second->setSelected(true);
}

void TableView::deselectRow(IndexPath indexPath, bool /*animated*/) {
  selected_.erase(indexPath);
  if (auto it = visible_.find(indexPath); it != visible_.end()) it->second->setSelected(false);
}

std::optional<IndexPath> TableView::indexPathForSelectedRow() const {
  if (selected_.empty()) return std::nullopt;
  return *selected_.begin();
}

std::vector<IndexPath> TableView::indexPathsForSelectedRows() const {
  return {selected_.begin(), selected_.end()};
}

void TableView::userTapped(TableViewCell& cell) {
  if (!allowsSelection) return;
  auto ip = indexPathForCell(cell);
  if (!ip) return;
  keepAlive(weak_from_this().lock());
  auto delegate = delegate_.lock();
  applyTapToSelection(
      selected_, *ip, allowsMultipleSelection,
      [&](const IndexPath& p) {
        deselectRow(p, false);
        if (delegate) delegate->didDeselectRow(*this, p);
      },
      [&](const IndexPath& p) {
        selectRow(p, false);
        if (delegate) delegate->didSelectRow(*this, p);
      });
}

}  // namespace veltrix::ui
