// korvel: the migration window.
//   korvel [--settings DIR] [--screenshot FILE] [NAME[=VALUE]...]
// --settings names the folder of Korvel.ini and Database.ini (default: the
// executable's); --screenshot saves an image of the window as it opens and exits,
// with every message written to the error output instead of a message box. The other
// arguments are the switches the program looks up (NEPASUTILISERPREFIXTS_...).
#include <QApplication>
#include <QPixmap>

#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "global/in_param_str.h"
#include "source/gui/form_transfert_ff.h"
#include "source/gui/message_boxes.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Korvel");
  // Qt takes the machine's locale; numbers turned into text must keep "." whatever the
  // regional settings say.
  std::setlocale(LC_NUMERIC, "C");
  std::setlocale(LC_TIME, "C");

  std::string settings, screenshot;
  std::vector<std::string> switches;
  const QStringList args = QApplication::arguments();
  for (qsizetype i = 1; i < args.size(); ++i) {
    if (args[i] == "--settings" && i + 1 < args.size()) {
      settings = args[++i].toStdString() + "/";
    } else if (args[i] == "--screenshot" && i + 1 < args.size()) {
      screenshot = args[++i].toStdString();
    } else {
      switches.push_back(args[i].toStdString());
    }
  }
  korvel::SetCommandLineArguments(switches);

  if (!screenshot.empty()) {
    korvel::gui::SetMessageHandler([](korvel::gui::MessageKind, const std::string& text) {
      std::string line = text;
      for (char& c : line) c = c == '\r' ? '\n' : c;
      std::fprintf(stderr, "korvel: %s\n", line.c_str());
    });
  }
  korvel::TFormTransfertFF window(settings);
  window.show();
  if (!screenshot.empty()) {
    QApplication::processEvents();
    if (!window.grab().save(QString::fromStdString(screenshot))) {
      std::fprintf(stderr, "korvel: cannot write %s\n", screenshot.c_str());
      return 1;
    }
    return 0;
  }
  return QApplication::exec();
}
