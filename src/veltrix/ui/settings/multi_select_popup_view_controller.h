// The "Remember Option" popup: a card over a dimmed screen listing the
// terminal services of one service type, one radio row each. Save stores
// the chosen row as the type's remembered service (replacing the type's
// rows), Forget It deletes the type's remembered services of every
// terminal, Cancel leaves. The service list and the device settings screen
// present it for the row the user tapped.
//
// One row at most is chosen: a tap on the row or on its radio button
// chooses it, a second tap keeps it. The remembered service preselects its
// row at load, whether that row is in view or not. A store that fails shows
// "Save failed!" and keeps the popup, its completion untold.
//
// Thread: the main loop. Ownership: the presenter owns the popup while it
// is shown; the popup owns its completion and is its table's data source
// and delegate (held weakly); cells call back into it weakly.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "veltrix/platform/ui/view_controller.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/ui/settings/settings_environment.h"

namespace veltrix::ui::settings {

inline constexpr std::string_view kRememberStored = "1";
inline constexpr std::string_view kRememberForgotten = "2";
inline constexpr std::string_view kSelectServiceFirst = "Please select one service first!";

// One option of the popup: its radio button, its serial number and its
// service identifier.
class RememberViewCell : public TableViewCell {
 public:
  explicit RememberViewCell(registry::Row optionInfo);

  const registry::Row& optionInfo() const { return optionInfo_; }
  const std::shared_ptr<Button>& selectBtn() const { return selectBtn_; }
  const std::shared_ptr<Label>& snLabel() const { return snLabel_; }
  const std::shared_ptr<Label>& serviceNameLabel() const { return serviceNameLabel_; }

  // Told when the user taps the radio button.
  std::function<void(RememberViewCell&)> onRadioTapped;
  // Sets the radio, cross-dissolving it over 0.3 s when animated.
  void setRadio(bool on, bool animated);

  void layoutSubviews() override;
  std::string typeName() const override { return "RememberViewCell"; }

 private:
  void buttonTapped();

  registry::Row optionInfo_;
  std::shared_ptr<Button> selectBtn_;
  std::shared_ptr<Label> snLabel_;
  std::shared_ptr<Label> serviceNameLabel_;
};

class MultiSelectPopupViewController : public ViewController,
                                       public TableViewDataSource,
                                       public TableViewDelegate {
 public:
  // `flag` is kRememberStored after Save, kRememberForgotten after Forget
  // It; `sn` the chosen option's "sn" ("" without one); `option` the chosen
  // option's record. Not called on Cancel, nor on Save in flexible mode.
  using Completion = std::function<void(const std::string& flag, const std::string& sn,
                                        const registry::Row& option)>;

  // `options`: terminal-service rows of one type; `selectedIndices`: the
  // type's remembered service (empty when none); `sn`: a designated
  // terminal, or none. Presented over the current context.
  MultiSelectPopupViewController(registry::Rows options, registry::Row selectedIndices,
                                 std::optional<std::string> sn, Completion completion,
                                 SettingsEnvironment env = SettingsEnvironment::shared());

  void viewDidLoad() override;
  std::string typeName() const override { return "MultiSelectPopupViewController"; }

  // The card's size on a screen of that size and idiom.
  static Size cardSize(Size screen, bool pad);

  const registry::Rows& options() const { return options_; }
  bool flexFlag() const { return flexFlag_; }
  // The chosen row, -1 while none is.
  std::int64_t selectIndex() const { return selectIndex_; }
  const std::shared_ptr<View>& cardView() const { return card_; }
  const std::shared_ptr<TableView>& tableView() const { return tableView_; }
  const std::shared_ptr<Button>& saveButton() const { return saveButton_; }
  const std::shared_ptr<Button>& forgetButton() const { return forgetButton_; }
  const std::shared_ptr<Button>& cancelButton() const { return cancelButton_; }

  void confirmSelection();
  void forgetService();
  void cancelSelection();
  // Makes `row` the chosen one, as a tap on it does.
  void chooseRow(std::int64_t row, bool animated);

  // TableViewDataSource, TableViewDelegate.
  std::int64_t numberOfRows(TableView&, std::int64_t) override;
  std::shared_ptr<TableViewCell> cellForRow(TableView& table, IndexPath indexPath) override;
  std::optional<double> heightForRow(TableView&, IndexPath) override;
  void didSelectRow(TableView& table, IndexPath indexPath) override;

 private:
  void setupCard();
  void setupButtons();
  bool hasChoice() const;
  // Calls the completion once and leaves.
  void finish(std::string_view flag);

  registry::Rows options_;
  registry::Row selectedIndices_;
  std::optional<std::string> sn_;
  Completion completion_;
  SettingsEnvironment env_;
  bool flexFlag_ = false;
  std::int64_t selectIndex_ = -1;
  bool finished_ = false;

  std::shared_ptr<View> card_;
  std::shared_ptr<Label> titleLabel_;
  std::shared_ptr<TableView> tableView_;
  std::shared_ptr<Button> cancelButton_;
  std::shared_ptr<Button> forgetButton_;
  std::shared_ptr<Button> saveButton_;
};

}  // namespace veltrix::ui::settings
