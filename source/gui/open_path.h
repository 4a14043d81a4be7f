// Opening a log file or folder in the desktop's own application. A handler installed
// by a test answers instead.
#pragma once

#include <functional>
#include <string>

namespace korvel::gui {

using OpenHandler = std::function<void(const std::string& path)>;

// An empty handler brings back the desktop's opening.
void SetOpenHandler(OpenHandler handler);

void OpenPath(const std::string& path);

}  // namespace korvel::gui
