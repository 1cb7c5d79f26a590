#include "veltrix/transport/ble_communicate_service.h"

#include <algorithm>
#include <exception>
#include <set>
#include <utility>

#include "veltrix/codec/event_notification_parser.h"
#include "veltrix/platform/ble/sim_radio.h"
#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/json.h"
#include "veltrix/platform/log.h"
#include "veltrix/transport/ble_frame.h"
#include "veltrix/transport/kv_iso_utils.h"
#include "veltrix/transport/text_utf.h"

namespace veltrix::transport {
namespace {

namespace ble = ::veltrix::platform::ble;
using ::veltrix::platform::Bytes;
using ::veltrix::platform::logf;
using ::veltrix::platform::logLine;

constexpr std::string_view kUnknownDevice = "Unknown Device";
constexpr std::string_view kStartConnecting = "Start connecting device";
constexpr std::string_view kReady = "Device connected and ready for communication";
constexpr std::string_view kDeviceNotFound = "Device not found";
constexpr std::string_view kAutoConnectNotFound = "Auto connect failed: device not found";
constexpr std::string_view kTargetNotFound = "Target characteristics not found";
constexpr std::string_view kDeviceNotConnected = "Device not connected";
constexpr std::string_view kDiscoverContentType = "discover";
constexpr std::string_view kDiscoverProtocolVersion = "1.0.01";
// The manufacturer data must be longer than this to carry an SN.
constexpr std::size_t kMinManufacturerDataBytes = 12;
// The two bytes of the company identifier in front of the SN.
constexpr std::size_t kCompanyIdBytes = 2;

// Calls a host block with copies of it and its arguments, so that it may
// replace itself, and keeps an exception it throws from unwinding through
// the transport's state changes.
template <typename Block, typename... Args>
void callBlock(const Block& block, Args&&... args) {
  if (!block) return;
  const Block copy = block;
  try {
    copy(std::forward<Args>(args)...);
  } catch (const std::exception& e) {
    logf("BLECommunicateService: a block threw: {}", e.what());
  } catch (...) {
    logLine("BLECommunicateService: a block threw");
  }
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto lower = [](char c) {
             return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
           };
           return lower(x) == lower(y);
         });
}

std::optional<std::string> nonEmpty(const std::optional<std::string>& text) {
  if (text && !text->empty()) return text;
  return std::nullopt;
}

std::string orNull(const std::optional<std::string>& text) { return text.value_or("(null)"); }

std::string errorText(const std::optional<ble::BleError>& error) {
  return error ? error->localizedDescription : "(null)";
}

ble::BleUuid uuidOf(std::string_view text) {
  return ble::BleUuid::fromString(text).value_or(ble::BleUuid());
}

// The SN a terminal advertises, or its identifier text.
std::string serialNumberOf(const ble::AdvertisementData& advertisement,
                           const std::string& identifier) {
  const std::optional<Bytes>& data = advertisement.manufacturerData;
  if (data && data->size() > kMinManufacturerDataBytes) {
    std::string sn(data->begin() + kCompanyIdBytes, data->end());
    if (isValidUtf8(sn)) return sn;
    logf("manufacturerData is not UTF-8, using the identifier as SN: uuid = {}", identifier);
  }
  return identifier;
}

// The record of an "EventNotification" message: its "response" object read
// by the codec's notification parser.
std::shared_ptr<const model::EventNotificationParam> parseEventNotification(
    const std::string& text) {
  const std::optional<platform::Json> json = platform::parseJson(text);
  if (!json || !json->is_object()) return nullptr;
  const auto body = json->find("response");
  return codec::EventNotificationParamBuilder::parseBodyFromDictionary(
      body == json->end() ? nullptr : &*body);
}

// A completion that runs once however often it is called.
struct OnceCompletion {
  explicit OnceCompletion(BLEConnectCompletion b) : block(std::move(b)) {}
  void fire(bool success, std::optional<std::string> message, std::optional<std::string> sn) {
    if (done) return;
    done = true;
    const BLEConnectCompletion b = std::move(block);
    block = nullptr;
    callBlock(b, success, std::move(message), std::move(sn));
  }
  BLEConnectCompletion block;
  bool done = false;
};

}  // namespace

BLEDeviceConnection::BLEDeviceConnection(std::shared_ptr<ble::Peripheral> p,
                                         std::optional<std::string> sn)
    : peripheral(std::move(p)), manufacturerName(std::move(sn)) {
  if (peripheral) uuidString = peripheral->identifier();
}

