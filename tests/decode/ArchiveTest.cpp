// The stream layer and the ZIP archive index, on an archive Python's zipfile writes (stored and deflated
// members): members open whatever the case and slashes of their names, read whole or with seeks, list by
// pattern, and broken archives are refused whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <thread>

#include "decode/ImageDecode.h"
#include "support/Oracles.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Names = std::vector<std::string>;

Bytes Sample(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i % 7 == 0 ? random() : i / 100);
  return bytes;
}

Bytes ReadAll(StreamContext& streams) {
  Bytes out;
  uint8_t buffer[1000];
  for (long long got; (got = streams.Read(buffer, sizeof buffer)) > 0;) out.insert(out.end(), buffer, buffer + got);
  return out;
}

class Archive : public testing::Test {
 protected:
  void SetUp() override {
    oracle::WriteFile(dir.path() / "a.bin", stored);
    oracle::WriteFile(dir.path() / "b.bin", deflated);
    oracle::WriteFile(dir.path() / "pic.png", oracle::ReadFile(oracle::DataDir() / "pngsuite" / "basn3p08.png"));
    ASSERT_EQ(oracle::RunPython("import os, zipfile\nos.chdir(r'" + dir.path().string() + "')\nz = zipfile.ZipFile('pack.zip', 'w')\n"
                                "z.write('a.bin', 'Images/Stored.BIN', zipfile.ZIP_STORED)\nz.write('b.bin', 'images/sub/deflated.bin', 8)\n"
                                "z.write('pic.png', 'Pictures/pic.png', 8)\n"), 0);
  }
  // Registers the archive's bytes changed by `edit`.
  int AddEdited(void (*edit)(Bytes&)) {
    Bytes bytes = oracle::ReadFile(zip);
    edit(bytes);
    oracle::WriteFile(dir.path() / "edited.zip", bytes);
    return streams.AddArchive((dir.path() / "edited.zip").c_str());
  }

  oracle::TempDir dir;
  std::filesystem::path zip = dir.path() / "pack.zip";
  Bytes stored = Sample(5000, 1), deflated = Sample(300000, 2);
  StreamContext streams;
};

TEST_F(Archive, MembersOpenUnderAnyCaseAndSlashAfterPlainFiles) {
  ASSERT_EQ(streams.AddArchive(zip.c_str()), 0);
  for (const auto& [name, content] : {std::pair{"|Images/Stored.BIN", &stored}, {"|images\\stored.bin", &stored}, {"|IMAGES/STORED.bin", &stored},
                                      {"images/stored.bin", &stored}, {"|images/sub/deflated.bin", &deflated},
                                      {"|IMAGES\\SUB/Deflated.BIN", &deflated}, {"Images\\Sub\\Deflated.bin", &deflated}}) {
    ASSERT_EQ(streams.Open(name), 0) << name;
    EXPECT_EQ(streams.Length(), static_cast<long long>(content->size()));
    EXPECT_TRUE(ReadAll(streams) == *content && streams.AtEnd() && streams.GetByte() == -1) << name;
  }
  for (const char* missing : {"|images/stored.bi", "|stored.bin", "|", "|images/sub"})
    EXPECT_TRUE(streams.Open(missing) == -1 && streams.Tell() == -1) << missing;
  // A plain file comes before a member of the same name; "|" names only members; a folder is no file.
  const auto plain = dir.path() / "images" / "stored.bin";
  std::filesystem::create_directories(plain.parent_path());
  oracle::WriteFile(plain, Bytes{1, 2, 3});
  EXPECT_TRUE(streams.Open(plain.c_str()) == 0 && ReadAll(streams) == (Bytes{1, 2, 3}));
  EXPECT_TRUE(streams.Open(("|" + plain.string()).c_str()) == -1 && streams.Open(dir.path().c_str()) == -1);
  // Listing: members by pattern with "|", then plain files.
  auto list = [&](const std::string& pattern) {
    Names names;
    for (const char* n = streams.FindFirst(pattern.c_str()); n; n = streams.FindNext()) names.push_back(n);
    return names;
  };
  EXPECT_EQ(list("|images\\*.BIN"), (Names{"|images/sub/deflated.bin", "|Images/Stored.BIN"}));
  EXPECT_EQ(list("|*/?tored.*"), (Names{"|Images/Stored.BIN"}));
  EXPECT_TRUE(list("|pictures/*") == Names{"|Pictures/pic.png"} && list("|nothing*").empty());
  const std::string folder = dir.path().string() + "/";
  EXPECT_EQ(list(folder + "*.BIN"), (Names{folder + "a.bin", folder + "b.bin"}));
  EXPECT_EQ(list(folder + "p*"), (Names{folder + "pack.zip", folder + "pic.png"}));
  // ImageLoadFile reads a member.
  uint32_t* frame = nullptr;
  int stride = 0, width = 0, height = 0;
  oracle::Image expected;
  ASSERT_TRUE(oracle::DecodePng(oracle::ReadFile(dir.path() / "pic.png"), expected));
  ASSERT_EQ(ImageLoadFile(streams, "|pictures\\PIC.png", &frame, &stride, &width, &height), 0);
  EXPECT_TRUE((oracle::Image{width, height, std::vector<uint32_t>(frame, frame + width * height)}) == expected && stride == width * 4);
  ImageFreeFrame(frame);
  EXPECT_TRUE(ImageLoadFile(streams, "|images/stored.bin", &frame, &stride, &width, &height) == -1 && frame == nullptr);
}

