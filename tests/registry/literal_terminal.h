// A payment terminal's discovery side written for the loopback tests from
// the wire formats themselves: its packets and handshakes are literal texts
// signed with its own MD5 code, independent of the library's records.
//
// It listens on 127.0.0.2 (UDP and TCP on free ports), answers handshakes
// with its own, optionally echoes every datagram (a terminal that answers
// every packet), and can speak first over TCP. Its sockets run on their own
// queue; observations are safe from the test thread. Everything closes on
// destruction.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "veltrix/platform/async_tcp.h"
#include "veltrix/platform/async_udp.h"
#include "veltrix/platform/io_queue.h"

namespace veltrix::registry::testpeer {

inline const std::string kTerminalHost = "127.0.0.2";
inline const std::string kLibraryHost = "127.0.0.1";

// MD5 as 32 upper-case hex digits.
std::string md5Hex(const std::string& text);
// The discover packet rule: MD5(MD5(t) + MD5(t + "418263") + "418263").
std::string packetSignature(const std::string& time);
// The handshake rule over the five signed fields.
std::string handshakeSignature(const std::string& sn, const std::string& address,
                               const std::string& parameter, const std::string& model,
                               const std::string& time);

class LiteralTerminal {
 public:
  struct Options {
    std::string sn = "TAVIO-SIM-0001";
    std::string model = "T1 Pro";
    std::string parameter = "http";
    std::string address = "127.0.0.2:8080";
    std::string time = "1700000000000";
    std::string services =
        R"([{"serviceId":"svc.pay","serviceName":"收银台","serviceType":{"Purchase":"消费","Refund":"退款"}}])";
    bool answerHandshakes = true;
    bool echoDatagrams = false;
  };

  // One connection the terminal opened to the library.
  class Connection {
   public:
    void write(const std::string& bytes);
    // Drops whatever is not yet written (see written()).
    void close();
    bool connected() const;
    bool closed() const;
    // Every write so far has been handed to the system.
    bool written() const;

   private:
    friend class LiteralTerminal;
    struct State;
    std::shared_ptr<State> state_;
    platform::AsyncTcpSocket::Ptr socket_;
  };

  explicit LiteralTerminal(Options options);
  LiteralTerminal() : LiteralTerminal(Options{}) {}
  ~LiteralTerminal();
  LiteralTerminal(const LiteralTerminal&) = delete;
  LiteralTerminal& operator=(const LiteralTerminal&) = delete;

  bool ok() const { return udpPort() != 0 && tcpPort() != 0; }
  std::uint16_t udpPort() const;
  std::uint16_t tcpPort() const;
  void setLibraryPorts(std::uint16_t udpPort, std::uint16_t tcpPort);

  std::string discoverPacket() const;
  std::string handshake() const;
  // Sends the discover packet to the library's UDP port.
  void sendDiscoverPacket();
  // Sends any text there.
  void sendDatagram(const std::string& text);
  std::shared_ptr<Connection> connectToLibrary();
  // A connection to any address, as a host elsewhere on the network would
  // open it.
  std::shared_ptr<Connection> connectTo(const std::string& host, std::uint16_t port);

  // Datagrams received, in order.
  std::vector<std::string> datagrams() const;
  // Complete JSON texts received on connections the library opened.
  std::vector<std::string> texts() const;
  // Connections the library opened / of those, the ones that ended.
  int accepted() const;
  int acceptedClosed() const;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace veltrix::registry::testpeer
