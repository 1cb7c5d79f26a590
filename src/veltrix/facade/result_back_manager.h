// The result-callback registry: for every request in flight, the host's
// result block filed under the request's exchange identifier, run when a
// result or an error for that identifier arrives.
//
// Threads: any thread may call any member. The map of blocks is touched only
// on the registry's own serial queue ("com.orvane.tavio.callback.queue"), so
// register, execute and remove take effect in the order of the calls; host
// blocks run only on the main queue, always asynchronously, so a block never
// runs inside the call that produced its result.
//
// Ownership: the registry owns the blocks until they are removed; the serial
// queue's pending work keeps the map alive, so work queued before the
// registry is destroyed still completes. sharedManager() lives for the
// process. Non-copyable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeindex>
#include <typeinfo>
#include <utility>

#include "veltrix/platform/dispatch.h"

namespace veltrix::facade {

inline constexpr std::string_view kCallbackQueueLabel = "com.orvane.tavio.callback.queue";

// An exchange identifier argument; nullopt and "" are both "no identifier".
using ExchangeIdArg = std::optional<std::string_view>;

// The result object of any service, or none. Every service has its own
// result class, so the registry keeps them type-erased: the object is held
// as std::shared_ptr<const void> together with the type it was made from,
// and get<T>() hands it back only as that same type (never a wrong cast).
// Results are immutable once delivered, hence const.
class ResultObject {
 public:
  ResultObject() = default;
  ResultObject(std::nullptr_t) {}  // NOLINT(google-explicit-constructor): "no result"
  template <typename T>
  ResultObject(std::shared_ptr<T> result)  // NOLINT(google-explicit-constructor)
      : object_(std::move(result)), type_(typeid(std::remove_cv_t<T>)) {
    if (!object_) type_ = typeid(void);
  }

  bool empty() const { return object_ == nullptr; }
  explicit operator bool() const { return !empty(); }
  // The type the object was stored as; typeid(void) when empty.
  std::type_index type() const { return type_; }
  // The object when it was stored as exactly T (cv ignored); null otherwise.
  template <typename T>
  std::shared_ptr<const T> get() const {
    if (empty() || type_ != std::type_index(typeid(std::remove_cv_t<T>))) return nullptr;
    return std::static_pointer_cast<const T>(object_);
  }

 private:
  std::shared_ptr<const void> object_;
  std::type_index type_ = typeid(void);
};

// The host result block as the registry stores it: (result or none, code,
// message). Code 0 with a result; a negative code with a message on failure.
using HostBlock =
    std::function<void(ResultObject result, std::int64_t code, std::optional<std::string> message)>;

// The host's typed result block of one service, such as
// ResultBlock<PaymentResult> for payment.
template <typename R>
using ResultBlock = std::function<void(std::shared_ptr<const R> result, std::int64_t code,
                                       std::optional<std::string> message)>;

namespace detail {
void logResultTypeMismatch(const ResultObject& result, const std::type_info& wanted);
}  // namespace detail

// Wraps a typed result block for the registry. An empty block gives an empty
// HostBlock (registering it leaves no entry). A result stored as another type
// than R reaches the block as null, with its code and message, and is logged.
template <typename R>
HostBlock eraseResultBlock(ResultBlock<R> block) {
  if (!block) return {};
  return [block = std::move(block)](ResultObject result, std::int64_t code,
                                    std::optional<std::string> message) {
    std::shared_ptr<const R> typed = result.get<R>();
    if (!typed && !result.empty()) detail::logResultTypeMismatch(result, typeid(R));
    block(std::move(typed), code, std::move(message));
  };
}

class ResultBackManager {
 public:
  // The process-wide registry, delivering on the library's main loop.
  static ResultBackManager& sharedManager();

  // A registry that runs host blocks on `mainQueue` (tests may give their
  // own queue).
  explicit ResultBackManager(
      std::shared_ptr<platform::TaskQueue> mainQueue = platform::MainLoop::sharedPtr());
  ~ResultBackManager();
  ResultBackManager(const ResultBackManager&) = delete;
  ResultBackManager& operator=(const ResultBackManager&) = delete;

  // Files `block` under `exchangeId`, replacing any block filed there; an
  // empty block removes the entry. No identifier: nothing happens, since no
  // result could ever reach such an entry.
  void registerCallback(HostBlock block, ExchangeIdArg exchangeId);

  // Runs the block filed under `exchangeId` on the main queue with (result,
  // code, message). The look-up happens on the serial queue in call order
  // and the block found is captured, so a remove sent right after still lets
  // this delivery through. The entry stays. No identifier: nothing at all
  // (not even the log line); no entry: nothing.
  void executeCallbackForId(ExchangeIdArg exchangeId, ResultObject response, std::int64_t errorCode,
                            std::optional<std::string> msg);

  // Removes the entry of `exchangeId`, if any. No identifier: nothing.
  void removeCallbackForId(ExchangeIdArg exchangeId);

 private:
  struct State;

  std::shared_ptr<platform::TaskQueue> mainQueue_;
  std::shared_ptr<State> state_;
  std::shared_ptr<platform::SerialQueue> serialQueue_;
};

}  // namespace veltrix::facade
