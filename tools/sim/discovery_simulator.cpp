#include "sim/discovery_simulator.h"

#include <fmt/format.h>

#include <array>
#include <asio.hpp>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

namespace veltrix::sim {
namespace {

using asio::ip::tcp;
using asio::ip::udp;

// What a terminal buffers of one connection before it gives up on it.
constexpr std::size_t kMaxTextBytes = 256 * 1024;
constexpr auto kConnectTimeout = std::chrono::seconds(5);
constexpr int kBindAttempts = 16;

const std::array<const char*, 6> kModels = {"T1 Pro", "T2", "T1 Mini", "T3 Max", "T2 Lite", "T5"};

std::vector<std::string> cutText(const std::string& text, const std::vector<std::size_t>& cuts) {
  std::vector<std::string> pieces;
  std::size_t from = 0;
  for (std::size_t cut : cuts) {
    if (cut <= from || cut >= text.size()) continue;
    pieces.push_back(text.substr(from, cut - from));
    from = cut;
  }
  pieces.push_back(text.substr(from));
  return pieces;
}

// A complete JSON text ends with a closing bracket; only then is it parsed.
bool isCompleteJson(const std::string& text) {
  const std::size_t last = text.find_last_not_of(" \t\r\n");
  if (last == std::string::npos || (text[last] != '}' && text[last] != ']')) return false;
  return nlohmann::json::accept(text);
}

bool isHandshake(const std::string& text) {
  const nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
  if (!json.is_object()) return false;
  const auto it = json.find("contentType");
  return it != json.end() && it->is_string() && it->get<std::string>() == "discover";
}

}  // namespace

TerminalIdentity VirtualTerminal::identity() const {
  return TerminalIdentity{sn,        model,    address.empty() ? ip + ":8080" : address,
                          parameter, services, isPeripheral};
}

std::vector<VirtualTerminal> virtualTerminals(int count, const std::string& firstIp,
                                              std::uint16_t httpPort, int paymentEntries) {
  std::vector<VirtualTerminal> terminals;
  asio::error_code ec;
  const asio::ip::address_v4 first = asio::ip::make_address_v4(firstIp, ec);
  for (int k = 0; k < count; ++k) {
    VirtualTerminal terminal;
    terminal.sn = fmt::format("TAVIO-SIM-{:04}", k + 1);
    terminal.model = kModels[static_cast<std::size_t>(k) % kModels.size()];
    terminal.ip = ec ? firstIp : asio::ip::address_v4(first.to_uint() + k).to_string();
    terminal.address = fmt::format("{}:{}", terminal.ip, httpPort);
    terminal.services = defaultServices(paymentEntries);
    terminals.push_back(std::move(terminal));
  }
  return terminals;
}

class Session;

struct Terminal {
  VirtualTerminal config;  // never changes after the start
  std::atomic<bool> silent{false};
  std::unique_ptr<udp::socket> udpSocket;
  std::unique_ptr<tcp::acceptor> acceptor;
  std::array<char, 65536> udpBuffer{};
  udp::endpoint udpSender;
};

struct DiscoverySimulator::Impl {
  asio::io_context io;
  std::thread thread;
  DiscoveryOptions options;  // with the ports as bound
  std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();

  // Simulator thread only (fixed after the start: the list itself).
  std::vector<std::unique_ptr<Terminal>> terminals;
  std::unique_ptr<udp::socket> broadcast;
  std::array<char, 65536> broadcastBuffer{};
  udp::endpoint broadcastSender;
  std::set<std::shared_ptr<Session>> sessions;
  std::deque<std::function<void()>> waiting;
  std::size_t releases = 0;

  mutable std::mutex mutex;  // guards everything below
  mutable std::condition_variable changed;
  std::uint64_t version = 0;
  std::uint16_t libraryUdpPort = 0;
  std::uint16_t libraryTcpPort = 0;
  std::vector<ReceivedDatagram> datagrams;
  std::vector<ReceivedText> texts;
  std::vector<PairingRequest> pairings;
  std::size_t accepted = 0;
  std::size_t open = 0;
  std::size_t handshakes = 0;
  std::function<void(const std::string&)> log;
  bool stopped = false;

