// LAN settings: the LAN switch (stored), an Authentication switch held only
// while the screen lives, and the passthrough port, edited in an alert and
// never stored (every new screen starts at "8423").
//
// Thread: the main loop. Ownership: the navigation stack owns the screen;
// its table holds it weakly; the gesture, switch and alert actions capture
// it weakly.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "veltrix/platform/ui/view_controller.h"
#include "veltrix/ui/settings/scrolling_page.h"
#include "veltrix/ui/settings/settings_environment.h"

namespace veltrix::ui::settings {

inline constexpr std::string_view kDefaultPassthroughPort = "8423";

// The port the alert's text gives: digits only, any number of them; nullopt
// (the port stays) for an empty text or any other character.
std::optional<std::string> acceptedPort(std::string_view text);

class LANSettingsViewController : public ViewController,
                                  public TableViewDataSource,
                                  public TableViewDelegate {
 public:
  enum CellType : std::int64_t { kLan = 0, kAuthentication = 1 };

  explicit LANSettingsViewController(SettingsEnvironment env = SettingsEnvironment::shared());

  void viewDidLoad() override;
  std::string typeName() const override { return "LANSettingsViewController"; }

  bool isLANEnabled() const { return isLANEnabled_; }
  bool isAuthEnabled() const { return isAuthEnabled_; }
  const std::string& portNumber() const { return portNumber_; }
  const std::shared_ptr<TableView>& contentTableView() const { return contentTableView_; }
  const std::shared_ptr<View>& portContainerView() const { return portContainerView_; }
  const std::shared_ptr<Label>& portTitleLabel() const { return portTitleLabel_; }
  const std::shared_ptr<Label>& portValueLabel() const { return portValueLabel_; }
  const std::shared_ptr<ScrollingPage>& page() const { return page_; }
  const std::shared_ptr<Label>& descriptionLabel() const { return descriptionLabel_; }

  void portContainerTapped();
  void showPortEditAlert();
  void switchValueChanged(Switch& sender);

  // TableViewDataSource, TableViewDelegate.
  std::int64_t numberOfRows(TableView&, std::int64_t) override;
  std::shared_ptr<TableViewCell> cellForRow(TableView& table, IndexPath indexPath) override;
  std::optional<double> heightForRow(TableView&, IndexPath) override;
  void willDisplayCell(TableView& table, TableViewCell& cell, IndexPath indexPath) override;
  void didSelectRow(TableView& table, IndexPath indexPath) override;

 private:
  void setupUI();
  void setupPortRow();
  void setupConstraints();
  void setupActions();
  void savePort(std::string_view text);

  SettingsEnvironment env_;
  std::vector<CellType> cellTypes_;
  bool isLANEnabled_ = false;
  bool isAuthEnabled_ = false;
  std::string portNumber_;

  std::shared_ptr<ScrollingPage> page_;
  std::shared_ptr<View> mainContainerView_;
  std::shared_ptr<TableView> contentTableView_;
  std::shared_ptr<Label> descriptionLabel_;
  std::shared_ptr<View> portContainerView_;
  std::shared_ptr<Label> portTitleLabel_;
  std::shared_ptr<Label> portValueLabel_;
  std::shared_ptr<ImageView> portChevron_;
};

}  // namespace veltrix::ui::settings
