// korvel-sample-clinic: writes a generated legacy clinic (see tools/sample_clinic.h).
//   korvel-sample-clinic --out DIR [--seed N] [--size K]
#include <CLI/CLI.hpp>
#include <iostream>

#include "tools/sample_clinic.h"

int main(int argc, char** argv) {
  CLI::App app{"Writes a generated legacy clinic as .FF2 files."};
  korvel::sample::SampleClinicOptions options;
  app.add_option("--out", options.folder, "Folder to write (radio/, dictee/, korvel-aliases.ini, ffserver.in)")
      ->required();
  app.add_option("--seed", options.seed, "Random seed");
  app.add_option("--size", options.sizeFactor, "Size factor (the dictionary has 2000 x K words)");
  CLI11_PARSE(app, argc, argv);
  try {
    const auto summary = korvel::sample::WriteSampleClinic(options);
    std::cout << "sample clinic: " << summary.records << " records in " << options.folder
              << "/radio (largest: " << summary.largestTableName << ", " << summary.largestTable << ")\n";
  } catch (const std::exception& e) {
    std::cerr << "korvel-sample-clinic: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