  template <typename Change>
  void record(Change&& change) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      change();
      ++version;
    }
    changed.notify_all();
  }

  void say(const std::string& line) {
    std::function<void(const std::string&)> sink;
    {
      std::lock_guard<std::mutex> lock(mutex);
      sink = log;
    }
    if (sink) sink(line);
  }

  bool isSilent(const Terminal& terminal) const {
    return terminal.silent ||
           (terminal.config.silentAfter &&
            std::chrono::steady_clock::now() - started >= *terminal.config.silentAfter);
  }

  Terminal* find(const std::string& sn) {
    for (auto& terminal : terminals) {
      if (terminal->config.sn == sn) return terminal.get();
    }
    return nullptr;
  }

  bool bindAll(std::string* error);
  void receive(Terminal& terminal);
  void receiveBroadcasts();
  void onDatagram(Terminal& terminal, std::string text, const udp::endpoint& from, bool broadcast);
  void sendPacket(Terminal& terminal, const std::string& ip);
  void accept(Terminal& terminal);
  void speakFirst(Terminal& terminal);
  void release();
  void whenReleased(std::function<void()> next);
};

// One TCP connection of a terminal, accepted or opened by it: collects the
// peer's text until it is complete JSON, records it, answers a handshake
// with the terminal's own. Simulator thread only.
class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(DiscoverySimulator::Impl& impl, Terminal& terminal, tcp::socket socket, bool outgoing)
      : impl_(impl),
        terminal_(terminal),
        socket_(std::move(socket)),
        timer_(impl.io),
        outgoing_(outgoing) {}

  tcp::socket& socket() { return socket_; }
  Terminal& terminal() { return terminal_; }
  asio::steady_timer& timer() { return timer_; }

  void start() {
    asio::error_code ec;
    socket_.set_option(tcp::no_delay(true), ec);
    const auto remote = socket_.remote_endpoint(ec);
    peer_ = ec ? std::string("?") : remote.address().to_string();
    read();
  }

  void sendHandshake() {
    const VirtualTerminal& config = terminal_.config;
    auto pieces = std::make_shared<std::vector<std::string>>(
        cutText(handshakeText(config.identity(), wireTimeNow()), config.handshakeCuts));
    writePiece(std::move(pieces), 0);
  }

  void close() {
    if (closed_) return;
    closed_ = true;
    asio::error_code ec;
    timer_.cancel();
    socket_.shutdown(tcp::socket::shutdown_both, ec);
    socket_.close(ec);
    if (!outgoing_) impl_.record([&] { --impl_.open; });
    impl_.sessions.erase(shared_from_this());
  }

 private:
  void read() {
    if (closed_) return;
    socket_.async_read_some(asio::buffer(chunk_),
                            [self = shared_from_this()](asio::error_code ec, std::size_t n) {
                              if (ec) {
                                self->close();
                                return;
                              }
                              self->received(n);
                            });
  }

  void received(std::size_t n) {
    buffer_.append(chunk_.data(), n);
    if (buffer_.size() > kMaxTextBytes) {
      impl_.say(fmt::format("{}: more than {} bytes of text from {}; connection closed",
                            terminal_.config.sn, kMaxTextBytes, peer_));
      close();
      return;
    }
    if (isCompleteJson(buffer_)) {
      std::string text = std::move(buffer_);
      buffer_.clear();
      onText(std::move(text));
    }
    read();
  }

  void onText(std::string text) {
    const std::string& sn = terminal_.config.sn;
    std::optional<PairingRequest> pairing = readPairingRequest(text);
    const bool handshake = !pairing && isHandshake(text);
    impl_.record([&] {
      impl_.texts.push_back(ReceivedText{sn, peer_, outgoing_, text});
      if (pairing) {
        pairing->terminalSn = sn;
        pairing->from = peer_;
        impl_.pairings.push_back(*pairing);
      }
    });
    if (pairing) {
      impl_.say(fmt::format("{}: pairing request from {} random={} sn={} model={}", sn, peer_,
                            pairing->random.value_or("-"), pairing->sn.value_or("-"),
                            pairing->model.value_or("-")));
      return;
    }
    if (!handshake) {
      impl_.say(fmt::format("{}: text from {} ignored ({} bytes)", sn, peer_, text.size()));
      return;
    }
    impl_.say(fmt::format("{}: handshake from {}", sn, peer_));
    if (!outgoing_ && !impl_.isSilent(terminal_)) sendHandshake();
  }

  void writePiece(std::shared_ptr<std::vector<std::string>> pieces, std::size_t index) {
    if (closed_) return;
    if (index >= pieces->size()) {
      impl_.record([&] { ++impl_.handshakes; });
      impl_.say(fmt::format("{}: handshake sent to {}", terminal_.config.sn, peer_));
      return;
    }
    auto write = [self = shared_from_this(), pieces, index] {
      if (self->closed_) return;
      asio::async_write(self->socket_, asio::buffer((*pieces)[index]),
                        [self, pieces, index](asio::error_code ec, std::size_t) {
                          if (ec) {
                            self->close();
                            return;
                          }
                          self->writePiece(pieces, index + 1);
                        });
    };
    auto go = [self = shared_from_this(), write, index] {
      if (self->terminal_.config.holdPieces && index > 0) {
        self->impl_.whenReleased(write);
      } else {
        write();
      }
    };
    const Millis delay = index > 0 ? terminal_.config.pieceDelay : Millis(0);
    if (delay <= Millis(0)) {
      go();
      return;
    }
    timer_.expires_after(delay);
    timer_.async_wait([self = shared_from_this(), go](asio::error_code ec) {
      if (!ec && !self->closed_) go();
    });
  }

  DiscoverySimulator::Impl& impl_;
  Terminal& terminal_;
  tcp::socket socket_;
  asio::steady_timer timer_;
  const bool outgoing_;
  std::string peer_;
  std::array<char, 16384> chunk_{};
  std::string buffer_;
  bool closed_ = false;
};

