// Selector 14: the whole save, from the host's image to the PNG bytes in the
// host's data fork.
//
// In order: refuse modes and depths the engine cannot take; read the image
// into 32-bit pixels; gather the ancillary chunks of the document's source
// PNG file and add a pHYs for the document's resolution; let the user choose
// in the options dialogs (unless scripted playback says not to); run the
// engine on a worker thread under the progress dialog; write the file in one
// piece.  Every buffer goes back on every path (SaveBuffers), and nothing is
// written unless the engine produced a whole file.
#include <cmath>
#include <string>

#include "common/VELKORPSUI/RunOptionsDialog.h"
#include "common/VELKORPSUI/SettingsStore.h"
#include "common/pngchunks/ChunkBytes.h"
#include "common/pngchunks/ChunkList.h"
#include "common/pngchunks/PngChunk.h"
#include "host/EngineMessages.h"
#include "host/OptionsHost.h"
#include "host/SaveEngine.h"
#include "host/SaveImage.h"
#include "host/Selectors.h"
#include "host/SourceChunks.h"
#include "host/SourceFile.h"
#include "ui/ModuleUi.h"
#include "ui/ProgressRun.h"

namespace host {

namespace {

// Positive results: the user has been told already.
constexpr OSErr kToldCannotConvert = 30501;
constexpr OSErr kToldWriteFailure = 20;

constexpr char kUnsupportedModeText[] =
    "Unable to convert file.  The current Image mode is not supported.\nChoose either RGB or Indexed color mode.";
constexpr char kUnsupportedModeTitle[] = "Unsupported Image Mode";
constexpr char kUnsupportedDepthText[] = "VELKOR cannot process 16 bit or higher channel data";
constexpr char kUnsupportedDepthTitle[] = "Unsupported Channel Depth";
constexpr char kWriteFailureText[] = "VELKOR was unable to write the file.";
constexpr char kWriteFailureTitle[] = "Write Failure";

// Inches per metre as the resolution chunk has always been computed.
constexpr double kInchesPerMetre = 39.37;

bool RefuseImage(HostContext& context) {
  const FormatRecord& record = *context.record;
  if (record.imageMode != plugInModeRGBColor && record.imageMode != plugInModeIndexedColor) {
    ShowErrorBox(kUnsupportedModeText, kUnsupportedModeTitle);
    context.Fail(kToldCannotConvert);
    return true;
  }
  if (record.depth >= 9) {
    ShowErrorBox(kUnsupportedDepthText, kUnsupportedDepthTitle);
    context.Fail(kToldCannotConvert);
    return true;
  }
  return false;
}

void ReportStartAndAbort(HostContext& context, int32_t height) {
  FormatRecord& record = *context.record;
  if (record.progressProc != nullptr) record.progressProc(0, height);
  if (record.abortProc != nullptr && record.abortProc() != 0) context.Fail(userCanceledErr);
}

SourceImageInfo GatherSourceFile(HostContext& context, EncodeJob& job) {
  SourceImageInfo source;
  std::string title;
  if (GetDocumentTitle(context, title) != noErr || !HasPngExtension(title)) return source;
  size_t size = 0;
  chunks::OwnedChunkBytes file(ReadWholeFile(title.c_str(), size));
  if (!file) return source;
  if (GatherSourceChunks(job, file.get(), size, context.chunkStore, FileBufferUse::MayBeKept, source)) {
    (void)file.release();  // the chunk store holds it now
  }
  return source;
}

uint32_t PixelsPerMetre(Fixed pixelsPerInch) {
  const double perMetre = std::floor(pixelsPerInch / 65536.0 * kInchesPerMetre + 0.5);
  return perMetre <= 0 ? 0 : static_cast<uint32_t>(perMetre);
}

// The chunk store must own the block the job's chunks point into.
void StoreChunkBlock(HostContext& context, const EncodeJob& job) {
  if (job.chunks != nullptr && job.chunkcount > 0 && !context.chunkStore.Holds(job.chunks[0])) {
    context.chunkStore.Set(job.chunks[0]);
  }
}

// The document's resolution as a pHYs that replaces the source file's.
void AddResolutionChunk(HostContext& context, EncodeJob& job) {
  const FormatRecord& record = *context.record;
  chunks::ChunkList list;
  for (const chunks::ChunkRef& ref : chunks::ChunkList::ListFlattened(job)) list.Add(ref.chunk, ref.group);
  const chunks::PhysChunk resolution(PixelsPerMetre(record.imageHRes), PixelsPerMetre(record.imageVRes), 1);
  list.Add(resolution.m_pChunk, chunks::BeforePalette);
  list.Flatten(job);
  StoreChunkBlock(context, job);
}

bool RunOptions(HostContext& context, EncodeJob& job, const SourceImageInfo& source) {
  ui::ModuleUi& moduleUi = ui::TheModuleUi();
  const std::unique_ptr<SettingsBackend> backend = CreateUserSettingsBackend();
  SettingsStore store(*backend);
  HostAnalysis analysis(context);
  HostColors colors(context.record->colorServices);
  OptionsServices services{moduleUi.toolkit, context.plugInRef, store, analysis,
                           context.record->colorServices != nullptr ? &colors : nullptr,
                           [](ui::WindowHandle owner, const char* topic) { ui::OpenHelp(owner, topic); }};
  return RunOptionsDialog(services, job, source.colorType, source.bitDepth, ui::MaximumPassesSlot());
}

void EncodeAndWrite(HostContext& context, EncodeJob& job) {
  FormatRecord& record = *context.record;
  ClearEngineMessage();
  ui::ModuleUi& moduleUi = ui::TheModuleUi();
  ui::ProgressRunContext run{moduleUi.toolkit, moduleUi.threads, SaveEngine(), context.plugInRef, context.result};
  const int length = ui::RunEngineWithProgress(run, job);
  if (length != kEncodeFailed) {
    int32_t count = length;
    context.Fail(WriteDataFork(record.dataFork, &count, job.kbuf));
    if (record.progressProc != nullptr) record.progressProc(job.height, job.height);
    return;
  }
  if (context.Result() == userCanceledErr) return;
  std::string text = kWriteFailureText;
  if (LastEngineMessage()[0] != '\0') text += std::string("\n") + LastEngineMessage();
  ShowErrorBox(text, kWriteFailureTitle);
  context.Fail(kToldWriteFailure);
}

}  // namespace

void WriteStart(HostContext& context) {
  if (RefuseImage(context)) return;
  const bool showDialog = ShouldShowDialog(context);
  if (!context.Ok()) return;
  FormatRecord& record = *context.record;
  if (SetDataForkPosition(record.dataFork, 0, 0) != noErr) {
    context.Fail(writErr);
    return;
  }
  SaveBuffers save(context);
  if (!ReadHostImage(context, save)) return;
  EncodeJob& job = save.job;
  if (context.Ok()) ReportStartAndAbort(context, job.height);

  const SourceImageInfo source = GatherSourceFile(context, job);
  AddResolutionChunk(context, job);
  // Shown even after an abort or a failed pixel request: only the flag
  // decides, and the engine then does not run.
  if (showDialog && !RunOptions(context, job, source)) context.Fail(userCanceledErr);

  // The engine never sees a palette from the host or the source file.
  job.pal = nullptr;
  job.palcount = 0;
  StoreChunkBlock(context, job);
  if (context.Ok()) EncodeAndWrite(context, job);
}

}  // namespace host
