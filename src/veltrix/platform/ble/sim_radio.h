// The simulated radio: the one back end of our Bluetooth LE central. Devices
// with GATT services live in the same process; centrals made on the radio
// scan, connect, discover, subscribe and write to them, and the devices
// answer writes and send notifications. Every callback comes after a delay
// on the process clock (a ManualClock in tests), and fault knobs make a
// connect fail or hang, discovery fail, a characteristic go missing, a
// write fail, a device drop the link or the radio power off.
//
// Like the platform stack it stands for, a powered-off radio ends every link
// and pending connect without a disconnect callback: the centrals only hear
// the new state. A write on a link that is gone is confirmed with an error.
//
// Threads: the radio, its centrals and its devices live on the radio's queue
// (the main loop); call them there. Callbacks are posted to that queue.
// Ownership: the radio keeps its devices while they are in range; a central
// keeps one peripheral object per device it has seen; callbacks already
// scheduled hold only weak references.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "veltrix/platform/ble/ble.h"
#include "veltrix/platform/clock.h"
#include "veltrix/platform/dispatch.h"

namespace veltrix::platform::ble {

// Delays of the radio; zero posts at once.
struct SimTiming {
  // Between reports of a scan (a scan's first report comes after one).
  Duration advertisingInterval = millis(100);
  Duration connect = millis(30);
  // Service and characteristic discovery, notification switches.
  Duration discovery = millis(10);
  // From a write to its confirmation (the device sees the value then).
  Duration write = millis(5);
  // From a device's notify to the central's callback.
  Duration notify = millis(5);
  // From a cancel or a dropped link to the disconnect callback.
  Duration disconnect = millis(10);
};

// The fault knobs of one device.
struct SimFaults {
  enum class Connect { Succeed, Fail, Hang };
  Connect connect = Connect::Succeed;
  // The error of a failed connect.
  BleError connectError{10, "CBErrorDomain", "The connection failed."};
  std::optional<BleError> serviceDiscoveryError;
  std::optional<BleError> characteristicDiscoveryError;
  // Characteristics left out of every discovery.
  std::vector<BleUuid> hiddenCharacteristics;
  // The n-th write from when these faults were set (1 = the next one) is
  // confirmed with writeError and not passed to the device; 0: none.
  std::int64_t failWriteNumber = 0;
  BleError writeError{3, "CBATTErrorDomain", "Writing is not permitted."};
};

struct SimCharacteristicSpec {
  BleUuid uuid;
  CharacteristicProperties properties;
};

struct SimServiceSpec {
  BleUuid uuid;
  std::vector<SimCharacteristicSpec> characteristics;
};

struct SimPeripheralSpec {
  // Upper-case UUID text; a fresh one when absent.
  std::optional<std::string> identifier;
  std::optional<std::string> name;
  // Sent as given (list the services a scan filter should find).
  AdvertisementData advertisement;
  std::int64_t rssi = -60;
  std::vector<SimServiceSpec> services;
};

// The device end of a simulated peripheral: what a terminal's firmware
// would see and do. Non-copyable; made by SimRadio::addPeripheral().
class SimPeripheralDevice {
 public:
  // (characteristic written, value) for every write that reached the device.
  using WriteHandler = std::function<void(const BleUuid& characteristic, const Bytes& value)>;
  // true when a central connected, false when a link ended.
  using ConnectionHandler = std::function<void(bool connected)>;

  struct Impl;
  explicit SimPeripheralDevice(std::shared_ptr<Impl> impl);
  SimPeripheralDevice(const SimPeripheralDevice&) = delete;
  SimPeripheralDevice& operator=(const SimPeripheralDevice&) = delete;

  const std::string& identifier() const;

  void setName(std::optional<std::string> name);
  void setAdvertisement(AdvertisementData advertisement);
  void setRssi(std::int64_t rssi);
  // A device that does not advertise is not reported by scans; it still
  // accepts connects.
  void setAdvertising(bool advertising);
  bool isAdvertising() const;

  void setFaults(SimFaults faults);
  const SimFaults& faults() const;

  void setWriteHandler(WriteHandler handler);
  void setConnectionHandler(ConnectionHandler handler);

  bool isConnected() const;
  // True when a connected central has notifications of `characteristic` on.
  bool isSubscribed(const BleUuid& characteristic) const;
  // Writes received over every link since the device was added.
  std::int64_t writeCount() const;

  // Notifies `value` to every subscribed central. False when none is.
  bool notify(const BleUuid& characteristic, const Bytes& value);
  // The same in pieces of at most `chunk` bytes, in order.
  bool notifyInChunks(const BleUuid& characteristic, const Bytes& value, std::size_t chunk);
  // A notification that reaches the central as an error without a value.
  bool notifyError(const BleUuid& characteristic, const BleError& error);
  // Drops every link; the centrals hear didDisconnect with `error`.
  void disconnect(const BleError& error = BleError{6, "CBErrorDomain",
                                                   "The connection has timed out unexpectedly."});

 private:
  friend class SimRadio;
  std::shared_ptr<Impl> impl_;
};

class SimRadio {
 public:
  struct State;

  // The radio of the process, powered on, on the main loop.
  static SimRadio& shared();

  explicit SimRadio(std::shared_ptr<TaskQueue> queue = MainLoop::sharedPtr(),
                    SimTiming timing = {});
  SimRadio(const SimRadio&) = delete;
  SimRadio& operator=(const SimRadio&) = delete;
  ~SimRadio();

  // A new central on this radio; it tells its delegate the radio's state
  // right after creation.
  std::shared_ptr<CentralManager> createCentral();

  // Puts a device in range of the radio.
  std::shared_ptr<SimPeripheralDevice> addPeripheral(SimPeripheralSpec spec);
  // Takes the device out of range: its links drop with an error and scans
  // no longer see it.
  void removePeripheral(const std::shared_ptr<SimPeripheralDevice>& device);

  ManagerState state() const;
  // Changes the adapter's state and tells every central.
  void setState(ManagerState state);

  const SimTiming& timing() const;
  void setTiming(SimTiming timing);

 private:
  std::shared_ptr<State> state_;
};

}  // namespace veltrix::platform::ble
