// tavio-sim: the simulated Tavio terminal for demos and manual runs.
//
//   tavio-sim --http HOST:PORT [--script FILE] [--quiet]
//   tavio-sim [discovery options] [--http HOST:PORT | --http-port PORT]
//             [--script FILE] [--quiet]
//
// Serves casp requests by HTTP POST until interrupted (SIGINT or SIGTERM).
// Without a script every request gets the default reply of its service type.
//
// Any discovery option also starts the discovery side: virtual terminals
// that answer discover packets and handshakes (see usage()). Each terminal
// serves HTTP on its own address at --http-port, unless --http names one
// server for all of them.
#include <fmt/format.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/discovery_simulator.h"
#include "sim/http_simulator.h"
#include "sim/scenario.h"

namespace {

using veltrix::sim::DiscoverySimulator;
using veltrix::sim::HttpSimulator;

int usage() {
  std::fputs(
      "usage: tavio-sim --http HOST:PORT [--script FILE] [--quiet]\n"
      "       tavio-sim [discovery options] [--http HOST:PORT | --http-port PORT]\n"
      "                 [--script FILE] [--quiet]\n"
      "  --script FILE  answer as the JSON script FILE says (the format is described in\n"
      "                 tools/sim/scenario.h; example: tools/sim/declined-payment.json)\n"
      "discovery options:\n"
      "  --ip ADDR             first terminal's address (127.0.0.2); the others take\n"
      "                        the next addresses\n"
      "  --udp PORT            terminals' discover packet port (8421)\n"
      "  --tcp PORT            terminals' handshake port (8422)\n"
      "  --library-ip ADDR     the library's address (127.0.0.1)\n"
      "  --library-udp PORT    the library's discover packet port (8421)\n"
      "  --library-tcp PORT    the library's handshake port (8422)\n"
      "  --terminals N         virtual terminals (1)\n"
      "  --services N          payment services per terminal (1)\n"
      "  --parameter TEXT      \"http\" or \"http,ble\" (http)\n"
      "  --broadcast           also receive subnet broadcasts on the UDP port\n"
      "  --speak-first         connect to the library at the start and send the handshake\n"
      "  --announce SECONDS    send the discover packet to the library this often\n"
      "  --silent-after SECONDS  answer nothing from this long after the start on\n"
      "  --chunk-bytes N       write handshakes in pieces of N bytes\n"
      "  --chunk-delay MS      pause between pieces (20)\n",
      stderr);
  return 2;
}

std::optional<long> number(std::string_view text, long low, long high) {
  try {
    std::size_t used = 0;
    const long value = std::stol(std::string(text), &used);
    if (used != text.size() || value < low || value > high) return std::nullopt;
    return value;
  } catch (...) {
    return std::nullopt;
  }
}

std::optional<double> seconds(std::string_view text) {
  try {
    std::size_t used = 0;
    const double value = std::stod(std::string(text), &used);
    if (used != text.size() || !(value >= 0) || value > 86400) return std::nullopt;
    return value;
  } catch (...) {
    return std::nullopt;
  }
}

struct HostPort {
  std::string host;
  std::uint16_t port = 0;
};

std::optional<HostPort> hostPort(std::string_view text) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0) return std::nullopt;
  const auto port = number(text.substr(colon + 1), 0, 65535);
  if (!port) return std::nullopt;
  return HostPort{std::string(text.substr(0, colon)), static_cast<std::uint16_t>(*port)};
}

