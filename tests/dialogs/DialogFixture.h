// A save's options step without a host: the headless toolkit, a settings
// store in a temporary folder, a host that never aborts and a colour picker
// that answers as told.  Dialogs are driven by a list of user actions, each
// run once on the dialog then on top.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/VELKORPSUI/OptionsServices.h"
#include "common/VELKORPSUI/SettingsStore.h"
#include "engine/EncodeJob.h"
#include "platform/VirtualThreadServices.h"
#include "platform/posix/FileSettingsBackend.h"
#include "support/Oracles.h"
#include "ui/headless/HeadlessToolkit.h"

namespace dialogtest {

using ui::headless::HeadlessToolkit;
using ui::headless::HeadlessWindow;

class TestAnalysisHost final : public AnalysisHost {
 public:
  bool AbortRequested() override { return abort; }
  bool HasResult() const override { return true; }
  int16_t Result() const override { return result; }
  void SetResult(int16_t code) override { result = code; }
  bool HasErrorString() const override { return hasErrorString; }
  void SetErrorString(std::string_view text) override { errorString = text; }

  bool abort = false;
  bool hasErrorString = true;
  int16_t result = 0;
  std::string errorString;
};

class TestColors final : public ColorServices {
 public:
  bool ChooseColor(std::string_view prompt, int& space, Components& colour) override {
    prompts.push_back(std::string(prompt));
    askedSpaces.push_back(space);
    startColours.push_back(colour);
    if (!accept) return false;
    space = answerSpace;
    colour = answer;
    return true;
  }
  bool ConvertToRgb(int space, Components& colour) override {
    if (space == kGreySpace) colour = {colour[0], colour[0], colour[0], 0};
    return true;
  }

  bool accept = true;
  int answerSpace = kRgbSpace;
  Components answer{};
  std::vector<std::string> prompts;
  std::vector<int> askedSpaces;
  std::vector<Components> startColours;
};

// One action on the dialog on top.
using Action = std::function<void(HeadlessToolkit&, HeadlessWindow&)>;

class ActionDriver final : public ui::headless::DialogDriver {
 public:
  explicit ActionDriver(std::vector<Action> actions) : m_actions(std::move(actions)) {}
  Outcome Step(HeadlessToolkit& toolkit, HeadlessWindow& window) override {
    if (m_next == m_actions.size()) return Outcome::Finished;
    m_actions[m_next++](toolkit, window);
    return Outcome::Acted;
  }
  size_t Done() const { return m_next; }

 private:
  std::vector<Action> m_actions;
  size_t m_next = 0;
};

struct Fixture {
  oracle::TempDir folder;
  FileSettingsBackend backend{folder.path(), {}};
  SettingsStore store{backend};
  platform::VirtualThreadServices threads;
  HeadlessToolkit toolkit{threads};
  TestAnalysisHost host;
  TestColors colors;
  std::vector<std::string> helpTopics;
  OptionsServices services{toolkit, nullptr, store, host, &colors,
                           [this](ui::WindowHandle, const char* topic) { helpTopics.push_back(topic); }};

  // Runs `run` with the toolkit driven by `actions`.
  template <typename Run>
  auto Drive(std::vector<Action> actions, Run run) {
    const size_t count = actions.size();
    ActionDriver driver(std::move(actions));
    toolkit.SetDriver(&driver);
    auto result = run();
    toolkit.SetDriver(nullptr);
    EXPECT_EQ(driver.Done(), count) << "the dialogs ended before every action ran";
    return result;
  }
};

// Convenience actions.
inline Action Click(int id) {
  return [id](HeadlessToolkit& t, HeadlessWindow& w) { EXPECT_TRUE(t.UserClick(w, id)) << "click " << id; };
}
inline Action Type(int id, std::string text) {
  return [id, text](HeadlessToolkit& t, HeadlessWindow& w) { EXPECT_TRUE(t.UserType(w, id, text)) << "type " << id; };
}
inline Action Slide(int id, int pos) {
  return [id, pos](HeadlessToolkit& t, HeadlessWindow& w) { EXPECT_TRUE(t.UserSlide(w, id, pos)) << "slide " << id; };
}
inline Action Alt(bool down) {
  return [down](HeadlessToolkit& t, HeadlessWindow&) { t.UserKey(ui::kVirtualKeyAlt, !down); };
}

// A job over an image whose pixels the caller keeps alive.
inline EncodeJob JobFor(std::vector<uint32_t>& pixels, int width, int height) {
  EncodeJob job{};
  job.pixels = pixels.data();
  job.width = width;
  job.height = height;
  job.stride = width * 4;
  job.filter = -1;
  job.colortype = -1;
  job.splitthreshold = 256.0;
  return job;
}

}  // namespace dialogtest
