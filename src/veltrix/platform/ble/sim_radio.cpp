#include "veltrix/platform/ble/sim_radio.h"

#include <algorithm>
#include <map>

#include "veltrix/platform/log.h"
#include "veltrix/platform/uuid.h"

namespace veltrix::platform::ble {

class SimCentral;
class SimPeripheral;

struct SimRadio::State {
  std::weak_ptr<TaskQueue> queue;
  SimTiming timing;
  ManagerState state = ManagerState::PoweredOn;
  std::vector<std::shared_ptr<SimPeripheralDevice::Impl>> devices;
  std::vector<std::weak_ptr<SimCentral>> centrals;

  // Runs `task` on the radio's queue after `delay` (posted at once for 0).
  void schedule(Duration delay, Task task) const {
    const std::shared_ptr<TaskQueue> target = queue.lock();
    if (!target) return;
    if (delay <= Duration::zero()) {
      target->post(std::move(task));
    } else {
      after(*target, delay, std::move(task));
    }
  }
};

struct SimPeripheralDevice::Impl {
  std::weak_ptr<SimRadio::State> radio;
  std::string identifier;
  std::optional<std::string> name;
  AdvertisementData advertisement;
  std::int64_t rssi = 0;
  std::vector<SimServiceSpec> services;
  bool advertising = true;
  bool inRange = true;
  SimFaults faults;
  std::int64_t writesSinceFaults = 0;
  std::int64_t writeCount = 0;
  SimPeripheralDevice::WriteHandler writeHandler;
  SimPeripheralDevice::ConnectionHandler connectionHandler;
  // The centrals' peripheral objects connected to this device.
  std::vector<std::weak_ptr<SimPeripheral>> links;

  const SimServiceSpec* findService(const BleUuid& uuid) const {
    for (const SimServiceSpec& s : services) {
      if (s.uuid == uuid) return &s;
    }
    return nullptr;
  }
  bool isHidden(const BleUuid& uuid) const {
    const auto& hidden = faults.hiddenCharacteristics;
    return std::find(hidden.begin(), hidden.end(), uuid) != hidden.end();
  }
  std::vector<std::shared_ptr<SimPeripheral>> connectedLinks() const;
  bool notifyLinks(const BleUuid& characteristic, const std::optional<Bytes>& value,
                   const std::optional<BleError>& error);
};

namespace {

bool contains(const std::vector<BleUuid>& list, const BleUuid& uuid) {
  return std::find(list.begin(), list.end(), uuid) != list.end();
}

bool passes(const std::optional<std::vector<BleUuid>>& filter, const BleUuid& uuid) {
  return !filter || filter->empty() || contains(*filter, uuid);
}

const BleError kNotConnected{3, "CBErrorDomain", "The device is not connected."};
const BleError kNotifyNotSupported{6, "CBATTErrorDomain", "Notifications are not supported."};
const BleError kWriteNotPermitted{3, "CBATTErrorDomain", "Writing is not permitted."};

}  // namespace

// One device as one central sees it.
class SimPeripheral final : public Peripheral, public std::enable_shared_from_this<SimPeripheral> {
 public:
  SimPeripheral(std::weak_ptr<SimCentral> central,
                const std::shared_ptr<SimPeripheralDevice::Impl>& device,
                std::weak_ptr<SimRadio::State> radio)
      : central_(std::move(central)),
        device_(device),
        radio_(std::move(radio)),
        identifier_(device->identifier) {}

  std::string identifier() const override { return identifier_; }
  std::optional<std::string> name() const override {
    const auto device = device_.lock();
    return device ? device->name : std::nullopt;
  }
  PeripheralState state() const override { return linkState_; }
  void setDelegate(std::weak_ptr<PeripheralDelegate> delegate) override {
    delegate_ = std::move(delegate);
  }
  std::vector<std::shared_ptr<Service>> services() const override { return services_; }

