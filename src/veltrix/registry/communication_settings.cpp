#include "veltrix/registry/communication_settings.h"

#include <string>

#include "veltrix/registry/database_manager.h"

namespace veltrix::registry {

StoredCommunicationSettings& StoredCommunicationSettings::shared() {
  static auto& settings = *new StoredCommunicationSettings(DatabaseManager::sharedManager());
  return settings;
}

bool StoredCommunicationSettings::getCommunicateTypeState(std::int64_t type) {
  std::string_view key;
  bool unsetValue = false;
  if (type == kCommunicateTypeLan) {
    key = kCommunicateTypeByLanKey;
    unsetValue = true;
  } else if (type == kCommunicateTypeBluetooth) {
    key = kCommunicateTypeByBluetoothKey;
  } else {
    return false;
  }
  const std::string value = database_.fetchSetting(key);
  if (value.empty()) return unsetValue;
  return leadingInteger(value) > 0;
}

}  // namespace veltrix::registry
