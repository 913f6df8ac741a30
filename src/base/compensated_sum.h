// Neumaier's compensated addition of reals: a project total of a hundred
// thousand amounts in cents stays the exact decimal sum instead of gathering
// binary noise in the tenth decimal. The SQL sum() and the in-memory groupings
// add through this one class, so a total comes out the same bits either way.

#ifndef QUILLMERE_BASE_COMPENSATED_SUM_H_
#define QUILLMERE_BASE_COMPENSATED_SUM_H_

#include <cmath>

namespace quillmere {

class CompensatedSum {
 public:
  explicit CompensatedSum(double start = 0) : total_(start) {}

  void Add(double x) {
    const double t = total_ + x;
    if (std::fabs(total_) >= std::fabs(x)) {
      compensation_ += (total_ - t) + x;
    } else {
      compensation_ += (x - t) + total_;
    }
    total_ = t;
  }

  // A total that overflowed stays infinite, so it reads as an overflow; its
  // compensation, infinity less infinity, is no number at all.
  double Total() const { return std::isfinite(total_) ? total_ + compensation_ : total_; }

 private:
  double total_;
  double compensation_ = 0;
};

}  // namespace quillmere

#endif  // QUILLMERE_BASE_COMPENSATED_SUM_H_
