// What reading a result back costs next to the search that made it: for
// every PNG of a folder (default: the shared corpus samples), the CPU time of
// `velkor -o LEVEL -t 1` writing it to a private file (the check included),
// then the CPU time of the check alone on that file (best of five).  Prints
// a table; --write-results writes it to
// bench/results/result_check-<folder>.txt, --out FILE elsewhere.  Not part
// of the tests.
//
// Usage: result_check [FOLDER] [LEVEL] [--write-results | --out FILE]
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "ResultsFile.h"
#include "cli/AtomicFile.h"
#include "cli/CliOptions.h"
#include "cli/Command.h"
#include "cli/ResultCheck.h"
#include "cli/SourceImage.h"

namespace {

namespace fs = std::filesystem;

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// velkor on one file, quietly, its result to out; false when it failed.
bool Optimize(const fs::path& input, const fs::path& out, const std::string& level) {
  std::vector<std::string> words = {"velkor", "-q", "-t", "1", "-y", "-o", level, "--out", out.string(), input.string()};
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  StopFlags stop;
  return RunCommand(int(words.size()), argv.data(), stop) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  bench::ResultsFile resultsFile;
  std::vector<std::string> given;
  for (int i = 1; i < argc; ++i) {
    if (!resultsFile.TakeOption(argc, argv, i)) given.push_back(argv[i]);
  }
  const fs::path folder = given.size() > 0 ? fs::path(given[0]) : fs::path(VELKOR_SOURCE_DIR) / "../../shared/corpus/samples";
  const std::string level = given.size() > 1 ? given[1] : "2";
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == ".png") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  const fs::path out = fs::temp_directory_path() / ("velkor-result-check-" + std::to_string(::getpid()) + ".png");

  std::ostringstream table;
  char line[256];
  std::snprintf(line, sizeof line, "%-52s %10s %10s %11s %10s %7s\n", "file", "bytes in", "bytes out",
                "velkor CPU s", "check ms", "share");
  table << "velkor -o " << level << " -t 1 on " << folder.lexically_normal().string() << "\n" << line;
  double totalRun = 0, totalCheck = 0;
  for (const fs::path& file : files) {
    const double start = CpuSeconds();
    if (!Optimize(file, out, level)) {
      table << file.filename().string() << ": velkor failed\n";
      continue;
    }
    const double run = CpuSeconds() - start;
    SourceImage source;
    std::vector<uint8_t> result;
    std::string error;
    if (!LoadSourceImage(file, CliOptions(), source, error) || !ReadWholeFile(out, result, error)) {
      table << file.filename().string() << ": " << error << "\n";
      continue;
    }
    double check = 1e30;
    for (int repeat = 0; repeat < 5; ++repeat) {
      const double before = CpuSeconds();
      const std::string mismatch = CheckResult(source, result);
      check = std::min(check, CpuSeconds() - before);
      if (!mismatch.empty()) table << file.filename().string() << ": " << mismatch << "\n";
    }
    totalRun += run;
    totalCheck += check;
    std::snprintf(line, sizeof line, "%-52s %10zu %10zu %11.3f %10.2f %6.2f%%\n", file.filename().string().c_str(),
                  source.bytes.size(), result.size(), run, check * 1e3, 100.0 * check / run);
    table << line;
  }
  fs::remove(out);
  std::snprintf(line, sizeof line, "%-52s %10s %10s %11.3f %10.2f %6.2f%%\n", "total", "", "", totalRun,
                totalCheck * 1e3, totalRun > 0 ? 100.0 * totalCheck / totalRun : 0.0);
  table << line;
  std::fputs(table.str().c_str(), stdout);
  return resultsFile.Write(table.str(), bench::FolderTableName("result_check", folder)) ? 0 : 1;
}
