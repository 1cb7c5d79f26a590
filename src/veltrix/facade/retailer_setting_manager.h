// The settings facade: how the library reaches terminals (which transports
// are on, the fixed destination, the remember strategy of each service), what
// the scan screen shows, which terminals are allowed, and the operations that
// forget stored choices. Every choice is a row of the database's settings
// table, read there by the choice of the terminal service and by dispatch.
// It also lets the host run terminal discovery without the scan screen
// (startDiscoverServices): it keeps the services reported since the start
// and forwards every service and terminal to the host's delegate.
//
// Setting keys and their values (an unset key reads as ""):
//   "CommunicateTypeByLan", "CommunicateTypeByBluetooth"  "1" / "0"; unset:
//       LAN on, Bluetooth LE off
//   "DefultTerminslByIp"        "ip:port" of the default terminal
//   "DESTINATION_SN"            serial number of the fixed terminal
//   "DESTINATION_SERVICETYPE-<service name>"  serial number for that type
//   "DESTINATION_SN_SERVICEID"  "sn:serviceId"
//   <service name>              remember strategy "0", "1" or "2"
//   "SHOW_SETTING", "SHOW_REMEMBER"  "1" / "0"; "0" hides the scan screen's
//       settings or remember button
//   "deviceAcessList"           allowed serial numbers joined by ":"
//   "REMEMBER_SERVICE", "REMEMBER_STRAGETY"  never written, only deleted
//
// Threads: the operations run on the caller's thread (the host's and the
// screens' calls come from the main loop) with no lock of their own; the
// database serialises each statement. Discovery and the host's delegate
// are used on the main loop only.
//
// Ownership: the facade refers to the database and the discovery manager,
// which must outlive it; sharedManager() lives for the process and is coupled
// to the process-wide discovery manager. It is the discovery manager's
// delegate (held weakly there), so it is owned through a std::shared_ptr;
// the host's delegate is held weakly. Non-copyable.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "veltrix/facade/retailer_setting_manager_delegate.h"
#include "veltrix/registry/communication_settings.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/registry/discover_manager_delegate.h"
#include "veltrix/registry/terminal_info.h"

