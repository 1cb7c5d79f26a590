#include "veltrix/platform/ui/layout.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <unordered_map>

#include "veltrix/platform/log.h"
#include "veltrix/platform/ui/runtime.h"
#include "veltrix/platform/ui/solver.h"
#include "veltrix/platform/ui/view.h"
#include "veltrix/platform/ui/view_controller.h"

namespace veltrix::ui {

namespace detail {
void setApplyingLayout(bool applying);
void layoutAllWindows();
}  // namespace detail

namespace {

std::uint64_t& generation() {
  static std::uint64_t g = 1;
  return g;
}

bool& passPosted() {
  static bool posted = false;
  return posted;
}

// Trees being laid out now: what changes during a pass is settled by the
// pass's own rounds, not by another pass.
std::vector<const View*>& treesInPass() {
  static auto& trees = *new std::vector<const View*>;
  return trees;
}

const char* attributeName(Attribute a) {
  switch (a) {
    case Attribute::Left:
      return "left";
    case Attribute::Right:
      return "right";
    case Attribute::Top:
      return "top";
    case Attribute::Bottom:
      return "bottom";
    case Attribute::Leading:
      return "leading";
    case Attribute::Trailing:
      return "trailing";
    case Attribute::Width:
      return "width";
    case Attribute::Height:
      return "height";
    case Attribute::CenterX:
      return "centerX";
    case Attribute::CenterY:
      return "centerY";
  }
  return "?";
}

std::string itemName(const LayoutItem& item) {
  auto v = item.view.lock();
  if (!v) return "(gone)";
  std::string name = v->typeName();
  if (!v->debugName.empty()) name += "'" + v->debugName + "'";
  if (item.safeArea) name += ".safeArea";
  return name;
}

View* commonAncestor(View* a, View* b) {
  if (!b) return a;
  for (View* v = a; v; v = v->superview()) {
    if (b->isDescendantOf(*v)) return v;
  }
  return nullptr;
}

}  // namespace

namespace detail {

void constraintsChanged() {
  ++generation();
  scheduleLayoutPass();
}

std::uint64_t layoutGeneration() { return generation(); }

void scheduleLayoutPass() {
  if (passPosted() || !treesInPass().empty()) return;
  passPosted() = true;
  platform::postToMain([] {
    passPosted() = false;
    layoutAllWindows();
  });
}

void resetLayoutForTesting() { passPosted() = false; }

}  // namespace detail

// --- Anchors and constraints -------------------------------------------------

ConstraintPtr AnchorBase::make(Relation relation, const AnchorBase* other, double multiplier,
                               double constant) const {
  std::optional<LayoutItem> second;
  Attribute secondAttr = attr_;
  if (other) {
    second = other->item_;
    secondAttr = other->attr_;
  }
  return std::make_shared<Constraint>(item_, attr_, relation, std::move(second), secondAttr,
                                      multiplier, constant);
}

Constraint::Constraint(LayoutItem first, Attribute firstAttr, Relation relation,
                       std::optional<LayoutItem> second, Attribute secondAttr, double multiplier,
                       double constant)
    : first_(std::move(first)),
      firstAttr_(firstAttr),
      relation_(relation),
      second_(std::move(second)),
      secondAttr_(secondAttr),
      multiplier_(multiplier),
      constant_(constant) {}

void Constraint::setConstant(double constant) {
  if (constant == constant_) return;
  constant_ = constant;
  if (active_) detail::constraintsChanged();
}

void Constraint::setPriority(double priority) {
  priority_ = std::clamp(priority, 1.0, priority::kRequired);
  if (active_) detail::constraintsChanged();
}

void Constraint::setActive(bool active) {
  VELTRIX_UI_CHECK_MAIN();
  if (active == active_) return;
  if (!active) {
    if (installedOn_) {
      std::erase_if(installedOn_->constraints_,
                    [this](const ConstraintPtr& c) { return c.get() == this; });
    }
    installedOn_ = nullptr;
    active_ = false;
    detail::constraintsChanged();
    return;
  }
  auto a = first_.view.lock();
  auto b = second_ ? second_->view.lock() : nullptr;
  View* host = a ? commonAncestor(a.get(), b.get()) : nullptr;
  if (!host || (second_ && !b)) {
    platform::logLine(fmt::format(
        "Unable to activate constraint with anchors {} and {} because they have no common "
        "ancestor.",
        itemName(first_), second_ ? itemName(*second_) : std::string("(constant)")));
    return;
  }
  auto self = weak_from_this().lock();
  if (!self) {
    platform::logLine("A constraint must be owned by a std::shared_ptr to be activated");
    return;
  }
  host->constraints_.push_back(std::move(self));
  installedOn_ = host;
  active_ = true;
  detail::constraintsChanged();
}

std::string Constraint::describe() const {
  static constexpr const char* kRel[] = {"==", "<=", ">="};
  std::string out = fmt::format("{}.{} {} ", itemName(first_), attributeName(firstAttr_),
                                kRel[static_cast<int>(relation_)]);
  if (second_) {
    out += fmt::format("{}.{}", itemName(*second_), attributeName(secondAttr_));
    if (multiplier_ != 1) out += fmt::format(" * {:g}", multiplier_);
    if (constant_ != 0)
      out += fmt::format(" {} {:g}", constant_ < 0 ? "-" : "+", std::fabs(constant_));
  } else {
    out += fmt::format("{:g}", constant_);
  }
  if (priority_ < priority::kRequired) out += fmt::format(" @{:g}", priority_);
  return out;
}

void activate(const std::vector<ConstraintPtr>& constraints) {
  for (const auto& c : constraints) {
    if (c) c->setActive(true);
  }
}

void deactivate(const std::vector<ConstraintPtr>& constraints) {
  for (const auto& c : constraints) {
    if (c) c->setActive(false);
  }
}

Rect LayoutGuide::layoutFrame() const { return owner_->bounds().inset(owner_->safeAreaInsets()); }

LayoutItem LayoutGuide::item() const { return {owner_->weak_from_this(), true}; }

// --- The layout pass ---------------------------------------------------------

namespace {

struct LinExpr {
  double constant = 0;
  std::vector<std::pair<int, double>> terms;

