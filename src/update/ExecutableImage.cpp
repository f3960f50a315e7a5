#include "update/ExecutableImage.h"

#include <algorithm>
#include <bit>
#include <cstdint>

namespace davu::version {
namespace {

// Bounds-checked little- or big-endian reads; a read past the end fails.
class Reader {
 public:
  Reader(std::string_view b, bool bigEndian) : b_(b), big_(bigEndian) {}
  bool fits(std::uint64_t at, std::uint64_t len) const {
    return at <= b_.size() && len <= b_.size() - at;
  }
  bool get(std::uint64_t at, int bytes, std::uint64_t& v) const {
    if (!fits(at, std::uint64_t(bytes))) return false;
    v = 0;
    for (int i = 0; i < bytes; ++i) {
      const std::uint64_t byte = std::uint8_t(b_[at + std::uint64_t(big_ ? i : bytes - 1 - i)]);
      v = (v << 8) | byte;
    }
    return true;
  }

 private:
  std::string_view b_;
  bool big_;
};

constexpr std::uint32_t kShtNobits = 8;

}  // namespace

bool IsExecutableForThisMachine(std::string_view head) {
#if defined(__x86_64__)
  constexpr std::uint64_t kMachine = 62;  // EM_X86_64
#elif defined(__aarch64__)
  constexpr std::uint64_t kMachine = 183;  // EM_AARCH64
#elif defined(__i386__)
  constexpr std::uint64_t kMachine = 3;  // EM_386
#else
#error "the machine number of this architecture is missing"
#endif
  constexpr int kClass = sizeof(void*) == 8 ? 2 : 1;
  constexpr int kData = std::endian::native == std::endian::big ? 2 : 1;
  if (head.size() < 20 || head.substr(0, 4) != "\x7f" "ELF" || std::uint8_t(head[4]) != kClass ||
      std::uint8_t(head[5]) != kData)
    return false;
  const Reader r(head, kData == 2);
  std::uint64_t type = 0, machine = 0;
  // ET_EXEC or ET_DYN (a position-independent executable).
  return r.get(16, 2, type) && r.get(18, 2, machine) && (type == 2 || type == 3) && machine == kMachine;
}

// ELF: the section header table and its string table give each section's
// name, file offset and size.
std::optional<std::string_view> FindElfSection(std::string_view file, std::string_view name) {
  if (file.size() < 16 || file.substr(0, 4) != "\x7f" "ELF") return std::nullopt;
  const int cls = std::uint8_t(file[4]), data = std::uint8_t(file[5]);
  if ((cls != 1 && cls != 2) || (data != 1 && data != 2)) return std::nullopt;
  const bool is64 = cls == 2;
  const Reader r(file, data == 2);
  const int word = is64 ? 8 : 4;
  std::uint64_t shoff = 0, shentsize = 0, shnum = 0, shstrndx = 0;
  if (!r.get(is64 ? 0x28 : 0x20, word, shoff) || !r.get(is64 ? 0x3A : 0x2E, 2, shentsize) ||
      !r.get(is64 ? 0x3C : 0x30, 2, shnum) || !r.get(is64 ? 0x3E : 0x32, 2, shstrndx))
    return std::nullopt;
  const std::uint64_t minEntry = is64 ? 64 : 40;
  if (shoff == 0 || shoff > file.size() || shentsize < minEntry) return std::nullopt;
  // Section header fields: name +0, type +4, offset, size, link.
  const std::uint64_t offOffset = is64 ? 0x18 : 0x10, sizeOffset = is64 ? 0x20 : 0x14;
  const std::uint64_t linkOffset = is64 ? 0x28 : 0x18;
  // Extended numbering keeps the real counts in section 0.
  if (shnum == 0 && !r.get(shoff + sizeOffset, word, shnum)) return std::nullopt;
  if (shstrndx == 0xFFFF && !r.get(shoff + linkOffset, 4, shstrndx)) return std::nullopt;
  if (shnum == 0 || shoff > file.size() || shnum > (file.size() - shoff) / shentsize ||
      shstrndx >= shnum)
    return std::nullopt;

  auto sectionBytes = [&](std::uint64_t index, std::string_view& out, std::uint64_t& type,
                          std::uint64_t& nameOff) {
    const std::uint64_t h = shoff + index * shentsize;
    std::uint64_t off = 0, size = 0;
    if (!r.get(h, 4, nameOff) || !r.get(h + 4, 4, type) || !r.get(h + offOffset, word, off) ||
        !r.get(h + sizeOffset, word, size))
      return false;
    if (type == kShtNobits || !r.fits(off, size)) return false;
    out = file.substr(off, size);
    return true;
  };
  std::string_view strtab;
  std::uint64_t type = 0, nameOff = 0;
  if (!sectionBytes(shstrndx, strtab, type, nameOff)) return std::nullopt;
  for (std::uint64_t i = 1; i < shnum; ++i) {
    std::string_view bytes;
    if (!sectionBytes(i, bytes, type, nameOff)) continue;
    if (nameOff >= strtab.size()) continue;
    const std::string_view rest = strtab.substr(nameOff);
    const std::size_t end = rest.find('\0');
    if (end == std::string_view::npos) continue;
    if (rest.substr(0, end) == name) return bytes;
  }
  return std::nullopt;
}

// PE: DOS header -> "PE\0\0" -> COFF header -> optional header with the
// resource data directory -> section table (to map addresses to file offsets)
// -> the three-level resource tree: type, name, language.
namespace {

// What the PE headers say about the sections and the resource directory.
struct PeLayout {
  std::uint64_t sections = 0;   // file offset of the section table
  std::uint64_t nsections = 0;
  std::uint64_t resourceRva = 0;
};

std::optional<PeLayout> ReadPeLayout(const Reader& r, std::string_view file) {
  if (file.size() < 0x40 || file.substr(0, 2) != "MZ") return std::nullopt;
  std::uint64_t pe = 0;
  if (!r.get(0x3C, 4, pe) || !r.fits(pe, 24) || file.substr(pe, 4) != std::string_view("PE\0\0", 4))
    return std::nullopt;
  PeLayout l;
  std::uint64_t optSize = 0, magic = 0;
  r.get(pe + 6, 2, l.nsections);
  r.get(pe + 20, 2, optSize);
  const std::uint64_t opt = pe + 24;
  if (!r.get(opt, 2, magic)) return std::nullopt;
  std::uint64_t countAt = 0, dirsAt = 0;
  if (magic == 0x10B) countAt = 92, dirsAt = 96;
  else if (magic == 0x20B) countAt = 108, dirsAt = 112;
  else return std::nullopt;
  std::uint64_t ndirs = 0, resSize = 0;
  if (!r.get(opt + countAt, 4, ndirs) || ndirs < 3 || dirsAt + 3 * 8 > optSize) return std::nullopt;
  if (!r.get(opt + dirsAt + 16, 4, l.resourceRva) || !r.get(opt + dirsAt + 20, 4, resSize) || l.resourceRva == 0)
    return std::nullopt;
  l.sections = opt + optSize;
  if (!r.fits(l.sections, l.nsections * 40)) return std::nullopt;
  return l;
}

// File offset of `len` bytes at address `rva`, inside one section's raw data.
bool MapRva(const Reader& r, const PeLayout& l, std::uint64_t rva, std::uint64_t len, std::uint64_t& at) {
  for (std::uint64_t i = 0; i < l.nsections; ++i) {
    const std::uint64_t s = l.sections + i * 40;
    std::uint64_t vsize = 0, va = 0, rawSize = 0, raw = 0;
    r.get(s + 8, 4, vsize);
    r.get(s + 12, 4, va);
    r.get(s + 16, 4, rawSize);
    r.get(s + 20, 4, raw);
    if (rva < va || rva - va >= std::max(vsize, rawSize)) continue;
    const std::uint64_t delta = rva - va;
    if (delta > rawSize || len > rawSize - delta || !r.fits(raw + delta, len)) return false;
    at = raw + delta;
    return true;
  }
  return false;
}

// One level of the resource directory at `dir`: the entry with `wantedId`,
// else (if allowed) the first.
bool PickEntry(const Reader& r, std::uint64_t dir, std::int64_t wantedId, bool firstIfMissing,
               std::uint64_t& target) {
  std::uint64_t named = 0, ids = 0;
  if (!r.get(dir + 12, 2, named) || !r.get(dir + 14, 2, ids)) return false;
  const std::uint64_t count = named + ids;
  if (!r.fits(dir + 16, count * 8)) return false;
  std::uint64_t first = 0;
  bool haveFirst = false;
  for (std::uint64_t i = 0; i < count; ++i) {
    std::uint64_t nameField = 0, dataField = 0;
    r.get(dir + 16 + i * 8, 4, nameField);
    r.get(dir + 20 + i * 8, 4, dataField);
    if (!haveFirst) first = dataField, haveFirst = true;
    if (wantedId >= 0 && !(nameField & 0x80000000u) && nameField == std::uint64_t(wantedId)) {
      target = dataField;
      return true;
    }
  }
  if (!firstIfMissing || !haveFirst) return false;
  target = first;
  return true;
}

}  // namespace

std::optional<std::string_view> FindPeVersionResource(std::string_view file) {
  const Reader r(file, false);
  const std::optional<PeLayout> l = ReadPeLayout(r, file);
  std::uint64_t base = 0;
  if (!l || !MapRva(r, *l, l->resourceRva, 16, base)) return std::nullopt;
  // Type RT_VERSION (16), then name 1 or the first, then the first language.
  constexpr std::uint64_t kSubdirectory = 0x80000000u;
  std::uint64_t level = 0;
  if (!PickEntry(r, base, 16, false, level) || !(level & kSubdirectory)) return std::nullopt;
  if (!PickEntry(r, base + (level & ~kSubdirectory), 1, true, level) || !(level & kSubdirectory))
    return std::nullopt;
  if (!PickEntry(r, base + (level & ~kSubdirectory), -1, true, level) || (level & kSubdirectory))
    return std::nullopt;
  std::uint64_t dataRva = 0, dataSize = 0, at = 0;
  if (!r.get(base + level, 4, dataRva) || !r.get(base + level + 4, 4, dataSize)) return std::nullopt;
  if (!MapRva(r, *l, dataRva, dataSize, at)) return std::nullopt;
  return file.substr(at, dataSize);
}

std::optional<std::string_view> FindVersionBlock(std::string_view file) {
  if (file.substr(0, 4) == "\x7f" "ELF") return FindElfSection(file, kElfSectionName);
  if (file.substr(0, 2) == "MZ") return FindPeVersionResource(file);
  return std::nullopt;
}

}  // namespace davu::version
