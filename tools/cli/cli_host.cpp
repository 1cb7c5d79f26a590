#include "cli/cli_host.h"

#include <utility>

#include "veltrix/codec/transaction_header.h"
#include "veltrix/facade/result_back_manager.h"
#include "veltrix/facade/retailer_setting_manager.h"
#include "veltrix/platform/dispatch.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/registry/file_logger.h"
#include "veltrix/transport/ble_discovery_adapter.h"
#include "veltrix/transport/kv_iso_utils.h"

namespace veltrix::cli {

using facade::CommunicateServicePtr;

// What the transports of each exchange have delivered. Main loop only.
class CliHost::Watcher {
 public:
  struct Exchange {
    // Responses up to and including the first final one.
    std::size_t responses = 0;
    bool finalSeen = false;
  };

  explicit Watcher(std::function<void(const std::string&)> onEnded)
      : onEnded_(std::move(onEnded)) {}

  Exchange exchange(const std::string& id) const {
    auto found = exchanges_.find(id);
    return found == exchanges_.end() ? Exchange{} : found->second;
  }
  std::size_t openTransports() const { return open_; }

  void opened() { ++open_; }
  // After the facade has had the message.
  void message(const std::string& id, bool hasResponse, bool endFlag, bool& ended) {
    Exchange& exchange = exchanges_[id];
    // The facade forwards nothing after the final response (its
    // registration has ended), so later ones are not counted.
    if (hasResponse && !exchange.finalSeen) {
      ++exchange.responses;
      if (endFlag) exchange.finalSeen = true;
    }
    if (!ended && (!hasResponse || endFlag)) {
      ended = true;
      --open_;
      onEnded_(id);
    }
  }

 private:
  std::function<void(const std::string&)> onEnded_;
  std::map<std::string, Exchange> exchanges_;
  std::size_t open_ = 0;
};

namespace {

// A library transport whose blocks also tell the watcher.
class WatchedTransport final : public transport::CommunicateServiceProtocol {
 public:
  using Watcher = std::function<void(const std::string&, bool, bool, bool&)>;

  WatchedTransport(CommunicateServicePtr inner, std::function<void()> opened, Watcher watcher)
      : inner_(std::move(inner)), opened_(std::move(opened)), watcher_(std::move(watcher)) {}

  void sendRequest(std::optional<std::string> request, std::optional<std::string> exchangeId,
                   std::optional<std::string> serviceType, std::optional<std::string> address,
                   transport::CommunicateProgressBlock progress,
                   transport::CommunicateResultBlock result) override {
    opened_();
    auto ended = std::make_shared<bool>(false);
    const std::string id = exchangeId.value_or("");
    inner_->sendRequest(
        std::move(request), std::move(exchangeId), std::move(serviceType), std::move(address),
        std::move(progress),
        [watcher = watcher_, result = std::move(result), ended, id](
            std::optional<std::string> response, std::optional<std::string> exchange, bool endFlag,
            std::optional<std::string> type, std::int64_t code, std::optional<std::string> msg) {
          const bool hasResponse = response.has_value();
          if (result) result(std::move(response), std::move(exchange), endFlag, type, code, msg);
          watcher(id, hasResponse, endFlag, *ended);
        });
  }

 private:
  CommunicateServicePtr inner_;
  std::function<void()> opened_;
  Watcher watcher_;
};

}  // namespace

// The host's observer: passes every notification on to the host.
class CliHost::Notifications final : public facade::RetailerManagerDelegate {
 public:
  explicit Notifications(CliHost& host) : host_(host) {}
  void onNotification(std::shared_ptr<const model::EventNotificationParam> param) override {
    if (param) host_.notified(*param);
  }