bool DiscoverySimulator::Impl::bindAll(std::string* error) {
  std::string failure;
  for (int attempt = 0; attempt < kBindAttempts; ++attempt) {
    terminals.clear();
    broadcast.reset();
    std::uint16_t udpPort = options.udpPort;
    std::uint16_t tcpPort = options.tcpPort;
    bool ok = true;
    for (const VirtualTerminal& config : options.terminals) {
      auto terminal = std::make_unique<Terminal>();
      terminal->config = config;
      try {
        const auto address = asio::ip::make_address(config.ip);
        terminal->udpSocket = std::make_unique<udp::socket>(io);
        terminal->udpSocket->open(udp::v4());
        if (options.receiveBroadcasts) {
          terminal->udpSocket->set_option(asio::socket_base::reuse_address(true));
        }
        terminal->udpSocket->bind({address, udpPort});
        udpPort = terminal->udpSocket->local_endpoint().port();
        terminal->acceptor = std::make_unique<tcp::acceptor>(io);
        terminal->acceptor->open(tcp::v4());
        terminal->acceptor->set_option(tcp::acceptor::reuse_address(true));
        terminal->acceptor->bind({address, tcpPort});
        terminal->acceptor->listen();
        tcpPort = terminal->acceptor->local_endpoint().port();
      } catch (const std::exception& e) {
        failure = fmt::format("{} cannot bind on {}: {}", config.sn, config.ip, e.what());
        ok = false;
        break;
      }
      terminals.push_back(std::move(terminal));
    }
    if (ok && options.receiveBroadcasts) {
      try {
        broadcast = std::make_unique<udp::socket>(io);
        broadcast->open(udp::v4());
        broadcast->set_option(asio::socket_base::reuse_address(true));
        broadcast->bind({asio::ip::address_v4::any(), udpPort});
      } catch (const std::exception& e) {
        failure = fmt::format("cannot receive broadcasts on port {}: {}", udpPort, e.what());
        ok = false;
      }
    }
    if (ok) {
      options.udpPort = udpPort;
      options.tcpPort = tcpPort;
      return true;
    }
    // Fixed ports: another attempt would meet the same owner.
    if (options.udpPort != 0 && options.tcpPort != 0) break;
  }
  terminals.clear();
  broadcast.reset();
  if (error != nullptr) *error = failure;
  return false;
}

void DiscoverySimulator::Impl::receive(Terminal& terminal) {
  terminal.udpSocket->async_receive_from(
      asio::buffer(terminal.udpBuffer), terminal.udpSender,
      [this, &terminal](asio::error_code ec, std::size_t n) {
        if (ec == asio::error::operation_aborted || !terminal.udpSocket->is_open()) return;
        if (!ec) {
          onDatagram(terminal, std::string(terminal.udpBuffer.data(), n), terminal.udpSender,
                     false);
        }
        receive(terminal);
      });
}

void DiscoverySimulator::Impl::receiveBroadcasts() {
  broadcast->async_receive_from(asio::buffer(broadcastBuffer), broadcastSender,
                                [this](asio::error_code ec, std::size_t n) {
                                  if (ec == asio::error::operation_aborted || !broadcast->is_open())
                                    return;
                                  if (!ec) {
                                    const std::string text(broadcastBuffer.data(), n);
                                    for (auto& terminal : terminals)
                                      onDatagram(*terminal, text, broadcastSender, true);
                                  }
                                  receiveBroadcasts();
                                });
}

