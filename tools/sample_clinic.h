// Writes a legacy clinic as .FF2 files: the "radio" alias folder with the tables the
// routines read, realistic French content, a few duplicates and blanks where real
// clinics have them; plus the alias file, "ffserver.in" ("SOLO") and a report model.
#pragma once

#include <cstdint>
#include <string>

namespace korvel::sample {

struct SampleClinicOptions {
  std::string folder;  // created when missing
  uint32_t seed = 1;
  int sizeFactor = 1;  // the large tables grow linearly with it
};

struct SampleClinicSummary {
  int64_t records = 0;
  int64_t largestTable = 0;
  std::string largestTableName;
};

SampleClinicSummary WriteSampleClinic(const SampleClinicOptions& options);

}  // namespace korvel::sample