  void discoverServices(std::optional<std::vector<BleUuid>> filter) override {
    if (!connected("discoverServices")) return;
    later(&SimTiming::discovery, [filter = std::move(filter)](SimPeripheral& self,
                                                              SimPeripheralDevice::Impl& device) {
      if (device.faults.serviceDiscoveryError) {
        self.toDelegate([&](PeripheralDelegate& d) {
          d.didDiscoverServices(self, device.faults.serviceDiscoveryError);
        });
        return;
      }
      std::vector<std::shared_ptr<Service>> found;
      for (const SimServiceSpec& spec : device.services) {
        if (!passes(filter, spec.uuid)) continue;
        std::shared_ptr<Service> service = self.findService(spec.uuid);
        found.push_back(service ? service : std::make_shared<Service>(spec.uuid));
      }
      self.services_ = std::move(found);
      self.toDelegate([&](PeripheralDelegate& d) { d.didDiscoverServices(self, std::nullopt); });
    });
  }

  void discoverCharacteristics(std::optional<std::vector<BleUuid>> filter,
                               const std::shared_ptr<Service>& service) override {
    if (!service || !connected("discoverCharacteristics")) return;
    later(&SimTiming::discovery, [filter = std::move(filter), service](
                                     SimPeripheral& self, SimPeripheralDevice::Impl& device) {
      if (device.faults.characteristicDiscoveryError) {
        self.toDelegate([&](PeripheralDelegate& d) {
          d.didDiscoverCharacteristics(self, service, device.faults.characteristicDiscoveryError);
        });
        return;
      }
      std::vector<std::shared_ptr<Characteristic>> found;
      if (const SimServiceSpec* spec = device.findService(service->uuid())) {
        for (const SimCharacteristicSpec& c : spec->characteristics) {
          if (device.isHidden(c.uuid) || !passes(filter, c.uuid)) continue;
          std::shared_ptr<Characteristic> known;
          for (const auto& existing : service->characteristics()) {
            if (existing->uuid() == c.uuid) known = existing;
          }
          found.push_back(known ? known
                                : std::make_shared<Characteristic>(
                                      c.uuid, c.properties, std::weak_ptr<Service>(service)));
        }
      }
      service->setCharacteristics(std::move(found));
      self.toDelegate([&](PeripheralDelegate& d) {
        d.didDiscoverCharacteristics(self, service, std::nullopt);
      });
    });
  }

  void setNotifyValue(bool enabled,
                      const std::shared_ptr<Characteristic>& characteristic) override {
    if (!characteristic || !connected("setNotifyValue")) return;
    later(&SimTiming::discovery,
          [enabled, characteristic](SimPeripheral& self, SimPeripheralDevice::Impl&) {
            if (!characteristic->properties().notify) {
              self.toDelegate([&](PeripheralDelegate& d) {
                d.didUpdateNotificationState(self, characteristic, kNotifyNotSupported);
              });
              return;
            }
            auto& subs = self.subscribed_;
            subs.erase(std::remove(subs.begin(), subs.end(), characteristic->uuid()), subs.end());
            if (enabled) subs.push_back(characteristic->uuid());
            characteristic->setNotifying(enabled);
            self.toDelegate([&](PeripheralDelegate& d) {
              d.didUpdateNotificationState(self, characteristic, std::nullopt);
            });
          });
  }

