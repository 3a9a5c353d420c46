#include "cli/BatchRunner.h"

#include <sys/stat.h>

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

#include "cli/BatchFile.h"
#include "cli/EffortLevels.h"
#include "cli/EngineContextPool.h"
#include "cli/FileReport.h"
#include "cli/InputList.h"
#include "cli/OptimalRedeflate.h"
#include "cli/OutputTarget.h"
#include "cli/ProgressDisplay.h"
#include "cli/ResultDelivery.h"
#include "cli/RunPlan.h"
#include "cli/SourceImage.h"
#include "cli/StreamRecompress.h"
#include "cli/search/ParallelFor.h"

namespace {

// A unit of work: prepare a file (run < 0) or do one of its runs.
struct WorkItem {
  std::shared_ptr<FileState> file;
  int run = -1;
};

bool Interrupted(const StopFlags& stop) { return stop.finishAfterPass || stop.cancel; }

// A file whose pixels or runs need more memory than there is fails alone;
// the batch and the files under way on other threads go on.  Answers
// whether work ran without running out.
template <typename Work>
bool WithinMemory(Work work) {
  try {
    work();
    return true;
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  return false;
}

constexpr const char* kOutOfMemory = "out of memory";
constexpr const char* kCancelled = "cancelled; original kept";

class Batch {
 public:
  Batch(const CliOptions& options, StopFlags& stop, const BatchHooks& hooks, int threads)
      : m_options(options),
        m_stop(stop),
        m_hooks(hooks),
        m_threads(threads),
        m_display(options.quiet, options.json || options.toStdout),
        m_contexts(size_t(threads)) {}

  BatchSummary Run() {
    CheckTargets();
    m_display.SetTotal(m_summary.files);
    // A -j the system cannot start threads for (a memory limit, a process
    // limit) runs on the workers it did start, or on this thread alone; a
    // failed start must not end the batch.
    std::vector<std::thread> workers;
    workers.reserve(size_t(m_threads));
    for (int i = 0; i < m_threads; ++i) {
      try {
        workers.emplace_back([this, i] { WorkerLoop(i); });
      } catch (const std::exception&) {
        break;
      }
    }
    if (workers.empty()) WorkerLoop(0);
    m_display.RunUntil([this] {
      std::lock_guard<std::mutex> lock(m_mutex);
      return m_active == 0 && m_queue.empty();
    });
    for (std::thread& w : workers) w.join();
    return m_summary;
  }

 private:
  // Every target is checked before any work: a file that cannot be written
  // is reported now and never started.
  void CheckTargets() {
    std::vector<InputFile> inputs;
    std::vector<UnusableInput> unusable;
    ListInputs(m_options, inputs, unusable);
    for (const UnusableInput& given : unusable) {
      FileState file;
      file.input.name = given.name;
      file.index = ++m_summary.files;
      Report(file, FailedOutcome(file, given.reason));
    }
    std::map<std::string, std::string> targets;
    for (const InputFile& input : inputs) {
      auto file = std::make_shared<FileState>();
      file->input = input;
      file->index = ++m_summary.files;
      if (input.standardInput) {
        std::string error;
        if (!ReadStandardInput(file->image.bytes, error)) {
          Report(*file, FailedOutcome(*file, error));
          continue;
        }
      } else {
        file->haveStat = ::stat(input.path.c_str(), &file->inputStat) == 0;
      }
      const bool png = input.standardInput ? file->image.bytes.size() >= 8 && file->image.bytes[0] == 0x89
                                           : LooksLikePng(input.path);
      std::string reason;
      const TargetCheck check = ChooseOutputTarget(input, png, m_options, file->target, reason);
      if (check == TargetCheck::Ok && !file->target.toStdout) {
        const std::string key = file->target.path.lexically_normal().string();
        const auto [it, fresh] = targets.emplace(key, input.name);
        if (!fresh) {
          Report(*file, FailedOutcome(*file, "writes the same file as " + it->second + " (" + key + ")"));
          continue;
        }
      }
      if (check == TargetCheck::Ok) {
        m_queue.push_back({file, -1});
      } else {
        FileOutcome outcome = FailedOutcome(*file, reason);
        if (check == TargetCheck::Skip) outcome.status = FileOutcome::Status::Skipped;
        Report(*file, outcome);
      }
    }
  }

  static bool ReadStandardInput(std::vector<uint8_t>& bytes, std::string& error) {
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    if (std::ferror(stdin)) {
      error = "cannot read standard input";
      return false;
    }
    // Nothing read would otherwise send the load looking for a file named "".
    if (bytes.empty()) {
      error = "standard input is empty";
      return false;
    }
    return true;
  }

  void WorkerLoop(int slot) {
    for (;;) {
      WorkItem item;
      {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_wake.wait(lock, [this] { return !m_queue.empty() || m_active == 0; });
        if (m_queue.empty()) {
          m_display.Wake();
          return;
        }
        item = m_queue.front();
        m_queue.pop_front();
        ++m_active;
      }
      std::unique_ptr<EngineContext> ctx = m_contexts.Borrow();
      bool prepared = false;
      if (item.run < 0) {
        prepared = Prepare(ctx.get(), item.file);
      } else {
        DoRun(ctx.get(), slot, item);
      }
      if (ctx) m_contexts.GiveBack(std::move(ctx));
      if (prepared) QueueRuns(item.file);
      std::lock_guard<std::mutex> lock(m_mutex);
      --m_active;
      m_wake.notify_all();
      m_display.Wake();
    }
  }

  // Reads and plans a file; true when its runs are ready to queue.  No
  // context: out of memory.
  bool Prepare(EngineContext* ctx, const std::shared_ptr<FileState>& file) {
    if (Interrupted(m_stop)) {
      Report(*file, SkippedOutcome(*file));
      return false;
    }
    std::string error;
    bool loaded = false, planned = false;
    const bool fits = ctx && WithinMemory([&] {
      loaded = LoadSourceImage(file->input.path, m_options, file->image, error);
      if (loaded) planned = PlanFileRuns(*ctx, *file, error);
    });
    if (!fits || !loaded || !planned) {
      file->image = SourceImage();
      // A cancel during the analysis stops the engine like a failure; its
      // message would blame the image.
      if (loaded && m_stop.cancel) {
        Report(*file, FailedOutcome(*file, kCancelled));
        return false;
      }
      const std::string reason = !fits ? kOutOfMemory : loaded ? InCliTerms(error) : error;
      Report(*file, FailedOutcome(*file, reason));
      return false;
    }
    for (RunSettings& run : file->runs) run.label = file->input.name + " " + DescribeRun(run);
    file->results.resize(file->runs.size());
    file->pendingRuns = static_cast<int>(file->runs.size());
    return true;
  }

  // The runs of a file just prepared go to the front of the queue, so a
  // started file finishes first.  Called after the preparing worker gave
  // its context back, for the first run to take it.
  void QueueRuns(const std::shared_ptr<FileState>& file) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (int i = static_cast<int>(file->runs.size()) - 1; i >= 0; --i) m_queue.push_front({file, i});
    m_wake.notify_all();
  }

  // An image the engine re-encodes gets the level's runs.  One whose rows
  // are kept gets a recompression run, and, for an animation whose default
  // image the engine can write in the source's own format, engine runs held
  // to that format (their image data is used only when it matches).
  bool PlanFileRuns(EngineContext& ctx, FileState& file, std::string& error) {
    const SourceImage& image = file.image;
    if (!image.recompress) return PlanRuns(ctx, image, m_options, m_stop, file.runs, error);
    if (image.holdFormat) {
      CliOptions held = m_options;
      held.colortype = image.scan.colorType;
      held.colortypeGiven = true;
      held.bitdepth = image.scan.colorType == 0 || image.scan.colorType == 3 ? image.scan.bitDepth : 0;
      held.keeppal = image.scan.colorType == 3;
      std::string ignored;
      if (!PlanRuns(ctx, image, held, m_stop, file.runs, ignored)) file.runs.clear();
    }
    RunSettings recompress = BaseRunSettings(m_options);
    recompress.recompress = true;
    if (!m_options.filterGiven) recompress.rowSearchEffort = m_options.effort;
    recompress.redeflateLevel = OptimalLevelOf(m_options);
    file.runs.push_back(recompress);
    return true;
  }

  // No context: the run failed for want of memory.
  void DoRun(EngineContext* ctx, int slot, const WorkItem& item) {
    FileState& file = *item.file;
    const RunSettings& settings = file.runs[item.run];
    RunResult result;
    // After a stop request nothing new starts, not even a file's next run.
    if (!Interrupted(m_stop)) {
      RunProgress* progress = m_display.Begin(slot, file.input.name, file.index);
      if (!ctx || !WithinMemory([&] { result = RunOne(*ctx, file, settings, progress); })) {
        result = RunResult();
        result.message = kOutOfMemory;
      }
      m_display.End(slot);
    }
    bool last;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      file.results[item.run] = std::move(result);
      last = --file.pendingRuns == 0;
    }
    if (last && !WithinMemory([&] { Finish(file); })) {
      file.image = SourceImage();
      Report(file, FailedOutcome(file, std::string(kOutOfMemory) + "; original kept"));
    }
  }

