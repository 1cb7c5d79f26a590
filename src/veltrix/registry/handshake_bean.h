// The handshake: the JSON record that this device and a terminal exchange
// once the terminal has been found (over TCP on the LAN and over Bluetooth
// LE). HandshakeBean builds the own handshake (device identifier, Wi-Fi
// address, transports, model, pairing state, signature), writes it as
// compact JSON, and parses a terminal's handshake. The own text is also
// what the scan screen's QR code shows.
//
// Own text: 13 members in ascending name order, no whitespace, no
// "services". Signature: MD5(MD5("DiscoverHandshakeBean{sn='…', address='…',
// parameter='…', model='…', time='…'}") + time), upper-case hex, no salt.
//
// A plain value made and dropped within one call on the main loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "veltrix/platform/json.h"

namespace veltrix::registry {

class CommunicationSettings;
class DatabaseManager;

// The discovery values every handshake carries.
inline constexpr std::string_view Content_Type = "discover";
inline constexpr std::string_view Protocol_Version = "1.0.01";

// Levels of a received "services" value that are kept.
inline constexpr std::size_t kServicesDepth = 3;

// What the own handshake is made of: read fresh for every send, or once
// for a pass that hands it to every stored terminal.
struct OwnDeviceInfo {
  std::string sn;                     // the device identifier
  std::string wifiAddress = "error";  // dotted IPv4, "error" without Wi-Fi
  std::uint16_t httpServicePort = 8080;
  bool lanEnabled = true;
  bool bleEnabled = false;
  std::string model;            // hardware model ("x86_64")
  bool pairingEnabled = false;  // the pairing row has a device and a status other than 0

  // Reads the device identifier, the LAN switch, then the Bluetooth LE
  // switch, the hardware model and this device's pairing row.
  static OwnDeviceInfo current(DatabaseManager& database, CommunicationSettings& settings,
                               std::string wifiAddress, std::uint16_t httpServicePort = 8080);
};

struct HandshakeBean {
  std::optional<std::string> sn;
  std::optional<std::string> address;    // "host:port"
  std::optional<std::string> parameter;  // "http,ble", "ble" or "http"
  std::optional<std::string> time;
  std::optional<std::string> model;
  std::optional<std::string> signature;
  // An array (terminals only), as received down to kServicesDepth levels
  // (the list, its entries, their service types); deeper values are null.
  std::optional<platform::Json> services;
  std::optional<std::vector<std::string>> authTypes;  // own handshake only
  std::optional<std::string> msgType;
  std::optional<std::string> code;
  std::optional<std::string> message;
  std::optional<std::string> authType;
  std::optional<std::string> authStatus;
  std::optional<std::string> contentType;
  std::optional<std::string> protocolVersion;
  bool requireResponse = false;
  bool isCommuincationDevice = false;  // sic: the member terminals send
  bool isP2p = false;
  bool isPeripheral = false;

  // The own handshake from `info`, stamped with the current time.
  static HandshakeBean initBeanWithSelfInfo(const OwnDeviceInfo& info);
  // The same from the process-wide database and settings and the Wi-Fi
  // address of the platform (what the QR code shows).
  static HandshakeBean initBeanWithSelfInfo();

  // A received handshake. Members are read leniently: texts as they are,
  // numbers as decimal text, other types absent; "services" only when it
  // is an array; a flag is true for true or a non-zero number. A text that
  // is not a JSON object gives an empty record (a parse error is logged as
  // "Failed to parse JSON: …").
  static HandshakeBean initHandshakeBean(std::optional<std::string_view> text);
  // The same from a parsed text.
  static HandshakeBean fromJson(const platform::Json& json);

  std::string toSignatureString() const;
  std::string calcSignature() const;
  // Recomputes and stores the signature, then writes the 13 members.
  // nullopt (logged) when a text is not valid UTF-8.
  std::optional<std::string> toJSONString();
  // The wire text of any JSON value; nullopt (logged) when it cannot be
  // written.
  static std::optional<std::string> objectToJSONString(const std::optional<platform::Json>& object);
  // True when time and signature are present, non-empty and the signature
  // matches.
  bool checkBean() const;
  // The device identifier of this installation.
  static std::string getUUID();
};

}  // namespace veltrix::registry
