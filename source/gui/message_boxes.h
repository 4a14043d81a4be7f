// Every message box of the window passes here: the operator's messages (ShowMessage)
// and the application's error report, which catches what escapes a click handler.
// A handler installed by a test or by the screenshot command answers them instead.
#pragma once

#include <functional>
#include <string>

namespace korvel::gui {

enum class MessageKind { Information, ApplicationError };

using MessageHandler = std::function<void(MessageKind, const std::string& text)>;

// An empty handler brings back the real, modal message boxes.
void SetMessageHandler(MessageHandler handler);

// A modal box with one OK button (ShowMessage).
void ShowMessageBox(const std::string& text);
// The application's global error report: the error's message in an error box.
void ReportApplicationError(const std::string& text);

}  // namespace korvel::gui
