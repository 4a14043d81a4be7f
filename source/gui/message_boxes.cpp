#include "source/gui/message_boxes.h"

#include <QApplication>
#include <QMessageBox>

namespace korvel::gui {
namespace {

MessageHandler& Handler() {
  static MessageHandler handler;
  return handler;
}

QString Text(const std::string& text) {
  // The core writes line breaks the Windows way.
  return QString::fromStdString(text).replace("\r\n", "\n").replace('\r', '\n');
}

}  // namespace

void SetMessageHandler(MessageHandler handler) { Handler() = std::move(handler); }

void ShowMessageBox(const std::string& text) {
  if (Handler()) return Handler()(MessageKind::Information, text);
  QMessageBox::information(QApplication::activeWindow(), QApplication::applicationName(), Text(text));
}

void ReportApplicationError(const std::string& text) {
  if (Handler()) return Handler()(MessageKind::ApplicationError, text);
  QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(), Text(text));
}

}  // namespace korvel::gui
