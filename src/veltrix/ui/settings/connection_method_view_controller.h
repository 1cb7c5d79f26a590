// The connection methods: LAN and Bluetooth with their stored state ("ON",
// "OFF"), read afresh each time the list appears; the LAN row opens the LAN
// settings, the Bluetooth row opens nothing. Also ConnectionMethodCell, the
// fixed "Connection Method" row of the device settings screen.
//
// Thread: the main loop. Ownership: the navigation stack owns the screen;
// its table holds it weakly; each LAN tap pushes a new LAN screen.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "veltrix/platform/ui/view_controller.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/ui/settings/scrolling_page.h"
#include "veltrix/ui/settings/settings_environment.h"

namespace veltrix::ui::settings {

// The method of row `row`: LAN for row 0, Bluetooth otherwise.
std::int64_t communicateTypeForRow(std::int64_t row);
// "ON" or "OFF".
std::string statusText(bool on);

class ConnectionMethodViewController : public ViewController,
                                       public TableViewDataSource,
                                       public TableViewDelegate {
 public:
  explicit ConnectionMethodViewController(SettingsEnvironment env = SettingsEnvironment::shared());

  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  std::string typeName() const override { return "ConnectionMethodViewController"; }

  const std::shared_ptr<View>& mainContainerView() const { return mainContainerView_; }
  const std::shared_ptr<TableView>& contentTableView() const { return contentTableView_; }
  const std::vector<std::string>& connectionMethods() const { return connectionMethods_; }

  // TableViewDataSource, TableViewDelegate.
  std::int64_t numberOfRows(TableView&, std::int64_t) override;
  std::shared_ptr<TableViewCell> cellForRow(TableView& table, IndexPath indexPath) override;
  std::optional<double> heightForRow(TableView&, IndexPath) override;
  void willDisplayCell(TableView& table, TableViewCell& cell, IndexPath indexPath) override;
  void didSelectRow(TableView& table, IndexPath indexPath) override;

 private:
  void setupUI();
  void setupConstraints();

  SettingsEnvironment env_;
  std::shared_ptr<ScrollingPage> page_;
  std::shared_ptr<View> mainContainerView_;
  std::shared_ptr<Label> titleLabel_;
  std::shared_ptr<TableView> contentTableView_;
  std::vector<std::string> connectionMethods_;
  std::vector<std::string> statusValues_;
};

// A fixed row "Connection Method ... LAN" laid out for the main screen's
// width; it keeps the terminal it was made for and does not read it.
class ConnectionMethodCell : public TableViewCell {
 public:
  explicit ConnectionMethodCell(registry::Row terminalInfo);
  std::string typeName() const override { return "ConnectionMethodCell"; }

 private:
  void setupUI();
  registry::Row terminalInfo_;
};

}  // namespace veltrix::ui::settings