TEST_F(Archive, SeekTellAndGetByteInDeflatedMembers) {
  ASSERT_EQ(streams.AddArchive(zip.c_str()), 0);
  ASSERT_EQ(streams.Open("|images/sub/deflated.bin"), 0);
  const long long length = static_cast<long long>(deflated.size());
  // Each step seeks, then reads a byte and up to 64 more; relative seeks start from there.
  long long position = 0;
  for (const auto& [offset, origin] : {std::pair{100000LL, 0}, {-50000, 1}, {-10, 2}, {5, 0}, {-100, 0}, {1, 2}, {250000, 0},
                                      {40000, 1}, {-1000, 1}, {-290000, 1}, {length + 1, 1}, {0, 0}}) {
    position = std::clamp((origin == 0 ? 0 : origin == 1 ? position : length) + offset, 0LL, length);
    ASSERT_EQ(streams.Seek(offset, origin), position) << offset << " from " << origin;
    uint8_t buffer[64];
    const int first = streams.GetByte();
    const long long got = streams.Read(buffer, sizeof buffer);
    EXPECT_EQ(first, position < length ? deflated[position] : -1);
    ASSERT_EQ(got, std::clamp(length - position - 1, 0LL, 64LL));
    EXPECT_TRUE(std::equal(buffer, buffer + got, deflated.begin() + std::min(position + 1, length)));
    position = std::min(length, position + 1 + got);
    EXPECT_TRUE(streams.Tell() == position && streams.AtEnd() == (position == length));
  }
  streams.Close();
  EXPECT_TRUE(streams.Length() == -1 && streams.Read(nullptr, 0) == -1);
}

TEST_F(Archive, DamagedArchives) {
  // Without the end record the local headers are counted.
  ASSERT_EQ(AddEdited([](Bytes& b) { b.erase(b.end() - 22, b.end()); }), 0);
  EXPECT_TRUE(streams.Open("|images/stored.bin") == 0 && ReadAll(streams) == stored);
  streams.ClearArchives();
  // A member neither stored nor deflated is refused, the others still open.
  ASSERT_EQ(AddEdited([](Bytes& b) { b[8] = 12; }), 0);  // first local header: bzip2
  EXPECT_TRUE(streams.Open("|images/stored.bin") == -1 && streams.Open("|images/sub/deflated.bin") == 0);
  streams.ClearArchives();
  EXPECT_EQ(streams.Open("|images/sub/deflated.bin"), -1);
  // Broken structures are refused whole.
  for (void (*edit)(Bytes&) : {+[](Bytes& b) { b.clear(); }, +[](Bytes& b) { b.resize(10); }, +[](Bytes& b) { b.resize(b.size() / 2); },
                               +[](Bytes& b) { b.at(b.size() - 22 + 16) ^= 1; },  // directory offset off by one
                               +[](Bytes& b) { b.at(b.size() - 22 + 10) = 9; }}) {  // more entries than there are
    EXPECT_TRUE(AddEdited(edit) == -1 && streams.Open("|images/stored.bin") == -1);
  }
  EXPECT_EQ(streams.AddArchive((dir.path() / "absent.zip").c_str()), -1);
}

TEST(Stream, AttachReadsAnOpenedFileWithoutClosingIt) {
  FILE* file = std::tmpfile();
  const Bytes content = Sample(3000, 9);
  ASSERT_TRUE(file && std::fwrite(content.data(), 1, content.size(), file) == 3000 && StreamAttach(file) == 0);
  EXPECT_TRUE(StreamLength() == 3000 && StreamTell() == 0);
  Bytes read(4000);
  EXPECT_EQ(StreamRead(read.data(), read.size()), 3000);
  EXPECT_EQ(Bytes(read.begin(), read.begin() + 3000), content);
  EXPECT_TRUE(StreamAtEnd() && StreamSeek(-1, 2) == 2999 && StreamGetByte() == content[2999]);
  long long otherTell = 0;  // the default context belongs to the calling thread
  std::thread([&] { otherTell = StreamTell(); }).join();
  EXPECT_EQ(otherTell, -1);
  StreamClose();
  EXPECT_TRUE(StreamTell() == -1 && std::fseek(file, 0, SEEK_SET) == 0);  // still open: the caller owns it
  std::fclose(file);
  EXPECT_EQ(StreamAttach(nullptr), -1);
}

}  // namespace
