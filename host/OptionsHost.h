// The host's side of the options dialogs: the colour analysis reaches the
// host's abort question, result slot and error string, and the background
// picker the host's colour services, through the records of the current
// call.
#pragma once

#include <string_view>

#include "common/VELKORPSUI/AnalyzeColors.h"
#include "common/VELKORPSUI/OptionsServices.h"
#include "host/HostServices.h"

namespace host {

class HostAnalysis final : public AnalysisHost {
 public:
  explicit HostAnalysis(HostContext& context) : m_context(context) {}
  bool AbortRequested() override;
  bool HasResult() const override { return m_context.result != nullptr; }
  int16_t Result() const override { return *m_context.result; }
  // A code an earlier step of the save set stays: the analysis may run after
  // a failed pixel request, and its abort must not hide the host's error.
  void SetResult(int16_t code) override { m_context.Fail(code); }
  bool HasErrorString() const override;
  void SetErrorString(std::string_view text) override;

 private:
  HostContext& m_context;
};

class HostColors final : public ColorServices {
 public:
  explicit HostColors(ColorServicesProc proc) : m_proc(proc) {}
  bool ChooseColor(std::string_view prompt, int& space, Components& colour) override;
  bool ConvertToRgb(int space, Components& colour) override;

 private:
  ColorServicesProc m_proc;
};

}  // namespace host
