// The module's one entry point: checks the host, refreshes the module's
// view of the host's records, dispatches the selector and releases the host
// suites at the end of a sequence or after any failure.
#include <cstdint>
#include <limits>
#include <new>

#include "host/HostInterface.h"
#include "host/HostServices.h"
#include "host/Selectors.h"

namespace host {

namespace {

// The one context of the loaded module.  The host calls on one thread and
// never overlaps calls, so it needs no lock.
HostContext& ModuleContext() {
  static HostContext context;
  return context;
}

bool HostIsSufficient(const FormatRecord& record) {
  const ResourceProcs* resources = record.resourceProcs;
  return resources != nullptr && resources->countProc != nullptr && resources->getProc != nullptr &&
         resources->addProc != nullptr && record.advanceState != nullptr;
}

bool EndsSequence(int16_t selector) {
  switch (selector) {
    case formatSelectorAbout:
    case formatSelectorReadFinish:
    case formatSelectorOptionsFinish:
    case formatSelectorEstimateFinish:
    case formatSelectorWriteFinish:
    case formatSelectorFilterFile:
      return true;
    default:
      return false;
  }
}

void SetData(HostContext& context, intptr_t value) {
  if (context.data != nullptr) *context.data = value;
}

void RunSelector(HostContext& context, int16_t selector) {
  FormatRecord& record = *context.record;
  switch (selector) {
    case formatSelectorReadPrepare:
    case formatSelectorOptionsPrepare:
    case formatSelectorEstimatePrepare:
    case formatSelectorWritePrepare:
      record.maxData = 0;
      break;
    case formatSelectorReadStart:
      ReadStart(context);
      break;
    case formatSelectorReadContinue:
      ReadContinue(context);
      break;
    case formatSelectorReadFinish:
      ReadFinish(context);
      break;
    case formatSelectorOptionsStart:
      SetData(context, 0);
      break;
    case formatSelectorEstimateStart:
      record.minDataBytes = record.maxDataBytes = EstimateFileSize(record);
      SetData(context, 0);
      break;
    case formatSelectorWriteStart:
      WriteStart(context);
      break;
    case formatSelectorWriteFinish:
      HandBackEmptyDescriptor(context);
      break;
    case formatSelectorFilterFile:
      context.Fail(FilterFile(record.dataFork));
      break;
    default:  // continue and finish steps that do nothing, unknown selectors
      break;
  }
}

// A host code is passed on when it is one; anything else (a suite-layer code
// such as 'Parm', a positive number) becomes "host insufficient".
OSErr ResultForSuiteError(SPErr code) {
  if (code < 0 && code >= std::numeric_limits<int16_t>::min()) return static_cast<OSErr>(code);
  return errPlugInHostInsufficient;
}

// Gives back what the sequence still holds: the decoded pixels of an open
// that never reached read continue, then every suite.
void ReleaseSequence(HostContext& context) {
  try {
    DisposeBuffer(context, context.decodedPixels);
  } catch (const SuiteError&) {
    context.decodedPixels = nullptr;
  }
  context.chunkStore.Clear();
  ReleaseAllSuites(context);
}

void Dispatch(HostContext& context, int16_t selector, void* formatRecord) {
  if (selector == formatSelectorAbout) {
    // Selector 0 brings an about record, which has no other fields.
    const AboutRecord* about = static_cast<const AboutRecord*>(formatRecord);
    context.record = nullptr;
    context.basic = about != nullptr ? about->sSPBasic : nullptr;
    context.plugInRef = about != nullptr ? about->plugInRef : nullptr;
    if (about != nullptr) ShowAboutBox(context, *about);
    return;
  }
  FormatRecord* record = static_cast<FormatRecord*>(formatRecord);
  context.record = record;
  context.plugInRef = record->plugInRef;
  context.basic = record->sSPBasic;
  if (record->HostSupports32BitCoordinates) record->PluginUsing32BitCoordinates = 1;
  if (context.Ok()) RunSelector(context, selector);
}

}  // namespace

int32_t EstimateFileSize(const FormatRecord& record) {
  const ImageSize size = GetImageSize(record);
  const int64_t width = size.width < 0 ? 0 : size.width;
  const int64_t height = size.height < 0 ? 0 : size.height;
  const int64_t depth = record.depth < 0 ? 0 : record.depth;
  const int64_t planes = record.planes < 0 ? 0 : record.planes;
  const int64_t bytesPerPlaneRow = (depth * width + 7) / 8;
  const int64_t overhead = record.imageMode == plugInModeIndexedColor ? 804 : 36;
  const int64_t estimate = int64_t{record.imageRsrcSize} + bytesPerPlaneRow * planes * height + overhead;
  constexpr int64_t kLargest = std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(estimate > kLargest ? kLargest : estimate < 0 ? 0 : estimate);
}

OSErr FilterFile(DataForkHandle fork) {
  OSErr error = SetDataForkPosition(fork, 0, 0);
  if (error != noErr) return error;
  uint8_t header[36];
  int32_t count = sizeof header;
  if (ReadDataFork(fork, &count, header) != noErr) return readErr;
  static constexpr uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
  for (int i = 0; i < 8; ++i)
    if (header[i] != kSignature[i]) return formatCannotRead;
  return header[24] > 8 ? formatCannotRead : noErr;
}

}  // namespace host

extern "C" void PluginMain(int16_t selector, void* formatRecord, intptr_t* data, int16_t* result) {
  using namespace host;
  if (result == nullptr || formatRecord == nullptr) return;
  HostContext& context = ModuleContext();
  context.result = result;
  context.data = data;
  if (selector != formatSelectorAbout) {
    const FormatRecord& record = *static_cast<const FormatRecord*>(formatRecord);
    if (!HostIsSufficient(record)) {
      context.Fail(errPlugInHostInsufficient);
      // Nothing of this call is acquired; what an earlier call of the
      // sequence still holds is given back with the host's basic suite.
      context.record = nullptr;
      context.basic = record.sSPBasic;
      ReleaseSequence(context);
      return;
    }
  }
  try {
    Dispatch(context, selector, formatRecord);
  } catch (const SuiteError& error) {
    context.Fail(ResultForSuiteError(error.code()));
  } catch (const std::bad_alloc&) {
    context.Fail(memFullErr);
  } catch (...) {
    context.Fail(errPlugInHostInsufficient);
  }
  if (EndsSequence(selector) || !context.Ok()) {
    try {
      ReleaseSequence(context);
    } catch (...) {
      // Releasing calls the host only; there is nothing left to undo.
    }
  }
}
