// The stream layer and the ZIP archive index, with archives written by
// Python's zipfile (stored and deflated members): members are found whatever
// the letter case and slash style of their names, read whole or piecewise
// with seeks, listed by pattern, and broken archives are refused whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "decode/ImageDecode.h"
#include "support/Oracles.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes Sample(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i % 7 == 0 ? random() : i / 100);
  return bytes;
}

// Writes the members' files and zips them: (name in the archive, source file, compression).
void MakeZip(const fs::path& zip, const std::vector<std::tuple<std::string, fs::path, bool>>& members) {
  std::string script = "import zipfile\nz = zipfile.ZipFile(r'" + zip.string() + "', 'w')\n";
  for (const auto& [name, source, deflated] : members)
    script += "z.write(r'" + source.string() + "', '" + name + "', zipfile." +
              (deflated ? "ZIP_DEFLATED" : "ZIP_STORED") + ")\n";
  script += "z.close()\n";
  ASSERT_EQ(oracle::RunPython(script), 0);
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
    stored = Sample(5000, 1);
    deflated = Sample(300000, 2);
    oracle::WriteFile(dir.path() / "a.bin", stored);
    oracle::WriteFile(dir.path() / "b.bin", deflated);
    fs::copy_file(oracle::DataDir() / "pngsuite" / "basn3p08.png", dir.path() / "pic.png");
    zip = dir.path() / "pack.zip";
    MakeZip(zip, {{"Images/Stored.BIN", dir.path() / "a.bin", false},
                  {"images/sub/deflated.bin", dir.path() / "b.bin", true},
                  {"Pictures/pic.png", dir.path() / "pic.png", true}});
  }

  oracle::TempDir dir;
  fs::path zip;
  Bytes stored, deflated;
  StreamContext streams;
};

TEST_F(Archive, MembersOpenUnderAnyCaseAndSlash) {
  ASSERT_EQ(streams.AddArchive(zip.c_str()), 0);
  const struct {
    const char* name;
    const Bytes* content;
  } cases[] = {
      {"|Images/Stored.BIN", &stored},        {"|images\\stored.bin", &stored},
      {"|IMAGES/STORED.bin", &stored},        {"images/stored.bin", &stored},
      {"|images/sub/deflated.bin", &deflated}, {"|IMAGES\\SUB/Deflated.BIN", &deflated},
      {"Images\\Sub\\Deflated.bin", &deflated},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(streams.Open(c.name), 0);
    EXPECT_EQ(streams.Length(), static_cast<long long>(c.content->size()));
    EXPECT_EQ(ReadAll(streams), *c.content);
    EXPECT_TRUE(streams.AtEnd());
    EXPECT_EQ(streams.GetByte(), -1);
  }
  for (const char* missing : {"|images/stored.bi", "|stored.bin", "|", "|images/sub"}) {
    SCOPED_TRACE(missing);
    EXPECT_EQ(streams.Open(missing), -1);
    EXPECT_EQ(streams.Tell(), -1);
  }
}

TEST_F(Archive, PlainFilesComeBeforeMembers) {
  ASSERT_EQ(streams.AddArchive(zip.c_str()), 0);
  const fs::path plain = dir.path() / "images" / "stored.bin";
  fs::create_directories(plain.parent_path());
  oracle::WriteFile(plain, Bytes{1, 2, 3});
  ASSERT_EQ(streams.Open(plain.c_str()), 0);
  EXPECT_EQ(ReadAll(streams), (Bytes{1, 2, 3}));
  ASSERT_EQ(streams.Open(("|" + plain.string()).c_str()), -1);  // "|" names only members
  EXPECT_EQ(streams.Open(dir.path().c_str()), -1);              // a folder is not a file
}

