// What the facade asks of the terminal scan screen, and the service
// dictionary in which a chosen terminal service reaches dispatch.
//
// The facade shows the screen through a ScanPresenter that the host's
// navigation installs; without one the screen cannot open (the facade only
// logs it). The screen reports to a ScanViewControllerDelegate that belongs
// to the one request it was opened for, so its answer can reach no other.
//
// Threads: everything here is called on the main loop. Ownership: the
// presenter keeps the delegate it is given until the screen has answered
// or closed; the delegate keeps its request.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace veltrix::facade {

// A terminal service as the choice of the terminal service, the scan screen
// or the host hands it to dispatch. Keys read there: "sn", "address",
// "parameter", "model", "serviceId", "packageName", "serviceName",
// "netWorkTp", "uuidString"; the scan screen's service info dictionary also
// carries "serviceType", "serviceTypeName", "isEnable", "isMore",
// "createTime", "updateTime". A missing key is an absent value.
using ServiceDictionary = std::map<std::string, std::string, std::less<>>;

// The screen's settings for one request.
struct ScanRequest {
  std::string serviceType;  // the request's service name
  bool isScanAllService = false;
  bool isOffline = false;
  std::optional<std::string> sn;          // the terminal to prefer
  std::string snList;                     // allowed serial numbers joined by ":"
  std::optional<std::string> serviceId;   // the service to prefer
  std::optional<std::string> showString;  // hint shown to the user
};

class ScanViewControllerDelegate {
 public:
  virtual ~ScanViewControllerDelegate() = default;
  // The user chose `service`: the request is sent to it.
  virtual void onScanTerminalSucc(const ServiceDictionary& service) = 0;
  // The screen ended without a choice (-101 "Service not found" when it
  // timed out): the request ends with that error.
  virtual void onError(std::int64_t code, const std::optional<std::string>& msg) = 0;
};

class ScanPresenter {
 public:
  virtual ~ScanPresenter() = default;
  // Shows the scan screen for one request. The screen answers through
  // `delegate` once; later answers are ignored.
  virtual void presentScan(const ScanRequest& request,
                           std::shared_ptr<ScanViewControllerDelegate> delegate) = 0;
};

}  // namespace veltrix::facade
