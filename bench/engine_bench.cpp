// Engine throughput and memory at the write path's default settings
// (strategy 0 "Xtreme!", automatic colour type and filter, split threshold
// 256.0) over every PNG of the shared sample corpus.
//
// Each file is encoded in a child process so that the peak resident memory
// (ru_maxrss) is that file's own.  Per file: input bytes, output bytes, the
// output with one deflate block (split threshold 0, for the gain of block
// splitting), compression passes, seconds and peak memory.  The table is
// printed and written to bench/results/engine.txt.
//
// Usage: engine_bench [corpus folder] [--no-single]

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "PngLoader.h"
#include "engine/EncodeJob.h"

namespace {

struct Measure {
  int bytes = kEncodeFailed;
  int passes = 0;
  double seconds = 0;     // wall clock of the encode
  double cpuSeconds = 0;  // the child's user + system time (load, encode)
  long peakKb = 0;
};

int Quiet(const char*, ...) { return 0; }

Measure EncodeOnce(bench::Pixels& px, double splitthreshold) {
  EncodeJob job{};
  job.pixels = px.words.data();
  job.stride = px.width * 4;
  job.width = px.width;
  job.height = px.height;
  job.filter = -1;
  job.colortype = -1;
  job.strategy = 0;
  job.splitthreshold = splitthreshold;
  job.print = Quiet;
  const auto start = std::chrono::steady_clock::now();
  Measure m;
  m.bytes = OptimizePng(&job);
  m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  m.passes = job.pass;
  FreeEncodeBuffer(job.kbuf);
  return m;
}

// Runs the encode in a child; the child's rusage gives its own peak memory.
Measure EncodeInChild(const std::string& path, double splitthreshold) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    bench::Pixels px;
    Measure m;
    if (bench::LoadPng(path, px)) m = EncodeOnce(px, splitthreshold);
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

}  // namespace

int main(int argc, char** argv) {
  std::string corpus = "/work/shared/corpus/samples";
  bool single = true;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--no-single") == 0) {
      single = false;
    } else {
      corpus = argv[i];
    }
  }
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    if (entry.path().extension() == ".png") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());

  std::ostringstream table;
  char line[256];
  snprintf(line, sizeof line, "%-48s %10s %10s %10s %6s %9s %9s %9s\n", "file", "input", "bytes", "one-block",
           "passes", "seconds", "cpu s", "peak MB");
  table << line;
  long long totalIn = 0, totalOut = 0, totalSingle = 0;
  double totalSeconds = 0, totalCpu = 0;
  for (const auto& path : files) {
    const long long input = static_cast<long long>(std::filesystem::file_size(path));
    const Measure m = EncodeInChild(path.string(), 256.0);
    const Measure one = single ? EncodeInChild(path.string(), 0.0) : Measure{};
    const std::string oneBlock = single ? std::to_string(one.bytes) : "-";
    snprintf(line, sizeof line, "%-48s %10lld %10d %10s %6d %9.3f %9.3f %9.1f\n", path.filename().string().c_str(),
             input, m.bytes, oneBlock.c_str(), m.passes, m.seconds, m.cpuSeconds, m.peakKb / 1024.0);
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

  const std::filesystem::path results = std::filesystem::path(VELKOR_SOURCE_DIR) / "bench" / "results";
  std::filesystem::create_directories(results);
  std::ofstream(results / "engine.txt") << table.str();
  return 0;
}