TEST_F(Archive, SeekTellAndGetByteInDeflatedMembers) {
  ASSERT_EQ(streams.AddArchive(zip.c_str()), 0);
  ASSERT_EQ(streams.Open("|images/sub/deflated.bin"), 0);
  const long long length = static_cast<long long>(deflated.size());
  // Each step seeks, then reads a byte and up to 64 more, moving the position
  // on; relative seeks start from there.
  const struct {
    long long offset;
    int origin;
  } seeks[] = {{100000, 0}, {-50000, 1}, {-10, 2}, {5, 0},     {-100, 0}, {1, 2},
               {250000, 0}, {40000, 1},  {-1000, 1}, {-290000, 1}, {length + 1, 1}, {0, 0}};
  long long position = 0;
  for (const auto& s : seeks) {
    SCOPED_TRACE(testing::Message() << s.offset << " from " << s.origin);
    const long long base = s.origin == 0 ? 0 : s.origin == 1 ? position : length;
    const long long expected = std::clamp(base + s.offset, 0LL, length);
    ASSERT_EQ(streams.Seek(s.offset, s.origin), expected);
    EXPECT_EQ(streams.Tell(), expected);
    position = expected;
    if (expected < length) {
      EXPECT_EQ(streams.GetByte(), deflated[static_cast<size_t>(expected)]);
      uint8_t buffer[64];
      const long long got = streams.Read(buffer, sizeof buffer);
      ASSERT_EQ(got, std::min<long long>(64, length - expected - 1));
      EXPECT_TRUE(std::equal(buffer, buffer + got, deflated.begin() + expected + 1));
      position = expected + 1 + got;
    } else {
      EXPECT_TRUE(streams.AtEnd());
    }
    EXPECT_EQ(streams.Tell(), position);
  }
  streams.Close();
  EXPECT_EQ(streams.Length(), -1);
  EXPECT_EQ(streams.Read(nullptr, 0), -1);
}

TEST_F(Archive, FindListsFilesAndMembers) {
  ASSERT_EQ(streams.AddArchive(zip.c_str()), 0);
  auto list = [&](const std::string& pattern) {
    std::vector<std::string> names;
    for (const char* n = streams.FindFirst(pattern.c_str()); n; n = streams.FindNext()) names.push_back(n);
    return names;
  };
  EXPECT_EQ(list("|images\\*.BIN"), (std::vector<std::string>{"|images/sub/deflated.bin", "|Images/Stored.BIN"}));
  EXPECT_EQ(list("|*/?tored.*"), (std::vector<std::string>{"|Images/Stored.BIN"}));
  EXPECT_EQ(list("|pictures/*"), (std::vector<std::string>{"|Pictures/pic.png"}));
  EXPECT_TRUE(list("|nothing*").empty());
  const std::string folder = dir.path().string() + "/";
  EXPECT_EQ(list(folder + "*.BIN"), (std::vector<std::string>{folder + "a.bin", folder + "b.bin"}));
  EXPECT_EQ(list(folder + "p*"), (std::vector<std::string>{folder + "pack.zip", folder + "pic.png"}));
}

TEST_F(Archive, ImageLoadFileReadsAMember) {
  ASSERT_EQ(streams.AddArchive(zip.c_str()), 0);
  uint32_t* frame = nullptr;
  int stride = 0, width = 0, height = 0;
  ASSERT_EQ(ImageLoadFile(streams, "|pictures\\PIC.png", &frame, &stride, &width, &height), 0);
  oracle::Image expected;
  ASSERT_TRUE(oracle::DecodePng(oracle::ReadFile(dir.path() / "pic.png"), expected));
  ASSERT_EQ(width, expected.width);
  ASSERT_EQ(height, expected.height);
  EXPECT_EQ(stride, width * 4);
  EXPECT_EQ(std::vector<uint32_t>(frame, frame + width * height), expected.pixels);
  ImageFreeFrame(frame);
  EXPECT_EQ(ImageLoadFile(streams, "|images/stored.bin", &frame, &stride, &width, &height), -1);
  EXPECT_EQ(frame, nullptr);
}

