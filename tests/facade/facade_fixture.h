// Fakes and the fixture of the facade tests: transports that record what is
// sent and let the test answer, a Bluetooth LE transport with a settable
// list of connected terminals, a host delegate and a scan presenter that
// record their calls, and a facade over a temp database and log file.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <typeindex>
#include <utility>
#include <vector>

#include "support/test_env.h"
#include "veltrix/codec/transaction_header.h"
#include "veltrix/facade/retailer_manager.h"
#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/json.h"
#include "veltrix/platform/sqlite.h"

namespace veltrix::facade::test {

// One transport made by the factory and the one request sent through it.
class FakeTransport final : public transport::CommunicateServiceProtocol {
 public:
  FakeTransport(std::uint64_t type, std::string url) : type(type), url(std::move(url)) {}

  void sendRequest(std::optional<std::string> request, std::optional<std::string> exchangeId,
                   std::optional<std::string> serviceType, std::optional<std::string> address,
                   transport::CommunicateProgressBlock progressBlock,
                   transport::CommunicateResultBlock resultBlock) override {
    sent = true;
    message = std::move(request);
    this->exchangeId = std::move(exchangeId);
    this->serviceType = std::move(serviceType);
    this->address = std::move(address);
    progress = std::move(progressBlock);
    result = std::move(resultBlock);
    if (failAtOnce) fail(-1004, "veltrix.url");
  }

  // The transport's answers, as it gives them on the main loop.
  void respond(const std::string& text, bool endFlag) {
    result(text, exchangeId, endFlag, serviceType, 0, std::nullopt);
  }
  void fail(std::int64_t code, std::optional<std::string> msg) {
    result(std::nullopt, exchangeId, true, serviceType, code, std::move(msg));
  }
  void notify(std::shared_ptr<const model::EventNotificationParam> notification) {
    progress(exchangeId, "EventNotification", std::move(notification));
  }

  const std::uint64_t type;
  const std::string url;
  bool failAtOnce = false;
  bool sent = false;
  std::optional<std::string> message;
  std::optional<std::string> exchangeId;
  std::optional<std::string> serviceType;
  std::optional<std::string> address;
  transport::CommunicateProgressBlock progress;
  transport::CommunicateResultBlock result;
};

// The transports the factory made, held weakly: the facade alone keeps
// them alive.
struct FakeNetwork {
  std::vector<std::weak_ptr<FakeTransport>> made;
  bool bleAvailable = true;
  bool failAtOnce = false;

  CommunicateFactory factory() {
    auto make = [this](std::uint64_t type) {
      return [this, type](const std::string& url) -> CommunicateServicePtr {
        auto transport = std::make_shared<FakeTransport>(type, url);
        transport->failAtOnce = failAtOnce;
        made.push_back(transport);
        return transport;
      };
    };
    CommunicateCreator ble = [this, inner = make(kCommunicateBle)](const std::string& url) {
      return bleAvailable ? inner(url) : nullptr;
    };
    return CommunicateFactory(make(kCommunicateHttp), ble);
  }

  std::size_t count() const { return made.size(); }
  std::shared_ptr<FakeTransport> last() const {
    return made.empty() ? nullptr : made.back().lock();
  }
};

class FakeBle final : public transport::BleDiscoveryTransport {
 public:
  void setDelegate(std::weak_ptr<transport::BleDiscoveryDelegate> /*delegate*/) override {}
  std::vector<std::string> connectedDeviceSns() const override { return connected; }
  void sendDiscoveryText(std::string_view /*text*/, const std::string& /*sn*/) override {}
  void scanAndAutoConnect(transport::BleAutoConnectCompletion /*completion*/) override {}
  void connectPeripheralWithSN(const std::optional<std::string>& sn,
                               transport::BleConnectCompletion completion) override {
    connects.push_back(sn);
    pending = std::move(completion);
  }

  std::vector<std::string> connected;
  std::vector<std::optional<std::string>> connects;
  transport::BleConnectCompletion pending;
};

// A TCP probe that answers from a table: yes, no, or never (the check then
// times out). Answers come on the main loop, the slowest road an answer can
// take. Called on the global queue.
class FakePinger final : public Pinger {
 public:
  enum class Answer { kYes, kNo, kSilent };

