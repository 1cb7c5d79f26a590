// Makers of the screens that the scan screen pushes or presents but that
// are built elsewhere: the settings hub and the terminal detail sheet; and
// a stand-in for the scan screen's own remember-option sheet. A maker
// registered here takes the place of the library's own screen (tests put
// fakes here).
//
// Thread: the main loop (register before the first scan screen opens). The
// registry is process-wide and owns the makers; each call makes a new
// controller that the caller owns.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "veltrix/platform/ui/view_controller.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/ui/scan/scan_logic.h"

namespace veltrix::ui::scan {

// What the terminal detail sheet opens with: the tapped service (its "sn"
// names the terminal), that terminal's discovered-terminal row and its
// service rows as they were at the tap, and the database the sheet stores
// into (the one the opening screen reads; null: the shared one). Made by
// terminalDetailInput.
struct TerminalDetailInput {
  ServiceInfoDict service;
  registry::Row terminalInfo;
  registry::Rows serviceArray;
  registry::DatabaseManager* database = nullptr;
};

// The input for a tap on `service`, read from `database`, which must
// outlive the sheet.
TerminalDetailInput terminalDetailInput(const ServiceInfoDict& service,
                                        registry::DatabaseManager& database);

// Hands a chosen remember option (0 to 2) back to the scan screen.
using RememberChoice = std::function<void(int option)>;

struct ScreenMakers {
  // The settings hub, pushed by the gear item.
  std::function<std::shared_ptr<ViewController>()> settingsHub;
  // The terminal detail sheet, pushed by a tap on a terminal's bubble or a
  // list row's detail button.
  std::function<std::shared_ptr<ViewController>(const TerminalDetailInput&)> terminalDetail;
  // Presented by the remember button in place of the screen's own
  // remember-option sheet when set (tests); `choose` takes the option.
  std::function<std::shared_ptr<ViewController>(const std::vector<std::string>& options,
                                                RememberChoice choose)>
      rememberOptions;
};

// The makers now registered (empty ones stand for "not yet built").
ScreenMakers& screenMakers();

// Each returns the registered screen, else the library's own.
std::shared_ptr<ViewController> makeSettingsHub();
std::shared_ptr<ViewController> makeTerminalDetail(const TerminalDetailInput& input);

// A plain screen with a title and one centred line of text (the gallery's
// sample of a bare screen; the library opens none).
class PlaceholderViewController : public ViewController {
 public:
  PlaceholderViewController(std::string title, std::string text);
  void viewDidLoad() override;
  const std::string& text() const { return text_; }
  std::string typeName() const override { return "PlaceholderViewController"; }

 private:
  std::string text_;
};

}  // namespace veltrix::ui::scan
