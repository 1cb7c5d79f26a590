// The Bluetooth LE transport: the library's one central. It scans for
// terminals, connects them, keeps one connection record per terminal serial
// number (SN), and carries request messages to a terminal as framed JSON
// (ble_frame.h) written in 512-byte packets, handing back what the terminal
// notifies: discovery handshakes to its delegate, event notifications to
// the request's progress block, anything else to its result block.
//
// Terminals are known by SN. The SN comes from the advertisement's
// manufacturer data (the bytes after the two-byte company identifier, when
// there are more than 12 bytes and they are UTF-8), else it is the
// peripheral's identifier text. The peripheral identifier only serves to
// find the SN again in the radio's callbacks.
//
// Threads: lives on the main loop. Call it there; every block and delegate
// call comes from there (the synchronous failures of a send and of a
// connect come during the call). The tables have no lock.
// Ownership: the service owns its central, its records and the blocks given
// to it; the delegate is held weakly. One process-wide instance
// (sharedService(), on the process's simulated radio); tests build their own
// on a radio of their own. Non-copyable.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "veltrix/model/abort_reprint_results.h"
#include "veltrix/platform/ble/ble.h"
#include "veltrix/platform/bytes.h"
#include "veltrix/platform/clock.h"
#include "veltrix/platform/user_defaults.h"
#include "veltrix/transport/communicate_service.h"

namespace veltrix::transport {

// The terminal's GATT service and its two characteristics, compared
// without regard to case.
inline constexpr std::string_view kBleServiceUUID = "4f565453-4341-5042-5453-657276696365";
inline constexpr std::string_view kBleWriteCharacteristicUUID =
    "52784341-5350-5265-7175-657374000000";
inline constexpr std::string_view kBleReadCharacteristicUUID =
    "52784341-5350-5265-7370-6F6E73650000";
// The user-defaults key of the last device connected.
inline constexpr std::string_view kLastDeviceUUIDKey = "BLE_Last_Connect_Device_UUID";

enum class BLEConnectStatus : std::int64_t {
  Disconnected = 0,
  Connecting = 1,
  Ready = 2,
  Failed = 3,
};

// One scan result. The settings screens also fill such records from stored
// devices.
struct BLEPeripheralModel {
  std::shared_ptr<platform::ble::Peripheral> peripheral;
  // The advertised name, "Unknown Device" when there is none.
  std::optional<std::string> name;
  // The peripheral identifier's UUID text.
  std::optional<std::string> uuidString;
  std::optional<std::int64_t> rssi;
  // The terminal's SN.
  std::optional<std::string> manufacturerName;
};

// (success, message, SN).
using BLEConnectCompletion = std::function<void(bool success, std::optional<std::string> message,
                                                std::optional<std::string> sn)>;
class BLEDeviceConnection;
// (finished, a connection or nullptr, SN).
using BLEScanAndConnectCompletion = std::function<void(
    bool finished, std::shared_ptr<BLEDeviceConnection> connection, std::optional<std::string> sn)>;
// (success, message).
using BLEAutoConnectCompletion =
    std::function<void(bool success, std::optional<std::string> message)>;
using BLEScanSingleBlock = std::function<void(const BLEPeripheralModel& model)>;
using BLEScanResultBlock = std::function<void(const std::vector<BLEPeripheralModel>& models)>;
// (status, message, SN) on every change of a connection's state.
using BLEConnectStatusChangeBlock = std::function<void(
    BLEConnectStatus status, std::optional<std::string> message, std::optional<std::string> sn)>;
// Turns the text of an "EventNotification" message into its record;
// nullptr when it cannot.
using BLENotificationParser =
    std::function<std::shared_ptr<const model::EventNotificationParam>(const std::string& text)>;

// One terminal's connection and its current request. Made by the service
// for each connection attempt and kept in its table under the SN; readers
// outside the transport look at connectStatus and manufacturerName only.
// Lives on the main loop; non-copyable.
class BLEDeviceConnection {
 public:
  BLEDeviceConnection(std::shared_ptr<platform::ble::Peripheral> peripheral,
                      std::optional<std::string> manufacturerName);
  BLEDeviceConnection(const BLEDeviceConnection&) = delete;
  BLEDeviceConnection& operator=(const BLEDeviceConnection&) = delete;

