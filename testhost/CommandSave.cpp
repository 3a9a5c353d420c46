// velkor-host save IN OUT [options]: opens IN through the module (read
// sequence), then saves the document through it (write sequence 13 to 16)
// into OUT, the document's title being IN's path as a host gives it.
//
//   --no-dialog            play back recorded parameters without a dialog
//   --mode NAME            the document's mode for the save (rgb, indexed,
//                          grey, cmyk, bitmap), without converting pixels
//   --depth N              the document's depth for the save
//   --as-indexed           turn the document into Indexed colour (at most
//                          256 colours); --transparent-index N marks one
//   --lut-count N          the Indexed document's colour table claims N
//                          entries, whatever it holds
//   --no-transparency      drop the transparency plane
//   --resolution DPI       the document's resolution
//   --title PATH|none      another title, or none at all
//   --colour R,G,B         the host offers colour services whose picker
//                          answers this colour (without it: no services)
//   --settings DIR         the user's settings live in DIR; otherwise in a
//                          temporary folder removed afterwards (Windows:
//                          the registry, whose key is cleared before and
//                          after unless --settings is given)
//
// The dialogs are shown (headless on Linux) unless --no-dialog; the global
// --dialog SCRIPT drives them.  OUT is created empty first, so a save that
// writes nothing leaves an empty file.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

#include "engine/EncodeJob.h"
#include "host/SaveEngine.h"
#include "platform/SettingsBackend.h"
#include "testhost/Commands.h"
#include "testhost/Module.h"
#include "testhost/StandInHost.h"

