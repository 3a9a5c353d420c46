// Suites, handles, buffers, title, coordinates, scripting and resources.
// The data fork's platform calls live in DataFork*.cpp.
#include "host/HostServices.h"

#include <cstring>
#include <limits>

#include "platform/MessageBox.h"

namespace host {

std::array<SuiteEntry, kSuiteCount> HostContext::InitialSuites() {
  // Release order.  Only the handle and buffer suites are used on the open
  // and save paths; the others stay listed so that a dialog needing one
  // finds it released with the rest.
  return {{
      {"df135115-c769-11d0-8079-00c04fd7ec47", 2, nullptr},
      {"bc1e4d70-f953-11d0-8d9f-00c04fd5f7ee", 2, nullptr},
      {"df135117-c769-11d0-8079-00c04fd7ec47", 2, nullptr},
      {"df135116-c769-11d0-8079-00c04fd7ec47", 1, nullptr},
      {"61e608b0-40fd-11d1-8da3-00c04fd5f7ee", 1, nullptr},
      {"Photoshop Handle Suite for Plug-ins", 2, nullptr},
      {"Photoshop UIHooks Suite for Plug-ins", 1, nullptr},
      {"AS ZString Suite", 1, nullptr},
      {"SP Access Suite", 3, nullptr},
      {"Photoshop GetFileList Suite for Plug-ins", 4, nullptr},
      {"Photoshop Buffer Suite for Plug-ins", 1, nullptr},
      {"Photoshop ChannelPorts Suite for Plug-ins", 3, nullptr},
      {"SP Runtime Suite", 5, nullptr},
      {"Photoshop Property Suite for Plug-ins", 1, nullptr},
      {"Photoshop Alias Utility Suite", 1, nullptr},
  }};
}

// ---------------------------------------------------------------- suites --

const void* GetSuite(HostContext& context, Suite suite) {
  SuiteEntry& entry = context.suites[static_cast<size_t>(suite)];
  if (entry.suite != nullptr) return entry.suite;
  if (context.basic == nullptr || context.basic->AcquireSuite == nullptr) throw SuiteError(kSPBadParameterError);
  const void* pointer = nullptr;
  SPErr error = context.basic->AcquireSuite(entry.name, entry.version, &pointer);
  if (error != 0) throw SuiteError(error);
  // A host that reports success without a suite refused it all the same.
  if (pointer == nullptr) throw SuiteError(kSPBadParameterError);
  entry.suite = pointer;
  return pointer;
}

void ReleaseAllSuites(HostContext& context) {
  for (SuiteEntry& entry : context.suites) {
    if (entry.suite == nullptr) continue;
    if (context.basic != nullptr && context.basic->ReleaseSuite != nullptr)
      context.basic->ReleaseSuite(entry.name, entry.version);
    entry.suite = nullptr;
  }
}

// ---------------------------------------------------------- handle suite --

namespace {

const PSHandleSuite2& Handles(HostContext& context) {
  return *static_cast<const PSHandleSuite2*>(GetSuite(context, Suite::Handle));
}

const PSBufferSuite1& Buffers(HostContext& context) {
  return *static_cast<const PSBufferSuite1*>(GetSuite(context, Suite::Buffer));
}

}  // namespace

Handle NewHandle(HostContext& context, int32_t size) { return Handles(context).New(size); }

void DisposeHandle(HostContext& context, Handle handle) {
  if (handle != nullptr) Handles(context).Dispose(handle);
}

char* LockHandle(HostContext& context, Handle handle) {
  char* address = nullptr;
  Handles(context).SetLock(handle, 1, &address, nullptr);
  return address;
}

void UnlockHandle(HostContext& context, Handle handle) {
  char* address = nullptr;
  Handles(context).SetLock(handle, 0, &address, nullptr);
}

int32_t GetHandleSize(HostContext& context, Handle handle) { return Handles(context).GetSize(handle); }

// ---------------------------------------------------------- buffer suite --

char* NewBuffer(HostContext& context, uint64_t size) {
  // The suite counts in 32 bits; a larger request must not wrap into a
  // smaller buffer that the caller would then overrun.
  if (size > std::numeric_limits<uint32_t>::max()) return nullptr;
  uint32_t requested = static_cast<uint32_t>(size);
  char* buffer = Buffers(context).New(&requested, requested);
  if (buffer != nullptr && requested < size) {
    Buffers(context).Dispose(&buffer);
    return nullptr;
  }
  return buffer;
}

void DisposeBuffer(HostContext& context, char*& buffer) {
  if (buffer == nullptr) return;
  Buffers(context).Dispose(&buffer);
  buffer = nullptr;
}

// -------------------------------------------------------- document title --

OSErr GetDocumentTitle(HostContext& context, std::string& title) {
  FormatRecord* record = context.record;
  if (record == nullptr || record->propertyProcs == nullptr || record->propertyProcs->getPropertyProc == nullptr)
    return paramErr;
  Handle handle = nullptr;
  OSErr error = record->propertyProcs->getPropertyProc(kPhotoshopSignature, propTitle, 0, nullptr, &handle);
  // Only a handle the host gave us is ours to dispose.
  if (handle == nullptr) return error != noErr ? error : errPlugInHostInsufficient;
  if (error == noErr) {
    int32_t size = GetHandleSize(context, handle);
    char* bytes = size < 1 ? nullptr : LockHandle(context, handle);
    if (bytes == nullptr) {
      error = errPlugInHostInsufficient;
    } else {
      title.assign(bytes, static_cast<size_t>(size));
      UnlockHandle(context, handle);
    }
  }
  DisposeHandle(context, handle);
  return error;
}

// ------------------------------------------------ image size and rectangle --

bool UsesWideCoordinates(const FormatRecord& record) {
  return record.HostSupports32BitCoordinates != 0 && record.PluginUsing32BitCoordinates != 0;
}

ImageSize GetImageSize(const FormatRecord& record) {
  if (UsesWideCoordinates(record)) return {record.imageSize32.v, record.imageSize32.h};
  return {record.imageSize.v, record.imageSize.h};
}

namespace {

bool FitsNarrow(int32_t value) {
  return value >= std::numeric_limits<int16_t>::min() && value <= std::numeric_limits<int16_t>::max();
}

}  // namespace

bool SetImageSize(FormatRecord& record, int32_t height, int32_t width) {
  if (UsesWideCoordinates(record)) {
    record.imageSize32 = {height, width};
    return true;
  }
  if (!FitsNarrow(height) || !FitsNarrow(width)) return false;
  record.imageSize = {static_cast<int16_t>(height), static_cast<int16_t>(width)};
  return true;
}

bool SetImageRect(FormatRecord& record, int32_t top, int32_t left, int32_t bottom, int32_t right) {
  if (UsesWideCoordinates(record)) {
    record.theRect32 = {top, left, bottom, right};
    return true;
  }
  if (!FitsNarrow(top) || !FitsNarrow(left) || !FitsNarrow(bottom) || !FitsNarrow(right)) return false;
  record.theRect = {static_cast<int16_t>(top), static_cast<int16_t>(left), static_cast<int16_t>(bottom),
                    static_cast<int16_t>(right)};
  return true;
}

// ------------------------------------------------------------- scripting --

bool DescriptorsUsable(const FormatRecord& record) {
  const PIDescriptorParameters* block = record.descriptorParameters;
  if (block == nullptr || block->descriptorParametersVersion != kCurrentDescriptorParametersVersion) return false;
  const ReadDescriptorProcs* read = block->readDescriptorProcs;
  const WriteDescriptorProcs* write = block->writeDescriptorProcs;
  if (read == nullptr || read->readDescriptorProcsVersion != kCurrentReadDescriptorProcsVersion ||
      read->numReadDescriptorProcs < kCurrentReadDescriptorProcsCount)
    return false;
  if (write == nullptr || write->writeDescriptorProcsVersion != kCurrentWriteDescriptorProcsVersion ||
      write->numWriteDescriptorProcs < kCurrentWriteDescriptorProcsCount)
    return false;
  if (read->openReadDescriptorProc == nullptr || read->closeReadDescriptorProc == nullptr ||
      read->getKeyProc == nullptr)
    return false;
  for (UnusedProc proc : read->valueProcs)
    if (proc == nullptr) return false;
  return write->openWriteDescriptorProc != nullptr && write->closeWriteDescriptorProc != nullptr &&
         write->putIntegerProc != nullptr && write->putFloatProc != nullptr;
}

namespace {

// Opens the played-back descriptor, walks its keys without using them,
// closes it and disposes it.  Returns the closing result; noErr when there
// was nothing to read.
OSErr ReadAndDisposeDescriptor(HostContext& context, PIDescriptorParameters& block) {
  const ReadDescriptorProcs* read = block.readDescriptorProcs;
  if (read == nullptr || block.descriptor == nullptr) return noErr;
  OSErr closing = noErr;
  if (read->openReadDescriptorProc != nullptr && read->closeReadDescriptorProc != nullptr &&
      read->getKeyProc != nullptr) {
    static const DescriptorKeyID kNoKeys[] = {0};
    PIReadDescriptor token = read->openReadDescriptorProc(block.descriptor, kNoKeys);
    if (token != nullptr) {
      DescriptorKeyID key = 0;
      DescType type = 0;
      int32_t flags = 0;
      while (read->getKeyProc(token, &key, &type, &flags)) {
      }
      closing = read->closeReadDescriptorProc(token);
    }
  }
  DisposeHandle(context, block.descriptor);
  block.descriptor = nullptr;
  return closing;
}

}  // namespace

bool ShouldShowDialog(HostContext& context) {
  if (context.record == nullptr || !DescriptorsUsable(*context.record)) return true;
  PIDescriptorParameters& block = *context.record->descriptorParameters;
  if (block.descriptor == nullptr) return true;
  ReadAndDisposeDescriptor(context, block);
  return block.playInfo == plugInDialogDisplay;
}

void DiscardReadDescriptor(HostContext& context) {
  if (context.record == nullptr || context.record->descriptorParameters == nullptr) return;
  OSErr closing = ReadAndDisposeDescriptor(context, *context.record->descriptorParameters);
  if (closing != noErr && closing != errAEParamMissed) context.Fail(closing);
}

void HandBackEmptyDescriptor(HostContext& context) {
  if (context.record == nullptr || context.record->descriptorParameters == nullptr) return;
  PIDescriptorParameters& block = *context.record->descriptorParameters;
  const WriteDescriptorProcs* write = block.writeDescriptorProcs;
  if (write == nullptr || write->openWriteDescriptorProc == nullptr || write->closeWriteDescriptorProc == nullptr)
    return;
  PIWriteDescriptor token = write->openWriteDescriptorProc();
  if (token == nullptr) return;
  DisposeHandle(context, block.descriptor);
  block.descriptor = nullptr;
  PIDescriptorHandle fresh = nullptr;
  write->closeWriteDescriptorProc(token, &fresh);
  block.descriptor = fresh;
}

// ------------------------------------------------------------- resources --

OSErr AddImageResource(HostContext& context, OSType type, Handle data) {
  FormatRecord* record = context.record;
  if (record == nullptr || record->resourceProcs == nullptr || record->resourceProcs->addProc == nullptr)
    return errPlugInHostInsufficient;
  return record->resourceProcs->addProc(type, data);
}

// -------------------------------------------------------------- messages --

void ShowErrorBox(std::string_view text, std::string_view title) { platform::ShowMessageBox(text, title); }

}  // namespace host
