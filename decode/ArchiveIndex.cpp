#include "decode/ArchiveIndex.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>

#include "decode/ByteOrder.h"
#include "decode/NameMatch.h"

namespace {

constexpr size_t kInitialBlock = 8192;
constexpr size_t kMaxBlock = size_t{1} << 30;  // offsets are 32-bit and signed
constexpr uint32_t kEndOfDirectory = 0x06054B50;
constexpr uint32_t kLocalHeader = 0x04034B50;
constexpr uint32_t kDirectoryHeader = 0x02014B50;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kDirectoryHeaderSize = 46;

// A file opened for reading, with reads that never go past its end.
class ArchiveFile {
 public:
  explicit ArchiveFile(FILE* file) : m_file(file) {
    if (std::fseek(file, 0, SEEK_END) == 0) m_length = std::ftell(file);
  }
  long long length() const { return m_length; }
  bool ReadAt(long long offset, void* out, size_t n) const {
    if (offset < 0 || m_length < 0 || offset > m_length || static_cast<long long>(n) > m_length - offset) return false;
    return std::fseek(m_file, static_cast<long>(offset), SEEK_SET) == 0 && std::fread(out, 1, n, m_file) == n;
  }

 private:
  FILE* m_file;
  long long m_length = -1;
};

}  // namespace

ArchiveIndex::ArchiveIndex() { Clear(); }

void ArchiveIndex::Clear() {
  m_block.clear();
  m_block.shrink_to_fit();
  m_used = 0;
  std::fill(std::begin(m_buckets), std::end(m_buckets), -1);
  m_lastEntry = -1;
}

int32_t ArchiveIndex::Field(int32_t entry, FieldIndex field) const {
  int32_t value;
  std::memcpy(&value, m_block.data() + entry + 4 * field, 4);
  return value;
}

ArchiveMember ArchiveIndex::MemberAt(int32_t entry) const {
  const auto* base = reinterpret_cast<const char*>(m_block.data());
  return {base + Field(entry, kFieldArchiveName), base + entry + 4 * kFieldCount,
          static_cast<uint32_t>(Field(entry, kFieldLocalHeader)),
          static_cast<uint32_t>(Field(entry, kFieldCompressedSize)), static_cast<uint32_t>(Field(entry, kFieldSize))};
}

bool ArchiveIndex::Append(const void* bytes, size_t size, int32_t& offset) {
  if (size > kMaxBlock - m_used) return false;
  if (m_used + size > m_block.size()) {
    size_t capacity = std::max(m_block.size(), kInitialBlock);
    while (capacity < m_used + size) capacity *= 2;
    try {
      m_block.resize(capacity);
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  std::memcpy(m_block.data() + m_used, bytes, size);
  offset = static_cast<int32_t>(m_used);
  m_used += size;
  return true;
}

bool ArchiveIndex::AddEntry(int32_t archiveName, const std::string& name, uint32_t localHeader,
                            uint32_t compressedSize, uint32_t size) {
  const uint32_t bucket = NameHash(name.c_str()) % kBuckets;
  const int32_t fields[kFieldCount] = {m_buckets[bucket],
                                       m_lastEntry,
                                       archiveName,
                                       static_cast<int32_t>(localHeader),
                                       static_cast<int32_t>(compressedSize),
                                       static_cast<int32_t>(size)};
  int32_t entry = 0;
  int32_t ignored = 0;
  if (!Append(fields, sizeof fields, entry) || !Append(name.c_str(), name.size() + 1, ignored)) return false;
  m_buckets[bucket] = entry;
  m_lastEntry = entry;
  return true;
}

bool ArchiveIndex::ReadDirectory(FILE* handle, int32_t archiveName) {
  const ArchiveFile file(handle);
  if (file.length() < 0) return false;
  uint32_t count = 0;
  long long directory = 0;
  uint8_t header[kDirectoryHeaderSize];
  if (file.ReadAt(file.length() - static_cast<long long>(kEndRecordSize), header, kEndRecordSize) &&
      ReadLittleEndian32(header) == kEndOfDirectory) {
    count = ReadLittleEndian16(header + 10);
    directory = ReadLittleEndian32(header + 16);
  } else {
    // No end record where it belongs: count the local headers up to the
    // first central directory header instead.
    long long at = 0;
    for (;;) {
      if (!file.ReadAt(at, header, 4)) return false;
      const uint32_t signature = ReadLittleEndian32(header);
      if (signature == kDirectoryHeader) break;
      if (signature != kLocalHeader || !file.ReadAt(at, header, kLocalHeaderSize)) return false;
      at += kLocalHeaderSize + ReadLittleEndian16(header + 26) + ReadLittleEndian16(header + 28) +
            static_cast<long long>(ReadLittleEndian32(header + 18));
      ++count;
    }
    directory = at;
  }
  long long at = directory;
  for (uint32_t i = 0; i < count; ++i) {
    if (!file.ReadAt(at, header, kDirectoryHeaderSize) || ReadLittleEndian32(header) != kDirectoryHeader) return false;
    const size_t nameLength = ReadLittleEndian16(header + 28);
    std::string name(nameLength, '\0');
    if (!file.ReadAt(at + static_cast<long long>(kDirectoryHeaderSize), name.data(), nameLength)) return false;
    name.resize(std::strlen(name.c_str()));  // a zero byte ends the name as the index stores it
    if (!AddEntry(archiveName, name, ReadLittleEndian32(header + 42), ReadLittleEndian32(header + 20),
                  ReadLittleEndian32(header + 24)))
      return false;
    at += static_cast<long long>(kDirectoryHeaderSize) + nameLength + ReadLittleEndian16(header + 30) +
          ReadLittleEndian16(header + 32);
  }
  return true;
}

int ArchiveIndex::Add(const char* fileName) {
  if (fileName == nullptr) return -1;
  FILE* file = std::fopen(fileName, "rb");
  if (file == nullptr) return -1;
  // Remember where the index stood, to drop a broken archive completely.
  const size_t used = m_used;
  int32_t buckets[kBuckets];
  std::copy(std::begin(m_buckets), std::end(m_buckets), std::begin(buckets));
  const int32_t lastEntry = m_lastEntry;

  int32_t archiveName = 0;
  const bool ok = Append(fileName, std::strlen(fileName) + 1, archiveName) && ReadDirectory(file, archiveName);
  std::fclose(file);
  if (ok) return 0;
  m_used = used;
  std::copy(std::begin(buckets), std::end(buckets), std::begin(m_buckets));
  m_lastEntry = lastEntry;
  return -1;
}

bool ArchiveIndex::Find(const char* name, ArchiveMember& member) const {
  for (int32_t at = m_buckets[NameHash(name) % kBuckets]; at >= 0; at = Field(at, kFieldNextInBucket)) {
    const ArchiveMember candidate = MemberAt(at);
    if (NamesEqual(candidate.name, name)) {
      member = candidate;
      return true;
    }
  }
  return false;
}
