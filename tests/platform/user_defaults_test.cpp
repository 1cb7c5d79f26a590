// User defaults: values survive a new instance, follow the documents
// directory, and an unreadable file counts as empty.
#include "veltrix/platform/user_defaults.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/test_env.h"
#include "veltrix/platform/file.h"
#include "veltrix/platform/paths.h"

namespace veltrix::platform {
namespace {

TEST(UserDefaults, KeepsValuesAcrossInstances) {
  testing::TempDir dir;
  const auto file = dir.path() / "defaults.json";
  {
    UserDefaults defaults(file);
    EXPECT_FALSE(defaults.stringForKey("k"));
    defaults.setString("k", "v1");
    defaults.setString("other", "设备");
    defaults.setString("k", "v2");
    EXPECT_TRUE(defaults.synchronize());
  }
  UserDefaults again(file);
  EXPECT_EQ(again.stringForKey("k"), "v2");
  EXPECT_EQ(again.stringForKey("other"), "设备");
  again.removeObject("k");
  EXPECT_FALSE(UserDefaults(file).stringForKey("k"));
  EXPECT_EQ(UserDefaults(file).stringForKey("other"), "设备");
}

TEST(UserDefaults, AnUnreadableFileCountsAsEmptyAndIsReplaced) {
  testing::TempDir dir;
  const auto file = dir.path() / "defaults.json";
  std::ofstream(file) << "{not json";
  UserDefaults defaults(file);
  EXPECT_FALSE(defaults.stringForKey("k"));
  defaults.setString("k", "v");
  EXPECT_EQ(UserDefaults(file).stringForKey("k"), "v");
}

TEST(UserDefaults, TheDefaultFileFollowsTheDocumentsDirectory) {
  testing::TempDir first;
  testing::TempDir second;
  UserDefaults defaults;
  setDocumentsDir(first.path());
  defaults.setString("k", "first");
  EXPECT_TRUE(readWholeFile(first.path() / kUserDefaultsFileName));
  setDocumentsDir(second.path());
  EXPECT_FALSE(defaults.stringForKey("k"));
  setDocumentsDir(first.path());
  EXPECT_EQ(defaults.stringForKey("k"), "first");
}

}  // namespace
}  // namespace veltrix::platform
