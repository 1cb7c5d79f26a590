// The "Remember option" sheet of the scan screen: a white card, 320 x 220,
// titled "Remember option", with one row per remember choice ("Choose
// service every time", "Remember this service", "Remember this terminal",
// tags 0 to 2) between thin separator lines. It reports the tapped row's
// tag through its selection block and does nothing else; the scan screen
// places it on its dimming view and acts on the choice.
//
// Threads: the main loop only. Ownership: owned like every view by its
// superview (the screen's dimming view); the selection block is the
// creator's and must capture the screen weakly.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "veltrix/platform/ui/controls.h"

namespace veltrix::ui::scan {

class RememberOptionView : public View {
 public:
  static constexpr Size kSize{320, 220};
  using SelectionBlock = std::function<void(std::int64_t index)>;

  // One row per option, in order (the first three are shown).
  explicit RememberOptionView(std::vector<std::string> options);

  const SelectionBlock& selectionBlock() const { return selectionBlock_; }
  void setSelectionBlock(SelectionBlock block) { selectionBlock_ = std::move(block); }

  // The action of every row: logs the tag and passes it on.
  void scanTapped(const Button& button);

  const std::vector<std::shared_ptr<Button>>& buttons() const { return buttons_; }
  const std::shared_ptr<Label>& titleLabel() const { return titleLabel_; }
  const std::vector<std::shared_ptr<ImageView>>& separators() const { return separators_; }

  std::string typeName() const override { return "RememberOptionView"; }

 private:
  void setupUI();

  std::vector<std::string> options_;
  SelectionBlock selectionBlock_;
  std::shared_ptr<Label> titleLabel_;
  std::vector<std::shared_ptr<Button>> buttons_;
  std::vector<std::shared_ptr<ImageView>> separators_;
};

}  // namespace veltrix::ui::scan
