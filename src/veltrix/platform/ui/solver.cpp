#include "veltrix/platform/ui/solver.h"

#include <cmath>
#include <limits>
#include <utility>

namespace veltrix::ui::detail {
namespace {

constexpr double kEpsilon = 1.0e-8;
bool nearZero(double v) { return std::fabs(v) < kEpsilon; }

enum class SymType : std::uint8_t { Invalid, External, Slack, Error, Dummy };

struct Symbol {
  std::uint64_t id = 0;
  SymType type = SymType::Invalid;
  bool valid() const { return type != SymType::Invalid; }
  bool operator<(const Symbol& o) const { return id < o.id; }
  bool operator==(const Symbol& o) const { return id == o.id; }
};

// basic = constant + sum(coefficient x symbol); a row being built stands for
// constant + sum(...) = 0.
struct Row {
  double constant = 0;
  std::map<Symbol, double> cells;

  void insert(Symbol s, double c) {
    double& v = cells[s];
    v += c;
    if (nearZero(v)) cells.erase(s);
  }
  void insert(const Row& other, double c) {
    constant += other.constant * c;
    for (const auto& [s, v] : other.cells) insert(s, v * c);
  }
  void remove(Symbol s) { cells.erase(s); }
  void reverseSign() {
    constant = -constant;
    for (auto& cell : cells) cell.second = -cell.second;
  }
  void solveFor(Symbol s) {
    const double coeff = -1.0 / cells[s];
    cells.erase(s);
    constant *= coeff;
    for (auto& cell : cells) cell.second *= coeff;
  }
  void solveFor(Symbol lhs, Symbol rhs) {
    insert(lhs, -1.0);
    solveFor(rhs);
  }
  double coefficientFor(Symbol s) const {
    auto it = cells.find(s);
    return it == cells.end() ? 0.0 : it->second;
  }
  void substitute(Symbol s, const Row& row) {
    auto it = cells.find(s);
    if (it == cells.end()) return;
    const double c = it->second;
    cells.erase(it);
    insert(row, c);
  }
};

}  // namespace

struct Solver::Impl {
  std::uint64_t nextId = 1;
  std::map<Symbol, Row> rows;
  std::vector<Symbol> vars;
  Row objective;
  std::unique_ptr<Row> artificial;

  Symbol make(SymType t) { return {nextId++, t}; }

  static Symbol chooseSubject(const Row& row, Symbol marker, Symbol other) {
    for (const auto& [s, c] : row.cells) {
      if (s.type == SymType::External) return s;
    }
    if (marker.type == SymType::Slack || marker.type == SymType::Error) {
      if (row.coefficientFor(marker) < 0) return marker;
    }
    if (other.type == SymType::Slack || other.type == SymType::Error) {
      if (row.coefficientFor(other) < 0) return other;
    }
    return {};
  }

  static bool allDummies(const Row& row) {
    for (const auto& [s, c] : row.cells) {
      if (s.type != SymType::Dummy) return false;
    }
    return true;
  }

  static Symbol anyPivotable(const Row& row) {
    for (const auto& [s, c] : row.cells) {
      if (s.type == SymType::Slack || s.type == SymType::Error) return s;
    }
    return {};
  }

  void substitute(Symbol s, const Row& row) {
    for (auto& [basic, r] : rows) r.substitute(s, row);
    objective.substitute(s, row);
    if (artificial) artificial->substitute(s, row);
  }

  static Symbol entering(const Row& objective) {
    for (const auto& [s, c] : objective.cells) {
      if (s.type != SymType::Dummy && c < 0) return s;
    }
    return {};
  }

  std::map<Symbol, Row>::iterator leaving(Symbol entering) {
    double ratio = std::numeric_limits<double>::max();
    auto found = rows.end();
    for (auto it = rows.begin(); it != rows.end(); ++it) {
      if (it->first.type == SymType::External) continue;
      const double temp = it->second.coefficientFor(entering);
      if (temp < 0) {
        const double r = -it->second.constant / temp;
        if (r < ratio) {
          ratio = r;
          found = it;
        }
      }
    }
    return found;
  }

