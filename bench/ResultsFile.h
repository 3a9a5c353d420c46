// Where a benchmark's table goes.  It is always printed; it is written only
// when asked: --write-results replaces the program's committed table under
// bench/results/, --out FILE writes anywhere.  An ad-hoc run (one file, a
// loaded machine, a work in progress) thus never overwrites the tables the
// repository keeps.
#pragma once

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace bench {

struct ResultsFile {
  bool writeCommitted = false;  // --write-results
  std::filesystem::path out;    // --out FILE

  // Takes argv[i] (and --out's value) when it is one of the two options.
  bool TakeOption(int argc, char** argv, int& i) {
    if (std::strcmp(argv[i], "--write-results") == 0) {
      writeCommitted = true;
      return true;
    }
    if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
      out = argv[++i];
      return true;
    }
    return false;
  }

  // Writes table to --out's file, or with --write-results to
  // bench/results/committedName; nothing without either.  False, with a
  // message, when the file cannot be written.
  bool Write(const std::string& table, const std::string& committedName) const {
    std::filesystem::path path = out;
    if (path.empty() && writeCommitted) path = std::filesystem::path(VELKOR_SOURCE_DIR) / "bench/results" / committedName;
    if (path.empty()) return true;
    std::error_code ignored;
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ignored);
    std::ofstream file(path);
    file << table;
    if (!file.flush()) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return false;
    }
    std::fprintf(stderr, "table written to %s\n", path.c_str());
    return true;
  }
};

// "program-folder.txt", the committed name of a table made from one folder.
inline std::string FolderTableName(const std::string& program, const std::filesystem::path& folder) {
  std::filesystem::path normal = folder.lexically_normal();
  if (normal.filename().empty()) normal = normal.parent_path();  // "dir/" names dir
  return program + "-" + normal.filename().string() + ".txt";
}

}  // namespace bench
