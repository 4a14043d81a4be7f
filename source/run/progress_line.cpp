#include "source/run/progress_line.h"

#include <fmt/format.h>

namespace korvel {

void ProgressLine::Start(const std::string& operation, Clock::time_point now) {
  operation_ = operation;
  for (auto& c : operation_) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  started_ = now;
  any_shown_ = false;
  base_read_ = last_read_;
}

std::string ProgressLine::Update(int64_t read, int64_t total, Clock::time_point now) {
  // A count below the last one: a new table, read from its start.
  if (read < base_read_) base_read_ = 0;
  last_read_ = read;
  // The count that reaches the total always shows: the bar ends full, however soon
  // after the last line the table ends.
  const bool last = total > 0 && read >= total;
  if (any_shown_ && now - shown_ < kInterval && !last) return {};
  shown_ = now;
  any_shown_ = true;
  const double seconds = std::chrono::duration<double>(now - started_).count();
  const double rate = seconds > 0 ? static_cast<double>(read - base_read_) / seconds : 0;
  std::string line = operation_ + "  " + std::to_string(read);
  if (total > 0) line += fmt::format("/{} ({:.0f}%)", total, 100.0 * static_cast<double>(read) / total);
  if (rate > 0) {
    line += fmt::format("  {:.0f} records/s", rate);
    if (total > read) {
      const auto left = static_cast<int64_t>((total - read) / rate + 0.5);
      line += fmt::format("  {}:{:02} left", left / 60, left % 60);
    }
  }
  return line;
}

}  // namespace korvel
