#include "source/run/inspection.h"

#include <fmt/format.h>

#include <map>

#include "global/string_utils.h"

namespace korvel {
namespace {

// One line: the log's line breaks and its blank rule lines dropped.
std::string OneLine(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    std::string part;
    for (const char c : line) part += c == '\r' || c == '\n' ? ' ' : c;
    part = Trim(part);
    if (part.empty()) continue;
    if (!text.empty()) text += " / ";
    text += part;
  }
  return text;
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(";\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string ValuesOf(const LogRecordSource& record) {
  std::string values;
  for (int i = 0; i < record.FieldCount(); ++i) {
    if (record.IsBlobLike(i)) continue;
    if (!values.empty()) values += ' ';
    values += record.FieldName(i) + ": " + record.Text(i);
  }
  return values;
}

}  // namespace

const char* Inspection::KindText(InspectionFinding::Kind kind) {
  switch (kind) {
    case InspectionFinding::Kind::refused: return "Refuse";
    case InspectionFinding::Kind::passedOver: return "Ignore";
    case InspectionFinding::Kind::orphan: return "Orphelin";
    case InspectionFinding::Kind::remark: return "Remarque";
  }
  return "";
}

void Inspection::BeginRecord(const std::string& table) {
  if (!pending_.empty()) Add(InspectionFinding::Kind::remark, "", "");
  table_ = table;
}

void Inspection::Message(const std::string& text) { pending_.push_back(text); }

void Inspection::EndRecord(InspectionFinding::Kind kind, const LogRecordSource& record) {
  Add(kind, record.FieldCount() > 0 ? Trim(record.Text(0)) : "", ValuesOf(record));
}

void Inspection::EndRecordTaken(const LogRecordSource& record) {
  if (!pending_.empty()) EndRecord(InspectionFinding::Kind::remark, record);
}

void Inspection::EndTable() {
  if (!pending_.empty()) Add(InspectionFinding::Kind::remark, "", "");
}

void Inspection::NotInspected(const std::string& table, const std::string& why) {
  skipped_.push_back({item_, table, why});
}

void Inspection::Add(InspectionFinding::Kind kind, const std::string& key, const std::string& values) {
  findings_.push_back({item_, table_, kind, key, OneLine(pending_), values});
  pending_.clear();
}

std::string Inspection::Text(const RunSummary& summary) const {
  std::map<std::string, int64_t> remarks, orphans;
  for (const InspectionFinding& f : findings_) {
    remarks[f.item] += f.kind == InspectionFinding::Kind::remark;
    orphans[f.item] += f.kind == InspectionFinding::Kind::orphan;
  }
  std::string text = "Inspection des tables de l'ancien systeme: ce que le transfert refuserait ou ignorerait\n\n";
  text += fmt::format("{:<24} {:>10} {:>10} {:>8} {:>8} {:>9} {:>10}\n", "Table", "Lus", "A ajouter", "Refuses",
                      "Ignores", "Orphelins", "Remarques");
  for (const TableSummary& t : summary.Tables()) {
    text += fmt::format("{:<24} {:>10} {:>10} {:>8} {:>8} {:>9} {:>10}\n", t.name, t.read, t.added, t.refused,
                        t.passedOver, orphans[t.name], remarks[t.name]);
  }
  if (!skipped_.empty()) {
    text += "\nNon inspectees:\n";
    for (const Skip& skip : skipped_) text += "  " + skip.item + " (" + Trim(skip.table) + "): " + skip.why + "\n";
  }
  std::string item;
  for (const InspectionFinding& f : findings_) {
    if (f.item != item) {
      item = f.item;
      text += "\n== " + item + "\n";
    }
    text += fmt::format("{:<9} {} {}", KindText(f.kind), f.table, f.key.empty() ? "(table)" : f.key);
    if (!f.message.empty()) text += ": " + f.message;
    if (!f.values.empty()) text += "\n          " + f.values;
    text += "\n";
  }
  if (findings_.empty()) text += "\nRien a signaler.\n";
  return text;
}

std::string Inspection::Csv() const {
  std::string csv = "Table;Table source;Genre;Cle;Message;Valeurs\n";
  for (const InspectionFinding& f : findings_) {
    csv += CsvField(f.item) + ';' + CsvField(f.table) + ';' + KindText(f.kind) + ';' + CsvField(f.key) + ';' +
           CsvField(f.message) + ';' + CsvField(f.values) + '\n';
  }
  for (const Skip& skip : skipped_) {
    csv += CsvField(skip.item) + ';' + CsvField(Trim(skip.table)) + ";Non inspectee;;" + CsvField(skip.why) + ";\n";
  }
  return csv;
}

}  // namespace korvel
