#include "veltrix/registry/file_logger.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <regex>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/test_env.h"
#include "veltrix/platform/clock.h"
#include "veltrix/platform/process_exit.h"

namespace veltrix::registry {
namespace {

using testing::LoopTest;
using testing::ScopedTimeZone;

class FileLoggerTest : public LoopTest {
 protected:
  std::filesystem::path path() const { return docs() / std::string(kLogFileName); }
  // The file once `logger` has written what was logged so far.
  std::string content(const FileLogger& logger) const {
    logger.flush();
    std::ifstream in(path(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
};

TEST_F(FileLoggerTest, CreatesFileAndWritesStampedLines) {
  ScopedTimeZone tz("UTC");
  clock().setWallMillis(1769868309007);  // 2026-01-31 14:05:09.007
  FileLogger logger(path());
  EXPECT_TRUE(std::filesystem::exists(path()));
  EXPECT_EQ(content(logger), "");
  logger.logMessage("url = http://127.0.0.1:9100");
  advance(platform::millis(993));
  logger.logMessage("支付成功\nsecond line");
  EXPECT_EQ(content(logger),
            "[2026-01-31 14:05:09.007] url = http://127.0.0.1:9100\n"
            "[2026-01-31 14:05:10.000] 支付成功\nsecond line\n");
  EXPECT_EQ(logger.getLogFileData(), content(logger));
}

TEST_F(FileLoggerTest, CardDataNeverReachesTheFile) {
  FileLogger logger(path());
  logger.logMessage(
      R"(repuestData = {"request":{"pan":"6222021234567891234","track2":"6222=25"}})");
  const std::string text = content(logger);
  EXPECT_NE(text.find(R"("pan":"622202*********1234","track2":"***")"), std::string::npos) << text;
  EXPECT_EQ(text.find("6222021234567891234"), std::string::npos);
}

TEST_F(FileLoggerTest, AppendsToExistingFile) {
  { std::ofstream(path()) << "old\n"; }
  FileLogger logger(path());
  logger.logWithFormat("n = {}", 5);
  const std::regex shape(R"(old\n\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] n = 5\n)");
  EXPECT_TRUE(std::regex_match(content(logger), shape)) << content(logger);
}

TEST_F(FileLoggerTest, RestartsOnlyWhenStrictlyAboveTheLimit) {
  FileLogger logger(path());
  std::filesystem::resize_file(path(), kLogFileMaxBytes);  // sparse, instant
  logger.logMessage("kept");
  logger.flush();
  const auto size = std::filesystem::file_size(path());
  EXPECT_GT(size, static_cast<std::uintmax_t>(kLogFileMaxBytes)) << "exactly at the limit is kept";
  logger.logMessage("first of the new file");
  const std::string now = content(logger);
  EXPECT_EQ(now.find("kept"), std::string::npos);
  EXPECT_NE(now.find("] first of the new file\n"), std::string::npos);
  EXPECT_EQ(now.front(), '[');
  EXPECT_EQ(std::count(now.begin(), now.end(), '\n'), 1);
}

TEST_F(FileLoggerTest, ClearLogFileStartsEmptyAndKeepsLogging) {
  FileLogger logger(path());
  logger.logMessage("one");
  EXPECT_TRUE(logger.clearLogFile());
  EXPECT_EQ(content(logger), "");
  logger.logMessage("two");
  EXPECT_NE(content(logger).find("] two\n"), std::string::npos);
}

TEST_F(FileLoggerTest, FileRemovedBehindItsBackIsRecreatedOnRestart) {
  FileLogger logger(path());
  std::filesystem::remove(path());
  // Writing through the old descriptor goes to the unlinked file; once that
  // is restarted the logger must be back on the real path.
  EXPECT_FALSE(logger.clearLogFile());
  logger.logMessage("back");
  EXPECT_NE(content(logger).find("] back\n"), std::string::npos);
}

TEST_F(FileLoggerTest, ConcurrentWritersNeverTearOrLoseLines) {
  FileLogger logger(path());
  std::filesystem::resize_file(path(), kLogFileMaxBytes - 20000);
  constexpr int kThreads = 8;
  constexpr int kLines = 500;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&logger, t] {
      for (int i = 0; i < kLines; ++i) logger.logMessage(fmt::format("t{} line {} end", t, i));
    });
  }
  for (auto& th : threads) th.join();
  // The file crossed the limit part way, so it restarted at least once; what
  // is there now must be whole lines only, each one at most once.
  std::string text = content(logger);
  ASSERT_LT(text.size(), static_cast<std::size_t>(kLogFileMaxBytes));
  std::istringstream lines(text);
  std::string line;
  const std::regex shape(R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] t\d line \d+ end)");
  std::set<std::string> seen;
  while (std::getline(lines, line)) {
    ASSERT_TRUE(std::regex_match(line, shape)) << line;
    EXPECT_TRUE(seen.insert(line.substr(26)).second) << line;
  }
  EXPECT_GT(seen.size(), 0u);
}

TEST_F(FileLoggerTest, ConcurrentWritersBelowTheLimitKeepEveryLine) {
  FileLogger logger(path());
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&logger, t] {
      for (int i = 0; i < 500; ++i) logger.logMessage(fmt::format("t{} line {}", t, i));
    });
  }
  for (auto& th : threads) th.join();
  std::string text = content(logger);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 8 * 500);
  for (int t = 0; t < 8; ++t) {
    EXPECT_NE(text.find(fmt::format("] t{} line 499\n", t)), std::string::npos);
  }
}