  std::shared_ptr<platform::ble::Peripheral> peripheral;
  std::optional<std::string> uuidString;
  // The SN; the record's key.
  std::optional<std::string> manufacturerName;
  BLEConnectStatus connectStatus = BLEConnectStatus::Disconnected;
  // Found by UUID; the write characteristic may be found late, at a send.
  std::shared_ptr<platform::ble::Characteristic> writeCharacteristic;
  std::shared_ptr<platform::ble::Characteristic> readCharacteristic;

  // The current request: it stays after its answer until the next send.
  CommunicateProgressBlock progressBlock;
  CommunicateResultBlock resultBlock;
  std::optional<std::string> exchangeId;
  std::optional<std::string> serviceType;
  std::optional<std::string> requestData;
  // True once the current request had its response or its error (and while
  // there is none): later errors only reach the log.
  bool answered = true;

  // Completion of the connection attempt; cleared once called.
  BLEConnectCompletion connectCompletionBlock;

  // The packets being written, the one being written, and whether writing
  // goes on.
  std::vector<platform::Bytes> pendingSendData;
  std::int64_t currentSendIndex = 0;
  bool isSendingData = false;

  // Bookkeeping of the transport (not part of the record's meaning).
  // Which request each pending packet belongs to (0: a handshake).
  std::vector<std::uint64_t> pendingPacketOwners;
  // The owners of the writes awaiting confirmation, oldest first.
  std::vector<std::uint64_t> writesInFlight;
  // Numbers the requests of this record, from 1.
  std::uint64_t requestNumber = 0;
  // Last time the terminal was heard during the current request.
  platform::TimePoint lastHeard{};
  bool responseTimerRunning = false;
};

// Receives the terminals' discovery handshakes. Called on the main loop.
class BLECommunicateServiceDelegate {
 public:
  virtual ~BLECommunicateServiceDelegate() = default;
  // `text`: the handshake message as received; `sn`: the terminal's SN.
  virtual void didReceiveData(const std::string& text, const std::string& sn) = 0;
};

class BLECommunicateService final : public CommunicateServiceProtocol {
 public:
  // Within this time after the call, connectPeripheralWithSN() must have
  // found the terminal and autoConnectLastDevice() connected it.
  static constexpr double kConnectTimeoutSeconds = 3.0;
  // How long connectPeripheralWithSN() then waits for an attempt under way
  // before it gives up on it.
  static constexpr double kConnectAttemptGraceSeconds = 10.0;
  // A request that hears nothing from its terminal this long ends with -10.
  static constexpr double kResponseTimeoutSeconds = 180.0;

  // The process-wide transport on SimRadio::shared() with the standard user
  // defaults, made on first use.
  static BLECommunicateService& sharedService();
  static std::shared_ptr<BLECommunicateService> sharedServicePtr();

  // A transport on `central` (it becomes the central's delegate) that keeps
  // its last device in `defaults` (which must outlive it).
  BLECommunicateService(std::shared_ptr<platform::ble::CentralManager> central,
                        platform::UserDefaults& defaults);
  ~BLECommunicateService() override;
  BLECommunicateService(const BLECommunicateService&) = delete;
  BLECommunicateService& operator=(const BLECommunicateService&) = delete;

  // The transport interface's initialiser: keeps `address` (an SN) and
  // returns this transport.
  BLECommunicateService& initWithServiceAddress(std::optional<std::string> address);

  void setDelegate(std::weak_ptr<BLECommunicateServiceDelegate> delegate);
  void setConnectStatusChangeBlock(BLEConnectStatusChangeBlock block);
  // How event notifications become records: by default the codec's
  // notification parser over the message's "response" object; an empty
  // parser hands the progress block nullptr.
  void setNotificationParser(BLENotificationParser parser);

  const std::shared_ptr<platform::ble::CentralManager>& centralManager() const;
  // SN to record, in every state.
  const std::map<std::string, std::shared_ptr<BLEDeviceConnection>>& connectedDevices() const;
  const std::optional<std::string>& serviceUUIDString() const;
  std::string serviceCharacteristicUUID() const { return std::string(kBleServiceUUID); }
  std::string writeCharacteristicUUID() const { return std::string(kBleWriteCharacteristicUUID); }
  std::string readCharacteristicUUID() const { return std::string(kBleReadCharacteristicUUID); }
  // The de-duplicated results of the list scan under way.
  const std::vector<BLEPeripheralModel>& scanPeripheralList() const;

