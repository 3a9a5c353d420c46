// The thin layer between the frame and the host's published interface:
// suites acquired on first use and all released at the end of a sequence,
// the handle and buffer suites, the data fork through the platform's file
// calls, the document title, image size and rectangle accessors that honour
// the 32-bit coordinate agreement, the scripting descriptors and the
// document's image resources.
//
// Everything works on one HostContext: the records and slots of the current
// call plus what outlives a call (the acquired suites, the decoded pixels of
// an open, the chunk block of a save).  PluginMain owns the one context of
// the module and hands it to each selector's action.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>

#include "common/pngchunks/ChunkStore.h"
#include "host/HostInterface.h"

namespace host {

// The host suites in release order.
enum class Suite : uint8_t {
  ActionControl,
  ActionDescriptor,
  ActionList,
  ActionReference,
  ActionReferenceHelpers,
  Handle,
  UIHooks,
  ZString,
  Access,
  GetFileList,
  Buffer,
  ChannelPorts,
  Runtime,
  Property,
  AliasUtility,
};
constexpr size_t kSuiteCount = 15;

struct SuiteEntry {
  const char* name;
  int32_t version;
  const void* suite;  // null until first acquired
};

// A failed suite acquisition: the host's code, or 'Parm' without a basic suite.
class SuiteError : public std::runtime_error {
 public:
  explicit SuiteError(SPErr code) : std::runtime_error("host suite refused"), m_code(code) {}
  SPErr code() const { return m_code; }

 private:
  SPErr m_code;
};

struct HostContext {
  // Taken afresh at the start of every call.
  FormatRecord* record = nullptr;
  int16_t* result = nullptr;
  intptr_t* data = nullptr;
  SPBasicSuite* basic = nullptr;
  SPPluginRef plugInRef = nullptr;

  // Kept until the sequence ends.
  std::array<SuiteEntry, kSuiteCount> suites = InitialSuites();
  // The decoded pixels of an open, from read start to read continue.
  char* decodedPixels = nullptr;
  // The chunk bytes a save's (or an open's) job points into; empty between calls.
  chunks::ChunkStore chunkStore;

  OSErr Result() const { return *result; }
  bool Ok() const { return *result == noErr; }
  // Sets the result unless an earlier step already set one.
  void Fail(OSErr code) {
    if (*result == noErr) *result = code;
  }

  static std::array<SuiteEntry, kSuiteCount> InitialSuites();
};

// ----- suites

// The suite's pointer, acquired through the basic suite on first use.
// Throws SuiteError when the host refuses it or offers no basic suite.
const void* GetSuite(HostContext& context, Suite suite);
// Releases every acquired suite and forgets its pointer.
void ReleaseAllSuites(HostContext& context);

// ----- handle suite

Handle NewHandle(HostContext& context, int32_t size);
void DisposeHandle(HostContext& context, Handle handle);
// Locks the handle and returns its bytes (null when the host gives none).
char* LockHandle(HostContext& context, Handle handle);
void UnlockHandle(HostContext& context, Handle handle);
int32_t GetHandleSize(HostContext& context, Handle handle);

// ----- buffer suite

// A buffer of exactly `size` bytes (requested and minimum alike), or null
// when the host refuses it or the size does not fit the suite's 32 bits.
char* NewBuffer(HostContext& context, uint64_t size);
// Gives the buffer back and clears the pointer; nothing for null.
void DisposeBuffer(HostContext& context, char*& buffer);

// ----- data fork (never throw)

// Reads *count bytes; 0 when all were read, else readErr.  *count becomes
// the number read.
OSErr ReadDataFork(DataForkHandle fork, int32_t* count, void* buffer);
// Writes *count bytes; 0 when all were written, else writErr.
OSErr WriteDataFork(DataForkHandle fork, int32_t* count, const void* buffer);
// Moves to `offset` (mode 0: from the start, 1: from the current position,
// 2: from the end); 0 when the new position equals the offset, else writErr.
OSErr SetDataForkPosition(DataForkHandle fork, int16_t mode, int32_t offset);
// The size of the file behind the handle; false when it cannot be had.
bool GetDataForkSize(DataForkHandle fork, uint64_t& size);
// A read-only stream over a duplicate of the handle, positioned where the
// handle is; closing it leaves the host's handle open.  Null on failure.
FILE* OpenDataForkStream(DataForkHandle fork);

// ----- document title

// The document's title through the property procedures: 0 and the text, or
// paramErr without a record or property procedures, the host's error, or
// errPlugInHostInsufficient for an empty or unlockable handle.
OSErr GetDocumentTitle(HostContext& context, std::string& title);

// ----- image size and rectangle

struct ImageSize {
  int32_t height;
  int32_t width;
};

bool UsesWideCoordinates(const FormatRecord& record);
ImageSize GetImageSize(const FormatRecord& record);
// False, with nothing stored, when the size needs the 32-bit fields and the
// host and module have not agreed on them.
bool SetImageSize(FormatRecord& record, int32_t height, int32_t width);
bool SetImageRect(FormatRecord& record, int32_t top, int32_t left, int32_t bottom, int32_t right);

// ----- scripting

bool DescriptorsUsable(const FormatRecord& record);
// Write start: whether to show the options dialog.  Reads and discards a
// played-back descriptor.
bool ShouldShowDialog(HostContext& context);
// Read start: reads and discards a played-back descriptor; a closing error
// other than errAEParamMissed becomes the result.
void DiscardReadDescriptor(HostContext& context);
// Read and write finish: hands the host an empty descriptor, so the step is
// recorded with no parameters.
void HandBackEmptyDescriptor(HostContext& context);

// ----- image resources

OSErr AddImageResource(HostContext& context, OSType type, Handle data);

// ----- messages

// An error box (stop icon, OK) owned by the active window.
void ShowErrorBox(std::string_view text, std::string_view title);

}  // namespace host