  void writeValueWithResponse(Bytes value,
                              const std::shared_ptr<Characteristic>& characteristic) override {
    if (!characteristic) return;
    const auto radio = radio_.lock();
    if (!radio) return;
    if (linkState_ != PeripheralState::Connected) {
      // The platform would drop the write; answering keeps a sender from
      // waiting for ever on a link that is gone.
      logf("SimRadio: write to {} while not connected", identifier_);
      radio->schedule(radio->timing.write, [weak = weak_from_this(), characteristic] {
        if (const auto self = weak.lock()) {
          self->toDelegate([&](PeripheralDelegate& d) {
            d.didWriteValue(*self, characteristic, kNotConnected);
          });
        }
      });
      return;
    }
    later(&SimTiming::write, [value = std::move(value), characteristic](
                                 SimPeripheral& self, SimPeripheralDevice::Impl& device) {
      const std::uint64_t epoch = self.epoch_;
      std::optional<BleError> error;
      if (!characteristic->properties().write) {
        error = kWriteNotPermitted;
      } else if (++device.writesSinceFaults == device.faults.failWriteNumber) {
        error = device.faults.writeError;
      } else {
        ++device.writeCount;
        if (const SimPeripheralDevice::WriteHandler handler = device.writeHandler)
          handler(characteristic->uuid(), value);
        // The handler may have dropped the link; its disconnect tells.
        if (self.epoch_ != epoch) return;
      }
      self.toDelegate([&](PeripheralDelegate& d) { d.didWriteValue(self, characteristic, error); });
    });
  }

  // ---- used by the central and the device ------------------------------

  const std::weak_ptr<SimCentral>& central() const { return central_; }
  const std::weak_ptr<SimPeripheralDevice::Impl>& device() const { return device_; }
  bool isSubscribed(const BleUuid& uuid) const {
    return linkState_ == PeripheralState::Connected && contains(subscribed_, uuid);
  }

  // Starts a connect; false when one is pending already.
  bool beginConnect(std::uint64_t& attempt) {
    if (linkState_ == PeripheralState::Connecting) return false;
    linkState_ = PeripheralState::Connecting;
    attempt = ++attempt_;
    return true;
  }
  bool isAttempt(std::uint64_t attempt) const {
    return linkState_ == PeripheralState::Connecting && attempt_ == attempt;
  }
  void connectFailed() {
    linkState_ = PeripheralState::Disconnected;
    ++attempt_;
  }
  void linkUp(const std::shared_ptr<SimPeripheralDevice::Impl>& device) {
    linkState_ = PeripheralState::Connected;
    ++epoch_;
    services_.clear();
    subscribed_.clear();
    device->links.push_back(weak_from_this());
    if (const SimPeripheralDevice::ConnectionHandler handler = device->connectionHandler)
      handler(true);
  }
  // Ends the link or the pending connect, without telling the central.
  // Returns the state it was in.
  PeripheralState drop() {
    const PeripheralState was = linkState_;
    linkState_ = PeripheralState::Disconnected;
    ++attempt_;
    if (was != PeripheralState::Connected) return was;
    ++epoch_;
    subscribed_.clear();
    if (const auto device = device_.lock()) {
      auto& links = device->links;
      links.erase(std::remove_if(links.begin(), links.end(),
                                 [this](const std::weak_ptr<SimPeripheral>& l) {
                                   const auto p = l.lock();
                                   return !p || p.get() == this;
                                 }),
                  links.end());
      if (const SimPeripheralDevice::ConnectionHandler handler = device->connectionHandler)
        handler(false);
    }
    return was;
  }

  // Delivers a notification of `uuid` on this link after the notify delay.
  void deliverNotification(const BleUuid& uuid, const std::optional<Bytes>& value,
                           const std::optional<BleError>& error) {
    later(
        &SimTiming::notify,
        [uuid, value, error](SimPeripheral& self, SimPeripheralDevice::Impl&) {
          const std::shared_ptr<Characteristic> characteristic = self.findCharacteristic(uuid);
          if (!characteristic) return;
          if (value) characteristic->setValue(value);
          self.toDelegate(
              [&](PeripheralDelegate& d) { d.didUpdateValue(self, characteristic, value, error); });
        },
        /*ordered=*/false);
  }

 private:
  using Step = std::function<void(SimPeripheral&, SimPeripheralDevice::Impl&)>;

  bool connected(std::string_view what) const {
    if (linkState_ == PeripheralState::Connected) return true;
    logf("SimRadio: {} on {} while not connected", what, identifier_);
    return false;
  }

