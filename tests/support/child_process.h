// Child processes for tests that need programs of their own (a simulator
// binary, a second copy of the test program in another network namespace):
// started with extra environment, their output (stdout and stderr) captured,
// every wait bounded, and stopped (by their own process id) when the object
// goes, whatever the test's outcome.
//
// Test thread only. Non-copyable: the object owns the process.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace veltrix::testing {

class ChildProcess {
 public:
  using Environment = std::vector<std::pair<std::string, std::string>>;

  // Starts argv[0] (searched in PATH) with the current environment plus
  // `extra`. nullptr, with the reason in `error`, when it cannot start.
  static std::unique_ptr<ChildProcess> spawn(const std::vector<std::string>& argv,
                                             const Environment& extra = {},
                                             std::string* error = nullptr);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Waits until the output holds `text`; false when the process ended or
  // the time ran out first.
  bool waitForOutput(const std::string& text, std::chrono::milliseconds timeout);
  // Waits until the process ends: its exit code (128 + signal for a
  // signal), nullopt when it is still running at the time-out.
  std::optional<int> wait(std::chrono::milliseconds timeout);
  // SIGTERM, then SIGKILL when it has not ended within `grace`; reaps it.
  void stop(std::chrono::milliseconds grace = std::chrono::milliseconds(2000));

  const std::string& output() const { return output_; }
  pid_t pid() const { return pid_; }

 private:
  ChildProcess() = default;
  // Reads what output there is (waiting up to `timeout` for some) and
  // reaps the process when it has ended.
  void pump(std::chrono::milliseconds timeout);

  pid_t pid_ = -1;
  int out_ = -1;
  std::string output_;
  std::optional<int> status_;
};

struct CommandResult {
  int status = -1;  // exit code; -1 when it could not start or did not end in time
  std::string output;
};

// Runs a command to its end (stopped after `timeout`).
CommandResult runCommand(const std::vector<std::string>& argv,
                         std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));

// This test program's own file, to start a copy of it as a child; empty
// when it cannot be read.
std::filesystem::path testProgram();
// A program of this build, `relative` to the build directory (the test
// programs lie one level below it).
std::filesystem::path builtProgram(const std::string& relative);
// The command line that runs this test program's tests matching `filter`,
// disabled ones too: how a test starts its child half.
std::vector<std::string> testChildCommand(const std::string& filter);

}  // namespace veltrix::testing
