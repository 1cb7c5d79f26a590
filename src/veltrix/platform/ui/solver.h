// A small Cassowary-style linear constraint solver (after the algorithm of
// Badros, Borning and Stuckey, in the incremental-simplex form of Kiwi), used
// by the layout pass. Not incremental here: the layout pass builds a new
// solver for each connected group of variables whose input changed since
// its last pass, and keeps the answers of the others.
//
// Required constraints hold exactly or are refused (add() returns false);
// non-required ones are kept with error terms weighted by their strength, so
// the weakest give way first.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace veltrix::ui::detail {

class Solver {
 public:
  enum class Op { Equal, LessOrEqual, GreaterOrEqual };
  struct Term {
    int var;
    double coefficient;
  };

  Solver();
  ~Solver();
  Solver(const Solver&) = delete;
  Solver& operator=(const Solver&) = delete;

  int newVariable();
  // Adds  sum(terms) + constant  (op)  0. `strength` weighs a non-required
  // constraint. Returns false (and changes nothing) when a required
  // constraint cannot hold together with the required ones added before.
  bool add(const std::vector<Term>& terms, double constant, Op op, bool required, double strength);
  double value(int var) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Weight of a non-required priority (1..999): each 100 steps of priority
// weigh ten times more.
double strengthOfPriority(double priority);

}  // namespace veltrix::ui::detail
