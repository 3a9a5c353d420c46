#include "testhost/StandInHost.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "testhost/Module.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace testhost {

struct StandInHost::Block {
  std::vector<uint8_t> bytes;
  bool hostOwned = false;
  bool locked = false;
};

namespace {

constexpr uint8_t kFreshPoison = 0xCD;
constexpr uint8_t kFreedPoison = 0xDD;

StandInHost* g_current = nullptr;

StandInHost& Current() { return *g_current; }

// Trampolines: the interface's callbacks carry no context.
HostBoolean TestAbort() { return Current().faults().abort ? 1 : 0; }
void Progress(int32_t done, int32_t total) { Current().Progress(done, total); }
OSErr AdvanceState() { return Current().AdvanceState(); }
SPErr Acquire(const char* name, int32_t version, const void** suite) {
  return Current().AcquireSuite(name, version, suite);
}
SPErr Release(const char* name, int32_t version) { return Current().ReleaseSuite(name, version); }
Handle HandleNew(int32_t size) { return Current().NewHandle(size); }
void HandleDispose(Handle handle) { Current().DisposeHandle(handle); }
void HandleSetLock(Handle handle, HostBoolean lock, char** address, HostBoolean* oldLock) {
  if (oldLock != nullptr) *oldLock = 0;
  Current().SetLock(handle, lock, address);
}
int32_t HandleGetSize(Handle handle) { return Current().HandleSize(handle); }
char* BufferNew(uint32_t* requested, uint32_t minimum) { return Current().NewBuffer(requested, minimum); }
void BufferDispose(char** buffer) { Current().DisposeBuffer(buffer); }
int16_t CountResources(OSType type) { return Current().CountResources(type); }
Handle GetResource(OSType type, int16_t index) { return Current().GetResource(type, index); }
OSErr AddResource(OSType type, Handle data) { return Current().AddResource(type, data); }
OSErr GetProperty(OSType signature, OSType key, int32_t index, intptr_t* simple, Handle* complex) {
  return Current().GetProperty(signature, key, index, simple, complex);
}
PIReadDescriptor OpenReadProc(PIDescriptorHandle descriptor, DescriptorKeyIDArray) {
  return Current().OpenReadDescriptor(descriptor);
}
HostBoolean GetKeyProc(PIReadDescriptor token, DescriptorKeyID* key, DescType* type, int32_t* flags) {
  if (type != nullptr) *type = FourCC("long");
  if (flags != nullptr) *flags = 0;
  return Current().GetKey(token, key);
}
OSErr CloseReadProc(PIReadDescriptor token) { return Current().CloseReadDescriptor(token); }
PIWriteDescriptor OpenWriteProc() { return Current().OpenWriteDescriptor(); }
OSErr CloseWriteProc(PIWriteDescriptor token, PIDescriptorHandle* descriptor) {
  return Current().CloseWriteDescriptor(token, descriptor);
}
// The descriptor procedures the module must never call.
void UnusedDescriptorProc() { Current().Problem("an unused descriptor procedure was called"); }

std::string SuiteText(const char* name, int32_t version) {
  return std::string(name) + " v" + std::to_string(version);
}

bool EndsSequence(int16_t selector) {
  return selector == formatSelectorAbout || selector == formatSelectorReadFinish ||
         selector == formatSelectorOptionsFinish || selector == formatSelectorEstimateFinish ||
         selector == formatSelectorWriteFinish || selector == formatSelectorFilterFile;
}

struct ReadToken {
  int remaining;
};

struct WriteToken {
  int keys = 0;
};

}  // namespace

int16_t ModeFromName(const std::string& name) {
  if (name == "bitmap") return plugInModeBitmap;
  if (name == "grey" || name == "gray") return plugInModeGrayScale;
  if (name == "indexed") return plugInModeIndexedColor;
  if (name == "rgb") return plugInModeRGBColor;
  if (name == "cmyk") return plugInModeCMYKColor;
  return -1;
}

StandInHost::StandInHost() {
  m_basic = {Acquire, Release, nullptr, nullptr, nullptr, nullptr, nullptr};
  m_handleSuite = {HandleNew, HandleDispose, HandleSetLock, HandleGetSize, nullptr, nullptr, nullptr};
  m_bufferSuite = {BufferNew, BufferDispose, nullptr, nullptr};
}

StandInHost::~StandInHost() {
  CloseDataFork();
  if (g_current == this) g_current = nullptr;
}

