// The host stand-in: a small image editor's side of the plug-in interface,
// with real behaviour.  It keeps a Document in memory, opens the document's
// data fork as a real file handle, and implements the basic, handle and
// buffer suites, the resource, property and descriptor procedures,
// advanceState (moving pixels between the document's planes and the
// module's buffer exactly as planeMap, colBytes, rowBytes and planeBytes
// say), progress and abort.
//
// It is also a strict host: every suite, handle and buffer is counted;
// handles and buffers start filled with 0xCD and are filled with 0xDD when
// given back (and kept until the sequence ends, so a write after disposal
// is caught); a request that reaches outside a buffer, a double disposal or
// anything the module still holds when a sequence ends is reported, and
// Problems() makes the stand-in exit non-zero.  Played-back descriptors are
// given to the module and recorded ones taken back at the sequence end.
//
// Callbacks of the interface carry no context, so one host is current at a
// time (the one whose Call is running).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "host/HostInterface.h"
#include "testhost/Document.h"
#include "testhost/Faults.h"

namespace testhost {

class Module;

enum class ForkAccess { Read, ReadWrite };

class StandInHost {
 public:
  StandInHost();
  ~StandInHost();
  StandInHost(const StandInHost&) = delete;
  StandInHost& operator=(const StandInHost&) = delete;

  Faults& faults() { return m_faults; }
  Document& document() { return m_document; }
  FormatRecord& record() { return m_record; }
  intptr_t& dataSlot() { return m_data; }

  // Opens `path` as the data fork (applying the fork faults); false when the
  // file cannot be opened.  The fork stays open until CloseDataFork or the
  // host ends.
  bool OpenDataFork(const std::string& path, ForkAccess access);
  void CloseDataFork();

  // Fills the record from the document and the faults, as a host does
  // before a sequence: sizes, mode, depth, planes, tables, resolution.
  void PrepareRecord();
  // Copies what the module described (mode, size, depth, planes,
  // resolution) back into the document.
  void TakeDescription();

  // Calls PluginMain with a fresh result slot, prints
  // "selector N result R", and at the end of a sequence (selectors 0, 4, 8,
  // 12, 16, 17, or a non-zero result) checks that the module holds nothing.
  int16_t Call(Module& module, int16_t selector);
  // Calls the selectors in order, stopping after the first non-zero result;
  // returns the last result.
  int16_t RunSequence(Module& module, const std::vector<int16_t>& selectors);

  // Things a sound module never does, found so far (printed as they occur).
  int Problems() const { return m_problems; }
  void Problem(const std::string& text);

  // Counters for the tests' tables.
  int buffersRequested() const { return m_buffersRequested; }
  int handlesRequested() const { return m_handlesRequested; }
  size_t liveHandles() const { return m_handles.size(); }
  size_t liveBuffers() const { return m_buffers.size(); }
  bool IsLiveHandle(Handle handle) const;

  // Interface callbacks (static trampolines reach the current host).
  OSErr AdvanceState();
  void Progress(int32_t done, int32_t total);
  SPErr AcquireSuite(const char* name, int32_t version, const void** suite);
  SPErr ReleaseSuite(const char* name, int32_t version);
  Handle NewHandle(int32_t size);
  void DisposeHandle(Handle handle);
  void SetLock(Handle handle, HostBoolean lock, char** address);
  int32_t HandleSize(Handle handle);
  char* NewBuffer(uint32_t* requested, uint32_t minimum);
  void DisposeBuffer(char** buffer);
  int16_t CountResources(OSType type);
  Handle GetResource(OSType type, int16_t index);
  OSErr AddResource(OSType type, Handle data);
  OSErr GetProperty(OSType signature, OSType key, int32_t index, intptr_t* simple, Handle* complex);
  PIReadDescriptor OpenReadDescriptor(PIDescriptorHandle descriptor);
  HostBoolean GetKey(PIReadDescriptor token, DescriptorKeyID* key);
  OSErr CloseReadDescriptor(PIReadDescriptor token);
  PIWriteDescriptor OpenWriteDescriptor();
  OSErr CloseWriteDescriptor(PIWriteDescriptor token, PIDescriptorHandle* descriptor);

 private:
  struct Block;
  Handle MakeHandle(const std::vector<uint8_t>& bytes, bool hostOwned);
  void FreeHandle(Handle handle);
  // The live buffer or handle that holds [start, start + size), if any.
  bool InsideLiveMemory(const uint8_t* start, uint64_t size) const;
  OSErr TransferPixels(bool toModule);
  void EndSequence();
  void CheckQuarantine();

  Faults m_faults;
  Document m_document;
  FormatRecord m_record{};
  intptr_t m_data = 0;
  int16_t m_selector = 0;
  int m_problems = 0;

  // Suites and records the record points at.
  SPBasicSuite m_basic{};
  PSHandleSuite2 m_handleSuite{};
  PSBufferSuite1 m_bufferSuite{};
  ResourceProcs m_resourceProcs{};
  HandleProcs m_handleProcs{};
  PropertyProcs m_propertyProcs{};
  PIDescriptorParameters m_descriptorBlock{};
  ReadDescriptorProcs m_readProcs{};
  WriteDescriptorProcs m_writeProcs{};
  std::map<std::string, int> m_suiteCounts;

  // Handles and buffers.
  std::map<const void*, std::unique_ptr<Block>> m_handles;  // key: the Handle
  std::map<const void*, std::unique_ptr<Block>> m_buffers;  // key: the buffer's address
  std::vector<std::unique_ptr<Block>> m_quarantine;
  int m_buffersRequested = 0;
  int m_handlesRequested = 0;

  // Descriptors: tokens in use.
  std::set<void*> m_readTokens;
  std::set<void*> m_writeTokens;

  DataForkHandle m_fork = -1;
  bool m_forkOpen = false;
};

// Short name of a mode for the command line: rgb, indexed, grey, cmyk, bitmap.
int16_t ModeFromName(const std::string& name);

}  // namespace testhost
