// The choice of the terminal service: which terminal service carries a
// request when the host did not pick one on the scan screen.
#include <fmt/format.h>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "veltrix/facade/facade_detail.h"
#include "veltrix/facade/retailer_manager.h"
#include "veltrix/facade/service_numbers.h"
#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/log.h"
#include "veltrix/registry/terminal_service_helper.h"
#include "veltrix/transport/kv_iso_utils.h"

namespace veltrix::facade {

using detail::hasText;
using detail::orNull;
using detail::textLength;
using registry::Row;
using registry::rowInt;
using registry::rowText;
using registry::TerminalServiceHelper;

namespace {

using Completion = std::function<void(bool started)>;
using Candidate = std::function<void(Completion)>;

// Runs the candidates strictly one after another until one has started the
// request; then, or when none is left, lets go of itself. Lives on the main
// loop: candidates answer there, some of them during their own call.
class ProbeChain : public std::enable_shared_from_this<ProbeChain> {
 public:
  ProbeChain(std::vector<Candidate> candidates, std::function<void()> exhausted)
      : candidates_(std::move(candidates)), exhausted_(std::move(exhausted)) {}

  void start() {
    self_ = shared_from_this();
    next();
  }

 private:
  // Whether a candidate answered during its own call, and how.
  struct Run {
    bool inCall = true;
    std::optional<bool> early;
  };

  void next() {
    // Candidates that answer at once are taken in this loop rather than by
    // recursion, however many there are.
    for (;;) {
      platform::logf("executeNextTask, current taskIndex = {}, total tasks = {}", index_,
                     candidates_.size());
      if (index_ >= candidates_.size()) {
        std::function<void()> exhausted = std::move(exhausted_);
        self_.reset();
        exhausted();
        return;
      }
      const std::size_t current = index_++;
      auto run = std::make_shared<Run>();
      candidates_[current]([weak = weak_from_this(), run, current](bool started) {
        if (run->inCall) {
          run->early = started;
          return;
        }
        if (auto chain = weak.lock()) chain->answered(current, started);
      });
      run->inCall = false;
      if (!run->early) return;  // answers later, on the main loop
      if (*run->early) {
        succeeded(current);
        return;
      }
    }
  }

  void answered(std::size_t index, bool started) {
    if (started) {
      succeeded(index);
    } else {
      next();
    }
  }

  void succeeded(std::size_t index) {
    platform::logf("ping task {} succeeded, exit scanTerminService", index);
    self_.reset();
  }

  std::vector<Candidate> candidates_;
  std::function<void()> exhausted_;
  std::size_t index_ = 0;
  std::shared_ptr<ProbeChain> self_;
};

// Runs `task` on the main loop, waiting for it when called elsewhere.
void onMainSync(const platform::Task& task) {
  if (platform::mainLoop().isCurrent()) {
    task();
  } else {
    platform::runSync(platform::mainLoop(), task);
  }
}

}  // namespace

// The scan screen's answers for one request. Answers after the first are
// dropped: the request has been sent or has ended by then.
class RetailerManager::ScanDelegate final : public ScanViewControllerDelegate {
 public:
  ScanDelegate(std::weak_ptr<RetailerManager> manager, ContextPtr context)
      : manager_(std::move(manager)), context_(std::move(context)) {}

  void onScanTerminalSucc(const ServiceDictionary& service) override {
    if (!firstAnswer()) return;
    // The user's pick goes by the normal transport decision, whatever the
    // probes found before.
    context_->isOffline = false;
    if (auto manager = manager_.lock()) manager->startHostService(context_, service);
  }

  void onError(std::int64_t code, const std::optional<std::string>& msg) override {
    if (!firstAnswer()) return;
    if (auto manager = manager_.lock()) manager->reportError(context_, code, msg);
  }

 private:
  bool firstAnswer() {
    if (answered_) {
      platform::logf("scan screen answered twice for {}", context_->exchangeId);
      return false;
    }
    answered_ = true;
    return true;
  }

