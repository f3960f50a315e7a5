// The version block parser and the ELF walker on blocks and files built here.
#include <QtTest>
#include <string>

#include "update/ExecutableImage.h"
#include "update/VersionBlock.h"

using namespace davu::version;

namespace {

BlockContents twoTables() {
  BlockContents s;
  s.tables.push_back({{0x041D, 0x04E4}, {{u"CompanyName", u"Solvarn"}, {u"FileVersion", u"1.2.3.4"},
                                         {u"Comments", u""}}});
  s.tables.push_back({{0x0409, 0x04E4}, {{u"CompanyName", u"Other"}}});
  return s;
}

void put(std::string& b, std::size_t at, std::uint64_t v, int bytes, bool big) {
  if (b.size() < at + std::size_t(bytes)) b.resize(at + std::size_t(bytes));
  for (int i = 0; i < bytes; ++i)
    b[at + std::size_t(big ? bytes - 1 - i : i)] = char((v >> (8 * i)) & 0xFF);
}

// A minimal 32-bit big-endian ELF with sections "", ".davu_version", ".shstrtab".
std::string elf32BigEndian(const std::string& payload) {
  const std::string names = std::string("\0.davu_version\0.shstrtab\0", 25);
  std::string b(52, '\0');
  b.replace(0, 7, std::string("\x7f" "ELF\x01\x02\x01", 7));
  const std::size_t payloadAt = b.size();
  b += payload;
  const std::size_t namesAt = b.size();
  b += names;
  while (b.size() % 4) b.push_back('\0');
  const std::size_t shoff = b.size();
  b.resize(shoff + 3 * 40);
  put(b, 0x20, shoff, 4, true);
  put(b, 0x2E, 40, 2, true);
  put(b, 0x30, 3, 2, true);
  put(b, 0x32, 2, 2, true);
  auto section = [&](int i, std::uint32_t name, std::uint32_t type, std::size_t off, std::size_t size) {
    const std::size_t h = shoff + std::size_t(i) * 40;
    put(b, h, name, 4, true);
    put(b, h + 4, type, 4, true);
    put(b, h + 0x10, off, 4, true);
    put(b, h + 0x14, size, 4, true);
  };
  section(1, 1, 1, payloadAt, payload.size());
  section(2, 15, 3, namesAt, names.size());
  return b;
}

// A minimal PE32 (32-bit optional header) whose one section ".rsrc" holds the
// resource tree RT_VERSION -> 1 -> 0x041D and the block.
std::string pe32WithVersion(const std::string& block) {
  std::string b(0x200, '\0');
  b[0] = 'M';
  b[1] = 'Z';
  put(b, 0x3C, 0x40, 4, false);
  b.replace(0x40, 4, std::string("PE\0\0", 4));
  put(b, 0x44, 0x14C, 2, false);  // i386
  put(b, 0x46, 1, 2, false);      // one section
  put(b, 0x54, 0xE0, 2, false);   // optional header size
  const std::size_t opt = 0x58;
  put(b, opt, 0x10B, 2, false);
  put(b, opt + 92, 16, 4, false);
  const std::size_t rsrcSize = 0x58 + block.size();
  put(b, opt + 96 + 16, 0x1000, 4, false);
  put(b, opt + 96 + 20, rsrcSize, 4, false);
  const std::size_t sec = opt + 0xE0;
  b.replace(sec, 5, ".rsrc");
  put(b, sec + 8, rsrcSize, 4, false);
  put(b, sec + 12, 0x1000, 4, false);
  put(b, sec + 16, rsrcSize, 4, false);
  put(b, sec + 20, 0x200, 4, false);
  std::string r(0x58, '\0');
  put(r, 0x0E, 1, 2, false);
  put(r, 0x10, 16, 4, false);
  put(r, 0x14, 0x80000018u, 4, false);
  put(r, 0x18 + 0x0E, 1, 2, false);
  put(r, 0x18 + 0x10, 1, 4, false);
  put(r, 0x18 + 0x14, 0x80000030u, 4, false);
  put(r, 0x30 + 0x0E, 1, 2, false);
  put(r, 0x30 + 0x10, 0x041D, 4, false);
  put(r, 0x30 + 0x14, 0x48, 4, false);
  put(r, 0x48, 0x1000 + 0x58, 4, false);
  put(r, 0x4C, block.size(), 4, false);
  return b + r + block;
}

}  // namespace

