// The library's text log file in the documents directory.
//
// One line per entry, "[<yyyy-MM-dd HH:mm:ss.SSS>] <message>\n", UTF-8,
// nothing escaped, card data masked (platform/card_redaction.h). Once the
// file is larger than 10000000 bytes the next entry starts it again empty.
//
// logMessage() stamps the entry and queues it; it never waits for the disk.
// One writer thread per logger takes what is queued, writes it in order and
// flushes the file to storage once per batch. Entries logged before a clean
// exit are on storage before exit() returns (the writer ends last, see
// platform/process_exit.h); entries logged after that, and every entry of a
// logger made once exit has begun, are written and flushed on the caller's
// thread.
//
// Thread-safety: every member may be called from any thread. The queue has
// its own lock, held only to hand entries over. The file lock covers the
// size check, the restart, the write and the flush, so entries never
// interleave and a restart never pulls the file from under a write.
// Ownership: the logger owns its writer thread; destroying it writes what
// is queued and ends the thread.
#pragma once

#include <fmt/format.h>

#include <cstdint>
#include <filesystem>
#include <memory>
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
  // Waits until every entry logged before the call is written and flushed.
  void flush() const;

  template <typename... Args>
  void logWithFormat(fmt::format_string<Args...> format, Args&&... args) {
    logMessage(fmt::format(format, std::forward<Args>(args)...));
  }

  std::filesystem::path getLogFilePath() const { return logFilePath_; }
  // The whole file, with every entry logged before the call; nullopt when
  // it cannot be read.
  std::optional<std::string> getLogFileData() const;
  // Deletes the file (with the entries logged before the call) and starts a
  // new empty one. True when the old file was removed.
  bool clearLogFile();

 private:
  struct Entry {
    std::string stamp;  // taken when the entry was logged
    std::string message;
  };

  // Opens (creating when missing) the file at its end. Caller holds mutex_.
  void setupLogFile();
  bool clearLogFileLocked();
  // Size check, restart when needed, and the write. Caller holds mutex_.
  void writeLocked(const Entry& entry);
  void writerLoop();

  const std::filesystem::path logFilePath_;
  mutable std::recursive_mutex mutex_;
  platform::AppendFile file_;
  // The queue and the thread that writes it.
  struct Writer;
  std::unique_ptr<Writer> writer_;
};

}  // namespace veltrix::registry
