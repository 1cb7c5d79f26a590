#include "veltrix/registry/file_logger.h"

#include <system_error>

#include "veltrix/platform/card_redaction.h"
#include "veltrix/platform/clock.h"
#include "veltrix/platform/paths.h"
#include "veltrix/platform/time_format.h"

namespace veltrix::registry {

FileLogger& FileLogger::sharedLogger() {
  // The transports write through the platform's seam: this is the file
  // behind it from the first use on.
  static FileLogger* logger = [] {
    auto* made = new FileLogger(platform::documentsDir() / kLogFileName);
    platform::installLogFile(made);
    return made;
  }();
  return *logger;
}

FileLogger::FileLogger(std::filesystem::path path) : logFilePath_(std::move(path)) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  setupLogFile();
}

FileLogger::~FileLogger() = default;

void FileLogger::setupLogFile() { file_.open(logFilePath_); }

void FileLogger::logMessage(std::string_view message) {
  std::string line = "[";
  line += platform::formatLocalTimestamp(platform::nowMillis());
  line += "] ";
  // Exchange texts are logged whole; card data must not rest in the file.
  line += platform::redactCardData(message);
  line.push_back('\n');

  std::lock_guard<std::recursive_mutex> lock(mutex_);
  // A handle lost to a failed restart (or a file removed behind our back
  // that could not be reopened) is retried on every entry.
  if (!file_.isOpen()) setupLogFile();
  if (file_.size() > kLogFileMaxBytes) clearLogFileLocked();
  if (file_.isOpen()) file_.appendAndSync(line);
}

std::optional<std::string> FileLogger::getLogFileData() const {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return platform::readWholeFile(logFilePath_);
}

bool FileLogger::clearLogFile() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return clearLogFileLocked();
}

bool FileLogger::clearLogFileLocked() {
  file_.close();
  std::error_code ec;
  if (!std::filesystem::remove(logFilePath_, ec) || ec) return false;
  setupLogFile();
  return true;
}

}  // namespace veltrix::registry
