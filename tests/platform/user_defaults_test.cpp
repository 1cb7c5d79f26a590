// User defaults: values survive a new instance, follow the documents
// directory, and an unreadable file counts as empty.
#include "veltrix/platform/user_defaults.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/test_env.h"
#include "veltrix/platform/file.h"
#include "veltrix/platform/log.h"
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
  setDocumentsDirForTesting(first.path());
  defaults.setString("k", "first");
  EXPECT_TRUE(readWholeFile(first.path() / kUserDefaultsFileName));
  setDocumentsDirForTesting(second.path());
  EXPECT_FALSE(defaults.stringForKey("k"));
  setDocumentsDirForTesting(first.path());
  EXPECT_EQ(defaults.stringForKey("k"), "first");
}

// Once the library has put files in it, a host cannot move the directory
// from under the database and the log file.
TEST(DocumentsDirectory, IsKeptOnceInUse) {
  testing::TempDir first;
  testing::TempDir second;
  setDocumentsDirForTesting(first.path());
  EXPECT_EQ(documentsDir(), first.path());
  ScopedLogCapture log;
  EXPECT_FALSE(setDocumentsDir(second.path()));
  EXPECT_EQ(documentsDir(), first.path());
  EXPECT_TRUE(
      log.contains("refused: the data directory " + first.path().string() + " is already in use"));
  EXPECT_TRUE(setDocumentsDir(first.path()));
}

}  // namespace
}  // namespace veltrix::platform
