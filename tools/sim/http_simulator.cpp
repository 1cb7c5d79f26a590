#include "sim/http_simulator.h"

#include <fmt/format.h>

#include <array>
#include <asio.hpp>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <set>
#include <thread>

namespace veltrix::sim {
namespace {

using asio::ip::tcp;

constexpr std::size_t kMaxHeadBytes = 64 * 1024;
constexpr std::size_t kMaxBodyBytes = 64 * 1024 * 1024;

std::string trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return std::string(text);
}

}  // namespace

class Connection;

struct HttpSimulator::Impl {
  asio::io_context io;
  tcp::acceptor acceptor{io};
  std::thread thread;
  std::string host;
  std::uint16_t port = 0;

  mutable std::mutex mutex;
  mutable std::condition_variable changed;
  Scenario scenario;
  std::string serial = kTerminalSerial;
  Ledger ledger;
  std::vector<RecordedRequest> requests;
  std::size_t accepted = 0;
  std::size_t open = 0;
  std::function<void(const RecordedRequest&)> log;
  bool stopped = false;

  // Server thread only.
  std::set<std::shared_ptr<Connection>> live;
  std::deque<std::function<void()>> waiting;
  std::size_t releases = 0;

  void accept();
  void release();
  // Runs `next` now if a release is pending, else when the next one comes.
  void whenReleased(std::function<void()> next);
};

