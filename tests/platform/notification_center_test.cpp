#include "veltrix/platform/notification_center.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "support/test_env.h"

namespace veltrix::platform {
namespace {

class NotificationCenterTest : public testing::LoopTest {};

TEST_F(NotificationCenterTest, DeliversByNameOnTheMainQueueUntilRemoved) {
  NotificationCenter center;
  std::vector<std::string> seen;
  auto object = std::make_shared<int>(7);
  const auto a = center.addObserver("changed", [&](const Notification& n) {
    EXPECT_TRUE(main().isCurrent());
    EXPECT_EQ(n.object, object);
    seen.push_back("a");
  });
  NotificationCenter::ObserverToken b = 0;
  b = center.addObserver("changed", [&](const Notification&) {
    seen.push_back("b");
    center.removeObserver(b);  // only once
  });
  center.addObserver("other", [&](const Notification&) { seen.push_back("other"); });

  std::thread poster([&] { center.post("changed", object); });
  poster.join();
  EXPECT_TRUE(seen.empty());
  runPending();
  EXPECT_EQ(seen, (std::vector<std::string>{"a", "b"}));

  center.post("changed", object);
  center.removeObserver(a);  // before delivery: not seen
  runPending();
  EXPECT_EQ(seen, (std::vector<std::string>{"a", "b"}));
}

}  // namespace
}  // namespace veltrix::platform
