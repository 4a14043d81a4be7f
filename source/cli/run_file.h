// The run file of the command-line front end: every option of the window, and the
// ticked items of the two lists by their item texts.
#pragma once

#include <set>
#include <string>
#include <utility>

#include "source/run/operator_port.h"

namespace korvel {

struct RunFile {
  RunOptions options;
  std::set<std::pair<int, int>> checked;  // (list 1 or 2, item index)
};

// Reads a run file; throws std::runtime_error naming the file, the line and the fault.
RunFile LoadRunFile(const std::string& path);

}  // namespace korvel