namespace veltrix::facade {

// The setting keys, exported for hosts and screens.
inline constexpr std::string_view remember_service = "REMEMBER_SERVICE";
inline constexpr std::string_view destination_sn = "DESTINATION_SN";
// Prefix of the per-type destination key; see destinationServiceTypeKey().
inline constexpr std::string_view destination_servicetype = "DESTINATION_SERVICETYPE";
inline constexpr std::string_view destination_sn_serviceid = "DESTINATION_SN_SERVICEID";
inline constexpr std::string_view Defult_Terminsl_ByIp = "DefultTerminslByIp";
inline constexpr std::string_view show_setting = "SHOW_SETTING";
inline constexpr std::string_view show_remember = "SHOW_REMEMBER";
inline constexpr std::string_view device_Acess_List = "deviceAcessList";
inline constexpr std::string_view remember_stragety = "REMEMBER_STRAGETY";
inline constexpr std::string_view communicate_type_by_lan = registry::kCommunicateTypeByLanKey;
inline constexpr std::string_view communicate_type_by_bluetooth =
    registry::kCommunicateTypeByBluetoothKey;
// Not a settings key: the Bluetooth LE transport's stored last device.
inline constexpr std::string_view last_Device_UUID_Key = "BLE_Last_Connect_Device_UUID";

// Communication types of setCommunicateType / getCommunicateTypeState.
inline constexpr std::int64_t kCommunicateTypeLan = 0;
inline constexpr std::int64_t kCommunicateTypeBluetooth = 1;

// "DESTINATION_SERVICETYPE-" followed by the service name.
std::string destinationServiceTypeKey(std::string_view serviceName);

class RetailerSettingManager : public registry::DiscoverManagerDelegate,
                               public std::enable_shared_from_this<RetailerSettingManager> {
 public:
  using TextArg = registry::TextArg;

  // The process-wide settings facade on the shared database and the shared
  // discovery manager, made once (first use on the main loop).
  static RetailerSettingManager& sharedManager();
  static std::shared_ptr<RetailerSettingManager> sharedPtr();

  // A settings facade coupled to `discovery` (when given) as the design's
  // creation does: discovery's scan type becomes 1, and the facade becomes
  // its delegate unless discovery already has one.
  static std::shared_ptr<RetailerSettingManager> create(
      registry::DatabaseManager& database, registry::DiscoveryControl* discovery = nullptr);

  // A facade without the coupling (create() adds it).
  RetailerSettingManager(registry::DatabaseManager& database,
                         registry::DiscoveryControl* discovery = nullptr);
  ~RetailerSettingManager() override;
  RetailerSettingManager(const RetailerSettingManager&) = delete;
  RetailerSettingManager& operator=(const RetailerSettingManager&) = delete;

  // The discovery this facade is coupled to, or null.
  registry::DiscoveryControl* discoveryControl() const { return discoverManager_; }

  // --- connection methods ---------------------------------------------------

  // Stores `state` for kCommunicateTypeLan or kCommunicateTypeBluetooth;
  // any other type does nothing.
  void setCommunicateType(std::int64_t type, bool state);
  // The stored switch: its leading integer > 0; unset or "" gives true for
  // LAN and false for Bluetooth LE; any other type gives false.
  bool getCommunicateTypeState(std::int64_t type);

  // --- destinations -----------------------------------------------------------
  // Each setter that accepts its arguments first resets the destinations:
  // every remembered service goes, then clearAllDestination().

  // The default terminal "ip:port"; both must be present.
  void destinationPort(TextArg ip, TextArg port);
  void destinationPort(TextArg ip, std::int64_t port);
  // The fixed terminal; `sn` must be non-empty.
  void destination(TextArg sn);
  // The terminal for service number `serviceType`; `sn` must be present.
  // After the reset the type's previous terminal is dropped, and `sn` is
  // stored when it offers an enabled service of that type.
  void destinationServiceType(TextArg sn, std::int64_t serviceType);
  // The terminal service "sn:serviceId"; both non-empty, and stored when
  // the terminal offers an enabled service with that identifier.
  void destinationServiceId(TextArg sn, TextArg serviceId);
  // Drops the destinations (clearAllDestination); remembered services stay.
  void destinationService(TextArg serviceId);

  // --- options ------------------------------------------------------------------

  // Strategy 0, 1 or 2 for service number `serviceType`, stored under the
  // service's name; any other strategy does nothing.
  void chooseRememberStragety(std::int64_t strategy, std::int64_t serviceType);
  void isShowSetting(bool show);
  void isShowRememberOption(bool show);
  // The allowed terminals, joined by ":". A serial number holding ":"
  // would read back as two others, so it is left out (and logged). True
  // when the list was stored; false, storing nothing, for an absent or
  // empty list, one that nothing is left of, or a failed write.
  bool deviceAcessList(const std::optional<std::vector<std::string>>& sns);

  // --- forgetting -----------------------------------------------------------

  // clearOptionWithService(), then the default terminal, the fixed terminal,
  // "REMEMBER_SERVICE" and the fixed terminal service. Per-type
  // destinations stay.
  void clearAllDestination();
  // The remembered services of one terminal.
  void clearOptionWithSn(TextArg sn);
  // The remember strategies of service numbers 0 to 22 (later ones stay).
  void clearOptionWithService();
  void clearOptionWithCategory();
  // clearOptionWithService(), clearOptionWithCategory(), then every setting.
  void clearAllOption();
  // clearAllOption(), then every remembered service, terminal service,
  // discovered terminal, pairing state, key and exchange log entry.
  void clearRemember();

  // --- discovery for the host -------------------------------------------------

  void setDelegate(std::weak_ptr<RetailerSettingManagerDelegate> delegate);
  std::shared_ptr<RetailerSettingManagerDelegate> delegate() const { return delegate_.lock(); }

  // Discovery's scan type becomes 1 and this facade its delegate (taking it
  // from the scan screen, if that had it), the list of services starts
  // empty, a running discovery starts again, then the delegate hears
  // onStartDiscoverServices. Without a discovery manager nothing starts.
  void startDiscoverServices();
  // Stops discovery, then onStopDiscoverServices. The list stays.
  void stopDiscoverServices();
  // The services reported since the last startDiscoverServices, one per
  // (serviceSn, serviceType, serviceId), in the order first reported;
  // nullopt before the first start.
  std::optional<std::vector<registry::ServiceInfo>> showAllService() const;
  // The same list (despite its name: services, not terminals).
  std::optional<std::vector<registry::ServiceInfo>> getDiscoverDeviceInfos() const;

  // DiscoverManagerDelegate: what discovery reports, passed on to the host.
  void onScanTerminal(const registry::ServiceInfo& info) override;
  void onScanTerminalInfo(const registry::TerminalInfo& info) override;
  void finishedScan() override;

 private:
  void resetDestinations();
  bool writeSetting(std::string_view key, std::string_view value);

  std::weak_ptr<RetailerSettingManagerDelegate> delegate_;
  registry::DatabaseManager& databaseManager_;
  registry::DiscoveryControl* discoverManager_;
  std::optional<std::vector<registry::ServiceInfo>> discoverServicesArray_;
};

}  // namespace veltrix::facade