  // Runs `step` after one of the radio's delays, unless the link that is up
  // now has gone by then. Requests of the central complete in the order
  // they were made, as on a real link, whatever their delays.
  void later(Duration SimTiming::*delay, Step step, bool ordered = true) {
    const auto radio = radio_.lock();
    if (!radio) return;
    const TimePoint now = clock().now();
    TimePoint due = now + radio->timing.*delay;
    if (ordered) {
      due = std::max(due, busyUntil_);
      busyUntil_ = due;
    }
    radio->schedule(due - now, [weak = weak_from_this(), epoch = epoch_, step = std::move(step)] {
      const auto self = weak.lock();
      if (!self || self->epoch_ != epoch || self->linkState_ != PeripheralState::Connected) {
        return;
      }
      const auto device = self->device_.lock();
      if (device) step(*self, *device);
    });
  }

  void toDelegate(const std::function<void(PeripheralDelegate&)>& call) {
    if (const auto delegate = delegate_.lock()) call(*delegate);
  }

  std::shared_ptr<Service> findService(const BleUuid& uuid) const {
    for (const auto& s : services_) {
      if (s->uuid() == uuid) return s;
    }
    return nullptr;
  }
  std::shared_ptr<Characteristic> findCharacteristic(const BleUuid& uuid) const {
    for (const auto& s : services_) {
      for (const auto& c : s->characteristics()) {
        if (c->uuid() == uuid) return c;
      }
    }
    return nullptr;
  }

  std::weak_ptr<SimCentral> central_;
  std::weak_ptr<SimPeripheralDevice::Impl> device_;
  std::weak_ptr<SimRadio::State> radio_;
  std::string identifier_;
  std::weak_ptr<PeripheralDelegate> delegate_;
  PeripheralState linkState_ = PeripheralState::Disconnected;
  // Moves whenever a link comes up or goes down: steps of an older link
  // are dropped.
  std::uint64_t epoch_ = 0;
  // Moves with every connect, failure, cancel and drop.
  std::uint64_t attempt_ = 0;
  // When the last request of the central on this link completes.
  TimePoint busyUntil_{};
  std::vector<std::shared_ptr<Service>> services_;
  std::vector<BleUuid> subscribed_;
};

class SimCentral final : public CentralManager, public std::enable_shared_from_this<SimCentral> {
 public:
  explicit SimCentral(std::weak_ptr<SimRadio::State> radio) : radio_(std::move(radio)) {}

  ManagerState state() const override { return reported_; }
  void setDelegate(std::weak_ptr<CentralDelegate> delegate) override {
    delegate_ = std::move(delegate);
  }

  void scanForPeripherals(std::optional<std::vector<BleUuid>> services,
                          bool allowDuplicates) override {
    const auto radio = radio_.lock();
    if (!radio) return;
    if (radio->state != ManagerState::PoweredOn) {
      logLine("SimRadio: scan refused, the radio is not powered on");
      return;
    }
    scanning_ = true;
    ++scanGeneration_;
    filter_ = std::move(services);
    allowDuplicates_ = allowDuplicates;
    reported_ids_.clear();
    scheduleTick(*radio, scanGeneration_);
  }

  void stopScan() override {
    scanning_ = false;
    ++scanGeneration_;
  }
  bool isScanning() const override { return scanning_; }

  void connect(const std::shared_ptr<Peripheral>& peripheral) override {
    const auto radio = radio_.lock();
    const std::shared_ptr<SimPeripheral> sim = own(peripheral);
    if (!radio || !sim) return;
    if (radio->state != ManagerState::PoweredOn) {
      logf("SimRadio: connect to {} refused, the radio is not powered on", sim->identifier());
      return;
    }
    if (sim->state() == PeripheralState::Connected) {
      // Connecting a connected device only confirms it.
      radio->schedule(radio->timing.connect, [weak = weak_from_this(), sim] {
        if (const auto self = weak.lock()) {
          self->toDelegate([&](CentralDelegate& d) { d.didConnect(sim); });
        }
      });
      return;
    }
    std::uint64_t attempt = 0;
    if (!sim->beginConnect(attempt)) return;
    radio->schedule(radio->timing.connect, [weak = weak_from_this(), sim, attempt] {
      const auto self = weak.lock();
      if (!self || !sim->isAttempt(attempt)) return;
      const auto device = sim->device().lock();
      // Out of range or told to hang: the connect stays pending.
      if (!device || !device->inRange || device->faults.connect == SimFaults::Connect::Hang) return;
      if (device->faults.connect == SimFaults::Connect::Fail) {
        sim->connectFailed();
        const BleError error = device->faults.connectError;
        self->toDelegate([&](CentralDelegate& d) { d.didFailToConnect(sim, error); });
        return;
      }
      sim->linkUp(device);
      self->toDelegate([&](CentralDelegate& d) { d.didConnect(sim); });
    });
  }

