// Asio behind the socket layer. Included only by the platform layer's own
// sources: nothing outside src/veltrix/platform sees Asio.
#pragma once

#include <asio/error.hpp>
#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <atomic>
#include <optional>
#include <string>
#include <thread>

#include "veltrix/platform/io_queue.h"
#include "veltrix/platform/process_exit.h"
#include "veltrix/platform/socket_error.h"

namespace veltrix::platform {

struct IoQueue::Impl {
  std::string label;
  asio::io_context io{1};
  std::optional<asio::executor_work_guard<asio::io_context::executor_type>> work;
  OwnedThread thread;
  std::atomic<std::thread::id> threadId{};
  ExitStop exitStop;
};

// The socket layer's error for an Asio error code.
SocketError toSocketError(const asio::error_code& ec);

}  // namespace veltrix::platform