  void pingHost(std::string host, std::int64_t port, double timeoutSeconds,
                std::function<void(bool reachable)> completion) override {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string target = host + ":" + std::to_string(port);
    pings_.push_back(target);
    timeouts_.push_back(timeoutSeconds);
    auto found = answers_.find(target);
    const Answer answer = found == answers_.end() ? fallback_ : found->second;
    if (answer == Answer::kSilent) {
      held_.push_back(std::move(completion));
      return;
    }
    platform::postToMain(
        [completion = std::move(completion), answer] { completion(answer == Answer::kYes); });
  }

  void set(const std::string& target, Answer answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    answers_[target] = answer;
  }
  void setFallback(Answer answer) {
    std::lock_guard<std::mutex> lock(mutex_);
    fallback_ = answer;
  }
  std::vector<std::string> pings() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return pings_;
  }
  std::vector<double> timeouts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return timeouts_;
  }
  // Answers the probes that were left without an answer (late answers).
  void answerHeld(bool reachable) {
    std::vector<std::function<void(bool)>> held;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      held.swap(held_);
    }
    for (auto& completion : held) {
      platform::postToMain([completion, reachable] { completion(reachable); });
    }
  }

 private:
  mutable std::mutex mutex_;
  std::map<std::string, Answer> answers_;
  Answer fallback_ = Answer::kYes;
  std::vector<std::string> pings_;
  std::vector<double> timeouts_;
  std::vector<std::function<void(bool)>> held_;
};

// The Bluetooth LE side of the probes: a radio that is on, the terminals
// connected now, and what a scan sees. Main loop only.
class FakeBleProbe final : public BleProbeService {
 public:
  bool isPoweredOn() const override { return poweredOn; }
  bool isConnected(const std::string& sn) const override {
    return std::find(connected.begin(), connected.end(), sn) != connected.end();
  }
  void startScan(std::function<void(const BleSighting&)> onPeripheral) override {
    ++scans;
    for (const BleSighting& sighting : visible) {
      platform::postToMain([onPeripheral, sighting] { onPeripheral(sighting); });
    }
  }
  void stopScan() override { ++stops; }

  bool poweredOn = true;
  std::vector<std::string> connected;
  std::vector<BleSighting> visible;
  int scans = 0;
  int stops = 0;
};

// Every host hook, and the device identifier reads that mark each message
// build, in the order they happened.
class RecordingDelegate final : public RetailerManagerDelegate {
 public:
  void onStartOptions() override { events.push_back("onStartOptions"); }
  void onStartPrint() override { events.push_back("onStartPrint"); }
  void onStartDisplay(const std::string& exchangeId,
                      const std::optional<std::string>& sn) override {
    events.push_back("onStartDisplay " + exchangeId + " " + sn.value_or("(null)"));
  }
  void onNotification(std::shared_ptr<const model::EventNotificationParam> param) override {
    notifications.push_back(std::move(param));
  }

  std::vector<std::string> events;
  std::vector<std::shared_ptr<const model::EventNotificationParam>> notifications;
};

class FakePresenter final : public ScanPresenter {
 public:
  void presentScan(const ScanRequest& request,
                   std::shared_ptr<ScanViewControllerDelegate> delegate) override {
    requests.push_back(request);
    delegates.push_back(std::move(delegate));
  }
  std::vector<ScanRequest> requests;
  std::vector<std::shared_ptr<ScanViewControllerDelegate>> delegates;
};

// One call of a host result block.
struct Delivery {
  std::string tag;
  std::shared_ptr<const void> result;
  std::type_index type = typeid(void);
  std::int64_t code = 0;
  std::optional<std::string> message;
  bool onMain = false;
};

class FacadeTest : public testing::LoopTest {
 public:
  FacadeTest()
      : db_(std::make_unique<registry::DatabaseManager>(docs() / "facade.sqlite")),
        logFile_(std::make_unique<registry::FileLogger>(docs() / "facade-log.txt")),
        settings_(std::make_shared<RetailerSettingManager>(*db_)),
        delegate_(std::make_shared<RecordingDelegate>()) {
    codec::TransactionHeaderBuilder::setDeviceIdentifierProvider([this] {
      delegate_->events.push_back("build");
      return std::optional<std::string>("DEVICE-0001");
    });
    manager_ = std::make_shared<RetailerManager>(RetailerManager::Collaborators{
        *db_, registry_, *settings_, *logFile_, ble_, network_.factory(), pinger_, bleProbe_});
    manager_->setDelegate(delegate_);
  }

  ~FacadeTest() override {
    drain();
    manager_.reset();
    // A request still in flight ends with the manager: its block runs now,
    // while what it records into still exists.
    drain();
    codec::TransactionHeaderBuilder::setDeviceIdentifierProvider({});
  }

