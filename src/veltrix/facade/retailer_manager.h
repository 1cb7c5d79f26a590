// RetailerManager: the object through which the host asks for a service.
//
// Each service method starts one request: it makes the exchange identifier,
// hands it to the host at once (on the caller's thread, before anything
// else happens), files the host's result block under it in the result
// registry, and passes the request to the choice of the terminal service.
// Dispatch (startHostService) encodes the request, writes the exchange log
// and sends it through the transport; the response comes back through the
// transport's blocks, is stored, decoded by the service's decoder (which
// calls back here) and delivered to the host's block on the main loop,
// once per message, until the message whose end flag is set. Failures reach
// the same block as (no result, code, message) with the codes of
// facade_errors.h; abort's block takes (code, message) and is called
// directly.
//
// Every request carries its own RequestContext, and a decoded response goes
// to the exchange it was sent for, whatever identifier the terminal writes
// in its header; so concurrent requests never cross.
//
// Threads: lives on the main loop. The transports' blocks, the decoder
// callbacks, the scan screen's answers and the work of every request run
// there; host result blocks run there too, always after the call that
// produced them has returned. The candidate probes reach their terminal
// on the global queue (candidate_probes.h) and come back to the main loop to
// dispatch.
//
// The host may call the service methods and the setters from any thread. A
// call made off the main loop makes the exchange identifier and calls
// `block` on the calling thread, files the result block, and hands the rest
// of the request to the main loop, where calls run in the order they were
// handed over; a call made on the main loop runs there at once. Nothing of
// the facade's state is touched off the main loop, so concurrent calls never
// race. transUUID() and delegate() may be read from any thread.
//
// Lifetime of a request: every request in flight when its RetailerManager
// is destroyed ends once, with kErrorRequestCancelled and
// kMsgManagerDestroyed (abort's block too, if it has not been answered);
// its registration goes with it. A request made once exit has begun to
// stop the library's threads (process_exit.h) is refused: no
// exchange is made, `block` is not called, and `result` is called at once,
// on the calling thread (no main loop runs any more), with
// kErrorRequestCancelled and kMsgProcessExiting.
//
// Ownership: owned through std::shared_ptr (the decoders, the screen and
// the probes hold it weakly); sharedManager() lives for the process. It
// refers to the database, the registry, the settings facade, the log file
// and the Bluetooth LE transport, which must outlive it; it shares the
// probes' pinger and Bluetooth LE presence service with the probes running;
// it holds the transport of each request in flight until its last message.
// The host delegate is held weakly, the scan presenter strongly.
// Non-copyable.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "veltrix/codec/response_delegates.h"
#include "veltrix/facade/candidate_probes.h"
#include "veltrix/facade/communicate_factory.h"
#include "veltrix/facade/facade_errors.h"
#include "veltrix/facade/request_context.h"
#include "veltrix/facade/result_back_manager.h"
#include "veltrix/facade/retailer_setting_manager.h"
#include "veltrix/facade/scan_presenter.h"
#include "veltrix/model/abort_reprint_results.h"
#include "veltrix/model/device_params.h"
#include "veltrix/model/financial_params.h"
#include "veltrix/model/financial_results.h"
#include "veltrix/model/nonfinancial_params.h"
#include "veltrix/model/nonfinancial_results.h"
#include "veltrix/model/service_records.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/registry/file_logger.h"
#include "veltrix/transport/ble_discovery.h"

namespace veltrix::ui {
class NavigationController;
}

