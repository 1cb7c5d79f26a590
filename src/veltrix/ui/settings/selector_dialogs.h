// The services manager's two single-choice dialogs: the remember mode and
// the designated terminal. Each shows its choices with a radio symbol and a
// Cancel | Save bar; a row tap only moves the mark, Save reports the marked
// choice once (before the dismissal starts) and closes, Cancel closes
// without a report. Neither reads or writes anything stored.
//
// Thread: the main loop. Ownership: the presenter owns a dialog while it is
// shown; a dialog owns its completion and is its table's data source and
// delegate (held weakly by the table).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "veltrix/platform/ui/view_controller.h"

namespace veltrix::ui::settings {

inline constexpr std::string_view kFlexibleSelection = "Flexible selection";
inline constexpr std::string_view kUseDesignatedTerminal = "Use Designated terminal";

class RememberModeSelectorViewController : public ViewController,
                                           public TableViewDataSource,
                                           public TableViewDelegate {
 public:
  using Completion = std::function<void(const std::string& mode)>;

  // Over the current context with a cross-dissolve, unless the presenter
  // changes that.
  RememberModeSelectorViewController(std::string selectedMode, Completion completion);

  void viewDidLoad() override;
  std::string typeName() const override { return "RememberModeSelectorViewController"; }

  // The card's size on a screen of `width` points.
  static Size cardSize(double screenWidth);

  const std::vector<std::string>& modeOptions() const { return modeOptions_; }
  const std::string& selectedMode() const { return selectedMode_; }
  const std::shared_ptr<TableView>& modeTableView() const { return modeTableView_; }
  const std::shared_ptr<View>& cardView() const { return card_; }
  const std::shared_ptr<Button>& cancelButton() const { return cancelButton_; }
  const std::shared_ptr<Button>& saveButton() const { return saveButton_; }

  void saveAction();
  void cancelAction();

  // TableViewDataSource, TableViewDelegate.
  std::int64_t numberOfRows(TableView&, std::int64_t) override;
  std::shared_ptr<TableViewCell> cellForRow(TableView& table, IndexPath indexPath) override;
  std::optional<double> heightForRow(TableView&, IndexPath) override;
  void didSelectRow(TableView& table, IndexPath indexPath) override;

 private:
  void setupTitleLabelInView(View& card);
  void setupTableViewInView(View& card);
  void setupBottomButtonsInView(View& card);
  void setupConstraintsWithContentView(View& card);

  std::vector<std::string> modeOptions_;
  std::string selectedMode_;
  Completion completionBlock_;
  std::shared_ptr<View> card_;
  std::shared_ptr<Label> titleLabel_;
  std::shared_ptr<TableView> modeTableView_;
  std::shared_ptr<View> bottomButtonContainer_;
  std::shared_ptr<Button> cancelButton_;
  std::shared_ptr<Button> saveButton_;
};

class DeviceSelectorViewController : public ViewController,
                                     public TableViewDataSource,
                                     public TableViewDelegate {
 public:
  // The marked serial number; none when nothing was marked.
  using Completion = std::function<void(const std::optional<std::string>& sn)>;

  // A form sheet with the cover-vertical transition.
  DeviceSelectorViewController(std::vector<std::string> devices,
                               std::optional<std::string> selectedDeviceId, Completion completion);

  void viewDidLoad() override;
  std::string typeName() const override { return "DeviceSelectorViewController"; }

  // The preferred sheet size on a screen of that size.
  static Size preferredSize(Size screen);

  const std::vector<std::string>& devices() const { return devices_; }
  const std::optional<std::string>& selectedDeviceId() const { return selectedDeviceId_; }
  const std::shared_ptr<TableView>& deviceTableView() const { return deviceTableView_; }
  const std::shared_ptr<Button>& cancelButton() const { return cancelButton_; }
  const std::shared_ptr<Button>& saveButton() const { return saveButton_; }

  void saveAction();
  void cancelAction();

  // TableViewDataSource, TableViewDelegate.
  std::int64_t numberOfRows(TableView&, std::int64_t) override;
  std::shared_ptr<TableViewCell> cellForRow(TableView& table, IndexPath indexPath) override;
  std::optional<double> heightForRow(TableView&, IndexPath) override;
  void didSelectRow(TableView& table, IndexPath indexPath) override;

 private:
  void setupTitleLabel();
  void setupTableView();
  void setupBottomButtons();
  void setupConstraints();

  std::vector<std::string> devices_;
  std::optional<std::string> selectedDeviceId_;
  Completion completionBlock_;
  std::shared_ptr<Label> titleLabel_;
  std::shared_ptr<TableView> deviceTableView_;
  std::shared_ptr<View> bottomButtonContainer_;
  std::shared_ptr<Button> cancelButton_;
  std::shared_ptr<Button> saveButton_;
};

}  // namespace veltrix::ui::settings
