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

RetailerManager::~RetailerManager() = default;

void RetailerManager::initWithNavigationController(std::shared_ptr<ScanPresenter> presenter) {
  navigationController_ = std::move(presenter);
}

void RetailerManager::initWithServiceBean(ServiceDictionary serviceBean) {
  serviceBean_ = std::move(serviceBean);
}

void RetailerManager::setHost(const std::string& address) {
  service_ = factory_.createService(kCommunicateHttp, address);
}

void RetailerManager::setDelegate(std::weak_ptr<RetailerManagerDelegate> delegate) {
  delegate_ = std::move(delegate);
}

// --- service methods ---------------------------------------------------------

RetailerManager::ContextPtr RetailerManager::newContext(std::string serviceType) {
  auto context = std::make_shared<RequestContext>();
  context->exchangeId = newExchangeId();
  context->serviceType = std::move(serviceType);
  context->transDataTimeIn = platform::nowMillis();
  transUUID_ = context->exchangeId;
  return context;
}

void RetailerManager::callExchangeIdBlock(const ExchangeIdBlock& block,
                                          const std::string& exchangeId) {
  if (!block) return;
  detail::callHost("exchange id block", [&] { block(exchangeId); });
}

void RetailerManager::callDelegate(std::string_view hook,
                                   const std::function<void(RetailerManagerDelegate&)>& call) {
  const std::shared_ptr<RetailerManagerDelegate> delegate = delegate_.lock();
  if (!delegate) return;
  detail::callHost(hook, [&] { call(*delegate); });
}

void RetailerManager::startRequest(std::int64_t serviceNumber, RequestParam param,
                                   const std::optional<model::DestinationParams>& destination,
                                   const ExchangeIdBlock& block, HostBlock result) {
  ContextPtr context = newContext(TerminalServiceHelper::stringForService(serviceNumber));
  callExchangeIdBlock(block, context->exchangeId);
  resultManager_.registerCallback(std::move(result), context->exchangeId);
  context->param = std::move(param);
  context->destination = destination;
  if (serviceNumber == service::kDisplay && serviceBean_) {
    // A preset display service is used as it is, without a choice. The copy
    // matters: building the display message clears the preset.
    ServiceDictionary preset = *serviceBean_;
    startHostService(context, std::move(preset));
    return;
  }
  scanTerminService(context, destinationSn(destination), destinationServiceId(destination),
                    destinationAddress(destination));
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
  ContextPtr context = newContext(TerminalServiceHelper::stringForService(service::kAbort));
  callExchangeIdBlock(block, context->exchangeId);
  // Abort's block is its own: nothing is registered for this exchange.
  context->abortResult = std::move(result);
  context->param = param;
  context->destination = param.servicesParams;
  platform::logf("exchange id = {}", orNull(param.orgExchangeIdentification));
  startAbort(context);
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
