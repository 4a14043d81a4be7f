// Completion of the reference tables from staged codes: before a routine moves its
// staged rows, each operation adds to one reference table every code that a staging
// column uses and the table lacks, with the code as its description and fixed flags
// (invented rows mostly deactivated), so no staged row is moved without its reference.
//
// Each is one set-based statement (the acts: a probe and two) run as a move, so a code
// the server refuses is refused alone and logged while every other code is added. No
// exception leaves an operation: anything else is written in "Log Generique".
//
// Arguments: the staging table, its column(s), and the caller's progress text
// ("Table Visite\r\n"), followed in the operation label by the operation's name.
#pragma once

#include <string>

#include "source/run/run_context.h"

namespace korvel {

void InsertSecuriteTmp(RunContext& run, const std::string& sNomTable, const std::string& sNomChamp,
                       const std::string& sMessage);
void InsertStationTmp(RunContext& run, const std::string& sNomTable, const std::string& sNomChamp);
void InsertActeTmp(RunContext& run, const std::string& sNomTable, const std::string& sNomChamp,
                   const std::string& sMessage);
void InsertPriveetmp(RunContext& run, const std::string& sNomTable, const std::string& sNomChamp,
                     const std::string& sMessage);
// Reads the staging columns licence and groupe.
void InsertRadiologisteTmp(RunContext& run, const std::string& sNomTable, const std::string& sMessage);
void InsertEtablissementTmp(RunContext& run, const std::string& sNomTable, const std::string& sNomChamp,
                            const std::string& sMessage);
void InsertCodeTransacTmp(RunContext& run, const std::string& sNomTable, const std::string& sNomChamp,
                          const std::string& sMessage);
void InsertCodeSpecTmp(RunContext& run, const std::string& sNomTable, const std::string& sNomChamp);
// Physicians by licence (sNomChamp) and physician id (sNomChamp2), named from
// tmpMedecin, which is always joined on the staging columns Medecin and MedecinId.
void InsertMedecinTmp(RunContext& run, const std::string& sNomTable, const std::string& sNomChamp,
                      const std::string& sNomChamp2, const std::string& sMessage);
void InsertTextePreInsTmp(RunContext& run, const std::string& sNomTable, const std::string& sNomChamp,
                          const std::string& sMessage);
void InsertProtocoleTmp(RunContext& run, const std::string& sNomTable, const std::string& sNomChamp,
                        const std::string& sMessage);
void InsertTechnologuetmp(RunContext& run, const std::string& sNomTable, const std::string& sNomChamp,
                          const std::string& sMessage);
// Diagnosis codes, with the code as description (no commit of its own).
void InsertDiagnostique(RunContext& run, const std::string& sNomTable, const std::string& sNomChamp,
                        const std::string& sMessage);
// Billing modifier codes.
void InsertModificateur(RunContext& run, const std::string& sNomTable, const std::string& sNomChamp,
                        const std::string& sMessage);
// The reference of staged rows (`column` of `staging`) to their patient: one rule,
// which DeleteStagedOrphans enforces before the move and an inspection checks.
StagedReference PatientReference(const std::string& staging, const std::string& column);
// The staged rows that lack `reference` are dropped ("DeleteTableMissingPatient"),
// and the log counts them.
void DeleteStagedOrphans(RunContext& run, const StagedReference& reference, const std::string& sMessage);

// The statements, as the server receives them for the whole staging table.
enum class Completion {
  Securite,
  Station,
  ActeProbe,
  Acte,
  ActeDepartement,
  Privee,
  Radiologiste,
  Etablissement,
  CodeTransac,
  CodeSpec,
  Medecin,
  TextePreIns,
  Protocole,
  Technologue,
  Diagnostique,
  Modificateur,
};
std::string CompletionSql(Completion op, const std::string& T, const std::string& C, const std::string& C2 = "");

}  // namespace korvel
