// The simulated terminal on a free loopback port, and the library's real
// HTTP transport to reach it, for tests that pay end to end.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "sim/http_simulator.h"
#include "sim/scenario.h"
#include "veltrix/facade/communicate_factory.h"
#include "veltrix/transport/https_service.h"
#include "veltrix/transport/streaming_http_session_manager.h"

namespace veltrix::testing {

// A simulated terminal on 127.0.0.1 that answers every request after
// `delay` (0: its notifications and response at once); null when no port
// could be bound.
inline std::unique_ptr<sim::HttpSimulator> startSimulatedTerminal(sim::Millis delay) {
  auto terminal = sim::HttpSimulator::start("127.0.0.1", 0);
  if (!terminal) return nullptr;
  sim::Scenario scenario;
  scenario.setDefaultDelay(delay);
  terminal->setScenario(std::move(scenario));
  return terminal;
}

// The production HTTP transport on `session`, logging to `logFile`; no
// Bluetooth LE. Both must outlive the transports it makes.
inline facade::CommunicateFactory httpFactory(transport::WSStreamingHTTPSessionManager& session,
                                              platform::LogFile& logFile) {
  transport::HttpsServiceConfig config;
  config.sessionManager = &session;
  config.logFile = &logFile;
  return facade::CommunicateFactory(
      [config](const std::string& url) { return transport::HttpsService::create(url, config); },
      {});
}

}  // namespace veltrix::testing
