#include "support/veth_namespaces.h"

#include <fmt/format.h>
#include <unistd.h>

#include "support/child_process.h"

namespace veltrix::testing {
namespace {

constexpr const char* kPrefix = "/24";

bool run(const std::vector<std::string>& argv, std::string* why) {
  const CommandResult result = runCommand(argv);
  if (result.status == 0) return true;
  std::string command;
  for (const auto& arg : argv) command += (command.empty() ? "" : " ") + arg;
  *why = fmt::format("`{}` failed ({}): {}", command, result.status, result.output);
  return false;
}

}  // namespace

VethNamespaces::VethNamespaces(const std::string& tag)
    : library_(fmt::format("veltrix-lib-{}{}", ::getpid(), tag)),
      terminal_(fmt::format("veltrix-term-{}{}", ::getpid(), tag)) {}

VethNamespaces::~VethNamespaces() {
  for (const std::string& ns : created_) runCommand({"ip", "netns", "delete", ns});
}

bool VethNamespaces::create(std::string* why) {
  for (const std::string& ns : {library_, terminal_}) {
    if (!run({"ip", "netns", "add", ns}, why)) return false;
    created_.push_back(ns);
  }
  return run({"ip", "link", "add", kLibraryInterface, "netns", library_, "type", "veth", "peer",
              "name", kTerminalInterface, "netns", terminal_},
             why) &&
         run({"ip", "-n", library_, "addr", "add", std::string(kLibraryAddress) + kPrefix,
              "broadcast", kBroadcast, "dev", kLibraryInterface},
             why) &&
         run({"ip", "-n", terminal_, "addr", "add", std::string(kTerminalAddress) + kPrefix,
              "broadcast", kBroadcast, "dev", kTerminalInterface},
             why) &&
         run({"ip", "-n", library_, "link", "set", kLibraryInterface, "up"}, why) &&
         run({"ip", "-n", terminal_, "link", "set", kTerminalInterface, "up"}, why) &&
         run({"ip", "-n", library_, "link", "set", "lo", "up"}, why) &&
         run({"ip", "-n", terminal_, "link", "set", "lo", "up"}, why);
}

}  // namespace veltrix::testing
