// korvel-ff2: looks inside legacy FlashFiler 2 table files.
//   korvel-ff2 dump FILE.FF2   prints the dictionary and every live record
#include <iostream>
#include <string>

#include "source/flashfiler/ff2_dump.h"
#include "source/flashfiler/ff2_file.h"

int main(int argc, char** argv) {
  if (argc != 3 || std::string(argv[1]) != "dump") {
    std::cerr << "usage: korvel-ff2 dump FILE.FF2\n";
    return 2;
  }
  const std::string path = argv[2];
  try {
    const auto file = korvel::ff2::Ff2File::Open(path);
    std::string name = path.substr(path.find_last_of('/') + 1);
    name = name.substr(0, name.find('.'));
    std::ios::sync_with_stdio(false);
    korvel::ff2::DumpTable(*file, name, std::cout);
    std::cout.flush();
    for (const std::string& warning : file->warnings()) std::cerr << path << ": warning: " << warning << "\n";
    return std::cout ? 0 : 1;
  } catch (const std::exception& error) {
    std::cout.flush();
    std::cerr << "korvel-ff2: " << error.what() << "\n";
    return 1;
  }
}
