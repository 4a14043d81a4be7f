#include "source/gui/open_path.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace korvel::gui {
namespace {

OpenHandler& Handler() {
  static OpenHandler handler;
  return handler;
}

}  // namespace

void SetOpenHandler(OpenHandler handler) { Handler() = std::move(handler); }

void OpenPath(const std::string& path) {
  if (Handler()) return Handler()(path);
  QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

}  // namespace korvel::gui
