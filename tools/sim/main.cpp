// tavio-sim: the simulated Tavio terminal for demos and manual runs.
//
//   tavio-sim --http 127.0.0.2:9100 [--script FILE] [--quiet]
//
// Serves casp requests by HTTP POST on the given loopback address until
// interrupted (SIGINT or SIGTERM). Without a script every request gets the
// default reply of its service type.
#include <fmt/format.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "sim/http_simulator.h"
#include "sim/scenario.h"

namespace {

int usage() {
  std::fputs("usage: tavio-sim --http HOST:PORT [--script FILE] [--quiet]\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string http;
  std::string script;
  bool quiet = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--http" && i + 1 < argc) {
      http = argv[++i];
    } else if (arg == "--script" && i + 1 < argc) {
      script = argv[++i];
    } else if (arg == "--quiet") {
      quiet = true;
    } else {
      return usage();
    }
  }
  const std::size_t colon = http.rfind(':');
  if (http.empty() || colon == std::string::npos) return usage();
  const std::string host = http.substr(0, colon);
  int port = 0;
  try {
    port = std::stoi(http.substr(colon + 1));
  } catch (...) {
    return usage();
  }
  if (port < 0 || port > 65535) return usage();

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

  std::string error;
  auto sim = veltrix::sim::HttpSimulator::start(host, static_cast<std::uint16_t>(port), &error);
  if (!sim) {
    fmt::print(stderr, "tavio-sim: {}\n", error);
    return 1;
  }
  sim->setScenario(std::move(scenario));
  if (!quiet) {
    sim->setRequestLog([](const veltrix::sim::RecordedRequest& request) {
      fmt::print("{} {} #{} serviceType={} exchangeIdentification={} ({} bytes)\n", request.method,
                 request.target, request.connection, request.jsonText("serviceType").value_or("-"),
                 request.jsonText("exchangeIdentification").value_or("-"), request.body.size());
      std::fflush(stdout);
    });
  }
  fmt::print("tavio-sim listening on {}\n", sim->url());
  std::fflush(stdout);

  int received = 0;
  sigwait(&stopSignals, &received);
  sim->stop();
  if (!quiet) fmt::print("tavio-sim stopped\n");
  return 0;
}
