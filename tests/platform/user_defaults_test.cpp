// User defaults: values survive a new instance, follow the documents
// directory, an unreadable file counts as empty, a write costs time linear
// in the file's size, and an over-size file is set aside unread.
#include "veltrix/platform/user_defaults.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>

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

TEST(UserDefaults, AWriteCostsTimeLinearInTheFileSize) {
  testing::TempDir dir;
  const auto file = dir.path() / "defaults.json";
  constexpr int kKeys = 20000;
  {
    std::string text = "{";
    for (int i = 0; i < kKeys; ++i) {
      text += fmt::format("{}\"key{:05}\":\"value {}\"", i == 0 ? "" : ",", i, i);
    }
    std::ofstream(file) << text << "}";
  }
  UserDefaults defaults(file);
  ASSERT_EQ(defaults.stringForKey("key00000"), "value 0");
  const auto start = std::chrono::steady_clock::now();
  defaults.setString("key10000", "changed");
  defaults.setString("new", "v");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1) * testing::kSlowdown);
  // Same JSON as before, keys in order.
  const std::optional<std::string> written = readWholeFile(file);
  ASSERT_TRUE(written);
  EXPECT_TRUE(written->starts_with(R"({"key00000":"value 0","key00001":"value 1",)"));
  EXPECT_TRUE(written->ends_with(R"(,"key19999":"value 19999","new":"v"})"));
  EXPECT_EQ(UserDefaults(file).stringForKey("key10000"), "changed");
}

TEST(UserDefaults, AFileOverTheCapIsSetAsideAndTheValuesStartEmpty) {
  testing::TempDir dir;
  const auto file = dir.path() / "defaults.json";
  std::ofstream(file) << R"({"k":")" << std::string(kUserDefaultsMaxFileSize, 'x') << R"("})";
  UserDefaults defaults(file);
  EXPECT_FALSE(defaults.stringForKey("k"));
  defaults.setString("fresh", "v");
  const std::optional<std::string> fresh = readWholeFile(file);
  EXPECT_TRUE(fresh && *fresh == R"({"fresh":"v"})");
  int aside = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("defaults.json.aside-", 0) == 0) {
      ++aside;
      EXPECT_GT(entry.file_size(), kUserDefaultsMaxFileSize);
    }
  }
  EXPECT_EQ(aside, 1);
}

}  // namespace
}  // namespace veltrix::platform
