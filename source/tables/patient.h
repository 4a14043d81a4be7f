// Patients: the legacy patient file into Patient, with the four free fields into
// Patient_Var and the province found in the city text into PATIENTSUPPLEMENT; only
// patients from the window's threshold number upwards.
#pragma once

#include <memory>
#include <string>

namespace korvel {

class RunContext;

void TransfertTablePatient(RunContext& run);

// The city cleaning: the three province patterns compiled once, tried in order; the
// first that matches is removed (every occurrence of its matched text) and gives the
// province code. Letters fold without regard to case, accented ones included.
class CityCleaner {
 public:
  CityCleaner();
  ~CityCleaner();
  CityCleaner(const CityCleaner&) = delete;
  CityCleaner& operator=(const CityCleaner&) = delete;
  // The city without its province; ps_Province the code found, or "".
  std::string CleanCity(const std::string& ps_Ville, std::string& ps_Province);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace korvel
