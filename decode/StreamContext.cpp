// The stream layer: one current stream (a plain file, a file the caller
// opened, or a ZIP member) read at a position, plus the archive index and the
// name listing.  Deflated members are inflated as they are read, by the same
// inflater the PNG decoder uses; seeking backwards restarts it, seeking
// forwards decodes and drops the bytes in between.
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "decode/ArchiveIndex.h"
#include "decode/ByteOrder.h"
#include "decode/ImageDecode.h"
#include "decode/Inflater.h"
#include "decode/NameMatch.h"

namespace {

constexpr uint32_t kLocalHeader = 0x04034B50;
constexpr int kStored = 0;
constexpr int kDeflated = 8;
constexpr size_t kInputBuffer = 16384;

long long FileLength(FILE* file) {
  if (std::fseek(file, 0, SEEK_END) != 0) return -1;
  const long length = std::ftell(file);
  return length < 0 ? -1 : length;
}

// The compressed bytes of a deflated member, read from the archive in
// buffer-sized spans and never past the member's end.
class MemberInput final : public InflateInput {
 public:
  void Reset(FILE* file, long long offset, long long size) {
    m_file = file;
    m_offset = offset;
    m_left = size;
  }
  bool Next(const uint8_t*& data, size_t& size) override {
    if (m_left <= 0 || std::fseek(m_file, static_cast<long>(m_offset), SEEK_SET) != 0) return false;
    const size_t want = static_cast<size_t>(std::min<long long>(m_left, kInputBuffer));
    const size_t got = std::fread(m_buffer, 1, want, m_file);
    if (got == 0) return false;
    m_offset += static_cast<long long>(got);
    m_left -= static_cast<long long>(got);
    data = m_buffer;
    size = got;
    return true;
  }

 private:
  FILE* m_file = nullptr;
  long long m_offset = 0;
  long long m_left = 0;
  uint8_t m_buffer[kInputBuffer];
};

}  // namespace

struct StreamContext::Impl {
  FILE* file = nullptr;
  bool ownsFile = false;
  int compression = kStored;
  long long dataOffset = 0;
  long long compressedSize = 0;
  long long length = 0;
  long long position = 0;
  std::unique_ptr<Inflater> inflater;
  std::unique_ptr<MemberInput> input;

  ArchiveIndex archives;
  std::vector<std::string> found;
  size_t foundNext = 0;

  void Close() {
    if (file && ownsFile) std::fclose(file);
    file = nullptr;
    ownsFile = false;
    compression = kStored;
    dataOffset = compressedSize = length = position = 0;
    inflater.reset();
    input.reset();
  }

  int OpenMember(const char* name) {
    ArchiveMember member{};
    if (!archives.Find(name, member)) return -1;
    FILE* archive = std::fopen(member.archive, "rb");
    if (archive == nullptr) return -1;
    uint8_t header[30];
    const bool ok = std::fseek(archive, static_cast<long>(member.localHeader), SEEK_SET) == 0 &&
                    std::fread(header, 1, sizeof header, archive) == sizeof header &&
                    ReadLittleEndian32(header) == kLocalHeader;
    const int method = ok ? ReadLittleEndian16(header + 8) : -1;
    const long long archiveLength = FileLength(archive);
    const long long start = static_cast<long long>(member.localHeader) + 30 + (ok ? ReadLittleEndian16(header + 26) : 0) +
                            (ok ? ReadLittleEndian16(header + 28) : 0);
    const long long stored = method == kStored ? member.size : member.compressedSize;
    if (!ok || (method != kStored && method != kDeflated) || archiveLength < 0 || start > archiveLength ||
        stored > archiveLength - start) {
      std::fclose(archive);
      return -1;
    }
    file = archive;
    ownsFile = true;
    compression = method;
    dataOffset = start;
    compressedSize = member.compressedSize;
    length = member.size;
    position = 0;
    return 0;
  }

  void RestartInflater() {
    if (!inflater) inflater = std::make_unique<Inflater>();
    if (!input) input = std::make_unique<MemberInput>();
    input->Reset(file, dataOffset, compressedSize);
    inflater->Start(input.get(), false);
  }

  long long ReadDeflated(uint8_t* out, size_t n) {
    if (!inflater || static_cast<long long>(inflater->produced()) > position) RestartInflater();
    // Decode and drop whatever lies between the inflater and the position.
    uint8_t skip[4096];
    while (static_cast<long long>(inflater->produced()) < position) {
      const size_t want = static_cast<size_t>(std::min<long long>(sizeof skip, position - inflater->produced()));
      const long long got = inflater->Read(skip, want);
      if (got <= 0) return got;
    }
    const long long got = inflater->Read(out, n);
    if (got > 0) position += got;
    return got;
  }

  long long Read(uint8_t* out, size_t n) {
    if (file == nullptr) return -1;
    const size_t want = static_cast<size_t>(std::min<long long>(static_cast<long long>(n), length - position));
    if (want == 0) return 0;
    if (compression == kDeflated) return ReadDeflated(out, want);
    if (std::fseek(file, static_cast<long>(dataOffset + position), SEEK_SET) != 0) return -1;
    const size_t got = std::fread(out, 1, want, file);
    position += static_cast<long long>(got);
    return static_cast<long long>(got);
  }

