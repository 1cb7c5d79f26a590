#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

extern char** environ;

namespace veltrix::testing {
namespace {

using Clock = std::chrono::steady_clock;

// Output is looked at, and the process's end noticed, at least this often.
constexpr std::chrono::milliseconds kSlice(20);

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::spawn(const std::vector<std::string>& argv,
                                                  const Environment& extra, std::string* error) {
  auto fail = [&](const std::string& why) -> std::unique_ptr<ChildProcess> {
    if (error != nullptr) *error = why;
    return nullptr;
  };
  if (argv.empty()) return fail("no program");
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return fail(std::strerror(errno));

  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::string name = text.substr(0, text.find('='));
    const bool replaced = std::any_of(extra.begin(), extra.end(),
                                      [&](const auto& pair) { return pair.first == name; });
    if (!replaced) environment.push_back(text);
  }
  for (const auto& [name, value] : extra) environment.push_back(name + "=" + value);
  std::vector<char*> args;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  std::vector<char*> envp;
  for (auto& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
  // The child starts with default signal handling and nothing blocked.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigset_t all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = -1;
  const int spawned =
      ::posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(pipeFds[1]);
  if (spawned != 0) {
    ::close(pipeFds[0]);
    return fail(argv[0] + ": " + std::strerror(spawned));
  }
  std::unique_ptr<ChildProcess> child(new ChildProcess());
  child->pid_ = pid;
  child->out_ = pipeFds[0];
  return child;
}

ChildProcess::~ChildProcess() {
  stop();
  if (out_ >= 0) ::close(out_);
}

void ChildProcess::pump(std::chrono::milliseconds timeout) {
  if (out_ >= 0) {
    pollfd fd{out_, POLLIN, 0};
    if (::poll(&fd, 1, static_cast<int>(timeout.count())) > 0) {
      char buffer[4096];
      const ssize_t n = ::read(out_, buffer, sizeof buffer);
      if (n > 0) {
        output_.append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0) {
        ::close(out_);  // every writer has gone
        out_ = -1;
      }
    }
  }
  if (!status_ && pid_ > 0) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    } else if (out_ < 0) {
      // Nothing left to read: wait for the end a slice at a time.
      ::poll(nullptr, 0, static_cast<int>(timeout.count()));
    }
  }
}

bool ChildProcess::waitForOutput(const std::string& text, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (output_.find(text) == std::string::npos) {
    if ((status_ && out_ < 0) || Clock::now() >= deadline) return false;
    pump(kSlice);
  }
  return true;
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  // The output is read to its end too, so nothing the process wrote is lost.
  while ((!status_ || out_ >= 0) && Clock::now() < deadline) pump(kSlice);
  return status_;
}

void ChildProcess::stop(std::chrono::milliseconds grace) {
  if (pid_ <= 0 || status_) return;
  ::kill(pid_, SIGTERM);
  if (wait(grace)) return;
  ::kill(pid_, SIGKILL);
  wait(std::chrono::milliseconds(5000));
}

CommandResult runCommand(const std::vector<std::string>& argv, std::chrono::milliseconds timeout) {
  std::string error;
  auto child = ChildProcess::spawn(argv, {}, &error);
  if (!child) return CommandResult{-1, error};
  const std::optional<int> status = child->wait(timeout);
  if (!status) child->stop();
  return CommandResult{status.value_or(-1), child->output()};
}

std::filesystem::path testProgram() {
  std::error_code ec;
  return std::filesystem::read_symlink("/proc/self/exe", ec);
}

std::filesystem::path builtProgram(const std::string& relative) {
  return testProgram().parent_path().parent_path() / relative;
}

std::vector<std::string> testChildCommand(const std::string& filter) {
  return {testProgram().string(), "--gtest_filter=" + filter, "--gtest_also_run_disabled_tests"};
}

}  // namespace veltrix::testing
