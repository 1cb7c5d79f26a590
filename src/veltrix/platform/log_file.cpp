#include "veltrix/platform/log_file.h"

#include <atomic>

namespace veltrix::platform {
namespace {

class NullLogFile final : public LogFile {
 public:
  void logMessage(std::string_view) override {}
};

std::atomic<LogFile*>& installed() {
  static std::atomic<LogFile*> file{nullptr};
  return file;
}

}  // namespace

void installLogFile(LogFile* file) { installed().store(file); }

LogFile& logFile() {
  if (LogFile* file = installed().load()) return *file;
  static NullLogFile* none = new NullLogFile;  // never destroyed: used at exit
  return *none;
}

}  // namespace veltrix::platform
