// The seam through which layers below the registry write the library's log
// file: the transports know this interface; the registry's FileLogger
// implements it and installs itself as the process's log file when it is
// made, so every include points down.
//
// Thread-safety: installLogFile and logFile may be called from any thread;
// an implementation's logMessage must be too.
#pragma once

#include <string_view>

namespace veltrix::platform {

class LogFile {
 public:
  virtual ~LogFile() = default;
  virtual void logMessage(std::string_view message) = 0;
};

// Makes `file` the process's log file (nullptr: none). The caller keeps it
// alive for as long as it is installed.
void installLogFile(LogFile* file);

// The installed log file, or a sink that drops every line when none is.
LogFile& logFile();

}  // namespace veltrix::platform