// A pipe in the file's place stands for storage that does not take bytes:
// once its buffer is full every write blocks until it is read.
TEST_F(FileLoggerTest, LoggingNeverWaitsForStorage) {
  using namespace std::chrono_literals;
  ASSERT_EQ(::mkfifo(path().c_str(), 0600), 0);
  const int reader = ::open(path().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  FileLogger logger(path());
  const std::string message(1000, 'x');
  constexpr int kLines = 200;  // well beyond a pipe's buffer
  auto logged = std::async(std::launch::async, [&] {
    for (int i = 0; i < kLines; ++i) logger.logMessage(message);
  });
  const bool returned = logged.wait_for(10s) == std::future_status::ready;
  EXPECT_TRUE(returned) << "logMessage waited for storage";

  // Every line still arrives, in full, once the storage takes bytes again.
  std::string text;
  char buffer[65536];
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (std::count(text.begin(), text.end(), '\n') < kLines &&
         std::chrono::steady_clock::now() < deadline) {
    const ssize_t n = ::read(reader, buffer, sizeof buffer);
    if (n > 0) text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(reader);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), kLines);
  EXPECT_NE(text.find("] " + message + "\n"), std::string::npos);
}

constexpr const char* kExitChildVariable = "VELTRIX_LOG_EXIT_CHILD";
// Each late line is flushed to storage on its own, which a slow disk makes
// slow; a late logger whose writer outlived exit lost lines at any count.
constexpr int kLateLines = 200;

// Lines logged up to a clean exit, and by a queue during exit, are all in
// the file when the process has ended; so are those of the shared log file
// first made by a host's exit handler that runs after the library's stops.
TEST_F(FileLoggerTest, EveryLineIsInTheFileAfterACleanExit) {
  using namespace std::chrono_literals;
  const std::filesystem::path late = docs() / "late";
  std::filesystem::create_directories(late);
  std::string error;
  auto child = testing::ChildProcess::spawn(
      testing::testChildCommand("FileLoggerExitChild.*"),
      {{kExitChildVariable, path().string()}, {"VELTRIX_DATA_DIR", late.string()}}, &error);
  ASSERT_TRUE(child) << error;
  const std::optional<int> status = child->wait(20000ms);
  ASSERT_TRUE(status) << child->output();
  ASSERT_EQ(*status, 0) << child->output();
  const std::string text = platform::readWholeFile(path()).value_or("");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1001) << text.substr(0, 200);
  EXPECT_NE(text.find("] line 999\n"), std::string::npos);
  EXPECT_NE(text.find("] from a queue at exit\n"), std::string::npos);
  const std::string lateText = platform::readWholeFile(late / kLogFileName).value_or("");
  EXPECT_EQ(std::count(lateText.begin(), lateText.end(), '\n'), kLateLines);
  EXPECT_NE(lateText.find(fmt::format("] late {}\n", kLateLines - 1)), std::string::npos);
}

// Registered before the library's first use, so it runs after the
// library's exit stops.
void logFromALateExitHandler() {
  for (int i = 0; i < kLateLines; ++i) {
    FileLogger::sharedLogger().logMessage(fmt::format("late {}", i));
  }
}

// The child's side of the test above.
TEST(FileLoggerExitChild, DISABLED_LogsAndExits) {
  const char* file = std::getenv(kExitChildVariable);
  if (file == nullptr) GTEST_SKIP() << "runs only as a child";
  std::atexit(&logFromALateExitHandler);
  auto* logger = new FileLogger(file);  // lives for the process, like the shared one
  for (int i = 0; i < 1000; ++i) logger->logMessage(fmt::format("line {}", i));
  // Like a serial queue draining at exit.
  static auto* stop = new platform::ExitStop(
      platform::ExitStage::kQueues,
      [logger](platform::ExitDeadline) { logger->logMessage("from a queue at exit"); });
  (void)stop;
  std::exit(0);
}

TEST_F(FileLoggerTest, UnwritableDirectoryIsSilent) {
  if (::geteuid() == 0) GTEST_SKIP() << "root ignores directory permissions";
  auto dir = docs() / "locked";
  std::filesystem::create_directories(dir);
  ::chmod(dir.c_str(), 0500);
  FileLogger logger(dir / std::string(kLogFileName));
  logger.logMessage("dropped");
  EXPECT_FALSE(std::filesystem::exists(dir / std::string(kLogFileName)));
  EXPECT_EQ(logger.getLogFileData(), std::nullopt);
}

TEST_F(FileLoggerTest, PathThatCannotBeOpenedIsSilentEvenForRoot) {
  // A directory in the file's place cannot be opened for writing by anyone.
  auto blocked = docs() / "blocked";
  std::filesystem::create_directories(blocked / "keep");
  FileLogger logger(blocked);
  logger.logMessage("dropped");
  logger.logMessage("dropped again");
  EXPECT_FALSE(logger.clearLogFile());
  EXPECT_TRUE(std::filesystem::is_directory(blocked / "keep"));
}

TEST_F(FileLoggerTest, MissingDirectoryIsSilent) {
  FileLogger logger(docs() / "no" / "such" / "dir" / std::string(kLogFileName));
  logger.logMessage("dropped");
  EXPECT_FALSE(logger.clearLogFile());
  EXPECT_EQ(logger.getLogFileData(), std::nullopt);
}

TEST_F(FileLoggerTest, SharedLoggerLivesInTheDocumentsDirectory) {
  EXPECT_EQ(FileLogger::sharedLogger().getLogFilePath().filename(), "tavioRetailer_ios_log.txt");
  EXPECT_EQ(&FileLogger::sharedLogger(), &FileLogger::sharedLogger());
}

}  // namespace
}  // namespace veltrix::registry