  void add(const LinExpr& o, double k = 1) {
    constant += o.constant * k;
    for (const auto& [v, c] : o.terms) terms.emplace_back(v, c * k);
  }
};

struct Rec {
  LinExpr expr;
  Relation relation = Relation::Equal;
  double priority = priority::kRequired;
  const Constraint* source = nullptr;
};

double round6(double v) { return std::round(v * 1e6) / 1e6; }

// A broken constraint is reported once, not at every layout pass.
bool firstReport(const Constraint* c) {
  static auto& reported = *new std::vector<std::weak_ptr<const Constraint>>;
  if (!c) return true;
  std::erase_if(reported, [](const auto& w) { return w.expired(); });
  for (const auto& w : reported) {
    if (w.lock().get() == c) return false;
  }
  reported.push_back(c->weak_from_this());
  return true;
}

}  // namespace

namespace detail {
// A pass re-solves every group of connected variables, though one moved view
// seldom touches more than its own group. Each group's solve is a function
// of its input alone (its constraints in order, its variables and the values
// they stay at), so a group given the same input as at the last pass takes
// that pass's answer instead of a new solver.
struct SolvedGroups {
  struct Group {
    std::vector<double> input;
    std::vector<double> values;
  };
  // By the group's first variable.
  std::unordered_map<int, Group> groups;
};
}  // namespace detail

class LayoutEngine {
 public:
  static void layoutTree(View& root);

 private:
  enum Axis { X = 0, Y = 1 };

  explicit LayoutEngine(View& root) : root_(root) {}
  void solve();
  static bool runLayoutSubviews(View& v);

  bool driven(const View* v) const { return base_.count(v) != 0; }

  LinExpr originBase(const View* p, Axis axis) const {
    if (!p) return {};
    LinExpr e = edge(p, axis);
    e.constant -= axis == X ? p->bounds_.origin.x : p->bounds_.origin.y;
    return e;
  }
  LinExpr edge(const View* v, Axis axis) const {
    if (auto it = base_.find(v); it != base_.end()) return {0, {{it->second + axis, 1}}};
    LinExpr e = originBase(v->superview_, axis);
    e.constant +=
        axis == X ? v->center_.x - v->bounds_.width() / 2 : v->center_.y - v->bounds_.height() / 2;
    return e;
  }
  LinExpr size(const View* v, Axis axis) const {
    if (auto it = base_.find(v); it != base_.end()) return {0, {{it->second + 2 + axis, 1}}};
    return {axis == X ? v->bounds_.width() : v->bounds_.height(), {}};
  }
  std::optional<LinExpr> attribute(const LayoutItem& item, Attribute attr);

