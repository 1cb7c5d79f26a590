#include "cli/demo_scan.h"

#include <fmt/format.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_host.h"
#include "sim/discovery_simulator.h"
#include "sim/http_simulator.h"
#include "veltrix/facade/retailer_setting_manager.h"
#include "veltrix/model/financial_params.h"
#include "veltrix/model/financial_results.h"
#include "veltrix/platform/clock.h"
#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/net_interfaces.h"
#include "veltrix/platform/ui/controls.h"
#include "veltrix/platform/ui/device.h"
#include "veltrix/platform/ui/driver.h"
#include "veltrix/platform/ui/render/renderer.h"
#include "veltrix/platform/ui/view_controller.h"
#include "veltrix/platform/ui/window.h"
#include "veltrix/registry/broadcast_receiver.h"
#include "veltrix/registry/broadcast_sender.h"
#include "veltrix/registry/communication_settings.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/registry/discover_manager.h"
#include "veltrix/registry/file_logger.h"
#include "veltrix/transport/ble_discovery.h"
#include "veltrix/transport/tcp_socket_client.h"
#include "veltrix/transport/tcp_socket_server.h"
#include "veltrix/ui/scan/scan_view_controller.h"

namespace veltrix::cli {
namespace {

using namespace std::chrono_literals;

constexpr const char* kLoopback = "127.0.0.1";
constexpr const char* kTerminalSn = "TAVIO-SIM-0003";

// The till's own network: one "Wi-Fi" interface on loopback, so discovery
// neither reads nor sends to the machine's real network.
class LoopbackNetwork final : public platform::NetworkEnvironment {
 public:
  std::optional<std::vector<platform::InterfaceAddress>> interfaceAddresses() const override {
    platform::InterfaceAddress entry;
    entry.name = "en0";
    entry.up = true;
    entry.ipv4 = kLoopback;
    entry.ipv4Netmask = "255.255.255.0";
    return std::vector{entry};
  }
};

class ScopedLoopbackNetwork {
 public:
  ScopedLoopbackNetwork() {
    platform::setNetworkEnvironment(std::make_shared<LoopbackNetwork>());
    platform::setWifiInterfaceName(std::nullopt);
  }
  ~ScopedLoopbackNetwork() { platform::setNetworkEnvironment(nullptr); }
  ScopedLoopbackNetwork(const ScopedLoopbackNetwork&) = delete;
  ScopedLoopbackNetwork& operator=(const ScopedLoopbackNetwork&) = delete;
};

// The till's home screen, which the scan screen is pushed over: the amount
// and how the payment stands.
class TillViewController final : public ui::ViewController {
 public:
  explicit TillViewController(std::string amount) : amount_(std::move(amount)) {
    setTitle("Till 2");
  }

  void viewDidLoad() override {
    view().setBackgroundColor(ui::Color::secondarySystemBackground());
    const ui::DeviceProfile& device = ui::currentDevice();
    const double top = device.safeArea().top + device.navigationBarHeight + 40;
    const double width = view().bounds().width() - 40;
    add(ui::Rect{20, top, width, 24}, "Card payment", ui::Font::system(17),
        ui::Color::systemGray());
    add(ui::Rect{20, top + 30, width, 56}, amount_, ui::Font::system(44, ui::FontWeight::Bold),
        ui::Color::label());
    status_ = add(ui::Rect{20, top + 110, width, 30}, "Choose a terminal…",
                  ui::Font::system(20, ui::FontWeight::Semibold), ui::Color::label());
    detail_ =
        add(ui::Rect{20, top + 146, width, 80}, "", ui::Font::system(15), ui::Color::systemGray());
    detail_->setNumberOfLines(3);
  }

  void show(const std::string& status, ui::Color color, const std::string& detail) {
    status_->setText(status);
    status_->textColor = color;
    detail_->setText(detail);
  }

  std::string typeName() const override { return "DemoTillViewController"; }