  // ---- scanning ----------------------------------------------------------
  // Scans for terminals (the terminal service, no duplicates) and calls
  // `block` for every report. Does nothing while Bluetooth is not on.
  void startScan(BLEScanSingleBlock block);
  // Scans for `serviceUUID` (every device when absent or empty) and calls
  // `block` with the whole de-duplicated list at every report. While
  // Bluetooth is not on, or for a UUID text that is not one, `block` gets
  // an empty list once.
  void startScanWithServiceUUID(const std::optional<std::string>& serviceUUID,
                                BLEScanResultBlock block);
  // Stops the scan, drops both scan blocks and the list, and ends a pending
  // scan-and-connect with (true, nullptr, nullopt).
  void stopScan();

  // ---- connecting --------------------------------------------------------
  // Connects the scanned `model` under its SN (its identifier text when it
  // has none): remembers it as the last device, stops the scan, and calls
  // `completion` once the terminal is ready or the attempt failed. A record
  // that is connecting or ready answers at once.
  void connectPeripheralWithModel(const std::optional<BLEPeripheralModel>& model,
                                  BLEConnectCompletion completion);
  // Scans for the terminal whose SN is `sn` (any case) and connects it.
  // `completion` is called exactly once: at once for an empty SN or a ready
  // terminal; with the attempt's outcome; or (false, "Device not found")
  // when no terminal was found within kConnectTimeoutSeconds, or its
  // attempt has not ended kConnectAttemptGraceSeconds later.
  void connectPeripheralWithSN(const std::optional<std::string>& sn,
                               BLEConnectCompletion completion);
  // Connects every newly seen terminal; see the discovery manager. Already
  // connected terminals are reported with (false, connection, nullopt); the
  // first new terminal's attempt ends the run with (true, nullptr, nullopt).
  void scanAndAutoConnectWithCompletion(BLEScanAndConnectCompletion completion);
  // Reconnects the last device (matched by identifier text or SN).
  void autoConnectLastDevice(BLEAutoConnectCompletion completion);

  // Asks the radio to end the terminal's link; the record goes when the
  // radio confirms.
  void disconnectDeviceWithSN(const std::optional<std::string>& sn);
  void disconnectAllDevices();

  std::shared_ptr<BLEDeviceConnection> getConnectionBySN(
      const std::optional<std::string>& sn) const;
  bool isDeviceConnectedWithSN(const std::optional<std::string>& sn) const;

  // ---- last device -------------------------------------------------------
  static std::string lastDeviceUUIDKey() { return std::string(kLastDeviceUUIDKey); }
  std::optional<std::string> getLastConnectDeviceUUID() const;
  bool isLastConnectDevice() const;
  void clearLastConnectDevice();

  // 0 "Bluetooth state unknown" ... 5 "Bluetooth is on", else "Bluetooth
  // state abnormal".
  static std::string bluetoothStateToString(std::int64_t state);

  // ---- sending -----------------------------------------------------------
  // The transport interface: `address` is the terminal's SN.
  void sendRequest(std::optional<std::string> request, std::optional<std::string> exchangeId,
                   std::optional<std::string> serviceType, std::optional<std::string> address,
                   CommunicateProgressBlock progress, CommunicateResultBlock result) override;
  // Sends `request` to the terminal `targetUUID` (an SN; the only terminal
  // when absent or empty and there is exactly one). A request with an
  // exchange identifier becomes the record's current request, replacing the
  // one before (whose blocks are then never called). One without (the
  // discovery handshake) is written behind what is being written and leaves
  // the current request alone; its own failures go to its own block.
  //
  // Failures, each once, with no response and end flag true: -1 "Target
  // UUID is required for multi-device connection", -2 "Device not
  // connected", -3 "Device not ready" (during the call), -4 "Bluetooth is
  // not enabled", -5 "Device not connected or empty data", -6 "Data
  // encoding failed", -7 "Write characteristic not found", -8 the state text
  // when Bluetooth goes off, -9 "Receive data failed", -10 "Response
  // timeout", -11 "Data write failed"; -2 also when the terminal disconnects
  // before its answer. A response is (text, exchange identifier, true,
  // service type, 0, "Data received successfully").
  void sendRequestWithTargetUUID(std::optional<std::string> request,
                                 std::optional<std::string> exchangeId,
                                 std::optional<std::string> serviceType,
                                 std::optional<std::string> targetUUID,
                                 CommunicateProgressBlock progress, CommunicateResultBlock result);

  struct Impl;

 private:
  std::shared_ptr<Impl> impl_;
};

}  // namespace veltrix::transport
