// The terminal scan screen: pushed by the facade when it cannot choose the
// terminal service of a request by itself. It restarts discovery, keeps the
// services that fit the request, ages them by when their terminal last
// answered, shows them orbiting a centre or as a list of cards, stores the
// user's remember choice, and hands the service the user drops on the
// centre or picks from the list to its delegate, or -101 "Service not
// found" when it ends without a choice. It answers exactly once.
//
// Thread: the main loop only (UI calls, timers and discovery reports).
// Ownership: the navigation controller owns the screen; the screen's view
// owns the bubbles and the list, which the screen also holds (the list
// holds the screen weakly as its data source and delegate); the remember
// sheet's dimming view lives in the screen view's superview, in the
// background-view slot of the screen's dialogs; the screen owns its
// request's delegate and its timers (whose blocks hold it weakly), and
// refers to the database and discovery, which outlive it. Discovery holds
// the screen weakly as its delegate while the screen is in view.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "veltrix/facade/scan_presenter.h"
#include "veltrix/platform/dispatch.h"
#include "veltrix/platform/json.h"
#include "veltrix/platform/notification_center.h"
#include "veltrix/platform/ui/collection_view.h"
#include "veltrix/platform/ui/layer.h"
#include "veltrix/platform/ui/view_controller.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/registry/discover_manager_delegate.h"
#include "veltrix/ui/scan/circular_moving_view.h"
#include "veltrix/ui/scan/grid_view_controller.h"
#include "veltrix/ui/scan/scan_dialogs.h"
#include "veltrix/ui/scan/scan_logic.h"
#include "veltrix/ui/scan/terminal_collection_view_cell.h"