void StandInHost::Problem(const std::string& text) {
  ++m_problems;
  std::printf("HOST PROBLEM: %s\n", text.c_str());
  std::fflush(stdout);
}

// ------------------------------------------------------------ data fork --

#ifdef _WIN32

bool StandInHost::OpenDataFork(const std::string& path, ForkAccess access) {
  CloseDataFork();
  if (m_faults.fork == ForkFault::Closed) {
    m_fork = reinterpret_cast<DataForkHandle>(INVALID_HANDLE_VALUE);
    return true;
  }
  if (m_faults.fork == ForkFault::Seek) {
    // A pipe reads and writes but cannot seek.
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, nullptr, 0)) return false;
    CloseHandle(writeEnd);
    m_fork = reinterpret_cast<DataForkHandle>(readEnd);
    m_forkOpen = true;
    return true;
  }
  DWORD rights = GENERIC_READ;
  if (access == ForkAccess::ReadWrite) rights |= GENERIC_WRITE;
  if (m_faults.fork == ForkFault::Read) rights = GENERIC_WRITE;
  if (m_faults.fork == ForkFault::Write) rights = GENERIC_READ;
  HANDLE file = CreateFileA(path.c_str(), rights, FILE_SHARE_READ, nullptr,
                            access == ForkAccess::ReadWrite ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  m_fork = reinterpret_cast<DataForkHandle>(file);
  m_forkOpen = true;
  return true;
}

void StandInHost::CloseDataFork() {
  if (m_forkOpen) CloseHandle(reinterpret_cast<HANDLE>(m_fork));
  m_forkOpen = false;
  m_fork = -1;
}

#else

bool StandInHost::OpenDataFork(const std::string& path, ForkAccess access) {
  CloseDataFork();
  if (m_faults.fork == ForkFault::Closed) {
    m_fork = -1;
    return true;
  }
  if (m_faults.fork == ForkFault::Seek) {
    // A pipe reads and writes but cannot seek.
    int ends[2];
    if (pipe(ends) != 0) return false;
    close(ends[1]);
    m_fork = ends[0];
    m_forkOpen = true;
    return true;
  }
  int flags = access == ForkAccess::ReadWrite ? O_RDWR | O_CREAT : O_RDONLY;
  if (m_faults.fork == ForkFault::Read) flags = O_WRONLY | (access == ForkAccess::ReadWrite ? O_CREAT : 0);
  if (m_faults.fork == ForkFault::Write) flags = O_RDONLY;
  int descriptor = open(path.c_str(), flags, 0644);
  if (descriptor < 0) return false;
  m_fork = descriptor;
  m_forkOpen = true;
  return true;
}

void StandInHost::CloseDataFork() {
  if (m_forkOpen) close(static_cast<int>(m_fork));
  m_forkOpen = false;
  m_fork = -1;
}

#endif

// --------------------------------------------------------------- record --

