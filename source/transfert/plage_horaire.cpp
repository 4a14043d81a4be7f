#include "source/transfert/plage_horaire.h"

#include <algorithm>
#include <charconv>

namespace korvel {

void TPlageHoraireList::AddPlageHoraire(const TPlageHoraire& APlageHoraire) {
  entries_.emplace_back(APlageHoraire.IdVisite, APlageHoraire.PlageHoraire);
}

std::optional<TPlageHoraire> TPlageHoraireList::GetPlageHoraire(int Index) const {
  if (Index < 0 || Index >= Count()) return std::nullopt;
  const auto& [id, plage] = entries_[static_cast<size_t>(Index)];
  return TPlageHoraire{{}, id, plage};
}

TTransfertPlageHoraire::TTransfertPlageHoraire(TPlageHoraireList APlageHoraireList)
    : plages_(std::move(APlageHoraireList)) {
  // Identifiers are unique; a stable sort keeps the first of equal keys first.
  std::stable_sort(plages_.entries_.begin(), plages_.entries_.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
}

int TTransfertPlageHoraire::IndexOfVisit(int32_t AIdVisite) const {
  const auto& entries = plages_.entries_;
  const auto it = std::lower_bound(entries.begin(), entries.end(), AIdVisite,
                                   [](const auto& entry, int32_t id) { return entry.first < id; });
  if (it == entries.end() || it->first != AIdVisite) return -1;
  return static_cast<int>(it - entries.begin());
}

int TTransfertPlageHoraire::IndexOfVisit(const std::string& AIdVisite) const {
  // Keys are compared as texts: only the exact decimal writing of an identifier is one.
  int32_t id = 0;
  const char* first = AIdVisite.data();
  const char* last = first + AIdVisite.size();
  const auto [end, ec] = std::from_chars(first, last, id);
  if (ec != std::errc() || end != last || std::to_string(id) != AIdVisite) return -1;
  return IndexOfVisit(id);
}

}  // namespace korvel
