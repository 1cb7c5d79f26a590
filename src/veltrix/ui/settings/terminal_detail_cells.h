// The rows of the terminal detail sheet: the terminal header (model icon,
// model, serial number, link type), the authentication status with its
// "Verify" button, a fixed device-status panel and one row per terminal
// service with its enable check button. Each is built once from the row it
// is given, with fixed frames measured from the main screen's width W at
// that moment (not from the cell's own width).
//
// Thread: the main loop. Ownership: the table owns its cells; a cell keeps
// a copy of its row; selection blocks are the sheet's (they hold it weakly).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "veltrix/platform/ui/table_view.h"
#include "veltrix/registry/database_manager.h"

namespace veltrix::ui::settings {

// The link type shown for a terminal's "parameter" (case-sensitive, first
// match wins): "http" and "ble" give "LAN,BLE", "http" alone "LAN", "ble"
// alone "BLE", anything else (or none) "unknown".
std::string linkText(const std::optional<std::string>& parameter);

// The icon pair "icon_<lower-cased model>_enabled" / "_disabled", else that
// of the model's words joined by underscores ("TMIX Z3": "icon_tmix_z3_..."),
// else the T420's pair; a pair counts where both its pictures exist. The
// scan screen's icons (scan::iconNames).
struct TerminalIconNames {
  std::string enabled;
  std::string disabled;
};
TerminalIconNames terminalIconNames(const std::optional<std::string>& model);

// The rows' blue: link and button texts.
Color detailLinkColor();
// The pale blue behind the link and count labels.
Color detailBadgeColor();

// Model icon (enabled picture only while "status" is 1), model, serial
// number and link type.
class RemoteTerminalCell : public TableViewCell {
 public:
  explicit RemoteTerminalCell(registry::Row terminalInfo);
  const std::shared_ptr<ImageView>& terminalImageView() const { return terminalImageView_; }
  const std::shared_ptr<Label>& linkLabel() const { return linkLabel_; }
  std::string typeName() const override { return "RemoteTerminalCell"; }

 private:
  void setupUI();
  registry::Row terminalInfo_;
  std::shared_ptr<ImageView> terminalImageView_;
  std::shared_ptr<Label> linkLabel_;
};

// A fixed "Auth type: NONE" with a "Verify" button that reports the
// terminal's serial number to `selectionBlock` (nothing without one).
class AuthStatusCell : public TableViewCell {
 public:
  explicit AuthStatusCell(registry::Row terminalInfo);
  const std::shared_ptr<ImageView>& authImage() const { return authImage_; }
  const std::shared_ptr<Label>& statusLabel() const { return statusLabel_; }
  const std::shared_ptr<Button>& verifyButton() const { return verifyButton_; }
  std::function<void(const std::string& sn)> selectionBlock;
  void verifyTerminal(Button& sender);
  std::string typeName() const override { return "AuthStatusCell"; }

 private:
  void setupUI();
  registry::Row terminalInfo_;
  std::shared_ptr<ImageView> authImage_;
  std::shared_ptr<Label> statusLabel_;
  std::shared_ptr<Button> verifyButton_;
};

// Fixed texts: battery, storage and Wi-Fi placeholders; reads nothing.
class DeviceStatusCell : public TableViewCell {
 public:
  explicit DeviceStatusCell(registry::Row terminalInfo);
  const std::shared_ptr<Button>& updateButton() const { return updateButton_; }
  std::string typeName() const override { return "DeviceStatusCell"; }

 private:
  void setupUI();
  registry::Row terminalInfo_;
  std::shared_ptr<Button> updateButton_;
};

// One terminal service: type, name and the check button, selected while
// "isEnabled" is 1; a tap flips it and reports (tsId, new state). A line
// under it unless the row's "isLastLine" is set.
class DeviceCapabilityCell : public TableViewCell {
 public:
  explicit DeviceCapabilityCell(registry::Row serviceInfo);
  const std::shared_ptr<Button>& updateBtn() const { return updateBtn_; }
  // The separator line, or nullptr on the last row.
  const std::shared_ptr<ImageView>& lineView() const { return lineView_; }
  std::int64_t tsId() const;
  std::function<void(std::int64_t tsId, bool selected)> selectionBlock;
  void buttonTapped(Button& sender);
  // A touch inside the check button goes to the button, never to the row.
  View* hitTest(Point p) override;
  std::string typeName() const override { return "DeviceCapabilityCell"; }

 private:
  void setupUI();
  registry::Row serviceInfo_;
  std::shared_ptr<Button> updateBtn_;
  std::shared_ptr<ImageView> lineView_;
};

}  // namespace veltrix::ui::settings
