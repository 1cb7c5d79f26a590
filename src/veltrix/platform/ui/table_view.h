// Table views and their cells.
//
// Geometry, top to bottom in the content: the table header view, then per
// section its header, its rows and its footer, then the table footer view.
// Heights come from the delegate, else the table's properties, else the
// style's defaults (plain: 0 for headers and footers, 28 with a title;
// grouped and inset-grouped: 18, 38 with a title; rows 44). Inset-grouped
// rows are inset 20 points on each side; everything else spans the width.
//
// Cells exist only for rows that meet the visible area; `willDisplayCell`
// precedes each. Separators run along a cell's bottom from its separator
// inset's left to the width less its right; none for the style None or an
// inset that leaves no length.
//
// Selection by a user's tap: with single selection the earlier row is
// deselected (didDeselect) and the tapped one selected (didSelect, also when
// it was selected already); with multiple selection a tap toggles the row.
// Selecting and deselecting from code calls nothing.
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

#include "veltrix/platform/ui/controls.h"
#include "veltrix/platform/ui/scroll_view.h"

namespace veltrix::ui {

class TableView;

enum class TableViewStyle : std::int64_t { Plain, Grouped, InsetGrouped };
enum class TableViewCellStyle : std::int64_t { Default, Value1, Value2, Subtitle };
enum class AccessoryType : std::int64_t { None, DisclosureIndicator, DetailButton, Checkmark };
enum class SelectionStyle : std::int64_t { None, Default };
enum class SeparatorStyle : std::int64_t { None, SingleLine };

inline constexpr double kAutomaticDimension = -1;

class TableViewCell : public View {
 public:
  explicit TableViewCell(TableViewCellStyle style = TableViewCellStyle::Default,
                         std::string reuseIdentifier = {});

  TableViewCellStyle style() const { return style_; }
  const std::string& reuseIdentifier() const { return reuseIdentifier_; }
  const std::shared_ptr<View>& contentView() const { return contentView_; }
  // The style's labels and image view, made (and added to the content view)
  // on first use. The default style has no detail label.
  Label* textLabel();
  Label* detailTextLabel();
  ImageView* imageView();

  AccessoryType accessoryType = AccessoryType::None;
  const std::shared_ptr<View>& accessoryView() const { return accessoryView_; }
  void setAccessoryView(std::shared_ptr<View> view);
  SelectionStyle selectionStyle = SelectionStyle::Default;
  // The cell's own separator inset; the table's when unset.
  std::optional<Insets> separatorInset;

  bool isSelected() const { return selected_; }
  virtual void setSelected(bool selected, bool animated = false);
  virtual void prepareForReuse() {}

  void layoutSubviews() override;
  std::string typeName() const override { return "TableViewCell"; }
  std::string describe() const override;

 private:
  friend class TableView;
  TableViewCellStyle style_;
  std::string reuseIdentifier_;
  std::shared_ptr<View> contentView_;
  std::shared_ptr<Label> textLabel_;
  std::shared_ptr<Label> detailLabel_;
  std::shared_ptr<ImageView> imageView_;
  std::shared_ptr<View> accessoryView_;
  bool selected_ = false;
};

class TableViewDataSource {
 public:
  virtual ~TableViewDataSource() = default;
  virtual std::int64_t numberOfSections(TableView&) { return 1; }
  virtual std::int64_t numberOfRows(TableView& table, std::int64_t section) = 0;
  virtual std::shared_ptr<TableViewCell> cellForRow(TableView& table, IndexPath indexPath) = 0;
  virtual std::optional<std::string> titleForHeader(TableView&, std::int64_t) {
    return std::nullopt;
  }
  virtual std::optional<std::string> titleForFooter(TableView&, std::int64_t) {
    return std::nullopt;
  }
};

class TableViewDelegate {
 public:
  virtual ~TableViewDelegate() = default;
  virtual std::optional<double> heightForRow(TableView&, IndexPath) { return std::nullopt; }
  virtual std::optional<double> heightForHeader(TableView&, std::int64_t) { return std::nullopt; }
  virtual std::optional<double> heightForFooter(TableView&, std::int64_t) { return std::nullopt; }
  virtual std::shared_ptr<View> viewForHeader(TableView&, std::int64_t) { return nullptr; }
  virtual std::shared_ptr<View> viewForFooter(TableView&, std::int64_t) { return nullptr; }
  virtual void willDisplayCell(TableView&, TableViewCell&, IndexPath) {}
  virtual void didSelectRow(TableView&, IndexPath) {}
  virtual void didDeselectRow(TableView&, IndexPath) {}
};

class TableView : public ScrollView {
 public:
  explicit TableView(const Rect& frame = {}, TableViewStyle style = TableViewStyle::Plain);

