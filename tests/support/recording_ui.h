// An operator interface for tests: options set by the test, everything shown recorded.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "source/run/operator_port.h"

namespace korvel::testing {

class RecordingUI : public OperatorPort {
 public:
  RunOptions options;
  std::set<std::pair<int, int>> checked;  // (list, index)
  std::vector<std::string> operations, counters, messages;
  std::vector<std::pair<int, int>> positions;  // (item, items) as the run reached each
  std::vector<bool> enabled_changes;
  int events = 0;
  bool finished = false;
  bool terminate_requested = false;
  // Called at each event-loop point (a test may press "Stop" here).
  std::function<void()> on_events;

  RunOptions Options() override { return options; }
  bool IsChecked(int list, int index) override { return checked.count({list, index}) > 0; }
  void SetOperation(const std::string& text) override { operations.push_back(text); }
  void SetProgress(int64_t read, int64_t) override { counters.push_back(std::to_string(read)); }
  void SetRunPosition(int item, int items) override { positions.emplace_back(item, items); }
  void ProcessEvents() override {
    ++events;
    if (on_events) on_events();
  }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void SetOptionsEnabled(bool enabled) override { enabled_changes.push_back(enabled); }
  void SetBusy(bool) override {}
  void MarkRunFinished() override { finished = true; }
  void RequestTerminate() override { terminate_requested = true; }
};

}  // namespace korvel::testing