void printLine(const std::string& line) {
  fmt::print("{}\n", line);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<HostPort> http;
  std::string script;
  bool quiet = false;

  bool discovery = false;
  veltrix::sim::DiscoveryOptions options;
  std::string firstIp = "127.0.0.2";
  long terminalCount = 1;
  long paymentServices = 1;
  long httpPort = 8080;
  std::string parameter = "http";
  bool speakFirst = false;
  double announceEvery = 0;
  std::optional<double> silentAfter;
  long chunkBytes = 0;
  long chunkDelay = 20;

  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    const std::string_view value = hasValue ? std::string_view(argv[i + 1]) : std::string_view();
    auto port = [&]() { return number(value, 0, 65535); };
    auto take = [&](auto parsed, auto& into) {
      if (!hasValue || !parsed) return false;
      into = *parsed;
      ++i;
      return true;
    };
    bool ok = true;
    if (arg == "--quiet") {
      quiet = true;
    } else if (arg == "--broadcast") {
      options.receiveBroadcasts = discovery = true;
    } else if (arg == "--speak-first") {
      speakFirst = discovery = true;
    } else if (!hasValue) {
      ok = false;
    } else if (arg == "--http") {
      ok = take(hostPort(value), http);
    } else if (arg == "--script") {
      script = value;
      ++i;
    } else if (arg == "--ip") {
      firstIp = value;
      discovery = true;
      ++i;
    } else if (arg == "--library-ip") {
      options.libraryIp = value;
      discovery = true;
      ++i;
    } else if (arg == "--parameter") {
      ok = value == "http" || value == "http,ble";
      parameter = value;
      discovery = true;
      ++i;
    } else if (arg == "--udp") {
      ok = discovery = take(port(), options.udpPort);
    } else if (arg == "--tcp") {
      ok = discovery = take(port(), options.tcpPort);
    } else if (arg == "--library-udp") {
      ok = discovery = take(number(value, 1, 65535), options.libraryUdpPort);
    } else if (arg == "--library-tcp") {
      ok = discovery = take(number(value, 1, 65535), options.libraryTcpPort);
    } else if (arg == "--terminals") {
      ok = discovery = take(number(value, 1, 200), terminalCount);
    } else if (arg == "--services") {
      ok = discovery = take(number(value, 1, 100), paymentServices);
    } else if (arg == "--http-port") {
      ok = discovery = take(port(), httpPort);
    } else if (arg == "--announce") {
      ok = discovery = take(seconds(value), announceEvery);
    } else if (arg == "--silent-after") {
      ok = discovery = take(seconds(value), silentAfter);
    } else if (arg == "--chunk-bytes") {
      ok = discovery = take(number(value, 1, 1 << 20), chunkBytes);
    } else if (arg == "--chunk-delay") {
      ok = discovery = take(number(value, 0, 10000), chunkDelay);
    } else {
      ok = false;
    }
    if (!ok) return usage();
  }
  if (!http && !discovery) return usage();

  veltrix::sim::Scenario scenario;
  if (!script.empty()) {
    std::string error;
    auto loaded = veltrix::sim::Scenario::fromFile(script, &error);
    if (!loaded) {
      fmt::print(stderr, "tavio-sim: {}: {}\n", script, error);
      return 1;
    }
    scenario = std::move(*loaded);
  }

  // Block the stop signals before any thread starts, then wait for them. A
  // shell starts background jobs with SIGINT ignored, and an ignored signal
  // would never reach sigwait.
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  auto logRequest = [](const veltrix::sim::RecordedRequest& request) {
    fmt::print("{} {} #{} serviceType={} exchangeIdentification={} ({} bytes)\n", request.method,
               request.target, request.connection, request.jsonText("serviceType").value_or("-"),
               request.jsonText("exchangeIdentification").value_or("-"), request.body.size());
    std::fflush(stdout);
  };
  std::vector<std::unique_ptr<HttpSimulator>> servers;
  auto serve = [&](const std::string& host, std::uint16_t port) -> HttpSimulator* {
    std::string error;
    auto server = HttpSimulator::start(host, port, &error);
    if (!server) {
      fmt::print(stderr, "tavio-sim: {}\n", error);
      return nullptr;
    }
    server->setScenario(scenario);
    if (!quiet) server->setRequestLog(logRequest);
    printLine(fmt::format("tavio-sim listening on {}", server->url()));
    servers.push_back(std::move(server));
    return servers.back().get();
  };

  if (http && !serve(http->host, http->port)) return 1;

  std::unique_ptr<DiscoverySimulator> sim;
  if (discovery) {
    options.terminals = veltrix::sim::virtualTerminals(static_cast<int>(terminalCount), firstIp,
                                                       static_cast<std::uint16_t>(httpPort),
                                                       static_cast<int>(paymentServices));
    for (auto& terminal : options.terminals) {
      if (!http) {
        HttpSimulator* server = serve(terminal.ip, static_cast<std::uint16_t>(httpPort));
        if (!server) return 1;
        server->setSerial(terminal.sn);
        terminal.address = server->address();
      } else {
        terminal.address = fmt::format("{}:{}", http->host, http->port);
      }
      terminal.parameter = parameter;
      if (silentAfter) {
        terminal.silentAfter = std::chrono::milliseconds(static_cast<long>(*silentAfter * 1000));
      }
      if (chunkBytes > 0) {
        // Enough cuts for any handshake this simulator writes.
        for (long cut = chunkBytes; cut < 64 * 1024; cut += chunkBytes) {
          terminal.handshakeCuts.push_back(static_cast<std::size_t>(cut));
        }
        terminal.pieceDelay = std::chrono::milliseconds(chunkDelay);
      }
    }
    std::string error;
    sim = DiscoverySimulator::start(options, &error);
    if (!sim) {
      fmt::print(stderr, "tavio-sim: {}\n", error);
      return 1;
    }
    if (!quiet) sim->setLog(printLine);
    for (const auto& terminal : sim->terminals()) {
      printLine(fmt::format("tavio-sim terminal {} ({}) on {} udp {} tcp {} http {}", terminal.sn,
                            terminal.model, terminal.ip, sim->udpPort(), sim->tcpPort(),
                            terminal.address));
    }
    if (speakFirst) sim->speakFirst();
    if (announceEvery > 0) sim->announce();
  }

  // Waits for a stop signal, announcing on the way when asked to.
  for (;;) {
    if (announceEvery > 0) {
      timespec timeout{};
      timeout.tv_sec = static_cast<time_t>(announceEvery);
      timeout.tv_nsec =
          static_cast<long>((announceEvery - static_cast<double>(timeout.tv_sec)) * 1e9);
      if (sigtimedwait(&stopSignals, nullptr, &timeout) >= 0) break;
      if (sim) sim->announce();
    } else {
      int received = 0;
      sigwait(&stopSignals, &received);
      break;
    }
  }
  if (sim) sim->stop();
  for (auto& server : servers) server->stop();
  if (!quiet) printLine("tavio-sim stopped");
  return 0;
}
