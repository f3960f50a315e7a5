#include "update/VersionBlock.h"

#include <algorithm>
#include <cstring>

namespace davu::version {
namespace {

std::uint16_t u16At(std::string_view b, std::size_t at) {
  return std::uint16_t(std::uint8_t(b[at]) | (std::uint8_t(b[at + 1]) << 8));
}

std::size_t align4(std::size_t v) { return (v + 3) & ~std::size_t(3); }

char16_t lowerAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }

struct Node {
  std::size_t start = 0, end = 0;  // end: start + wLength, clipped to the parent
  std::uint16_t valueLength = 0;
  std::uint16_t type = 0;
  std::size_t keyStart = 0, keyChars = 0;
  std::size_t valueStart = 0, valueEnd = 0;
  std::size_t childrenStart = 0;
};

// Parses the node at `at`, which must end by `limit`. Nothing when the header
// or key does not fit.
std::optional<Node> parseNode(std::string_view b, std::size_t at, std::size_t limit) {
  if (at > limit || limit - at < 6) return std::nullopt;
  const std::uint16_t length = u16At(b, at);
  if (length < 6) return std::nullopt;
  Node n;
  n.start = at;
  n.end = (limit - at < length) ? limit : at + length;
  n.valueLength = u16At(b, at + 2);
  n.type = u16At(b, at + 4);
  n.keyStart = at + 6;
  std::size_t p = n.keyStart;
  for (;;) {
    if (n.end - p < 2) return std::nullopt;  // unterminated key
    if (u16At(b, p) == 0) break;
    p += 2;
  }
  n.keyChars = (p - n.keyStart) / 2;
  n.valueStart = std::min(align4(p + 2), n.end);
  const std::size_t valueBytes = n.type == 1 ? std::size_t(n.valueLength) * 2 : n.valueLength;
  n.valueEnd = std::min(n.valueStart + valueBytes, n.end);
  n.childrenStart = std::min(align4(n.valueEnd), n.end);
  return n;
}

bool keyIs(std::string_view b, const Node& n, std::u16string_view key) {
  if (n.keyChars != key.size()) return false;
  for (std::size_t i = 0; i < key.size(); ++i)
    if (lowerAscii(u16At(b, n.keyStart + 2 * i)) != lowerAscii(key[i])) return false;
  return true;
}

std::optional<Node> child(std::string_view b, const Node& parent, std::u16string_view key) {
  std::size_t at = parent.childrenStart;
  while (at < parent.end) {
    const std::optional<Node> c = parseNode(b, at, parent.end);
    if (!c) return std::nullopt;
    if (keyIs(b, *c, key)) return c;
    at = align4(c->end);  // c->end > at: every node is at least 6 bytes
  }
  return std::nullopt;
}

std::optional<Node> root(std::string_view b) {
  std::optional<Node> r = parseNode(b, 0, b.size());
  if (!r || !keyIs(b, *r, u"VS_VERSION_INFO")) return std::nullopt;
  return r;
}

}  // namespace

std::optional<Translation> QueryTranslation(std::string_view block) {
  const auto r = root(block);
  if (!r) return std::nullopt;
  const auto var = child(block, *r, u"VarFileInfo");
  if (!var) return std::nullopt;
  const auto tr = child(block, *var, u"Translation");
  if (!tr || tr->valueEnd - tr->valueStart < 4) return std::nullopt;
  return Translation{u16At(block, tr->valueStart), u16At(block, tr->valueStart + 2)};
}

std::optional<std::u16string> QueryString(std::string_view block, std::u16string_view table,
                                          std::u16string_view entry) {
  const auto r = root(block);
  if (!r) return std::nullopt;
  const auto sfi = child(block, *r, u"StringFileInfo");
  if (!sfi) return std::nullopt;
  const auto tab = child(block, *sfi, table);
  if (!tab) return std::nullopt;
  const auto e = child(block, *tab, entry);
  if (!e) return std::nullopt;
  std::u16string text;
  if (e->valueLength == 0) return text;
  // Resource compilers disagree on whether the length counts units or bytes;
  // the text runs to its zero within the node either way.
  for (std::size_t p = e->valueStart; e->end - p >= 2; p += 2) {
    const char16_t c = u16At(block, p);
    if (c == 0) break;
    text.push_back(c);
  }
  return text;
}

std::u16string TableName(Translation t) {
  static const char16_t hex[] = u"0123456789abcdef";
  std::u16string s;
  for (std::uint16_t v : {t.language, t.codePage})
    for (int shift = 12; shift >= 0; shift -= 4) s.push_back(hex[(v >> shift) & 0xF]);
  return s;
}

// ------------------------------------------------------------------ writer

