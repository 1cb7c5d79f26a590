#include "veltrix/facade/result_back_manager.h"

#include <string>
#include <unordered_map>
#include <utility>

#include "veltrix/platform/log.h"

namespace veltrix::facade {

namespace {

bool hasId(const ExchangeIdArg& exchangeId) { return exchangeId && !exchangeId->empty(); }

}  // namespace

namespace detail {

void logResultTypeMismatch(const ResultObject& result, const std::type_info& wanted) {
  platform::logf("result type mismatch: got {}, the block takes {}", result.type().name(),
                 wanted.name());
}

}  // namespace detail

// Shared with the queued tasks, so work queued before the registry goes away
// still finds its map.
struct ResultBackManager::State {
  // Exchange identifier to host block; touched only on the serial queue.
  std::unordered_map<std::string, HostBlock> callbackQueue;
};

ResultBackManager& ResultBackManager::sharedManager() {
  // Never destroyed, like every process-wide object.
  static auto& manager = *new ResultBackManager;
  return manager;
}

ResultBackManager::ResultBackManager(std::shared_ptr<platform::TaskQueue> mainQueue)
    : mainQueue_(std::move(mainQueue)),
      state_(std::make_shared<State>()),
      serialQueue_(platform::SerialQueue::create(std::string(kCallbackQueueLabel))) {}

// The serial queue is the last member, so it is released first: it runs what
// is still queued (each task holds the map and the main queue) and ends.
ResultBackManager::~ResultBackManager() = default;

void ResultBackManager::registerCallback(HostBlock block, ExchangeIdArg exchangeId) {
  if (!hasId(exchangeId)) return;
  serialQueue_->post(
      [state = state_, id = std::string(*exchangeId), block = std::move(block)]() mutable {
        if (block) {
          state->callbackQueue.insert_or_assign(std::move(id), std::move(block));
        } else {
          state->callbackQueue.erase(id);
        }
      });
}

void ResultBackManager::executeCallbackForId(ExchangeIdArg exchangeId, ResultObject response,
                                             std::int64_t errorCode,
                                             std::optional<std::string> msg) {
  if (!hasId(exchangeId)) return;
  platform::logLine("----executeCallbackForId");
  serialQueue_->post([state = state_, main = mainQueue_, id = std::string(*exchangeId),
                      response = std::move(response), errorCode, msg = std::move(msg)]() mutable {
    auto found = state->callbackQueue.find(id);
    if (found == state->callbackQueue.end()) return;
    // The block is copied into the main-queue task here, so a later remove
    // of the entry cannot take this delivery back.
    main->post([block = found->second, response = std::move(response), errorCode,
                msg = std::move(msg)]() mutable {
      block(std::move(response), errorCode, std::move(msg));
    });
  });
}

void ResultBackManager::removeCallbackForId(ExchangeIdArg exchangeId) {
  if (!hasId(exchangeId)) return;
  serialQueue_->post(
      [state = state_, id = std::string(*exchangeId)] { state->callbackQueue.erase(id); });
}

}  // namespace veltrix::facade
