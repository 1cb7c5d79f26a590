// One row of the scan screen's list: a white rounded card with the model's
// icon, three lines (model, full serial number, service name) and a detail
// button (an ellipsis in a circle) at the right. A tap on the card is the
// list's; a tap on the button runs the block the list installs.
//
// Threads: the main loop only. Ownership: the collection view makes, reuses
// and owns its cells; a cell keeps the last item and block it was given
// until the list configures it again. The block is the list's and must
// capture the screen weakly.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "veltrix/platform/ui/collection_view.h"
#include "veltrix/platform/ui/controls.h"
#include "veltrix/ui/scan/scan_logic.h"

namespace veltrix::ui::scan {

// One row of the list presentation: the terminal's model as title, its
// serial number, the library image shown (its enabled or disabled icon) and
// the service's dictionary, returned when the row is chosen.
struct TerminalItem {
  std::string name, sn, iconName;
  ServiceInfoDict info;

  static TerminalItem itemWithName(std::string name, std::string sn, std::string iconName,
                                   ServiceInfoDict info) {
    return {std::move(name), std::move(sn), std::move(iconName), std::move(info)};
  }
};

class TerminalCollectionViewCell : public CollectionViewCell {
 public:
  static constexpr const char* kReuseIdentifier = "TerminalCell";
  static constexpr double kHeight = 90;

  using MoreButtonClickBlock = std::function<void(TerminalCollectionViewCell& cell)>;

  TerminalCollectionViewCell();
  explicit TerminalCollectionViewCell(const Rect& frame);

  // The fonts a row's lines are drawn in.
  static std::vector<Font> fonts();

  // Shows `item` exactly as it is now: its texts and its icon (none when the
  // image does not exist).
  void configureWithItem(const TerminalItem& item);
  // The detail button's action: the block, with this cell, when one is set.
  void moreButtonClicked();

  const TerminalItem& item() const { return item_; }
  MoreButtonClickBlock moreButtonClickBlock;

  const std::shared_ptr<ImageView>& iconImageView() const { return iconImageView_; }
  const std::shared_ptr<Label>& nameLabel() const { return nameLabel_; }
  const std::shared_ptr<Label>& snLabel() const { return snLabel_; }
  const std::shared_ptr<Label>& serviceNameLabel() const { return serviceNameLabel_; }
  const std::shared_ptr<Button>& moreButton() const { return moreButton_; }

  std::string typeName() const override { return "TerminalCollectionViewCell"; }

 private:
  void setupSubviews();

  TerminalItem item_;
  std::shared_ptr<ImageView> iconImageView_;
  std::shared_ptr<Label> nameLabel_;
  std::shared_ptr<Label> snLabel_;
  std::shared_ptr<Label> serviceNameLabel_;
  std::shared_ptr<Button> moreButton_;
};

}  // namespace veltrix::ui::scan