  std::weak_ptr<RetailerManager> manager_;
  ContextPtr context_;
  bool answered_ = false;
};

void RetailerManager::scanTerminService(const ContextPtr& context,
                                        const std::optional<std::string>& sn,
                                        const std::optional<std::string>& serviceId,
                                        const std::optional<std::string>& address) {
  context->isOffline = false;
  platform::logf("sn = {}, serviceId = {},address = {}", orNull(sn), orNull(serviceId),
                 orNull(address));
  const std::string name = context->serviceType;

  // An explicit address longer than 8 characters takes the default
  // terminal's place and must be a valid ip:port.
  std::string staticAddress = databaseManager_.fetchSetting(Defult_Terminsl_ByIp);
  platform::logf("ipParam = {}", staticAddress);
  if (address && textLength(*address) > 8) {
    staticAddress = *address;
    if (!transport::KVISOUtils::isValidIPAndPort(*address)) {
      failChoice(context, kErrorConnect, kMsgFailToConnect);
      return;
    }
  }
  resetTerminalServiceStatus();

  std::vector<Candidate> candidates;
  bool passSn = false;
  bool passServiceId = false;
  std::string destinationSn;
  std::optional<std::string> hint;
  const std::weak_ptr<RetailerManager> weak = weak_from_this();
  // A candidate that calls `probe` on this manager while it exists.
  auto candidate = [&weak, &context](auto probe) -> Candidate {
    return [weak, context, probe](Completion completion) {
      if (auto self = weak.lock()) {
        probe(*self, context, std::move(completion));
      } else {
        completion(false);
      }
    };
  };
  auto enabled = [this](const std::string& terminalSn) {
    return rowInt(databaseManager_.fetchDiscoveredTerminal(terminalSn), "status") == 1;
  };
  auto hasServices = [this, &name](const std::string& terminalSn) {
    return !databaseManager_.fetchTerminalServicesWithServiceTypeSn(name, terminalSn).empty();
  };

  // T1: the explicit address or the default terminal.
  if (textLength(staticAddress) > 8) {
    candidates.push_back(candidate(
        [staticAddress, serviceId](RetailerManager& self, const ContextPtr& c, Completion done) {
          self.tryUseServiceWithStaticIP(c, staticAddress, serviceId, std::move(done));
        }));
  }

  const bool longSn = textLength(sn) > 10;
  // T2: a terminal and one of its services.
  if (longSn && hasText(serviceId)) {
    if (databaseManager_.fetchTerminalServicesWithServiceTypeSnServiceId(name, *sn, *serviceId)
            .empty()) {
      failChoice(context, kErrorServiceNotFound, kMsgServiceNotSupport);
      return;
    }
    candidates.push_back(
        candidate([sn = *sn, name, serviceId = *serviceId](RetailerManager& self,
                                                           const ContextPtr& c, Completion done) {
          self.tryUseRememberedServiceWithSN(c, sn, name, serviceId, std::move(done));
        }));
    passSn = true;
    passServiceId = true;
    if (!enabled(*sn)) {
      hint = fmt::format("The selected {} is unavailable in {}, Showing all supported devices.",
                         *serviceId, *sn);
    } else if (hasServices(*sn)) {
      hint = fmt::format("The selected {} is unavailable, searching for other services in {}.",
                         *serviceId, *sn);
    } else {
      hint = fmt::format("No {} in {},  Showing all supported device.", name, *sn);
    }
  }

  // T3: a terminal alone, which must offer exactly one service of the type.
  if (longSn && !hasText(serviceId)) {
    const std::size_t rows =
        databaseManager_.fetchTerminalServicesWithServiceTypeSn(name, *sn).size();
    if (rows == 0) {
      failChoice(context, kErrorServiceNotFound, kMsgServiceNotSupport);
      return;
    }
    if (rows > 1) {
      failChoice(context, kErrorMultipleServices, kMsgMultipleServices);
      return;
    }
    candidates.push_back(
        candidate([sn = *sn, name](RetailerManager& self, const ContextPtr& c, Completion done) {
          self.tryUseRememberedServiceWithSN(c, sn, name, std::move(done));
        }));
    passSn = true;
    hint = fmt::format("No {} in {},  Showing all supported devices.", name, *sn);
  }

  // E: a service identifier needs a terminal or an address.
  if (!hasText(sn) && hasText(serviceId) && !hasText(address)) {
    failChoice(context, kErrorServiceIdCheck, kMsgServiceIdCheck);
    return;
  }

  // A display bound for one terminal's service (a terminal asked to show
  // itself, from a screen over the scan screen) goes there or ends with the
  // error: it is never shown on another terminal, and never opens a second
  // scan screen over the first.
  const bool pinnedDisplay =
      passSn && passServiceId && name == TerminalServiceHelper::stringForService(service::kDisplay);
  const std::size_t pinnedCandidates = candidates.size();

  // T4 to T8 only read: their settings and rows come from one read of the
  // database.
  std::optional<registry::DatabaseManager::ReadBatch> reads(std::in_place, databaseManager_);

  // T4: the destination stored for this service type.
  const std::string typeDestination =
      databaseManager_.fetchSetting(fmt::format("{}-{}", destination_servicetype, name));
  destinationSn = typeDestination;
  if (textLength(typeDestination) > 10) {
    candidates.push_back(candidate(
        [typeDestination, name](RetailerManager& self, const ContextPtr& c, Completion done) {
          self.tryUseRememberedServiceWithSN(c, typeDestination, name, std::move(done));
        }));
    hint = fmt::format("No {} in {} , Showing all supported devices.", name, typeDestination);
  }

  // T5: the service remembered for this type.
  {
    const Row remembered = databaseManager_.fetchRememberServicesWithType(name);
    auto found = remembered.find("sn");
    const auto* rememberedSn =
        found == remembered.end() ? nullptr : std::get_if<std::string>(&found->second);
    if (rememberedSn && textLength(*rememberedSn) > 10) {
      candidates.push_back(
          candidate([name](RetailerManager& self, const ContextPtr& c, Completion done) {
            self.tryUseRememberedTerminal(c, name, std::move(done));
          }));
    }
  }

  // T6: the destination terminal.
  const std::string terminalDestination = databaseManager_.fetchSetting(destination_sn);
  if (textLength(terminalDestination) > 10) {
    candidates.push_back(candidate(
        [terminalDestination, name](RetailerManager& self, const ContextPtr& c, Completion done) {
          self.tryUseRememberedServiceWithSN(c, terminalDestination, name, std::move(done));
        }));
    passSn = true;
    destinationSn = terminalDestination;
  }

  // T7: the destination service, "sn:serviceId". A value without ":" names
  // no service and counts as not set.
  const std::string serviceDestination = databaseManager_.fetchSetting(destination_sn_serviceid);
  const std::size_t colon = serviceDestination.find(':');
  if (textLength(serviceDestination) > 10 && colon != std::string::npos) {
    const std::string sn7 = serviceDestination.substr(0, colon);
    const std::size_t end = serviceDestination.find(':', colon + 1);
    const std::string serviceId7 = serviceDestination.substr(
        colon + 1, end == std::string::npos ? std::string::npos : end - colon - 1);
    candidates.push_back(candidate(
        [sn7, name, serviceId7](RetailerManager& self, const ContextPtr& c, Completion done) {
          self.tryUseRememberedServiceWithSN(c, sn7, name, serviceId7, std::move(done));
        }));
    passSn = true;
    passServiceId = true;
    if (!enabled(sn7)) {
      hint = fmt::format("The selected {} is unavailable in {}, Showing all supported devices.",
                         serviceId7, sn7);
    } else if (hasServices(sn7)) {
      hint = fmt::format("The selected {} is unavailable, searching for other services in {}.",
                         serviceId7, sn7);
    } else {
      hint = fmt::format("No {} in {},  Showing all supported devices.", name, sn7);
    }
  }

  // T8: the service remembered for all types, unless this type's strategy
  // is "0".
  {
    const Row all = databaseManager_.fetchRememberServicesWithType("ALL");
    const std::string strategy = databaseManager_.fetchSetting(name);
    platform::logf("optionMode = {}", strategy);
    const std::optional<std::string> rememberedSn = rowText(all, "sn");
    if (hasText(rememberedSn) && strategy != "0") {
      platform::logf("remember sn = {}", *rememberedSn);
      const registry::Rows rows =
          databaseManager_.fetchTerminalServicesWithServiceTypeSn(name, *rememberedSn);
      const Row terminal = databaseManager_.fetchDiscoveredTerminal(*rememberedSn);
      const std::optional<std::string> rememberedServiceId = rowText(all, "serviceId");
      auto rowCandidate = [&](const Row& service) {
        candidates.push_back(candidate(
            [terminal, service](RetailerManager& self, const ContextPtr& c, Completion done) {
              self.tryUseRememberedRow(c, terminal, service, std::move(done));
            }));
      };
      if (rows.size() == 1) {
        rowCandidate(rows.front());
      } else if (hasText(rememberedServiceId)) {
        for (const Row& row : rows) {
          if (rowText(row, "serviceId") == rememberedServiceId) rowCandidate(row);
        }
      } else {
        candidates.push_back(
            candidate([terminal](RetailerManager& self, const ContextPtr& c, Completion done) {
              self.tryUseTerminalOnly(c, terminal, std::move(done));
            }));
      }
    }
  }

  reads.reset();

  if (pinnedDisplay) candidates.resize(pinnedCandidates);

  auto openScan = [weak, context, scanSn = passSn ? sn : std::nullopt,
                   scanServiceId = passServiceId ? serviceId : std::nullopt, destinationSn, hint] {
    if (auto self = weak.lock()) {
      self->startScanViewController(context, scanSn, scanServiceId, destinationSn, hint);
    }
  };
  if (candidates.empty()) {
    openScan();
    return;
  }
  // An address (the host's or the default terminal) that did not answer
  // is an error; without one the user picks on the scan screen.
  const bool addressFailed = !staticAddress.empty() || hasText(address);
  auto exhausted = [weak, context, openScan, addressFailed, pinnedDisplay] {
    platform::logLine("all ping tasks completed, all failed");
    onMainSync([&] {
      if (!addressFailed && !pinnedDisplay) {
        openScan();
      } else if (auto self = weak.lock()) {
        self->failChoice(context, kErrorConnect, kMsgFailToPing);
      }
    });
  };
  std::make_shared<ProbeChain>(std::move(candidates), std::move(exhausted))->start();
}

void RetailerManager::failChoice(const ContextPtr& context, std::int64_t code,
                                 std::string_view msg) {
  reportError(context, code, std::string(msg));
}

void RetailerManager::startScanViewController(const ContextPtr& context,
                                              const std::optional<std::string>& sn,
                                              const std::optional<std::string>& serviceId,
                                              const std::string& strSn,
                                              const std::optional<std::string>& showString) {
  platform::logf("startScanViewControllerWithSN, nav={}, isMainThread={}",
                 navigationController_ ? "ScanPresenter" : "(null)",
                 platform::MainLoop::shared().isCurrent() ? 1 : 0);
  ScanRequest request;
  request.serviceType = context->serviceType;
  request.isScanAllService = false;
  request.isOffline = context->isOffline;
  if (textLength(sn) > 10) request.sn = sn;
  if (textLength(strSn) > 10) request.sn = strSn;
  request.snList = databaseManager_.fetchSetting(device_Acess_List);
  if (hasText(serviceId)) request.serviceId = serviceId;
  request.showString = showString;
  if (!navigationController_) {
    // A host without screens still hears of its request.
    platform::logLine("startScanViewControllerWithSN: navigationController is nil!");
    failChoice(context, kErrorServiceNotFound, kMsgServiceNotFound);
    return;
  }
  navigationController_->presentScan(request,
                                     std::make_shared<ScanDelegate>(weak_from_this(), context));
}

}  // namespace veltrix::facade