  double currentValue(int var);
  double evaluate(const LinExpr& e, const std::vector<double>& values) const {
    double sum = e.constant;
    for (const auto& [v, c] : e.terms) sum += c * values[static_cast<std::size_t>(v)];
    return sum;
  }
  void solveWith(const std::vector<Size>& intrinsic, std::vector<double>& solution);
  int find(int v) {
    while (parent_[static_cast<std::size_t>(v)] != v) {
      parent_[static_cast<std::size_t>(v)] =
          parent_[static_cast<std::size_t>(parent_[static_cast<std::size_t>(v)])];
      v = parent_[static_cast<std::size_t>(v)];
    }
    return v;
  }
  void unite(int a, int b) { parent_[static_cast<std::size_t>(find(a))] = find(b); }

  View& root_;
  std::unordered_map<const View*, int> base_;
  std::vector<View*> driven_;
  std::vector<Rec> recs_;
  std::vector<double> current_;
  std::vector<bool> currentKnown_;
  std::vector<int> parent_;
  std::vector<std::pair<std::weak_ptr<View>, Insets>> guides_;
  bool logged_ = false;
};

std::optional<LinExpr> LayoutEngine::attribute(const LayoutItem& item, Attribute attr) {
  auto view = item.view.lock();
  if (!view || &view->root() != &root_) return std::nullopt;
  const View* v = view.get();
  Insets in;
  if (item.safeArea) {
    in = v->safeAreaInsets();
    guides_.emplace_back(view, in);
  }
  LinExpr e;
  switch (attr) {
    case Attribute::Left:
    case Attribute::Leading:
      e = edge(v, X);
      e.constant += in.left;
      break;
    case Attribute::Right:
    case Attribute::Trailing:
      e = edge(v, X);
      e.add(size(v, X));
      e.constant -= in.right;
      break;
    case Attribute::CenterX:
      e = edge(v, X);
      e.add(size(v, X), 0.5);
      e.constant += (in.left - in.right) / 2;
      break;
    case Attribute::Width:
      e = size(v, X);
      e.constant -= in.left + in.right;
      break;
    case Attribute::Top:
      e = edge(v, Y);
      e.constant += in.top;
      break;
    case Attribute::Bottom:
      e = edge(v, Y);
      e.add(size(v, Y));
      e.constant -= in.bottom;
      break;
    case Attribute::CenterY:
      e = edge(v, Y);
      e.add(size(v, Y), 0.5);
      e.constant += (in.top - in.bottom) / 2;
      break;
    case Attribute::Height:
      e = size(v, Y);
      e.constant -= in.top + in.bottom;
      break;
  }
  return e;
}

double LayoutEngine::currentValue(int var) {
  const auto i = static_cast<std::size_t>(var);
  if (currentKnown_[i]) return current_[i];
  const View* v = driven_[i / 4];
  const int k = var % 4;
  double value = 0;
  if (k >= 2) {
    value = k == 2 ? v->bounds_.width() : v->bounds_.height();
  } else {
    const LinExpr o = originBase(v->superview_, k == 0 ? X : Y);
    value = o.constant;
    for (const auto& [ov, c] : o.terms) value += c * currentValue(ov);
    value +=
        k == 0 ? v->center_.x - v->bounds_.width() / 2 : v->center_.y - v->bounds_.height() / 2;
  }
  current_[i] = value;
  currentKnown_[i] = true;
  return value;
}

void LayoutEngine::solveWith(const std::vector<Size>& intrinsic, std::vector<double>& solution) {
  const int nvars = static_cast<int>(driven_.size() * 4);
  // Group the records by the connected set of variables they touch.
  std::map<int, std::vector<const Rec*>> groups;
  std::vector<Rec> intrinsicRecs;
  for (std::size_t i = 0; i < driven_.size(); ++i) {
    const View* v = driven_[i];
    for (int axis = 0; axis < 2; ++axis) {
      const double s = axis == 0 ? intrinsic[i].width : intrinsic[i].height;
      if (s < 0) continue;
      const int var = static_cast<int>(i * 4) + 2 + axis;
      Rec hug{{-s, {{var, 1}}}, Relation::LessOrEqual, v->hugging_[axis], nullptr};
      Rec resist{{-s, {{var, 1}}}, Relation::GreaterOrEqual, v->compression_[axis], nullptr};
      intrinsicRecs.push_back(hug);
      intrinsicRecs.push_back(resist);
    }
  }
  for (const Rec& r : recs_) {
    if (!r.expr.terms.empty()) groups[find(r.expr.terms.front().first)].push_back(&r);
  }
  for (const Rec& r : intrinsicRecs) groups[find(r.expr.terms.front().first)].push_back(&r);
  std::map<int, std::vector<int>> members;
  for (int v = 0; v < nvars; ++v) members[find(v)].push_back(v);

  detail::SolvedGroups solved;
  // Replaced at the end of the pass: its answers move over, not copied.
  detail::SolvedGroups* last = root_.solvedGroups_.get();
  for (auto& [group, vars] : members) {
    auto& list = groups[group];
    std::vector<double> input;
    for (const Rec* r : list) {
      input.insert(input.end(), {static_cast<double>(r->relation), r->priority, r->expr.constant,
                                 static_cast<double>(r->expr.terms.size())});
      for (const auto& [v, c] : r->expr.terms)
        input.insert(input.end(), {static_cast<double>(v), c});
    }
    for (int v : vars) input.insert(input.end(), {static_cast<double>(v), currentValue(v)});
    if (last) {
      auto it = last->groups.find(vars.front());
      if (it != last->groups.end() && it->second.input == input) {
        for (std::size_t i = 0; i < vars.size(); ++i) {
          solution[static_cast<std::size_t>(vars[i])] = it->second.values[i];
        }
        solved.groups.insert(last->groups.extract(it));
        continue;
      }
    }
    bool broken = false;
    detail::Solver solver;
    std::unordered_map<int, int> local;
    for (int v : vars) local[v] = solver.newVariable();
    auto addRec = [&](const Rec& r, bool required) {
      std::vector<detail::Solver::Term> terms;
      for (const auto& [v, c] : r.expr.terms) terms.push_back({local[v], c});
      const auto op = r.relation == Relation::Equal         ? detail::Solver::Op::Equal
                      : r.relation == Relation::LessOrEqual ? detail::Solver::Op::LessOrEqual
                                                            : detail::Solver::Op::GreaterOrEqual;
      return solver.add(terms, r.expr.constant, op, required,
                        detail::strengthOfPriority(r.priority));
    };
    // Required constraints first, in the order they were found: the later of
    // two that contradict each other is the one broken.
    for (const Rec* r : list) {
      if (r->priority < priority::kRequired || addRec(*r, true)) continue;
      broken = true;
      if (!logged_ && firstReport(r->source)) {
        platform::logLine(
            "Unable to simultaneously satisfy constraints. Will attempt to recover by breaking "
            "constraint " +
            (r->source ? r->source->describe() : std::string("(intrinsic size)")));
      }
    }
    for (const Rec* r : list) {
      if (r->priority < priority::kRequired) addRec(*r, false);
    }
    // Weak stays keep what nothing decides where it was.
    for (int v : vars) {
      solver.add({{local[v], 1}}, -currentValue(v), detail::Solver::Op::Equal, false, 0.01);
    }
    std::vector<double> values;
    for (int v : vars) {
      values.push_back(round6(solver.value(local[v])));
      solution[static_cast<std::size_t>(v)] = values.back();
    }
    // A group with a broken constraint is solved anew at every pass, as
    // before, so nothing about its report changes.
    if (!broken) solved.groups[vars.front()] = {std::move(input), std::move(values)};
  }
  root_.solvedGroups_ = std::make_shared<detail::SolvedGroups>(std::move(solved));
  logged_ = true;
}

void LayoutEngine::solve() {
  // Views placed by constraints, and the constraints of the whole tree.
  std::vector<const Constraint*> constraints;
  root_.visit([&](View& v) {
    if (!v.translatesMask_) {
      base_[&v] = static_cast<int>(driven_.size() * 4);
      driven_.push_back(&v);
    }
    for (const auto& c : v.constraints_) constraints.push_back(c.get());
    return true;
  });
  const std::size_t nvars = driven_.size() * 4;
  current_.assign(nvars, 0);
  currentKnown_.assign(nvars, false);
  parent_.resize(nvars);
  std::iota(parent_.begin(), parent_.end(), 0);
  if (driven_.empty()) return;

  for (const Constraint* c : constraints) {
    auto first = attribute(c->first_, c->firstAttr_);
    if (!first) continue;
    Rec r;
    r.expr = *first;
    if (c->second_) {
      auto second = attribute(*c->second_, c->secondAttr_);
      if (!second) continue;
      r.expr.add(*second, -c->multiplier_);
    }
    r.expr.constant -= c->constant_;
    r.relation = c->relation_;
    r.priority = c->priority_;
    r.source = c;
    if (r.expr.terms.empty()) continue;  // between fixed frames: nothing to decide
    for (const auto& [v, coeff] : r.expr.terms) unite(r.expr.terms.front().first, v);
    recs_.push_back(std::move(r));
  }

  // First pass: wrapping labels measure at the width they have now.
  std::vector<Size> intrinsic(driven_.size());
  for (std::size_t i = 0; i < driven_.size(); ++i) {
    const View* v = driven_[i];
    intrinsic[i] = v->wrapsToWidth() ? v->intrinsicContentSizeForWidth(v->bounds_.width())
                                     : v->intrinsicContentSize();
  }
  std::vector<double> solution(nvars, 0);
  solveWith(intrinsic, solution);
  // Second pass: they measure again at the width the first pass gave them.
  bool again = false;
  for (std::size_t i = 0; i < driven_.size(); ++i) {
    const View* v = driven_[i];
    if (!v->wrapsToWidth()) continue;
    const Size s = v->intrinsicContentSizeForWidth(solution[i * 4 + 2]);
    if (!nearlyEqual(s.height, intrinsic[i].height)) {
      intrinsic[i].height = s.height;
      again = true;
    }
  }
  if (again) solveWith(intrinsic, solution);

  detail::setApplyingLayout(true);
  for (std::size_t i = 0; i < driven_.size(); ++i) {
    View* v = driven_[i];
    const double x = solution[i * 4];
    const double y = solution[i * 4 + 1];
    const double w = std::max(0.0, solution[i * 4 + 2]);
    const double h = std::max(0.0, solution[i * 4 + 3]);
    const double ox = evaluate(originBase(v->superview_, X), solution);
    const double oy = evaluate(originBase(v->superview_, Y), solution);
    v->setBounds(Rect{v->bounds_.origin, Size{w, h}});
    v->setCenter(Point{round6(x - ox + w / 2), round6(y - oy + h / 2)});
  }
  detail::setApplyingLayout(false);
  // Safe areas read during the solve depend on frames it may have moved.
  for (const auto& [view, insets] : guides_) {
    if (auto v = view.lock(); v && v->safeAreaInsets() != insets) {
      detail::constraintsChanged();
      break;
    }
  }
}

bool LayoutEngine::runLayoutSubviews(View& v) {
  bool ran = false;
  if (v.needsLayout_) {
    v.needsLayout_ = false;
    ran = true;
    ViewController* vc = v.controller_;
    if (vc) vc->viewWillLayoutSubviews();
    v.layoutSubviews();
    if (vc) vc->viewDidLayoutSubviews();
  }
  auto subviews = v.subviews_;
  for (auto& sub : subviews) {
    if (sub->superview_ == &v && runLayoutSubviews(*sub)) ran = true;
  }
  return ran;
}

void LayoutEngine::layoutTree(View& root) {
  auto& inPass = treesInPass();
  if (std::find(inPass.begin(), inPass.end(), &root) != inPass.end()) return;
  inPass.push_back(&root);
  std::shared_ptr<View> keep = root.weak_from_this().lock();
  // Each round either solves changed constraints or lays out views that ask
  // for it; a tree settles in two or three rounds.
  bool settled = false;
  for (int round = 0; round < 20 && !settled; ++round) {
    bool work = false;
    const std::uint64_t gen = detail::layoutGeneration();
    if (root.solvedGeneration_ != gen) {
      root.solvedGeneration_ = gen;
      LayoutEngine(root).solve();
      work = true;
    }
    if (runLayoutSubviews(root)) work = true;
    settled = !work;
  }
  inPass.pop_back();
  if (!settled) {
    // A layoutSubviews that keeps changing what it lays out; say so once.
    static bool reported = false;
    if (!reported) platform::logLine("layout: the view tree did not settle in 20 rounds");
    reported = true;
  }
}

void View::layoutIfNeeded() {
  VELTRIX_UI_CHECK_MAIN();
  LayoutEngine::layoutTree(root());
}

}  // namespace veltrix::ui
