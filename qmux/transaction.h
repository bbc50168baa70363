// Transaction ids of one sender: they start at 1, skip 0 and wrap after the
// largest value of their width (0xFF for the control service, 0xFFFF else).
#pragma once

#include <cstdint>

namespace vant::qmux {

class TransactionCounter {
 public:
  explicit constexpr TransactionCounter(uint16_t max) : max_(max) {}

  constexpr uint16_t next() {
    last_ = last_ >= max_ ? 1 : static_cast<uint16_t>(last_ + 1);
    return last_;
  }

 private:
  uint16_t max_;
  uint16_t last_ = 0;
};

inline constexpr uint16_t kCtlTransactionMax = 0xFF;
inline constexpr uint16_t kServiceTransactionMax = 0xFFFF;

}  // namespace vant::qmux
