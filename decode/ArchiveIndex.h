// The index of registered ZIP archive members.  One growable block of bytes
// (8 KB at first, doubled as needed) holds, per archive, its file name once
// and then one entry per member: the link to the next entry of the same hash
// bucket, the link to the previously registered entry (so members can be
// listed), the offset of the archive's name, the member's local header offset,
// its sizes from the central directory, and its zero-terminated name.  256
// buckets by NameHash make a lookup a short chain walk.
//
// Registration reads the end-of-central-directory record in the file's last
// 22 bytes; without one it walks the local headers from the start up to the
// central directory.  Every header is read through bounds-checked file reads,
// the member count is bounded by the directory's real size, and an archive
// that turns out broken is rolled back so the index never holds half of one.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Pointers into the index: valid until the next Add or Clear.
struct ArchiveMember {
  const char* archive;  // file name of the archive
  const char* name;     // member name as stored
  uint32_t localHeader;
  uint32_t compressedSize;
  uint32_t size;
};

class ArchiveIndex {
 public:
  ArchiveIndex();

  int Add(const char* fileName);
  void Clear();

  // The most recently registered member of that name, or false.
  bool Find(const char* name, ArchiveMember& member) const;

  // Every member, most recently registered first.
  template <class Visit>
  void ForEach(Visit visit) const {
    for (int32_t at = m_lastEntry; at >= 0; at = Field(at, kFieldPreviousEntry)) visit(MemberAt(at));
  }

 private:
  static constexpr int kBuckets = 256;
  // Entry fields, 32 bits each, then the name.
  enum FieldIndex {
    kFieldNextInBucket,
    kFieldPreviousEntry,
    kFieldArchiveName,
    kFieldLocalHeader,
    kFieldCompressedSize,
    kFieldSize,
    kFieldCount
  };

  int32_t Field(int32_t entry, FieldIndex field) const;
  ArchiveMember MemberAt(int32_t entry) const;
  bool Append(const void* bytes, size_t size, int32_t& offset);
  bool AddEntry(int32_t archiveName, const std::string& name, uint32_t localHeader, uint32_t compressedSize,
                uint32_t size);
  bool ReadDirectory(FILE* file, int32_t archiveName);

  std::vector<uint8_t> m_block;
  size_t m_used = 0;
  int32_t m_buckets[kBuckets];
  int32_t m_lastEntry = -1;
};