struct BLECommunicateService::Impl final : ble::CentralDelegate,
                                           ble::PeripheralDelegate,
                                           std::enable_shared_from_this<Impl> {
  Impl(std::shared_ptr<ble::CentralManager> c, platform::UserDefaults& d)
      : central(std::move(c)), defaults(d), notificationParser(&parseEventNotification) {}

  std::shared_ptr<ble::CentralManager> central;
  platform::UserDefaults& defaults;
  std::weak_ptr<BLECommunicateServiceDelegate> delegate;
  std::map<std::string, std::shared_ptr<BLEDeviceConnection>> connectedDevices;
  std::optional<std::string> serviceUUIDString;
  BLEScanSingleBlock scanSingleDeviceBlock;
  BLEConnectStatusChangeBlock connectStatusChangeBlock;
  std::vector<BLEPeripheralModel> scanPeripheralList;
  BLEScanResultBlock scanResultBlock;
  BLEAutoConnectCompletion autoConnectCompletionBlock;
  std::optional<std::string> autoConnectTargetUUID;
  std::uint64_t autoConnectNumber = 0;
  BLEScanAndConnectCompletion scanAndAutoConnectCompletionBlock;
  std::set<std::string> scanAndAutoConnectScannedUUIDs;
  std::map<std::string, std::string> uuidToSNMap;
  BleReceiveBuffers bleCMDDataList;
  BLENotificationParser notificationParser;
  // Moves with every scan started or stopped, so a time-out stops only the
  // scan it started.
  std::uint64_t scanGeneration = 0;

  bool poweredOn() const { return central->state() == ble::ManagerState::PoweredOn; }

  void statusChanged(BLEConnectStatus status, std::optional<std::string> message,
                     std::optional<std::string> sn) {
    callBlock(connectStatusChangeBlock, status, std::move(message), std::move(sn));
  }

  std::shared_ptr<BLEDeviceConnection> find(const std::optional<std::string>& sn) const {
    if (!sn) return nullptr;
    const auto it = connectedDevices.find(*sn);
    return it == connectedDevices.end() ? nullptr : it->second;
  }

  // The record whose SN equals `sn` whatever its case (scans match so),
  // with its key; an exact match first.
  std::pair<std::string, std::shared_ptr<BLEDeviceConnection>> findIgnoringCase(
      const std::string& sn) const {
    if (auto record = find(sn)) return {sn, record};
    for (const auto& [key, record] : connectedDevices) {
      if (equalsIgnoringCase(key, sn)) return {key, record};
    }
    return {sn, nullptr};
  }

  std::optional<std::string> snFor(const ble::Peripheral& peripheral) const {
    const auto it = uuidToSNMap.find(peripheral.identifier());
    if (it == uuidToSNMap.end()) return std::nullopt;
    return it->second;
  }

  // The record of `peripheral`, when the table holds one for its SN made
  // for this very device.
  std::shared_ptr<BLEDeviceConnection> recordFor(const ble::Peripheral& peripheral,
                                                 const std::optional<std::string>& sn) const {
    auto record = find(sn);
    if (record && record->uuidString != peripheral.identifier()) return nullptr;
    return record;
  }

  // Runs `task` on the main loop after `delay` while this service lives.
  void later(double delaySeconds, std::function<void(Impl&)> task) {
    platform::after(platform::mainLoop(), platform::seconds(delaySeconds),
                    [weak = weak_from_this(), task = std::move(task)] {
                      if (const auto self = weak.lock()) task(*self);
                    });
  }

  // ---- scanning ------------------------------------------------------------

  void startScan(BLEScanSingleBlock block) {
    if (!poweredOn()) {
      logf("BLE scan not started: {}",
           bluetoothStateToString(static_cast<std::int64_t>(central->state())));
      return;
    }
    scanSingleDeviceBlock = std::move(block);
    scanResultBlock = nullptr;
    scanPeripheralList.clear();
    ++scanGeneration;
    central->scanForPeripherals(std::vector<ble::BleUuid>{uuidOf(kBleServiceUUID)}, false);
  }

  void startScanWithServiceUUID(const std::optional<std::string>& serviceUUID,
                                BLEScanResultBlock block) {
    if (!poweredOn()) {
      callBlock(block, std::vector<BLEPeripheralModel>{});
      return;
    }
    std::optional<std::vector<ble::BleUuid>> filter;
    if (nonEmpty(serviceUUID)) {
      const std::optional<ble::BleUuid> uuid = ble::BleUuid::fromString(*serviceUUID);
      if (!uuid) {
        logf("BLE scan not started: invalid service UUID {}", *serviceUUID);
        callBlock(block, std::vector<BLEPeripheralModel>{});
        return;
      }
      filter = std::vector<ble::BleUuid>{*uuid};
    }
    scanResultBlock = std::move(block);
    scanSingleDeviceBlock = nullptr;
    scanPeripheralList.clear();
    ++scanGeneration;
    central->scanForPeripherals(std::move(filter), false);
  }

  void stopScan() {
    central->stopScan();
    ++scanGeneration;
    scanSingleDeviceBlock = nullptr;
    scanResultBlock = nullptr;
    scanPeripheralList.clear();
    scanAndAutoConnectScannedUUIDs.clear();
    if (scanAndAutoConnectCompletionBlock) {
      const BLEScanAndConnectCompletion completion = std::move(scanAndAutoConnectCompletionBlock);
      scanAndAutoConnectCompletionBlock = nullptr;
      callBlock(completion, true, nullptr, std::nullopt);
    }
  }

  void didDiscover(const std::shared_ptr<ble::Peripheral>& peripheral,
                   const ble::AdvertisementData& advertisement, std::int64_t rssi) override {
    if (!peripheral) return;
    BLEPeripheralModel model;
    model.peripheral = peripheral;
    model.name = peripheral->name().value_or(std::string(kUnknownDevice));
    model.uuidString = peripheral->identifier();
    model.rssi = rssi;
    model.manufacturerName = serialNumberOf(advertisement, *model.uuidString);
    uuidToSNMap[*model.uuidString] = *model.manufacturerName;
    logf("BLE discovered: name = {}, uuid = {}, sn = {}, rssi = {}", *model.name, *model.uuidString,
         *model.manufacturerName, rssi);

    if (scanSingleDeviceBlock) {
      callBlock(scanSingleDeviceBlock, model);
      return;
    }
    const bool listed =
        std::any_of(scanPeripheralList.begin(), scanPeripheralList.end(),
                    [&](const BLEPeripheralModel& m) { return m.uuidString == model.uuidString; });
    if (!listed) scanPeripheralList.push_back(model);
    if (scanResultBlock) {
      const std::vector<BLEPeripheralModel> list = scanPeripheralList;
      callBlock(scanResultBlock, list);
    }
  }

  // ---- connecting ----------------------------------------------------------

  void connectPeripheralWithModel(const std::optional<BLEPeripheralModel>& model,
                                  BLEConnectCompletion completion) {
    if (!model || !model->peripheral) {
      callBlock(completion, false, std::string("Invalid device information"), std::nullopt);
      return;
    }
    const std::shared_ptr<ble::Peripheral> peripheral = model->peripheral;
    // A record without an SN of its own is keyed by its identifier text,
    // as a scan would have named it.
    const std::string sn = nonEmpty(model->manufacturerName).value_or(peripheral->identifier());
    if (const auto existing = find(sn)) {
      if (existing->connectStatus == BLEConnectStatus::Connecting) {
        callBlock(completion, false, std::string("Device is connecting"), sn);
        return;
      }
      if (existing->connectStatus == BLEConnectStatus::Ready) {
        callBlock(completion, true, std::string("Device already connected"), sn);
        return;
      }
    }
    auto record = std::make_shared<BLEDeviceConnection>(peripheral, sn);
    record->connectStatus = BLEConnectStatus::Connecting;
    record->connectCompletionBlock = std::move(completion);
    connectedDevices[sn] = record;
    // Callbacks find the record through the identifier, also for a record
    // that no scan of this process reported.
    uuidToSNMap[peripheral->identifier()] = sn;
    logf("BLE connecting: sn = {}, uuid = {}", sn, peripheral->identifier());
    statusChanged(BLEConnectStatus::Connecting, std::string(kStartConnecting), sn);
    defaults.setString(kLastDeviceUUIDKey, sn);
    defaults.synchronize();
    stopScan();
    peripheral->setDelegate(weak_from_this());
    central->connect(peripheral);
  }

  void connectPeripheralWithSN(const std::optional<std::string>& sn,
                               BLEConnectCompletion completion) {
    if (!nonEmpty(sn)) {
      callBlock(completion, false, std::string("Invalid SN"), std::nullopt);
      return;
    }
    const std::string target = *sn;
    if (const auto record = find(target);
        record && record->connectStatus == BLEConnectStatus::Ready) {
      callBlock(completion, true, std::nullopt, target);
      return;
    }
    auto once = std::make_shared<OnceCompletion>(std::move(completion));
    const BLEConnectCompletion answer = [once](bool ok, std::optional<std::string> message,
                                               std::optional<std::string> s) {
      once->fire(ok, std::move(message), std::move(s));
    };
    const std::uint64_t before = scanGeneration;
    startScan([weak = weak_from_this(), target, answer](const BLEPeripheralModel& model) {
      const auto self = weak.lock();
      const std::optional<std::string> key =
          model.manufacturerName ? model.manufacturerName : model.uuidString;
      if (!self || !key || !equalsIgnoringCase(*key, target)) return;
      self->stopScan();
      self->connectPeripheralWithModel(model, answer);
    });
    const bool scanning = scanGeneration != before;
    const std::uint64_t ours = scanGeneration;
    later(BLECommunicateService::kConnectTimeoutSeconds,
          [once, answer, target, scanning, ours](Impl& self) {
            if (once->done) return;
            if (scanning && self.scanGeneration == ours) self.stopScan();
            const auto [key, record] = self.findIgnoringCase(target);
            if (record && record->connectStatus == BLEConnectStatus::Ready) {
              once->fire(true, std::nullopt, key);
            } else if (record && record->connectStatus == BLEConnectStatus::Connecting) {
              self.awaitAttempt(record, key, once, answer);
            } else {
              once->fire(false, std::string(kDeviceNotFound), target);
            }
          });
  }

  // The terminal was found and is still connecting when connect-by-SN's
  // time is up: its attempt answers, but within a bound, since a connect
  // has no time-out of its own.
  void awaitAttempt(const std::shared_ptr<BLEDeviceConnection>& record, const std::string& sn,
                    const std::shared_ptr<OnceCompletion>& once,
                    const BLEConnectCompletion& answer) {
    const BLEConnectCompletion previous = record->connectCompletionBlock;
    record->connectCompletionBlock = [previous, answer](bool ok, std::optional<std::string> message,
                                                        std::optional<std::string> s) {
      callBlock(previous, ok, message, s);
      callBlock(answer, ok, message, s);
    };
    later(BLECommunicateService::kConnectAttemptGraceSeconds,
          [weakRecord = std::weak_ptr<BLEDeviceConnection>(record), sn, once](Impl& self) {
            if (once->done) return;
            const auto record = weakRecord.lock();
            if (record && self.find(sn) == record &&
                record->connectStatus == BLEConnectStatus::Connecting) {
              logf("BLE connect attempt did not end, cancelled: sn = {}", sn);
              self.central->cancelPeripheralConnection(record->peripheral);
              self.failConnection(record, sn, std::string(kDeviceNotFound));
            }
            once->fire(false, std::string(kDeviceNotFound), sn);
          });
  }

  void scanAndAutoConnectWithCompletion(BLEScanAndConnectCompletion completion) {
    scanAndAutoConnectCompletionBlock = std::move(completion);
    scanAndAutoConnectScannedUUIDs.clear();
    startScan([weak = weak_from_this()](const BLEPeripheralModel& model) {
      const auto self = weak.lock();
      const std::optional<std::string> key =
          model.manufacturerName ? model.manufacturerName : model.uuidString;
      if (!self || !key) return;
      if (!self->scanAndAutoConnectScannedUUIDs.insert(*key).second) return;
      if (const auto known = self->find(key);
          known && known->connectStatus == BLEConnectStatus::Ready) {
        callBlock(self->scanAndAutoConnectCompletionBlock, false, known, std::nullopt);
        return;
      }
      self->connectPeripheralWithModel(model, [weak](bool ok, std::optional<std::string>,
                                                     std::optional<std::string> sn) {
        const auto self = weak.lock();
        if (!self || !self->scanAndAutoConnectCompletionBlock) return;
        if (ok) {
          callBlock(self->scanAndAutoConnectCompletionBlock, false, self->find(sn), std::nullopt);
        } else {
          callBlock(self->scanAndAutoConnectCompletionBlock, false, nullptr, sn);
        }
      });
    });
  }

  void autoConnectLastDevice(BLEAutoConnectCompletion completion) {
    const std::optional<std::string> stored = nonEmpty(defaults.stringForKey(kLastDeviceUUIDKey));
    if (!stored) {
      callBlock(completion, false, std::string("No historical connected device"));
      return;
    }
    autoConnectCompletionBlock = std::move(completion);
    autoConnectTargetUUID = stored;
    const std::uint64_t number = ++autoConnectNumber;
    const std::string target = *stored;
    const std::uint64_t before = scanGeneration;
    startScan([weak = weak_from_this(), target, number](const BLEPeripheralModel& model) {
      const auto self = weak.lock();
      if (!self) return;
      // The key holds the SN that connecting stored; a terminal without one
      // is stored under its identifier text.
      const bool match =
          (model.uuidString && equalsIgnoringCase(*model.uuidString, target)) ||
          (model.manufacturerName && equalsIgnoringCase(*model.manufacturerName, target));
      if (!match) return;
      self->stopScan();
      self->connectPeripheralWithModel(
          model,
          [weak, number](bool ok, std::optional<std::string> message, std::optional<std::string>) {
            const auto self = weak.lock();
            if (self) self->finishAutoConnect(number, ok, std::move(message));
          });
    });
    const bool scanning = scanGeneration != before;
    const std::uint64_t ours = scanGeneration;
    later(BLECommunicateService::kConnectTimeoutSeconds,
          [number, target, scanning, ours](Impl& self) {
            if (self.autoConnectNumber != number || !self.autoConnectCompletionBlock) return;
            if (scanning && self.scanGeneration == ours) self.stopScan();
            self.statusChanged(BLEConnectStatus::Failed, std::string(kAutoConnectNotFound), target);
            self.finishAutoConnect(number, false, std::string(kAutoConnectNotFound));
          });
  }

  void finishAutoConnect(std::uint64_t number, bool ok, std::optional<std::string> message) {
    if (autoConnectNumber != number || !autoConnectCompletionBlock) return;
    const BLEAutoConnectCompletion completion = std::move(autoConnectCompletionBlock);
    autoConnectCompletionBlock = nullptr;
    autoConnectTargetUUID.reset();
    callBlock(completion, ok, std::move(message));
  }

  void disconnectDeviceWithSN(const std::optional<std::string>& sn) {
    const auto record = find(sn);
    if (record && record->peripheral) central->cancelPeripheralConnection(record->peripheral);
  }

  // A connection attempt ended without readiness. A ready record is left
  // alone: the failure belongs to a later, spurious report.
  void failConnection(const std::shared_ptr<BLEDeviceConnection>& record,
                      const std::optional<std::string>& sn, const std::string& message) {
    if (record && record->connectStatus == BLEConnectStatus::Ready) {
      logf("BLE connection report ignored for a ready device: {}, sn = {}", message, orNull(sn));
      return;
    }
    logf("BLE connection failed: {}, sn = {}", message, orNull(sn));
    if (record) {
      record->connectStatus = BLEConnectStatus::Failed;
      const BLEConnectCompletion completion = std::move(record->connectCompletionBlock);
      record->connectCompletionBlock = nullptr;
      callBlock(completion, false, message, sn);
    }
    statusChanged(BLEConnectStatus::Failed, message, sn);
  }

  void didConnect(const std::shared_ptr<ble::Peripheral>& peripheral) override {
    if (!peripheral) return;
    logf("BLE connected: sn = {}", orNull(snFor(*peripheral)));
    peripheral->discoverServices(std::nullopt);
  }

  void didFailToConnect(const std::shared_ptr<ble::Peripheral>& peripheral,
                        const std::optional<ble::BleError>& error) override {
    if (!peripheral) return;
    const std::optional<std::string> sn = snFor(*peripheral);
    failConnection(recordFor(*peripheral, sn), sn, "Device connect failed: " + errorText(error));
  }

  void didDisconnect(const std::shared_ptr<ble::Peripheral>& peripheral,
                     const std::optional<ble::BleError>& error) override {
    if (!peripheral) return;
    const std::string message =
        error ? "Device disconnected abnormally" : "Device disconnected manually";
    const std::optional<std::string> sn = snFor(*peripheral);
    logf("BLE disconnected: {}, sn = {}, error = {}", message, orNull(sn), errorText(error));
    if (const auto record = recordFor(*peripheral, sn)) {
      record->connectStatus = BLEConnectStatus::Disconnected;
      record->isSendingData = false;
      const BLEConnectCompletion completion = std::move(record->connectCompletionBlock);
      record->connectCompletionBlock = nullptr;
      callBlock(completion, false, message, sn);
      // A request still waiting would otherwise never hear back.
      failRequest(record, -2, std::string(kDeviceNotConnected));
      if (find(sn) == record) connectedDevices.erase(*sn);
    }
    uuidToSNMap.erase(peripheral->identifier());
    if (sn) bleCMDDataList.clear(*sn);
    statusChanged(BLEConnectStatus::Disconnected, message, sn);
  }

  void didDiscoverServices(ble::Peripheral& peripheral,
                           const std::optional<ble::BleError>& error) override {
    const std::optional<std::string> sn = snFor(peripheral);
    const auto record = recordFor(peripheral, sn);
    if (error) {
      failConnection(record, sn, "Discover services failed");
      return;
    }
    const auto services = peripheral.services();
    if (services.empty()) {
      // No service, so no characteristic report would ever come.
      failConnection(record, sn, std::string(kTargetNotFound));
      return;
    }
    const std::vector<ble::BleUuid> wanted{uuidOf(kBleWriteCharacteristicUUID),
                                           uuidOf(kBleReadCharacteristicUUID)};
    for (const auto& service : services) peripheral.discoverCharacteristics(wanted, service);
  }

  void didDiscoverCharacteristics(ble::Peripheral& peripheral,
                                  const std::shared_ptr<ble::Service>& service,
                                  const std::optional<ble::BleError>& error) override {
    const std::optional<std::string> sn = snFor(peripheral);
    const auto record = recordFor(peripheral, sn);
    if (error) {
      failConnection(record, sn, "Discover characteristics failed");
      return;
    }
    if (!service || service->characteristics().empty() || !record) return;
    bool readFound = false;
    for (const auto& characteristic : service->characteristics()) {
      if (characteristic->uuid().equalsText(kBleWriteCharacteristicUUID)) {
        record->writeCharacteristic = characteristic;
      }
      if (characteristic->uuid().equalsText(kBleReadCharacteristicUUID)) {
        record->readCharacteristic = characteristic;
        peripheral.setNotifyValue(true, characteristic);
        readFound = true;
      }
    }
    if (!readFound) {
      failConnection(record, sn, std::string(kTargetNotFound));
      return;
    }
    if (record->connectStatus == BLEConnectStatus::Ready) return;
    record->connectStatus = BLEConnectStatus::Ready;
    logf("BLE ready: sn = {}", orNull(sn));
    const BLEConnectCompletion completion = std::move(record->connectCompletionBlock);
    record->connectCompletionBlock = nullptr;
    // The completion may send at once (the facade does); nothing is written
    // here after it, or its packets would be written twice.
    callBlock(completion, true, std::string(kReady), sn);
    statusChanged(BLEConnectStatus::Ready, std::string(kReady), sn);
  }

  // ---- sending -------------------------------------------------------------

  // Reports a failure of the record's current request, once: after its
  // answer a failure only reaches the log.
  void failRequest(const std::shared_ptr<BLEDeviceConnection>& record, std::int64_t code,
                   const std::string& message) {
    if (record->answered) {
      if (record->resultBlock) {
        logf("BLE error after the request was answered: code = {}, msg = {}, sn = {}", code,
             message, orNull(record->manufacturerName));
      }
      return;
    }
    record->answered = true;
    callBlock(record->resultBlock, std::nullopt, record->exchangeId, true, record->serviceType,
              code, message);
  }

  void sendRequest(std::optional<std::string> request, std::optional<std::string> exchangeId,
                   std::optional<std::string> serviceType, std::optional<std::string> target,
                   CommunicateProgressBlock progress, CommunicateResultBlock result) {
    const auto fail = [&](std::int64_t code, std::string_view message) {
      callBlock(result, std::nullopt, exchangeId, true, serviceType, code, std::string(message));
    };
    std::optional<std::string> sn = nonEmpty(target);
    if (!sn) {
      if (connectedDevices.size() != 1) {
        fail(-1, "Target UUID is required for multi-device connection");
        return;
      }
      sn = connectedDevices.begin()->first;
    }
    const auto record = find(sn);
    if (!record) {
      fail(-2, kDeviceNotConnected);
      return;
    }
    if (record->connectStatus != BLEConnectStatus::Ready) {
      fail(-3, "Device not ready");
      return;
    }
    logf("BLE send: sn = {}, exchangeId = {}, serviceType = {}", *sn, orNull(exchangeId),
         orNull(serviceType));

    if (!nonEmpty(exchangeId)) {
      // The discovery handshake: written, but the current request stays.
      if (!poweredOn()) {
        fail(-4, "Bluetooth is not enabled");
        return;
      }
      writeFrame(record, request, 0, fail);
      return;
    }

    record->exchangeId = std::move(exchangeId);
    record->serviceType = std::move(serviceType);
    record->progressBlock = std::move(progress);
    record->resultBlock = std::move(result);
    record->requestData = request;
    record->answered = false;
    ++record->requestNumber;
    startResponseTimer(record);
    if (!poweredOn()) {
      failRequest(record, -4, "Bluetooth is not enabled");
      return;
    }
    sendDataToPeripheral(request, record);
  }

  void sendDataToPeripheral(const std::optional<std::string>& text,
                            const std::shared_ptr<BLEDeviceConnection>& record) {
    const std::uint64_t number = record->requestNumber;
    writeFrame(record, text, number, [&](std::int64_t code, std::string_view message) {
      if (record->requestNumber == number) failRequest(record, code, std::string(message));
    });
  }

  // Frames `text` and starts writing it. `owner` is the request number, 0
  // for the handshake, which queues behind what is being written.
  template <typename OnError>
  void writeFrame(const std::shared_ptr<BLEDeviceConnection>& record,
                  const std::optional<std::string>& text, std::uint64_t owner,
                  const OnError& onError) {
    if (!record->peripheral || !text || text->empty()) {
      onError(-5, "Device not connected or empty data");
      return;
    }
    std::optional<Bytes> frame;
    if (isValidUtf8(*text)) frame = KVISOUtils::createCommonForBLE(platform::asBytes(*text));
    if (!frame) {
      onError(-6, "Data encoding failed");
      return;
    }
    if (!record->writeCharacteristic) {
      for (const auto& service : record->peripheral->services()) {
        for (const auto& characteristic : service->characteristics()) {
          if (!record->writeCharacteristic &&
              characteristic->uuid().equalsText(kBleWriteCharacteristicUUID)) {
            record->writeCharacteristic = characteristic;
          }
        }
      }
    }
    if (!record->writeCharacteristic) {
      onError(-7, "Write characteristic not found");
      return;
    }

    std::vector<Bytes> packets = splitBlePackets(*frame);
    if (owner == 0 && record->isSendingData) {
      for (Bytes& packet : packets) {
        record->pendingSendData.push_back(std::move(packet));
        record->pendingPacketOwners.push_back(0);
      }
      return;
    }
    std::vector<Bytes> kept;
    std::vector<std::uint64_t> keptOwners;
    if (record->isSendingData) keepHandshakeUnderWay(*record, kept, keptOwners);
    record->pendingSendData = std::move(kept);
    record->pendingPacketOwners = std::move(keptOwners);
    for (Bytes& packet : packets) {
      record->pendingSendData.push_back(std::move(packet));
      record->pendingPacketOwners.push_back(owner);
    }
    record->currentSendIndex = 0;
    record->isSendingData = true;
    sendNextPacket(record);
  }

  // A request replaces the packets of the request before, but a handshake
  // frame cut short would garble the terminal's input: the rest of a
  // handshake being written goes first.
  static void keepHandshakeUnderWay(const BLEDeviceConnection& record, std::vector<Bytes>& kept,
                                    std::vector<std::uint64_t>& keptOwners) {
    const auto& packets = record.pendingSendData;
    const auto& owners = record.pendingPacketOwners;
    const auto index = static_cast<std::size_t>(std::max<std::int64_t>(record.currentSendIndex, 0));
    if (index >= packets.size() || index >= owners.size() || owners[index] != 0) return;
    // The handshake's frame ends where a packet shorter than a full one
    // stands, or where the next frame's owner begins.
    for (std::size_t i = index + 1; i < packets.size() && owners[i] == 0; ++i) {
      if (packets[i - 1].size() < kBlePacketBytes) break;
      kept.push_back(packets[i]);
      keptOwners.push_back(0);
    }
  }

  void sendNextPacket(const std::shared_ptr<BLEDeviceConnection>& record) {
    if (!record) return;
    if (record->connectStatus != BLEConnectStatus::Ready) {
      record->isSendingData = false;
      return;
    }
    const auto index = static_cast<std::size_t>(record->currentSendIndex);
    if (record->currentSendIndex < 0 || index >= record->pendingSendData.size()) {
      record->isSendingData = false;
      return;
    }
    record->writesInFlight.push_back(
        index < record->pendingPacketOwners.size() ? record->pendingPacketOwners[index] : 0);
    record->peripheral->writeValueWithResponse(record->pendingSendData[index],
                                               record->writeCharacteristic);
  }

  void didWriteValue(ble::Peripheral& peripheral, const std::shared_ptr<ble::Characteristic>&,
                     const std::optional<ble::BleError>& error) override {
    const std::optional<std::string> sn = snFor(peripheral);
    const auto record = recordFor(peripheral, sn);
    if (!record) return;
    std::uint64_t owner = 0;
    if (!record->writesInFlight.empty()) {
      owner = record->writesInFlight.front();
      record->writesInFlight.erase(record->writesInFlight.begin());
    }
    if (error) {
      record->isSendingData = false;
      logf("写入数据失败: {}, sn = {}", errorText(error), orNull(sn));
      // Only a packet of the current request fails it; a handshake's or a
      // replaced request's packet says nothing about it.
      if (owner != 0 && owner == record->requestNumber) {
        failRequest(record, -11, "Data write failed");
      }
      return;
    }
    if (record->isSendingData) {
      ++record->currentSendIndex;
      sendNextPacket(record);
    }
  }

  // ---- the response time-out -------------------------------------------------

  void startResponseTimer(const std::shared_ptr<BLEDeviceConnection>& record) {
    record->lastHeard = platform::clock().now();
    if (record->responseTimerRunning) return;
    record->responseTimerRunning = true;
    checkResponseLater(record, BLECommunicateService::kResponseTimeoutSeconds);
  }

  void checkResponseLater(const std::shared_ptr<BLEDeviceConnection>& record, double seconds) {
    later(seconds, [weakRecord = std::weak_ptr<BLEDeviceConnection>(record)](Impl& self) {
      const auto record = weakRecord.lock();
      if (!record) return;
      if (record->answered) {
        record->responseTimerRunning = false;
        return;
      }
      const double silent =
          std::chrono::duration<double>(platform::clock().now() - record->lastHeard).count();
      const double limit = BLECommunicateService::kResponseTimeoutSeconds;
      if (silent + 1e-9 < limit) {
        self.checkResponseLater(record, limit - silent);
        return;
      }
      record->responseTimerRunning = false;
      logf("BLE response timeout: sn = {}, exchangeId = {}", orNull(record->manufacturerName),
           orNull(record->exchangeId));
      self.failRequest(record, -10, "Response timeout");
    });
  }

  // ---- receiving -----------------------------------------------------------

  void didUpdateValue(ble::Peripheral& peripheral, const std::shared_ptr<ble::Characteristic>&,
                      const std::optional<Bytes>& value,
                      const std::optional<ble::BleError>& error) override {
    const std::optional<std::string> sn = snFor(peripheral);
    if (!sn) {
      logf("BLE notification from an unknown peripheral dropped: uuid = {}",
           peripheral.identifier());
      return;
    }
    const auto record = recordFor(peripheral, sn);
    if (error || !value) {
      logf("didUpdateValueForCharacteristic error: {}, sn = {}", errorText(error), *sn);
      if (record) failRequest(record, -9, "Receive data failed");
      return;
    }
    if (record) record->lastHeard = platform::clock().now();
    for (const Bytes& payload : bleCMDDataList.receive(*sn, *value)) {
      dispatchMessage(*sn, platform::toText(payload));
    }
  }

  void dispatchMessage(const std::string& sn, const std::string& text) {
    std::string error;
    std::optional<platform::Json> json = platform::parseJson(text, &error);
    if (!json) {
      logf("Failed to parse JSON: {}", error);
      return;
    }
    if (!json->is_object()) {
      logf("BLE message dropped, not a JSON object: sn = {}", sn);
      return;
    }
    if (platform::readText(*json, "contentType") == kDiscoverContentType &&
        platform::readText(*json, "protocolVersion") == kDiscoverProtocolVersion) {
      if (const auto d = delegate.lock()) {
        try {
          d->didReceiveData(text, sn);
        } catch (...) {
          logLine("BLECommunicateService: the delegate threw");
        }
      }
      return;
    }
    const auto record = find(sn);
    if (!record) {
      logf("BLE message dropped, no connection: sn = {}", sn);
      return;
    }
    const std::optional<std::string> serviceType = platform::readText(*json, "serviceType");
    if (serviceType == "EventNotification") {
      const std::optional<std::string> exchangeIdentification =
          platform::readText(*json, "exchangeIdentification");
      std::shared_ptr<const model::EventNotificationParam> notification;
      if (notificationParser) {
        try {
          // The parser reads the value parsed here rather than parsing again.
          platform::ParsedJsonLoan loan(text, std::move(*json));
          notification = notificationParser(text);
        } catch (...) {
          logLine("BLECommunicateService: the notification parser threw");
        }
      }
      callBlock(record->progressBlock, exchangeIdentification, serviceType, notification);
      return;
    }
    if (!record->resultBlock) return;
    record->answered = true;
    // The decoder reads the value parsed here rather than parsing again.
    platform::ParsedJsonLoan loan(text, std::move(*json));
    callBlock(record->resultBlock, text, record->exchangeId, true, record->serviceType, 0,
              std::string("Data received successfully"));
  }

  // ---- the manager's state ---------------------------------------------------

  void didUpdateState(ble::ManagerState state) override {
    const auto value = static_cast<std::int64_t>(state);
    logf("centralManagerDidUpdateState: {}", bluetoothStateToString(value));
    if (state == ble::ManagerState::PoweredOn) return;
    const std::string text = bluetoothStateToString(value);
    std::vector<std::pair<std::string, std::shared_ptr<BLEDeviceConnection>>> records(
        connectedDevices.begin(), connectedDevices.end());
    for (const auto& [sn, record] : records) {
      // Writes under way will never be confirmed.
      record->isSendingData = false;
      record->writesInFlight.clear();
      // The radio drops a pending connect when it goes off, without a word.
      if (record->connectStatus == BLEConnectStatus::Connecting) {
        failConnection(record, sn, "Device connect failed: " + text);
      }
      if (record->resultBlock) failRequest(record, -8, text);
    }
  }
};

