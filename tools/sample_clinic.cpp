#include "tools/sample_clinic.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "global/date_time.h"
#include "global/string_utils.h"
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
  void WriteEtablissements();
  void WriteUsers();
  void WriteParameters();
  void WriteActes(int k);
  void WriteStationsAndInsurers(int k);
  void WriteMessagesAndHl7(int k);
  // Patients, about three visits and five examinations each, written as they are made
  // (a large clinic never sits in memory).
  void WritePatientsVisitsExams(int k);
  void WriteBilling(int k);
  // Film loans, injections, the journal, the history registers, authorisations and
  // the mammography act codes, over the visits written before.
  void WriteClinicalRecords(int k);
  template <typename Next>
  void WriteStream(const std::string& table, int64_t count, const Next& next);
  // The rows a separate tool loads into the target before a run (physicians and
  // radiologists with their licence decisions, the provincial registers), as SQL.
  void WritePreparedTarget(int k);
  void Write(const std::string& table, const std::vector<Row>& rows,
             const std::vector<LegacyFieldDef>* layout = nullptr);

  SampleClinicOptions options_;
  std::mt19937 rng_;
  // The first visits (number, patient) and the act of their first examination, for the
  // records that name them.
  static constexpr int64_t kEarly = 1000;
  std::vector<std::pair<std::string, int64_t>> early_visits_;
  std::vector<std::string> early_acts_;
  int64_t visits_ = 0;
  SampleClinicSummary summary_;
};

std::string Generator::Word() {
  static const char* const kSyllables[] = {"ra",  "dio", "gra", "phie", "tho", "rax", "cer",  "vi",  "cal",  "lom",
                                           "bai", "re",  "ab",  "do",   "men", "os",  "seux", "sca", "no",   "é",
                                           "cho", "mam", "mo",  "ti",   "que", "fé",  "mur",  "pel", "vien", "nne"};
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
  for (const auto& index : sample::LegacyIndexes(table)) writer.AddIndex(index.name, index.fields);
  for (const Row& row : rows) writer.AppendRecord(row);
  writer.Finish();
  const auto count = static_cast<int64_t>(rows.size());
  summary_.records += count;
  if (count > summary_.largestTable) {
    summary_.largestTable = count;
    summary_.largestTableName = table;
  }
}

void Generator::WriteEtablissements() {
  using P = std::vector<std::pair<std::string, Variant>>;
  auto etablis = [&](const char* code, const char* nom, const char* ville, const char* serie, P more = {}) {
    P values = {{"Code", Variant(code)},
                {"Nom", Variant(nom)},
                {"IndiceSpec", Variant("B")},
                {"Ville", Variant(ville)},
                {"Courriel", Variant(std::string("accueil@") + code + ".example")},
                {"Territoire", Variant("T" + std::to_string(1 + Pick(5)))},
                {"Serie", serie ? Variant(serie) : Variant()},
                {"FacturationRegie", Variant(true)},
                {"FactCalCulRole1", Variant(Chance(0.5))},
                {"Majoration140", Variant(Chance(0.5))},
                {"FactCalculRole7", Variant(false)},
                {"Mixte36", Variant(Chance(0.3))}};
    values.insert(values.end(), more.begin(), more.end());
    return LegacyRow("Etablis", values);
  };
  Write("Etablis",
        {etablis("CLI01", "Clinique radiologique du Vieux-Port", "Montréal", "A"),
         etablis("CLI02", "Centre d'imagerie Saint-Laurent", "Laval", nullptr),  // no series: "-"
         etablis("CLI03", "Radiologie des Érables", "Sherbrooke", "C", {{"IndiceSpec", Variant("  ")}}),
         // Same name as CLI01 once upper-cased: stored with a numeric suffix.
         etablis("CLI04", "CLINIQUE RADIOLOGIQUE DU VIEUX-PORT", "Montréal", "D"),
         etablis("HOP01", "Hôpital régional de la Haute-Côte-Nord, pavillon des soins ambulatoires et de l'imagerie",
                 "Baie-Comeau", "H"),
         etablis("CLI05", "", "Québec", "E"),          // no name: refused as an empty key
         etablis("CLI02", "Doublon", "Laval", "F")});  // number already there: refused
}

void Generator::WriteUsers() {
  static const char* const kNames[][2] = {{"JTREMBLAY", "Julie Tremblay"},  {"MGAGNON", "Marc Gagnon"},
                                          {"SROY", "Sophie Roy"},           {"PCOTE", "Pierre Côté"},
                                          {"IBOUCHER", "Isabelle Boucher"}, {"LGAUTHIER", "Luc Gauthier"},
                                          {"NMORIN", "Nathalie Morin"},     {"FLAVOIE", "François Lavoie"}};
  std::vector<Row> rows;
  auto user = [&](const std::string& initiale, const char* nom, Variant password) {
    std::vector<std::pair<std::string, Variant>> values = {
        {"Initiale", Variant(initiale)}, {"password", std::move(password)}, {"Nom", Variant(nom)}};
    for (const auto& f : LegacyLayout("Securite")) {
      if (f.type == ff2::Ff2Type::Boolean && !Chance(0.1)) values.emplace_back(f.name, Variant(Chance(0.6)));
    }
    return LegacyRow("Securite", values);
  };
  for (const auto& n : kNames) rows.push_back(user(n[0], n[1], Variant("mdp" + std::to_string(Pick(10000)))));
  rows.push_back(user("RECEPTION", "Poste de réception", Variant()));  // no password: NULL
  // Two names sharing their first 20 characters: the second cannot fit the target's 20.
  rows.push_back(user("TECHNICIENNE_RADIO_1", "Technicienne de jour", Variant("jour")));
  rows.push_back(user("TECHNICIENNE_RADIO_1_SOIR", "Technicienne de soir", Variant("soir")));
  rows.push_back(user("SROY", "Sophie Roy (doublon)", Variant("x")));  // duplicate: refused
  rows.push_back(user("", "Sans initiales", Variant("x")));            // blank: refused
  Write("Securite", rows);
}