void StandInHost::PrepareRecord() {
  g_current = this;
  const Document& doc = m_document;
  m_record = FormatRecord{};
  m_record.abortProc = TestAbort;
  m_record.progressProc = testhost::Progress;
  m_record.maxData = 1 << 30;
  const bool fitsNarrow = doc.width <= INT16_MAX && doc.height <= INT16_MAX;
  m_record.imageSize = fitsNarrow ? Point16{int16_t(doc.height), int16_t(doc.width)} : Point16{0, 0};
  m_record.imageSize32 = {doc.height, doc.width};
  if (m_faults.claimedWidth > 0) {
    m_record.imageSize = Point16{0, 0};
    m_record.imageSize32 = {m_faults.claimedHeight, m_faults.claimedWidth};
  }
  m_record.depth = doc.depth;
  m_record.planes = static_cast<int16_t>(doc.PlaneCount());
  m_record.imageHRes = doc.hres;
  m_record.imageVRes = doc.vres;
  std::memcpy(m_record.redLUT, doc.redLUT, 256);
  std::memcpy(m_record.greenLUT, doc.greenLUT, 256);
  std::memcpy(m_record.blueLUT, doc.blueLUT, 256);
  for (int i = 0; i < 16; ++i) m_record.planeMap[i] = static_cast<int16_t>(i);
  m_record.hostSig = kPhotoshopSignature;
  m_record.transparencyPlane = doc.PlaneCount() == 0 ? -1 : doc.hasTransparency ? 3 : 0;
  m_record.lutCount = doc.lutCount;
  m_record.transparentIndex = doc.transparentIndex;
  m_record.imageMode = doc.mode;
  m_resourceProcs = {0, 4, m_faults.noResourceCount ? nullptr : testhost::CountResources,
                     m_faults.noResourceGet ? nullptr : testhost::GetResource, nullptr,
                     m_faults.noResourceAdd ? nullptr : testhost::AddResource};
  m_record.resourceProcs = &m_resourceProcs;
  m_record.handleProcs = &m_handleProcs;
  m_record.advanceState = m_faults.noAdvanceState ? nullptr : testhost::AdvanceState;
  m_propertyProcs = {0, 2, testhost::GetProperty, nullptr};
  m_record.propertyProcs = m_faults.noPropertyProcs ? nullptr : &m_propertyProcs;

  m_readProcs = {m_faults.readProcsVersion, kCurrentReadDescriptorProcsCount, OpenReadProc, CloseReadProc, GetKeyProc, {}};
  for (int i = 0; i < 15; ++i) m_readProcs.valueProcs[i] = i + 3 < m_faults.readProcs ? UnusedDescriptorProc : nullptr;
  if (m_faults.readProcs < 3) m_readProcs.getKeyProc = nullptr;
  m_writeProcs = {m_faults.writeProcsVersion, kCurrentWriteDescriptorProcsCount, OpenWriteProc, CloseWriteProc,
                  UnusedDescriptorProc, UnusedDescriptorProc, {}};
  // The first `writeProcs` procedures of the table are present.
  const int present = m_faults.writeProcs;
  if (present < 1) m_writeProcs.openWriteDescriptorProc = nullptr;
  if (present < 2) m_writeProcs.closeWriteDescriptorProc = nullptr;
  if (present < 3) m_writeProcs.putIntegerProc = nullptr;
  if (present < 4) m_writeProcs.putFloatProc = nullptr;
  for (int i = 0; i < 12; ++i) m_writeProcs.moreProcs[i] = i + 4 < present ? UnusedDescriptorProc : nullptr;
  m_descriptorBlock = {m_faults.descriptorVersion, m_faults.playInfo, 0, nullptr, &m_writeProcs, &m_readProcs};
  if (m_faults.descriptorKeys >= 0)
    m_descriptorBlock.descriptor = MakeHandle({static_cast<uint8_t>(m_faults.descriptorKeys)}, false);
  m_record.descriptorParameters = m_faults.noDescriptorBlock ? nullptr : &m_descriptorBlock;
  m_record.sSPBasic = m_faults.noBasicSuite ? nullptr : &m_basic;
  static int pluginReference;
  m_record.plugInRef = reinterpret_cast<SPPluginRef>(&pluginReference);
  m_record.dataFork = m_fork;
  m_record.HostSupports32BitCoordinates = m_faults.narrowCoordinates ? 0 : 1;
}

void StandInHost::TakeDescription() {
  Document& doc = m_document;
  const bool wide = m_record.HostSupports32BitCoordinates && m_record.PluginUsing32BitCoordinates;
  const int32_t width = wide ? m_record.imageSize32.h : m_record.imageSize.h;
  const int32_t height = wide ? m_record.imageSize32.v : m_record.imageSize.v;
  doc.mode = m_record.imageMode;
  doc.depth = m_record.depth;
  doc.hres = m_record.imageHRes;
  doc.vres = m_record.imageVRes;
  if (width != doc.width || height != doc.height || m_record.planes != doc.PlaneCount()) {
    doc.width = width;
    doc.height = height;
    doc.Allocate(std::max<int>(m_record.planes, 0));
  }
}

// ---------------------------------------------------------------- calls --

int16_t StandInHost::Call(Module& module, int16_t selector) {
  g_current = this;
  m_selector = selector;
  int16_t result = noErr;
  if (selector == formatSelectorAbout) {
    static int pluginReference;
    AboutRecord about{nullptr, m_faults.noBasicSuite ? nullptr : &m_basic,
                      reinterpret_cast<SPPluginRef>(&pluginReference)};
    module.Call(selector, &about, &m_data, &result);
  } else {
    module.Call(selector, &m_record, &m_data, &result);
  }
  std::printf("selector %d result %d\n", selector, result);
  std::fflush(stdout);
  if (EndsSequence(selector) || result != noErr) EndSequence();
  return result;
}