  TableViewStyle style() const { return style_; }
  void setDataSource(std::weak_ptr<TableViewDataSource> dataSource);
  void setDelegate(std::weak_ptr<TableViewDelegate> delegate);

  double rowHeight = 44;  // kAutomaticDimension counts as 44 without a delegate height
  std::optional<double> sectionHeaderHeight;
  std::optional<double> sectionFooterHeight;
  double estimatedRowHeight = 0;  // accepted and ignored
  SeparatorStyle separatorStyle = SeparatorStyle::SingleLine;
  Color separatorColor = Color::separator();
  Insets separatorInset{0, 16, 0, 0};
  bool allowsSelection = true;
  bool allowsMultipleSelection = false;

  const std::shared_ptr<View>& tableHeaderView() const { return headerView_; }
  void setTableHeaderView(std::shared_ptr<View> view);
  const std::shared_ptr<View>& tableFooterView() const { return footerView_; }
  void setTableFooterView(std::shared_ptr<View> view);

  using CellFactory = std::function<std::shared_ptr<TableViewCell>()>;
  void registerCell(const std::string& reuseIdentifier, CellFactory factory);
  // A reused cell, or nullptr when there is none (the platform's form
  // without an index path).
  std::shared_ptr<TableViewCell> dequeueReusableCell(const std::string& reuseIdentifier);
  // A reused cell or a new one from the registered factory (a default-style
  // cell, with a log line, for an identifier never registered).
  std::shared_ptr<TableViewCell> dequeueReusableCell(const std::string& reuseIdentifier,
                                                     IndexPath indexPath);

  void reloadData();
  // Asks the data source again for these rows only (no animation here).
  void reloadRows(const std::vector<IndexPath>& indexPaths);
  std::int64_t numberOfSections();
  std::int64_t numberOfRows(std::int64_t section);

  // The visible cell of the row, or nullptr (laid out first).
  std::shared_ptr<TableViewCell> cellForRow(IndexPath indexPath);
  std::vector<std::shared_ptr<TableViewCell>> visibleCells();
  std::vector<IndexPath> indexPathsForVisibleRows();
  std::optional<IndexPath> indexPathForCell(const TableViewCell& cell) const;
  // Content coordinates.
  Rect rectForRow(IndexPath indexPath);
  Rect rectForHeader(std::int64_t section);
  Rect rectForFooter(std::int64_t section);
  // The header and footer views shown now, by section.
  std::shared_ptr<View> headerViewForSection(std::int64_t section);
  // Scrolls so the row is entirely visible, if it is not.
  void scrollToRow(IndexPath indexPath);
  // Separator lines of the visible cells, in table content coordinates.
  std::vector<Rect> separatorRects();

  // From code: no delegate calls.
  void selectRow(IndexPath indexPath, bool animated);
  void deselectRow(IndexPath indexPath, bool animated);
  std::optional<IndexPath> indexPathForSelectedRow() const;
  std::vector<IndexPath> indexPathsForSelectedRows() const;

  // A user's tap on `cell` (the window's dispatch).
  void userTapped(TableViewCell& cell);

  void layoutSubviews() override;
  std::string typeName() const override { return "TableView"; }

 protected:
  void boundsSizeChanged() override { geometryValid_ = false; }

 private:
  struct SectionGeometry {
    Rect header;
    Rect footer;
    std::vector<Rect> rows;
  };
  void computeGeometry();
  void recycle(const std::shared_ptr<TableViewCell>& cell);
  double defaultHeaderHeight(bool hasTitle) const;

  TableViewStyle style_;
  std::weak_ptr<TableViewDataSource> dataSource_;
  std::weak_ptr<TableViewDelegate> delegate_;
  std::shared_ptr<View> headerView_;
  std::shared_ptr<View> footerView_;
  std::map<std::string, CellFactory> factories_;
  std::map<std::string, std::vector<std::shared_ptr<TableViewCell>>> pool_;
  std::map<IndexPath, std::shared_ptr<TableViewCell>> visible_;
  std::map<std::int64_t, std::shared_ptr<View>> headers_;
  std::map<std::int64_t, std::shared_ptr<View>> footers_;
  std::set<IndexPath> selected_;
  std::vector<SectionGeometry> sections_;
  bool geometryValid_ = false;
};

}  // namespace veltrix::ui