void DiscoverySimulator::Impl::onDatagram(Terminal& terminal, std::string text,
                                          const udp::endpoint& from, bool broadcast) {
  const bool valid = isValidDiscoverPacket(text);
  const bool answer = valid && !isSilent(terminal);
  const std::string ip = from.address().to_string();
  const std::string sender = fmt::format("{}:{}", ip, from.port());
  record([&] {
    datagrams.push_back(
        ReceivedDatagram{terminal.config.sn, sender, std::move(text), broadcast, valid, answer});
  });
  say(fmt::format("{}: {} from {}{}{}", terminal.config.sn, valid ? "discover packet" : "datagram",
                  sender, broadcast ? " (broadcast)" : "", answer ? "; answered" : ""));
  if (answer) sendPacket(terminal, ip);
}

void DiscoverySimulator::Impl::sendPacket(Terminal& terminal, const std::string& ip) {
  std::uint16_t port = 0;
  {
    std::lock_guard<std::mutex> lock(mutex);
    port = libraryUdpPort;
  }
  asio::error_code ec;
  const auto address = asio::ip::make_address(ip, ec);
  if (ec || port == 0) return;
  auto packet = std::make_shared<std::string>(discoverPacket(wireTimeNow()));
  terminal.udpSocket->async_send_to(asio::buffer(*packet), udp::endpoint(address, port),
                                    [packet](asio::error_code, std::size_t) {});
}

void DiscoverySimulator::Impl::accept(Terminal& terminal) {
  terminal.acceptor->async_accept([this, &terminal](asio::error_code ec, tcp::socket socket) {
    if (ec) {
      if (ec != asio::error::operation_aborted && terminal.acceptor->is_open()) accept(terminal);
      return;
    }
    record([&] {
      ++accepted;
      ++open;
    });
    auto session = std::make_shared<Session>(*this, terminal, std::move(socket), false);
    sessions.insert(session);
    if (isSilent(terminal)) {
      say(fmt::format("{}: silent; connection closed", terminal.config.sn));
      session->close();
    } else {
      session->start();
    }
    accept(terminal);
  });
}

void DiscoverySimulator::Impl::speakFirst(Terminal& terminal) {
  const std::string& sn = terminal.config.sn;
  if (isSilent(terminal)) return;
  std::uint16_t port = 0;
  {
    std::lock_guard<std::mutex> lock(mutex);
    port = libraryTcpPort;
  }
  asio::error_code libraryError;
  asio::error_code ownError;
  const auto library = asio::ip::make_address(options.libraryIp, libraryError);
  const auto own = asio::ip::make_address(terminal.config.ip, ownError);
  if (libraryError || ownError || port == 0) return;
  asio::error_code ec;
  tcp::socket socket(io);
  socket.open(tcp::v4(), ec);
  if (!ec) socket.bind({own, 0}, ec);
  if (ec) {
    say(fmt::format("{}: cannot open a connection: {}", sn, ec.message()));
    return;
  }
  auto session = std::make_shared<Session>(*this, terminal, std::move(socket), true);
  sessions.insert(session);
  session->timer().expires_after(kConnectTimeout);
  session->timer().async_wait([session](asio::error_code e) {
    if (!e) session->close();
  });
  session->socket().async_connect(
      tcp::endpoint(library, port), [this, session, sn](asio::error_code e) {
        if (e) {
          if (e != asio::error::operation_aborted) {
            say(fmt::format("{}: cannot reach the library: {}", sn, e.message()));
          }
          session->close();
          return;
        }
        session->timer().cancel();
        say(fmt::format("{}: connected to the library; speaking first", sn));
        session->start();
        session->sendHandshake();
      });
}

void DiscoverySimulator::Impl::release() {
  if (waiting.empty()) {
    ++releases;
    return;
  }
  std::function<void()> next = std::move(waiting.front());
  waiting.pop_front();
  next();
}

void DiscoverySimulator::Impl::whenReleased(std::function<void()> next) {
  if (releases > 0) {
    --releases;
    next();
  } else {
    waiting.push_back(std::move(next));
  }
}

std::unique_ptr<DiscoverySimulator> DiscoverySimulator::start(DiscoveryOptions options,
                                                              std::string* error) {
  if (options.terminals.empty()) {
    if (error != nullptr) *error = "no terminals to simulate";
    return nullptr;
  }
  auto impl = std::make_shared<Impl>();
  impl->libraryUdpPort = options.libraryUdpPort;
  impl->libraryTcpPort = options.libraryTcpPort;
  impl->options = std::move(options);
  if (!impl->bindAll(error)) return nullptr;
  for (auto& terminal : impl->terminals) {
    impl->receive(*terminal);
    impl->accept(*terminal);
  }
  if (impl->broadcast) impl->receiveBroadcasts();
  impl->thread = std::thread([raw = impl.get()] { raw->io.run(); });
  return std::unique_ptr<DiscoverySimulator>(new DiscoverySimulator(std::move(impl)));
}