// ---- BLECommunicateService ---------------------------------------------------

BLECommunicateService& BLECommunicateService::sharedService() { return *sharedServicePtr(); }

std::shared_ptr<BLECommunicateService> BLECommunicateService::sharedServicePtr() {
  // Never destroyed, like every process-wide object.
  static const auto* instance =
      new std::shared_ptr<BLECommunicateService>(std::make_shared<BLECommunicateService>(
          platform::ble::SimRadio::shared().createCentral(), platform::UserDefaults::standard()));
  return *instance;
}

BLECommunicateService::BLECommunicateService(std::shared_ptr<ble::CentralManager> central,
                                             platform::UserDefaults& defaults)
    : impl_(std::make_shared<Impl>(std::move(central), defaults)) {
  impl_->central->setDelegate(impl_);
}

BLECommunicateService::~BLECommunicateService() {
  impl_->central->setDelegate({});
  impl_->central->stopScan();
}

BLECommunicateService& BLECommunicateService::initWithServiceAddress(
    std::optional<std::string> address) {
  impl_->serviceUUIDString = std::move(address);
  return *this;
}

void BLECommunicateService::setDelegate(std::weak_ptr<BLECommunicateServiceDelegate> delegate) {
  impl_->delegate = std::move(delegate);
}

void BLECommunicateService::setConnectStatusChangeBlock(BLEConnectStatusChangeBlock block) {
  impl_->connectStatusChangeBlock = std::move(block);
}

