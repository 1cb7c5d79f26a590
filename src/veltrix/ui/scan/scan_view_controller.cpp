#include "veltrix/ui/scan/scan_view_controller.h"

#include <fmt/ranges.h>

#include <algorithm>
#include <map>
#include <set>

#include "veltrix/platform/clock.h"
#include "veltrix/platform/log.h"
#include "veltrix/platform/ui/animation.h"
#include "veltrix/platform/ui/device.h"
#include "veltrix/platform/ui/gesture.h"
#include "veltrix/platform/ui/image.h"
#include "veltrix/platform/ui/runtime.h"
#include "veltrix/platform/ui/text_metrics.h"
#include "veltrix/platform/ui/toast.h"
#include "veltrix/registry/database_manager.h"
#include "veltrix/registry/discover_manager.h"
#include "veltrix/registry/terminal_info.h"
#include "veltrix/ui/scan/remember_option_view.h"
#include "veltrix/ui/scan/screen_factory.h"

namespace veltrix::ui::scan {
namespace {

constexpr const char* kPreferencesMode = "preferencesMode";
constexpr const char* kShowSetting = "SHOW_SETTING";
constexpr const char* kShowRemember = "SHOW_REMEMBER";
constexpr const char* kRememberAll = "ALL";
constexpr int kShowSettingFromSystem = 16;

const Color kCenterImageColor = Color::rgb(0.53, 0.81, 0.98);
const Color kBackgroundColor = Color::rgb255(243, 246, 249);
const Color kRememberTitleColor = Color::rgb255(58, 118, 226);
constexpr double kInstructionFontSize = 19;
// The header and instruction lines keep their specified sizes as the
// largest and step down to fit the screen's width less these margins (a
// bold 40 "Cash Purchase Service" is wider than a phone).
constexpr double kTextSideMargin = 16;
constexpr double kSmallestTextScale = 0.5;
constexpr double kRememberBottomInset = 10;
// Beside the orbit the texts take this share of the safe width.
constexpr double kTextColumnShare = 0.5;
// Between the bubbles' drawing and the safe area's edges, the texts and
// the remember button.
constexpr double kOrbitMargin = 8;
constexpr double kRememberHeight = 46;
constexpr double kDiscSize = 150;
constexpr double kCenterImageSize = 80;
constexpr double kCenterImageCorner = 40;
constexpr double kRippleCircle = 50;
constexpr int kRippleInstances = 4;
constexpr double kRippleInstanceDelay = 5.0;
constexpr double kRippleDuration = 5.8;
constexpr double kRippleScale = 10.0;
constexpr double kToastSeconds = 2.0;
const Rect kBubbleFrame{0, 0, CircularMovingView::kWidth, CircularMovingView::kHeight};
constexpr char kTerminalCell[] = "TerminalCell";
constexpr double kListSpacing = 16;
constexpr double kListBottomInset = 50;
constexpr double kListMargins = 48;  // two section insets and the gap
constexpr double kPulseSeconds = 0.2;
constexpr double kPulseScale = 1.3;

std::shared_ptr<Label> makeLabel(double size) {
  auto label = std::make_shared<Label>();
  label->setFont(Font::bold(size));
  label->textColor = Color::black();
  label->textAlignment = TextAlignment::Center;
  label->adjustsFontSizeToFitWidth = true;
  label->minimumScaleFactor = kSmallestTextScale;
  label->setTranslatesAutoresizingMaskIntoConstraints(false);
  return label;
}

}  // namespace

const std::vector<std::string>& ScanViewController::rememberOptions() {
  static const std::vector<std::string> options = {
      "Choose service every time", "Remember this service", "Remember this terminal"};
  return options;
}

ScanScreenServices ScanScreenServices::shared() {
  return {registry::DatabaseManager::sharedManager(), &registry::DiscoverManager::sharedInstance()};
}

void ScanViewController::prepareFonts() {
  // The bubbles' own sizes and the rows' first: a terminal's first lines
  // are drawn in them.
  std::vector<Font> fonts = CircularMovingView::fonts();
  const std::vector<Font> rows = TerminalCollectionViewCell::fonts();
  fonts.insert(fonts.begin() + 2, rows.begin(), rows.end());
  textMetrics().prepare(std::move(fonts));
}

std::shared_ptr<ScanViewController> ScanViewController::create(
    const facade::ScanRequest& request,
    std::shared_ptr<facade::ScanViewControllerDelegate> delegate, ScanScreenServices services) {
  prepareFonts();
  auto screen = std::make_shared<ScanViewController>(services);
  screen->serviceType = request.serviceType;
  screen->isScanAllService = request.isScanAllService;
  screen->isOffline = request.isOffline;
  screen->delegate = std::move(delegate);
  screen->sn = request.sn.value_or("");
  screen->snList = request.snList;
  screen->serviceId = request.serviceId.value_or("");
  screen->showString = request.showString.value_or("");
  return screen;
}

ScanViewController::ScanViewController(ScanScreenServices services) : services_(services) {}

ScanViewController::~ScanViewController() {
  // A screen dropped with its navigation controller still answers.
  stopTimers();
  releaseDiscovery(/*destroying=*/true);
  leaveHandover();
  for (auto& bubble : movingViews_) bubble->cleanAllResources();
  reportNotFound();
}

// --- load ----------------------------------------------------------------------

void ScanViewController::viewDidLoad() {
  auto& db = services_.database;
  isIpad_ = currentDevice().isPad();
  setupListView();

  preferencesMode_ = db.fetchSetting(kPreferencesMode);
  view().layerBackgroundColor = kBackgroundColor;
  if (preferencesMode_.empty() || registry::leadingInteger(preferencesMode_) != 2) {
    db.updateSetting(kPreferencesMode, "1");
    preferencesMode_ = "1";
  }

  optionType_ = 2;
  const registry::Row remembered = db.fetchRememberServicesWithType(kRememberAll);
  const std::string rememberedSn = registry::rowText(remembered, "sn").value_or("");
  if (!rememberedSn.empty()) {
    optionSN_ = rememberedSn;
    historyService_ = db.fetchTerminalServicesWithServiceTypeSn(serviceType, optionSN_);
    if (historyService_.empty()) isScanAllService = true;
  }

  optionMode_ = db.fetchSetting(serviceType);
  if (!optionMode_.empty()) {
    if (optionMode_ == "0") optionType_ = 0;
    if (optionMode_ == "1") optionType_ = 1;
    if (optionMode_ == "2") optionType_ = 2;
  } else {
    optionMode_ = "2";
    db.insertSetting(serviceType, "2");
  }
  checkWhetherSacnAllTermnal(/*fromLoad=*/true);
  if (optionType_ == 2 && !rememberedSn.empty() &&
      db.fetchTerminalServicesWithServiceTypeSn(serviceType, optionSN_).empty()) {
    showString = showAllMessage(serviceType, optionSN_);
    optionType_ = 3;
  }
  if (!showString.empty()) optionType_ = 3;

  setupUI();
  setupCenterImage();
  createAdvancedRippleFromImage();
  viewIndex_ = 0;

  if (characterCount(sn) > 10 &&
      db.fetchTerminalServicesWithServiceTypeSn(serviceType, sn).empty()) {
    isScanAllService = true;
  }
  if (characterCount(serviceId) > 1 &&
      db.fetchTerminalServicesWithServiceTypeServiceId(serviceType, serviceId).empty()) {
    isScanAllService = true;
  }

  // Touches still reach the views under the blank-area recogniser.
  std::weak_ptr<ScanViewController> weak = self();
  blankTap_ = std::make_shared<TapGestureRecognizer>([weak](GestureRecognizer& recognizer) {
    auto s = weak.lock();
    if (s && s->isViewLoaded()) s->handleBlankAreaTap(recognizer.locationInView(&s->view()));
  });
  blankTap_->cancelsTouchesInView = false;
  view().addGestureRecognizer(blankTap_);

  takeDiscovery(/*restart=*/true);
}

void ScanViewController::setupListView() {
  terminalItems_.clear();
  auto layout = std::make_shared<FlowLayout>();
  layout->minimumInteritemSpacing = kListSpacing;
  layout->minimumLineSpacing = kListSpacing;
  layout->sectionInset = Insets{kListSpacing, kListSpacing, kListSpacing, kListSpacing};
  collectionView_ = std::make_shared<CollectionView>(Rect{}, layout);
  collectionView_->debugName = "list";
  collectionView_->setBackgroundColor(Color::clear());
  auto me = self();
  collectionView_->setDataSource(std::weak_ptr<CollectionViewDataSource>(me));
  collectionView_->setDelegate(std::weak_ptr<CollectionViewDelegate>(me));
  collectionView_->registerCell(kTerminalCell,
                                [] { return std::make_shared<TerminalCollectionViewCell>(); });
  collectionView_->setTranslatesAutoresizingMaskIntoConstraints(false);
  // The first view of the screen: everything added later lies above it.
  View& root = view();
  root.addSubview(collectionView_);
  auto& safe = root.safeAreaLayoutGuide();
  collectionViewTopConstraint_ = collectionView_->topAnchor().constraintEqualTo(
      safe.topAnchor(), topOffsets(root.bounds().size).collection);
  activate(
      {collectionViewTopConstraint_,
       collectionView_->leadingAnchor().constraintEqualTo(safe.leadingAnchor()),
       collectionView_->trailingAnchor().constraintEqualTo(safe.trailingAnchor()),
       collectionView_->bottomAnchor().constraintEqualTo(safe.bottomAnchor(), -kListBottomInset)});
}

void ScanViewController::setupUI() {
  View& root = view();
  auto& safe = root.safeAreaLayoutGuide();
  const TopOffsets offsets = topOffsets(root.bounds().size);

  headerLabel_ = makeLabel(headerFontSize(characterCount(serviceType)));
  headerLabel_->setText(headerText(serviceType));
  root.addSubview(headerLabel_);
  headerLabelTopConstraint_ =
      headerLabel_->topAnchor().constraintEqualTo(safe.topAnchor(), offsets.header);
  activate({headerLabelTopConstraint_});

  // Both lines always exist; each appearance sets them for the presentation
  // and idiom in force.
  const InstructionLines lines = instructionLines(isOrbit(), isIpad_);
  label2_ = makeLabel(kInstructionFontSize);
  label2_->setText(lines.first);
  label3_ = makeLabel(kInstructionFontSize);
  label3_->setText(lines.second);
  root.addSubview(label2_);
  root.addSubview(label3_);
  subHeaderLabelTopConstraint_ =
      label2_->topAnchor().constraintEqualTo(safe.topAnchor(), offsets.subHeader);
  activate({subHeaderLabelTopConstraint_,
            label3_->topAnchor().constraintEqualTo(label2_->bottomAnchor())});

  rememberBtn_ = std::make_shared<Button>(ButtonType::Custom);
  rememberBtn_->setTitleColor(kRememberTitleColor, ControlState::Normal);
  rememberBtn_->setImage(Image::systemNamed("chevron.down"), ControlState::Normal);
  rememberBtn_->setTintColor(kRememberTitleColor);
  rememberBtn_->semanticContentAttribute = SemanticContentAttribute::ForceRightToLeft;
  rememberBtn_->setTitle(
      rememberTitle(optionType_, showString, rememberButtonTitle(rememberOptions()[2])),
      ControlState::Normal);
  // One line, drawn smaller where it is too wide: on two lines a serial
  // number breaks at its hyphen on the small phone.
  rememberBtn_->titleLabel()->setNumberOfLines(1);
  rememberBtn_->titleLabel()->adjustsFontSizeToFitWidth = true;
  rememberBtn_->titleLabel()->minimumScaleFactor = kSmallestTextScale;
  rememberBtn_->titleLabel()->textAlignment = TextAlignment::Center;
  rememberBtn_->setTranslatesAutoresizingMaskIntoConstraints(false);
  std::weak_ptr<ScanViewController> weak = self();
  rememberBtn_->addTarget(ControlEvent::TouchUpInside, [weak](Control&) {
    if (auto screen = weak.lock()) screen->selectRemember();
  });
  root.addSubview(rememberBtn_);
  activate(
      {rememberBtn_->bottomAnchor().constraintEqualTo(safe.bottomAnchor(), -kRememberBottomInset),
       rememberBtn_->heightAnchor().constraintEqualToConstant(kRememberHeight)});
  // Across: the texts centred in the safe area, the button its full width
  // (a turned phone's sensor housing covers 47 points a side); beside the
  // orbit: all in the safe area's leading half.
  for (View* text : {static_cast<View*>(headerLabel_.get()), static_cast<View*>(label2_.get()),
                     static_cast<View*>(label3_.get()), static_cast<View*>(rememberBtn_.get())}) {
    textsAcross_.push_back(text->centerXAnchor().constraintEqualTo(safe.centerXAnchor()));
    textsAcross_.push_back(
        text->widthAnchor().constraintEqualTo(safe.widthAnchor(), -2 * kTextSideMargin));
    textsBeside_.push_back(
        text->leadingAnchor().constraintEqualTo(safe.leadingAnchor(), kTextSideMargin));
    textsBeside_.push_back(text->widthAnchor().constraintEqualTo(
        safe.widthAnchor(), Multiplier{kTextColumnShare}, -2 * kTextSideMargin));
  }
  activate(textsAcross_);

  navigationItem().setHidesBackButton(true);
  navigationItem().setLeftBarButtonItem(
      std::make_shared<BarButtonItem>(loadImageNamed("ic_back"), [weak] {
        if (auto screen = weak.lock()) screen->timerFired();
      }));
  rightItem_ = std::make_shared<BarButtonItem>(Image::systemNamed("gearshape"), [weak] {
    auto screen = weak.lock();
    if (screen && screen->navigationController()) {
      screen->navigationController()->pushViewController(makeSettingsHub(), true);
    }
  });
  navigationItem().setRightBarButtonItem(rightItem_);
  applyVisibilitySettings();
}

std::string ScanViewController::rememberButtonTitle(const std::string& option) const {
  std::string suffix;
  if (!optionSN_.empty() && optionType_ == 2 && !isScanAllService && optionMode_ == "2") {
    suffix = ": " + optionSN_;
  }
  return option + "    " + suffix;
}

void ScanViewController::setupCenterImage() {
  View& root = view();
  backgroundCenterView_ = std::make_shared<View>();
  backgroundCenterView_->debugName = "centre";
  backgroundCenterView_->setBackgroundColor(kCenterImageColor);
  backgroundCenterView_->cornerRadius = kDiscSize / 2;
  backgroundCenterView_->clipsToBounds = true;
  root.addSubview(backgroundCenterView_);

  centerImageView_ = std::make_shared<ImageView>(
      loadImageNamed(isIpad_ ? "icon_tmix_z3_enabled" : "icon_t310_enabled"));
  centerImageView_->contentMode = ContentMode::AspectFit;
  centerImageView_->cornerRadius = kCenterImageCorner;
  centerImageView_->clipsToBounds = true;
  centerImageView_->borderWidth = 2;
  centerImageView_->borderColor = Color::clear();
  root.addSubview(centerImageView_);

  layoutCenterDisc(orbit());
}

void ScanViewController::createAdvancedRippleFromImage() {
  View& root = view();
  replicatorLayer_ = std::make_shared<ReplicatorLayer>();
  // The ripple layer covers the view; its circle sits on the orbit's centre.
  replicatorLayer_->bounds = Rect{Point{0, 0}, root.bounds().size};
  replicatorLayer_->position = root.bounds().mid();
  replicatorLayer_->instanceCount = kRippleInstances;
  replicatorLayer_->instanceDelay = kRippleInstanceDelay;

  auto circle = std::make_shared<ShapeLayer>();
  circle->bounds = Rect{0, 0, kRippleCircle, kRippleCircle};
  circle->position = orbitCenter();
  circle->path = ShapeLayer::Path::Oval;
  circle->pathRect = circle->bounds;
  circle->fillColor = kCenterImageColor;
  circle->strokeColor = kCenterImageColor.withAlpha(0.7);
  circle->lineWidth = 0;
  circle->opacity = 0;
  replicatorLayer_->addSublayer(circle);

  // The members take the group's duration: with their own 0.25 s default
  // the circle would grow and fade in a flash and stay invisible for the
  // rest of each cycle.
  auto grow = LayerAnimation::basic("transform.scale", 1.0, kRippleScale);
  auto fade = LayerAnimation::basic("opacity", 1.0, 0.0);
  grow.duration = kRippleDuration;
  fade.duration = kRippleDuration;
  auto group = LayerAnimation::group({grow, fade});
  group.duration = kRippleDuration;
  group.repeatCount = LayerAnimation::kRepeatForever;
  group.autoreverses = false;
  group.removedOnCompletion = false;
  group.fillMode = LayerAnimation::FillMode::Forwards;
  circle->addAnimation(group, "groupAnimation");
  root.insertSublayerBelow(replicatorLayer_, *centerImageView_);
}

// --- appearance ------------------------------------------------------------------

void ScanViewController::viewWillAppear(bool) {
  if (cleanedUp_) return;
  preferencesMode_ = services_.database.fetchSetting(kPreferencesMode);
  applyPresentation();
  startTimers();
  takeDiscovery(/*restart=*/false);
}

void ScanViewController::viewDidAppear(bool) {
  if (cleanedUp_) return;
  if (services_.discovery) services_.discovery->startScan();
  applyVisibilitySettings();
}

void ScanViewController::applyPresentation() {
  const bool orbit = isOrbit();
  if (collectionView_) collectionView_->setHidden(orbit);
  backgroundCenterView_->setHidden(!orbit);
  centerImageView_->setHidden(!orbit);
  if (replicatorLayer_) replicatorLayer_->hidden = !orbit;
  for (auto& bubble : std::vector(movingViews_)) {
    bubble->setHidden(!orbit);
    if (orbit) bubble->startAutoRotation();
  }
  const InstructionLines lines = instructionLines(orbit, isIpad_);
  label2_->setText(lines.first);
  label3_->setText(lines.second);
  // The texts may move beside the orbit or back.
  view().setNeedsLayout();
  if (!orbit) reloadList();
}

void ScanViewController::applyVisibilitySettings() {
  auto& db = services_.database;
  if (currentDevice().systemAtLeast(kShowSettingFromSystem)) {
    rightItem_->setHidden(db.fetchSetting(kShowSetting) == "0");
  }
  rememberBtn_->setHidden(db.fetchSetting(kShowRemember) == "0");
}

void ScanViewController::viewWillDisappear(bool) {
  if (isMovingFromParentViewController()) {
    cleanAllResources();
    reportNotFound();
    return;
  }
  // Covered by a screen pushed over it: everything shown stays, and the
  // time-out starts afresh on return.
  stopTimers();
  releaseDiscovery(/*destroying=*/false);
}

void ScanViewController::startTimers() {
  if (cleanedUp_) return;
  std::weak_ptr<ScanViewController> weak = self();
  if (!exitTimer_) {
    exitTimer_ = platform::RepeatingTimer::start(platform::mainLoop(),
                                                 platform::seconds(kExitSeconds), [weak] {
                                                   if (auto s = weak.lock()) s->timerFired();
                                                 });
  }
  if (!scanTimer_) {
    scanTimer_ = platform::RepeatingTimer::start(platform::mainLoop(),
                                                 platform::seconds(kScanSeconds), [weak] {
                                                   if (auto s = weak.lock()) s->timerScanService();
                                                 });
  }
}

void ScanViewController::stopTimers() {
  if (exitTimer_) exitTimer_->invalidate();
  exitTimer_.reset();
  if (scanTimer_) scanTimer_->invalidate();
  scanTimer_.reset();
}

namespace {

// The delegate discovery had before the first of the scan screens open on
// it took it over, and how many of them are open. Screens stack (a second
// request's screen over the first's) and may leave together (the host pops
// to its root, and the ones in between leave without a callback): what one
// screen replaced may be another screen that is gone by then, so every
// screen hands discovery back to that first delegate.
struct DiscoveryHandover {
  std::weak_ptr<registry::DiscoverManagerDelegate> before;
  int screens = 0;
};

// Main loop only.
std::map<const registry::DiscoveryControl*, DiscoveryHandover>& handovers() {
  static auto& map = *new std::map<const registry::DiscoveryControl*, DiscoveryHandover>;
  return map;
}

}  // namespace

void ScanViewController::takeDiscovery(bool restart) {
  auto* discovery = services_.discovery;
  if (!discovery || cleanedUp_) return;
  auto me = std::static_pointer_cast<registry::DiscoverManagerDelegate>(self());
  auto current = discovery->delegate();
  if (!joinedHandover_) {
    DiscoveryHandover& handover = handovers()[discovery];
    if (handover.screens++ == 0) handover.before = current;
    joinedHandover_ = true;
  }
  if (current != me) discovery->setDelegate(me);
  ownsDiscovery_ = true;
  if (restart) discovery->stopScan();
  discovery->startScan();
}

void ScanViewController::releaseDiscovery(bool destroying) {
  auto* discovery = services_.discovery;
  if (!discovery || !ownsDiscovery_) return;
  ownsDiscovery_ = false;
  auto current = discovery->delegate();
  // A newer screen that took discovery keeps it. While this screen is being
  // destroyed its own weak entry reads as none.
  const bool mine = destroying ? current == nullptr : current.get() == this;
  if (!mine) return;
  discovery->stopScan();
  const auto it = handovers().find(discovery);
  discovery->setDelegate(it != handovers().end()
                             ? it->second.before
                             : std::weak_ptr<registry::DiscoverManagerDelegate>());
}

void ScanViewController::leaveHandover() {
  auto* discovery = services_.discovery;
  if (!discovery || !joinedHandover_) return;
  joinedHandover_ = false;
  auto it = handovers().find(discovery);
  if (it != handovers().end() && --it->second.screens <= 0) handovers().erase(it);
}

void ScanViewController::checkWhetherSacnAllTermnal(bool fromLoad) {
  if (optionSN_.empty() || optionType_ != 2) return;
  const registry::Row terminal = services_.database.fetchDiscoveredTerminal(optionSN_);
  const std::int64_t last =
      registry::leadingInteger(registry::rowText(terminal, "lastDiscoverTime").value_or("0"));
  if (platform::nowMillis() - last > kStaleAfterMillis) isScanAllService = true;
  if (fromLoad && isOffline) {
    showString = showAllMessage(serviceType, optionSN_);
    optionType_ = 3;
  }
}

// --- discovery reports -----------------------------------------------------------

void ScanViewController::onScanTerminal(const registry::ServiceInfo& info) {
  if (cleanedUp_) return;
  FilterState state{serviceType, sn,          serviceId,   snList,
                    optionSN_,   optionMode_, optionType_, isScanAllService};
  const FilterOutcome outcome =
      filterService(state, info.serviceSn.value_or(""), info.serviceType.value_or(""),
                    info.serviceId.value_or(""), activedIps_);
  if (outcome.narrowToRemembered) removeServiceByRememberSN();
  isScanAllService = outcome.isScanAllService;
  if (outcome.narrowToSn) {
    narrowTo([this](const ServiceInfoDict& d) { return d.sn == sn; });
  }
  if (outcome.narrowToServiceId) {
    narrowTo([this](const ServiceInfoDict& d) { return d.serviceId == serviceId; });
  }
  if (outcome.verdict != FilterOutcome::Verdict::Accept) return;

  ServiceInfoDict d;
  if (!makeServiceInfoDict(info, platform::nowMillis(), &d)) return;
  activedIps_.push_back(d);
  addMovingViews(&d);
  addTerminalItem(
      TerminalItem::itemWithName(d.model, d.sn, iconNames(d.model, libraryImageExists).enabled, d));
}

void ScanViewController::onError(std::int32_t, const std::string& message) {
  if (isViewLoaded()) showToastInView(view(), message, kToastSeconds);
}

// --- orbit -------------------------------------------------------------------------

Orbit ScanViewController::orbit() const {
  const double largest = isIpad_ ? kOrbitRadiusPad : kOrbitRadiusPhone;
  // The controller's view exists once loaded; before that the screen's
  // bounds stand in.
  if (!isViewLoaded()) return {mainScreen().bounds.mid(), largest};
  View& root = const_cast<ScanViewController*>(this)->view();
  const Rect remember = rememberBtn_ ? rememberBtn_->frame() : Rect{};
  if (remember.size.height <= 0) return {root.bounds().mid(), largest};
  // Bubbles keep out of the unsafe edges (a turned phone's sensor housing)
  // and of the navigation bar.
  const Insets safe = root.safeAreaInsets();
  const Rect bounds = root.bounds();
  Rect room;
  if (textsBesideOrbit_) {
    const double safeWidth = bounds.size.width - safe.left - safe.right;
    const double left = safe.left + safeWidth * kTextColumnShare;
    room = Rect{left, safe.top + kOrbitMargin, safeWidth * (1 - kTextColumnShare) - kOrbitMargin,
                bounds.size.height - safe.top - safe.bottom - 2 * kOrbitMargin};
  } else {
    const Label* lastLine = lastInstructionLine();
    const double top = lastLine ? lastLine->frame().maxY() : safe.top;
    room = Rect{safe.left + kOrbitMargin, top,
                bounds.size.width - safe.left - safe.right - 2 * kOrbitMargin,
                std::max(0.0, remember.origin.y - top)};
  }
  return fitOrbit(room, largest, std::max<std::size_t>(numberOfViews_, 1));
}

const Label* ScanViewController::lastInstructionLine() const {
  return label3_ && !label3_->text().empty() ? label3_.get() : label2_.get();
}

void ScanViewController::placeTexts() {
  if (!rememberBtn_ || !label2_) return;
  const Size size = view().bounds().size;
  const Label* lastLine = lastInstructionLine();
  const Rect remember = rememberBtn_->frame();
  if (remember.size.height <= 0) return;
  // Only the texts' horizontal places change, so the band reads the same
  // either way.
  const double band = remember.minY() - lastLine->frame().maxY();
  const bool beside = isOrbit() && size.width > size.height && band < kSmallestOrbitHeight;
  if (beside == textsBesideOrbit_) return;
  textsBesideOrbit_ = beside;
  deactivate(beside ? textsAcross_ : textsBeside_);
  activate(beside ? textsBeside_ : textsAcross_);
}

void ScanViewController::layoutCenterDisc(const Orbit& o) {
  if (!backgroundCenterView_ || !centerImageView_) return;
  // The disc and its image shrink with the orbit.
  const double scale = o.radius / (isIpad_ ? kOrbitRadiusPad : kOrbitRadiusPhone);
  const auto place = [&](View& v, double size) {
    v.setFrame(Rect{o.center.x - size / 2, o.center.y - size / 2, size, size});
  };
  place(*backgroundCenterView_, kDiscSize * scale);
  backgroundCenterView_->cornerRadius = kDiscSize * scale / 2;
  place(*centerImageView_, kCenterImageSize * scale);
  centerImageView_->cornerRadius = kCenterImageCorner * scale;
}

bool ScanViewController::isHaveMore() const {
  return std::any_of(movingViews_.begin(), movingViews_.end(),
                     [](const auto& b) { return b->getServiceInfo().isMoreBubble(); });
}

void ScanViewController::addMovingViews(const ServiceInfoDict* info) {
  std::lock_guard lock(scanLock_);
  if (activedIps_.empty()) return;
  const Admission admission =
      admit(activedIps_.size(), movingViews_.size(), isHaveMore(), moreActivedIps_.size());
  numberOfViews_ = admission.numberOfViews;
  if (!info) {
    resetMoveingView();
    return;
  }
  if (admission.toOverflow) {
    moreActivedIps_.push_back(*info);
  } else {
    addCircularMovineVied(*info);
    resetMoveingView();
  }
  if (admission.addMore) {
    addCircularMovineVied(ServiceInfoDict::more());
    resetMoveingView();
  }
}

void ScanViewController::addCircularMovineVied(const ServiceInfoDict& info) {
  const Orbit o = orbit();
  auto bubble = CircularMovingView::create(kBubbleFrame, o.radius, o.center,
                                           slotAngle(viewIndex_, numberOfViews_), info);
  bubble->fitTo(o.bubbleScale, o.lineWidth);
  ++viewIndex_;
  bubble->delgate = std::static_pointer_cast<CircularMovingDelegate>(self());
  bubble->setHidden(!isOrbit());
  std::weak_ptr<ScanViewController> weak = self();
  bubble->tapHandler = [weak](CircularMovingView& b) {
    if (auto s = weak.lock()) s->handleTapOnView(b);
  };
  bubble->centerZoneHandler = [weak](CircularMovingView& b, bool inZone) {
    if (auto s = weak.lock()) s->handleCenterZoneEventForView(b, inZone);
  };
  view().addSubview(bubble);
  std::lock_guard lock(scanLock_);
  movingViews_.push_back(std::move(bubble));
}

void ScanViewController::resetMoveingView() {
  // The orbit follows the number of places.
  fitBubbles();
  const auto bubbles = movingViews_;
  for (std::size_t i = 0; i < bubbles.size(); ++i) {
    bubbles[i]->readjustToCircle(slotAngle(static_cast<std::int64_t>(i), numberOfViews_));
  }
}

void ScanViewController::removeBubble(const std::shared_ptr<CircularMovingView>& bubble) {
  {
    std::lock_guard lock(scanLock_);
    std::erase(movingViews_, bubble);
  }
  bubble->cleanAllResources();
  bubble->removeFromSuperview();
  viewIndex_ = std::max<std::int64_t>(viewIndex_ - 1, 0);
}

void ScanViewController::onReadjustView() { addMovingViews(nullptr); }

void ScanViewController::handleCenterZoneEventForView(CircularMovingView& bubble, bool inZone) {
  if (!inZone) return;
  const ServiceInfoDict info = bubble.getServiceInfo();
  if (info.isEnable != 1) {
    addMovingViews(nullptr);
    return;
  }
  saveToDatabase(info);
  setPaymentHostParamter(info);
}

void ScanViewController::handleTapOnView(CircularMovingView& bubble) {
  if (bubble.isMore()) {
    showGridPopup();
    return;
  }
  // A pulse: out to 1.3 times its present size and back.
  std::weak_ptr<View> weakBubble = bubble.shared_from_this();
  const Transform pulsed = bubble.transform().scaled(kPulseScale, kPulseScale);
  animate(
      kPulseSeconds,
      [weakBubble, pulsed] {
        if (auto b = weakBubble.lock()) b->setTransform(pulsed);
      },
      [weakBubble](bool) {
        animate(kPulseSeconds, [weakBubble] {
          if (auto b = weakBubble.lock()) b->setTransform(Transform::identity());
        });
      });
  openTerminalDetail(bubble.getServiceInfo());
}

void ScanViewController::openTerminalDetail(const ServiceInfoDict& service) {
  auto* nav = navigationController();
  if (!nav) return;
  nav->pushViewController(makeTerminalDetail(terminalDetailInput(service, services_.database)),
                          true);
}

// --- narrowing ----------------------------------------------------------------------

void ScanViewController::narrowTo(const std::function<bool(const ServiceInfoDict&)>& keep) {
  for (auto& bubble : std::vector(movingViews_)) {
    if (!keep(bubble->getServiceInfo())) removeBubble(bubble);
  }
  std::erase_if(terminalItems_, [&](const TerminalItem& item) { return !keep(item.info); });
  // The other terminals' entries go too, so neither the ageing nor the
  // overflow offers them again.
  std::erase_if(activedIps_, [&](const auto& d) { return !keep(d); });
  std::erase_if(moreActivedIps_, [&](const auto& d) { return !keep(d); });
  refillFromOverflow();
  if (!isOrbit()) reloadList();
}

void ScanViewController::removeTerminalByRemember() {
  if (std::any_of(activedIps_.begin(), activedIps_.end(),
                  [&](const auto& d) { return d.sn == optionSN_; })) {
    removeServiceByRememberSN();
  }
}

void ScanViewController::removeServiceByRememberSN() {
  if (optionMode_ != "2") return;
  isScanAllService = false;
  std::erase_if(activedIps_, [&](const auto& d) { return d.sn != optionSN_; });
  for (auto& bubble : std::vector(movingViews_)) removeBubble(bubble);
  moreActivedIps_.clear();
  for (const auto& entry : std::vector(activedIps_)) addMovingViews(&entry);
  std::erase_if(terminalItems_, [&](const TerminalItem& item) { return item.sn != optionSN_; });
  reloadList();
}

void ScanViewController::refillFromOverflow() {
  const auto terminals = [&] {
    return std::count_if(movingViews_.begin(), movingViews_.end(),
                         [](const auto& b) { return !b->getServiceInfo().isMoreBubble(); });
  };
  while (!moreActivedIps_.empty() && terminals() < static_cast<long>(kMaxBubbles) &&
         activedIps_.size() <= kMaxBubbles) {
    const ServiceInfoDict last = moreActivedIps_.back();
    moreActivedIps_.pop_back();
    addMovingViews(&last);
  }
  if (moreActivedIps_.empty()) {
    for (auto& bubble : std::vector(movingViews_)) {
      if (bubble->getServiceInfo().isMoreBubble()) removeBubble(bubble);
    }
  }
  addMovingViews(nullptr);
}

bool ScanViewController::removeEntriesEverywhere(const std::vector<ServiceInfoDict>& services) {
  if (services.empty()) return false;
  // One pass over each list, whatever their lengths.
  std::set<ServiceInfoDict::ServiceKey> keys;
  for (const ServiceInfoDict& d : services) keys.insert(d.serviceKey());
  const auto listed = [&](const ServiceInfoDict& d) { return keys.contains(d.serviceKey()); };
  std::erase_if(activedIps_, listed);
  std::erase_if(moreActivedIps_, listed);
  return std::erase_if(terminalItems_, [&](const auto& item) { return listed(item.info); }) > 0;
}

// --- list ---------------------------------------------------------------------------

void ScanViewController::addTerminalItem(TerminalItem item) {
  terminalItems_.push_back(std::move(item));
  if (!isOrbit()) reloadList();
}

void ScanViewController::reloadList() {
  if (collectionView_) collectionView_->reloadData();
}

std::vector<std::pair<std::size_t, TerminalCollectionViewCell*>> ScanViewController::visibleRows() {
  std::vector<std::pair<std::size_t, TerminalCollectionViewCell*>> rows;
  // The orbit hides the list: no row is shown.
  if (!collectionView_ || isOrbit() || collectionView_->isHidden()) return rows;
  for (auto& cell : collectionView_->visibleCells()) {
    auto* row = dynamic_cast<TerminalCollectionViewCell*>(cell.get());
    const auto path = collectionView_->indexPathForCell(*cell);
    if (!row || !path || path->item < 0 ||
        path->item >= static_cast<std::int64_t>(terminalItems_.size())) {
      continue;
    }
    rows.emplace_back(static_cast<std::size_t>(path->item), row);
  }
  return rows;
}

std::int64_t ScanViewController::numberOfItems(CollectionView&, std::int64_t) {
  return static_cast<std::int64_t>(terminalItems_.size());
}

std::shared_ptr<CollectionViewCell> ScanViewController::cellForItem(CollectionView& view,
                                                                    IndexPath indexPath) {
  auto cell = view.dequeueReusableCell(kTerminalCell, indexPath);
  auto* row = dynamic_cast<TerminalCollectionViewCell*>(cell.get());
  if (!row || indexPath.item < 0 ||
      indexPath.item >= static_cast<std::int64_t>(terminalItems_.size())) {
    return cell;
  }
  row->configureWithItem(terminalItems_[static_cast<std::size_t>(indexPath.item)]);
  std::weak_ptr<ScanViewController> weak = self();
  row->moreButtonClickBlock = [weak](TerminalCollectionViewCell& tapped) {
    auto s = weak.lock();
    if (!s || !s->collectionView_) return;
    // The row the cell shows now, which may differ from the one it was
    // made for.
    const auto path = s->collectionView_->indexPathForCell(tapped);
    if (!path || path->item < 0 ||
        path->item >= static_cast<std::int64_t>(s->terminalItems_.size())) {
      return;
    }
    const ServiceInfoDict service = s->terminalItems_[static_cast<std::size_t>(path->item)].info;
    s->openTerminalDetail(service);
  };
  return cell;
}

std::optional<Size> ScanViewController::sizeForItem(CollectionView&, FlowLayout&, IndexPath) {
  // The list lies in the safe area: its cards are as wide as that allows.
  const Insets safe = view().safeAreaInsets();
  const double width = view().bounds().width() - safe.left - safe.right - kListMargins;
  return Size{std::max(0.0, isIpad_ ? width / 2 : width), TerminalCollectionViewCell::kHeight};
}

void ScanViewController::didSelectItem(CollectionView& view, IndexPath indexPath) {
  view.deselectItem(indexPath, true);
  if (indexPath.item < 0 || indexPath.item >= static_cast<std::int64_t>(terminalItems_.size())) {
    return;
  }
  // The choice ends the screen, which empties the items.
  const ServiceInfoDict service = terminalItems_[static_cast<std::size_t>(indexPath.item)].info;
  saveToDatabase(service);
  setPaymentHostParamter(service);
}

void ScanViewController::handleBlankAreaTap(Point location) {
  if (!isViewLoaded()) return;
  for (const auto& subview : view().subviews()) {
    if (subview->frame().contains(location)) return;
  }
  if (dialogs_) dialogs_->blankAreaTapped();
}

// --- remember choice ------------------------------------------------------------------

void ScanViewController::selectRemember() {
  std::weak_ptr<ScanViewController> weak = self();
  if (auto& make = screenMakers().rememberOptions) {
    present(make(rememberOptions(),
                 [weak](int option) {
                   if (auto s = weak.lock()) s->rememberOptionChosen(option);
                 }),
            true);
    return;
  }
  showRememberOptionView();
}

void ScanViewController::showRememberOptionView() {
  // Over the screen view's superview (the navigation controller's content),
  // like the pairing card, whose slot it shares.
  View& screenView = view();
  View& host = screenView.superview() ? *screenView.superview() : screenView;
  ScanDialogs& d = dialogs();
  std::shared_ptr<View> dimming = d.addDimmingView(host);
  d.setBackgroundView(dimming);

  auto sheet = std::make_shared<RememberOptionView>(rememberOptions());
  std::weak_ptr<ScanViewController> weak = self();
  sheet->setSelectionBlock([weak](std::int64_t index) {
    if (auto s = weak.lock()) s->rememberOptionChosen(index);
  });
  sheet->setTranslatesAutoresizingMaskIntoConstraints(false);
  dimming->addSubview(sheet);
  activate({sheet->centerXAnchor().constraintEqualTo(dimming->centerXAnchor()),
            sheet->centerYAnchor().constraintEqualTo(dimming->centerYAnchor()),
            sheet->widthAnchor().constraintEqualToConstant(RememberOptionView::kSize.width),
            sheet->heightAnchor().constraintEqualToConstant(RememberOptionView::kSize.height)});
}

void ScanViewController::rememberOptionChosen(std::int64_t index) {
  if (index < 0 || index > 2 || cleanedUp_) return;
  auto keep = self();
  if (index < 2) {
    isScanAllService = true;
    optionType_ = static_cast<int>(index);
  } else {
    removeTerminalByRemember();
    optionType_ = 2;
  }
  handleSelection(rememberOptions()[static_cast<std::size_t>(index)]);
}

void ScanViewController::handleSelection(const std::string& option) {
  if (View* dimming = backgroundView()) dimming->setHidden(true);
  if (rememberBtn_) rememberBtn_->setTitle(rememberButtonTitle(option), ControlState::Normal);
}

// --- ageing ---------------------------------------------------------------------------

std::int64_t ScanViewController::ageOf(const ServiceInfoDict& service) {
  const registry::Row row = services_.database.fetchTerminalServicesWithInfo(
      service.serviceType, service.sn, service.serviceId);
  return platform::nowMillis() -
         registry::leadingInteger(registry::rowText(row, "updateTime").value_or("0"));
}

void ScanViewController::timerScanService() {
  if (activedIps_.empty() || movingViews_.empty()) return;
  std::vector<std::shared_ptr<CircularMovingView>> drop;
  std::vector<ServiceInfoDict> gone;
  bool itemsLeft = false;
  {
    std::lock_guard lock(scanLock_);
    // One database read per bubble and per visible row: the pass costs the
    // same however many services were accepted.
    for (auto& bubble : std::vector(movingViews_)) {
      const ServiceInfoDict info = bubble->getServiceInfo();
      if (info.sn.empty()) continue;
      switch (ageBand(ageOf(info))) {
        case AgeBand::Fresh:
          if (!bubble->isEnable) {
            bubble->isEnable = true;
            if (bubble->imageView()) {
              bubble->imageView()->setImage(
                  loadImageNamed(iconNames(info.model, libraryImageExists).enabled));
            }
          }
          break;
        case AgeBand::Stale:
          bubble->isEnable = false;
          if (bubble->imageView()) {
            bubble->imageView()->setImage(
                loadImageNamed(iconNames(info.model, libraryImageExists).disabled));
          }
          break;
        case AgeBand::Gone:
          drop.push_back(bubble);
          gone.push_back(info);
          break;
        case AgeBand::None:
          break;
      }
    }
    // Rows out of view are aged once they are shown again.
    for (const auto& [index, cell] : visibleRows()) {
      TerminalItem& item = terminalItems_[index];
      if (item.info.sn.empty()) continue;
      const AgeBand band = ageBand(ageOf(item.info));
      if (band == AgeBand::Gone) {
        gone.push_back(item.info);
        continue;
      }
      if (band == AgeBand::None) continue;
      const IconNames icons = iconNames(item.info.model, libraryImageExists);
      item.iconName = band == AgeBand::Fresh ? icons.enabled : icons.disabled;
      cell->configureWithItem(item);
    }
    itemsLeft = removeEntriesEverywhere(gone);
    if (itemsLeft && !isOrbit()) reloadList();
  }
  for (auto& bubble : drop) {
    removeBubble(bubble);
    if (!moreActivedIps_.empty()) {
      // The latest overflowed service is promoted first.
      const ServiceInfoDict last = moreActivedIps_.back();
      moreActivedIps_.pop_back();
      addMovingViews(&last);
    } else {
      addMovingViews(nullptr);
    }
  }
  if ((!drop.empty() || itemsLeft) && moreActivedIps_.empty() && isHaveMore()) {
    for (auto& bubble : std::vector(movingViews_)) {
      if (bubble->getServiceInfo().isMoreBubble()) removeBubble(bubble);
    }
    addMovingViews(nullptr);
  }
  checkWhetherSacnAllTermnal(/*fromLoad=*/false);
}

// --- rotation ---------------------------------------------------------------------------

void ScanViewController::viewDidLayoutSubviews() {
  placeTexts();
  // The instruction's two lines read in one size: the second follows the
  // first where that one is drawn smaller to fit.
  if (label2_ && label3_) {
    const double size = std::min(kInstructionFontSize, label2_->displayFont().size);
    if (label3_->font().size != size) label3_->setFont(Font::bold(size));
  }
  // The view's size is only known once it is installed; bubbles made before
  // then move onto the real orbit, and the disc and ripple with them.
  const Orbit o = orbit();
  if (!movingViews_.empty() && (movingViews_.front()->circleCenter != o.center ||
                                movingViews_.front()->circleRadius != o.radius ||
                                movingViews_.front()->drawingScale() != o.bubbleScale)) {
    updateMovingViews();
  } else {
    updateReplicatorLayer(o.center);
    layoutCenterDisc(o);
  }
}

void ScanViewController::viewWillTransitionToSize(Size, TransitionCoordinator& coordinator) {
  std::weak_ptr<ScanViewController> weak = self();
  coordinator.animateAlongsideTransition(
      [weak](TransitionCoordinator&) {
        if (auto s = weak.lock()) s->handleOrientationChange();
      },
      [weak](TransitionCoordinator&) {
        if (auto s = weak.lock()) s->finalizeOrientationChange();
      });
}

void ScanViewController::handleOrientationChange() {
  // Fits the ripple and the disc too.
  updateMovingViews();
}

void ScanViewController::finalizeOrientationChange() {
  if (!isViewLoaded()) return;
  const TopOffsets offsets = topOffsets(view().bounds().size);
  if (headerLabelTopConstraint_) headerLabelTopConstraint_->setConstant(offsets.header);
  if (subHeaderLabelTopConstraint_) subHeaderLabelTopConstraint_->setConstant(offsets.subHeader);
  if (collectionViewTopConstraint_) collectionViewTopConstraint_->setConstant(offsets.collection);
  view().setNeedsLayout();
  view().layoutIfNeeded();
  reloadList();
}

void ScanViewController::updateReplicatorLayer(Point orbitCentre) {
  if (!replicatorLayer_ || !isViewLoaded()) return;
  replicatorLayer_->bounds = Rect{Point{0, 0}, view().bounds().size};
  replicatorLayer_->position = view().bounds().mid();
  for (auto& layer : replicatorLayer_->sublayers()) {
    if (dynamic_cast<ShapeLayer*>(layer.get())) layer->position = orbitCentre;
  }
}

void ScanViewController::updateMovingViews() {
  fitBubbles();
  addMovingViews(nullptr);
}

void ScanViewController::fitBubbles() {
  const Orbit o = orbit();
  for (auto& bubble : std::vector(movingViews_)) {
    bubble->circleCenter = o.center;
    bubble->circleRadius = o.radius;
    bubble->fitTo(o.bubbleScale, o.lineWidth);
  }
  layoutCenterDisc(o);
  updateReplicatorLayer(o.center);
}

// --- endings ------------------------------------------------------------------------------

void ScanViewController::saveToDatabase(const ServiceInfoDict& service) {
  platform::logf("saveToDatabase: {}", service.toDictionary());
  auto& db = services_.database;
  const std::string now = millisText(platform::nowMillis());
  switch (optionType_) {
    case 0:
      db.updateSetting(serviceType, "0");
      break;
    case 1:
      db.updateSetting(serviceType, "1");
      // The type's remembered row is replaced as a whole or not at all.
      db.replaceRememberServices(service.sn, service.serviceType, std::nullopt, service.serviceId,
                                 std::nullopt, now);
      break;
    case 2:
      db.updateSetting(serviceType, "2");
      db.replaceRememberServices(service.sn, kRememberAll, "", "", std::nullopt, now);
      break;
    default:
      // A message is shown: nothing is remembered.
      break;
  }
}

void ScanViewController::setPaymentHostParamter(const ServiceInfoDict& service) {
  if (outcomeReported_) return;
  outcomeReported_ = true;
  auto keep = self();
  if (delegate) delegate->onScanTerminalSucc(service.toDictionary());
  cleanAllResources();
  leave();
}

void ScanViewController::timerFired() {
  auto keep = self();
  cleanAllResources();
  reportNotFound();
  leave();
}

void ScanViewController::reportNotFound() {
  if (outcomeReported_) return;
  outcomeReported_ = true;
  if (delegate) delegate->onError(kErrorServiceNotFound, std::string(kMsgServiceNotFound));
}

void ScanViewController::leave() {
  if (auto* nav = navigationController()) {
    if (nav->topViewController() == this) nav->popViewController(true);
  } else if (presentingViewController()) {
    dismiss(true);
  }
}

void ScanViewController::cleanAllResources() {
  stopTimers();
  releaseDiscovery(/*destroying=*/false);
  leaveHandover();
  cleanedUp_ = true;
  for (auto& bubble : std::vector(movingViews_)) {
    bubble->cleanAllResources();
    bubble->removeFromSuperview();
  }
  movingViews_.clear();
  if (replicatorLayer_) {
    for (auto& layer : replicatorLayer_->sublayers()) layer->removeAllAnimations();
    replicatorLayer_->removeFromSuperlayer();
    replicatorLayer_.reset();
  }
  if (collectionView_) {
    collectionView_->setDataSource({});
    collectionView_->setDelegate({});
    // A row's choice ends the screen from inside the list's own call.
    keepAlive(collectionView_);
    collectionView_->removeFromSuperview();
    collectionView_.reset();
  }
  terminalItems_.clear();
  activedIps_.clear();
  moreActivedIps_.clear();
  if (isViewLoaded()) view().removeAllGestureRecognizers();
  blankTap_.reset();
  if (popupView_) popupView_->closePopup();
  if (dialogs_) dialogs_->cleanUp();
}

// --- overflow grid and dialogs ---------------------------------------------------

void ScanViewController::showGridPopup() {
  // One grid at a time; the one shown is the one the clean-up closes.
  if (popupView_ && popupView_->presentingViewController()) return;
  // The grid keeps its own copy: the ageing may promote entries meanwhile.
  popupView_ = std::make_shared<GridViewController>(moreActivedIps_);
  popupView_->setDelegate(std::weak_ptr<GridViewControllerDelegate>(self()));
  present(popupView_, true);
}

void ScanViewController::onScanMoreTerminalSucc(const ServiceInfoDict& service) {
  saveToDatabase(service);
  setPaymentHostParamter(service);
}

ScanDialogs& ScanViewController::dialogs() {
  if (!dialogs_) dialogs_ = ScanDialogs::create(*this, dialogServices);
  return *dialogs_;
}

void ScanViewController::plusQRCode() { dialogs().plusQRCode(); }

void ScanViewController::showQRCodeDialog() { dialogs().showQRCodeDialog(); }

void ScanViewController::showAuthRandomView(const platform::Json& terminal) {
  dialogs().showAuthRandomView(terminal);
}

void ScanViewController::onScanTerminal2(const platform::Notification& notification) {
  if (auto* info = static_cast<const registry::ServiceInfo*>(notification.object.get())) {
    onScanTerminal(*info);
  }
}

}  // namespace veltrix::ui::scan