  void cancelPeripheralConnection(const std::shared_ptr<Peripheral>& peripheral) override {
    const auto radio = radio_.lock();
    const std::shared_ptr<SimPeripheral> sim = own(peripheral);
    if (!radio || !sim) return;
    if (sim->drop() == PeripheralState::Disconnected) return;
    radio->schedule(radio->timing.disconnect, [weak = weak_from_this(), sim] {
      if (const auto self = weak.lock()) {
        self->toDelegate([&](CentralDelegate& d) { d.didDisconnect(sim, std::nullopt); });
      }
    });
  }

  std::vector<std::shared_ptr<Peripheral>> retrieveConnectedPeripherals(
      const std::vector<BleUuid>& services) override {
    std::vector<std::shared_ptr<Peripheral>> out;
    const auto radio = radio_.lock();
    if (!radio || radio->state != ManagerState::PoweredOn) return out;
    for (const auto& device : radio->devices) {
      if (!device->inRange || device->connectedLinks().empty()) continue;
      const bool offers = std::any_of(services.begin(), services.end(), [&](const BleUuid& uuid) {
        return device->findService(uuid) != nullptr;
      });
      if (offers) out.push_back(peripheralFor(device));
    }
    return out;
  }

  // ---- used by the radio and the devices --------------------------------

  void toDelegate(const std::function<void(CentralDelegate&)>& call) {
    if (const auto delegate = delegate_.lock()) call(*delegate);
  }

  void setReportedState(ManagerState state) { reported_ = state; }

  // The radio went down: scans and links end without callbacks.
  void powerLost() {
    stopScan();
    for (auto& [id, sim] : peripherals_) sim->drop();
  }

  std::shared_ptr<SimPeripheral> peripheralFor(
      const std::shared_ptr<SimPeripheralDevice::Impl>& device) {
    auto& slot = peripherals_[device->identifier];
    if (!slot) slot = std::make_shared<SimPeripheral>(weak_from_this(), device, radio_);
    return slot;
  }

 private:
  std::shared_ptr<SimPeripheral> own(const std::shared_ptr<Peripheral>& peripheral) const {
    if (!peripheral) return nullptr;
    const auto it = peripherals_.find(peripheral->identifier());
    if (it == peripherals_.end() || it->second.get() != peripheral.get()) {
      logLine("SimRadio: peripheral not known to this central");
      return nullptr;
    }
    return it->second;
  }

  void scheduleTick(const SimRadio::State& radio, std::uint64_t generation) {
    const Duration interval = std::max<Duration>(radio.timing.advertisingInterval, millis(1));
    radio.schedule(interval, [weak = weak_from_this(), generation] {
      if (const auto self = weak.lock()) self->tick(generation);
    });
  }