void BLECommunicateService::setNotificationParser(BLENotificationParser parser) {
  impl_->notificationParser = std::move(parser);
}

const std::shared_ptr<ble::CentralManager>& BLECommunicateService::centralManager() const {
  return impl_->central;
}

const std::map<std::string, std::shared_ptr<BLEDeviceConnection>>&
BLECommunicateService::connectedDevices() const {
  return impl_->connectedDevices;
}

const std::optional<std::string>& BLECommunicateService::serviceUUIDString() const {
  return impl_->serviceUUIDString;
}

const std::vector<BLEPeripheralModel>& BLECommunicateService::scanPeripheralList() const {
  return impl_->scanPeripheralList;
}

void BLECommunicateService::startScan(BLEScanSingleBlock block) {
  impl_->startScan(std::move(block));
}

void BLECommunicateService::startScanWithServiceUUID(const std::optional<std::string>& serviceUUID,
                                                     BLEScanResultBlock block) {
  impl_->startScanWithServiceUUID(serviceUUID, std::move(block));
}

void BLECommunicateService::stopScan() { impl_->stopScan(); }

void BLECommunicateService::connectPeripheralWithModel(
    const std::optional<BLEPeripheralModel>& model, BLEConnectCompletion completion) {
  impl_->connectPeripheralWithModel(model, std::move(completion));
}

