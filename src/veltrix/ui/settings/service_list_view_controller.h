// The service list: the service types of one category, each with its
// remembered service (or "No default target") and how many terminal
// services of the type are known. A tap opens the remember popup for the
// type; when the popup stores or forgets, the row shows it at once.
//
// Thread: the main loop. Ownership: the navigation stack owns the screen;
// the screen owns its rows, and the popup it presents holds it weakly.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "veltrix/platform/ui/view_controller.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/ui/settings/settings_environment.h"

namespace veltrix::ui::settings {

inline constexpr std::string_view kNoDefaultTarget = "No default target";

// One service type of a category, as the services manager hands it on.
struct ServiceItem {
  std::string title;           // the service type
  std::string subtitle1;       // the default target's serviceId, or kNoDefaultTarget
  std::string subtitle2;       // the default target's sn, or ""
  std::string availableCount;  // enabled services of the type, as decimal text

  static ServiceItem itemWithTitle(std::string title, std::string subtitle1, std::string subtitle2,
                                   std::string availableCount);
  friend bool operator==(const ServiceItem&, const ServiceItem&) = default;
};

// "%@ available".
std::string availableText(std::string_view count);

class ServiceTableViewCell : public TableViewCell {
 public:
  ServiceTableViewCell();

  const std::shared_ptr<Label>& titleLabel() const { return titleLabel_; }
  const std::shared_ptr<Label>& subtitle1Label() const { return subtitle1Label_; }
  const std::shared_ptr<Label>& subtitle2Label() const { return subtitle2Label_; }
  const std::shared_ptr<Label>& availableLabel() const { return availableLabel_; }

  // Shows `item`; an empty second subtitle is hidden but keeps its place.
  void fill(const ServiceItem& item);

  std::string typeName() const override { return "ServiceTableViewCell"; }

 private:
  std::shared_ptr<Label> titleLabel_;
  std::shared_ptr<Label> subtitle1Label_;
  std::shared_ptr<Label> subtitle2Label_;
  std::shared_ptr<Label> availableLabel_;
};

class ServiceListViewController : public TableViewController {
 public:
  explicit ServiceListViewController(SettingsEnvironment env = SettingsEnvironment::shared());

  // Set by the creator between construction and the push.
  void setServiceItems(std::vector<ServiceItem> items) { serviceItems_ = std::move(items); }
  // The designated terminal; none or "" lists every terminal's services.
  void setSn(std::optional<std::string> sn) { sn_ = std::move(sn); }
  void setTitleName(std::string titleName) { titleName_ = std::move(titleName); }

  const std::vector<ServiceItem>& serviceItems() const { return serviceItems_; }
  const std::optional<std::string>& sn() const { return sn_; }
  const std::string& titleName() const { return titleName_; }
  // The services offered in the popup for the last tapped row.
  const registry::Rows& terminalserviceList() const { return terminalserviceList_; }

  void viewDidLoad() override;
  void viewDidLayoutSubviews() override;
  std::string typeName() const override { return "ServiceListViewController"; }

  // TableViewDataSource, TableViewDelegate.
  std::int64_t numberOfRows(TableView&, std::int64_t) override;
  std::shared_ptr<TableViewCell> cellForRow(TableView& table, IndexPath indexPath) override;
  std::optional<double> heightForRow(TableView&, IndexPath) override;
  void didSelectRow(TableView& table, IndexPath indexPath) override;

 private:
  // The popup's report for the row it was opened for.
  void popupEnded(std::size_t row, const std::string& flag, const std::string& sn,
                  const registry::Row& option);

  SettingsEnvironment env_;
  std::vector<ServiceItem> serviceItems_;
  std::optional<std::string> sn_;
  std::string titleName_;
  registry::Rows terminalserviceList_;
  bool insetsApplied_ = false;
};

}  // namespace veltrix::ui::settings