namespace testhost {

namespace {

struct SaveOptions {
  std::string in, out;
  bool noDialog = false;
  std::optional<int16_t> mode, depth;
  bool asIndexed = false;
  int16_t transparentIndex = -1;
  std::optional<int16_t> lutCount;
  bool noTransparency = false;
  std::optional<int> resolution;
  std::optional<std::string> title;  // "" for none
  std::optional<std::array<int16_t, 3>> colour;
  std::string settings;
};

constexpr char kUsage[] =
    "save IN OUT [--no-dialog] [--mode NAME] [--depth N] [--as-indexed [--transparent-index N]] "
    "[--lut-count N] [--no-transparency] [--resolution DPI] [--title PATH|none] [--colour R,G,B] [--settings DIR]";

bool ParseColour(const std::string& text, std::array<int16_t, 3>& colour) {
  int r = 0, g = 0, b = 0;
  char end = 0;
  if (std::sscanf(text.c_str(), "%d,%d,%d%c", &r, &g, &b, &end) != 3) return false;
  for (int v : {r, g, b}) {
    if (v < 0 || v > 255) return false;
  }
  colour = {int16_t(r), int16_t(g), int16_t(b)};
  return true;
}

bool ParseOptions(const std::vector<std::string>& args, SaveOptions& options) {
  if (args.size() < 2) return false;
  options.in = args[0];
  options.out = args[1];
  for (size_t i = 2; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    try {
      if (a == "--no-dialog") {
        options.noDialog = true;
      } else if (a == "--as-indexed") {
        options.asIndexed = true;
      } else if (a == "--no-transparency") {
        options.noTransparency = true;
      } else if (a == "--mode" && hasValue) {
        options.mode = ModeFromName(args[++i]);
        if (*options.mode < 0) return false;
      } else if (a == "--depth" && hasValue) {
        options.depth = static_cast<int16_t>(std::stoi(args[++i]));
      } else if (a == "--transparent-index" && hasValue) {
        options.transparentIndex = static_cast<int16_t>(std::stoi(args[++i]));
      } else if (a == "--lut-count" && hasValue) {
        options.lutCount = static_cast<int16_t>(std::stoi(args[++i]));
      } else if (a == "--resolution" && hasValue) {
        options.resolution = std::stoi(args[++i]);
      } else if (a == "--title" && hasValue) {
        const std::string title = args[++i];
        options.title = title == "none" ? std::string() : title;
      } else if (a == "--colour" && hasValue) {
        std::array<int16_t, 3> colour{};
        if (!ParseColour(args[++i], colour)) return false;
        options.colour = colour;
      } else if (a == "--settings" && hasValue) {
        options.settings = args[++i];
      } else {
        return false;
      }
    } catch (...) {
      return false;
    }
  }
  return true;
}

// The document as Indexed colour: one index plane over the distinct colours.
bool MakeIndexed(Document& doc, int16_t transparentIndex) {
  if (doc.mode != plugInModeRGBColor || doc.PlaneCount() < 3) return false;
  std::map<uint32_t, uint8_t> indices;
  std::vector<uint8_t> plane(doc.planes[0].size());
  for (size_t i = 0; i < plane.size(); ++i) {
    const uint32_t rgb = uint32_t{doc.planes[0][i]} << 16 | uint32_t{doc.planes[1][i]} << 8 | doc.planes[2][i];
    auto found = indices.find(rgb);
    if (found == indices.end()) {
      if (indices.size() == 256) return false;
      const uint8_t index = static_cast<uint8_t>(indices.size());
      doc.redLUT[index] = uint8_t(rgb >> 16);
      doc.greenLUT[index] = uint8_t(rgb >> 8);
      doc.blueLUT[index] = uint8_t(rgb);
      found = indices.emplace(rgb, index).first;
    }
    plane[i] = found->second;
  }
  doc.mode = plugInModeIndexedColor;
  doc.lutCount = static_cast<int16_t>(indices.size());
  doc.transparentIndex = transparentIndex;
  doc.hasTransparency = false;
  doc.planes.assign(1, plane);
  return true;
}

// The host's colour services: the picker answers the colour of --colour in
// RGB, whatever it was asked; conversions to RGB of a grey colour repeat the
// grey level.
std::array<int16_t, 3> g_pickedColour;

OSErr AnswerColour(ColorServicesInfo* info) {
  if (info->selector == plugIncolorServicesChooseColor) {
    const uint8_t* prompt = info->selectorParameter.pickerPrompt;
    std::printf("colour picker space %d prompt \"%.*s\" start %d,%d,%d\n", info->sourceSpace,
                prompt ? prompt[0] : 0, prompt ? reinterpret_cast<const char*>(prompt + 1) : "",
                info->colorComponents[0], info->colorComponents[1], info->colorComponents[2]);
    info->resultSpace = plugIncolorServicesRGBSpace;
    for (int i = 0; i < 3; ++i) info->colorComponents[i] = g_pickedColour[i];
    info->colorComponents[3] = 0;
    return noErr;
  }
  if (info->selector == plugIncolorServicesConvertColor && info->sourceSpace == plugIncolorServicesGraySpace) {
    info->colorComponents[1] = info->colorComponents[2] = info->colorComponents[0];
    return noErr;
  }
  return info->sourceSpace == info->resultSpace ? noErr : paramErr;
}

// The engine of --fault engine-fails: it says why it fails the way the real
// engine does when an allocation fails, and produces nothing.
int FailingEngine(EncodeJob* job) {
  if (job->print != nullptr) job->print("\rmalloc failed (olinbuf)\n");
  return kEncodeFailed;
}

// Swaps the module's engine for FailingEngine while the save runs.
bool InstallFailingEngine(const Module& module) {
  auto install = reinterpret_cast<SetSaveEngineProc>(module.Symbol(kSetSaveEngineSymbol));
  if (install == nullptr) return false;
  install(FailingEngine);
  return true;
}

// Points the module's settings at `folder` for this process.  On Windows
// the settings live in the registry of the running prefix instead: without
// --settings the module's key is removed before the save and again after
// it, so that every such save starts from nothing remembered, as on Linux,
// and leaves nothing for the next one (a remembered Advanced dialog would
// otherwise open in place of the Simple one a script waits for).
class SettingsFolder {
 public:
#ifdef _WIN32
  explicit SettingsFolder(const std::string& chosen) : m_temporary(chosen.empty()) { Forget(); }
  ~SettingsFolder() { Forget(); }