  RetailerManager& manager() { return *manager_; }
  void destroyManager() { manager_.reset(); }
  ResultBackManager& resultRegistry() { return registry_; }

  // A host result block recording under `tag`.
  template <typename R>
  ResultBlock<R> recorder(std::string tag) {
    return [this, tag](std::shared_ptr<const R> result, std::int64_t code,
                       std::optional<std::string> message) {
      deliveries_.push_back({tag, result, typeid(R), code, std::move(message), main().isCurrent()});
    };
  }
  // An exchange identifier block that keeps the last identifier.
  ExchangeIdBlock idBlock() {
    return [this](const std::string& id) {
      lastId_ = id;
      transportsAtId_ = network_.count();
    };
  }

  std::vector<Delivery>& deliveries() { return deliveries_; }
  // Runs the main loop until `n` transports have been made: probes answer
  // on the global queue first.
  bool waitForTransports(std::size_t n) {
    return main().runUntil([&] { return network_.count() >= n; });
  }
  // Runs the main loop, moving the manual clock on in small steps, until
  // `done()` holds: for probes that wait for an answer that never comes.
  bool runWithClockUntil(const std::function<bool()>& done) {
    for (int step = 0; step < 400; ++step) {
      if (main().runUntil(done, std::chrono::milliseconds(5))) return true;
      advance(platform::millis(100));
    }
    return done();
  }
  bool waitForDeliveries(std::size_t n) {
    return main().runUntil([&] { return deliveries_.size() >= n; });
  }
  // Runs until everything the registry was asked before has been done.
  void drain() {
    auto reached = std::make_shared<std::atomic<bool>>(false);
    registry_.registerCallback(
        [reached](ResultObject, std::int64_t, std::optional<std::string>) { *reached = true; },
        "drain-marker");
    registry_.executeCallbackForId("drain-marker", nullptr, 0, std::nullopt);
    registry_.removeCallbackForId("drain-marker");
    ASSERT_TRUE(main().runUntil([&] { return reached->load(); }));
  }

  static model::DestinationParams at(std::string address) {
    model::DestinationParams destination;
    destination.address = std::move(address);
    return destination;
  }

  // A decodable response of `serviceType` for exchange `id`.
  static std::string response(const std::string& id, const std::string& serviceType, bool endFlag,
                              const std::string& reference = "REF") {
    platform::Json message = {{"exchangeIdentification", id},
                              {"protocolVersion", "1.0.01"},
                              {"contentType", "caspResp"},
                              {"serviceType", serviceType},
                              {"endFlag", endFlag},
                              {"response",
                               {{"response", "SUCC"},
                                {"transactionReference", reference},
                                {"exchangeIdentification", id}}}};
    return *platform::dumpJson(message);
  }

  // The rows of `sql` as texts, one string per row with columns joined by
  // "|" (NULL as "(null)").
  std::vector<std::string> rows(const std::string& sql) {
    platform::Db peek;
    EXPECT_TRUE(peek.open(db_->path()));
    platform::Stmt stmt = peek.prepare(sql);
    std::vector<std::string> out;
    while (stmt.step() == platform::StepResult::Row) {
      std::string row;
      for (int i = 0; i < stmt.columnCount(); ++i) {
        if (i > 0) row += "|";
        row += stmt.text(i).value_or("(null)");
      }
      out.push_back(row);
    }
    return out;
  }

  registry::DatabaseManager& db() { return *db_; }
  registry::FileLogger& logFile() { return *logFile_; }
  RetailerSettingManager& settings() { return *settings_; }
  RecordingDelegate& hooks() { return *delegate_; }

  FakeNetwork network_;
  FakeBle ble_;
  std::shared_ptr<FakePinger> pinger_ = std::make_shared<FakePinger>();
  std::shared_ptr<FakeBleProbe> bleProbe_ = std::make_shared<FakeBleProbe>();
  std::string lastId_;
  std::size_t transportsAtId_ = 0;

 private:
  std::unique_ptr<registry::DatabaseManager> db_;
  std::unique_ptr<registry::FileLogger> logFile_;
  ResultBackManager registry_;
  std::shared_ptr<RetailerSettingManager> settings_;
  std::shared_ptr<RecordingDelegate> delegate_;
  std::shared_ptr<RetailerManager> manager_;
  std::vector<Delivery> deliveries_;
};

}  // namespace veltrix::facade::test
