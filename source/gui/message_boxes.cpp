#include "source/gui/message_boxes.h"

#include <QApplication>
#include <QMessageBox>

namespace korvel::gui {
namespace {

TMessageHandler& Handler() {
  static TMessageHandler handler;
  return handler;
}

QString Text(const std::string& text) {
  // The core writes line breaks the Windows way.
  return QString::fromStdString(text).replace("\r\n", "\n").replace('\r', '\n');
}

}  // namespace

void SetMessageHandler(TMessageHandler handler) { Handler() = std::move(handler); }

void ShowMessageBox(const std::string& text) {
  if (Handler()) return Handler()(TMessageKind::Information, text);
  QMessageBox::information(QApplication::activeWindow(), QApplication::applicationName(), Text(text));
}

void ReportApplicationError(const std::string& text) {
  if (Handler()) return Handler()(TMessageKind::ApplicationError, text);
  QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(), Text(text));
}

}  // namespace korvel::gui