  RunResult RunOne(EngineContext& ctx, FileState& file, const RunSettings& settings, RunProgress* progress) {
    RunResult result;
    if (settings.recompress) {
      result.ok = RecompressStreams(ctx, file.image, settings, m_stop, progress, file.recompressed);
      result.passes = 1;
      return result;
    }
    const bool echo = m_options.verbose && !m_options.json;
    result = RunEngine(ctx, file.image.AsRunInput(settings.keeppal != 0), settings, m_stop, progress, echo);
    if (result.ok && settings.redeflateLevel > 0 && !Interrupted(m_stop)) {
      result.redeflated = ImageDataRedeflate(result.png).AtLevel(settings.redeflateLevel);
    }
    return result;
  }

  // The smallest sound result: the engine's best, or for kept rows the
  // source rewritten around the recompressed streams.
  bool BestResult(FileState& file, std::vector<uint8_t>& png, int& winner) {
    winner = -1;
    for (size_t i = 0; i < file.results.size(); ++i) {
      const RunResult& r = file.results[i];
      if (!r.ok || file.runs[i].recompress) continue;
      if (winner < 0 || r.png.size() < file.results[winner].png.size()) winner = int(i);
    }
    if (!file.image.recompress) {
      if (winner < 0) return false;
      png = file.results[winner].png;
      // An explicit parse, split or pass limit is the user's; after a stop
      // request the file is wanted now.
      const int optimal = OptimalLevelOf(m_options);
      RunResult& best = file.results[winner];
      ImageDataRedeflate redeflate(png);
      if (optimal > 0 && !best.redeflated && !Interrupted(m_stop)) {
        best.redeflated = redeflate.AtLevel(optimal);
      }
      const size_t rawBytes = file.image.pixels.size() * 4;
      // The plans of one deflate are independent; they run on the threads.
      const deflate::RunEach onThreads = [this](size_t count, const std::function<void(size_t)>& fn) {
        search::ParallelFor(count, m_threads, fn);
      };
      const EffortLevel& effort = kEffortLevels[m_options.effort];
      WinnerRetrial retrial = WinnerRetrialOf(m_options, rawBytes);
      const bool deferred = retrial.replacesLevel && !retrial.sweeps.empty();
      // Every deflate but the last is one plan; the rows that go out get
      // the level's plans: a large image's retried rows (or its rows as
      // they are), else the rows the file holds after the other deflates.
      // Without sweeps the rows are deflated at the level only once, last,
      // in the level's plans.
      const std::vector<int> levels = WinnerOptimalLevelsOf(m_options, rawBytes);
      const bool lastOnly = retrial.sweeps.empty() && effort.winnerPlans > 1;
      for (int level : levels) {
        if (level == effort.winnerOptimalLevel && (deferred || lastOnly)) continue;
        if (!Interrupted(m_stop) && redeflate.AtLevel(level)) best.redeflated = true;
      }
      for (search::RetrialEffort& sweep : retrial.sweeps) {
        sweep.threads = m_threads;
        sweep.stop = &m_stop.cancel;
      }
      const bool retried = !retrial.sweeps.empty() && !Interrupted(m_stop) &&
                           redeflate.WithRetriedFilters(retrial.codeLevel, retrial.level, retrial.sweeps,
                                                        deferred ? retrial.plans : 1, onThreads);
      if (retried) best.redeflated = true;
      // The level's deflate left to the retrial: when no retried rows
      // replaced the stream (none changed, none smaller, or rows the
      // retrial does not take, such as a palette packed below 8 bits), the
      // rows as they are get it here.
      if (deferred && !retried && !Interrupted(m_stop) &&
          redeflate.AtLevel(retrial.level, retrial.plans, onThreads)) {
        best.redeflated = true;
      }
      if (!deferred && !levels.empty() && effort.winnerPlans > 1 && !Interrupted(m_stop) &&
          redeflate.AtLevel(effort.winnerOptimalLevel, effort.winnerPlans, onThreads)) {
        best.redeflated = true;
      }
      return true;
    }
    const int recompressRun = int(file.runs.size()) - 1;
    if (!file.results[recompressRun].ok) return false;
    bool usedEngine = false;
    png = AssembleRecompressed(file.image, file.recompressed, winner >= 0 ? &file.results[winner].png : nullptr,
                               usedEngine);
    if (!usedEngine) winner = recompressRun;
    return true;
  }