 private:
  std::shared_ptr<ui::Label> add(const ui::Rect& frame, const std::string& text,
                                 const ui::Font& font, ui::Color color) {
    auto label = std::make_shared<ui::Label>(frame);
    label->setText(text);
    label->setFont(font);
    label->textColor = color;
    view().addSubview(label);
    return label;
  }

  std::string amount_;
  std::shared_ptr<ui::Label> status_;
  std::shared_ptr<ui::Label> detail_;
};

// Discovery of the till, on loopback only and on ports the system picks, so
// it meets nothing but the simulator and collides with no other program.
struct TillDiscovery {
  TillDiscovery(const std::filesystem::path& databasePath, const sim::DiscoverySimulator& sim)
      : db(databasePath), settings(db) {
    registry::DiscoveryConfig config;
    config.udpPort = 0;
    config.tcpPort = 0;
    config.bindAddress = kLoopback;
    config.terminalUdpPort = sim.udpPort();
    config.terminalTcpPort = sim.tcpPort();
    manager = std::make_unique<registry::DiscoverManager>(
        registry::DiscoverManager::Collaborators{db, client, server, sender, receiver, ble,
                                                 settings, registry::FileLogger::sharedLogger()},
        config);
  }
  ~TillDiscovery() { manager.reset(); }
  TillDiscovery(const TillDiscovery&) = delete;
  TillDiscovery& operator=(const TillDiscovery&) = delete;

  registry::DatabaseManager db;
  registry::StoredCommunicationSettings settings;
  registry::BroadcastSender sender{std::string(kLoopback)};
  registry::BroadcastReceiver receiver;
  transport::TCPSocketClient client;
  transport::TCPSocketServer server;
  transport::RadioOffBleTransport ble;
  std::unique_ptr<registry::DiscoverManager> manager;
};

class Pictures {
 public:
  Pictures(ui::Window& window, ui::Driver& driver, std::filesystem::path dir, Printer& printer)
      : window_(window), driver_(driver), dir_(std::move(dir)), printer_(printer) {}

  void take(const std::string& name, const std::string& what) {
    driver_.settle();
    const std::filesystem::path path = dir_ / (name + ".png");
    ui::RenderOptions options;
    options.scale = 2;
    options.deviceChrome = true;
    if (ui::renderViewToPng(window_, path, options)) {
      printer_.note(fmt::format("Picture of {}: {}", what, path.string()));
    } else {
      printer_.note(fmt::format("Picture of {} could not be written to {}", what, path.string()));
    }
  }

