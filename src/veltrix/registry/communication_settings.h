// Which connection methods the user has switched on: what discovery and
// the own handshake read of the settings ("CommunicateTypeByLan",
// "CommunicateTypeByBluetooth" in the settings table).
//
// StoredCommunicationSettings reads the database on every call, so a
// change made through the settings facade is seen at the next read.
// Thread-safety: any thread (the database takes its own lock).
// Ownership: it refers to a database it does not own. Non-copyable.
#pragma once

#include <cstdint>
#include <string_view>

namespace veltrix::registry {

class DatabaseManager;

inline constexpr std::int64_t kCommunicateTypeLan = 0;
inline constexpr std::int64_t kCommunicateTypeBluetooth = 1;
inline constexpr std::string_view kCommunicateTypeByLanKey = "CommunicateTypeByLan";
inline constexpr std::string_view kCommunicateTypeByBluetoothKey = "CommunicateTypeByBluetooth";

class CommunicationSettings {
 public:
  virtual ~CommunicationSettings() = default;
  // Whether connection method `type` (kCommunicateTypeLan or
  // kCommunicateTypeBluetooth) is on; false for any other type.
  virtual bool getCommunicateTypeState(std::int64_t type) = 0;
};

class StoredCommunicationSettings final : public CommunicationSettings {
 public:
  // Over the process-wide database.
  static StoredCommunicationSettings& shared();

  explicit StoredCommunicationSettings(DatabaseManager& database) : database_(database) {}
  StoredCommunicationSettings(const StoredCommunicationSettings&) = delete;
  StoredCommunicationSettings& operator=(const StoredCommunicationSettings&) = delete;

  // An unset or empty value is on for the LAN and off for Bluetooth LE;
  // otherwise on when the value's leading integer is above 0.
  bool getCommunicateTypeState(std::int64_t type) override;

 private:
  DatabaseManager& database_;
};

}  // namespace veltrix::registry