  void ListDirectory(const std::string& pattern) {
    const size_t cut = pattern.find_last_of("/\\");
    const std::string prefix = cut == std::string::npos ? "" : pattern.substr(0, cut + 1);
    const std::string leaf = cut == std::string::npos ? pattern : pattern.substr(cut + 1);
    std::error_code error;
    std::filesystem::directory_iterator it(prefix.empty() ? "." : prefix, error);
    std::vector<std::string> names;
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
      const std::string name = it->path().filename().string();
      if (NameMatchesPattern(leaf.c_str(), name.c_str())) names.push_back(prefix + name);
    }
    std::sort(names.begin(), names.end());
    found.insert(found.end(), names.begin(), names.end());
  }
};

StreamContext::StreamContext() : m_impl(std::make_unique<Impl>()) {}
StreamContext::~StreamContext() { m_impl->Close(); }

int StreamContext::Attach(FILE* file) {
  m_impl->Close();
  if (file == nullptr) return -1;
  const long long length = FileLength(file);
  if (length < 0) return -1;
  m_impl->file = file;
  m_impl->length = length;
  return 0;
}

int StreamContext::Open(const char* name) {
  m_impl->Close();
  if (name == nullptr) return -1;
  if (name[0] == '|') return m_impl->OpenMember(name + 1);
  std::error_code error;
  const bool isDirectory = std::filesystem::is_directory(name, error);
  if (FILE* file = isDirectory ? nullptr : std::fopen(name, "rb")) {
    const long long length = FileLength(file);
    if (length >= 0) {
      m_impl->file = file;
      m_impl->ownsFile = true;
      m_impl->length = length;
      return 0;
    }
    std::fclose(file);
  }
  return m_impl->OpenMember(name);
}

long long StreamContext::Read(void* buffer, size_t n) { return m_impl->Read(static_cast<uint8_t*>(buffer), n); }

long long StreamContext::Length() const { return m_impl->file ? m_impl->length : -1; }

long long StreamContext::Seek(long long offset, int origin) {
  if (m_impl->file == nullptr) return -1;
  long long base = 0;
  if (origin == 1) base = m_impl->position;
  if (origin == 2) base = m_impl->length;
  long long target = base;
  // Saturate instead of overflowing on extreme offsets.
  if (offset > 0) target = offset > m_impl->length - base ? m_impl->length : base + offset;
  if (offset < 0) target = offset < -base ? 0 : base + offset;
  m_impl->position = std::clamp<long long>(target, 0, m_impl->length);
  return m_impl->position;
}

long long StreamContext::Tell() const { return m_impl->file ? m_impl->position : -1; }

int StreamContext::GetByte() {
  uint8_t byte = 0;
  return Read(&byte, 1) == 1 ? byte : -1;
}

bool StreamContext::AtEnd() const { return m_impl->file == nullptr || m_impl->position >= m_impl->length; }

void StreamContext::Close() { m_impl->Close(); }

const char* StreamContext::FindFirst(const char* pattern) {
  m_impl->found.clear();
  m_impl->foundNext = 0;
  if (pattern == nullptr) return nullptr;
  const bool membersOnly = pattern[0] == '|';
  const char* memberPattern = membersOnly ? pattern + 1 : pattern;
  if (!membersOnly) m_impl->ListDirectory(pattern);
  m_impl->archives.ForEach([&](const ArchiveMember& member) {
    if (NameMatchesPattern(memberPattern, member.name)) m_impl->found.push_back(std::string("|") + member.name);
  });
  return FindNext();
}

const char* StreamContext::FindNext() {
  if (m_impl->foundNext >= m_impl->found.size()) return nullptr;
  return m_impl->found[m_impl->foundNext++].c_str();
}

int StreamContext::AddArchive(const char* fileName) { return m_impl->archives.Add(fileName); }
void StreamContext::ClearArchives() { m_impl->archives.Clear(); }

StreamContext& DefaultStreamContext() {
  thread_local StreamContext context;
  return context;
}

int StreamAttach(FILE* file) { return DefaultStreamContext().Attach(file); }
int StreamOpen(const char* name) { return DefaultStreamContext().Open(name); }
long long StreamRead(void* buffer, size_t n) { return DefaultStreamContext().Read(buffer, n); }
long long StreamLength() { return DefaultStreamContext().Length(); }
long long StreamSeek(long long offset, int origin) { return DefaultStreamContext().Seek(offset, origin); }
long long StreamTell() { return DefaultStreamContext().Tell(); }
int StreamGetByte() { return DefaultStreamContext().GetByte(); }
bool StreamAtEnd() { return DefaultStreamContext().AtEnd(); }
void StreamClose() { DefaultStreamContext().Close(); }
const char* StreamFindFirst(const char* pattern) { return DefaultStreamContext().FindFirst(pattern); }
const char* StreamFindNext() { return DefaultStreamContext().FindNext(); }
int ArchiveAdd(const char* fileName) { return DefaultStreamContext().AddArchive(fileName); }
void ArchiveClear() { DefaultStreamContext().ClearArchives(); }