// One accepted connection: reads a request, plays its reply, and reads the
// next one while the connection stays alive. Server thread only.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(HttpSimulator::Impl& impl, tcp::socket socket, std::uint64_t id)
      : impl_(impl), socket_(std::move(socket)), timer_(impl.io), id_(id) {}

  void start() { read(); }

  void close() {
    if (closed_) return;
    closed_ = true;
    asio::error_code ec;
    socket_.shutdown(tcp::socket::shutdown_both, ec);
    socket_.close(ec);
    forget();
  }

  // Closes with a reset instead of an orderly shutdown.
  void reset() {
    if (closed_) return;
    closed_ = true;
    asio::error_code ec;
    socket_.set_option(asio::socket_base::linger(true, 0), ec);
    socket_.close(ec);
    forget();
  }

  void sendHead() {
    if (closed_) return;
    std::string head = fmt::format("HTTP/1.1 {} {}\r\n", reply_.status, reply_.reason);
    if (reply_.contentType) head += fmt::format("Content-Type: {}\r\n", *reply_.contentType);
    switch (reply_.framing) {
      case Framing::kChunked:
        head += "Transfer-Encoding: chunked\r\n";
        break;
      case Framing::kContentLength:
        head += fmt::format("Content-Length: {}\r\n", reply_.body().size());
        break;
      case Framing::kClose:
        head += "Connection: close\r\n";
        break;
    }
    for (const auto& [name, value] : reply_.headers) head += fmt::format("{}: {}\r\n", name, value);
    head += "\r\n";
    write(std::move(head), [self = shared_from_this()] {
      if (self->isHead_) {
        self->finish();
      } else {
        self->sendPiece(0);
      }
    });
  }

 private:
  enum class Parse { kNeedMore, kBad, kDone };

  void forget() {
    timer_.cancel();
    {
      std::lock_guard<std::mutex> lock(impl_.mutex);
      --impl_.open;
    }
    impl_.changed.notify_all();
    impl_.live.erase(shared_from_this());
  }

  void read() {
    if (closed_) return;
    socket_.async_read_some(asio::buffer(buffer_),
                            [self = shared_from_this()](asio::error_code ec, std::size_t n) {
                              if (ec) {
                                self->close();
                                return;
                              }
                              self->input_.append(self->buffer_.data(), n);
                              if (!self->busy_)
                                self->serveNext();
                              else if (self->holding_)
                                self->read();
                            });
  }

  void serveNext() {
    RecordedRequest request;
    switch (parse(request)) {
      case Parse::kNeedMore:
        read();
        return;
      case Parse::kBad:
        busy_ = true;
        write("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n",
              [self = shared_from_this()] { self->close(); });
        return;
      case Parse::kDone:
        respond(std::move(request));
        return;
    }
  }

  Parse parse(RecordedRequest& request) {
    const std::size_t end = input_.find("\r\n\r\n");
    if (end == std::string::npos) {
      return input_.size() > kMaxHeadBytes ? Parse::kBad : Parse::kNeedMore;
    }
    std::string_view head(input_.data(), end);
    std::size_t lineEnd = head.find("\r\n");
    const std::string_view requestLine = head.substr(0, lineEnd);
    const std::size_t sp1 = requestLine.find(' ');
    const std::size_t sp2 = requestLine.rfind(' ');
    if (sp1 == std::string_view::npos || sp2 == sp1) return Parse::kBad;
    request.method = std::string(requestLine.substr(0, sp1));
    request.target = std::string(requestLine.substr(sp1 + 1, sp2 - sp1 - 1));
    request.version = std::string(requestLine.substr(sp2 + 1));
    while (lineEnd != std::string_view::npos) {
      const std::size_t from = lineEnd + 2;
      lineEnd = head.find("\r\n", from);
      const std::string_view line = head.substr(
          from, lineEnd == std::string_view::npos ? std::string_view::npos : lineEnd - from);
      const std::size_t colon = line.find(':');
      if (colon == std::string_view::npos) return Parse::kBad;
      request.headers.emplace_back(std::string(line.substr(0, colon)),
                                   trim(line.substr(colon + 1)));
    }
    if (request.header("Transfer-Encoding")) return Parse::kBad;  // curl sends lengths
    std::size_t length = 0;
    if (const auto text = request.header("Content-Length")) {
      try {
        length = std::stoul(*text);
      } catch (...) {
        return Parse::kBad;
      }
      if (length > kMaxBodyBytes) return Parse::kBad;
    }
    if (input_.size() < end + 4 + length) return Parse::kNeedMore;
    request.body = input_.substr(end + 4, length);
    input_.erase(0, end + 4 + length);
    return Parse::kDone;
  }

  void respond(RecordedRequest request) {
    request.connection = id_;
    std::function<void(const RecordedRequest&)> log;
    {
      std::lock_guard<std::mutex> lock(impl_.mutex);
      reply_ = impl_.scenario.replyFor(request, impl_.serial, &impl_.ledger);
      impl_.requests.push_back(request);
      log = impl_.log;
    }
    impl_.changed.notify_all();
    if (log) log(request);
    isHead_ = request.method == "HEAD";
    busy_ = true;
    if (reply_.fault == Fault::kCloseWithoutData) {
      close();
      return;
    }
    after(reply_.headerDelay, [self = shared_from_this()] {
      if (self->reply_.waitForRelease) {
        self->impl_.whenReleased([self] { self->sendHead(); });
      } else {
        self->sendHead();
      }
    });
  }

  void sendPiece(std::size_t index) {
    if (closed_) return;
    if (index >= reply_.pieces.size()) {
      finish();
      return;
    }
    after(reply_.pieces[index].delay, [self = shared_from_this(), index] {
      if (self->reply_.pieces[index].waitForRelease) {
        self->impl_.whenReleased([self, index] { self->writePiece(index); });
      } else {
        self->writePiece(index);
      }
    });
  }

  void writePiece(std::size_t index) {
    if (closed_) return;
    std::string data = reply_.pieces[index].bytes;
    if (data.empty()) {
      sendPiece(index + 1);
      return;
    }
    if (reply_.framing == Framing::kChunked) {
      data = fmt::format("{:x}\r\n{}\r\n", data.size(), data);
    }
    write(std::move(data), [self = shared_from_this(), index] { self->sendPiece(index + 1); });
  }

  void finish() {
    if (reply_.fault == Fault::kHoldOpen) {
      holding_ = true;
      after(reply_.holdLimit, [self = shared_from_this()] { self->close(); });
      read();  // notices the client going away
      return;
    }
    if (reply_.fault == Fault::kReset) {
      reset();
      return;
    }
    auto next = [self = shared_from_this()] {
      if (self->reply_.framing == Framing::kClose) {
        self->close();
        return;
      }
      self->busy_ = false;
      self->serveNext();
    };
    if (reply_.framing == Framing::kChunked && !isHead_) {
      write("0\r\n\r\n", next);
    } else {
      next();
    }
  }

  void after(Millis delay, std::function<void()> next) {
    if (delay <= Millis(0)) {
      next();
      return;
    }
    timer_.expires_after(delay);
    timer_.async_wait([self = shared_from_this(), next = std::move(next)](asio::error_code ec) {
      if (!ec && !self->closed_) next();
    });
  }

  void write(std::string data, std::function<void()> next) {
    if (closed_) return;
    auto bytes = std::make_shared<std::string>(std::move(data));
    asio::async_write(socket_, asio::buffer(*bytes),
                      [self = shared_from_this(), bytes, next = std::move(next)](
                          asio::error_code ec, std::size_t) {
                        if (ec) {
                          self->close();
                          return;
                        }
                        if (!self->closed_) next();
                      });
  }

  HttpSimulator::Impl& impl_;
  tcp::socket socket_;
  asio::steady_timer timer_;
  const std::uint64_t id_;
  std::array<char, 16384> buffer_{};
  std::string input_;
  Reply reply_;
  bool isHead_ = false;
  bool busy_ = false;
  bool holding_ = false;
  bool closed_ = false;
};

