#pragma once
// Finding the version block inside a program file: the section
// ".davu_version" of an ELF file (our own executables carry one), or the
// RT_VERSION resource of a Windows PE file. Both walkers read only inside the
// given bytes; a truncated or hostile file gives nothing.
#include <optional>
#include <string_view>

namespace davu::version {

inline constexpr std::string_view kElfSectionName = ".davu_version";

// The contents of the named section (32- or 64-bit, either byte order).
std::optional<std::string_view> FindElfSection(std::string_view file, std::string_view name);
// The first RT_VERSION resource (preferring the name 1, the first language).
std::optional<std::string_view> FindPeVersionResource(std::string_view file);
// True when the file's first bytes (64 are enough) are the ELF header of a
// program this machine runs: its class, byte order and machine, and an
// executable or position-independent executable rather than an object file.
bool IsExecutableForThisMachine(std::string_view head);
// Either of the two, by the file's magic bytes.
std::optional<std::string_view> FindVersionBlock(std::string_view file);

}  // namespace davu::version
