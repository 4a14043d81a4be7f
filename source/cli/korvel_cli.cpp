// korvel-cli: runs one migration from a run file, without a display. The operation
// label and the counter show as a live progress line (records read of the table's,
// rate, time left); Ctrl-C acts as "Stop". After the final report it prints the run's
// summary (also in LogErreur/<day>/RESUME.txt and RESUME.csv).
//   korvel-cli RUNFILE [--settings DIR]
//   korvel-cli --verifier RUNFILE: after the run, checks that every legacy record of
//   its range is in the target, named in a log, or left out by a routine's rule
//   (LogErreur/<day>/VERIFICATION.txt); exit 0 when none is missing, 4 otherwise.
//   korvel-cli --inspecter RUNFILE: before the run, reads the ticked legacy tables over
//   its range and reports what the migration would refuse or pass over, writing
//   nothing to the target (LogErreur/<day>/INSPECTION.txt and .csv, the table logs a
//   migration would write under Inspection/); exit 0 when nothing is found, 4 when
//   something is, 1 when the inspection could not start, 3 when an error ended it early.
// Exit status: 0 the run completed and every table's counts reconcile; 1 the run
// could not start (target or legacy tables unreachable, options refused); 2 the run
// file or the command line is invalid; 3 the run went through its finishing steps but
// an error ended the table phase early (see "Log Generique"); 4 the run completed but
// a table's counts do not reconcile (see the summary).
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "global/in_param_str.h"
#include "global/ini_file.h"
#include "global/string_utils.h"
#include "global/text_encoding.h"
#include "source/cli/run_file.h"
#include "source/driver/run_driver.h"
#include "source/run/progress_line.h"
#include "source/verify/verifier.h"

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) { g_interrupted = 1; }

class TerminalUI : public korvel::OperatorPort {
 public:
  explicit TerminalUI(korvel::RunFile file) : file_(std::move(file)), tty_(isatty(STDERR_FILENO)) {}

  korvel::RunDriver* run = nullptr;

  korvel::RunOptions Options() override { return file_.options; }
  bool IsChecked(int list, int index) override { return file_.checked.count({list, index}) > 0; }
  // --etapes FILE: each operation's seconds, so that a bench can say where a run's time goes.
  void TimeSteps(const std::string& path) { steps_.open(path, std::ios::binary | std::ios::trunc); }

  void SetOperation(const std::string& text) override {
    TimeStep(text);
    progress_.Start(text, korvel::ProgressLine::Clock::now());
    if (progress_.Operation().empty()) return;
    Show(progress_.Operation(), !tty_);
  }
  void SetRunPosition(int item, int items) override {
    position_ = "[" + std::to_string(item) + "/" + std::to_string(items) + "] ";
  }
  void SetProgress(int64_t read, int64_t total) override {
    if (!tty_) return;
    const std::string line = progress_.Update(read, total, korvel::ProgressLine::Clock::now());
    if (!line.empty()) Show(position_ + line, false);
  }
  void ProcessEvents() override {
    if (g_interrupted && run && !run->StopRequested()) {
      EndLine();
      std::cerr << "korvel-cli: stop requested; the current table ends after this record\n";
      run->btnStopClick();
    }
  }
  void ShowMessage(const std::string& text) override {
    EndLine();
    std::string shown = text;
    for (auto& c : shown) {
      if (c == '\r') c = '\n';
    }
    std::cerr << "korvel-cli: " << shown << "\n";
  }
  void SetOptionsEnabled(bool) override {}
  void SetBusy(bool) override {}
  void MarkRunFinished() override {
    TimeStep("");
    EndLine();
  }
  void RequestTerminate() override { std::cerr << "korvel-cli: the program will end after this run\n"; }

 private:
  // On a terminal the line is rewritten in place; elsewhere each operation is a line.
  void Show(const std::string& line, bool ownLine) {
    if (ownLine) {
      std::cerr << line << "\n";
      return;
    }
    std::cerr << "\r\033[K" << line << std::flush;
    shown_ = true;
  }
  // Writes "seconds<TAB>operation" for the operation that `next` ends.
  void TimeStep(const std::string& next) {
    if (!steps_.is_open()) return;
    const auto now = std::chrono::steady_clock::now();
    if (!step_.empty()) {
      steps_ << std::fixed << std::setprecision(3) << std::chrono::duration<double>(now - step_start_).count() << '\t'
             << step_ << '\n';
    }
    step_ = next;
    for (auto& c : step_) {
      if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    }
    step_start_ = now;
  }
  void EndLine() {
    if (shown_) std::cerr << "\n";
    shown_ = false;
  }

  korvel::RunFile file_;
  bool tty_;
  bool shown_ = false;
  korvel::ProgressLine progress_;
  std::string position_;  // "[k/n] ": the ticked item the run is at, on the live line
  std::ofstream steps_;
  std::string step_;
  std::chrono::steady_clock::time_point step_start_;
};

// The final report of the run's log folder, as UTF-8.
void PrintFinalReport(const std::string& folder) {
  std::ifstream in(folder + "RAPPORT FINAL.txt", std::ios::binary);
  if (!in) return;
  std::stringstream text;
  text << in.rdbuf();
  std::string report = korvel::Cp1252ToUtf8(text.str());
  std::erase(report, '\r');
  std::cout << "RAPPORT FINAL\n" << report << "\nLogs: " << folder << "\n";
}