namespace {

void put16(std::string& out, std::uint16_t v) {
  out.push_back(char(v & 0xFF));
  out.push_back(char(v >> 8));
}
void put32(std::string& out, std::uint32_t v) {
  put16(out, std::uint16_t(v & 0xFFFF));
  put16(out, std::uint16_t(v >> 16));
}
void pad4(std::string& out) {
  while (out.size() % 4) out.push_back('\0');
}
void putText(std::string& out, std::u16string_view s) {
  for (char16_t c : s) put16(out, c);
  put16(out, 0);
}

std::string node(std::u16string_view key, std::uint16_t type, std::string_view value,
                 std::uint16_t valueLength, const std::vector<std::string>& children) {
  std::string n(6, '\0');
  putText(n, key);
  pad4(n);
  n += value;
  for (const std::string& c : children) {
    pad4(n);
    n += c;
  }
  const auto len = std::uint16_t(n.size());
  n[0] = char(len & 0xFF);
  n[1] = char(len >> 8);
  n[2] = char(valueLength & 0xFF);
  n[3] = char(valueLength >> 8);
  n[4] = char(type);
  return n;
}

}  // namespace

std::string BuildVersionBlock(const BlockContents& contents) {
  std::string fixed;
  put32(fixed, 0xFEEF04BD);  // signature
  put32(fixed, 0x00010000);  // structure version
  put32(fixed, (std::uint32_t(contents.fileVersion[0]) << 16) | contents.fileVersion[1]);
  put32(fixed, (std::uint32_t(contents.fileVersion[2]) << 16) | contents.fileVersion[3]);
  put32(fixed, (std::uint32_t(contents.productVersion[0]) << 16) | contents.productVersion[1]);
  put32(fixed, (std::uint32_t(contents.productVersion[2]) << 16) | contents.productVersion[3]);
  put32(fixed, 0x3F);     // file flags mask
  put32(fixed, 0);        // file flags
  put32(fixed, 0x40004);  // VOS_NT_WINDOWS32
  put32(fixed, 1);        // VFT_APP
  put32(fixed, 0);        // subtype
  put32(fixed, 0);        // date
  put32(fixed, 0);

  std::vector<std::string> tables;
  for (const BlockContents::Table& t : contents.tables) {
    std::vector<std::string> strings;
    for (const auto& [k, v] : t.entries) {
      std::string value;
      putText(value, v);
      strings.push_back(node(k, 1, value, std::uint16_t(v.size() + 1), {}));
    }
    tables.push_back(node(TableName(t.translation), 1, {}, 0, strings));
  }
  std::vector<Translation> translations = contents.translations;
  if (translations.empty())
    for (const BlockContents::Table& t : contents.tables) translations.push_back(t.translation);
  std::string pairs;
  for (Translation t : translations) {
    put16(pairs, t.language);
    put16(pairs, t.codePage);
  }
  std::vector<std::string> top;
  top.push_back(node(u"StringFileInfo", 1, {}, 0, tables));
  top.push_back(node(u"VarFileInfo", 1, {}, 0,
                     {node(u"Translation", 0, pairs, std::uint16_t(pairs.size()), {})}));
  return node(u"VS_VERSION_INFO", 0, fixed, std::uint16_t(fixed.size()), top);
}

std::u16string Utf16FromUtf8(std::string_view s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    const auto c = std::uint8_t(s[i]);
    std::uint32_t cp = 0xFFFD;
    std::size_t len = 1;
    auto cont = [&](std::size_t k) { return i + k < s.size() && (std::uint8_t(s[i + k]) & 0xC0) == 0x80; };
    if (c < 0x80) {
      cp = c;
    } else if ((c & 0xE0) == 0xC0 && cont(1)) {
      cp = ((c & 0x1Fu) << 6) | (std::uint8_t(s[i + 1]) & 0x3Fu);
      len = 2;
    } else if ((c & 0xF0) == 0xE0 && cont(1) && cont(2)) {
      cp = ((c & 0x0Fu) << 12) | ((std::uint8_t(s[i + 1]) & 0x3Fu) << 6) | (std::uint8_t(s[i + 2]) & 0x3Fu);
      len = 3;
    } else if ((c & 0xF8) == 0xF0 && cont(1) && cont(2) && cont(3)) {
      cp = ((c & 0x07u) << 18) | ((std::uint8_t(s[i + 1]) & 0x3Fu) << 12) |
           ((std::uint8_t(s[i + 2]) & 0x3Fu) << 6) | (std::uint8_t(s[i + 3]) & 0x3Fu);
      len = 4;
    }
    if (cp >= 0x10000 && cp <= 0x10FFFF) {
      cp -= 0x10000;
      out.push_back(char16_t(0xD800 + (cp >> 10)));
      out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(cp > 0x10FFFF ? u'\uFFFD' : char16_t(cp));
    }
    i += len;
  }
  return out;
}

}  // namespace davu::version