 private:
  CliHost& host_;
};

CliHost::CliHost(Printer& printer)
    : CliHost(printer, registry::DatabaseManager::sharedManager(),
              facade::RetailerSettingManager::sharedManager()) {}

CliHost::CliHost(Printer& printer, registry::DatabaseManager& database,
                 facade::RetailerSettingManager& settings)
    : printer_(printer) {
  platform::MainLoop::shared().bindCurrentThread();
  watcher_ = std::make_shared<Watcher>([this](const std::string& id) { transportEnded(id); });
  notifications_ = std::make_shared<Notifications>(*this);

  std::weak_ptr<Watcher> weak = watcher_;
  auto wrap = [weak](facade::CommunicateCreator creator) -> facade::CommunicateCreator {
    return
        [weak, creator = std::move(creator)](const std::string& address) -> CommunicateServicePtr {
          CommunicateServicePtr inner = creator(address);
          if (!inner) return nullptr;
          return std::make_shared<WatchedTransport>(
              std::move(inner),
              [weak] {
                if (auto watcher = weak.lock()) watcher->opened();
              },
              [weak](const std::string& id, bool hasResponse, bool endFlag, bool& ended) {
                if (auto watcher = weak.lock()) watcher->message(id, hasResponse, endFlag, ended);
              });
        };
  };
  // The wiring of RetailerManager::sharedManager(), with watched transports.
  codec::TransactionHeaderBuilder::setDeviceIdentifierProvider(&transport::KVISOUtils::getUUID);
  manager_ = std::make_shared<facade::RetailerManager>(facade::RetailerManager::Collaborators{
      database, facade::ResultBackManager::sharedManager(), settings,
      registry::FileLogger::sharedLogger(), transport::BLEDiscoveryAdapter::shared(),
      facade::CommunicateFactory(wrap(&facade::createHttpTransport),
                                 wrap(&facade::createBleTransport))});
  manager_->setDelegate(notifications_);
}

CliHost::~CliHost() = default;

void CliHost::begin() {
  exchangeId_.clear();
  deliveries_ = 0;
  done_ = false;
  lastCode_.reset();
  lastResponse_.reset();
}

facade::ExchangeIdBlock CliHost::exchangeIdBlock() {
  return [this](const std::string& id) {
    exchangeId_ = id;
    printer_.exchange(id);
  };
}

void CliHost::notified(const model::EventNotificationParam& param) {
  // The output ends with the request's result: what a terminal notifies
  // afterwards (an abort's own progress) is not shown.
  if (!done_) printer_.notification(exchangeId_, param);
}

void CliHost::delivered(std::int64_t code, std::optional<std::string> message,
                        std::optional<std::string> text,
                        std::optional<model::ResponseCode> response) {
  if (done_) return;
  ++deliveries_;
  const Watcher::Exchange exchange = watcher_->exchange(exchangeId_);
  // An error ends the exchange; a result is the last one once the final
  // message has come and every message before it has been delivered.
  const bool end = code != 0 || (exchange.finalSeen && deliveries_ >= exchange.responses);
  printer_.result(code, message, end, text);
  lastCode_ = code;
  lastResponse_ = response;
  done_ = end;
}

void CliHost::ended(std::int64_t code, std::optional<std::string> message) {
  if (done_) return;
  printer_.result(code, message, true, std::nullopt);
  lastCode_ = code;
  lastResponse_.reset();
  done_ = true;
}

void CliHost::transportEnded(const std::string& exchangeId) {
  if (exchangeId != exchangeId_) return;
  // The registry delivers in the order it was asked: once this marker has
  // come back, every result of the exchange has been delivered.
  const std::string marker = "veltrix-cli-settled-" + std::to_string(++markers_);
  facade::ResultBackManager& registry = facade::ResultBackManager::sharedManager();
  registry.registerCallback(
      [this, exchangeId](facade::ResultObject, std::int64_t, std::optional<std::string>) {
        if (exchangeId == exchangeId_) done_ = true;
      },
      marker);
  registry.executeCallbackForId(marker, nullptr, 0, std::nullopt);
  registry.removeCallbackForId(marker);
}

Outcome CliHost::runAbort(
    const std::function<void(facade::ExchangeIdBlock, facade::AbortResultBlock)>& start,
    std::chrono::seconds timeout) {
  begin();
  start(exchangeIdBlock(), [this](std::int64_t code, std::optional<std::string> message) {
    ended(code, std::move(message));
  });
  return finish(timeout);
}

Outcome CliHost::finish(std::chrono::seconds timeout) {
  const bool finished = platform::MainLoop::shared().runUntil(
      [this] { return done_ && watcher_->openTransports() == 0; },
      std::chrono::duration_cast<std::chrono::milliseconds>(timeout));
  return {finished, lastCode_, lastResponse_};
}

}  // namespace veltrix::cli