// --verifier: reads the legacy files, the target and the logs of the run file's run.
int Verify(const korvel::RunFile& file, const std::string& settingsFolder) {
  const std::set<std::string> ticked = korvel::TickedItemTexts([&](int list, int index) {
    return file.checked.count({list, index}) > 0;
  });
  std::error_code ec;
  const std::string log_root = std::filesystem::current_path(ec).string() + "/LogErreur";
  korvel::Verification verification;
  try {
    verification = korvel::VerifyMigration(korvel::TargetDatabaseName(file.options, settingsFolder),
                                           korvel::LegacyFolder(file.options), file.options, ticked, log_root);
  } catch (const std::exception& e) {
    std::cerr << "korvel-cli: the verification cannot read its databases: " << e.what() << "\n";
    return 1;
  }
  std::cout << "VERIFICATION\n" << verification.Text();
  if (verification.Save(log_root).empty()) std::cerr << "korvel-cli: VERIFICATION.txt cannot be written\n";
  if (!verification.Complete()) {
    std::cerr << "korvel-cli: legacy records are missing from the target (see Manquants)\n";
    return 4;
  }
  return 0;
}

// --inspecter: the run file's tables read and checked, nothing written to the target.
int Inspect(korvel::RunDriver& run) {
  try {
    run.btnInspecterClick();
  } catch (const std::exception& e) {
    std::cerr << "korvel-cli: " << e.what() << "\n";
  }
  const bool started = run.LastRunCompleted;
  try {
    run.FormClose();
  } catch (const std::exception& e) {
    std::cerr << "korvel-cli: " << e.what() << "\n";
  }
  if (!started) {
    std::cerr << "korvel-cli: the inspection did not start\n";
    return 1;
  }
  std::cout << "\nINSPECTION\n" << run.LastInspection.Text(run.Summary());
  if (run.InspectionFile.empty()) std::cerr << "korvel-cli: INSPECTION.txt cannot be written\n";
  if (run.TablePhaseFailed) {
    std::cerr << "korvel-cli: an error ended the inspection early; the later tables were not read (see Log "
                 "Generique)\n";
    return 3;
  }
  if (!run.LastInspection.Clean()) {
    std::cerr << "korvel-cli: the migration would refuse or pass over records (see " << run.InspectionFile << ")\n";
    return 4;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Runs one Korvel migration from a run file, without a display."};
  std::string run_path;
  std::string settings;
  app.add_option("runfile", run_path, "Run file (see the README)")->required();
  app.add_option("--settings", settings, "Folder holding Database.ini and Korvel.ini (default: the executable's)");
  bool verify = false;
  app.add_flag("--verifier", verify, "Check a finished run instead of running it: every legacy record accounted for");
  bool inspect = false;
  app.add_flag("--inspecter", inspect,
               "Before the run: report what it would refuse or pass over, writing nothing to the target");
  std::string steps_path;
  app.add_option("--etapes", steps_path, "Write each operation's seconds to this file (benchmarks)");
  app.allow_extras();  // switches such as NEPASUTILISERPREFIXTS_ pass through
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }
  korvel::SetCommandLineArguments(app.remaining());

  korvel::RunFile file;
  try {
    file = korvel::LoadRunFile(run_path);
  } catch (const std::exception& e) {
    std::cerr << "korvel-cli: " << e.what() << "\n";
    return 2;
  }
  const std::string settings_folder = settings.empty() ? korvel::ExecutableFolder() : settings + "/";
  if (verify) return Verify(file, settings_folder);
  if (file.options.smtpServer.empty() && file.options.smtpPort.empty() && file.options.recipient.empty()) {
    try {
      const korvel::KorvelIni ini = korvel::LoadINI(settings_folder + "Korvel.ini");
      file.options.smtpServer = ini.smtp;
      file.options.smtpPort = ini.port;
      file.options.recipient = ini.destinataire;
    } catch (const std::exception&) {
      // No Korvel.ini: the e-mail settings stay empty.
    }
  }

  TerminalUI ui(file);
  if (!steps_path.empty()) ui.TimeSteps(steps_path);
  korvel::RunDriver run(ui, settings_folder);
  ui.run = &run;
  std::signal(SIGINT, OnInterrupt);
  run.PrepareTransfert();
  if (inspect) return Inspect(run);
  try {
    run.btnTransfertClick();
  } catch (const std::exception& e) {
    if (!run.LastRunCompleted) {
      std::cerr << "korvel-cli: " << e.what() << "\n";
      return 1;
    }
    std::cerr << "korvel-cli: the run is complete but the e-mail was not sent: " << e.what() << "\n";
  }
  try {
    run.FormClose();
  } catch (const std::exception& e) {
    std::cerr << "korvel-cli: " << e.what() << "\n";
  }
  if (!run.LastRunCompleted) {
    std::cerr << "korvel-cli: the run did not start\n";
    return 1;
  }
  PrintFinalReport(run.LogFolder());
  std::cout << "\nRESUME\n" << run.Summary().Text();
  if (korvel::Trim(file.options.smtpServer).empty())
    std::cerr << "korvel-cli: no SMTP server configured: no e-mail sent\n";
  if (run.TablePhaseFailed) {
    std::cerr << "korvel-cli: an error ended the table phase early; the later tables were not run (see Log "
                 "Generique)\n";
    return 3;
  }
  if (!run.Summary().Reconciles()) {
    std::cerr << "korvel-cli: the counts of some tables do not reconcile (NON in the summary)\n";
    return 4;
  }
  return 0;
}