TEST_F(Archive, WithoutEndRecordTheLocalHeadersAreCounted) {
  Bytes bytes = oracle::ReadFile(zip);
  bytes.resize(bytes.size() - 22);
  const fs::path cut = dir.path() / "cut.zip";
  oracle::WriteFile(cut, bytes);
  ASSERT_EQ(streams.AddArchive(cut.c_str()), 0);
  ASSERT_EQ(streams.Open("|images/stored.bin"), 0);
  EXPECT_EQ(ReadAll(streams), stored);
}

TEST_F(Archive, BrokenArchivesAreRefusedWhole) {
  const Bytes bytes = oracle::ReadFile(zip);
  const fs::path broken = dir.path() / "broken.zip";
  std::vector<Bytes> variants;
  for (size_t cut : {size_t{0}, size_t{10}, bytes.size() / 2}) variants.emplace_back(bytes.begin(), bytes.begin() + cut);
  Bytes badDirectory = bytes;
  badDirectory.at(bytes.size() - 22 + 16) ^= 0x01;  // directory offset off by one
  variants.push_back(badDirectory);
  Bytes tooManyEntries = bytes;
  tooManyEntries.at(bytes.size() - 22 + 10) = 9;
  variants.push_back(tooManyEntries);
  for (const Bytes& variant : variants) {
    oracle::WriteFile(broken, variant);
    EXPECT_EQ(streams.AddArchive(broken.c_str()), -1);
    EXPECT_EQ(streams.Open("|images/stored.bin"), -1);
  }
  EXPECT_EQ(streams.AddArchive((dir.path() / "absent.zip").c_str()), -1);
  ASSERT_EQ(streams.AddArchive(zip.c_str()), 0);
  EXPECT_EQ(streams.Open("|images/stored.bin"), 0);
  streams.ClearArchives();
  EXPECT_EQ(streams.Open("|images/stored.bin"), -1);
}

TEST_F(Archive, MembersThatAreNotStoredOrDeflatedAreRefused) {
  Bytes bytes = oracle::ReadFile(zip);
  bytes[8] = 12;  // first member's local header: bzip2
  const fs::path other = dir.path() / "other.zip";
  oracle::WriteFile(other, bytes);
  ASSERT_EQ(streams.AddArchive(other.c_str()), 0);
  EXPECT_EQ(streams.Open("|images/stored.bin"), -1);
  EXPECT_EQ(streams.Open("|images/sub/deflated.bin"), 0);
}

TEST(Stream, AttachReadsAnOpenedFileWithoutClosingIt) {
  FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  const Bytes content = Sample(3000, 9);
  std::fwrite(content.data(), 1, content.size(), file);
  ASSERT_EQ(StreamAttach(file), 0);
  EXPECT_EQ(StreamLength(), 3000);
  EXPECT_EQ(StreamTell(), 0);
  Bytes read(4000);
  EXPECT_EQ(StreamRead(read.data(), read.size()), 3000);
  read.resize(3000);
  EXPECT_EQ(read, content);
  EXPECT_TRUE(StreamAtEnd());
  EXPECT_EQ(StreamSeek(-1, 2), 2999);
  EXPECT_EQ(StreamGetByte(), content[2999]);
  StreamClose();
  EXPECT_EQ(StreamTell(), -1);
  EXPECT_EQ(std::fseek(file, 0, SEEK_SET), 0);  // still open: the caller owns it
  std::fclose(file);
  EXPECT_EQ(StreamAttach(nullptr), -1);
}

TEST(Stream, DefaultContextsBelongToTheirThread) {
  oracle::TempDir dir;
  oracle::WriteFile(dir.path() / "x.bin", Bytes{1});
  ASSERT_EQ(StreamOpen((dir.path() / "x.bin").c_str()), 0);
  long long otherTell = 0;
  std::thread([&] { otherTell = StreamTell(); }).join();
  EXPECT_EQ(otherTell, -1);
  EXPECT_EQ(StreamTell(), 0);
  StreamClose();
}

}  // namespace