void Generator::WriteParameters() {
  Write("Parm", {LegacyRow("Parm", {{"Agence No", Variant("  ")},  // blank: "0"
                                    {"Agence Nom", Variant("Agence de facturation du Vieux-Port")},
                                    {"Agence Adresse", Variant("125, rue de l'Hôpital")},
                                    {"Agence Ville", Variant("Montréal")},
                                    {"Agence Code Postal", Variant("H2Y 1C6")},
                                    {"Agence Telephone", Variant("(514) 555-0199")},
                                    {"AgenceSite", Variant("P")},
                                    {"AgenceFax", Variant("514-555-0198")},
                                    {"RegieTel", Variant("1 800 555-0100")},
                                    {"RegieMotPasseRegie", Variant("R4mq!")},
                                    {"RegieUsagerRegie", Variant("CLI01")},
                                    {"Code Regional", Variant("06")},
                                    {"Prochain No Dossier", Variant("228635")},
                                    {"ImpExamNonLu", Variant(true)},
                                    {"InterfaceSorvane", Variant(true)},
                                    {"InterfaceSorvaneProchain", Variant(int64_t{1042})},
                                    {"InterfaceSorvaneData", Variant("\\\\serveur\\sorvane\\l'entrée")},
                                    {"InterMedDossierHop", Variant("H")},
                                    {"NumerisationPACS", Variant(EncodeDate(2009, 3, 16))},
                                    {"ProchainFichierQRP", Variant()}})});  // none: the generator stays
  Row epur;
  for (const auto& f : LegacyLayout("ParmEpur")) {
    if (f.type == ff2::Ff2Type::Boolean) epur.push_back(Variant(Chance(0.5)));
    if (f.type == ff2::Ff2Type::Int16) epur.push_back(Variant(int64_t{365} * (1 + Pick(10))));
    if (f.type == ff2::Ff2Type::StDate) epur.push_back(Variant(EncodeDate(2011, 1 + Pick(12), 1)));
  }
  Write("ParmEpur", {epur});
}

namespace {

const char* const kUsers[] = {"JTREMBLAY",     "MGAGNON",  "SROY",
                              "PCOTE",         "IBOUCHER", "LGAUTHIER",
                              "NMORIN",        "FLAVOIE",  "TECHNICIENNE_RADIO_1_SOIR",
                              "ANCIEN_EMPLOYE"};
const char* const kModalities[] = {"RX", "CT", "IRM", "US", "MAMMO", "PET"};  // PET: not in the Modalite table
const char* const kActivitiesOfActs[] = {"Radiologie générale", "Échographie", "Tomodensitométrie", "Mammographie"};

std::string Code(const char* prefix, int n, int width) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%0*d", width, n);
  return prefix + std::string(digits);
}

// The position of a field in a table's layout.
size_t FieldIndex(const std::string& table, const std::string& name) {
  const auto& fields = LegacyLayout(table);
  for (size_t i = 0; i < fields.size(); ++i) {
    if (name == fields[i].name) return i;
  }
  throw std::logic_error("no field " + name + " in " + table);
}

