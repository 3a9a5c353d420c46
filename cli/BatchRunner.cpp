#include "cli/BatchRunner.h"

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "cli/AtomicFile.h"
#include "cli/OutputTarget.h"
#include "cli/ProgressDisplay.h"
#include "cli/RunPlan.h"
#include "cli/SourceImage.h"

namespace {

// One input file on its way through the batch.
struct FileState {
  std::string name;
  SourceImage image;
  std::vector<RunSettings> runs;
  std::vector<RunResult> results;
  int pendingRuns = 0;
};

// A unit of work: prepare a file (run < 0) or do one of its runs.
struct WorkItem {
  std::shared_ptr<FileState> file;
  int run = -1;
};

class Batch {
 public:
  Batch(const CliOptions& options, StopFlags& stop) : m_options(options), m_stop(stop), m_display(options.quiet) {
    for (const std::string& input : options.inputs) {
      auto file = std::make_shared<FileState>();
      file->name = input;
      m_queue.push_back({file, -1});
    }
    m_summary.files = static_cast<int>(options.inputs.size());
  }

  BatchSummary Run(int threads) {
    std::vector<std::thread> workers;
    for (int i = 0; i < threads; ++i) workers.emplace_back([this, i] { WorkerLoop(i); });
    m_display.RunUntil([this] {
      std::lock_guard<std::mutex> lock(m_mutex);
      return m_active == 0 && m_queue.empty();
    });
    for (std::thread& w : workers) w.join();
    return m_summary;
  }

 private:
  void WorkerLoop(int slot) {
    EngineContext ctx;
    for (;;) {
      WorkItem item;
      {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_wake.wait(lock, [this] { return !m_queue.empty() || m_active == 0; });
        if (m_queue.empty()) return;
        item = m_queue.front();
        m_queue.pop_front();
        ++m_active;
      }
      if (item.run < 0) {
        Prepare(ctx, item.file);
      } else {
        DoRun(ctx, slot, item);
      }
      std::lock_guard<std::mutex> lock(m_mutex);
      --m_active;
      m_wake.notify_all();
    }
  }

  void Prepare(EngineContext& ctx, const std::shared_ptr<FileState>& file) {
    std::string error;
    if (!LoadSourceImage(file->name, m_options, file->image, error) ||
        !PlanRuns(ctx, file->image, m_options, m_stop, file->runs, error)) {
      Fail(*file, error);
      return;
    }
    for (RunSettings& run : file->runs) run.label = file->name + " " + DescribeRun(run);
    file->results.resize(file->runs.size());
    file->pendingRuns = static_cast<int>(file->runs.size());
    std::lock_guard<std::mutex> lock(m_mutex);
    // The file's runs go to the front so a started file finishes first.
    for (int i = static_cast<int>(file->runs.size()) - 1; i >= 0; --i) m_queue.push_front({file, i});
    m_wake.notify_all();
  }

  void DoRun(EngineContext& ctx, int slot, const WorkItem& item) {
    FileState& file = *item.file;
    const RunSettings& settings = file.runs[item.run];
    RunProgress* progress = m_display.Begin(slot, file.name);
    const bool echo = m_options.verbose;
    RunResult result = RunEngine(ctx, file.image.AsRunInput(settings.keeppal != 0), settings, m_stop, progress, echo);
    m_display.End(slot);
    bool last;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      file.results[item.run] = std::move(result);
      last = --file.pendingRuns == 0;
    }
    if (last) Finish(file);
  }

  void Finish(FileState& file) {
    if (m_stop.cancel) {
      Fail(file, "cancelled; original kept");
      return;
    }
    int best = -1;
    for (size_t i = 0; i < file.results.size(); ++i) {
      const RunResult& r = file.results[i];
      if (r.ok && (best < 0 || r.png.size() < file.results[best].png.size())) best = static_cast<int>(i);
    }
    if (best < 0) {
      Fail(file, file.results.empty() || file.results[0].message.empty() ? "the engine failed"
                                                                      : file.results[0].message);
      return;
    }
    const RunResult& winner = file.results[best];
    Write(file, winner, file.runs[best]);
    file.image = SourceImage();  // release the pixels early; the batch may be long
  }

  void Write(FileState& file, const RunResult& winner, const RunSettings& run) {
    OutputTarget target;
    std::string error;
    if (!ChooseOutputTarget(file.name, file.image.isPng, m_options, target, error)) {
      Fail(file, error);
      return;
    }
    const size_t before = file.image.bytes.size();
    const size_t after = winner.png.size();
    const bool keepOriginal = target.replacesInput && after >= before && !m_options.force;
    if (!keepOriginal &&
        !WriteFileAtomically(target.path, winner.png, target.replacesInput ? target.path : "", error)) {
      Fail(file, error);
      return;
    }
    std::string line = file.name + ": " + std::to_string(before) + " -> " +
                       std::to_string(keepOriginal ? before : after) + " bytes";
    if (keepOriginal) {
      line += " (already smaller than " + std::to_string(after) + ", kept)";
    } else {
      char percent[32];
      std::snprintf(percent, sizeof percent, " (%+.2f%%)",
                    before ? (double(after) - double(before)) * 100.0 / double(before) : 0.0);
      line += percent;
      if (!target.replacesInput) line += " -> " + target.path.string();
    }
    if (m_options.verbose) {
      line += "\n  won: " + DescribeRun(run) + " -> c" + std::to_string(winner.outcolortype) + " d" +
              std::to_string(winner.outbitdepth) + " f" + std::to_string(winner.outfilter) + ", " +
              std::to_string(winner.passes) + " passes, best of " + std::to_string(file.runs.size()) + " runs";
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_summary.written += keepOriginal ? 0 : 1;
    m_summary.bytesBefore += before;
    m_summary.bytesAfter += keepOriginal ? before : after;
    m_display.Line(line, false);
  }

  void Fail(FileState& file, std::string reason) {
    while (!reason.empty() && (reason.front() == '\r' || reason.front() == '\n')) reason.erase(0, 1);
    while (!reason.empty() && (reason.back() == '\r' || reason.back() == '\n' || reason.back() == ' '))
      reason.pop_back();
    for (char& c : reason) {
      if (c == '\r' || c == '\n') c = ' ';
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_summary.failed;
    m_display.Line("velkor: " + file.name + ": " + reason, true);
  }

  const CliOptions& m_options;
  StopFlags& m_stop;
  ProgressDisplay m_display;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::deque<WorkItem> m_queue;
  int m_active = 0;
  BatchSummary m_summary;
};

}  // namespace

BatchSummary RunBatch(const CliOptions& options, StopFlags& stop) {
  int threads = options.threads > 0 ? options.threads : static_cast<int>(std::thread::hardware_concurrency());
  if (threads < 1) threads = 1;
  Batch batch(options, stop);
  return batch.Run(threads);
}
