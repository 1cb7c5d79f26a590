// A small notification centre: named notifications with an object, posted
// from any thread and delivered to observers on the main queue.
//
// Thread-safety: every member may be called from any thread. Observer blocks
// run on the main queue; an observer removed before a notification is
// delivered does not see it. Ownership: the centre keeps the blocks until
// they are removed; notifications share their object with the observers.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace veltrix::platform {

struct Notification {
  std::string name;
  std::shared_ptr<void> object;
};

class NotificationCenter {
 public:
  using ObserverToken = std::uint64_t;

  // The process's centre, created on first use.
  static NotificationCenter& defaultCenter();

  NotificationCenter();
  ~NotificationCenter();
  NotificationCenter(const NotificationCenter&) = delete;
  NotificationCenter& operator=(const NotificationCenter&) = delete;

  // `block` runs on the main queue for each later notification named `name`.
  ObserverToken addObserver(std::string name, std::function<void(const Notification&)> block);
  void removeObserver(ObserverToken token);

  // Queues delivery of the notification on the main queue.
  void post(std::string name, std::shared_ptr<void> object = nullptr);

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace veltrix::platform
