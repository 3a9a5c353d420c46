#include "cli/ResultDelivery.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "cli/AtomicFile.h"
#include "cli/ResultCheck.h"
#include "cli/RunPlan.h"

namespace {

// The winning trial in words, with the format it wrote.
void DescribeWinner(const FileState& file, const std::vector<uint8_t>& png, int winner, FileOutcome& outcome) {
  outcome.result = png.size();
  const RunResult& best = file.results[winner];
  outcome.trial = DescribeTrial(file.runs[winner], best);
  outcome.trials = int(file.runs.size());
  outcome.passes = best.passes;
  if (file.runs[winner].recompress && !file.recompressed.rows.empty()) {
    outcome.trial = "image data recompressed, rows refiltered (" + file.recompressed.rows + ")";
    if (file.recompressed.deinterlaced) outcome.trial += ", not interlaced";
  }
  if (!file.runs[winner].recompress) {
    outcome.colortype = best.outcolortype;
    outcome.bitdepth = best.outbitdepth;
    outcome.filter = best.outfilter;
  }
}

// notes: where a written file could not be given the input's times.
bool WriteResult(const FileState& file, const std::vector<uint8_t>& bytes, const CliOptions& options,
                 std::mutex& stdoutMutex, std::string& error, std::vector<std::string>& notes) {
  if (file.target.toStdout) {
    std::lock_guard<std::mutex> lock(stdoutMutex);
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0) {
      error = "cannot write standard output";
      return false;
    }
    return true;
  }
  const OutputTarget& target = file.target;
  if (!WriteFileAtomically(target.path, bytes, target.replacesInput ? target.path : "", error)) return false;
  if (options.preserve && file.haveStat) {
    const struct timespec times[2] = {file.inputStat.st_atim, file.inputStat.st_mtim};
    if (::utimensat(AT_FDCWD, target.path.c_str(), times, 0) != 0) {
      notes.push_back("could not keep the input's times");
    }
  }
  return true;
}

}  // namespace

FileOutcome DeliverResult(const FileState& file, const std::vector<uint8_t>& png, int winner, const CliOptions& options,
                          std::mutex& stdoutMutex) {
  const SourceImage& image = file.image;
  FileOutcome outcome = BaseOutcome(file);
  DescribeWinner(file, png, winner, outcome);
  const PngFileScan& scan = image.scan;
  const bool repaired = scan.badCrcs > 0 || scan.trailingBytes > 0 || !scan.complete || image.repaired;
  const bool keepInput = image.isPng && png.size() >= image.bytes.size() && !options.force && !repaired;
  const std::vector<uint8_t>& bytes = keepInput ? image.bytes : png;
  outcome.after = bytes.size();
  const std::string mismatch = keepInput ? std::string() : CheckResult(image, png);
  if (!mismatch.empty()) {
    const bool nothingWritten = options.pretend || !file.target.replacesInput;
    return FailedOutcome(file, "the optimized file does not match the input (" + mismatch + "); " +
                                   (nothingWritten ? "nothing written" : "original kept"));
  }
  std::string error;
  if (options.pretend) {
    outcome.status = FileOutcome::Status::Pretend;
  } else if (keepInput && file.target.replacesInput) {
    outcome.status = FileOutcome::Status::Kept;
  } else if (!WriteResult(file, bytes, options, stdoutMutex, error, outcome.notes)) {
    return FailedOutcome(file, error);
  } else {
    outcome.status = keepInput ? FileOutcome::Status::Kept : FileOutcome::Status::Written;
  }
  return outcome;
}
