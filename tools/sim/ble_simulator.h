// The simulated Tavio terminal's Bluetooth LE side: one terminal on the
// library's simulated radio (platform/ble/sim_radio.h). It advertises the
// terminal service with its serial number in the manufacturer data, offers
// the write and notify characteristics, reads the frames a central writes
// and answers them as a terminal does:
//
//   - a "discover" message (the library's handshake) with its own handshake
//     (discovery_messages.h), after handshakeDelay;
//   - any other message (a casp request) with the first scripted reply that
//     matches its serviceType, else the default reply of default_scenario.h
//     (two event notifications and the response), else nothing.
//
// Every message goes out as one frame in notifications of at most `mtu`
// bytes (20, 185, 244 and 512 are the sizes links negotiate). Frames are
// written and read with the simulator's own code (ble_frames.h); the only
// part of the library it uses is the radio.
//
// Faults, chosen per reply, act on its last message (the response): its
// frame starts with a wrong byte, carries a wrong check byte, goes out in
// one notification together with the message before it, is padded beyond
// 4096 bytes, or is replaced by a notification error, by the terminal
// dropping the link, or by the radio powering off. failWrite() makes the
// terminal refuse a write of the central (the radio confirms it with an
// error); a frame left unfinished is given up when no write has come for a
// second.
//
// Times are on the process clock (a ManualClock in tests), like the radio's.
//
// Threads: lives on the radio's queue (the main loop); call it there.
// Ownership: refers to the radio, which must outlive it; it puts its device
// in range when made and takes it out of range when destroyed. Non-copyable.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/ble_frames.h"
#include "sim/discovery_messages.h"
#include "sim/ledger.h"
#include "sim/reply.h"
#include "veltrix/platform/ble/sim_radio.h"

namespace veltrix::sim {

// The terminal's GATT service and characteristics, as the terminal defines
// them.
inline constexpr const char* kBleTerminalService = "4F565453-4341-5042-5453-657276696365";
inline constexpr const char* kBleTerminalWrite = "52784341-5350-5265-7175-657374000000";
inline constexpr const char* kBleTerminalNotify = "52784341-5350-5265-7370-6F6E73650000";

enum class BleFault {
  kNone,
  kBadFirstByte,                // the response's frame begins with 0x01
  kBadLrc,                      // the response's check byte is inverted
  kTwoFramesInOneNotification,  // the response shares a notification with the message before
  kOversizedFrame,              // the response is padded to oversizeBytes
  kNotifyError,                 // a notification error instead of the response
  kDisconnect,                  // the terminal drops the link instead of responding
  kPowerOff,                    // the radio powers off instead of the response
};

struct BleMessage {
  std::string text;
  // Pause before this message.
  Millis delay{0};
};

struct BleReply {
  std::vector<BleMessage> messages;
  BleFault fault = BleFault::kNone;

  // One message per text, each after `gap`.
  static BleReply of(const std::vector<std::string>& texts, Millis gap = Millis(0),
                     BleFault fault = BleFault::kNone);
};

using BleReplyMaker = std::function<BleReply(const RecordedRequest&)>;

struct BleTerminalOptions {
  std::string sn = "TAVIO-SIM-0001";
  std::string model = "T1 Pro";
  // Its HTTP service as its handshake gives it; empty for a terminal that
  // is reached over Bluetooth LE only.
  std::string address;
  std::string parameter = "ble";
  std::vector<ServiceEntry> services = defaultServices();
  // The advertised name.
  std::string name = "Tavio T1 Pro";
  // The radio's identifier of the device; a fresh one when absent.
  std::optional<std::string> identifier;
  // As advertised; by default 0xFF 0xFF followed by the serial number.
  std::optional<ByteString> manufacturerData;
  // Largest notification.
  std::size_t mtu = 185;
  // Pause before each message of a default reply.
  Millis gap{100};
  Millis handshakeDelay{50};
  // Pad of an oversized response: its frame is at least this long.
  std::size_t oversizeBytes = 6000;
  bool answerHandshakes = true;
  bool defaults = true;

  TerminalIdentity identity() const;
};

class BleSimulator {
 public:
  BleSimulator(platform::ble::SimRadio& radio, BleTerminalOptions options = {});
  ~BleSimulator();
  BleSimulator(const BleSimulator&) = delete;
  BleSimulator& operator=(const BleSimulator&) = delete;

  const std::string& sn() const;
  // The radio's identifier of the terminal.
  const std::string& identifier() const;
  platform::ble::SimPeripheralDevice& device();

  // Scripted replies, taken in the order added by the first request they
  // match (a repeating one stays).
  void add(BleReply reply, ReplyMatch match = {}, bool repeat = false);
  void add(BleReplyMaker maker, ReplyMatch match = {}, bool repeat = false);
  void setDefaultsEnabled(bool enabled);
  void setMtu(std::size_t mtu);
  void setAnswerHandshakes(bool answer);
  // The `packet`-th write of the central from now on (1 = the next) is
  // refused.
  void failWrite(std::int64_t packet);

  // Sends a message now, as one frame in notifications of the link size;
  // false when no central listens.
  bool send(std::string_view text);
  // Sends raw bytes in notifications of at most `chunk` bytes.
  bool sendBytes(const ByteString& bytes, std::size_t chunk);
  // Drops the link.
  void disconnect();

  // casp requests received (complete, valid frames), oldest first.
  std::vector<std::string> requests() const;
  // "discover" messages received.
  std::vector<std::string> handshakes() const;
  // Handshakes the terminal sent.
  std::size_t handshakesSent() const;
  // Frames whose end byte or check byte was wrong.
  std::size_t badFrames() const;
  // The size of every write and of every notification, in order.
  std::vector<std::size_t> writeSizes() const;
  std::vector<std::size_t> notificationSizes() const;
  // What its default replies approved since it was made.
  const Ledger& ledger() const;
  // The terminal's handshake as it would send it now.
  std::string handshake() const;

  // Called with a line for everything that happens.
  void setLog(std::function<void(const std::string&)> log);

  struct Impl;

 private:
  std::shared_ptr<Impl> impl_;
};

}  // namespace veltrix::sim