void HttpSimulator::Impl::accept() {
  acceptor.async_accept([this](asio::error_code ec, tcp::socket socket) {
    if (ec) {
      if (ec != asio::error::operation_aborted && acceptor.is_open()) accept();
      return;
    }
    asio::error_code ignored;
    socket.set_option(tcp::no_delay(true), ignored);
    std::uint64_t id = 0;
    {
      std::lock_guard<std::mutex> lock(mutex);
      id = ++accepted;
      ++open;
    }
    changed.notify_all();
    auto connection = std::make_shared<Connection>(*this, std::move(socket), id);
    live.insert(connection);
    connection->start();
    accept();
  });
}

void HttpSimulator::Impl::release() {
  if (waiting.empty()) {
    ++releases;
    return;
  }
  std::function<void()> next = std::move(waiting.front());
  waiting.pop_front();
  next();
}

void HttpSimulator::Impl::whenReleased(std::function<void()> next) {
  if (releases > 0) {
    --releases;
    next();
  } else {
    waiting.push_back(std::move(next));
  }
}

std::unique_ptr<HttpSimulator> HttpSimulator::start(const std::string& host, std::uint16_t port,
                                                    std::string* error) {
  auto impl = std::make_shared<Impl>();
  try {
    const tcp::endpoint endpoint(asio::ip::make_address(host), port);
    impl->acceptor.open(endpoint.protocol());
    impl->acceptor.set_option(tcp::acceptor::reuse_address(true));
    impl->acceptor.bind(endpoint);
    impl->acceptor.listen();
    impl->host = host;
    impl->port = impl->acceptor.local_endpoint().port();
  } catch (const std::exception& e) {
    if (error != nullptr) *error = fmt::format("cannot listen on {}:{}: {}", host, port, e.what());
    return nullptr;
  }
  impl->accept();
  impl->thread = std::thread([raw = impl.get()] { raw->io.run(); });
  return std::unique_ptr<HttpSimulator>(new HttpSimulator(std::move(impl)));
}

HttpSimulator::HttpSimulator(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}

HttpSimulator::~HttpSimulator() { stop(); }

void HttpSimulator::stop() {
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    if (impl_->stopped) return;
    impl_->stopped = true;
  }
  std::promise<void> closed;
  asio::post(impl_->io, [impl = impl_.get(), &closed] {
    asio::error_code ec;
    impl->acceptor.close(ec);
    const auto connections = impl->live;
    for (const auto& connection : connections) connection->close();
    impl->live.clear();
    impl->waiting.clear();
    closed.set_value();
  });
  closed.get_future().wait();
  impl_->io.stop();
  if (impl_->thread.joinable()) impl_->thread.join();
}

const std::string& HttpSimulator::host() const { return impl_->host; }
std::uint16_t HttpSimulator::port() const { return impl_->port; }
std::string HttpSimulator::address() const {
  return fmt::format("{}:{}", impl_->host, impl_->port);
}
std::string HttpSimulator::url() const { return "http://" + address(); }

void HttpSimulator::setScenario(Scenario scenario) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->scenario = std::move(scenario);
}

void HttpSimulator::setSerial(std::string serial) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->serial = std::move(serial);
}

std::string HttpSimulator::serial() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->serial;
}

const Ledger& HttpSimulator::ledger() const { return impl_->ledger; }

void HttpSimulator::add(Reply reply, ReplyMatch match, bool repeat) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->scenario.add(std::move(reply), std::move(match), repeat);
}

void HttpSimulator::add(ReplyMaker maker, ReplyMatch match, bool repeat) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->scenario.add(std::move(maker), std::move(match), repeat);
}

void HttpSimulator::release() {
  asio::post(impl_->io, [impl = impl_] { impl->release(); });
}

std::vector<RecordedRequest> HttpSimulator::requests() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->requests;
}

std::size_t HttpSimulator::requestCount() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->requests.size();
}

void HttpSimulator::clearRequests() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->requests.clear();
  impl_->requests.shrink_to_fit();
}

std::size_t HttpSimulator::connectionCount() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->accepted;
}

std::size_t HttpSimulator::openConnectionCount() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->open;
}

bool HttpSimulator::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(impl_->mutex);
  return impl_->changed.wait_for(lock, timeout, [&] { return impl_->requests.size() >= count; });
}

void HttpSimulator::setRequestLog(std::function<void(const RecordedRequest&)> log) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->log = std::move(log);
}

}  // namespace veltrix::sim
