// Dictation options of the default establishment, carried into the target's
// establishment row, and the dictation statuses by visit.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace korvel {

class TTransfertDictee {
 public:
  std::function<void(const std::string&)> OnInvalideEvent;

  bool DicteeActif = false;
  bool DicteeSecurise = false;
  bool ImportAuto = true;
  std::string StationDicteeCopie;
  std::string PathDictee;
  // Stored values; read them through the getters, which apply the on/off rules.
  std::string PathSecurise;
  std::string ServeurSecurise;
  std::string PathImportAuto;
  std::string PathImportTransit;
  std::vector<std::string> DictSecList;

  std::string GetPathSecurise() const { return DicteeSecurise ? PathSecurise : std::string(); }
  std::string GetServeurSecurise() const { return DicteeSecurise ? ServeurSecurise : std::string(); }
  std::string GetPathImportAuto() const { return ImportAuto ? PathImportAuto : std::string(); }
  std::string GetPathImportTransit() const { return ImportAuto ? PathImportTransit : std::string(); }
};

class TTransfertStatut {
 public:
  std::function<void(const std::string&)> OnInvalideEvent;
  // Dictation status by visit number.
  std::map<std::string, std::string> DictStatutList;
};

}  // namespace korvel
