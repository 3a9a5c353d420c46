// Engine throughput, memory and output identity.
//
// Default mode: every PNG of the given folders (default: the shared sample
// corpus) is encoded at the write path's default settings (strategy 0
// "Xtreme!", automatic colour type and filter, split threshold 256.0), each
// in a child process so that the peak resident memory (ru_maxrss) and the
// CPU time (user + system, getrusage) are that file's own.  Per file: input
// bytes, output bytes, the output with one deflate block (split threshold 0),
// compression passes, wall and CPU seconds, peak memory and a hash of the
// output file.  The table is printed; --write-results writes it to
// bench/results/engine.txt, --out FILE elsewhere.
//
// Matrix mode (--matrix): every file under every strategy 0..4, filter
// automatic and 0..5, split and one block, in this process; one hash line
// per combination.  Speed work must leave every one of them unchanged.
//
//   --write-hashes FILE   writes "key hash" lines of the run
//   --check FILE          compares the run with such a file; exit 1 when a
//                         hash moved or a key is missing
//
// Usage: engine_bench [folder ...] [--no-single] [--matrix] [--write-results | --out FILE]
//                     [--write-hashes FILE] [--check FILE]

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "EngineJob.h"
#include "PngLoader.h"
#include "ResultsFile.h"
#include "engine/EncodeJob.h"

namespace {

struct Settings {
  int strategy = 0;
  int filter = -1;
  double splitthreshold = 256.0;
};

struct Measure {
  int bytes = kEncodeFailed;
  int passes = 0;
  uint64_t hash = 0;      // FNV-1a 64 of the output file; 0 when it failed
  double seconds = 0;     // wall clock of the encode
  double cpuSeconds = 0;  // the child's user + system time (load, encode)
  long peakKb = 0;
};

uint64_t Fnv1a64(const uint8_t* bytes, size_t n) {
  uint64_t h = 0xCBF29CE484222325ull;
  for (size_t i = 0; i < n; ++i) h = (h ^ bytes[i]) * 0x100000001B3ull;
  return h;
}

Measure EncodeOnce(bench::Pixels& px, const Settings& s) {
  EncodeJob job = bench::DefaultJob(px);
  job.filter = s.filter;
  job.strategy = s.strategy;
  job.splitthreshold = s.splitthreshold;
  const auto start = std::chrono::steady_clock::now();
  Measure m;
  m.bytes = OptimizePng(&job);
  m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  m.passes = job.pass;
  if (m.bytes != kEncodeFailed) m.hash = Fnv1a64(job.kbuf, size_t(m.bytes));
  FreeEncodeBuffer(job.kbuf);
  return m;
}

// Runs the encode in a child; the child's rusage gives its own peak memory.
Measure EncodeInChild(const std::string& path, const Settings& s) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    bench::Pixels px;
    Measure m;
    if (bench::LoadPng(path, px)) m = EncodeOnce(px, s);
    if (write(fds[1], &m, sizeof m) != ssize_t(sizeof m)) _exit(1);
    _exit(0);
  }
  close(fds[1]);
  Measure m;
  const bool got = read(fds[0], &m, sizeof m) == ssize_t(sizeof m);
  close(fds[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  if (!got) return {};
  m.peakKb = usage.ru_maxrss;
  m.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  return m;
}

std::string HashText(const Measure& m) {
  if (m.bytes == kEncodeFailed) return "failed";
  char text[17];
  snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(m.hash));
  return text;
}

using HashTable = std::vector<std::pair<std::string, std::string>>;  // key, hash in run order

// The table of the default mode; false when it was asked to be written and
// could not be.
bool RunTable(const std::vector<std::filesystem::path>& files, bool single, const bench::ResultsFile& resultsFile,
              HashTable& hashes) {
  std::ostringstream table;
  char line[320];
  snprintf(line, sizeof line, "%-48s %10s %10s %10s %6s %9s %9s %9s  %s\n", "file", "input", "bytes", "one-block",
           "passes", "seconds", "cpu s", "peak MB", "hash");
  table << line;
  std::fputs(line, stdout);
  long long totalIn = 0, totalOut = 0, totalSingle = 0;
  double totalSeconds = 0, totalCpu = 0;
  for (const auto& path : files) {
    const long long input = static_cast<long long>(std::filesystem::file_size(path));
    const Measure m = EncodeInChild(path.string(), Settings{});
    const Measure one = single ? EncodeInChild(path.string(), Settings{0, -1, 0.0}) : Measure{};
    const std::string name = path.filename().string();
    hashes.emplace_back(name, HashText(m));
    if (single) hashes.emplace_back(name + " one-block", HashText(one));
    const std::string oneBlock = single ? std::to_string(one.bytes) : "-";
    snprintf(line, sizeof line, "%-48s %10lld %10d %10s %6d %9.3f %9.3f %9.1f  %s\n", name.c_str(), input, m.bytes,
             oneBlock.c_str(), m.passes, m.seconds, m.cpuSeconds, m.peakKb / 1024.0, HashText(m).c_str());
    table << line;
    std::fputs(line, stdout);
    std::fflush(stdout);
    totalIn += input;
    totalOut += m.bytes;
    totalSingle += one.bytes;
    totalSeconds += m.seconds;
    totalCpu += m.cpuSeconds;
  }
  const std::string oneBlockTotal = single ? std::to_string(totalSingle) : "-";
  snprintf(line, sizeof line, "%-48s %10lld %10lld %10s %6s %9.3f %9.3f\n", "total", totalIn, totalOut,
           oneBlockTotal.c_str(), "", totalSeconds, totalCpu);
  table << line;
  std::fputs(line, stdout);

  return resultsFile.Write(table.str(), "engine.txt");
}

