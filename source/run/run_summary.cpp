#include "source/run/run_summary.h"

#include <fmt/format.h>

#include <algorithm>

namespace korvel {

void RunSummary::Begin(const std::string& name) {
  tables_.push_back({});
  tables_.back().name = name;
  started_ = std::chrono::steady_clock::now();
  open_ = true;
}

void RunSummary::End() {
  if (!open_) return;
  tables_.back().seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  open_ = false;
}

TableSummary* RunSummary::Current() { return open_ ? &tables_.back() : nullptr; }

void RunSummary::AddLoop(bool opened, int64_t read, int64_t added, int64_t refused, int64_t passedOver) {
  TableSummary* t = Current();
  if (!t) return;
  if (!opened) ++t->loopsNotOpened;
  t->read += read;
  t->added += added;
  t->refused += refused;
  t->passedOver += passedOver;
}

void RunSummary::AddMove(bool ok, int64_t moved, int64_t refused, int64_t present, int64_t superseded) {
  TableSummary* t = Current();
  if (!t) return;
  if (!ok) ++t->movesFailed;
  t->moved += moved;
  t->moveRefused += refused;
  t->movePresent += present;
  t->moveSuperseded += superseded;
}

void RunSummary::AddLog(const std::string& name) {
  TableSummary* t = Current();
  if (t && std::find(t->logs.begin(), t->logs.end(), name) == t->logs.end()) t->logs.push_back(name);
}

void RunSummary::UnaccountedMove() {
  if (TableSummary* t = Current()) ++t->movesUnaccounted;
}

void RunSummary::MissingRequiredSource() {
  if (TableSummary* t = Current()) {
    ++t->loopsNotOpened;
    ++t->requiredMissing;
  }
}

void RunSummary::RefuseTable() {
  if (TableSummary* t = Current()) ++t->tablesRefused;
}

std::string TableSummary::Remark() const {
  std::string remark = Reconciles() ? "oui" : "NON";
  if (loopsNotOpened > 0) remark += " (source non ouverte)";
  if (movesFailed > 0) remark += " (deplacement incomplet)";
  if (tablesRefused > 0) remark += " (table refusee)";
  if (movesUnaccounted > 0) remark += " (lignes non comptees)";
  return remark;
}

bool RunSummary::Reconciles() const {
  for (const TableSummary& t : tables_) {
    if (!t.Reconciles()) return false;
  }
  return true;
}

std::string RunSummary::Text() const {
  std::string text = fmt::format("{:<24} {:>10} {:>10} {:>8} {:>8} {:>10} {:>8} {:>9} {:>11} {:>9} {:>10}  {}\n",
                                 "Table", "Lus", "Ajoutes", "Refuses", "Ignores", "Deplaces", "Refuses", "Presents",
                                 "Anterieures", "Secondes", "Lus/s", "Concorde");
  for (const TableSummary& t : tables_) {
    text += fmt::format("{:<24} {:>10} {:>10} {:>8} {:>8} {:>10} {:>8} {:>9} {:>11} {:>9.1f} {:>10.0f}  {}\n", t.name,
                        t.read, t.added, t.refused, t.passedOver, t.moved, t.moveRefused, t.movePresent,
                        t.moveSuperseded, t.seconds, t.RecordsPerSecond(), t.Remark());
  }
  return text;
}

std::string RunSummary::Csv() const {
  std::string csv =
      "Table;Lus;Ajoutes;Refuses;Ignores;Deplaces;Deplacements refuses;Deja presents;Copies anterieures;Secondes;"
      "Lus par seconde;Concorde\n";
  for (const TableSummary& t : tables_) {
    csv += fmt::format("{};{};{};{};{};{};{};{};{};{:.1f};{:.0f};{}\n", t.name, t.read, t.added, t.refused,
                       t.passedOver, t.moved, t.moveRefused, t.movePresent, t.moveSuperseded, t.seconds,
                       t.RecordsPerSecond(), t.Reconciles() ? "oui" : "NON");
  }
  return csv;
}

}  // namespace korvel