int16_t StandInHost::RunSequence(Module& module, const std::vector<int16_t>& selectors) {
  int16_t result = noErr;
  for (int16_t selector : selectors) {
    result = Call(module, selector);
    if (result != noErr) break;
  }
  return result;
}

void StandInHost::EndSequence() {
  for (auto& [name, count] : m_suiteCounts)
    if (count != 0) Problem("suite still acquired at the end of the sequence: " + name);
  m_suiteCounts.clear();
  for (auto& [address, block] : m_buffers)
    Problem("buffer of " + std::to_string(block->bytes.size()) + " bytes still held at the end of the sequence");
  m_buffers.clear();
  if (m_descriptorBlock.descriptor != nullptr && IsLiveHandle(m_descriptorBlock.descriptor)) {
    Block* block = reinterpret_cast<Block*>(m_descriptorBlock.descriptor);
    std::printf("recorded descriptor: %d keys\n", block->bytes.empty() ? 0 : block->bytes[0]);
    block->hostOwned = true;
  }
  if (m_record.imageRsrcData != nullptr && IsLiveHandle(m_record.imageRsrcData))
    reinterpret_cast<Block*>(m_record.imageRsrcData)->hostOwned = true;
  for (auto& [address, block] : m_handles)
    if (!block->hostOwned)
      Problem("handle of " + std::to_string(block->bytes.size()) + " bytes still held at the end of the sequence");
  m_handles.clear();
  m_descriptorBlock.descriptor = nullptr;
  m_record.imageRsrcData = nullptr;
  if (!m_readTokens.empty() || !m_writeTokens.empty()) Problem("a descriptor was left open");
  for (void* token : m_readTokens) delete static_cast<ReadToken*>(token);
  for (void* token : m_writeTokens) delete static_cast<WriteToken*>(token);
  m_readTokens.clear();
  m_writeTokens.clear();
  CheckQuarantine();
  std::fflush(stdout);
}

void StandInHost::CheckQuarantine() {
  for (const auto& block : m_quarantine)
    if (std::any_of(block->bytes.begin(), block->bytes.end(), [](uint8_t b) { return b != kFreedPoison; }))
      Problem("memory was written after it was given back");
  m_quarantine.clear();
}

// ------------------------------------------------------------ callbacks --

void StandInHost::Progress(int32_t done, int32_t total) {
  std::printf("progress %d of %d\n", static_cast<int>(done), static_cast<int>(total));
}

SPErr StandInHost::AcquireSuite(const char* name, int32_t version, const void** suite) {
  *suite = nullptr;
  if (m_faults.refuseSuite == "all" || m_faults.refuseSuite == name) return m_faults.refuseSuiteCode;
  const std::string text(name);
  if (text == "Photoshop Handle Suite for Plug-ins" && version == 2) {
    *suite = &m_handleSuite;
  } else if (text == "Photoshop Buffer Suite for Plug-ins" && version == 1) {
    *suite = &m_bufferSuite;
  } else {
    return kSPBadParameterError;  // a suite this host does not offer
  }
  ++m_suiteCounts[SuiteText(name, version)];
  return 0;
}

SPErr StandInHost::ReleaseSuite(const char* name, int32_t version) {
  auto found = m_suiteCounts.find(SuiteText(name, version));
  if (found == m_suiteCounts.end() || found->second == 0) {
    Problem("released a suite that was not acquired: " + SuiteText(name, version));
    return kSPBadParameterError;
  }
  --found->second;
  return 0;
}

Handle StandInHost::MakeHandle(const std::vector<uint8_t>& bytes, bool hostOwned) {
  auto block = std::make_unique<Block>();
  block->bytes = bytes;
  block->hostOwned = hostOwned;
  Handle handle = reinterpret_cast<Handle>(block.get());
  m_handles[handle] = std::move(block);
  return handle;
}

bool StandInHost::IsLiveHandle(Handle handle) const { return m_handles.count(handle) != 0; }

Handle StandInHost::NewHandle(int32_t size) {
  ++m_handlesRequested;
  if (m_handlesRequested == m_faults.refuseHandle || size < 0) return nullptr;
  return MakeHandle(std::vector<uint8_t>(static_cast<size_t>(size), kFreshPoison), false);
}

void StandInHost::FreeHandle(Handle handle) {
  auto found = m_handles.find(handle);
  std::fill(found->second->bytes.begin(), found->second->bytes.end(), kFreedPoison);
  m_quarantine.push_back(std::move(found->second));
  m_handles.erase(found);
}