DiscoverySimulator::DiscoverySimulator(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}

DiscoverySimulator::~DiscoverySimulator() { stop(); }

void DiscoverySimulator::stop() {
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    if (impl_->stopped) return;
    impl_->stopped = true;
  }
  std::promise<void> closed;
  asio::post(impl_->io, [impl = impl_.get(), &closed] {
    asio::error_code ec;
    for (auto& terminal : impl->terminals) {
      terminal->udpSocket->close(ec);
      terminal->acceptor->close(ec);
    }
    if (impl->broadcast) impl->broadcast->close(ec);
    const auto sessions = impl->sessions;
    for (const auto& session : sessions) session->close();
    impl->sessions.clear();
    impl->waiting.clear();
    closed.set_value();
  });
  closed.get_future().wait();
  impl_->io.stop();
  if (impl_->thread.joinable()) impl_->thread.join();
}

std::uint16_t DiscoverySimulator::udpPort() const { return impl_->options.udpPort; }
std::uint16_t DiscoverySimulator::tcpPort() const { return impl_->options.tcpPort; }

std::vector<VirtualTerminal> DiscoverySimulator::terminals() const {
  std::vector<VirtualTerminal> out;
  for (const auto& terminal : impl_->terminals) out.push_back(terminal->config);
  return out;
}

void DiscoverySimulator::setLibraryPorts(std::uint16_t udpPort, std::uint16_t tcpPort) {
  impl_->record([&] {
    impl_->libraryUdpPort = udpPort;
    impl_->libraryTcpPort = tcpPort;
  });
}

void DiscoverySimulator::announce() {
  asio::post(impl_->io, [impl = impl_] {
    for (auto& terminal : impl->terminals) {
      if (!impl->isSilent(*terminal)) impl->sendPacket(*terminal, impl->options.libraryIp);
    }
  });
}

void DiscoverySimulator::announce(const std::string& sn) {
  asio::post(impl_->io, [impl = impl_, sn] {
    Terminal* terminal = impl->find(sn);
    if (terminal && !impl->isSilent(*terminal)) {
      impl->sendPacket(*terminal, impl->options.libraryIp);
    }
  });
}

void DiscoverySimulator::speakFirst() {
  asio::post(impl_->io, [impl = impl_] {
    for (auto& terminal : impl->terminals) impl->speakFirst(*terminal);
  });
}

void DiscoverySimulator::speakFirst(const std::string& sn) {
  asio::post(impl_->io, [impl = impl_, sn] {
    if (Terminal* terminal = impl->find(sn)) impl->speakFirst(*terminal);
  });
}

void DiscoverySimulator::setSilent(const std::string& sn, bool silent) {
  if (Terminal* terminal = impl_->find(sn)) terminal->silent = silent;
}

void DiscoverySimulator::release() {
  asio::post(impl_->io, [impl = impl_] { impl->release(); });
}

std::optional<std::string> DiscoverySimulator::handshake(const std::string& sn) const {
  for (const auto& terminal : impl_->terminals) {
    if (terminal->config.sn == sn) return handshakeText(terminal->config.identity(), wireTimeNow());
  }
  return std::nullopt;
}

std::vector<ReceivedDatagram> DiscoverySimulator::datagrams() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->datagrams;
}

std::vector<ReceivedText> DiscoverySimulator::texts() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->texts;
}

std::vector<PairingRequest> DiscoverySimulator::pairingRequests() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->pairings;
}

std::size_t DiscoverySimulator::acceptedConnections() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->accepted;
}

std::size_t DiscoverySimulator::openConnections() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->open;
}

std::size_t DiscoverySimulator::handshakesSent() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->handshakes;
}

bool DiscoverySimulator::waitUntil(const std::function<bool()>& done, Millis timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::unique_lock<std::mutex> lock(impl_->mutex);
  for (;;) {
    const std::uint64_t seen = impl_->version;
    lock.unlock();
    if (done()) return true;
    lock.lock();
    if (!impl_->changed.wait_until(lock, deadline, [&] { return impl_->version != seen; })) {
      lock.unlock();
      return done();
    }
  }
}

void DiscoverySimulator::setLog(std::function<void(const std::string&)> log) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->log = std::move(log);
}

}  // namespace veltrix::sim
