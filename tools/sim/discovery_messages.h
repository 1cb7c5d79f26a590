// What the simulated terminal says during discovery, written from literal
// formats and signed with the simulator's own MD5: its discover packet, its
// handshake (with its service entries), and the readers of what the library
// sends it (a discover packet to check, a pairing request to record).
//
// Pure functions over plain values; thread-safe.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace veltrix::sim {

// MD5(MD5(t) + MD5(t + "418263") + "418263"), upper-case.
std::string packetSignature(const std::string& time);
// MD5(MD5("DiscoverHandshakeBean{sn='…', address='…', parameter='…',
// model='…', time='…'}") + time), upper-case.
std::string handshakeSignature(const std::string& sn, const std::string& address,
                               const std::string& parameter, const std::string& model,
                               const std::string& time);

// Milliseconds since 1970 as decimal text, the way the wire carries times.
std::string wireTimeNow();

// {"isP2p":false,"time":"…","signature":"…","protocolVersion":"1.0.01"}
std::string discoverPacket(const std::string& time);
// True for a JSON object whose "time" and "signature" are texts and whose
// signature is the packet signature of that time.
bool isValidDiscoverPacket(std::string_view text);

// One entry of a handshake's "services": a service with the service types
// (service name, display name) it carries out.
struct ServiceEntry {
  std::string serviceId;
  std::string serviceName;
  std::string packageName;
  std::vector<std::pair<std::string, std::string>> types;
};

// A terminal's payment services (`paymentEntries` entries, identifiers
// "pay", "pay-2", …, each doing purchases, refunds and the rest of the card
// services) and one device service (display, printing, NFC).
std::vector<ServiceEntry> defaultServices(int paymentEntries = 1);
std::string servicesJson(const std::vector<ServiceEntry>& services);

// Who a terminal says it is in its handshake.
struct TerminalIdentity {
  std::string sn;
  std::string model;
  std::string address;    // its HTTP service, "host:port"
  std::string parameter;  // "http" or "http,ble"
  std::vector<ServiceEntry> services;
  bool isPeripheral = false;
};

// The terminal's handshake: sn, address, parameter, model, time, signature,
// services, the flags, "contentType" "discover" and "protocolVersion"
// "1.0.01"; compact.
std::string handshakeText(const TerminalIdentity& terminal, const std::string& time);

// A "request_auth" message as it reached the terminal.
struct PairingRequest {
  std::string terminalSn;  // the virtual terminal it reached
  std::string from;        // the sender's address
  std::string text;
  std::optional<std::string> random;
  std::optional<std::string> sn;
  std::optional<std::string> model;
  std::optional<std::string> authType;
  std::optional<std::string> initiation;
};
// The request in `text`, nullopt when it is not a JSON object with
// "msgType" "request_auth".
std::optional<PairingRequest> readPairingRequest(std::string_view text);

}  // namespace veltrix::sim