namespace veltrix::ui::scan {

// The library objects the screen talks to.
struct ScanScreenServices {
  registry::DatabaseManager& database;
  registry::DiscoveryControl* discovery = nullptr;  // none: nothing is discovered
  // The process-wide database and discovery.
  static ScanScreenServices shared();
};

class ScanViewController : public ViewController,
                           public registry::DiscoverManagerDelegate,
                           public CircularMovingDelegate,
                           public GridViewControllerDelegate,
                           public CollectionViewDataSource,
                           public CollectionViewDelegate {
 public:
  static constexpr double kExitSeconds = 30.0;
  static constexpr double kScanSeconds = 1.0;
  static constexpr std::int64_t kErrorServiceNotFound = -101;
  static constexpr const char* kMsgServiceNotFound = "Service not found";
  // The remember options, index 0 to 2.
  static const std::vector<std::string>& rememberOptions();

  // Loads the fonts of the bubbles and rows off the main loop, so that the
  // first terminals to answer do not pay for them; create() does it too.
  static void prepareFonts();
  // A screen for `request` that answers `delegate`.
  static std::shared_ptr<ScanViewController> create(
      const facade::ScanRequest& request,
      std::shared_ptr<facade::ScanViewControllerDelegate> delegate, ScanScreenServices services);
  explicit ScanViewController(ScanScreenServices services);
  ~ScanViewController() override;

  // Inputs, set before the screen is shown.
  std::string serviceType, sn, serviceId, snList, showString;
  bool isOffline = false;
  bool isScanAllService = false;
  std::shared_ptr<facade::ScanViewControllerDelegate> delegate;
  // Pairing and this device's handshake text for the dialogs; the
  // process-wide AuthManager and own record when empty.
  ScanDialogs::Services dialogServices;

  // --- lifecycle ------------------------------------------------------------
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void viewDidAppear(bool animated) override;
  void viewWillDisappear(bool animated) override;
  void viewDidLayoutSubviews() override;
  void viewWillTransitionToSize(Size size, TransitionCoordinator& coordinator) override;
  std::string typeName() const override { return "ScanViewController"; }

  // --- discovery --------------------------------------------------------------
  // The filter of one discovered service.
  void onScanTerminal(const registry::ServiceInfo& info) override;
  void onError(std::int32_t code, const std::string& message) override;

  // --- bubbles ------------------------------------------------------------------
  void onReadjustView() override;

  // --- list presentation --------------------------------------------------------
  std::int64_t numberOfItems(CollectionView& view, std::int64_t section) override;
  std::shared_ptr<CollectionViewCell> cellForItem(CollectionView& view,
                                                  IndexPath indexPath) override;
  // Height 90; the screen's width less 48, halved on a pad (two columns).
  std::optional<Size> sizeForItem(CollectionView& view, FlowLayout& layout,
                                  IndexPath indexPath) override;
  // Chooses the row's service, also when it is shown as stale.
  void didSelectItem(CollectionView& view, IndexPath indexPath) override;
  // The list; none once the screen has ended.
  CollectionView* collectionView() const { return collectionView_.get(); }
  // The action of the screen view's tap recogniser at `location` (in the
  // screen view): a tap on none of the view's direct subviews closes the
  // add-device chooser or QR code dialog that is showing.
  void handleBlankAreaTap(Point location);

  // --- remember choice ---------------------------------------------------------------
  // The remember button: opens the remember-option sheet.
  void selectRemember();
  void showRememberOptionView();
  // A row of the sheet (0 to 2): the option type changes, nothing is stored.
  void rememberOptionChosen(std::int64_t index);
  // Closes the sheet and titles the remember button after `option`.
  void handleSelection(const std::string& option);
  // The dimming view of the remember sheet or pairing card, if any.
  View* backgroundView() const { return dialogs_ ? dialogs_->backgroundView() : nullptr; }

  // --- overflow grid and dialogs ---------------------------------------------------
  // Presents the overflow grid over the screen (a tap on "more").
  void showGridPopup();
  // A service picked in the grid: remembered and returned like a drop.
  void onScanMoreTerminalSucc(const ServiceInfoDict& service) override;
  // Entry points no control calls: the add-device chooser (whose "Device
  // Code" opens the QR code dialog), the QR code dialog, and the pairing
  // code card for a terminal record ("sn", "address").
  void plusQRCode();
  void showQRCodeDialog();
  void showAuthRandomView(const platform::Json& terminal);
  // A discovered service posted as a notification whose object is a
  // registry::ServiceInfo; one without an object is ignored.
  void onScanTerminal2(const platform::Notification& notification);
  bool isShowQRView() const { return dialogs_ && dialogs_->isShowQRView(); }
  // The dialogs over the screen's view (made on first use).
  ScanDialogs& dialogs();
  GridViewController* popupView() const { return popupView_.get(); }

  // --- endings ------------------------------------------------------------------
  // The time-out and the back item: -101, then the screen leaves.
  void timerFired();
  // One ageing pass.
  void timerScanService();
  // Returns the chosen service to the delegate, cleans up and leaves.
  void setPaymentHostParamter(const ServiceInfoDict& service);
  // Stores the remember choice for a chosen service.
  void saveToDatabase(const ServiceInfoDict& service);
  // Idempotent: timers, discovery, bubbles, ripple and lists.
  void cleanAllResources();

  // --- what tests and the gallery read ---------------------------------------------
  int optionType() const { return optionType_; }
  const std::string& optionSN() const { return optionSN_; }
  const std::string& optionMode() const { return optionMode_; }
  const std::string& preferencesMode() const { return preferencesMode_; }
  bool isOrbit() const { return isOrbitMode(preferencesMode_); }
  const std::vector<ServiceInfoDict>& activedIps() const { return activedIps_; }
  const std::vector<ServiceInfoDict>& moreActivedIps() const { return moreActivedIps_; }
  const std::vector<std::shared_ptr<CircularMovingView>>& movingViews() const {
    return movingViews_;
  }
  const std::vector<TerminalItem>& terminalItems() const { return terminalItems_; }
  bool isHaveMore() const;
  bool outcomeReported() const { return outcomeReported_; }
  bool hasTimers() const { return exitTimer_ != nullptr || scanTimer_ != nullptr; }
  Label* headerLabel() const { return headerLabel_.get(); }
  Label* label2() const { return label2_.get(); }
  Label* label3() const { return label3_.get(); }
  Button* rememberBtn() const { return rememberBtn_.get(); }
  const std::shared_ptr<BarButtonItem>& rightItem() const { return rightItem_; }
  View* backgroundCenterView() const { return backgroundCenterView_.get(); }
  // The orbit fitted between the instruction lines and the remember button
  // (or, with the texts beside it, in the safe area's other half) once they
  // are laid out; the view's midpoint and the idiom's radius before then.
  Orbit orbit() const;
  // The header, the instruction lines and the remember button are in a
  // column at the safe area's leading half, the orbit in the other: the
  // orbit presentation where the band between the lines and the button is
  // too low for the smallest orbit (a phone on its side).
  bool textsBesideOrbit() const { return textsBesideOrbit_; }
  Point orbitCenter() const { return orbit().center; }
  double orbitRadius() const { return orbit().radius; }

 private:
  // Load and layout, in the order the screen is built.
  void setupListView();
  void setupUI();
  void layoutCenterDisc(const Orbit& orbit);
  void setupCenterImage();
  void createAdvancedRippleFromImage();
  void applyPresentation();
  void applyVisibilitySettings();
  // Puts the texts across the top and bottom or beside the orbit (see
  // textsBesideOrbit).
  void placeTexts();
  // The lower instruction line that has text; the orbit starts below it.
  const Label* lastInstructionLine() const;
  // Moves every bubble, the disc and the ripple onto the orbit as fitted now.
  void fitBubbles();
  std::string rememberButtonTitle(const std::string& option) const;

  // Discovery is taken over while the screen is in view and handed back to
  // the delegate it had before the first scan screen open on it.
  void takeDiscovery(bool restart);
  void releaseDiscovery(bool destroying);
  // The screen has ended: it no longer counts among the open ones.
  void leaveHandover();
  void startTimers();
  void stopTimers();
  void checkWhetherSacnAllTermnal(bool fromLoad);

  // Orbit.
  void addMovingViews(const ServiceInfoDict* info);
  void addCircularMovineVied(const ServiceInfoDict& info);
  void resetMoveingView();
  void removeBubble(const std::shared_ptr<CircularMovingView>& bubble);
  void handleCenterZoneEventForView(CircularMovingView& bubble, bool inZone);
  void handleTapOnView(CircularMovingView& bubble);
  void handleOrientationChange();
  void finalizeOrientationChange();
  // The ripple covers the view, its circle on `orbitCentre`.
  void updateReplicatorLayer(Point orbitCentre);
  void updateMovingViews();

  // Narrowing to the static serial number or identifier, or to the
  // remembered terminal.
  void narrowTo(const std::function<bool(const ServiceInfoDict&)>& keep);
  void removeTerminalByRemember();
  void removeServiceByRememberSN();
  // Drops every entry of these services from the accepted, overflow and
  // list entries; true when a list item went.
  bool removeEntriesEverywhere(const std::vector<ServiceInfoDict>& services);
  void refillFromOverflow();

  // The list presentation.
  void addTerminalItem(TerminalItem item);
  void reloadList();
  // The rows the list shows now: item index and cell.
  std::vector<std::pair<std::size_t, TerminalCollectionViewCell*>> visibleRows();
  // Pushes the terminal detail sheet for the service's terminal.
  void openTerminalDetail(const ServiceInfoDict& service);

  void reportNotFound();
  void leave();
  std::int64_t ageOf(const ServiceInfoDict& service);
  std::shared_ptr<ScanViewController> self() { return sharedAs<ScanViewController>(); }

  ScanScreenServices services_;
  std::recursive_mutex scanLock_;
  bool isIpad_ = false;
  std::string preferencesMode_;
  int optionType_ = 2;
  std::string optionMode_;
  std::string optionSN_;
  registry::Rows historyService_;
  std::vector<ServiceInfoDict> activedIps_;
  std::vector<ServiceInfoDict> moreActivedIps_;
  std::vector<std::shared_ptr<CircularMovingView>> movingViews_;
  std::vector<TerminalItem> terminalItems_;
  std::int64_t viewIndex_ = 0;
  std::size_t numberOfViews_ = 0;
  bool outcomeReported_ = false;
  bool cleanedUp_ = false;
  bool ownsDiscovery_ = false;
  bool joinedHandover_ = false;
  std::shared_ptr<platform::RepeatingTimer> exitTimer_;
  std::shared_ptr<platform::RepeatingTimer> scanTimer_;

  std::shared_ptr<Label> headerLabel_;
  std::shared_ptr<Label> label2_;
  std::shared_ptr<Label> label3_;
  std::shared_ptr<Button> rememberBtn_;
  std::shared_ptr<BarButtonItem> rightItem_;
  std::shared_ptr<CollectionView> collectionView_;
  std::shared_ptr<View> backgroundCenterView_;
  std::shared_ptr<ImageView> centerImageView_;
  std::shared_ptr<ReplicatorLayer> replicatorLayer_;
  ConstraintPtr headerLabelTopConstraint_;
  ConstraintPtr subHeaderLabelTopConstraint_;
  ConstraintPtr collectionViewTopConstraint_;
  // The texts' horizontal constraints across the screen and beside the
  // orbit; one set is active.
  std::vector<ConstraintPtr> textsAcross_;
  std::vector<ConstraintPtr> textsBeside_;
  bool textsBesideOrbit_ = false;
  std::shared_ptr<GestureRecognizer> blankTap_;
  std::shared_ptr<GridViewController> popupView_;
  std::shared_ptr<ScanDialogs> dialogs_;
};

}  // namespace veltrix::ui::scan