std::string Sql(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

void Generator::WriteActes(int k) {
  std::vector<Row> rows;
  const int actes = 300;
  for (int i = 0; i < actes; ++i) {
    const bool prive = Chance(0.3);
    rows.push_back(LegacyRow(
        "Acte", {{"CODE", Variant(Code("0", 8000 + i, 4))},
                 {"Description", Variant("Examen " + Word() + " " + Word())},
                 {"Abregee", Variant("Ex. " + Word() + " " + Word())},
                 {"Epuration", Variant(Chance(0.5))},
                 {"CalculNombre", Variant(int64_t{Pick(3)})},
                 {"PlafondRole1", Variant(Currency{static_cast<int64_t>(Pick(100000)) * 100})},
                 {"MOD", Chance(0.2) ? Variant("M" + std::to_string(Pick(60))) : Variant()},
                 {"ageMin", Variant(int64_t{0})},
                 {"AgeMax", Variant(int64_t{120})},
                 {"NBChiffreRamQ", Variant(int64_t{4 + Pick(3)})},
                 {"debutPrive", prive ? Variant(EncodeDate(2011, 1, 1)) : Variant()},
                 {"finPrive", prive ? Variant(EncodeDate(2011, 12, 31)) : Variant()},
                 {"prive", prive ? Variant(Currency{static_cast<int64_t>(5000 + Pick(50000)) * 100}) : Variant()},
                 {"AncienDebutPrive", prive && Chance(0.5) ? Variant(EncodeDate(2010, 1, 1)) : Variant()},
                 {"AncienFinPrive", prive ? Variant(EncodeDate(2010, 12, 31)) : Variant()},
                 {"Ancienprive", prive ? Variant(Currency{static_cast<int64_t>(4000 + Pick(40000)) * 100}) : Variant()},
                 {"modalite", Variant(PickOf(kModalities))},
                 {"modalite2", Chance(0.3) ? Variant(PickOf(kModalities)) : Variant()},
                 {"activite", Variant(PickOf(kActivitiesOfActs))},
                 {"unite", Chance(0.1) ? Variant() : Variant(1 + Pick(8) / 2.0)},
                 {"Region", Chance(0.1) ? Variant("ZONE" + std::to_string(Pick(3))) : Variant("THX")},
                 {"sansMajoration", Variant(Chance(0.1))}}));
  }
  rows.push_back(LegacyRow("Acte", {{"CODE", Variant("08000")}, {"Description", Variant("Doublon")}}));
  // This clinic's version of the legacy application never had the cap of role 7 nor
  // the previous private period's dates: the file is written without them.
  std::vector<LegacyFieldDef> layout;
  std::vector<size_t> kept;
  for (size_t i = 0; i < LegacyLayout("Acte").size(); ++i) {
    const std::string name = LegacyLayout("Acte")[i].name;
    if (name == "PlafondRole7" || name == "AncienDebutPrive" || name == "AncienFinPrive") continue;
    layout.push_back(LegacyLayout("Acte")[i]);
    kept.push_back(i);
  }
  for (Row& row : rows) {
    Row narrow;
    for (const size_t i : kept) narrow.push_back(row[i]);
    row = std::move(narrow);
  }
  Write("Acte", rows, &layout);
  (void)k;
}

void Generator::WriteStationsAndInsurers(int k) {
  std::vector<Row> rows;
  for (int i = 1; i <= 20; ++i) {
    rows.push_back(LegacyRow("Station", {{"Station", Variant(Code("POSTE", i, 2))},
                                         {"DictioPath", Variant("\\\\serveur\\dictee\\poste" + std::to_string(i))},
                                         {"ActivationHop", Variant(Chance(0.2))}}));
  }
  rows.push_back(LegacyRow("Station", {{"Station", Variant("POSTE01")}}));  // duplicate: refused
  Write("Station", rows);

  static const char* const kInsurers[] = {"SSQ Assurances", "Desjardins Assurances", "La Capitale", "Manuvie",
                                          "Croix Bleue",    "Industrielle Alliance", "Sun Life",    "Great-West"};
  rows.clear();
  int n = 0;
  for (const char* nom : kInsurers) {
    rows.push_back(LegacyRow("Prive", {{"Code", Variant(Code("CIE", ++n, 2))},
                                       {"Contact", Variant("Service des réclamations")},
                                       {"Telephone", Variant("1 800 555-01" + std::to_string(10 + n))},
                                       {"Nom", Variant(nom)},
                                       {"Ville", Variant("Montréal")},
                                       {"CieActif", Variant(n != 3)},  // one no longer active
                                       {"AutorisationRequise", Variant(Chance(0.5))}}));
  }
  rows.push_back(LegacyRow("Prive", {{"Code", Variant("CIE09")}, {"Contact", Variant("M. Roy")}}));    // no name
  rows.push_back(LegacyRow("Prive", {{"Code", Variant("CIE10")}, {"Nom", Variant("Sans contact")}}));  // refused
  Write("Prive", rows);

  rows.clear();
  for (int i = 0; i < 100 * k; ++i) {
    rows.push_back(
        LegacyRow("PriveActe", {{"Cie", Variant(Code("CIE", 1 + i % 8, 2))},
                                {"Code", Variant(Code("0", 8000 + (i / 8) % 300, 4))},
                                {"Montant", Variant(Currency{static_cast<int64_t>(1000 + Pick(90000)) * 100})}}));
  }
  rows.push_back(LegacyRow("PriveActe", {{"Cie", Variant("CIE01")}, {"Code", Variant("08000")}}));  // duplicate
  rows.push_back(LegacyRow("PriveActe", {{"Cie", Variant("CIE99")}, {"Code", Variant("09999")}}));  // both unknown
  Write("PriveActe", rows);

  rows.clear();
  for (int i = 1; i <= 50 * k; ++i) {
    const bool annule = Chance(0.1);
    rows.push_back(
        LegacyRow("RapportPrivee", {{"Numero", Variant(Code("RP", i, 6))},
                                    {"DateProd", Variant(EncodeDate(2005 + Pick(7), 1 + Pick(12), 1 + Pick(28)))},
                                    {"HeureProd", Variant(EncodeTime(8 + Pick(10), Pick(60), 0))},
                                    {"DateAnnul", annule ? Variant(EncodeDate(2012, 1, 1 + Pick(28))) : Variant()},
                                    {"HeureAnnul", annule ? Variant(EncodeTime(9, 0, 0)) : Variant()},
                                    {"NbExamen", Variant(int64_t{1 + Pick(5)})},
                                    {"Total", Variant(Currency{static_cast<int64_t>(Pick(200000)) * 100})},
                                    {"UsagerProd", Variant(PickOf(kUsers))},
                                    {"UsagerAnnul", annule ? Variant(PickOf(kUsers)) : Variant()}}));
  }
  Write("RapportPrivee", rows);
}

void Generator::WriteMessagesAndHl7(int k) {
  std::vector<Row> rows;
  for (int group = 0; static_cast<int>(rows.size()) < 2000 * k; ++group) {
    const std::string de = PickOf(kUsers);
    const Variant day(EncodeDate(2008 + Pick(4), 1 + Pick(12), 1 + Pick(28)));
    const Variant heure(EncodeTime(8 + Pick(10), Pick(60), group % 60));
    const std::string objet = "Au sujet de " + Word();
    const std::string texte = "Bonjour,\r\nPourriez-vous revoir le dossier " + std::to_string(group) + " ?\r\nMerci";
    const int recipients = 1 + Pick(4);
    for (int r = 0; r < recipients; ++r) {
      rows.push_back(LegacyRow("Message", {{"De", Variant(de)},
                                           {"A", Variant(kUsers[(group + r + 1) % 10])},
                                           {"DATE", day},
                                           {"Heure", heure},
                                           {"Objet", Variant(objet)},
                                           {"Message", Variant(texte)}}));
    }
  }
  rows.push_back(LegacyRow("Message", {{"A", Variant("SROY")}, {"Objet", Variant("Sans expéditeur")}}));  // refused
  Write("Message", rows);

  rows.clear();
  for (int i = 1; i <= 40; ++i) {
    rows.push_back(LegacyRow("HL7ExamHop", {{"Code", Variant(Code("H", i, 4))},
                                            {"Description", Variant("Examen hospitalier " + Word())},
                                            {"Cs", Variant(Chance(0.2))},
                                            {"Facturation", Variant(i % 10 == 0 ? "Aucune" : "RAMQ")}}));
  }
  rows.push_back(LegacyRow("HL7ExamHop", {{"Code", Variant("H0001")}}));  // duplicate: refused
  Write("HL7ExamHop", rows);
  rows.clear();
  for (int i = 1; i <= 80; ++i) {
    rows.push_back(LegacyRow("HL7ExamRx", {{"Autolien", Variant(int64_t{1 + (i - 1) % 40})},
                                           {"CodeRx", Variant(Code("0", 8000 + i, 4))},
                                           {"Facturation", Variant(i % 3 == 0 ? "1200" : "1100")}}));
  }
  rows.push_back(LegacyRow("HL7ExamRx", {{"Autolien", Variant(int64_t{999})}, {"CodeRx", Variant("08001")}}));
  rows.push_back(LegacyRow("HL7ExamRx", {{"Autolien", Variant(int64_t{1})}, {"CodeRx", Variant("")}}));
  Write("HL7ExamRx", rows);
  rows.clear();
  for (int i = 0; i < 12; ++i) {
    rows.push_back(LegacyRow("HL7Radiol", {{"Code", Variant(Code("RAD", i, 3))},
                                           {"Licence", Variant(Code("1", 100000 + i, 6))},
                                           {"Groupe", Variant("01")},
                                           {"Facturation", Variant(Chance(0.5))}}));
  }
  Write("HL7Radiol", rows);
}

void Generator::WritePreparedTarget(int k) {
  std::ofstream sql(fs::path(options_.folder) / "cible.sql", std::ios::binary);
  sql << "-- Rows a separate tool loads into the target before a migration: physicians and\n"
         "-- radiologists with the outcome of their licence check, the provincial registers.\n";
  static const char* const kNoms[] = {"Tremblay", "Gagnon", "Roy",   "Côté",    "Bouchard",  "Gauthier", "Morin",
                                      "Lavoie",   "Fortin", "Gagné", "Ouellet", "Pelletier", "Bélanger", "Lévesque"};
  static const char* const kPrenoms[] = {"Marie", "Jean", "Sophie", "Pierre", "Julie", "Luc", "Isabelle", "Marc"};
  static const char* const kDecisions[] = {"FLAG_OK", "", "USE_NEW", "DELETE"};
  for (int i = 0; i < 1000 * k; ++i) {
    const std::string decision = kDecisions[Pick(4)];
    const std::string licence = Code("1", 200000 + i, 6);
    const bool nouvelle = decision == "USE_NEW" || Chance(0.1);
    std::string adresse = std::to_string(1 + Pick(9999)) + ", rue " + Word();
    if (i % 97 == 0) adresse += ", bureau " + std::to_string(Pick(900)) + ", " + std::string(120, '.');  // long
    sql << "INSERT INTO TMPMEDECINFF (LICENCE, NOUVELLE_LICENCE, NOUVELLE_LICENCE_OK, NOUVELLE_LICENCE_OPERATION, "
           "NOM, PRENOM, ADRESSE, VILLE, PROVINCE, POSTAL, TELEPHONE, FAX, SPECIALITE, LANGUE, OMBRIX, "
           "NOUVEAU_MEDECINID, DESACTIVE, NBPRESCRIPTION) VALUES ("
        << Sql(licence) << ", " << (nouvelle ? Sql(Code("5", 200000 + i, 6)) : "NULL") << ", 'T', "
        << (decision.empty() ? "NULL" : Sql(decision)) << ", " << Sql(PickOf(kNoms)) << ", " << Sql(PickOf(kPrenoms))
        << ", " << Sql(adresse) << ", 'Montréal', 'QC', " << Sql(Chance(0.5) ? "H2X 1Y4" : "H3A1B2") << ", "
        << Sql("514-555-" + Code("", Pick(10000), 4)) << ", NULL, " << Sql(Chance(0.3) ? "RAD" : "MG") << ", "
        << Sql(Chance(0.2) ? "A" : "F") << ", 'N', " << Sql("ID" + std::to_string(i)) << ", 'N', "
        << (decision == "DELETE" ? Pick(3) : 10) << ");\n";
    if (i % 5 == 0)
      sql << "INSERT INTO REFERANTRAMQ (LICENCE, NOM) VALUES (" << Sql(nouvelle ? Code("5", 200000 + i, 6) : licence)
          << ", 'Registre');\n";
  }
  // The same physician loaded twice: the second is refused alone when the physicians move.
  for (int twice = 0; twice < 2; ++twice) {
    sql << "INSERT INTO TMPMEDECINFF (LICENCE, NOUVELLE_LICENCE_OK, NOUVELLE_LICENCE_OPERATION, NOM, PRENOM, "
           "NOUVEAU_MEDECINID, DESACTIVE) VALUES ('1999998', 'T', 'FLAG_OK', 'Doublon', 'Paul', 'IDDUP', 'N');\n";
  }
  for (int i = 0; i < 12; ++i) {
    sql << "INSERT INTO TMPRADIOLFF (LICENCE, NOUVELLE_LICENCE, NOUVELLE_LICENCE_OK, NOUVELLE_LICENCE_OPERATION, NOM, "
           "PRENOM, GROUPE, TELEPHONE, SPECIALITE, REMUNERATIONMIXTE, PLAGEHORAIRE) VALUES ("
        << Sql(Code("1", 100000 + i, 6)) << ", NULL, 'T', " << (i == 11 ? "'DELETE'" : "'FLAG_OK'") << ", "
        << Sql(PickOf(kNoms)) << ", " << Sql(PickOf(kPrenoms)) << ", '01', '(514) 555-0" << 100 + i << "', "
        << (i == 10 ? "NULL" : "'RAD'") << ", " << (i % 2 ? "'M'" : "NULL") << ", " << i % 4 << ");\n";
  }
  // The provincial tariff: 5-digit codes equal to an act's code, 4-digit ones as '0'
  // followed by an act's first four characters.
  std::set<std::string> tariffs;
  for (int i = 0; i < 300; ++i) {
    const std::string code = Code("0", 8000 + i, 4);
    tariffs.insert(code);
    tariffs.insert("0" + code.substr(0, 4));
  }
  for (const std::string& tariff : tariffs)
    sql << "INSERT INTO ACTETARIRAMQ (ID_ACTE) VALUES (" << Sql(tariff) << ");\n";
  // Two technologists of one family name, the only name a legacy examination gives:
  // the examinations naming "Roy" are linked to neither.
  sql << "INSERT INTO TECHNOLOGUE (NOM, PRENOM) VALUES ('Roy', 'Marie');\n"
         "INSERT INTO TECHNOLOGUE (NOM, PRENOM) VALUES ('Roy', 'Jean');\n";
  sql << "COMMIT;\n";
}

template <typename Next>
void Generator::WriteStream(const std::string& table, int64_t count, const Next& next) {
  ff2::Ff2Writer writer((fs::path(options_.folder) / "radio" / (table + ".FF2")).string());
  for (const auto& f : LegacyLayout(table)) writer.AddField(f.name, f.type, f.size);
  for (const auto& index : LegacyIndexes(table)) writer.AddIndex(index.name, index.fields);
  for (int64_t i = 0; i < count; ++i) writer.AppendRecord(next(i));
  writer.Finish();
  summary_.records += count;
  if (count > summary_.largestTable) {
    summary_.largestTable = count;
    summary_.largestTableName = table;
  }
}

void Generator::WritePatientsVisitsExams(int k) {
  static const char* const kNoms[] = {"Tremblay", "Gagnon", "Roy",   "Côté",    "Bouchard",  "Gauthier", "Morin",
                                      "Lavoie",   "Fortin", "Gagné", "Ouellet", "Pelletier", "Bélanger", "Lévesque"};
  static const char* const kPrenoms[] = {"Marie",    "Jean", "Sophie",  "Pierre",   "Julie",  "Luc",
                                         "Isabelle", "Marc", "Chantal", "François", "Émilie", "Gilles"};
  // The province forms the city cleaning meets, and cities without any.
  static const char* const kVilles[] = {"Montréal, QC",   "Laval (Québec)", "Sherbrooke, P.Q.", "Québec",
                                        "Gatineau",       "Toronto ON",     "Ottawa Ont.",      "Moncton, N.B.",
                                        "Trois-Rivières", "Longueuil, qc"};
  static const char* const kSexes[] = {"M", "F", "H", "m", "f", ""};
  static const char* const kLangues[] = {"F", "F", "F", "A", "f", ""};
  const int64_t patients = 2000LL * k;
  WriteStream("patient", patients, [&](int64_t i) {
    const std::string nom = PickOf(kNoms);
    const bool vars = Chance(0.05);
    return LegacyRow(
        "patient",
        {{"AutoNum", Variant(i + 1)},
         {"Dossier", Variant(std::to_string(100000 + i))},
         {"Nom", Variant(nom)},
         {"Prenom", Variant(PickOf(kPrenoms))},
         {"Naissance", Variant(EncodeDate(1925 + Pick(85), 1 + Pick(12), 1 + Pick(28)))},
         {"Sexe", Variant(PickOf(kSexes))},
         {"Nam", Variant(UpperCase(nom.substr(0, 3)) + std::to_string(10000000 + Pick(89999999)))},
         {"Adresse", Variant(std::to_string(1 + Pick(9999)) + ", rue " + Word())},
         {"Ville", Variant(PickOf(kVilles))},
         {"Postal", Variant("H2X 1Y4")},
         {"TelRes", Variant("(514) 555-" + Code("", Pick(10000), 4))},
         {"Conjoint", Chance(0.3) ? Variant(std::string(PickOf(kNoms)) + " " + PickOf(kPrenoms)) : Variant()},
         {"Langue", Variant(PickOf(kLangues))},
         {"Variable1", vars ? Variant("Dossier papier") : Variant()},
         {"Variable3", vars ? Variant("Boîte " + std::to_string(Pick(300))) : Variant()}});
  });

  // Three visits per patient, numbered yyyymmdd-nnn per day; the visit identifier is the
  // legacy AutoNum. A few traps: a number that is no date, a time slot that is no number.
  const int64_t visits = 3 * patients;
  visits_ = visits;
  std::vector<uint16_t> per_day(7 * 366, 0);
  std::vector<int32_t> visit_day;  // day index of each visit, for its examinations
  visit_day.reserve(static_cast<size_t>(visits));
  auto visit_number = [](int32_t day, int n) {
    const TDateTime date(EncodeDate(2005, 1, 1).value + day);
    char text[16];
    std::snprintf(text, sizeof text, "%s-%03d", FormatDateTime("yyyymmdd", date).c_str(), n % 1000);
    return std::string(text);
  };
  std::vector<uint16_t> visit_n;
  visit_n.reserve(static_cast<size_t>(visits));
  for (int64_t i = 0; i < visits; ++i) {
    const int32_t day = Pick(7 * 365);
    visit_day.push_back(day);
    visit_n.push_back(per_day[static_cast<size_t>(day)]++);
  }
  static const size_t kReferant = FieldIndex("Prescrip", "Referant");
  static const size_t kReferant1 = FieldIndex("Prescrip", "Referant1");
  bool namedTwice = false;
  WriteStream("Prescrip", visits, [&](int64_t i) {
    const int64_t id = i + 1;
    std::string numero = visit_number(visit_day[static_cast<size_t>(i)], visit_n[static_cast<size_t>(i)]);
    if (i == 7) numero = "2009AB04-001";  // not a date: refused alone
    const int referants = Pick(3);
    const int64_t patient = 1 + Pick(static_cast<int>(patients));
    if (i < kEarly) early_visits_.emplace_back(numero, patient);
    Row row =
        LegacyRow("Prescrip", {{"AutoNum", Variant(id)},
                               {"Numero", Variant(numero)},
                               {"Autolien", Variant(patient)},
                               {"Radiologiste", Chance(0.05) ? Variant() : Variant(Code("1", 100000 + Pick(10), 6))},
                               {"Groupe", Variant("01")},
                               {"Type", Variant(Chance(0.8) ? "Q" : "C")},
                               {"Etablissement", Variant(Chance(0.8) ? "CLI01" : "CLI02")},
                               {"Diag", Chance(0.3) ? Variant(Code("D", Pick(300), 5)) : Variant()},
                               {"DateModif", Variant(EncodeDate(2005 + Pick(7), 1 + Pick(12), 1 + Pick(28)))},
                               {"HeureModif", Variant(EncodeTime(8 + Pick(10), Pick(60), 0))},
                               {"Opr", Variant(PickOf(kUsers))},
                               {"HeureInscrit", Variant(EncodeTime(7 + Pick(12), Pick(60), 0))},
                               {"PlageHoraire", Variant(i == 11 ? std::string("abc") : std::to_string(Pick(6)))},
                               {"Referant", referants > 0 ? Variant(Code("1", 200000 + Pick(900), 6)) : Variant()},
                               {"Referant1", referants > 1 ? Variant(Code("1", 200000 + Pick(900), 6)) : Variant()},
                               {"RensClinique", Chance(0.5) ? Variant("Douleur " + Word()) : Variant()}});
    // One visit names its main physician again as another physician.
    if (!namedTwice && referants > 1 && i > 11) {
      row[kReferant1] = row[kReferant];
      namedTwice = true;
    }
    return row;
  });

  // Five examinations per patient, each of a visit, with its visit's number.
  static const char* const kProtocoles[] = {"R", "N", "U"};
  const int64_t exams = 5 * patients;
  // The first examinations carry the private reports' numbers as their lot, as a
  // clinic's private examinations do: the reports are kept.
  static const size_t kLot = FieldIndex("Examen", "Lot");
  static const size_t kRole1 = FieldIndex("Examen", "Role1");
  const int64_t reports = 50LL * k;
  WriteStream("Examen", exams, [&](int64_t i) {
    const int64_t visit = i < visits ? i : Pick(static_cast<int>(visits));
    const bool dictee = Chance(0.7);
    const std::string code = i == 5 ? std::string("99999") : Code("0", 8000 + Pick(300), 4);  // 99999: unknown act
    if (i < kEarly) early_acts_.push_back(code);
    Row row = LegacyRow("Examen", {{"AutoNum", Variant(i + 1)},
                                   {"Autolien", Variant(visit + 1)},
                                   {"Prescription", Variant(visit_number(visit_day[static_cast<size_t>(visit)],
                                                                         visit_n[static_cast<size_t>(visit)]))},
                                   {"Code", Variant(code)},
                                   {"Protocole", Chance(0.8) ? Variant(PickOf(kProtocoles)) : Variant()},
                                   {"Film", Variant(int64_t{Pick(4)})},
                                   {"Dictee", dictee ? Variant("D" + std::to_string(i)) : Variant()},
                                   {"Lot", Chance(0.6) ? Variant("L" + std::to_string(Pick(5000))) : Variant()},
                                   {"InitTech", Variant(std::string(PickOf(kNoms)))},
                                   {"Role1", Variant(std::to_string(Pick(3)))},
                                   {"Role7", Variant(std::to_string(Pick(2)))},
                                   {"Total", Variant(Currency{static_cast<int64_t>(Pick(30000)) * 100})},
                                   {"RefacOpr", Chance(0.05) ? Variant(PickOf(kUsers)) : Variant()}});
    if (i < reports) row[kLot] = Variant(Code("RP", static_cast<int>(i + 1), 6));
    if (i == 13) row[kRole1] = Variant("2.5");  // a role written as a decimal text
    return row;
  });
}

void Generator::WriteBilling(int k) {
  const auto day = [&](int from, int to) {
    return Variant(EncodeDate(from + Pick(to - from + 1), 1 + Pick(12), 1 + Pick(28)));
  };
  // Amounts: negative, zero, large, four decimals.
  const auto amount = [&](int64_t i) {
    if (i % 97 == 0) return Currency{0};
    if (i % 53 == 0) return Currency{-static_cast<int64_t>(Pick(500000))};
    if (i % 1001 == 0) return Currency{static_cast<int64_t>(999999999) * 10000 + 9999};
    return Currency{static_cast<int64_t>(Pick(10000000)) + 1};
  };
  WriteStream("Etat", 2000LL * k, [&](int64_t i) {
    return LegacyRow("Etat", {{"Sequence", Variant(i + 1)},
                              {"EcDate", day(2005, 2011)},
                              {"Type", Variant("T" + std::to_string(Pick(4)))},
                              {"Enregistrement", Variant("ENR" + std::to_string(100000000 + i))}});
  });
  WriteStream("Releve", 500LL * k, [&](int64_t i) {
    return LegacyRow("Releve", {{"seq", Variant(i + 1)},
                                {"DateReleve", day(2005, 2011)},
                                {"Code", Variant(Code("0", 8000 + Pick(300), 4))},
                                {"Licence", Variant(Code("1", 100000 + Pick(10), 6))},
                                {"NCE", Variant(std::to_string(Pick(999999)))},
                                {"CodeErreur", Chance(0.1) ? Variant("E" + std::to_string(Pick(99))) : Variant()},
                                {"Montant", Variant(amount(i))}});
  });
  // Forms and their lines: a form without radiologist, lines of a form that does not exist.
  const int64_t forms = 20LL * k;
  WriteStream("R1606", forms, [&](int64_t i) {
    return LegacyRow("R1606", {{"Autonum", Variant(i + 1)},
                               {"DateDebut", day(2005, 2011)},
                               {"GrandTotal", Variant(amount(i))},
                               {"NombreTotal", Variant(int64_t{1 + Pick(40)})},
                               {"Etablissement", Variant("CLI01")},
                               {"Licence", i == 3 ? Variant() : Variant(Code("1", 100000 + Pick(10), 6))},
                               {"Groupe", Variant("01")}});
  });
  WriteStream("R1606b", forms * 10 + 2, [&](int64_t i) {
    const int64_t form = i < forms * 10 ? 1 + i / 10 : forms + 500;  // the last two: no such form
    return LegacyRow("R1606b", {{"AutoNum", Variant(i + 1)},
                                {"Autolien", Variant(form)},
                                {"Code", Variant(Code("0", 8000 + Pick(300), 4))},
                                {"Mod", Chance(0.1) ? Variant("M" + std::to_string(Pick(60))) : Variant()},
                                {"Nombre", Variant(int64_t{1 + Pick(3)})},
                                {"Tarif", Variant(Pick(100000) / 1000.0)},
                                {"Total", Variant(amount(i))}});
  });
  WriteStream("FacturationExt", 30, [&](int64_t i) {
    return LegacyRow("FacturationExt",
                     {{"DateDebut", day(2008, 2011)},
                      {"DateFin", day(2008, 2011)},
                      {"Radiologiste", i == 5 ? Variant("") : Variant(Code("1", 100000 + Pick(10), 6))},
                      {"Etablissement", Variant("CLI01")},
                      {"NbExamen", Variant(int64_t{Pick(500)})},
                      {"Montant", Variant(amount(i))}});
  });
  // Supplements keyed by visit number: most match a visit, some none (out of range).
  WriteStream("faccsc", 100LL * k, [&](int64_t i) {
    const std::string prescrip =
        i % 10 == 0 ? "20010101-" + Code("", static_cast<int>(i % 1000), 3)
                    : FormatDateTime("yyyymmdd", TDateTime(EncodeDate(2005, 1, 1).value + Pick(7 * 365))) + "-000";
    return LegacyRow("faccsc", {{"possibilite", Variant("1")},
                                {"NAM", Variant("ROYM" + std::to_string(10000000 + i))},
                                {"nom", Variant("Roy")},
                                {"prenom", Variant("Marie")},
                                {"prescrip", Variant(prescrip)}});
  });
  WriteStream("faccsd", 50LL * k, [&](int64_t i) {
    return LegacyRow(
        "faccsd",
        {{"prescrip",
          Variant(FormatDateTime("yyyymmdd", TDateTime(EncodeDate(2005, 1, 1).value + Pick(7 * 365))) + "-000")},
         {"adresse", Variant(std::to_string(1 + Pick(999)) + ", rue " + Word())},
         {"naSociale", Variant(std::to_string(100000000 + i))}});
  });
  // Payments over several years, numbered with gaps.
  WriteStream("Paiement", 10000LL * k, [&](int64_t i) {
    return LegacyRow("Paiement", {{"AutoNum", Variant(i + 1 + (i / 1000) * 7)},
                                  {"EcDate", day(2005, 2011)},
                                  {"Lot", Variant(std::to_string(Pick(99999)))},
                                  {"Nce", Variant(std::to_string(Pick(9999999)))},
                                  {"Paye", Variant(amount(i))},
                                  {"Transac", Variant(Chance(0.9) ? "PAY" : "REF")},
                                  {"RecDate", day(2005, 2011)},
                                  {"Licence", Chance(0.05) ? Variant() : Variant(Code("1", 100000 + Pick(10), 6))},
                                  {"Groupe", Variant("01")}});
  });
}

void Generator::WriteClinicalRecords(int k) {
  const auto day = [&](int from, int to) {
    return Variant(EncodeDate(from + Pick(to - from + 1), 1 + Pick(12), 1 + Pick(28)));
  };
  const auto time = [&] { return Variant(EncodeTime(7 + Pick(12), Pick(60), Pick(60))); };
  const auto early = [&] { return static_cast<size_t>(Pick(static_cast<int>(early_visits_.size()))); };
  const auto dossier = [](int64_t patient) { return Variant(std::to_string(100000 + patient - 1)); };

  // Loans through every pass: open or returned, of a visit (with the act of its first
  // examination, an act of none, or no act) or of the patient only. Lenders: a user, a
  // user typed in lower case, a name found nowhere, none. Borrowers longer than 9
  // characters, and none. One loan number twice.
  static const char* const kPreteurs[] = {"JTREMBLAY", "mgagnon", "Secrétaire de jour", ""};
  static const char* const kEmprunteurs[] = {"DR LEBLANC", "HOPITAL SAINTE-JUSTINE", "PATIENT", "CLINIQUE", ""};
  WriteStream("PretFilm", 200LL * k + 1, [&](int64_t i) {
    const size_t v = early();
    const int kind = Pick(4);
    const bool byVisit = kind != 3;
    const Variant acte = kind == 1 ? Variant(early_acts_[v]) : kind == 2 ? Variant("09999") : Variant();
    const int64_t number = i == 200LL * k ? 7 : i + 1;  // the last repeats loan 7
    return LegacyRow("PretFilm", {{"Autonum", Variant(number)},
                                  {"DateEmprunt", day(2005, 2011)},
                                  {"DateRetour", Chance(0.5) ? day(2005, 2011) : Variant()},
                                  {"Details", Variant("Films de " + Word())},
                                  {"Emprunteur", Variant(PickOf(kEmprunteurs))},
                                  {"Film", Variant(int64_t{1 + Pick(6)})},
                                  {"Complet", Chance(0.1) ? Variant() : Variant(Chance(0.5))},
                                  {"Dossier", dossier(early_visits_[v].second)},
                                  {"Preteur", Variant(PickOf(kPreteurs))},
                                  {"prescription", byVisit ? Variant(early_visits_[v].first) : Variant()},
                                  {"Examen", byVisit ? acte : Variant()},
                                  {"NAM", Variant("ROYM" + std::to_string(10000000 + i))}});
  });

  // Injections: initials of 2, 5 and 7 letters and in lower case, several gauges in one
  // format, the reactions the new system knows and others, visits that were not
  // migrated, injections without product.
  static const char* const kInitiales[] = {"JD", "JPDUB", "ABCDEFG", "mt", ""};
  static const char* const kAiguilles[] = {"21G", "18-21", "23", "22G", ""};
  static const char* const kSites[] = {"Bras gauche", "Pli du coude droit", "Main droite", ""};
  static const char* const kReactions[] = {"NAUSÉES",
                                           "NAUSEES, FRISSONS (ANXIETE+++).",
                                           "Froid aux 2 membres supérieurs.",
                                           "BOUCHE SÈCHE",
                                           "Voir notes",
                                           "Rougeur locale",
                                           ""};
  WriteStream("Injection", 500LL * k, [&](int64_t i) {
    const int64_t visit = i % 50 == 49 ? visits_ + 1000 + i : 1 + Pick(static_cast<int>(visits_));
    return LegacyRow("Injection", {{"AutoNum", Variant(i + 1)},
                                   {"Autolien", Variant(visit)},
                                   {"ProduitContraste", Chance(0.8) ? Variant("Omnipaque 300") : Variant()},
                                   {"QuantiteProduit", Variant(std::to_string(20 + Pick(80)) + " ml")},
                                   {"FormatAiguille", Variant(PickOf(kAiguilles))},
                                   {"SiteInjection", Variant(PickOf(kSites))},
                                   {"ReactionInjection", Variant(PickOf(kReactions))},
                                   {"DateInjection", day(2005, 2011)},
                                   {"HeureInjection", Chance(0.9) ? time() : Variant()},
                                   {"Technicienne", Variant(PickOf(kInitiales))},
                                   {"MessageriePrivee", Chance(0.3) ? Variant("Note " + Word()) : Variant()},
                                   {"MessagerieReseau", Chance(0.3) ? Variant("Réseau " + Word()) : Variant()}});
  });

  // The journal: every access pattern and trace rule, near misses (case, two
  // apostrophes, a prefix that differs), entries without user, long user and station
  // names, and entries on both sides of 1 January 2005.
  static const char* const kRemarques[] = {"Login (Talvo) ",
                                           "Logout (Talvo) ",
                                           "Mauvaise fermeture (Talvo) ",
                                           "Station non trouvée (POSTE",
                                           "Changement d'usager ",
                                           "Impression protocoles en lot réussie ",
                                           "FactHop envoi ",
                                           "Impression d'un rapport non lu ",
                                           "Destr. pres ",
                                           "CHANGE_NOPRESCRIP FROM ",
                                           "TALVO SEND MSG OPEN ",
                                           "login (talvo) ",
                                           "Impression d''un rapport non lu ",
                                           "Consultation du dossier ",
                                           "Facturation hop "};
  static const char* const kPostes[] = {"POSTE-ACCUEIL", "POSTE-RX1", "SALLE-ECHO", "",
                                        "POSTE-DE-LECTURE-DU-RADIOLOGISTE-PRINCIPAL-SALLE-12-BIS"};
  static const char* const kUsagers[] = {"JTREMBLAY", "MGAGNON", "SROY", "", "TECHNICIENNE_RADIO_1_SOIR"};
  WriteStream("Log", 10000LL * k, [&](int64_t i) {
    Variant date = day(2004, 2011);
    if (i % 1000 == 1) date = Variant(EncodeDate(2004, 12, 31));
    if (i % 1000 == 2) date = Variant(EncodeDate(2005, 1, 1));
    const char* remarque = i % 1000 < 3 ? kRemarques[0] : PickOf(kRemarques);
    return LegacyRow("Log", {{"AutoNum", Variant(i + 1)},
                             {"Date", date},
                             {"Heure", time()},
                             {"Remarque", Variant(remarque + std::to_string(i))},
                             {"Poste", Variant(PickOf(kPostes))},
                             {"Usager", Variant(PickOf(kUsagers))}});
  });

  // History registers, with a purge and a remittance twice, a statement without date,
  // transfers without establishment or without user.
  std::vector<Row> rows;
  static const char* const kTables[] = {"Prescrip", "Examen", "Paiement", "Etat", "Releve"};
  for (int i = 0; i < 20; ++i) {
    rows.push_back(LegacyRow("HistoEpur", {{"NomTable", Variant(kTables[i % 5])},
                                           {"DateEffect", Variant(EncodeDate(2006 + i / 5, 1 + i % 5, 1))},
                                           {"DateDeb", Variant(EncodeDate(2000, 1, 1))},
                                           {"DateFin", Variant(EncodeDate(2004 + i / 5, 12, 31))},
                                           {"NbrEpure", Variant(int64_t{Pick(5000)})},
                                           {"Commentaire", Variant("Épuration annuelle")}}));
  }
  rows.push_back(rows[3]);
  Write("HistoEpur", rows);

  WriteStream("HistoEtat", 20LL * k, [&](int64_t i) {
    return LegacyRow("HistoEtat", {{"EcDate", i % 25 == 7 ? Variant() : day(2005, 2011)},
                                   {"Reception", day(2005, 2011)},
                                   {"Fusion", day(2005, 2011)},
                                   {"Impression", day(2005, 2011)},
                                   {"NoPaiement", Variant("P" + std::to_string(i))},
                                   {"Coupure", day(2005, 2011)}});
  });
  // Lots named as the examinations' lots ("L<n>"), so most exist on both sides.
  WriteStream("HistoLot", 20LL * k, [&](int64_t i) {
    return LegacyRow("HistoLot", {{"Numero", Variant("L" + std::to_string(i))},
                                  {"ProducDate", day(2005, 2011)},
                                  {"ProducOpr", Variant(PickOf(kUsagers))},
                                  {"TransDate", day(2005, 2011)},
                                  {"TransOpr", Variant(PickOf(kUsers))},
                                  {"ConvDate", Chance(0.5) ? day(2005, 2011) : Variant()},
                                  {"ConvOpr", Variant(PickOf(kUsers))},
                                  {"ConvRefNo", Variant(std::to_string(Pick(99999)))},
                                  {"AnnulDate", Chance(0.05) ? day(2005, 2011) : Variant()},
                                  {"AnnulOpr", Chance(0.05) ? Variant("COMPTABLE_EXTERNE") : Variant()}});
  });
  rows.clear();
  for (int i = 0; i < 60; ++i) {
    rows.push_back(LegacyRow("HistoReleve", {{"ReleveDate", Variant(EncodeDate(2005 + i / 12, 1 + i % 12, 15))},
                                             {"RecepDate", Variant(EncodeDate(2005 + i / 12, 1 + i % 12, 17))},
                                             {"RecepOpr", Variant(PickOf(kUsers))},
                                             {"ImprDate", Variant(EncodeDate(2005 + i / 12, 1 + i % 12, 18))},
                                             {"ImprOpr", Variant(PickOf(kUsagers))}}));
  }
  rows.push_back(rows[10]);
  Write("HistoReleve", rows);
  WriteStream("HistoTransfert", 10LL * k, [&](int64_t i) {
    return LegacyRow("HistoTransfert", {{"Type", Variant(Chance(0.5) ? "COURRIEL" : "TELECOPIE")},
                                        {"Date", day(2005, 2011)},
                                        {"Heure", time()},
                                        {"OPR", i % 40 == 3 ? Variant() : Variant(PickOf(kUsers))},
                                        {"Etablissement", i % 20 == 5 ? Variant() : Variant("CLI01")},
                                        {"Courriel", Variant("resultats@clinique.example")}});
  });

  // Authorisations of migrated visits, two for one visit, and of visits that do not exist.
  WriteStream("Autorisation", 20LL * k + 1, [&](int64_t i) {
    const int64_t visit = i == 20LL * k ? 1 : i % 30 == 29 ? visits_ + 5000 + i : 1 + Pick(static_cast<int>(visits_));
    return LegacyRow("Autorisation", {{"numero", Variant("AUT" + std::to_string(100000 + i))},
                                      {"Autolien", Variant(visit)},
                                      {"DateAutorisation", day(2005, 2011)}});
  });

  // Mammography act codes: a code twice, one that is no act, none.
  rows.clear();
  for (int i = 0; i < 12; ++i) rows.push_back({Variant(Code("0", 8100 + i, 4)), Variant("Mammographie " + Word())});
  rows.push_back({Variant(Code("0", 8100, 4)), Variant("Mammographie (doublon)")});
  rows.push_back({Variant("MAMMO9"), Variant("Tomosynthèse")});
  rows.push_back({Variant(), Variant("Sans code")});
  Write("Sorvane", rows);
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

  WriteEtablissements();
  WriteUsers();
  WriteParameters();
  WriteActes(k);
  WriteStationsAndInsurers(k);
  WriteMessagesAndHl7(k);
  WritePatientsVisitsExams(k);
  WriteBilling(k);
  WriteClinicalRecords(k);
  WritePreparedTarget(k);

  static const char* const kRegions[][2] = {{"CRA", "Crâne"},
                                            {"SIN", "Sinus"},
                                            {"COU", "Cou"},
                                            {"THX", "Thorax"},
                                            {"ABD", "Abdomen"},
                                            {"PEL", "Bassin"},
                                            {"CERV", "Colonne cervicale"},
                                            {"DORS", "Colonne dorsale"},
                                            {"LOMB", "Colonne lombaire"},
                                            {"EPA", "Épaule"},
                                            {"COUD", "Coude"},
                                            {"POIG", "Poignet"},
                                            {"MAIN", "Main"},
                                            {"HAN", "Hanche"},
                                            {"GEN", "Genou"},
                                            {"CHEV", "Cheville"},
                                            {"PIED", "Pied"},
                                            {"SEIN", "Sein"},
                                            {"REIN", "Reins"},
                                            {"FOIE", "Foie"}};
  std::vector<Row> rows;
  for (const auto& r : kRegions) rows.push_back({Variant(r[0]), Variant(r[1])});
  rows.push_back({Variant("EXT"), Variant()});                    // no description: takes the code
  rows.push_back({Variant("THX"), Variant("Thorax (doublon)")});  // duplicate code
  Write("Anatom", rows);

  rows = {{Variant("RX"), Variant("Radiographie")},          {Variant("CT"), Variant("Tomodensitométrie")},
          {Variant("IRM"), Variant("Résonance magnétique")}, {Variant("US"), Variant("Échographie")},
          {Variant("MAMMO"), Variant("Mammographie")},       {Variant("MN"), Variant("Médecine nucléaire")},
          {Variant("DEXA"), Variant("Ostéodensitométrie")},  {Variant("FLUO"), Variant("Fluoroscopie")},
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
  static const char* const kDiagnostics[] = {"Fracture",    "Pneumonie",      "Nodule",        "Kyste",   "Arthrose",
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
                    Variant("Technique : " + Word() + ".\r\nConclusion : " + Word() + "."), Variant(Chance(0.5)),
                    anglais ? Variant("Protocol " + Word()) : Variant(),
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
    Row r = {Variant("M" + std::to_string(i)),
             Variant(Chance(0.5)),
             Variant("SP" + std::to_string(Pick(9))),
             Variant("Modificateur " + Word()),
             Variant("Explication : " + Word() + " " + Word()),
             Variant(Currency{static_cast<int64_t>(Pick(500000)) * 100}),
             Variant(Chance(0.3)),
             Variant(Chance(0.2)),
             Variant(Chance(0.2)),
             Variant(Pick(1000) / 100.0),
             Variant(Pick(1000) / 100.0),
             Variant("A" + std::to_string(Pick(99))),
             Variant("B" + std::to_string(Pick(99))),
             Variant(Chance(0.1))};
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
    rows.push_back(
        {Variant("TR" + std::to_string(i)), Chance(0.1) ? Variant("   ") : Variant("Transaction " + Word())});
  }
  Write("CodeTransac", rows);

  rows.clear();
  static const char* const kActivities[] = {"Radiologie générale", "Échographie",          "Tomodensitométrie",
                                            "Mammographie",        "Résonance magnétique", "Administration"};
  // Each name once, then "Mammographie" a second time: the acts of that activity are
  // linked to neither. The rest are variants of the names.
  for (int i = 0; i < 25; ++i) {
    const std::string picked = PickOf(kActivities);
    const std::string name = i < 6 ? kActivities[i] : i == 6 ? "Mammographie" : picked + " " + std::to_string(i);
    rows.push_back({Variant(), Variant(name), Variant(std::to_string(4000 + i))});
  }
  rows.push_back({Variant(), Variant(), Variant("4999")});  // no name: refused
  Write("Activite", rows);

  rows.clear();
  static const char* const kChamps[] = {"NOM",      "PRENOM",     "NAM",         "DATENAISS",     "ADRESSE",
                                        "VILLE",    "CODEPOSTAL", "TELEPHONE",   "MEDECIN",       "LICENCE",
                                        "CODEACTE", "MONTANT",    "DATESERVICE", "ETABLISSEMENT", "DIAGNOSTIC"};
  for (int type = 1; type <= 10; ++type) {
    for (int c = 0; c < 15; ++c) {
      rows.push_back({Variant(type), Variant(type <= 5 ? "RAMQ" : "CSST"), Variant(kChamps[c]),
                      Variant(std::string("Champ ") + kChamps[c]), Variant(c * 10 + 1), Variant(10)});
    }
  }
  Write("EtatType", rows);

  rows.clear();
  for (int type = 1; type <= 10; ++type) {
    rows.push_back({Variant(type), Variant(type <= 5 ? "RAMQ" : "CSST"),
                    Variant("Relevé de facturation " + std::to_string(type))});
  }
  Write("EtatTypeTitre", rows);
  return summary_;
}

}  // namespace

SampleClinicSummary WriteSampleClinic(const SampleClinicOptions& options) { return Generator(options).Run(); }

}  // namespace korvel::sample