  void Finish(FileState& file) {
    if (m_stop.cancel) {
      Report(file, FailedOutcome(file, kCancelled));
      return;
    }
    std::vector<uint8_t> png;
    int winner = -1;
    if (!BestResult(file, png, winner)) {
      if (m_stop.finishAfterPass) {
        Report(file, SkippedOutcome(file));
      } else {
        const std::string& message = file.results.empty() ? std::string() : file.results[0].message;
        Report(file, FailedOutcome(file, message.empty() ? "the engine failed" : InCliTerms(message)));
      }
      return;
    }
    if (m_hooks.alterResult) m_hooks.alterResult(file.input.name, png);
    Report(file, DeliverResult(file, png, winner, m_options, m_mutex));
    file.image = SourceImage();  // release the pixels early; the batch may be long
  }

  void Report(const FileState& file, const FileOutcome& outcome) {
    std::lock_guard<std::mutex> lock(m_mutex);
    switch (outcome.status) {
      case FileOutcome::Status::Failed: ++m_summary.failed; break;
      case FileOutcome::Status::Skipped: ++m_summary.skipped; break;
      case FileOutcome::Status::Written: ++m_summary.written; [[fallthrough]];
      default: {
        // Only real savings count: a conversion that came out larger saved
        // nothing, it did not lose the difference, since its source stays.
        // A file rewritten in place that grew (--fix, --force) did grow on
        // disk, and the total says so.
        const bool grewInPlace = outcome.status == FileOutcome::Status::Written && file.target.replacesInput;
        m_summary.bytesBefore += outcome.before;
        m_summary.bytesAfter += grewInPlace || outcome.after < outcome.before ? outcome.after : outcome.before;
        break;
      }
    }
    if (m_options.json) {
      m_display.Line(JsonReport(outcome), false);
    } else {
      m_display.Line(PlainReport(outcome, m_options.verbose), outcome.status == FileOutcome::Status::Failed);
    }
  }

  const CliOptions& m_options;
  StopFlags& m_stop;
  const BatchHooks& m_hooks;
  const int m_threads;
  ProgressDisplay m_display;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::deque<WorkItem> m_queue;
  EngineContextPool m_contexts;
  int m_active = 0;
  BatchSummary m_summary;
};

}  // namespace

BatchSummary RunBatch(const CliOptions& options, StopFlags& stop, const BatchHooks& hooks) {
  int threads = options.threads > 0 ? options.threads : static_cast<int>(std::thread::hardware_concurrency());
  if (threads < 1) threads = 1;
  Batch batch(options, stop, hooks, threads);
  return batch.Run();
}