  void optimize(const Row& goal) {
    // Each pivot improves the objective; the bound only guards against a
    // cycle from rounding.
    for (int guard = 0; guard < 100000; ++guard) {
      const Symbol in = entering(goal);
      if (!in.valid()) return;
      auto it = leaving(in);
      if (it == rows.end()) return;  // unbounded: error terms make this unreachable
      const Symbol out = it->first;
      Row row = std::move(it->second);
      rows.erase(it);
      row.solveFor(out, in);
      substitute(in, row);
      rows[in] = std::move(row);
    }
  }

  bool addWithArtificialVariable(const Row& row) {
    const Symbol art = make(SymType::Slack);
    rows[art] = row;
    artificial = std::make_unique<Row>(row);
    optimize(*artificial);
    const bool success = nearZero(artificial->constant);
    artificial.reset();
    auto it = rows.find(art);
    if (it != rows.end()) {
      Row r = std::move(it->second);
      rows.erase(it);
      if (r.cells.empty()) return success;
      const Symbol in = anyPivotable(r);
      if (!in.valid()) return false;
      r.solveFor(art, in);
      substitute(in, r);
      rows[in] = std::move(r);
    }
    for (auto& [basic, r] : rows) r.remove(art);
    objective.remove(art);
    return success;
  }
};

Solver::Solver() : impl_(std::make_unique<Impl>()) {}
Solver::~Solver() = default;

int Solver::newVariable() {
  impl_->vars.push_back(impl_->make(SymType::External));
  return static_cast<int>(impl_->vars.size()) - 1;
}

bool Solver::add(const std::vector<Term>& terms, double constant, Op op, bool required,
                 double strength) {
  Impl& s = *impl_;
  Row row;
  row.constant = constant;
  for (const Term& t : terms) {
    if (nearZero(t.coefficient) || t.var < 0 || t.var >= static_cast<int>(s.vars.size())) {
      continue;
    }
    const Symbol sym = s.vars[t.var];
    auto it = s.rows.find(sym);
    if (it != s.rows.end()) {
      row.insert(it->second, t.coefficient);
    } else {
      row.insert(sym, t.coefficient);
    }
  }
  Symbol marker;
  Symbol other;
  // Objective terms are added only once the row is known to be accepted.
  std::vector<std::pair<Symbol, double>> objectiveTerms;
  if (op == Op::Equal) {
    if (required) {
      marker = s.make(SymType::Dummy);
      row.insert(marker, 1.0);
    } else {
      marker = s.make(SymType::Error);
      other = s.make(SymType::Error);
      row.insert(marker, -1.0);
      row.insert(other, 1.0);
      objectiveTerms = {{marker, strength}, {other, strength}};
    }
  } else {
    const double coeff = op == Op::LessOrEqual ? 1.0 : -1.0;
    marker = s.make(SymType::Slack);
    row.insert(marker, coeff);
    if (!required) {
      other = s.make(SymType::Error);
      row.insert(other, -coeff);
      objectiveTerms = {{other, strength}};
    }
  }
  if (row.constant < 0) row.reverseSign();

  Symbol subject = Impl::chooseSubject(row, marker, other);
  if (!subject.valid() && Impl::allDummies(row)) {
    if (!nearZero(row.constant)) return false;
    subject = marker;
  }
  for (const auto& [sym, w] : objectiveTerms) s.objective.insert(sym, w);
  if (!subject.valid()) {
    if (!s.addWithArtificialVariable(row)) return false;
  } else {
    row.solveFor(subject);
    s.substitute(subject, row);
    s.rows[subject] = std::move(row);
  }
  s.optimize(s.objective);
  return true;
}

double Solver::value(int var) const {
  if (var < 0 || var >= static_cast<int>(impl_->vars.size())) return 0;
  auto it = impl_->rows.find(impl_->vars[var]);
  return it == impl_->rows.end() ? 0.0 : it->second.constant;
}

double strengthOfPriority(double priority) { return std::pow(10.0, priority / 100.0); }

}  // namespace veltrix::ui::detail