  void tick(std::uint64_t generation) {
    const auto radio = radio_.lock();
    if (!radio || !scanning_ || generation != scanGeneration_) return;
    const auto devices = radio->devices;
    for (const auto& device : devices) {
      if (!device->advertising || !device->inRange) continue;
      const auto& advertised = device->advertisement.serviceUuids;
      const bool wanted =
          !filter_ || filter_->empty() ||
          std::any_of(advertised.begin(), advertised.end(),
                      [this](const BleUuid& uuid) { return contains(*filter_, uuid); });
      if (!wanted) continue;
      if (!allowDuplicates_) {
        if (std::find(reported_ids_.begin(), reported_ids_.end(), device->identifier) !=
            reported_ids_.end()) {
          continue;
        }
        reported_ids_.push_back(device->identifier);
      }
      const std::shared_ptr<SimPeripheral> sim = peripheralFor(device);
      const AdvertisementData advertisement = device->advertisement;
      const std::int64_t rssi = device->rssi;
      toDelegate([&](CentralDelegate& d) { d.didDiscover(sim, advertisement, rssi); });
      // The delegate may have stopped or restarted the scan.
      if (!scanning_ || generation != scanGeneration_) return;
    }
    scheduleTick(*radio, generation);
  }

  std::weak_ptr<SimRadio::State> radio_;
  std::weak_ptr<CentralDelegate> delegate_;
  ManagerState reported_ = ManagerState::Unknown;
  bool scanning_ = false;
  std::uint64_t scanGeneration_ = 0;
  std::optional<std::vector<BleUuid>> filter_;
  bool allowDuplicates_ = false;
  std::vector<std::string> reported_ids_;
  std::map<std::string, std::shared_ptr<SimPeripheral>> peripherals_;
};

// ---- SimPeripheralDevice ---------------------------------------------------

std::vector<std::shared_ptr<SimPeripheral>> SimPeripheralDevice::Impl::connectedLinks() const {
  std::vector<std::shared_ptr<SimPeripheral>> out;
  for (const auto& weak : links) {
    if (auto link = weak.lock(); link && link->state() == PeripheralState::Connected) {
      out.push_back(std::move(link));
    }
  }
  return out;
}

bool SimPeripheralDevice::Impl::notifyLinks(const BleUuid& characteristic,
                                            const std::optional<Bytes>& value,
                                            const std::optional<BleError>& error) {
  bool sent = false;
  for (const auto& link : connectedLinks()) {
    if (!link->isSubscribed(characteristic)) continue;
    link->deliverNotification(characteristic, value, error);
    sent = true;
  }
  return sent;
}

SimPeripheralDevice::SimPeripheralDevice(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}

const std::string& SimPeripheralDevice::identifier() const { return impl_->identifier; }
void SimPeripheralDevice::setName(std::optional<std::string> name) {
  impl_->name = std::move(name);
}
void SimPeripheralDevice::setAdvertisement(AdvertisementData advertisement) {
  impl_->advertisement = std::move(advertisement);
}
void SimPeripheralDevice::setRssi(std::int64_t rssi) { impl_->rssi = rssi; }
void SimPeripheralDevice::setAdvertising(bool advertising) { impl_->advertising = advertising; }
bool SimPeripheralDevice::isAdvertising() const { return impl_->advertising; }

void SimPeripheralDevice::setFaults(SimFaults faults) {
  impl_->faults = std::move(faults);
  impl_->writesSinceFaults = 0;
}
const SimFaults& SimPeripheralDevice::faults() const { return impl_->faults; }

void SimPeripheralDevice::setWriteHandler(WriteHandler handler) {
  impl_->writeHandler = std::move(handler);
}
void SimPeripheralDevice::setConnectionHandler(ConnectionHandler handler) {
  impl_->connectionHandler = std::move(handler);
}

bool SimPeripheralDevice::isConnected() const { return !impl_->connectedLinks().empty(); }

bool SimPeripheralDevice::isSubscribed(const BleUuid& characteristic) const {
  const auto links = impl_->connectedLinks();
  return std::any_of(links.begin(), links.end(),
                     [&](const auto& link) { return link->isSubscribed(characteristic); });
}

std::int64_t SimPeripheralDevice::writeCount() const { return impl_->writeCount; }

bool SimPeripheralDevice::notify(const BleUuid& characteristic, const Bytes& value) {
  return impl_->notifyLinks(characteristic, value, std::nullopt);
}

bool SimPeripheralDevice::notifyInChunks(const BleUuid& characteristic, const Bytes& value,
                                         std::size_t chunk) {
  if (chunk == 0) return false;
  bool sent = false;
  for (std::size_t at = 0; at < value.size(); at += chunk) {
    const auto begin = value.begin() + static_cast<std::ptrdiff_t>(at);
    const auto end =
        value.begin() + static_cast<std::ptrdiff_t>(std::min(at + chunk, value.size()));
    sent = notify(characteristic, Bytes(begin, end)) || sent;
  }
  return sent;
}

bool SimPeripheralDevice::notifyError(const BleUuid& characteristic, const BleError& error) {
  return impl_->notifyLinks(characteristic, std::nullopt, error);
}

void SimPeripheralDevice::disconnect(const BleError& error) {
  const auto radio = impl_->radio.lock();
  if (!radio) return;
  for (const auto& link : impl_->connectedLinks()) {
    link->drop();
    radio->schedule(radio->timing.disconnect, [link, error] {
      if (const auto central = link->central().lock()) {
        central->toDelegate([&](CentralDelegate& d) { d.didDisconnect(link, error); });
      }
    });
  }
}

// ---- SimRadio ----------------------------------------------------------------

SimRadio& SimRadio::shared() {
  // Never destroyed, like every process-wide object.
  static auto* radio = new SimRadio;
  return *radio;
}

SimRadio::SimRadio(std::shared_ptr<TaskQueue> queue, SimTiming timing)
    : state_(std::make_shared<State>()) {
  state_->queue = queue;
  state_->timing = timing;
}

SimRadio::~SimRadio() = default;

std::shared_ptr<CentralManager> SimRadio::createCentral() {
  auto central = std::make_shared<SimCentral>(state_);
  auto& centrals = state_->centrals;
  centrals.erase(std::remove_if(centrals.begin(), centrals.end(),
                                [](const std::weak_ptr<SimCentral>& c) { return c.expired(); }),
                 centrals.end());
  centrals.push_back(central);
  state_->schedule(Duration::zero(),
                   [weak = std::weak_ptr<SimCentral>(central), state = state_->state] {
                     if (const auto self = weak.lock()) {
                       self->setReportedState(state);
                       self->toDelegate([&](CentralDelegate& d) { d.didUpdateState(state); });
                     }
                   });
  return central;
}

std::shared_ptr<SimPeripheralDevice> SimRadio::addPeripheral(SimPeripheralSpec spec) {
  auto impl = std::make_shared<SimPeripheralDevice::Impl>();
  impl->radio = state_;
  impl->identifier = spec.identifier.value_or(newUuid());
  impl->name = std::move(spec.name);
  impl->advertisement = std::move(spec.advertisement);
  impl->rssi = spec.rssi;
  impl->services = std::move(spec.services);
  state_->devices.push_back(impl);
  return std::make_shared<SimPeripheralDevice>(impl);
}

void SimRadio::removePeripheral(const std::shared_ptr<SimPeripheralDevice>& device) {
  if (!device) return;
  auto& devices = state_->devices;
  devices.erase(std::remove(devices.begin(), devices.end(), device->impl_), devices.end());
  device->impl_->inRange = false;
  device->disconnect();
}

ManagerState SimRadio::state() const { return state_->state; }

void SimRadio::setState(ManagerState state) {
  if (state == state_->state) return;
  state_->state = state;
  for (const auto& weak : state_->centrals) {
    const auto central = weak.lock();
    if (!central) continue;
    if (state != ManagerState::PoweredOn) central->powerLost();
    state_->schedule(Duration::zero(), [weak, state] {
      if (const auto self = weak.lock()) {
        self->setReportedState(state);
        self->toDelegate([&](CentralDelegate& d) { d.didUpdateState(state); });
      }
    });
  }
}

const SimTiming& SimRadio::timing() const { return state_->timing; }
void SimRadio::setTiming(SimTiming timing) { state_->timing = timing; }

}  // namespace veltrix::platform::ble
