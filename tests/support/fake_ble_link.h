// A Bluetooth screen's link to the transport, faked: it keeps the blocks the
// screen gives it, so a test reports scan results, completes a connection
// (also from another thread) and sets what the paired test reads.
//
// Header-only. Main loop, except completeOffMain's own thread.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "veltrix/ui/ble_link.h"

namespace veltrix::testing {

class FakeBleLink final : public ui::BleSettingsLink {
 public:
  void startScan(transport::BLEScanSingleBlock block) override {
    ++scans;
    scanBlock = std::move(block);
  }
  void stopScan() override {
    ++stops;
    scanBlock = nullptr;
  }
  void connectPeripheralWithModel(const transport::BLEPeripheralModel& model,
                                  transport::BLEConnectCompletion completion) override {
    connects.push_back(model);
    pendingConnect = std::move(completion);
  }
  void setConnectStatusChangeBlock(transport::BLEConnectStatusChangeBlock block) override {
    statusBlock = std::move(block);
  }
  std::optional<transport::BLEConnectStatus> connectStatus(const std::string& sn) override {
    const auto it = statuses.find(sn);
    if (it == statuses.end()) return std::nullopt;
    return it->second;
  }
  std::optional<std::string> serviceUUIDString() override { return serviceUuid; }
  std::vector<std::string> connectedPeripheralIdentifiers(
      const platform::ble::BleUuid& service) override {
    asked.push_back(service.str());
    return connectedIds;
  }
  void clearLastConnectDevice() override { ++clears; }

  void report(const transport::BLEPeripheralModel& model) {
    if (scanBlock) scanBlock(model);
  }
  // The transport may complete on another thread.
  void completeOffMain(bool success, std::string message, std::string sn = "TAVIO-0001") {
    std::thread([&] { pendingConnect(success, message, sn); }).join();
  }

  int scans = 0;
  int stops = 0;
  int clears = 0;
  transport::BLEScanSingleBlock scanBlock;
  std::vector<transport::BLEPeripheralModel> connects;
  transport::BLEConnectCompletion pendingConnect;
  transport::BLEConnectStatusChangeBlock statusBlock;

  std::map<std::string, transport::BLEConnectStatus> statuses;
  std::optional<std::string> serviceUuid;
  std::vector<std::string> connectedIds;
  // The services connectedPeripheralIdentifiers() was asked about.
  std::vector<std::string> asked;
};

// A scan result.
inline transport::BLEPeripheralModel peripheral(std::optional<std::string> name,
                                                std::optional<std::string> uuid,
                                                std::optional<std::int64_t> rssi = -58,
                                                std::optional<std::string> sn = "TAVIO-0001") {
  transport::BLEPeripheralModel m;
  m.name = std::move(name);
  m.uuidString = std::move(uuid);
  m.rssi = rssi;
  m.manufacturerName = std::move(sn);
  return m;
}

}  // namespace veltrix::testing
