// The progress run on a virtual clock with a fake engine: no test here
// sleeps, however many seconds the runs last on their clock.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <vector>

#include "platform/MessageBox.h"
#include "platform/VirtualThreadServices.h"
#include "ui/ProgressRun.h"
#include "ui/headless/DialogScript.h"

namespace {

using namespace ui;
using namespace ui::headless;

// One moment of the fake engine: after sleeping `afterMs` on the clock it
// publishes pass and percent, then polls with `poll` (-1: no poll).
struct FakeStep { uint32_t afterMs; int pass; int percent; int poll; };

// The engine a test swaps in: runs its steps, honouring poll as the real
// engine does (checkpoint 0 stops with the output so far, 1 aborts).
struct FakeEngine {
  platform::ThreadServices* clock = nullptr;
  std::vector<FakeStep> steps;
  int output = 5000;
  bool throws = false;
  std::vector<int> passesAtStop;
  int polls = 0;

  int Run(EncodeJob* job) {
    if (throws) throw std::runtime_error("engine failure");
    for (const FakeStep& step : steps) {
      clock->Sleep(step.afterMs);
      job->pass = step.pass;
      job->percent = step.percent;
      if (step.poll < 0) continue;
      ++polls;
      if (job->poll(step.poll) != 0) {
        passesAtStop.push_back(job->pass);
        return step.poll == 0 ? output : kEncodeFailed;
      }
    }
    return output;
  }
};

FakeEngine* g_engine = nullptr;
int RunFakeEngine(EncodeJob* job) { return g_engine->Run(job); }

// Refuses to start threads, as a system out of resources does.
class NoThreads final : public platform::VirtualThreadServices {
 public:
  std::unique_ptr<platform::ThreadHandle> StartThread(std::function<void()>) override { return nullptr; }
};

// Refuses events; a run without its done event must not start a worker.
class NoEvents final : public platform::VirtualThreadServices {
 public:
  std::unique_ptr<platform::AutoResetEvent> CreateAutoResetEvent() override { return nullptr; }
};

struct Outcome {
  int result;
  int16_t hostResult;
  std::vector<HeadlessToolkit::Shown> dialogs;
  std::string scriptError;
  size_t scriptLeft;
  uint64_t endedAtMs;
};

Outcome RunWithProgress(FakeEngine& engine, const char* script, platform::VirtualThreadServices& clock,
                        int maximumPasses = 0) {
  HeadlessToolkit toolkit(clock);
  ScriptDriver driver(ParseDialogScript(script).commands, "");
  toolkit.SetDriver(&driver);
  engine.clock = &clock;
  g_engine = &engine;
  int16_t hostResult = 0;
  ProgressRunContext context{toolkit, clock, RunFakeEngine, nullptr, &hostResult};
  *MaximumPassesSlot() = maximumPasses;
  EncodeJob job;
  std::memset(&job, 0, sizeof job);
  job.pass = -1;
  const int result = RunEngineWithProgress(context, job);
  EXPECT_EQ(job.poll, &ProgressPoll);
  return {result, hostResult, toolkit.History(), driver.Error(), driver.Remaining(), clock.NowMs()};
}

TEST(ProgressRun, UnderTwoSecondsShowsNoDialog) {
  platform::VirtualThreadServices clock;
  FakeEngine engine;
  engine.steps = {{500, 0, 50, 1}, {1400, 1, 100, 0}};
  const Outcome out = RunWithProgress(engine, "", clock);
  EXPECT_EQ(out.result, 5000);
  EXPECT_EQ(out.hostResult, 0);
  EXPECT_TRUE(out.dialogs.empty());
  EXPECT_EQ(out.endedAtMs, 1900u);
}

TEST(ProgressRun, LongRunShowsPassesStopsAfterThePassAndClosesItself) {
  platform::VirtualThreadServices clock;
  FakeEngine engine;
  engine.steps = {
      {100, -1, 10, 1},  {2400, -1, 40, 1}, {1000, 0, 10, 1}, {1000, 0, 55, 1}, {2000, 0, 100, 0},
      {1000, 1, 30, 1},  {1000, 1, 100, 0},
  };
  const Outcome out = RunWithProgress(engine,
                          "wait 109\n"
                          "expect 1104 Pass 0\n"
                          "expect 1104 40%\n"
                          "expect 1104 Pass 0, 10%\n"
                          "expect 1104 Pass 0, 55%\n"
                          "expect-state 1106 enabled\n"
                          "press 1106\n"
                          "expect-state 1106 disabled\n"
                          "expect title Waiting for pass to complete\n"
                          "expect 1104 Pass 0, 55% (Complete after this pass)\n",
                          clock);
  EXPECT_EQ(out.scriptError, "");
  EXPECT_EQ(out.scriptLeft, 0u);
  EXPECT_EQ(out.result, 5000);
  EXPECT_EQ(out.hostResult, 0);
  EXPECT_EQ(engine.passesAtStop, std::vector<int>{0}) << "stopped at the end of the pass under way";
  ASSERT_EQ(out.dialogs.size(), 1u);
  EXPECT_EQ(out.dialogs[0].resource, 109);
  EXPECT_EQ(out.dialogs[0].result, 1) << "closed by the tick that saw the worker end";
  // The engine ended at 6.5 s; the next whole-second tick closes the dialog.
  EXPECT_EQ(out.endedAtMs, 7000u);
}

TEST(ProgressRun, PassLimitStopsAtThatPassAndZeroNever) {
  const std::vector<FakeStep> fivePasses = {{10, 1, 100, 0}, {10, 2, 100, 0}, {10, 3, 100, 0}, {10, 4, 100, 0},
                                            {10, 5, 100, 0}};
  struct Case { int limit; std::vector<int> stoppedAt; int polls; };
  for (const Case& c : {Case{3, {3}, 3}, Case{0, {}, 5}, Case{1, {1}, 1}, Case{9, {}, 5}}) {
    platform::VirtualThreadServices clock;
    FakeEngine engine;
    engine.steps = fivePasses;
    const Outcome out = RunWithProgress(engine, "", clock, c.limit);
    EXPECT_EQ(engine.passesAtStop, c.stoppedAt) << "limit " << c.limit;
    EXPECT_EQ(engine.polls, c.polls) << "limit " << c.limit;
    EXPECT_EQ(out.result, 5000);
  }
}

TEST(ProgressRun, StaleCancelAndStopFlagsAreClearedWhenARunStarts) {
  platform::VirtualThreadServices clock;
  FakeEngine first;
  first.steps = {{3000, 1, 20, 1}, {1000, 1, 40, 1}};
  const Outcome cancelled = RunWithProgress(first, "wait 109\npress 1106\npress 2\n", clock);
  EXPECT_EQ(cancelled.result, kEncodeFailed);
  // Both flags are still set from that run; the next run must not see them.
  platform::VirtualThreadServices clock2;
  FakeEngine second;
  second.steps = {{100, 0, 50, 1}, {100, 1, 100, 0}, {100, 2, 100, 0}};
  const Outcome out = RunWithProgress(second, "", clock2);
  EXPECT_EQ(out.result, 5000);
  EXPECT_EQ(out.hostResult, 0);
  EXPECT_TRUE(second.passesAtStop.empty());
}

TEST(ProgressRun, CancelIsACancellationEvenWhenTheEngineDoesNotPollAgain) {
  struct Case { const char* name; std::vector<FakeStep> steps; std::vector<int> stoppedAt; };
  const Case cases[] = {
      {"engine stops at its next poll", {{3000, 0, 10, 1}, {5000, 0, 20, 1}, {1000, 0, 30, 1}}, {0}},
      {"engine finishes without polling", {{3000, 0, 10, 1}, {5000, 0, 20, -1}}, {}},
  };
  for (const Case& c : cases) {
    platform::VirtualThreadServices clock;
    FakeEngine engine;
    engine.steps = c.steps;
    const size_t boxesBefore = platform::DefaultMessageBoxes().TotalShown();
    const Outcome out = RunWithProgress(engine, "wait 109\nexpect 1104 Pass 0, 10%\npress 2\n", clock);
    EXPECT_EQ(out.result, kEncodeFailed) << c.name;
    EXPECT_EQ(out.hostResult, -128) << c.name;
    ASSERT_EQ(out.dialogs.size(), 1u) << c.name;
    EXPECT_EQ(out.dialogs[0].result, 2) << c.name;
    EXPECT_EQ(engine.passesAtStop, c.stoppedAt) << c.name;
    EXPECT_EQ(platform::DefaultMessageBoxes().TotalShown(), boxesBefore) << c.name;
  }
}

TEST(ProgressRun, NoWorkerThreadOrNoEventFlashesTheDialogAndReports109) {
  NoThreads noThreads;
  NoEvents noEvents;
  for (platform::VirtualThreadServices* clock : {static_cast<platform::VirtualThreadServices*>(&noThreads),
                                                 static_cast<platform::VirtualThreadServices*>(&noEvents)}) {
    FakeEngine engine;
    engine.steps = {{10, 0, 50, 1}};
    const Outcome out = RunWithProgress(engine, "", *clock);
    EXPECT_EQ(out.result, kEncodeFailed);
    EXPECT_EQ(out.hostResult, 109);
    ASSERT_EQ(out.dialogs.size(), 1u);
    EXPECT_EQ(out.dialogs[0].result, 1);
    EXPECT_EQ(out.endedAtMs, 2000u);
    EXPECT_EQ(engine.polls, 0) << "no engine ran";
  }
}

TEST(ProgressRun, AnEngineExceptionIsCaughtOnTheWorker) {
  platform::VirtualThreadServices clock;
  FakeEngine engine;
  engine.throws = true;
  const Outcome out = RunWithProgress(engine, "", clock);
  EXPECT_EQ(out.result, kEncodeFailed);
  EXPECT_EQ(out.hostResult, 0);
  EXPECT_TRUE(out.dialogs.empty());
}

TEST(ProgressRun, AWorkerOutlivingTheLongWaitIsCancelledAndWaitedFor) {
  platform::VirtualThreadServices clock;
  FakeEngine engine;
  // The dialog closes at once (the user cancels at 2 s) but the engine sits
  // in one long step for a minute before it touches the job and polls again.
  engine.steps = {{1000, 0, 10, 1}, {70000, 0, 20, 1}, {1000, 0, 30, 1}};
  const Outcome out = RunWithProgress(engine, "wait 109\npress 2\n", clock);
  EXPECT_EQ(out.result, kEncodeFailed);
  EXPECT_EQ(out.hostResult, -128);
  EXPECT_EQ(out.endedAtMs, 71000u) << "returned only when the worker had ended";
  EXPECT_EQ(clock.LiveThreads(), 0u);

  // A dialog that ended without the user's Cancel (here its script gave up
  // after two minutes): past fifty seconds of waiting the runner asks the
  // engine to stop.
  platform::VirtualThreadServices clock2;
  FakeEngine slow;
  slow.steps = {{1000, 0, 10, 1}, {300000, 0, 20, 1}, {1000, 0, 30, 1}};
  const Outcome ended = RunWithProgress(slow, "wait 109\nexpect 1104 never\n", clock2);
  EXPECT_EQ(ended.result, kEncodeFailed);
  EXPECT_NE(ended.scriptError, "");
  EXPECT_EQ(slow.passesAtStop, std::vector<int>{0});
  EXPECT_EQ(ended.hostResult, -128);
  EXPECT_EQ(ended.endedAtMs, 301000u);
  EXPECT_EQ(clock2.LiveThreads(), 0u);
}

}  // namespace