void StandInHost::DisposeHandle(Handle handle) {
  if (!IsLiveHandle(handle)) return Problem("disposed a handle that is not live");
  FreeHandle(handle);
}

void StandInHost::SetLock(Handle handle, HostBoolean lock, char** address) {
  if (!IsLiveHandle(handle)) {
    Problem("locked a handle that is not live");
    if (address != nullptr) *address = nullptr;
    return;
  }
  Block& block = *reinterpret_cast<Block*>(handle);
  block.locked = lock != 0;
  if (address != nullptr) *address = reinterpret_cast<char*>(block.bytes.data());
}

int32_t StandInHost::HandleSize(Handle handle) {
  if (!IsLiveHandle(handle)) {
    Problem("asked the size of a handle that is not live");
    return 0;
  }
  return static_cast<int32_t>(reinterpret_cast<Block*>(handle)->bytes.size());
}

char* StandInHost::NewBuffer(uint32_t* requested, uint32_t minimum) {
  ++m_buffersRequested;
  std::printf("buffer request %u bytes\n", static_cast<unsigned>(*requested));
  if (m_buffersRequested == m_faults.refuseBuffer || *requested > m_faults.bufferLimit) return nullptr;
  if (minimum > *requested) return nullptr;
  auto block = std::make_unique<Block>();
  block->bytes.assign(std::max<size_t>(*requested, 1), kFreshPoison);
  char* address = reinterpret_cast<char*>(block->bytes.data());
  m_buffers[address] = std::move(block);
  return address;
}

void StandInHost::DisposeBuffer(char** buffer) {
  if (buffer == nullptr || m_buffers.count(*buffer) == 0) return Problem("disposed a buffer that is not live");
  auto found = m_buffers.find(*buffer);
  std::fill(found->second->bytes.begin(), found->second->bytes.end(), kFreedPoison);
  m_quarantine.push_back(std::move(found->second));
  m_buffers.erase(found);
  *buffer = nullptr;
}

int16_t StandInHost::CountResources(OSType type) {
  return static_cast<int16_t>(std::count_if(m_document.resources.begin(), m_document.resources.end(),
                                            [type](const ImageResource& r) { return r.type == type; }));
}

Handle StandInHost::GetResource(OSType type, int16_t index) {
  int16_t seen = 0;
  for (const ImageResource& resource : m_document.resources)
    if (resource.type == type && ++seen == index) return MakeHandle(resource.bytes, true);
  return nullptr;
}

OSErr StandInHost::AddResource(OSType type, Handle data) {
  if (!IsLiveHandle(data)) {
    Problem("added a resource from a handle that is not live");
    return paramErr;
  }
  m_document.resources.push_back({type, reinterpret_cast<Block*>(data)->bytes});
  return noErr;
}

OSErr StandInHost::GetProperty(OSType signature, OSType key, int32_t, intptr_t*, Handle* complex) {
  if (signature != kPhotoshopSignature || key != propTitle || complex == nullptr) return paramErr;
  if (m_faults.emptyTitleHandle) {
    *complex = MakeHandle({}, false);
    return noErr;
  }
  if (m_document.title.empty()) return paramErr;
  *complex = MakeHandle(std::vector<uint8_t>(m_document.title.begin(), m_document.title.end()), false);
  return noErr;
}

PIReadDescriptor StandInHost::OpenReadDescriptor(PIDescriptorHandle descriptor) {
  if (!IsLiveHandle(descriptor)) {
    Problem("opened a descriptor that is not live");
    return nullptr;
  }
  const auto& bytes = reinterpret_cast<Block*>(descriptor)->bytes;
  auto* token = new ReadToken{bytes.empty() ? 0 : bytes[0]};
  m_readTokens.insert(token);
  return reinterpret_cast<PIReadDescriptor>(token);
}

HostBoolean StandInHost::GetKey(PIReadDescriptor token, DescriptorKeyID* key) {
  auto* read = reinterpret_cast<ReadToken*>(token);
  if (m_readTokens.count(read) == 0) {
    Problem("read a key of a descriptor that is not open");
    return 0;
  }
  if (read->remaining <= 0) return 0;
  --read->remaining;
  if (key != nullptr) *key = FourCC("kyID");
  return 1;
}

