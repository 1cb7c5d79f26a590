// The add-device sheet: a white card titled "Add device" with the choices
// "Scan" (index 0) and "Device Code" (index 1). It reports the tapped index
// through its selection block and does nothing else; the scan screen's
// add-device chooser places it and acts on the choice.
//
// Threads: the main loop only. Ownership: owned like every view by its
// superview (the chooser's dimming view); the selection block is the
// creator's and must capture the screen weakly.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "veltrix/platform/ui/controls.h"

namespace veltrix::ui::scan {

class ScanOptionView : public View {
 public:
  using SelectionBlock = std::function<void(std::int64_t index)>;

  // The sheet's texts are fixed; `options` is only kept.
  explicit ScanOptionView(std::vector<std::string> options);

  const SelectionBlock& selectionBlock() const { return selectionBlock_; }
  void setSelectionBlock(SelectionBlock block) { selectionBlock_ = std::move(block); }

  // The action of both choice buttons: logs the tag and passes it on.
  void scanTapped(const Button& button);

  const std::shared_ptr<Button>& scanButton() const { return scanButton_; }
  const std::shared_ptr<Button>& deviceCodeButton() const { return deviceCodeButton_; }

  std::string typeName() const override { return "ScanOptionView"; }

 private:
  void setupUI();
  std::shared_ptr<Button> makeChoice(const Rect& frame, std::int64_t tag, const char* image,
                                     const char* title);

  std::vector<std::string> options_;
  SelectionBlock selectionBlock_;
  std::shared_ptr<Button> scanButton_;
  std::shared_ptr<Button> deviceCodeButton_;
};

}  // namespace veltrix::ui::scan
