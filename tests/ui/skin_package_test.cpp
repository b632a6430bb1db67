#include "ui/skin_package.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "support/process_info.h"
#include "support/text.h"
#include "test_support.h"
#include "ui/skin_archive_fuzz.h"

namespace {

// Archives the build packs from tests/ui/test-skin with the same 7zz switches
// as the shipped skin, beside the test program; the second keeps its header
// uncompressed, so that mutations reach the header parser directly.
std::string TestArchive(const wchar_t* name) {
  return TestSupport::ReadFileBytes(TestSupport::ProgramFolder() + Utils::kPathSeparator + name);
}
std::string TestSkin() { return TestArchive(L"talvorin-test-skin.7z"); }
std::string TestSkinPlainHeader() { return TestArchive(L"talvorin-test-skin-plain-header.7z"); }

std::string Narrow(const std::wstring& text) { return Utils::ToNarrow(text, Utils::kCodePageUtf8); }

std::unique_ptr<Ui::SkinArchive> Open(const std::string& bytes) {
  return Ui::SkinArchive::Open(bytes.data(), bytes.size());
}

// The content of test-skin/res/data/table.csv.
std::string Table() {
  std::string text = "index,square,cube\n";
  for (long long i = 0; i < 200; ++i) {
    text += std::to_string(i) + "," + std::to_string(i * i) + "," + std::to_string(i * i * i) + "\n";
  }
  return text;
}

const std::string kMainWnd =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<Window size=\"600,400\" caption=\"0,0,0,35\" />\n";

// ---- the package this program carries --------------------------------------

TEST(SkinPackage, IsOpenedOnceAndServesEveryRead) {
  const Ui::SkinArchive* package = Ui::TheSkinPackage();
  ASSERT_NE(package, nullptr);
  EXPECT_EQ(Ui::TheSkinPackage(), package);
  // Reads come from the one decompressed copy, not from a fresh unpacking.
  const auto first = package->Find(L"mainWnd.xml");
  const auto second = Ui::ReadSkinFile(L"MAINWND.XML");
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->data(), second->data());
  EXPECT_EQ(first->size(), second->size());
}

TEST(SkinPackage, LookupsInTheShippedPackage) {
  ASSERT_NE(Ui::TheSkinPackage(), nullptr);
  struct Case {
    const wchar_t* request;
    bool found;
  };
  const Case cases[] = {
      {L"mainWnd.xml", true},
      {L"MainWnd.xml", true},              // other capitals
      {L"res\\mainWnd\\bg1.png", true},    // backslashes for the archive's slashes
      {L"res/mainWnd/bg1.png", true},
      {L"RES\\MAINWND\\BG1.PNG", true},
      {L"MainWnd.xm", false},              // one letter short
      {L"ainWnd.xml", false},
      {L"MainWnd.xmll", false},
      {L"res/mainWnd", false},             // folders are not files
      {L"language.json", true},            // the interface texts
      {L"res\\common\\minbtn4.png", false},
      {L"", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Ui::ReadSkinFile(c.request).has_value(), c.found) << Narrow(c.request);
  }
  const auto image = Ui::ReadSkinFile(L"res\\mainWnd\\bg1.png");
  ASSERT_TRUE(image);
  EXPECT_EQ(image->substr(0, 8), std::string_view("\x89PNG\r\n\x1a\n", 8));
  for (const std::wstring& name : Ui::TheSkinPackage()->Names()) {
    EXPECT_EQ(name.find(L'\\'), std::wstring::npos);
    EXPECT_NE(name.back(), L'/');
  }
}

// ---- an archive of known content -------------------------------------------