OSErr StandInHost::CloseReadDescriptor(PIReadDescriptor token) {
  auto* read = reinterpret_cast<ReadToken*>(token);
  if (m_readTokens.erase(read) == 0) {
    Problem("closed a descriptor that is not open");
    return paramErr;
  }
  std::printf("played back descriptor: %d keys left unread\n", read->remaining);
  delete read;
  return m_faults.closeReadError;
}

PIWriteDescriptor StandInHost::OpenWriteDescriptor() {
  auto* token = new WriteToken;
  m_writeTokens.insert(token);
  return reinterpret_cast<PIWriteDescriptor>(token);
}

OSErr StandInHost::CloseWriteDescriptor(PIWriteDescriptor token, PIDescriptorHandle* descriptor) {
  auto* write = reinterpret_cast<WriteToken*>(token);
  if (m_writeTokens.erase(write) == 0) {
    Problem("closed a write descriptor that is not open");
    return paramErr;
  }
  if (descriptor != nullptr) *descriptor = MakeHandle({static_cast<uint8_t>(write->keys)}, false);
  delete write;
  return noErr;
}

// --------------------------------------------------------------- pixels --

bool StandInHost::InsideLiveMemory(const uint8_t* start, uint64_t size) const {
  auto inside = [&](const Block& block) {
    const uint8_t* first = block.bytes.data();
    return start >= first && size <= block.bytes.size() && uint64_t(start - first) <= block.bytes.size() - size;
  };
  for (const auto& [address, block] : m_buffers)
    if (inside(*block)) return true;
  for (const auto& [address, block] : m_handles)
    if (inside(*block)) return true;
  return false;
}

OSErr StandInHost::AdvanceState() {
  if (m_faults.advanceStateError != noErr) return m_faults.advanceStateError;
  const bool toModule = m_selector == formatSelectorWriteStart;
  if (!toModule) TakeDescription();
  return TransferPixels(toModule);
}

OSErr StandInHost::TransferPixels(bool toModule) {
  const FormatRecord& r = m_record;
  const bool wide = r.HostSupports32BitCoordinates && r.PluginUsing32BitCoordinates;
  const VRect rect = wide ? r.theRect32 : VRect{r.theRect.top, r.theRect.left, r.theRect.bottom, r.theRect.right};
  Document& doc = m_document;
  if (r.data == nullptr || rect.top < 0 || rect.left < 0 || rect.bottom > doc.height || rect.right > doc.width ||
      rect.top >= rect.bottom || rect.left >= rect.right || r.loPlane < 0 || r.hiPlane < r.loPlane ||
      r.hiPlane >= 16 || r.colBytes < 0 || r.rowBytes < 0 || r.planeBytes < 0) {
    Problem("advanceState with a request that does not describe the document");
    return paramErr;
  }
  for (int plane = r.loPlane; plane <= r.hiPlane; ++plane)
    if (r.planeMap[plane] < 0 || r.planeMap[plane] >= doc.PlaneCount()) {
      Problem("advanceState asks for plane " + std::to_string(r.planeMap[plane]) + " the document lacks");
      return paramErr;
    }
  const uint64_t rows = uint64_t(rect.bottom - rect.top), columns = uint64_t(rect.right - rect.left);
  const uint64_t extent = (rows - 1) * uint64_t(r.rowBytes) + (columns - 1) * uint64_t(r.colBytes) +
                          uint64_t(r.hiPlane - r.loPlane) * uint64_t(r.planeBytes) + 1;
  auto* data = static_cast<uint8_t*>(r.data);
  if (!InsideLiveMemory(data, extent)) {
    Problem("advanceState's data reaches outside the module's buffer");
    return paramErr;
  }
  for (uint64_t y = 0; y < rows; ++y) {
    for (int plane = r.loPlane; plane <= r.hiPlane; ++plane) {
      std::vector<uint8_t>& target = doc.planes[size_t(r.planeMap[plane])];
      uint8_t* cell = data + y * uint64_t(r.rowBytes) + uint64_t(plane - r.loPlane) * uint64_t(r.planeBytes);
      uint8_t* pixel = target.data() + (uint64_t(rect.top) + y) * uint64_t(doc.width) + uint64_t(rect.left);
      for (uint64_t x = 0; x < columns; ++x, cell += r.colBytes) {
        if (toModule)
          *cell = pixel[x];
        else
          pixel[x] = *cell;
      }
    }
  }
  return noErr;
}

}  // namespace testhost
