// A small terminal on the simulated radio for the Bluetooth LE transport's
// tests. It reads and writes frames with its own code (not the library's),
// so a fault shared by both sides cannot hide.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/test_env.h"
#include "veltrix/platform/ble/sim_radio.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/user_defaults.h"
#include "veltrix/transport/ble_communicate_service.h"

namespace veltrix::transport::bletest {

namespace ble = ::veltrix::platform::ble;
using ::veltrix::platform::Bytes;

inline const ble::BleUuid kService = *ble::BleUuid::fromString(kBleServiceUUID);
inline const ble::BleUuid kWrite = *ble::BleUuid::fromString(kBleWriteCharacteristicUUID);
inline const ble::BleUuid kNotify = *ble::BleUuid::fromString(kBleReadCharacteristicUUID);

// 0x02, the length as six BCD digits, the text, 0x03, the XOR after 0x02.
// Written by index into a buffer of the final size: GCC 12 at -O3 reports
// push_back followed by a range insert as an overflow that cannot happen.
inline Bytes terminalFrame(std::string_view text) {
  Bytes out(text.size() + 6);
  out[0] = 0x02;
  std::size_t n = text.size();
  std::uint8_t digits[6];
  for (int i = 5; i >= 0; --i, n /= 10) digits[i] = static_cast<std::uint8_t>(n % 10);
  for (int i = 0; i < 3; ++i)
    out[1 + i] = static_cast<std::uint8_t>(digits[2 * i] << 4 | digits[2 * i + 1]);
  for (std::size_t i = 0; i < text.size(); ++i) out[4 + i] = static_cast<std::uint8_t>(text[i]);
  out[4 + text.size()] = 0x03;
  std::uint8_t check = 0;
  for (std::size_t i = 1; i < 5 + text.size(); ++i) check ^= out[i];
  out[5 + text.size()] = check;
  return out;
}

inline Bytes joined(const std::vector<Bytes>& parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

struct TerminalOptions {
  std::string sn = "TAVIO0000001";
  // Manufacturer data as advertised; by default 0xFF 0xFF and the SN.
  std::optional<Bytes> manufacturerData;
  bool hasWrite = true;
  bool hasNotify = true;
};

inline TerminalOptions withData(Bytes manufacturerData) {
  TerminalOptions options;
  options.manufacturerData = std::move(manufacturerData);
  return options;
}

class TestTerminal {
 public:
  TestTerminal(ble::SimRadio& radio, std::string sn) : TestTerminal(radio, named(std::move(sn))) {}
  TestTerminal(ble::SimRadio& radio, TerminalOptions options = {}) : options_(std::move(options)) {
    ble::SimPeripheralSpec spec;
    spec.name = "Tavio " + options_.sn;
    spec.advertisement.serviceUuids = {kService};
    Bytes data{0xFF, 0xFF};
    data.insert(data.end(), options_.sn.begin(), options_.sn.end());
    spec.advertisement.manufacturerData = options_.manufacturerData.value_or(data);
    ble::SimServiceSpec service{kService, {}};
    if (options_.hasWrite) service.characteristics.push_back({kWrite, {.write = true}});
    if (options_.hasNotify) service.characteristics.push_back({kNotify, {.notify = true}});
    spec.services = {service};
    device_ = radio.addPeripheral(spec);
    device_->setWriteHandler([this](const ble::BleUuid&, const Bytes& value) { onWrite(value); });
  }

  ble::SimPeripheralDevice& device() { return *device_; }
  const std::shared_ptr<ble::SimPeripheralDevice>& devicePtr() { return device_; }
  const std::string& sn() const { return options_.sn; }
  const std::string& identifier() const { return device_->identifier(); }

  // Sends `text` as one frame in notifications of `chunk` bytes.
  void send(std::string_view text, std::size_t chunk = 20) {
    sendBytes(terminalFrame(text), chunk);
  }
  void sendBytes(const Bytes& bytes, std::size_t chunk = 512) {
    EXPECT_TRUE(device_->notifyInChunks(kNotify, bytes, chunk));
  }

  // Complete frames the library wrote, as text, and the size of each write.
  std::vector<std::string> requests;
  std::vector<std::size_t> writeSizes;
  int badFrames = 0;
  // Called with each complete request.
  std::function<void(const std::string&)> onRequest;

 private:
  static TerminalOptions named(std::string sn) {
    TerminalOptions options;
    options.sn = std::move(sn);
    return options;
  }

  void onWrite(const Bytes& value) {
    writeSizes.push_back(value.size());
    inbox_.insert(inbox_.end(), value.begin(), value.end());
    while (inbox_.size() >= 4) {
      if (inbox_[0] != 0x02) {
        inbox_.erase(inbox_.begin());
        continue;
      }
      std::size_t n = 0;
      for (int i = 1; i <= 3; ++i) n = n * 100 + (inbox_[i] >> 4) * 10 + (inbox_[i] & 0x0F);
      if (inbox_.size() < n + 6) return;
      std::uint8_t check = 0;
      for (std::size_t i = 1; i < n + 5; ++i) check ^= inbox_[i];
      const std::string text(inbox_.begin() + 4, inbox_.begin() + 4 + static_cast<long>(n));
      const bool good = inbox_[n + 4] == 0x03 && inbox_[n + 5] == check;
      inbox_.erase(inbox_.begin(), inbox_.begin() + static_cast<long>(n + 6));
      if (!good) {
        ++badFrames;
        continue;
      }
      requests.push_back(text);
      if (onRequest) onRequest(text);
    }
  }

  TerminalOptions options_;
  std::shared_ptr<ble::SimPeripheralDevice> device_;
  Bytes inbox_;
};

struct StatusEvent {
  BLEConnectStatus status;
  std::string message;
  std::string sn;
  bool operator==(const StatusEvent&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const StatusEvent& e) {
  return os << "(" << static_cast<int>(e.status) << ", " << e.message << ", " << e.sn << ")";
}

// Every call of one connect completion.
struct ConnectCalls {
  struct Call {
    bool ok;
    std::optional<std::string> message;
    std::optional<std::string> sn;
  };
  // Shared with the blocks, which the transport may keep longer.
  std::shared_ptr<std::vector<Call>> data = std::make_shared<std::vector<Call>>();
  std::vector<Call>& calls = *data;
  BLEConnectCompletion block() {
    return [d = data](bool ok, std::optional<std::string> m, std::optional<std::string> s) {
      d->push_back({ok, std::move(m), std::move(s)});
    };
  }
};

// Every call of one request's blocks.
struct ExchangeCalls {
  struct Result {
    std::optional<std::string> response;
    std::optional<std::string> exchangeId;
    bool endFlag;
    std::optional<std::string> serviceType;
    std::int64_t code;
    std::optional<std::string> message;
  };
  struct Progress {
    std::optional<std::string> exchangeId;
    std::optional<std::string> serviceType;
    std::shared_ptr<const model::EventNotificationParam> notification;
  };
  // Shared with the blocks, which the transport keeps on its records.
  struct Data {
    std::vector<Result> results;
    std::vector<Progress> progress;
  };
  std::shared_ptr<Data> data = std::make_shared<Data>();
  std::vector<Result>& results = data->results;
  std::vector<Progress>& progress = data->progress;

  CommunicateResultBlock resultBlock() {
    return
        [d = data](std::optional<std::string> r, std::optional<std::string> x, bool end,
                   std::optional<std::string> t, std::int64_t code, std::optional<std::string> m) {
          d->results.push_back({std::move(r), std::move(x), end, std::move(t), code, std::move(m)});
        };
  }
  CommunicateProgressBlock progressBlock() {
    return [d = data](std::optional<std::string> x, std::optional<std::string> t,
                      std::shared_ptr<const model::EventNotificationParam> n) {
      d->progress.push_back({std::move(x), std::move(t), std::move(n)});
    };
  }
  // The one error reported, as (code, message); (0, "") when there is not
  // exactly one result or it is a response.
  std::pair<std::int64_t, std::string> error() const {
    if (results.size() != 1 || results[0].response) return {0, ""};
    return {results[0].code, results[0].message.value_or("")};
  }
};

// A transport on a radio of its own with a terminal in range.
class BleTransportTest : public testing::LoopTest {
 protected:
  BleTransportTest()
      : radio(platform::MainLoop::sharedPtr()),
        defaults(docs() / "defaults.json"),
        service(radio.createCentral(), defaults) {
    service.setConnectStatusChangeBlock(
        [this](BLEConnectStatus s, std::optional<std::string> m, std::optional<std::string> sn) {
          statuses.push_back({s, m.value_or("(null)"), sn.value_or("(null)")});
        });
    runPending();  // the radio's first state
  }

  // Connects `terminal` by SN and checks it became ready.
  std::shared_ptr<BLEDeviceConnection> connect(TestTerminal& terminal) {
    ConnectCalls calls;
    service.connectPeripheralWithSN(terminal.sn(), calls.block());
    advanceSeconds(0.5);
    EXPECT_EQ(calls.calls.size(), 1u);
    EXPECT_TRUE(service.isDeviceConnectedWithSN(terminal.sn()));
    return service.getConnectionBySN(terminal.sn());
  }

  void send(const std::string& sn, std::optional<std::string> text, ExchangeCalls& calls,
            std::optional<std::string> exchangeId = "EX1") {
    service.sendRequest(std::move(text), std::move(exchangeId), "Purchase", sn,
                        calls.progressBlock(), calls.resultBlock());
  }

  ble::SimRadio radio;
  platform::UserDefaults defaults;
  BLECommunicateService service;
  std::vector<StatusEvent> statuses;
  platform::ScopedLogCapture log;
};

}  // namespace veltrix::transport::bletest
