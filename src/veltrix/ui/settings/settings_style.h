// What the settings screens share of their look, and small helpers that keep
// the platform's noise out of their set-up code.
//
// Thread: the main loop.
#pragma once

#include <initializer_list>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "veltrix/platform/ui/controls.h"
#include "veltrix/platform/ui/device.h"
#include "veltrix/platform/ui/image.h"
#include "veltrix/platform/ui/style.h"
#include "veltrix/platform/ui/table_view.h"

namespace veltrix::ui::settings {

// The toast of a store that failed; the screen then shows what is stored,
// as it was before.
inline constexpr std::string_view kSaveFailed = "Save failed!";

// The screens' backdrop: red 243, green 246, blue 249.
inline Color backdropColor() { return Color::rgb255(243, 246, 249); }

// A label for Auto Layout (no autoresizing mask).
inline std::shared_ptr<Label> makeLabel(std::string text, Font font, Color color = Color::label()) {
  auto label = std::make_shared<Label>();
  label->setTranslatesAutoresizingMaskIntoConstraints(false);
  label->setText(std::move(text));
  label->setFont(font);
  label->textColor = color;
  return label;
}

// A plain view for Auto Layout.
template <typename T = View>
std::shared_ptr<T> makeLaidOut() {
  auto view = std::make_shared<T>();
  view->setTranslatesAutoresizingMaskIntoConstraints(false);
  return view;
}

// A white card with rounded, clipping corners.
inline std::shared_ptr<View> makeCard(double cornerRadius) {
  auto card = makeLaidOut();
  card->setBackgroundColor(Color::white());
  card->cornerRadius = cornerRadius;
  card->clipsToBounds = true;
  return card;
}

// A grey chevron for Auto Layout: the mark of a row that leads on.
inline std::shared_ptr<ImageView> makeChevron() {
  auto chevron = makeLaidOut<ImageView>();
  chevron->setImage(Image::systemNamed("chevron.right"));
  chevron->setTintColor(Color::systemGray());
  return chevron;
}

// A clear list table for Auto Layout, that does not bounce, with grey lines
// inset by `margin` on both sides; its `cellId` cells are plain ones.
inline std::shared_ptr<TableView> makeListTable(const char* cellId, double margin) {
  auto table = makeLaidOut<TableView>();
  table->setBackgroundColor(Color::clear());
  table->separatorStyle = SeparatorStyle::SingleLine;
  table->separatorColor = Color::systemGray3();
  table->separatorInset = {0, margin, 0, margin};
  table->bounces = false;
  table->registerCell(cellId, [cellId] {
    return std::make_shared<TableViewCell>(TableViewCellStyle::Default, cellId);
  });
  return table;
}

// Makes `screen` the data source and the delegate of `table`; the table
// holds it weakly.
template <typename Screen>
void serveTable(TableView& table, const std::shared_ptr<Screen>& screen) {
  table.setDataSource(std::weak_ptr<TableViewDataSource>(screen));
  table.setDelegate(std::weak_ptr<TableViewDelegate>(screen));
}

// A `cellId` cell for `indexPath` that selects nothing, on `background`,
// without the views of its last row: the screens rebuild a row's views on
// every display.
inline std::shared_ptr<TableViewCell> emptiedCell(TableView& table, const char* cellId,
                                                  IndexPath indexPath, Color background) {
  auto cell = table.dequeueReusableCell(cellId, indexPath);
  for (const auto& sub : std::vector(cell->contentView()->subviews())) sub->removeFromSuperview();
  cell->setBackgroundColor(background);
  cell->selectionStyle = SelectionStyle::None;
  return cell;
}

// The separator inset of a row: no line under the last row of a card, else
// `margin` on both sides. The last row's inset is wider than any row, not
// the row's width when it is shown: a turn widens the row afterwards, and
// the line would come back.
inline Insets rowSeparatorInset(bool last, double margin) {
  return last ? Insets{0, std::numeric_limits<double>::infinity(), 0, 0}
              : Insets{0, margin, 0, margin};
}

// A row's title and the value beside it (a label, a switch) share the row
// without overlapping: the title starts `margin` in and ends a gap before
// the value, over at most two lines and, where they would not fit, in a
// smaller size (down to 0.6, and never narrower than two lines need at that
// size). A value label keeps its whole text up to
// 0.6 of the row's width; a longer one loses its middle, so both ends of a
// port number or a serial number stay in view. The screen places the value's
// trailing edge.
std::vector<ConstraintPtr> shareRow(View& row, Label& title, View& value, double margin);

// A `height` tall card at the top of `page`, `margin` in from its top and
// sides, with `table` filling the card.
std::vector<ConstraintPtr> tableCardAtTop(View& page, View& card, View& table, double margin,
                                          double height);

// A chevron `side` square at a row's trailing edge, `margin` in and centred,
// with the value ending `gap` before it.
std::vector<ConstraintPtr> chevronAfter(View& row, View& value, View& chevron, double margin,
                                        double gap, double side);

// Activates groups of constraints (what the helpers above return beside a
// screen's own) at once, in their order.
void activateAll(std::initializer_list<std::vector<ConstraintPtr>> groups);

// The main screen's size less its unsafe sides (a phone on its side keeps
// 47 points each side for its sensor housing); the top and bottom stay, as
// the designed heights already leave room there. What the screens size from
// the screen (fixed row frames, cards, dialogs) measures this, so nothing
// stands in the sensor housing or past a row that keeps clear of it.
inline Size safeScreenSize() {
  const Insets safe = currentDevice().safeArea();
  const Size size = mainScreen().bounds.size;
  return {size.width - safe.left - safe.right, size.height};
}

// Rows with fixed frames measure them from the main screen's safe width at
// the time they are built, not from their own width.
inline double screenWidth() { return safeScreenSize().width; }

// A label in a fixed `frame`, added to `parent`.
inline std::shared_ptr<Label> addLabel(View& parent, const Rect& frame, std::string text, Font font,
                                       Color color, TextAlignment alignment = TextAlignment::Left) {
  auto label = std::make_shared<Label>(frame);
  label->setText(std::move(text));
  label->setFont(font);
  label->textColor = color;
  label->textAlignment = alignment;
  parent.addSubview(label);
  return label;
}

// A one-line label whose text is drawn smaller (down to 0.6) rather than cut
// where its fixed frame is too short for it (the small phone).
inline Label& shrinkToFit(Label& label) {
  constexpr double kSmallestScale = 0.6;
  label.adjustsFontSizeToFitWidth = true;
  label.minimumScaleFactor = kSmallestScale;
  return label;
}

// A white detail row. Rows alone in their section round their own corners;
// rows sharing one are rounded by the section (corners of their own would
// notch the card).
inline void styleRow(TableViewCell& cell, bool roundCorners = true) {
  constexpr double kRowCornerRadius = 10;
  cell.setBackgroundColor(Color::white());
  if (roundCorners) cell.cornerRadius = kRowCornerRadius;
}

}  // namespace veltrix::ui::settings
