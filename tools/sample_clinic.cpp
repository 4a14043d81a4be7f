#include "tools/sample_clinic.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "global/date_time.h"
#include "global/variant.h"
#include "source/flashfiler/ff2_writer.h"
#include "tools/legacy_layouts.h"

namespace korvel::sample {
namespace {

namespace fs = std::filesystem;
using Row = std::vector<Variant>;

class Generator {
 public:
  Generator(const SampleClinicOptions& options) : options_(options), rng_(options.seed) {}

  SampleClinicSummary Run();

 private:
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
  bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
  template <size_t N>
  const char* PickOf(const char* const (&items)[N]) {
    return items[Pick(static_cast<int>(N))];
  }
  std::string Word();
  void Write(const std::string& table, const std::vector<Row>& rows,
             const std::vector<LegacyFieldDef>* layout = nullptr);

  SampleClinicOptions options_;
  std::mt19937 rng_;
  SampleClinicSummary summary_;
};

std::string Generator::Word() {
  static const char* const kSyllables[] = {"ra", "dio", "gra", "phie", "tho", "rax", "cer", "vi", "cal", "lom",
                                           "bai", "re", "ab", "do", "men", "os", "seux", "sca", "no", "é",
                                           "cho", "mam", "mo", "ti", "que", "fé", "mur", "pel", "vien", "nne"};
  std::string w;
  const int n = 2 + Pick(3);
  for (int i = 0; i < n; ++i) w += PickOf(kSyllables);
  return w;
}

void Generator::Write(const std::string& table, const std::vector<Row>& rows,
                      const std::vector<LegacyFieldDef>* layout) {
  const auto& fields = layout ? *layout : LegacyLayout(table);
  ff2::Ff2Writer writer((fs::path(options_.folder) / "radio" / (table + ".FF2")).string());
  for (const auto& f : fields) writer.AddField(f.name, f.type, f.size);
  for (const Row& row : rows) writer.AppendRecord(row);
  writer.Finish();
  const auto count = static_cast<int64_t>(rows.size());
  summary_.records += count;
  if (count > summary_.largestTable) {
    summary_.largestTable = count;
    summary_.largestTableName = table;
  }
}

SampleClinicSummary Generator::Run() {
  const int k = std::max(1, options_.sizeFactor);
  fs::create_directories(fs::path(options_.folder) / "radio");
  fs::create_directories(fs::path(options_.folder) / "dictee");
  std::ofstream(fs::path(options_.folder) / "korvel-aliases.ini") << "# alias=folder (relative to this file)\n"
                                                                     "radio=radio\nDictee=dictee\n";
  std::ofstream(fs::path(options_.folder) / "ffserver.in") << "SOLO\n";
  std::ofstream(fs::path(options_.folder) / "modele_principal.rtf", std::ios::binary)
      << "{\\rtf1\\ansi Rapport de radiologie\\par\r\nPatient : [NOM] [PRENOM]\\par\r\nExamen : [EXAMEN]\\par\r\n}\r\n";

  Write("Etablis", {{Variant("CLI01"), Variant("Clinique radiologique du Vieux-Port")},
                    {Variant("CLI02"), Variant("Centre d'imagerie Saint-Laurent")},
                    {Variant("CLI03"), Variant("Radiologie des Érables")}});

  static const char* const kRegions[][2] = {
      {"CRA", "Crâne"},        {"SIN", "Sinus"},          {"COU", "Cou"},           {"THX", "Thorax"},
      {"ABD", "Abdomen"},      {"PEL", "Bassin"},         {"CERV", "Colonne cervicale"}, {"DORS", "Colonne dorsale"},
      {"LOMB", "Colonne lombaire"}, {"EPA", "Épaule"},    {"COUD", "Coude"},        {"POIG", "Poignet"},
      {"MAIN", "Main"},        {"HAN", "Hanche"},         {"GEN", "Genou"},         {"CHEV", "Cheville"},
      {"PIED", "Pied"},        {"SEIN", "Sein"},          {"REIN", "Reins"},        {"FOIE", "Foie"}};
  std::vector<Row> rows;
  for (const auto& r : kRegions) rows.push_back({Variant(r[0]), Variant(r[1])});
  rows.push_back({Variant("EXT"), Variant()});      // no description: takes the code
  rows.push_back({Variant("THX"), Variant("Thorax (doublon)")});  // duplicate code
  Write("Anatom", rows);

  rows = {{Variant("RX"), Variant("Radiographie")},     {Variant("CT"), Variant("Tomodensitométrie")},
          {Variant("IRM"), Variant("Résonance magnétique")}, {Variant("US"), Variant("Échographie")},
          {Variant("MAMMO"), Variant("Mammographie")},  {Variant("MN"), Variant("Médecine nucléaire")},
          {Variant("DEXA"), Variant("Ostéodensitométrie")}, {Variant("FLUO"), Variant("Fluoroscopie")},
          {Variant(), Variant("Modalité sans code")}};
  Write("Modalite", rows);

  rows.clear();
  const int words = 2000 * k;
  for (int i = 0; i < words; ++i) {
    std::string mot = Word() + std::to_string(i);
    if (i > 0 && Chance(0.005)) mot = rows[static_cast<size_t>(Pick(i))][0].AsString();  // repeated entry
    rows.push_back({Variant(mot), Chance(0.1) ? Variant() : Variant("Terme médical : " + Word() + " " + Word())});
  }
  Write("Dictio", rows);

  rows.clear();
  for (int i = 0; i < 200 * k; ++i) {
    rows.push_back({Variant("rdio" + std::to_string(i)), Variant(Word() + "graphie")});
  }
  Write("MotCorr", rows);

  rows.clear();
  static const char* const kDiagnostics[] = {"Fracture", "Pneumonie", "Nodule", "Kyste", "Arthrose",
                                             "Épanchement", "Hernie discale", "Calcification", "Lithiase"};
  for (int i = 0; i < 300 * k; ++i) {
    char code[16];
    std::snprintf(code, sizeof code, "D%05d", i);
    rows.push_back({Variant(code), Variant(std::string(PickOf(kDiagnostics)) + " " + Word())});
  }
  Write("Diagnos", rows);

  Write("TypePres", {{Variant("R"), Variant("RAMQ")},
                     {Variant("C"), Variant("CSST")},
                     {Variant("P"), Variant("Privé")},
                     {Variant("H"), Variant("Hors province")},
                     {Variant("A"), Variant("Assurance")},
                     {Variant("X"), Variant("RAMQ")}});  // same description: a duplicate

  rows.clear();
  for (int i = 0; i < 50 * k; ++i) {
    const bool anglais = Chance(0.2);
    rows.push_back({Variant("PROT" + std::to_string(i)),
                    Variant(anglais ? "Protocole " + Word() + " (Anglais)" : "Protocole " + Word()),
                    Variant("Technique : " + Word() + ".\r\nConclusion : " + Word() + "."),
                    Variant(Chance(0.5)), anglais ? Variant("Protocol " + Word()) : Variant(),
                    anglais ? Variant("Technique: " + Word() + ".") : Variant()});
  }
  Write("TxtProto", rows);

  rows.clear();
  static const char* const kExportTypes[] = {"RAMQ", "CSST", "PACS", "HL7"};
  for (int i = 0; i < 500 * k; ++i) {
    const TDateTime day = EncodeDate(2005 + Pick(7), 1 + Pick(12), 1 + Pick(28));
    rows.push_back({Variant(), Variant(day), Chance(0.05) ? Variant() : Variant(EncodeTime(7 + Pick(12), Pick(60), 0)),
                    Variant(PickOf(kExportTypes))});
  }
  Write("Export", rows);

  auto modifier = [&](int i, bool modific) {
    Row r = {Variant("M" + std::to_string(i)), Variant(Chance(0.5)), Variant("SP" + std::to_string(Pick(9))),
             Variant("Modificateur " + Word()), Variant("Explication : " + Word() + " " + Word()),
             Variant(Currency{static_cast<int64_t>(Pick(500000)) * 100}), Variant(Chance(0.3)), Variant(Chance(0.2)),
             Variant(Chance(0.2)), Variant(Pick(1000) / 100.0), Variant(Pick(1000) / 100.0),
             Variant("A" + std::to_string(Pick(99))), Variant("B" + std::to_string(Pick(99))), Variant(Chance(0.1))};
    if (modific) {
      r.push_back(Variant("C" + std::to_string(Pick(99))));
      r.push_back(Variant("08001,08002"));
      r.push_back(Variant(Chance(0.1)));
    }
    return r;
  };
  rows.clear();
  for (int i = 0; i < 60; ++i) rows.push_back(modifier(i, true));
  Write("Modific", rows);
  rows.clear();
  for (int i = 0; i < 40; ++i) rows.push_back(modifier(i, false));
  Write("ModSoft", rows);

  rows.clear();
  for (int i = 0; i < 200 * k; ++i) {
    rows.push_back({Variant("M" + std::to_string(i % 60)), Variant("C" + std::to_string(i)),
                    Variant("C" + std::to_string(i + 1)), Variant(Chance(0.5)), Variant("Règle " + Word()),
                    Chance(0.1) ? Variant() : Variant(Chance(0.5))});
  }
  Write("ModCompl", rows);

  rows.clear();
  for (int t = 0; t < 20; ++t) {
    Row r = {Variant("T" + std::to_string(t))};
    for (int c = 0; c < 14; ++c) r.push_back(Chance(0.2) ? Variant() : Variant(Pick(3000) / 100.0));
    rows.push_back(r);
  }
  Write("RemMajoree", rows);

  rows.clear();
  for (int i = 0; i < 30; ++i) {
    rows.push_back({Variant("TR" + std::to_string(i)), Chance(0.1) ? Variant("   ") : Variant("Transaction " + Word())});
  }
  Write("CodeTransac", rows);

  rows.clear();
  static const char* const kActivities[] = {"Radiologie générale", "Échographie", "Tomodensitométrie",
                                            "Mammographie", "Résonance magnétique", "Administration"};
  for (int i = 0; i < 25; ++i) rows.push_back({Variant(), Variant(PickOf(kActivities)), Variant(std::to_string(4000 + i))});
  rows.push_back({Variant(), Variant(), Variant("4999")});  // no name: refused
  Write("Activite", rows);

  rows.clear();
  static const char* const kChamps[] = {"NOM", "PRENOM", "NAM", "DATENAISS", "ADRESSE", "VILLE", "CODEPOSTAL",
                                        "TELEPHONE", "MEDECIN", "LICENCE", "CODEACTE", "MONTANT", "DATESERVICE",
                                        "ETABLISSEMENT", "DIAGNOSTIC"};
  for (int type = 1; type <= 10; ++type) {
    for (int c = 0; c < 15; ++c) {
      rows.push_back({Variant(type), Variant(type <= 5 ? "RAMQ" : "CSST"), Variant(kChamps[c]),
                      Variant(std::string("Champ ") + kChamps[c]), Variant(c * 10 + 1), Variant(10)});
    }
  }
  Write("EtatType", rows);

  rows.clear();
  for (int type = 1; type <= 10; ++type) {
    rows.push_back({Variant(type), Variant(type <= 5 ? "RAMQ" : "CSST"), Variant("Relevé de facturation " + std::to_string(type))});
  }
  Write("EtatTypeTitre", rows);
  return summary_;
}

}  // namespace

SampleClinicSummary WriteSampleClinic(const SampleClinicOptions& options) { return Generator(options).Run(); }

}  // namespace korvel::sample
