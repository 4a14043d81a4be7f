// The live progress line of korvel-cli and of the window: the current operation, the
// records read of the table's records, the rate since the table started and the time
// left at that rate. Shown a few times a second at most, so it costs nothing a table
// would notice.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace korvel {

class ProgressLine {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kInterval{250};

  // A new operation (a table, a finishing step): the rate starts again, from the
  // records read so far when the same table goes on under a new label.
  void Start(const std::string& operation, Clock::time_point now);
  // `read` records of `total` (0 when unknown). The line to show, or "" when the last
  // one is less than kInterval old (the first count of an operation, and the one that
  // reaches the total, always show).
  std::string Update(int64_t read, int64_t total, Clock::time_point now);
  const std::string& Operation() const { return operation_; }

 private:
  std::string operation_;
  Clock::time_point started_{};
  Clock::time_point shown_{};
  bool any_shown_ = false;
  int64_t last_read_ = 0;  // the last count given
  int64_t base_read_ = 0;  // the count the rate starts from
};

}  // namespace korvel
