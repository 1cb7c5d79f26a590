// Our Bluetooth LE central: the small part of a platform Bluetooth stack that
// the library needs, as interfaces a back end implements.
//
// A central manager scans for peripherals (filtered by advertised service
// UUID, with or without duplicate reports), connects and disconnects them.
// A peripheral discovers its GATT services and their characteristics,
// switches notifications on and writes values with response. Outcomes come
// back through weak delegates whose methods have empty defaults.
//
// Threads: a back end calls every delegate method on the queue it was made
// with (the library uses the main loop); its objects are used from that
// queue only. Services and characteristics belong to their peripheral and
// are made by the back end; callers keep them by shared_ptr and never build
// their own.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "veltrix/platform/bytes.h"

namespace veltrix::platform::ble {

enum class ManagerState : std::int64_t {
  Unknown = 0,
  Resetting = 1,
  Unsupported = 2,
  Unauthorized = 3,
  PoweredOff = 4,
  PoweredOn = 5,
};

enum class PeripheralState : std::int64_t {
  Disconnected = 0,
  Connecting = 1,
  Connected = 2,
};

// A Bluetooth UUID of 2, 4 or 16 bytes. Short forms stand for their 128-bit
// form on the Bluetooth base UUID, so "180A" equals
// "0000180a-0000-1000-8000-00805f9b34fb".
class BleUuid {
 public:
  BleUuid() = default;
  // `bytes` of any other size than 2, 4 or 16 make an empty UUID.
  explicit BleUuid(Bytes bytes);
  // "180A", "0000180A" or the 8-4-4-4-12 form, either case; nullopt for
  // anything else.
  static std::optional<BleUuid> fromString(std::string_view text);

  const Bytes& bytes() const { return bytes_; }
  bool empty() const { return bytes_.empty(); }
  // Lower-case text: 4 or 8 hex digits for the short forms, 8-4-4-4-12 for
  // 128-bit ones; "" when empty.
  std::string str() const;
  // The 16 bytes of the 128-bit form (empty for an empty UUID).
  Bytes full() const;
  // True when `text` names the same UUID, whatever its case or form.
  bool equalsText(std::string_view text) const;

  bool operator==(const BleUuid& other) const { return full() == other.full(); }

 private:
  Bytes bytes_;
};

// A failure the stack reports with a callback.
struct BleError {
  std::int64_t code = 0;
  std::string domain = "CBErrorDomain";
  std::string localizedDescription;

  bool operator==(const BleError&) const = default;
};

// What a peripheral advertises.
struct AdvertisementData {
  std::optional<Bytes> manufacturerData;
  std::optional<std::string> localName;
  std::vector<BleUuid> serviceUuids;
};

struct CharacteristicProperties {
  bool read = false;
  bool write = false;
  bool writeWithoutResponse = false;
  bool notify = false;

  bool operator==(const CharacteristicProperties&) const = default;
};

class Service;

// One characteristic of a discovered service. The setters are for the back
// end that owns it.
class Characteristic {
 public:
  Characteristic(BleUuid uuid, CharacteristicProperties properties, std::weak_ptr<Service> service)
      : uuid_(std::move(uuid)), properties_(properties), service_(std::move(service)) {}
  Characteristic(const Characteristic&) = delete;
  Characteristic& operator=(const Characteristic&) = delete;

  const BleUuid& uuid() const { return uuid_; }
  const CharacteristicProperties& properties() const { return properties_; }
  std::shared_ptr<Service> service() const { return service_.lock(); }
  bool isNotifying() const { return notifying_; }
  // The last value read or notified.
  const std::optional<Bytes>& value() const { return value_; }

  void setNotifying(bool notifying) { notifying_ = notifying; }
  void setValue(std::optional<Bytes> value) { value_ = std::move(value); }

 private:
  BleUuid uuid_;
  CharacteristicProperties properties_;
  std::weak_ptr<Service> service_;
  bool notifying_ = false;
  std::optional<Bytes> value_;
};

// One discovered GATT service; its characteristics are there once they
// have been discovered.
class Service {
 public:
  explicit Service(BleUuid uuid) : uuid_(std::move(uuid)) {}
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;

  const BleUuid& uuid() const { return uuid_; }
  const std::vector<std::shared_ptr<Characteristic>>& characteristics() const {
    return characteristics_;
  }
  void setCharacteristics(std::vector<std::shared_ptr<Characteristic>> characteristics) {
    characteristics_ = std::move(characteristics);
  }