class VersionBlockTest : public QObject {
  Q_OBJECT

 private slots:
  void firstTranslationAndEntries() {
    const std::string block = BuildVersionBlock(twoTables());
    const auto tr = QueryTranslation(block);
    QVERIFY(tr);
    QCOMPARE(TableName(*tr), std::u16string(u"041d04e4"));
    QCOMPARE(QueryString(block, u"041d04e4", u"CompanyName"), std::optional<std::u16string>(u"Solvarn"));
    QCOMPARE(QueryString(block, u"041D04E4", u"companyname"), std::optional<std::u16string>(u"Solvarn"));
    QCOMPARE(QueryString(block, u"040904e4", u"CompanyName"), std::optional<std::u16string>(u"Other"));
    QCOMPARE(QueryString(block, u"041d04e4", u"Comments"), std::optional<std::u16string>(u""));
    QVERIFY(!QueryString(block, u"041d04e4", u"SpecialBuild"));
    QVERIFY(!QueryString(block, u"041d0000", u"CompanyName"));
  }

  void blockWithoutTranslationHasNone() {
    BlockContents s = twoTables();
    s.translations = {};
    s.tables.clear();
    QVERIFY(!QueryTranslation(BuildVersionBlock(s)));
    QVERIFY(!QueryTranslation(std::string_view()));
  }

  // Value lengths counted in bytes instead of units still give the text.
  void byteCountedTextLength() {
    std::string block = BuildVersionBlock(twoTables());
    const std::u16string key = u"FileVersion";
    const std::string keyBytes(reinterpret_cast<const char*>(key.data()), key.size() * 2);
    const std::size_t at = block.find(keyBytes);
    QVERIFY(at != std::string::npos);
    block[at - 4] = char(16);  // "1.2.3.4" + zero: 8 units, 16 bytes
    QCOMPARE(QueryString(block, u"041d04e4", u"FileVersion"), std::optional<std::u16string>(u"1.2.3.4"));
  }

  // Every prefix of a valid block parses without reading past its end (the
  // sanitizer build checks the reads); a cut entry is missing, never garbage.
  void everyTruncationIsSafe() {
    const std::string block = BuildVersionBlock(twoTables());
    for (std::size_t n = 0; n < block.size(); ++n) {
      const std::string cut = block.substr(0, n);
      QueryTranslation(cut);
      const auto v = QueryString(cut, u"041d04e4", u"FileVersion");
      QVERIFY(!v || *v == u"1.2.3.4" || std::u16string(u"1.2.3.4").starts_with(*v));
    }
  }

  void elf32BigEndianSection() {
    const std::string block = BuildVersionBlock(twoTables());
    const std::string elf = elf32BigEndian(block);
    const auto found = FindVersionBlock(elf);
    QVERIFY(found);
    QCOMPARE(std::string(*found), block);
    QVERIFY(!FindElfSection(elf, ".davu_versio"));
    // Cut anywhere, the walker finds the section only while all of it is there.
    for (std::size_t n = 0; n < elf.size(); ++n) {
      const auto f = FindElfSection(std::string_view(elf).substr(0, n), kElfSectionName);
      QVERIFY(!f || *f == block);
    }
  }

  void pe32Resource() {
    const std::string block = BuildVersionBlock(twoTables());
    const std::string pe = pe32WithVersion(block);
    const auto found = FindVersionBlock(pe);
    QVERIFY(found);
    QCOMPARE(std::string(*found), block);
    for (std::size_t n = 0; n < pe.size(); ++n) {
      const auto f = FindPeVersionResource(std::string_view(pe).substr(0, n));
      QVERIFY(!f || *f == block);
    }
    // Not a version resource: RT_STRING (6) instead of RT_VERSION.
    std::string other = pe;
    other[0x200 + 0x10] = 6;
    QVERIFY(!FindPeVersionResource(other));
  }

  void utf8Conversion() {
    QCOMPARE(Utf16FromUtf8("Åä ©"), std::u16string(u"Åä ©"));
    QCOMPARE(Utf16FromUtf8("\xF0\x9F\x98\x80"), std::u16string(u"\U0001F600"));
    QCOMPARE(Utf16FromUtf8("a\xC3"), std::u16string(u"a\uFFFD"));
  }
};

QTEST_GUILESS_MAIN(VersionBlockTest)
#include "versionblock_test.moc"
