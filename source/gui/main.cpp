// korvel: the migration window.
//   korvel [--settings DIR] [--screenshot FILE] [--screenshot-run RUNFILE RUN.png SUMMARY.png
//          [--screenshot-inspection INSPECTION.png]] [NAME[=VALUE]...]
// --settings names the folder of Korvel.ini and Database.ini (default: the
// executable's); --screenshot saves an image of the window as it opens and exits;
// --screenshot-run sets the window as a run file says, presses "Transférer", saves an
// image while the visits are read and one of the summary at the end, and exits; with
// --screenshot-inspection it first presses "Inspecter" and saves an image of the
// inspection's report. Both write every message to the error output instead of a
// message box. The other
// arguments are the switches the program looks up (NEPASUTILISERPREFIXTS_...).
#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QTabWidget>
#include <QTimer>

#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "global/in_param_str.h"
#include "source/cli/run_file.h"
#include "source/gui/form_transfert_ff.h"
#include "source/gui/message_boxes.h"

namespace {

bool Save(QWidget& window, const std::string& file) {
  if (window.grab().save(QString::fromStdString(file))) return true;
  std::fprintf(stderr, "korvel: cannot write %s\n", file.c_str());
  return false;
}

// --screenshot-run: the window mid-run (the visits' bar past a third) and at the end.
int ScreenshotRun(korvel::TFormTransfertFF& window, const std::string& runFile, const std::string& runPng,
                  const std::string& summaryPng, const std::string& inspectionPng) {
  korvel::RunFile file;
  try {
    file = korvel::LoadRunFile(runFile);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "korvel: %s\n", e.what());
    return 2;
  }
  if (!file.options.aliasFile.empty()) window.Run().Context().ffSession.SetAliasFile(file.options.aliasFile);
  window.show();
  QApplication::processEvents();
  window.ApplyRunFile(file.options, file.checked);
  if (!inspectionPng.empty()) {
    // "Inspecter" first, as an operator would the week before; then back to the lists.
    window.btnInspecterClick();
    if (!Save(window, inspectionPng)) return 1;
    window.findChild<QTabWidget*>("pcTransfert")->setCurrentIndex(0);
  }
  bool grabbed = false;
  // The timer fires at the run's event-loop points (a few times a second).
  QTimer watch;
  watch.setInterval(100);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    const auto* bar = window.findChild<QProgressBar*>("pbTable");
    const auto* label = window.findChild<QLabel*>("lblOperations");
    if (grabbed || !label->text().startsWith("Table Visite") || bar->maximum() != 1000 || bar->value() < 300) return;
    grabbed = Save(window, runPng);
  });
  watch.start();
  window.btnTransfertClick();
  watch.stop();
  if (!grabbed)
    std::fprintf(stderr, "korvel: no picture of the visits being read (is \"Prescription (visite)\" ticked?)\n");
  return Save(window, summaryPng) && grabbed ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Korvel");
  // Qt takes the machine's locale; numbers turned into text must keep "." whatever the
  // regional settings say.
  std::setlocale(LC_NUMERIC, "C");
  std::setlocale(LC_TIME, "C");

  std::string settings, screenshot, run_file, run_png, summary_png, inspection_png;
  std::vector<std::string> switches;
  const QStringList args = QApplication::arguments();
  for (qsizetype i = 1; i < args.size(); ++i) {
    if (args[i] == "--settings" && i + 1 < args.size()) {
      settings = args[++i].toStdString() + "/";
    } else if (args[i] == "--screenshot" && i + 1 < args.size()) {
      screenshot = args[++i].toStdString();
    } else if (args[i] == "--screenshot-inspection" && i + 1 < args.size()) {
      inspection_png = args[++i].toStdString();
    } else if (args[i] == "--screenshot-run" && i + 3 < args.size()) {
      run_file = args[++i].toStdString();
      run_png = args[++i].toStdString();
      summary_png = args[++i].toStdString();
    } else {
      switches.push_back(args[i].toStdString());
    }
  }
  korvel::SetCommandLineArguments(switches);

  if (!screenshot.empty() || !run_file.empty()) {
    korvel::gui::SetMessageHandler([](korvel::gui::MessageKind, const std::string& text) {
      std::string line = text;
      for (char& c : line) c = c == '\r' ? '\n' : c;
      std::fprintf(stderr, "korvel: %s\n", line.c_str());
    });
  }
  korvel::TFormTransfertFF window(settings);
  if (!run_file.empty()) return ScreenshotRun(window, run_file, run_png, summary_png, inspection_png);
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