void BLECommunicateService::connectPeripheralWithSN(const std::optional<std::string>& sn,
                                                    BLEConnectCompletion completion) {
  impl_->connectPeripheralWithSN(sn, std::move(completion));
}

void BLECommunicateService::scanAndAutoConnectWithCompletion(
    BLEScanAndConnectCompletion completion) {
  impl_->scanAndAutoConnectWithCompletion(std::move(completion));
}

void BLECommunicateService::autoConnectLastDevice(BLEAutoConnectCompletion completion) {
  impl_->autoConnectLastDevice(std::move(completion));
}

void BLECommunicateService::disconnectDeviceWithSN(const std::optional<std::string>& sn) {
  impl_->disconnectDeviceWithSN(sn);
}

void BLECommunicateService::disconnectAllDevices() {
  std::vector<std::string> sns;
  for (const auto& [sn, record] : impl_->connectedDevices) sns.push_back(sn);
  for (const std::string& sn : sns) impl_->disconnectDeviceWithSN(sn);
}

std::shared_ptr<BLEDeviceConnection> BLECommunicateService::getConnectionBySN(
    const std::optional<std::string>& sn) const {
  return impl_->find(sn);
}

bool BLECommunicateService::isDeviceConnectedWithSN(const std::optional<std::string>& sn) const {
  const auto record = impl_->find(nonEmpty(sn));
  return record && record->connectStatus == BLEConnectStatus::Ready;
}