TEST(SkinArchive, LookupsInTheTestSkin) {
  const std::string bytes = TestSkin();
  ASSERT_FALSE(bytes.empty()) << "talvorin-test-skin.7z missing beside the test program";
  const auto archive = Open(bytes);
  ASSERT_NE(archive, nullptr);

  struct Case {
    std::wstring request;
    std::optional<std::string> contents;
  };
  const Case cases[] = {
      {L"mainWnd.xml", kMainWnd},
      {L"MAINWND.XML", kMainWnd},
      {L"MainWnd.xml", kMainWnd},
      {L"language.json", "{\"language\": \"zh-CN\"}\n"},
      {L"res/deep/Nested/Note.txt", "nested\n"},
      {L"res\\deep\\nested\\note.txt", "nested\n"},
      {L"res/deep\\NESTED/note.TXT", "nested\n"},
      {L"res\\data\\table.csv", Table()},        // a few kilobytes of repetitive text
      {L"res/empty.txt", ""},                   // an entry without data is still a file
      {L"res/\u6587\u5B57.txt", "\xe6\x96\x87\xe5\xad\x97\n"},
      {L"res/\U0001D11E.txt", "clef\n"},        // beyond the BMP: a surrogate pair in the archive
      {L"mainWnd.xm", std::nullopt},
      {L"ainWnd.xml", std::nullopt},
      {L"mainWnd.xmll", std::nullopt},
      {L"mainWnd.xml ", std::nullopt},
      {L"/mainWnd.xml", std::nullopt},
      {L"./mainWnd.xml", std::nullopt},
      {L"res", std::nullopt},
      {L"res/", std::nullopt},
      {L"res/deep/Nested", std::nullopt},
      {L"res/deep/Nested/", std::nullopt},
      {L"Note.txt", std::nullopt},
      {L"res/\u6587.txt", std::nullopt},
      {L"", std::nullopt},
  };
  for (const Case& c : cases) {
    const auto found = archive->Find(c.request);
    ASSERT_EQ(found.has_value(), c.contents.has_value()) << Narrow(c.request);
    if (found) {
      EXPECT_EQ(std::string(*found), *c.contents) << Narrow(c.request);
    }
  }

  std::vector<std::wstring> names = archive->Names();
  std::sort(names.begin(), names.end());
  const std::vector<std::wstring> expected = {
      L"language.json",       L"mainWnd.xml",           L"res/data/table.csv",
      L"res/deep/Nested/Note.txt", L"res/empty.txt",    L"res/\u6587\u5B57.txt",
      L"res/\U0001D11E.txt",
  };
  std::vector<std::wstring> sortedExpected = expected;
  std::sort(sortedExpected.begin(), sortedExpected.end());
  EXPECT_EQ(names, sortedExpected);
}

// Both archives hold the same files; the plain header changes nothing a
// reader sees.
bool SameContents(const Ui::SkinArchive& a, const Ui::SkinArchive& b) {
  const std::vector<std::wstring> names = a.Names();
  if (names != b.Names()) return false;
  for (const std::wstring& name : names) {
    if (a.Find(name) != b.Find(name)) return false;
  }
  return true;
}

TEST(SkinArchive, PlainHeaderArchiveReadsTheSame) {
  const auto packed = Open(TestSkin());
  const auto plain = Open(TestSkinPlainHeader());
  ASSERT_NE(packed, nullptr);
  ASSERT_NE(plain, nullptr);
  EXPECT_TRUE(SameContents(*packed, *plain));
}

// ---- damaged input ----------------------------------------------------------

TEST(SkinArchive, DamagedArchivesAreRefusedOrReadCorrectly) {
  const std::string intact = TestSkin();
  ASSERT_GT(intact.size(), 64u);
  const auto reference = Open(intact);
  ASSERT_NE(reference, nullptr);

  EXPECT_EQ(Ui::SkinArchive::Open(nullptr, 0), nullptr);
  EXPECT_EQ(Ui::SkinArchive::Open(intact.data(), 0), nullptr);

  // Every truncation loses the header at the end: nothing may open.
  for (std::size_t length = 0; length < intact.size(); ++length) {
    EXPECT_EQ(Open(intact.substr(0, length)), nullptr) << "truncated to " << length;
  }

  std::mt19937 random(20240611);
  auto noise = [&](std::size_t size) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    return bytes;
  };
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case refused[] = {
      {"one byte", "7"},
      {"signature only", intact.substr(0, 6)},
      {"start header only", intact.substr(0, 32)},
      {"random 32 bytes", noise(32)},
      {"random 1000 bytes", noise(1000)},
      {"signature and random rest", intact.substr(0, 6) + noise(intact.size() - 6)},
      {"start header and random rest", intact.substr(0, 32) + noise(intact.size() - 32)},
      {"all zero", std::string(intact.size(), '\0')},
      {"all 0xFF", std::string(intact.size(), '\xFF')},
  };
  for (const Case& c : refused) EXPECT_EQ(Open(c.bytes), nullptr) << c.what;

  // One damaged byte anywhere: the checksums over the headers and every file
  // either refuse the archive or prove it reads exactly as before. (A few
  // header bytes, such as the minor format version, are not checked.)
  std::size_t opened = 0;
  for (std::size_t i = 0; i < intact.size(); ++i) {
    for (const int mask : {0x01, 0x80, 0xFF}) {
      std::string bytes = intact;
      bytes[i] = static_cast<char>(static_cast<unsigned char>(bytes[i]) ^ mask);
      const auto archive = Open(bytes);
      if (archive == nullptr) continue;
      ++opened;
      EXPECT_TRUE(SameContents(*archive, *reference)) << "byte " << i << " xor " << mask;
    }
  }
  EXPECT_LT(opened, intact.size());
}