 private:
  ui::Window& window_;
  ui::Driver& driver_;
  std::filesystem::path dir_;
  Printer& printer_;
};

ui::scan::ScanViewController* scanScreen(ui::NavigationController& nav) {
  return dynamic_cast<ui::scan::ScanViewController*>(nav.topViewController());
}

}  // namespace

bool payOnScanScreen(Printer& printer, const std::filesystem::path& outDir,
                     const model::ISO4217ActiveCurrency& currency) {
  // The screen's animations and timers run on a clock the demo moves, so
  // each picture shows a settled moment however busy the machine is.
  auto clock = std::make_shared<platform::ManualClock>(platform::nowMillis());
  platform::setClock(clock);
  ScopedLoopbackNetwork network;

  std::string error;
  auto http = sim::HttpSimulator::start(kLoopback, 0, &error);
  if (!http) {
    fmt::print(stderr, "veltrix-cli: the simulated terminal did not start: {}\n", error);
    return false;
  }
  http->setSerial(kTerminalSn);
  sim::Scenario scenario;
  scenario.setDefaultDelay(20ms);
  http->setScenario(std::move(scenario));

  sim::VirtualTerminal terminal;
  terminal.sn = kTerminalSn;
  terminal.address = http->address();
  sim::DiscoveryOptions simOptions;
  simOptions.terminals = {terminal};
  simOptions.udpPort = 0;
  simOptions.tcpPort = 0;
  simOptions.libraryIp = kLoopback;
  auto discoverySim = sim::DiscoverySimulator::start(simOptions, &error);
  if (!discoverySim) {
    fmt::print(stderr, "veltrix-cli: the simulated discovery did not start: {}\n", error);
    return false;
  }

  printer.note("");
  printer.note("== Payment of 12.50 EUR on a till that knows no terminal");
  printer.note(fmt::format("Simulated terminal {} on {}, found by discovery on loopback",
                           kTerminalSn, http->url()));

  bool ok = false;
  {
    TillDiscovery discovery(outDir / "till-2.sqlite", *discoverySim);
    discovery.db.insertSetting("preferencesMode", "1");
    auto settings = facade::RetailerSettingManager::create(discovery.db, discovery.manager.get());
    CliHost host(printer, discovery.db, *settings);

    auto window = std::make_shared<ui::Window>(ui::DeviceProfile::phone());
    window->makeKeyAndVisible();
    ui::Driver driver(*window);
    auto till = std::make_shared<TillViewController>("12.50 EUR");
    auto nav = std::make_shared<ui::NavigationController>(till);
    window->setRootViewController(nav);
    driver.settle();
    host.manager().initWithNavigationController(nav);
    Pictures pictures(*window, driver, outDir, printer);

    model::PaymentParam payment;
    payment.transactionReference = "DEMO-0005";
    payment.totalAmount = "12.50";
    payment.currency = currency;
    std::shared_ptr<const model::PaymentResult> paid;
    host.launch<model::PaymentResult>(
        [&](facade::ExchangeIdBlock block, facade::ResultBlock<model::PaymentResult> result) {
          host.manager().payment(payment, std::move(block), std::move(result));
        },
        &paid);
    driver.advance(0.5);

    bool picked = false;
    ui::scan::ScanViewController* screen = scanScreen(*nav);
    if (!screen) {
      fmt::print(stderr, "veltrix-cli: the scan screen did not open\n");
    } else {
      driver.advance(1.5);
      pictures.take("scan-1-searching", "the scan screen while searching");

      // The screen has started discovery; the terminal speaks first.
      discoverySim->setLibraryPorts(discovery.manager->udpListeningPort(),
                                    discovery.manager->tcpListeningPort());
      discoverySim->announce();
      const bool found = platform::MainLoop::shared().runUntil(
          [&] { return !screen->movingViews().empty(); }, 10s);
      if (!found) {
        fmt::print(stderr, "veltrix-cli: discovery found no terminal\n");
      } else {
        driver.advance(1.5);
        pictures.take("scan-2-found", fmt::format("the scan screen with {} found", kTerminalSn));

        // The user drags the terminal's bubble onto the centre.
        auto bubble = screen->movingViews()[0];
        const ui::Point from = screen->view().convert(bubble->center(), nullptr);
        const ui::Point to = screen->view().convert(screen->orbitCenter(), nullptr);
        driver.drag(from, {{(from.x + to.x) / 2, (from.y + to.y) / 2}, to});
        driver.advance(0.6);
        picked = true;
      }
    }
    // Without a pick the screen gives up after its time-out.
    if (!picked) driver.advance(ui::scan::ScanViewController::kExitSeconds + 1);

    const Outcome outcome = host.finish(picked ? 60s : 5s);
    ok = outcome.finished && outcome.lastCode && *outcome.lastCode == 0 && paid;
    driver.advance(1.0);
    if (ok) {
      till->show("Approved", ui::Color::systemGreen(),
                 fmt::format("{} {} on {}\nAuthorisation code {}", paid->totalAmount.value_or(""),
                             model::ISO4217ActiveCurrencyHelper::currencyCodeFromEnum(currency),
                             paid->poiIdentificationId.value_or("?"),
                             paid->authorisationCode.value_or("?")));
    } else {
      till->show("Not paid", ui::Color::systemRed(), "");
    }
    pictures.take("scan-3-result", "the till after the payment");

    // The screens go before the library they refer to.
    window->setRootViewController(nullptr);
    platform::MainLoop::shared().runPending();
    nav.reset();
    till.reset();
    window.reset();
    platform::MainLoop::shared().runPending();
  }
  discoverySim->stop();
  http->stop();
  return ok;
}

}  // namespace veltrix::cli