 private:
  void Forget() const {
    if (m_temporary) RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKeyPath);
  }
  bool m_temporary;
};
#else
  explicit SettingsFolder(const std::string& chosen) {
    if (chosen.empty()) {
      char pattern[] = "/tmp/velkor-host-settings-XXXXXX";
      if (mkdtemp(pattern) != nullptr) m_temporary = pattern;
    }
    const std::string folder = chosen.empty() ? m_temporary : chosen;
    if (!folder.empty()) setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
  }
  ~SettingsFolder() {
    std::error_code ignored;
    if (!m_temporary.empty()) std::filesystem::remove_all(m_temporary, ignored);
  }

 private:
  std::string m_temporary;
};
#endif

int RunSave(CommandContext& context) {
  SaveOptions options;
  if (!ParseOptions(context.args, options)) {
    std::fprintf(stderr, "usage: %s\n", kUsage);
    return kExitUsage;
  }
  StandInHost& host = context.host;
  SettingsFolder settings(options.settings);

  // The document is opened as a sound host opens it: the faults are for the save.
  const Faults faults = host.faults();
  host.faults() = Faults{};
  if (!host.OpenDataFork(options.in, ForkAccess::Read)) {
    std::fprintf(stderr, "velkor-host: cannot open %s\n", options.in.c_str());
    return 1;
  }
  host.PrepareRecord();
  const int16_t opened = host.RunSequence(context.module, {1, 2, 3, 4});
  host.CloseDataFork();
  if (opened != noErr) return 1;
  host.faults() = faults;
  if (faults.failingEngine && !InstallFailingEngine(context.module)) {
    std::fprintf(stderr, "velkor-host: the module cannot swap its engine\n");
    return 1;
  }

  Document& doc = host.document();
  doc.title = options.title.value_or(options.in);
  if (options.noTransparency && doc.mode == plugInModeRGBColor && doc.PlaneCount() == 4) {
    doc.planes.pop_back();
    doc.hasTransparency = false;
  }
  if (options.asIndexed && !MakeIndexed(doc, options.transparentIndex)) {
    std::fprintf(stderr, "velkor-host: %s has more than 256 colours\n", options.in.c_str());
    return 1;
  }
  if (options.lutCount) doc.lutCount = *options.lutCount;
  if (options.resolution) doc.hres = doc.vres = *options.resolution << 16;
  if (options.mode) doc.mode = *options.mode;
  if (options.depth) doc.depth = *options.depth;
  if (options.noDialog) {
    // Scripted playback of a recorded step that asks for no dialog.
    host.faults().playInfo = plugInDialogDontDisplay;
    if (host.faults().descriptorKeys < 0) host.faults().descriptorKeys = 0;
  }

  // An empty file, as a host creates it before the save.
  if (std::FILE* created = std::fopen(options.out.c_str(), "wb")) std::fclose(created);
  if (!host.OpenDataFork(options.out, ForkAccess::ReadWrite)) {
    std::fprintf(stderr, "velkor-host: cannot create %s\n", options.out.c_str());
    return 1;
  }
  host.PrepareRecord();
  uint8_t errorString[256] = {};
  host.record().errorString = errorString;
  if (options.colour) {
    g_pickedColour = *options.colour;
    host.record().colorServices = AnswerColour;
  }
  const int16_t saved = host.RunSequence(context.module, {13, 14, 15, 16});
  host.CloseDataFork();
  if (errorString[0] != 0) {
    std::printf("error string \"%.*s\"\n", errorString[0], reinterpret_cast<const char*>(errorString + 1));
  }
  std::printf("save result %d\n", saved);
  return saved == noErr ? kExitOk : 1;
}

const CommandRegistration kSave{"save", kUsage, RunSave};

}  // namespace

}  // namespace testhost
