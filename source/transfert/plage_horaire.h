// The visits' time slots, collected while the visits are copied and read for every
// examination: a list of (visit identifier, slot) pairs, sorted once, searched by
// binary search. Eight bytes per visit with a slot: three million visits cost 24 MB.
// The visit number text of a slot record is not kept (it is never looked up).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace korvel {

struct TPlageHoraire {
  std::string Prescription;  // given by the visit routine; not kept by the list
  int32_t IdVisite = 0;
  int32_t PlageHoraire = 0;
};

class TPlageHoraireList {
 public:
  // Appends in call order; no duplicate check.
  void AddPlageHoraire(const TPlageHoraire& APlageHoraire);
  // The record at Index; none outside the list.
  std::optional<TPlageHoraire> GetPlageHoraire(int Index) const;
  int Count() const { return static_cast<int>(entries_.size()); }

 private:
  friend class TTransfertPlageHoraire;
  std::vector<std::pair<int32_t, int32_t>> entries_;  // (IdVisite, PlageHoraire)
};

class TTransfertPlageHoraire {
 public:
  // Takes the list and sorts it once.
  explicit TTransfertPlageHoraire(TPlageHoraireList APlageHoraireList);
  // The position of the visit whose identifier is written exactly as AIdVisite (its
  // decimal text: no leading zero, no sign but '-'), or -1.
  int IndexOfVisit(const std::string& AIdVisite) const;
  int IndexOfVisit(int32_t AIdVisite) const;
  std::optional<TPlageHoraire> GetPlageHoraire(int Index) const { return plages_.GetPlageHoraire(Index); }
  const TPlageHoraireList& Plages() const { return plages_; }

 private:
  TPlageHoraireList plages_;
};

}  // namespace korvel
