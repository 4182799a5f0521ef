#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Small readers for the one-line attribute files of /sys (and for fake trees
// built by tests in their place).
namespace officecarve::posix {

// The file's content without surrounding white space, or nullopt when it cannot
// be read. Reads at most a few KiB: attribute files are one line.
std::optional<std::string> ReadTrimmedLine(const std::string& path);

// A decimal number that fills the whole text, or nullopt (empty, signs, junk, overflow).
std::optional<uint64_t> ParseDecimal(const std::string& text);

// "8:17" as in a block device's dev file, or nullopt.
std::optional<uint64_t> ParseMajorMinor(const std::string& text);

}  // namespace officecarve::posix

namespace officecarve::posix {

// For a partition's entry in the block class folder, the name of the whole
// disk above it (the directory its resolved link sits in), provided that disk
// is itself in the folder; empty otherwise.
std::string PartitionParentName(const std::string& sys_class_block, const std::string& name);

}  // namespace officecarve::posix