void RunMatrix(const std::vector<std::filesystem::path>& files, HashTable& hashes) {
  for (const auto& path : files) {
    bench::Pixels px;
    const bool loaded = bench::LoadPng(path.string(), px);
    for (int strategy = 0; strategy <= 4; ++strategy) {
      for (int filter = -1; filter <= 5; ++filter) {
        for (const double split : {256.0, 0.0}) {
          const Measure m = loaded ? EncodeOnce(px, Settings{strategy, filter, split}) : Measure{};
          char key[320];
          snprintf(key, sizeof key, "%s s%d f%d %s", path.filename().string().c_str(), strategy, filter,
                   split > 0 ? "split" : "one-block");
          hashes.emplace_back(key, HashText(m));
        }
      }
    }
    std::printf("%s\n", path.filename().string().c_str());
    std::fflush(stdout);
  }
}

// Keys may hold spaces; the hash is the last word of a line.
std::map<std::string, std::string> ReadHashes(const std::string& file) {
  std::map<std::string, std::string> out;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    const size_t space = line.rfind(' ');
    if (space != std::string::npos) out[line.substr(0, space)] = line.substr(space + 1);
  }
  return out;
}

int CheckHashes(const HashTable& run, const std::string& file) {
  const std::map<std::string, std::string> expected = ReadHashes(file);
  if (expected.empty()) {
    std::fprintf(stderr, "no hashes in %s\n", file.c_str());
    return 1;
  }
  int moved = 0;
  for (const auto& [key, hash] : run) {
    const auto it = expected.find(key);
    if (it == expected.end()) {
      std::fprintf(stderr, "not in %s: %s\n", file.c_str(), key.c_str());
      ++moved;
    } else if (it->second != hash) {
      std::fprintf(stderr, "hash moved: %s %s -> %s\n", key.c_str(), it->second.c_str(), hash.c_str());
      ++moved;
    }
  }
  std::printf("%zu hashes checked, %d moved\n", run.size(), moved);
  return moved == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> folders;
  bool single = true, matrix = false;
  std::string writeFile, checkFile;
  bench::ResultsFile resultsFile;
  for (int i = 1; i < argc; ++i) {
    if (resultsFile.TakeOption(argc, argv, i)) continue;
    if (std::strcmp(argv[i], "--no-single") == 0) {
      single = false;
    } else if (std::strcmp(argv[i], "--matrix") == 0) {
      matrix = true;
    } else if (std::strcmp(argv[i], "--write-hashes") == 0 && i + 1 < argc) {
      writeFile = argv[++i];
    } else if (std::strcmp(argv[i], "--check") == 0 && i + 1 < argc) {
      checkFile = argv[++i];
    } else {
      folders.push_back(argv[i]);
    }
  }
  if (folders.empty()) folders.push_back("/work/shared/corpus/samples");
  std::vector<std::filesystem::path> files;
  for (const std::string& folder : folders) {
    const std::vector<std::filesystem::path> inFolder = bench::PngFilesIn(folder);
    files.insert(files.end(), inFolder.begin(), inFolder.end());
  }
  std::sort(files.begin(), files.end());

  HashTable hashes;
  if (matrix) {
    RunMatrix(files, hashes);
  } else {
    if (!RunTable(files, single, resultsFile, hashes)) return 1;
  }
  if (!writeFile.empty()) {
    std::ofstream out(writeFile);
    for (const auto& [key, hash] : hashes) out << key << ' ' << hash << '\n';
  }
  return checkFile.empty() ? 0 : CheckHashes(hashes, checkFile);
}