 private:
  BleUuid uuid_;
  std::vector<std::shared_ptr<Characteristic>> characteristics_;
};

class Peripheral;

class PeripheralDelegate {
 public:
  virtual ~PeripheralDelegate() = default;
  virtual void didDiscoverServices(Peripheral& /*peripheral*/,
                                   const std::optional<BleError>& /*error*/) {}
  virtual void didDiscoverCharacteristics(Peripheral& /*peripheral*/,
                                          const std::shared_ptr<Service>& /*service*/,
                                          const std::optional<BleError>& /*error*/) {}
  virtual void didUpdateNotificationState(Peripheral& /*peripheral*/,
                                          const std::shared_ptr<Characteristic>& /*characteristic*/,
                                          const std::optional<BleError>& /*error*/) {}
  // A notification (or read) of `characteristic`; `value` is absent when it
  // came with an error.
  virtual void didUpdateValue(Peripheral& /*peripheral*/,
                              const std::shared_ptr<Characteristic>& /*characteristic*/,
                              const std::optional<Bytes>& /*value*/,
                              const std::optional<BleError>& /*error*/) {}
  // The confirmation of one write with response.
  virtual void didWriteValue(Peripheral& /*peripheral*/,
                             const std::shared_ptr<Characteristic>& /*characteristic*/,
                             const std::optional<BleError>& /*error*/) {}
};

// A remote device as one central sees it. The central keeps one object per
// device, so the same shared_ptr comes back with every report.
class Peripheral {
 public:
  virtual ~Peripheral() = default;

  // The identifier the stack gave the device: upper-case UUID text.
  virtual std::string identifier() const = 0;
  virtual std::optional<std::string> name() const = 0;
  virtual PeripheralState state() const = 0;
  virtual void setDelegate(std::weak_ptr<PeripheralDelegate> delegate) = 0;

  // The services found by the last discovery of this connection.
  virtual std::vector<std::shared_ptr<Service>> services() const = 0;
  // Discovers the services (all when `filter` is absent); answers with
  // didDiscoverServices.
  virtual void discoverServices(std::optional<std::vector<BleUuid>> filter) = 0;
  virtual void discoverCharacteristics(std::optional<std::vector<BleUuid>> filter,
                                       const std::shared_ptr<Service>& service) = 0;
  virtual void setNotifyValue(bool enabled,
                              const std::shared_ptr<Characteristic>& characteristic) = 0;
  // Writes `value` and answers with didWriteValue once the device confirmed.
  virtual void writeValueWithResponse(Bytes value,
                                      const std::shared_ptr<Characteristic>& characteristic) = 0;
};

class CentralDelegate {
 public:
  virtual ~CentralDelegate() = default;
  virtual void didUpdateState(ManagerState /*state*/) {}
  virtual void didDiscover(const std::shared_ptr<Peripheral>& /*peripheral*/,
                           const AdvertisementData& /*advertisement*/, std::int64_t /*rssi*/) {}
  virtual void didConnect(const std::shared_ptr<Peripheral>& /*peripheral*/) {}
  virtual void didFailToConnect(const std::shared_ptr<Peripheral>& /*peripheral*/,
                                const std::optional<BleError>& /*error*/) {}
  // The link ended: with an error when the device or the radio dropped it,
  // without one after cancelPeripheralConnection().
  virtual void didDisconnect(const std::shared_ptr<Peripheral>& /*peripheral*/,
                             const std::optional<BleError>& /*error*/) {}
};

class CentralManager {
 public:
  virtual ~CentralManager() = default;

  // Unknown until the back end has told the delegate its first state.
  virtual ManagerState state() const = 0;
  virtual void setDelegate(std::weak_ptr<CentralDelegate> delegate) = 0;

  // Scans for devices advertising one of `services` (every device when
  // absent or empty) until stopScan(). Without duplicates a device is
  // reported once per scan. Only works while powered on.
  virtual void scanForPeripherals(std::optional<std::vector<BleUuid>> services,
                                  bool allowDuplicates) = 0;
  virtual void stopScan() = 0;
  virtual bool isScanning() const = 0;

  // Connects without a time-out of its own; answers with didConnect or
  // didFailToConnect.
  virtual void connect(const std::shared_ptr<Peripheral>& peripheral) = 0;
  // Ends a connection or a pending connect; answers with didDisconnect.
  virtual void cancelPeripheralConnection(const std::shared_ptr<Peripheral>& peripheral) = 0;

  // The devices connected to the system (by any central) that offer one of
  // `services`, as this central's peripheral objects; answered at once.
  virtual std::vector<std::shared_ptr<Peripheral>> retrieveConnectedPeripherals(
      const std::vector<BleUuid>& services) = 0;
};

}  // namespace veltrix::platform::ble
