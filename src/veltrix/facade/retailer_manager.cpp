#include "veltrix/facade/retailer_manager.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "veltrix/codec/transaction_header.h"
#include "veltrix/facade/facade_detail.h"
#include "veltrix/facade/service_numbers.h"
#include "veltrix/platform/clock.h"
#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/process_exit.h"
#include "veltrix/platform/uuid.h"
#include "veltrix/registry/terminal_service_helper.h"
#include "veltrix/transport/ble_discovery_adapter.h"
#include "veltrix/transport/kv_iso_utils.h"

namespace veltrix::facade {

using detail::orNull;
using registry::TerminalServiceHelper;

namespace {

// A fresh UUID without its dashes: 32 upper-case hexadecimal characters.
std::string newExchangeId() {
  std::string id = platform::newUuid();
  id.erase(std::remove(id.begin(), id.end(), '-'), id.end());
  return id;
}

std::int64_t paymentServiceNumber(model::TransactionTypeCode type) {
  switch (static_cast<std::int64_t>(type)) {
    case 1:
      return service::kScanCodePurchase;
    case 2:
      return service::kQrCodePurchase;
    case 3:
      return service::kCashPurchase;
    default:
      return service::kPurchase;
  }
}

// sn, serviceId and address of the request's destination.
std::optional<std::string> destinationSn(const std::optional<model::DestinationParams>& d) {
  return d ? d->sn : std::nullopt;
}
std::optional<std::string> destinationServiceId(const std::optional<model::DestinationParams>& d) {
  return d ? d->serviceId : std::nullopt;
}
std::optional<std::string> destinationAddress(const std::optional<model::DestinationParams>& d) {
  return d ? d->address : std::nullopt;
}

// During exit the library's threads have stopped: a request is refused, and
// `answer` hears it at once on the calling thread. True when refused.
bool refusedDuringExit(const AbortResultBlock& answer) {
  if (!platform::processExiting()) return false;
  platform::logLine("request refused: the process is exiting");
  if (answer) {
    detail::callHost("result block",
                     [&] { answer(kErrorRequestCancelled, std::string(kMsgProcessExiting)); });
  }
  return true;
}

}  // namespace

RetailerManager& RetailerManager::sharedManager() { return *sharedPtr(); }

std::shared_ptr<RetailerManager> RetailerManager::sharedPtr() {
  // Never destroyed: transports may still report to it while the process
  // exits.
  static auto* manager = [] {
    codec::TransactionHeaderBuilder::setDeviceIdentifierProvider(&transport::KVISOUtils::getUUID);
    return new std::shared_ptr<RetailerManager>(std::make_shared<RetailerManager>(Collaborators{
        registry::DatabaseManager::sharedManager(), ResultBackManager::sharedManager(),
        RetailerSettingManager::sharedManager(), registry::FileLogger::sharedLogger(),
        transport::BLEDiscoveryAdapter::shared(), CommunicateFactory()}));
  }();
  return *manager;
}

RetailerManager::RetailerManager(Collaborators c)
    : databaseManager_(c.database),
      resultManager_(c.resultManager),
      settingManager_(c.settings),
      logFile_(c.logFile),
      ble_(c.ble),
      factory_(std::move(c.factory)),
      ownProbeQueue_(c.probeQueue),
      probeQueue_(ownProbeQueue_
                      ? *ownProbeQueue_
                      : static_cast<platform::TaskQueue&>(platform::GlobalQueue::shared())),
      reachChecker_(std::make_shared<ReachChecker>(
          c.pinger ? std::move(c.pinger) : std::make_shared<TcpPinger>(),
          c.bleProbe ? std::move(c.bleProbe) : createBleProbeService(), c.probeTimeouts)) {}

// Whatever still waits for this manager (probes, transports, the scan
// screen) holds it weakly and finds it gone; so every request still in
// flight ends here, once. The registry delivers on the main loop.
RetailerManager::~RetailerManager() {
  for (auto& [exchangeId, context] : live_) {
    platform::logf("request {} cancelled: its manager is destroyed", exchangeId);
    if (AbortResultBlock abortResult = std::exchange(context->abortResult, {})) {
      platform::postToMain([abortResult = std::move(abortResult)] {
        detail::callHost("abort result block", [&] {
          abortResult(kErrorRequestCancelled, std::string(kMsgManagerDestroyed));
        });
      });
    }
    resultManager_.executeCallbackForId(exchangeId, nullptr, kErrorRequestCancelled,
                                        std::string(kMsgManagerDestroyed));
    resultManager_.removeCallbackForId(exchangeId);
  }
}

void RetailerManager::onMainLoop(std::function<void(RetailerManager&)> step) {
  if (platform::MainLoop::shared().isCurrent()) {
    step(*this);
    return;
  }
  platform::postToMain([self = shared_from_this(), step = std::move(step)] { step(*self); });
}

void RetailerManager::beginRequest(const ContextPtr& context) {
  {
    std::lock_guard<std::mutex> lock(hostMutex_);
    transUUID_ = context->exchangeId;
  }
  live_.insert_or_assign(context->exchangeId, context);
}

void RetailerManager::endRequest(const std::string& exchangeId) { live_.erase(exchangeId); }

void RetailerManager::initWithNavigationController(std::shared_ptr<ScanPresenter> presenter) {
  onMainLoop([presenter = std::move(presenter)](RetailerManager& self) mutable {
    self.navigationController_ = std::move(presenter);
  });
}

void RetailerManager::initWithServiceBean(ServiceDictionary serviceBean) {
  onMainLoop([serviceBean = std::move(serviceBean)](RetailerManager& self) mutable {
    self.serviceBean_ = std::move(serviceBean);
  });
}

void RetailerManager::setHost(const std::string& address) {
  onMainLoop([address](RetailerManager& self) {
    self.service_ = self.factory_.createService(kCommunicateHttp, address);
  });
}

std::shared_ptr<RetailerManagerDelegate> RetailerManager::delegate() const {
  std::lock_guard<std::mutex> lock(hostMutex_);
  return delegate_.lock();
}

void RetailerManager::setDelegate(std::weak_ptr<RetailerManagerDelegate> delegate) {
  std::lock_guard<std::mutex> lock(hostMutex_);
  delegate_ = std::move(delegate);
}

std::string RetailerManager::transUUID() const {
  std::lock_guard<std::mutex> lock(hostMutex_);
  return transUUID_;
}

// --- service methods ---------------------------------------------------------

RetailerManager::ContextPtr RetailerManager::newContext(std::string serviceType) {
  auto context = std::make_shared<RequestContext>();
  context->exchangeId = newExchangeId();
  context->serviceType = std::move(serviceType);
  context->transDataTimeIn = platform::nowMillis();
  return context;
}

void RetailerManager::callExchangeIdBlock(const ExchangeIdBlock& block,
                                          const std::string& exchangeId) {
  if (!block) return;
  detail::callHost("exchange id block", [&] { block(exchangeId); });
}

void RetailerManager::callDelegate(std::string_view hook,
                                   const std::function<void(RetailerManagerDelegate&)>& call) {
  const std::shared_ptr<RetailerManagerDelegate> delegate = this->delegate();
  if (!delegate) return;
  detail::callHost(hook, [&] { call(*delegate); });
}

void RetailerManager::startRequest(std::int64_t serviceNumber, RequestParam param,
                                   const std::optional<model::DestinationParams>& destination,
                                   const ExchangeIdBlock& block, HostBlock result) {
  if (refusedDuringExit([&result](std::int64_t code, std::optional<std::string> message) {
        if (result) result(nullptr, code, std::move(message));
      })) {
    return;
  }
  ContextPtr context = newContext(TerminalServiceHelper::stringForService(serviceNumber));
  callExchangeIdBlock(block, context->exchangeId);
  resultManager_.registerCallback(std::move(result), context->exchangeId);
  context->param = std::move(param);
  context->destination = destination;
  onMainLoop([serviceNumber, context](RetailerManager& self) {
    self.beginRequest(context);
    if (serviceNumber == service::kDisplay && self.serviceBean_) {
      // A preset display service is used as it is, without a choice. The
      // copy matters: building the display message clears the preset.
      ServiceDictionary preset = *self.serviceBean_;
      self.startHostService(context, std::move(preset));
      return;
    }
    const std::optional<model::DestinationParams>& destination = context->destination;
    self.scanTerminService(context, destinationSn(destination), destinationServiceId(destination),
                           destinationAddress(destination));
  });
}

void RetailerManager::payment(const model::PaymentParam& param, ExchangeIdBlock block,
                              ResultBlock<model::PaymentResult> result) {
  platform::logLine("start connect to host");
  startRequest(paymentServiceNumber(param.transactionType), param, param.servicesParams, block,
               eraseResultBlock(std::move(result)));
}

void RetailerManager::refund(const model::RefundParam& param, ExchangeIdBlock block,
                             ResultBlock<model::RefundResult> result) {
  startRequest(service::kRefund, param, param.servicesParams, block,
               eraseResultBlock(std::move(result)));
}

void RetailerManager::abort(const model::AbortParam& param, ExchangeIdBlock block,
                            AbortResultBlock result) {
  if (refusedDuringExit(result)) return;
  ContextPtr context = newContext(TerminalServiceHelper::stringForService(service::kAbort));
  callExchangeIdBlock(block, context->exchangeId);
  // Abort's block is its own: nothing is registered for this exchange.
  context->abortResult = std::move(result);
  context->param = param;
  context->destination = param.servicesParams;
  platform::logf("exchange id = {}", orNull(param.orgExchangeIdentification));
  onMainLoop([context](RetailerManager& self) {
    self.beginRequest(context);
    self.startAbort(context);
  });
}

void RetailerManager::authAdjustment(const model::AuthAdjustmentParam& param, ExchangeIdBlock block,
                                     ResultBlock<model::AuthAdjustmentResult> result) {
  startRequest(service::kAuthAdjustment, param, param.servicesParams, block,
               eraseResultBlock(std::move(result)));
}

void RetailerManager::balanceInquiry(const model::BalanceInquiryParam& param, ExchangeIdBlock block,
                                     ResultBlock<model::BalanceInquiryResult> result) {
  startRequest(service::kBalanceInquiry, param, param.servicesParams, block,
               eraseResultBlock(std::move(result)));
}

void RetailerManager::cardAuthentication(const model::CardAuthParam& param, ExchangeIdBlock block,
                                         ResultBlock<model::CardAuthResult> result) {
  startRequest(service::kCardAuth, param, param.servicesParams, block,
               eraseResultBlock(std::move(result)));
}

void RetailerManager::display(const model::DisplayParam& param, ExchangeIdBlock block,
                              ResultBlock<model::DisplayResult> result) {
  startRequest(service::kDisplay, param, param.servicesParams, block,
               eraseResultBlock(std::move(result)));
}

void RetailerManager::preAuth(const model::PreAuthParam& param, ExchangeIdBlock block,
                              ResultBlock<model::PreAuthResult> result) {
  startRequest(service::kPreAuth, param, param.servicesParams, block,
               eraseResultBlock(std::move(result)));
}

void RetailerManager::preAuthCompletion(const model::PreAuthCompletionParam& param,
                                        ExchangeIdBlock block,
                                        ResultBlock<model::PreAuthCompletionResult> result) {
  startRequest(service::kPreAuthCompletion, param, param.servicesParams, block,
               eraseResultBlock(std::move(result)));
}

void RetailerManager::print(const model::PrintParam& param, ExchangeIdBlock block,
                            ResultBlock<model::PrintResult> result) {
  startRequest(service::kPrinter, param, param.servicesParams, block,
               eraseResultBlock(std::move(result)));
}

void RetailerManager::reconciliation(const model::ReconciliationParam& param, ExchangeIdBlock block,
                                     ResultBlock<model::ReconciliationResult> result) {
  startRequest(service::kReconciliation, param, param.servicesParams, block,
               eraseResultBlock(std::move(result)));
}

void RetailerManager::reversal(const model::ReversalParam& param, ExchangeIdBlock block,
                               ResultBlock<model::ReversalResult> result) {
  startRequest(service::kReversal, param, param.servicesParams, block,
               eraseResultBlock(std::move(result)));
}

void RetailerManager::nfcTag(const model::NFCTagParam& param, ExchangeIdBlock block,
                             ResultBlock<model::NFCTagResult> result) {
  startRequest(service::kNfcTag, param, param.servicesParams, block,
               eraseResultBlock(std::move(result)));
}

void RetailerManager::messageStatus(const model::MessageStatusParam& param, ExchangeIdBlock block,
                                    ResultBlock<model::MessageStatusResult> result) {
  startRequest(service::kMessageStatus, param, param.servicesParams, block,
               eraseResultBlock(std::move(result)));
}

void RetailerManager::transmitMessage(const model::TransmitMessageParam& param,
                                      ExchangeIdBlock block,
                                      ResultBlock<model::TransmitMessageResult> result) {
  startRequest(service::kTransmitMessage, param, param.servicesParams, block,
               eraseResultBlock(std::move(result)));
}

void RetailerManager::reprint(const model::ReprintParam& param, ExchangeIdBlock block,
                              ResultBlock<model::ReprintResult> result) {
  startRequest(service::kReprint, param, param.servicesParams, block,
               eraseResultBlock(std::move(result)));
}

// The device services keep only their destination: they carry no message.

void RetailerManager::cardReaderAPDU(const model::CardReaderAPDUParam& param, ExchangeIdBlock block,
                                     ResultBlock<model::CardReaderAPDUResult> result) {
  startRequest(service::kCardReaderApdu, {}, param.servicesParams, block,
               eraseResultBlock(std::move(result)));
}

void RetailerManager::diagnosis(const model::DiagnosisParam& param, ExchangeIdBlock block,
                                ResultBlock<model::DiagnosisResult> result) {
  startRequest(service::kDiagnosis, {}, param.servicesParams, block,
               eraseResultBlock(std::move(result)));
}

void RetailerManager::initialisationCardReader(
    const model::InitialisationCardReaderParam& param, ExchangeIdBlock block,
    ResultBlock<model::InitialisationCardReaderResult> result) {
  startRequest(service::kInitialisationCardReader, {}, param.servicesParams, block,
               eraseResultBlock(std::move(result)));
}

void RetailerManager::input(const model::InputParam& param, ExchangeIdBlock block,
                            ResultBlock<model::InputResult> result) {
  startRequest(service::kInput, {}, param.servicesParams, block,
               eraseResultBlock(std::move(result)));
}

void RetailerManager::playSound(const model::PlaySoundParam& param, ExchangeIdBlock block,
                                ResultBlock<model::PlaySoundResult> result) {
  startRequest(service::kPlaySound, {}, param.servicesParams, block,
               eraseResultBlock(std::move(result)));
}

void RetailerManager::transmission(const model::TransmissionParam& param, ExchangeIdBlock block,
                                   ResultBlock<model::TransmissionResult> result) {
  startRequest(service::kTransmission, {}, param.servicesParams, block,
               eraseResultBlock(std::move(result)));
}

}  // namespace veltrix::facade
