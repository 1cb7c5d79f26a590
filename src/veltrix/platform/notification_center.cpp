#include "veltrix/platform/notification_center.h"

#include <map>
#include <mutex>
#include <vector>

#include "veltrix/platform/dispatch.h"

namespace veltrix::platform {

struct NotificationCenter::State {
  struct Observer {
    std::string name;
    std::function<void(const Notification&)> block;
  };
  std::mutex mutex;
  ObserverToken nextToken = 1;
  std::map<ObserverToken, Observer> observers;
};

NotificationCenter& NotificationCenter::defaultCenter() {
  static auto* center = new NotificationCenter();
  return *center;
}

NotificationCenter::NotificationCenter() : state_(std::make_shared<State>()) {}

NotificationCenter::~NotificationCenter() = default;

NotificationCenter::ObserverToken NotificationCenter::addObserver(
    std::string name, std::function<void(const Notification&)> block) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  const ObserverToken token = state_->nextToken++;
  state_->observers.emplace(token, State::Observer{std::move(name), std::move(block)});
  return token;
}

void NotificationCenter::removeObserver(ObserverToken token) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->observers.erase(token);
}

void NotificationCenter::post(std::string name, std::shared_ptr<void> object) {
  postToMain([weak = std::weak_ptr<State>(state_),
              notification = Notification{std::move(name), std::move(object)}] {
    auto state = weak.lock();
    if (!state) return;
    std::vector<ObserverToken> tokens;
    {
      std::lock_guard<std::mutex> lock(state->mutex);
      for (const auto& [token, observer] : state->observers) {
        if (observer.name == notification.name) tokens.push_back(token);
      }
    }
    for (ObserverToken token : tokens) {
      // Looked up again: an earlier observer may have removed this one.
      std::function<void(const Notification&)> block;
      {
        std::lock_guard<std::mutex> lock(state->mutex);
        auto it = state->observers.find(token);
        if (it == state->observers.end()) continue;
        block = it->second.block;
      }
      if (block) block(notification);
    }
  });
}

}  // namespace veltrix::platform