// ---- the fuzz target's short run --------------------------------------------

std::uint32_t Crc32(const char* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= static_cast<unsigned char>(data[i]);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

std::uint64_t ReadLe(const std::string& bytes, std::size_t at, int width) {
  std::uint64_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
  return value;
}

void WriteLe(std::string& bytes, std::size_t at, int width, std::uint64_t value) {
  for (int i = 0; i < width; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// Where the archive's end header lies, from its start header (offset 12:
// offset of the end header past byte 32, then its size).
struct EndHeader {
  std::size_t begin = 0;
  std::size_t size = 0;
};
EndHeader FindEndHeader(const std::string& bytes) {
  return {static_cast<std::size_t>(32 + ReadLe(bytes, 12, 8)), static_cast<std::size_t>(ReadLe(bytes, 20, 8))};
}

// Makes both header checksums right again, so that a mutation reaches the
// parser instead of stopping at the first checksum.
void FixChecksums(std::string& bytes, const EndHeader& end) {
  if (bytes.size() < 32) return;
  if (end.begin <= bytes.size() && end.size <= bytes.size() - end.begin) {
    WriteLe(bytes, 28, 4, Crc32(bytes.data() + end.begin, end.size));
  }
  WriteLe(bytes, 8, 4, Crc32(bytes.data() + 12, 20));
}

TEST(SkinArchive, FuzzTargetShortRun) {
  const std::string seeds[] = {TestSkin(), TestSkinPlainHeader()};
  std::vector<std::string> inputs;
  std::mt19937 random(7);
  for (const std::string& seed : seeds) {
    ASSERT_GT(seed.size(), 64u);
    inputs.push_back(seed);
    const EndHeader end = FindEndHeader(seed);
    ASSERT_LE(end.begin + end.size, seed.size());

    // Every byte of the end header, changed in five ways, checksums repaired.
    for (std::size_t i = end.begin; i < end.begin + end.size; ++i) {
      const auto original = static_cast<unsigned char>(seed[i]);
      for (const unsigned value : {original ^ 0x01u, original ^ 0x80u, 0x00u, 0xFFu, original + 1u}) {
        std::string bytes = seed;
        bytes[i] = static_cast<char>(value & 0xFF);
        FixChecksums(bytes, end);
        inputs.push_back(std::move(bytes));
      }
    }
    // Where the start header says the end header is, at the edges of sense.
    const std::uint64_t edges[] = {0, 1, seed.size() - 33, seed.size() - 32, seed.size(),
                                   0x7FFFFFFFFFFFFFFFull, 0xFFFFFFFFFFFFFFFFull};
    for (const std::uint64_t offset : edges) {
      for (const std::uint64_t size : edges) {
        std::string bytes = seed;
        WriteLe(bytes, 12, 8, offset);
        WriteLe(bytes, 20, 8, size);
        FixChecksums(bytes, end);
        inputs.push_back(std::move(bytes));
      }
    }
    // Random damage: one to four bytes anywhere, half of them with repaired
    // checksums, and random cuts.
    for (int round = 0; round < 700; ++round) {
      std::string bytes = seed;
      const int changes = 1 + static_cast<int>(random() % 4);
      for (int k = 0; k < changes; ++k) bytes[random() % bytes.size()] = static_cast<char>(random() & 0xFF);
      if (round % 2 == 0) FixChecksums(bytes, end);
      if (round % 7 == 0) bytes.resize(random() % bytes.size());
      inputs.push_back(std::move(bytes));
    }
  }

  std::size_t opened = 0;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    bool accepted = false;
    EXPECT_EQ(SkinFuzz::CheckSkinArchive(reinterpret_cast<const std::uint8_t*>(inputs[i].data()),
                                         inputs[i].size(), &accepted),
              "")
        << "input " << i;
    opened += accepted ? 1 : 0;
  }
  // The run must reach both sides: archives that still open after damage
  // (so the code past the parser is exercised) and archives that are refused.
  EXPECT_GT(opened, 2u);
  EXPECT_LT(opened, inputs.size());
  EXPECT_GT(inputs.size(), 2000u);
  // The libFuzzer entry point agrees on the intact seed.
  EXPECT_EQ(FuzzSkinArchive(reinterpret_cast<const std::uint8_t*>(seeds[0].data()), seeds[0].size()), 0);
}

}  // namespace
