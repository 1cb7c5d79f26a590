// The library's text log file in the documents directory.
//
// One line per entry, "[<yyyy-MM-dd HH:mm:ss.SSS>] <message>\n", UTF-8,
// nothing escaped, card data masked (platform/card_redaction.h). Once the
// file is larger than 10000000 bytes the next entry starts it again empty.
// Every entry is flushed to storage before logMessage() returns.
//
// Thread-safety: every member may be called from any thread; one lock covers
// the size check, the restart, the write and the flush, so entries never
// interleave and a restart never pulls the file from under a write.
#pragma once

#include <fmt/format.h>

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "veltrix/platform/file.h"
#include "veltrix/platform/log_file.h"

namespace veltrix::registry {

inline constexpr std::string_view kLogFileName = "tavioRetailer_ios_log.txt";
inline constexpr std::int64_t kLogFileMaxBytes = 10000000;

// What the transports and the facade need of the log file.
using LogFile = platform::LogFile;

class FileLogger final : public LogFile {
 public:
  // The process-wide log file in the documents directory, made on first use.
  static FileLogger& sharedLogger();

  // A log file at `path` (tests make their own).
  explicit FileLogger(std::filesystem::path path);
  ~FileLogger() override;
  FileLogger(const FileLogger&) = delete;
  FileLogger& operator=(const FileLogger&) = delete;

  void logMessage(std::string_view message) override;

  template <typename... Args>
  void logWithFormat(fmt::format_string<Args...> format, Args&&... args) {
    logMessage(fmt::format(format, std::forward<Args>(args)...));
  }

  std::filesystem::path getLogFilePath() const { return logFilePath_; }
  // The whole file; nullopt when it cannot be read.
  std::optional<std::string> getLogFileData() const;
  // Deletes the file and starts a new empty one. True when the old file was
  // removed.
  bool clearLogFile();

 private:
  // Opens (creating when missing) the file at its end. Caller holds mutex_.
  void setupLogFile();
  bool clearLogFileLocked();

  const std::filesystem::path logFilePath_;
  mutable std::recursive_mutex mutex_;
  platform::AppendFile file_;
};

}  // namespace veltrix::registry
