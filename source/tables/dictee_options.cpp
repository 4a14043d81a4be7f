#include "source/tables/dictee_options.h"

#include <exception>

#include "global/string_utils.h"
#include "source/run/run_context.h"
#include "source/run/traps.h"

namespace korvel {

void AssignDicteeDataOptions(RunContext& run) {
  SkipStepOnError(run, [&] {
    const TTransfertDictee& dictee = *run.FDicteeMgr;
    TTransfertData& data = *run.FDataMgr;
    data.ExecuteDestQuery("SELECT s.id_station FROM station s WHERE s.nomstation=" +
                          QuotedStr(dictee.StationDicteeCopie));
    // No station of that name: the first station stands in.
    const fib::TFIBColumn* station = data.GetExeQryField(0);
    const int64_t station_number = station && !station->IsNull() ? station->AsInteger() : 1;

    data.InitUpdateDestination(
        "UPDATE ETABLISSEMENT SET DICTEESECURISE = :ADICSEC, PATHDICTEE = :APATHDIC, PATHDICTEESECURISE = "
        ":APATHDICSEC, SERVEURDICTEESECURISE = :ASERVEUR, DICTEEIMPORTATIONAUTO = :AIMPORT, "
        "PATHDICTEEIMPORTATIONAUTO = :APATHIMPORT, PATHDICTEEIMPORTATIONTRANSIT = :APATHTRANSIT, "
        "DICTEESTATIONCOPIE = :ADICTEESTATIONCOPIE WHERE ETABLISSEMENT = :AETABLIS");
    const std::string values[] = {
        dictee.DicteeSecurise ? "O" : "N",
        dictee.PathDictee,
        dictee.GetPathSecurise(),
        dictee.GetServeurSecurise(),
        dictee.ImportAuto ? "O" : "N",
        dictee.GetPathImportAuto(),
        dictee.GetPathImportTransit(),
        std::to_string(station_number),
        run.numeroEtablis,
    };
    for (int i = 0; i < static_cast<int>(std::size(values)); ++i) {
      data.SetDestParam(i, run.FParamMgr->AssignSrcToDestNotNull(nullptr, TDefault{values[i]}));
    }
    data.Transfert();
  });
  run.CommitEtProgress();
}

}  // namespace korvel