std::optional<std::string> BLECommunicateService::getLastConnectDeviceUUID() const {
  return impl_->defaults.stringForKey(kLastDeviceUUIDKey);
}

bool BLECommunicateService::isLastConnectDevice() const {
  return nonEmpty(getLastConnectDeviceUUID()).has_value();
}

void BLECommunicateService::clearLastConnectDevice() {
  impl_->defaults.removeObject(kLastDeviceUUIDKey);
  impl_->defaults.synchronize();
}

std::string BLECommunicateService::bluetoothStateToString(std::int64_t state) {
  switch (state) {
    case 0:
      return "Bluetooth state unknown";
    case 1:
      return "Bluetooth resetting";
    case 2:
      return "Bluetooth not supported";
    case 3:
      return "Bluetooth permission denied";
    case 4:
      return "Bluetooth is off";
    case 5:
      return "Bluetooth is on";
    default:
      return "Bluetooth state abnormal";
  }
}

void BLECommunicateService::sendRequest(std::optional<std::string> request,
                                        std::optional<std::string> exchangeId,
                                        std::optional<std::string> serviceType,
                                        std::optional<std::string> address,
                                        CommunicateProgressBlock progress,
                                        CommunicateResultBlock result) {
  sendRequestWithTargetUUID(std::move(request), std::move(exchangeId), std::move(serviceType),
                            std::move(address), std::move(progress), std::move(result));
}

void BLECommunicateService::sendRequestWithTargetUUID(std::optional<std::string> request,
                                                      std::optional<std::string> exchangeId,
                                                      std::optional<std::string> serviceType,
                                                      std::optional<std::string> targetUUID,
                                                      CommunicateProgressBlock progress,
                                                      CommunicateResultBlock result) {
  impl_->sendRequest(std::move(request), std::move(exchangeId), std::move(serviceType),
                     std::move(targetUUID), std::move(progress), std::move(result));
}

}  // namespace veltrix::transport
