// Shared pieces of the dialog tests: a driver made of a function, a
// dialog that records which of its operations ran, and a toolkit on a
// virtual clock to run it in.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/VirtualThreadServices.h"
#include "ui/ModalDialog.h"
#include "ui/headless/HeadlessToolkit.h"

namespace uitest {

using ui::headless::DialogDriver;
using ui::headless::HeadlessToolkit;
using ui::headless::HeadlessWindow;

// Runs `act` once per driver step; it returns false when it has nothing
// more to do.
class FunctionDriver final : public DialogDriver {
 public:
  explicit FunctionDriver(std::function<bool(HeadlessToolkit&, HeadlessWindow&)> act) : m_act(std::move(act)) {}
  Outcome Step(HeadlessToolkit& toolkit, HeadlessWindow& window) override {
    return m_act(toolkit, window) ? Outcome::Acted : Outcome::Finished;
  }

 private:
  std::function<bool(HeadlessToolkit&, HeadlessWindow&)> m_act;
};

class RecordingDialog : public ui::ModalDialog {
 public:
  using ModalDialog::ModalDialog;
  std::vector<std::string> calls;
  bool cancelEnds = true;

  void Init() override { calls.push_back("init"); }
  void Command(unsigned code, int id) override {
    calls.push_back("command " + std::to_string(code) + " " + std::to_string(id));
  }
  void Destroyed() override { calls.push_back("destroyed"); }
  void Ok() override {
    calls.push_back("ok");
    ModalDialog::Ok();
  }
  void Cancel() override {
    calls.push_back("cancel");
    if (cancelEnds) ModalDialog::Cancel();
  }
  ui::MessageResult Message(unsigned message, ui::MessageParam, ui::LongParam) override {
    calls.push_back("message " + std::to_string(message));
    return 7;
  }
};

struct Harness {
  platform::VirtualThreadServices services;
  HeadlessToolkit toolkit{services};
  RecordingDialog dialog{toolkit};
};

}  // namespace uitest