namespace veltrix::facade {

// Called with the new exchange identifier before the service method returns.
using ExchangeIdBlock = std::function<void(const std::string& exchangeId)>;

// The host's observer. Every operation has an empty default; all are sent on
// the main loop. What an operation throws is logged and ignored.
class RetailerManagerDelegate {
 public:
  virtual ~RetailerManagerDelegate() = default;
  // A payment's message is built and about to be logged and sent.
  virtual void onStartOptions() {}
  // A print request is about to be built.
  virtual void onStartPrint() {}
  // A display message is built for the terminal `sn`.
  virtual void onStartDisplay(const std::string& /*exchangeId*/,
                              const std::optional<std::string>& /*sn*/) {}
  // An event the terminal notified during any exchange; null when the
  // notification's body could not be read.
  virtual void onNotification(std::shared_ptr<const model::EventNotificationParam> /*param*/) {}
};
using sharedManagerDelegate = RetailerManagerDelegate;

class RetailerManager : public codec::PaymentRspnParserDelegate,
                        public codec::RefundRspnBuilderDelegate,
                        public codec::PreAuthRspnBuilderDelegate,
                        public codec::PreAuthCompletionRspnBuilderDelegate,
                        public codec::ReversalRspnBuilderDelegate,
                        public codec::ReconciliationRspnBuilderDelegate,
                        public codec::AbortRspnParserDelegate,
                        public codec::MessageStatusRspnBuilderDelegate,
                        public codec::BalanceInquiryRspnBuilderDelegate,
                        public codec::PrintRspnBuilderDelegate,
                        public codec::NFCTagRspnBuilderDelegate,
                        public codec::CardAuthRspnBuilderDelegate,
                        public codec::AuthAdjustmentRspnBuilderDelegate,
                        public codec::DisplayRspnBuilderDelegate,
                        public codec::TransmitMessageRspnBuilderDelegate,
                        public codec::ReprintRspnBuilderDelegate,
                        public std::enable_shared_from_this<RetailerManager> {
 public:
  struct Collaborators {
    registry::DatabaseManager& database;
    ResultBackManager& resultManager;
    RetailerSettingManager& settings;
    registry::LogFile& logFile;
    transport::BleDiscoveryTransport& ble;
    CommunicateFactory factory;
    // The candidate probes' network; null takes TcpPinger and
    // createBleProbeService().
    std::shared_ptr<Pinger> pinger = nullptr;
    std::shared_ptr<BleProbeService> bleProbe = nullptr;
    ProbeTimeouts probeTimeouts = {};
    // Where the probes wait and TcpPinger's connects run; null takes the
    // global queue.
    std::shared_ptr<platform::TaskQueue> probeQueue = nullptr;
  };

  // The process-wide facade over the production singletons, made once on
  // first use together with the settings facade. It also makes the message
  // headers carry this device's identifier.
  static RetailerManager& sharedManager();
  static std::shared_ptr<RetailerManager> sharedPtr();

  explicit RetailerManager(Collaborators collaborators);
  ~RetailerManager() override;
  RetailerManager(const RetailerManager&) = delete;
  RetailerManager& operator=(const RetailerManager&) = delete;

  // Where the scan screen is shown; none until the host's navigation
  // installs one.
  void initWithNavigationController(std::shared_ptr<ScanPresenter> presenter);
  // The host's navigation controller (held weakly): requests that need a
  // choice push the scan screen on it, over this facade's database and its
  // settings facade's discovery.
  void initWithNavigationController(std::shared_ptr<ui::NavigationController> navigation);
  // A terminal service for the next display request, which then goes
  // straight to it; used once.
  void initWithServiceBean(ServiceDictionary serviceBean);
  // Makes an HTTP transport for `address`; the next dispatch replaces it.
  void setHost(const std::string& address);
  std::shared_ptr<RetailerManagerDelegate> delegate() const;
  void setDelegate(std::weak_ptr<RetailerManagerDelegate> delegate);

  // The exchange identifier of the request started last on the main loop
  // (for logging).
  std::string transUUID() const;

  // --- services -------------------------------------------------------------
  // Each copies `param`, calls `block` with the new exchange identifier and
  // later `result` with each result or the error.

  // By transactionType: 1 "Scan Code Purchase", 2 "QR Code Purchase",
  // 3 "Cash Purchase", anything else "Purchase".
  void payment(const model::PaymentParam& param, ExchangeIdBlock block,
               ResultBlock<model::PaymentResult> result);
  void refund(const model::RefundParam& param, ExchangeIdBlock block,
              ResultBlock<model::RefundResult> result);
  // Asks the terminal to abort the exchange param.orgExchangeIdentification.
  // `result` gets (0, no message) once the abort is handed on for sending;
  // it is never registered.
  void abort(const model::AbortParam& param, ExchangeIdBlock block, AbortResultBlock result);
  void authAdjustment(const model::AuthAdjustmentParam& param, ExchangeIdBlock block,
                      ResultBlock<model::AuthAdjustmentResult> result);
  void balanceInquiry(const model::BalanceInquiryParam& param, ExchangeIdBlock block,
                      ResultBlock<model::BalanceInquiryResult> result);
  void cardAuthentication(const model::CardAuthParam& param, ExchangeIdBlock block,
                          ResultBlock<model::CardAuthResult> result);
  void display(const model::DisplayParam& param, ExchangeIdBlock block,
               ResultBlock<model::DisplayResult> result);
  void preAuth(const model::PreAuthParam& param, ExchangeIdBlock block,
               ResultBlock<model::PreAuthResult> result);
  void preAuthCompletion(const model::PreAuthCompletionParam& param, ExchangeIdBlock block,
                         ResultBlock<model::PreAuthCompletionResult> result);
  void print(const model::PrintParam& param, ExchangeIdBlock block,
             ResultBlock<model::PrintResult> result);
  void reconciliation(const model::ReconciliationParam& param, ExchangeIdBlock block,
                      ResultBlock<model::ReconciliationResult> result);
  void reversal(const model::ReversalParam& param, ExchangeIdBlock block,
                ResultBlock<model::ReversalResult> result);
  void nfcTag(const model::NFCTagParam& param, ExchangeIdBlock block,
              ResultBlock<model::NFCTagResult> result);
  void messageStatus(const model::MessageStatusParam& param, ExchangeIdBlock block,
                     ResultBlock<model::MessageStatusResult> result);
  void transmitMessage(const model::TransmitMessageParam& param, ExchangeIdBlock block,
                       ResultBlock<model::TransmitMessageResult> result);
  void reprint(const model::ReprintParam& param, ExchangeIdBlock block,
               ResultBlock<model::ReprintResult> result);

  // Device services: sent without a message body; their responses are
  // stored, not decoded, so `result` hears only of failures.
  void cardReaderAPDU(const model::CardReaderAPDUParam& param, ExchangeIdBlock block,
                      ResultBlock<model::CardReaderAPDUResult> result);
  void diagnosis(const model::DiagnosisParam& param, ExchangeIdBlock block,
                 ResultBlock<model::DiagnosisResult> result);
  void initialisationCardReader(const model::InitialisationCardReaderParam& param,
                                ExchangeIdBlock block,
                                ResultBlock<model::InitialisationCardReaderResult> result);
  void input(const model::InputParam& param, ExchangeIdBlock block,
             ResultBlock<model::InputResult> result);
  void playSound(const model::PlaySoundParam& param, ExchangeIdBlock block,
                 ResultBlock<model::PlaySoundResult> result);
  void transmission(const model::TransmissionParam& param, ExchangeIdBlock block,
                    ResultBlock<model::TransmissionResult> result);

  // --- decoder callbacks ----------------------------------------------------
  // While a response is decoded, its result goes to the exchange the
  // response was sent for; a header identifier that is empty or differs is
  // logged and not used.

  void onPaymentResponse(std::shared_ptr<const model::PaymentResult> result,
                         const std::string& exchangeId, bool endFlag) override;
  void onRefundResponse(std::shared_ptr<const model::RefundResult> result,
                        const std::string& exchangeId, bool endFlag) override;
  void onPreAuthResponse(std::shared_ptr<const model::PreAuthResult> result,
                         const std::string& exchangeId, bool endFlag) override;
  void onPreAuthCompletionResponse(std::shared_ptr<const model::PreAuthCompletionResult> result,
                                   const std::string& exchangeId, bool endFlag) override;
  void onReversalResponse(std::shared_ptr<const model::ReversalResult> result,
                          const std::string& exchangeId, bool endFlag) override;
  void onReconciliationResponse(std::shared_ptr<const model::ReconciliationResult> result,
                                const std::string& exchangeId, bool endFlag) override;
  // Abort responses are stored, not decoded: nothing to do.
  void onAbortResponse(std::shared_ptr<const model::AbortResult> result,
                       const std::string& exchangeId) override;
  void onMessageStatusResponse(std::shared_ptr<const model::MessageStatusResult> result,
                               const std::string& exchangeId, bool endFlag) override;
  void onBalanceInquiryResponse(std::shared_ptr<const model::BalanceInquiryResult> result,
                                const std::string& exchangeId, bool endFlag) override;
  void onPrintResponse(std::shared_ptr<const model::PrintResult> result,
                       const std::string& exchangeId, bool endFlag) override;
  void onNFCTagResponse(std::shared_ptr<const model::NFCTagResult> result,
                        const std::string& exchangeId, bool endFlag) override;
  void onCardAuthResponse(std::shared_ptr<const model::CardAuthResult> result,
                          const std::string& exchangeId, bool endFlag) override;
  void onAuthAdjustmentResponse(std::shared_ptr<const model::AuthAdjustmentResult> result,
                                const std::string& exchangeId, bool endFlag) override;
  void onDisplayResponse(std::shared_ptr<const model::DisplayResult> result,
                         const std::string& exchangeId, bool endFlag) override;
  void onTransmitMessageResponse(std::shared_ptr<const model::TransmitMessageResult> result,
                                 const std::string& exchangeId, bool endFlag) override;
  void onReprintResponse(std::shared_ptr<const model::ReprintResult> result,
                         const std::string& exchangeId, bool endFlag) override;

  // Hands `result` to the exchange's block (code 0); the registration ends
  // with the end flag.
  void handleResponse(ResultObject result, const std::string& exchangeId, bool endFlag);

  // The service dictionary of `service` (a terminal-service or
  // remembered-service row) on `terminal` (a discovered-terminal row): the
  // service row's keys, then "model", "address", "uuidString" and
  // "parameter" from the terminal row; a value the terminal row lacks
  // removes the key.
  static ServiceDictionary buildServiceDictWithTerminal(const registry::Row& terminal,
                                                        const registry::Row& service);

 private:
  using ContextPtr = std::shared_ptr<RequestContext>;
  class ScanDelegate;

  // The steps every service method shares: identifier, block, registration,
  // parameter, then the choice of the terminal service.
  void startRequest(std::int64_t serviceNumber, RequestParam param,
                    const std::optional<model::DestinationParams>& destination,
                    const ExchangeIdBlock& block, HostBlock result);
  ContextPtr newContext(std::string serviceType);
  // Runs `step` now on the main loop, else hands it there, keeping this
  // manager alive until it has run.
  void onMainLoop(std::function<void(RetailerManager&)> step);
  // Files the request as in flight (main loop) until endRequest().
  void beginRequest(const ContextPtr& context);
  void endRequest(const std::string& exchangeId);
  void callExchangeIdBlock(const ExchangeIdBlock& block, const std::string& exchangeId);
  // Sends the host delegate, when set, its hook `hook`; like the exchange
  // id block, a hook that throws stops neither the request nor the caller.
  void callDelegate(std::string_view hook,
                    const std::function<void(RetailerManagerDelegate&)>& call);

  // The choice of the terminal service: gathers the candidates (the
  // explicit or default address, the stored destinations, the remembered
  // services), probes them one after another and dispatches to the first
  // that answers; else reports the error or opens the scan screen.
  void scanTerminService(const ContextPtr& context, const std::optional<std::string>& sn,
                         const std::optional<std::string>& serviceId,
                         const std::optional<std::string>& address);
  // Opens the scan screen for the request; without a presenter the request
  // ends with -101 "Service not found".
  void startScanViewController(const ContextPtr& context, const std::optional<std::string>& sn,
                               const std::optional<std::string>& serviceId,
                               const std::string& strSn,
                               const std::optional<std::string>& showString);
  // Ends the request with (no result, code, message) during the choice.
  void failChoice(const ContextPtr& context, std::int64_t code, std::string_view msg);

  // --- candidate probes -------------------------------------------------------
  // Each calls `completion` exactly once: true when it reached its terminal
  // and started the request. Without what it needs it answers false at once,
  // on the calling thread, with no network work.
  using ProbeCompletion = std::function<void(bool started)>;
  void tryUseServiceWithStaticIP(const ContextPtr& context, const std::optional<std::string>& ip,
                                 const std::optional<std::string>& serviceId,
                                 ProbeCompletion completion);
  void tryUseRememberedServiceWithSN(const ContextPtr& context, const std::string& sn,
                                     const std::string& serviceType, ProbeCompletion completion);
  void tryUseRememberedServiceWithSN(const ContextPtr& context, const std::string& sn,
                                     const std::string& serviceType, const std::string& serviceId,
                                     ProbeCompletion completion);
  void tryUseRememberedTerminal(const ContextPtr& context, const std::string& serviceType,
                                ProbeCompletion completion);
  // The remembered-row probe: `service` on `terminal`.
  void tryUseRememberedRow(const ContextPtr& context, const registry::Row& terminal,
                           const registry::Row& service, ProbeCompletion completion);
  // Reaches `terminal` (which may change the offline flag) and always
  // answers false.
  void tryUseTerminalOnly(const ContextPtr& context, const registry::Row& terminal,
                          ProbeCompletion completion);
  // The reach check of `terminal` on the global queue; on success, on the
  // main loop, dispatch to `service` on it.
  void probeAndStart(const ContextPtr& context, registry::Row terminal, registry::Row service,
                     std::string_view successLine, ProbeCompletion completion);
  // Stale terminal services are disabled before a choice.
  void resetTerminalServiceStatus();

  // The abort's target terminal: the request's address, the default
  // terminal, or the terminal the aborted exchange went to.
  void startAbort(const ContextPtr& context);

  // Dispatch: encodes, logs and sends the request to `service`.
  void startHostService(const ContextPtr& context, ServiceDictionary service);
  // Bluetooth LE: sends at once to a ready terminal, else from the connect
  // completion; a failed connect ends the request and nothing is sent.
  void sendOverBle(const ContextPtr& context, const std::optional<std::string>& message,
                   const ServiceDictionary& service);
  void send(const ContextPtr& context, const std::optional<std::string>& message,
            std::uint64_t communicateType, const ServiceDictionary& service);

  // Response handling.
  void onTransportResult(const ContextPtr& context, std::optional<std::string> response,
                         bool endFlag, std::int64_t code, std::optional<std::string> msg);
  // True when the service has a decoder (and it ran).
  bool decodeResponse(const ContextPtr& context, const std::string& response, bool endFlag);
  void notifyDelegate(std::shared_ptr<const model::EventNotificationParam> notification);
  // Where a decoded result goes: the exchange being decoded, else the
  // header's identifier.
  std::string routeExchangeId(const std::string& headerExchangeId) const;
  // Ends the request with (no result, code, message).
  void reportError(const ContextPtr& context, std::int64_t code, std::optional<std::string> msg);
  // Lets go of the exchange's transport once its own call has returned.
  void releaseTransport(const std::string& exchangeId);

  registry::DatabaseManager& databaseManager_;
  ResultBackManager& resultManager_;
  RetailerSettingManager& settingManager_;
  registry::LogFile& logFile_;
  transport::BleDiscoveryTransport& ble_;
  CommunicateFactory factory_;
  // Where the probes wait: the global queue, or the one given (owned).
  std::shared_ptr<platform::TaskQueue> ownProbeQueue_;
  platform::TaskQueue& probeQueue_;
  // Shared with the probes running on the probe queue.
  std::shared_ptr<ReachChecker> reachChecker_;

  // Guards delegate_ and transUUID_, which the host may read from any
  // thread.
  mutable std::mutex hostMutex_;
  std::weak_ptr<RetailerManagerDelegate> delegate_;
  std::shared_ptr<ScanPresenter> navigationController_;
  std::optional<ServiceDictionary> serviceBean_;
  // Mirrors of the request started last and the transport made last.
  std::string transUUID_;
  CommunicateServicePtr service_;
  // Every request from its start on the main loop until it has ended: what
  // the destructor ends.
  std::map<std::string, ContextPtr, std::less<>> live_;
  // The transport of each exchange until its last message.
  std::map<std::string, CommunicateServicePtr, std::less<>> inFlight_;
  // The exchange whose response is being decoded (empty outside).
  std::string decodingExchangeId_;
};

}  // namespace veltrix::facade
