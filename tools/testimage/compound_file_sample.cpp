#include <algorithm>
#include <cctype>
#include <numeric>
#include <stdexcept>

#include "testimage/doc_samples.h"
#include "testimage/little_endian.h"

namespace officecarve::testimage {
namespace {

constexpr uint32_t kFreeSector = 0xFFFFFFFF;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFatSectorMark = 0xFFFFFFFD;
constexpr uint32_t kDifatSectorMark = 0xFFFFFFFC;
constexpr uint32_t kNoEntry = 0xFFFFFFFF;
constexpr uint32_t kMiniSectorBytes = 64;
constexpr uint32_t kMiniStreamCutoff = 4096;
constexpr size_t kMaxNameUnits = 31;
// Far beyond anything a test needs, and well inside 32-bit sector numbers.
constexpr uint64_t kMaxSectors = uint64_t{1} << 24;
constexpr uint8_t kTypeStream = 2;
constexpr uint8_t kTypeRoot = 5;
constexpr uint8_t kBlack = 1;

uint32_t CeilDiv(uint64_t value, uint64_t divisor) {
  return static_cast<uint32_t>((value + divisor - 1) / divisor);
}

// Hands out consecutive sector numbers and records each run as a chain.
class SectorAllocator {
 public:
  std::vector<uint32_t> Take(uint32_t count) {
    std::vector<uint32_t> sectors(count);
    std::iota(sectors.begin(), sectors.end(), next_);
    next_ += count;
    return sectors;
  }
  uint32_t Used() const { return next_; }

 private:
  uint32_t next_ = 0;
};

void LinkChain(std::vector<uint32_t>& table, const std::vector<uint32_t>& chain) {
  for (size_t i = 0; i < chain.size(); ++i) {
    table[chain[i]] = i + 1 < chain.size() ? chain[i + 1] : kEndOfChain;
  }
}

uint32_t FirstOf(const std::vector<uint32_t>& chain) {
  return chain.empty() ? kEndOfChain : chain.front();
}

// Directory siblings form a binary search tree ordered by name length, then
// by upper-cased name; a balanced tree of black nodes is what readers accept.
bool NameBefore(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return a.size() < b.size();
  for (size_t i = 0; i < a.size(); ++i) {
    const int ca = std::toupper(static_cast<unsigned char>(a[i]));
    const int cb = std::toupper(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb;
  }
  return false;
}

struct TreeLinks {
  uint32_t left = kNoEntry;
  uint32_t right = kNoEntry;
};

// Builds a balanced tree over sorted[first, last) and returns its root entry.
uint32_t BuildTree(const std::vector<uint32_t>& sorted, size_t first, size_t last,
                   std::vector<TreeLinks>& links) {
  if (first >= last) return kNoEntry;
  const size_t middle = first + (last - first) / 2;
  const uint32_t entry = sorted[middle];
  links[entry].left = BuildTree(sorted, first, middle, links);
  links[entry].right = BuildTree(sorted, middle + 1, last, links);
  return entry;
}

void PutDirectoryEntry(std::span<uint8_t> entry, const std::string& name, uint8_t type,
                       const TreeLinks& links, uint32_t child, uint32_t start, uint64_t size) {
  if (name.size() > kMaxNameUnits) throw std::invalid_argument("entry name too long: " + name);
  for (size_t i = 0; i < name.size(); ++i) {
    PutU16(entry, 2 * i, static_cast<unsigned char>(name[i]));
  }
  PutU16(entry, 64, name.empty() ? 0 : static_cast<uint16_t>((name.size() + 1) * 2));
  PutU8(entry, 66, type);
  PutU8(entry, 67, kBlack);
  PutU32(entry, 68, links.left);
  PutU32(entry, 72, links.right);
  PutU32(entry, 76, child);
  PutU32(entry, 116, start);
  PutU64(entry, 120, size);
}

// Stream bytes that differ per stream and never start a sector with a known
// file signature or anything resembling a FAT directory entry.
uint8_t PatternByte(size_t stream, size_t index) {
  return static_cast<uint8_t>('A' + (index + 7 * stream) % 26);
}

}  // namespace

size_t CompoundFile::FatEntryOffset(uint32_t index) const {
  const uint32_t per_sector = sector_size / 4;
  return SectorOffset(fat_sectors.at(index / per_sector)) + size_t{index % per_sector} * 4;
}

size_t CompoundFile::DirectoryEntryOffset(uint32_t entry) const {
  const uint32_t per_sector = sector_size / kDirectoryEntryBytes;
  return SectorOffset(directory_sectors.at(entry / per_sector)) +
         size_t{entry % per_sector} * kDirectoryEntryBytes;
}

uint32_t CompoundFile::U32At(size_t offset) const { return GetU32(bytes, offset); }

void CompoundFile::SetU32(size_t offset, uint32_t value) {
  if (offset > bytes.size() || bytes.size() - offset < 4) throw std::out_of_range("offset");
  PutU32(bytes, offset, value);
}

CompoundFile BuildCompoundFile(const CompoundFileSpec& recipe) {
  if (recipe.sector_shift != 9 && recipe.sector_shift != 12) {
    throw std::invalid_argument("sector shift must be 9 or 12");
  }
  for (const std::string& name : recipe.stream_names) {
    if (name.size() > kMaxNameUnits) throw std::invalid_argument("entry name too long: " + name);
  }
  CompoundFile file;
  file.sector_size = 1u << recipe.sector_shift;
  const uint32_t sector_size = file.sector_size;
  const uint32_t entries_per_fat_sector = sector_size / 4;
  const uint32_t entries_per_difat_sector = entries_per_fat_sector - 1;
  const uint32_t entries_per_directory_sector = sector_size / CompoundFile::kDirectoryEntryBytes;

  // Sizes first: what each stream needs decides every count below.
  const size_t stream_count = recipe.stream_names.size();
  const uint64_t default_size = uint64_t{recipe.data_sectors} * sector_size;
  if (default_size > UINT32_MAX) throw std::invalid_argument("stream too large");
  uint64_t mini_sector_count = 0;
  uint64_t stream_sector_count = 0;
  for (size_t i = 0; i < stream_count; ++i) {
    CompoundFileStream stream;
    stream.name = recipe.stream_names[i];
    stream.size = i < recipe.stream_sizes.size() ? recipe.stream_sizes[i]
                                                 : static_cast<uint32_t>(default_size);
    if (i < recipe.stream_contents.size() && !recipe.stream_contents[i].empty()) {
      if (recipe.stream_contents[i].size() > UINT32_MAX)
        throw std::invalid_argument("stream too large");
      stream.size = static_cast<uint32_t>(recipe.stream_contents[i].size());
    }
    stream.in_mini_stream = stream.size > 0 && stream.size < kMiniStreamCutoff;
    if (stream.in_mini_stream) {
      mini_sector_count += CeilDiv(stream.size, kMiniSectorBytes);
    } else {
      stream_sector_count += CeilDiv(stream.size, sector_size);
    }
    file.streams.push_back(std::move(stream));
  }
  if (mini_sector_count + stream_sector_count + recipe.extra_free_fat_entries > kMaxSectors) {
    throw std::invalid_argument("compound file too large");
  }
  const uint32_t mini_stream_bytes = static_cast<uint32_t>(mini_sector_count) * kMiniSectorBytes;
  const uint32_t directory_count = CeilDiv(stream_count + 1, entries_per_directory_sector);
  const uint32_t mini_fat_count = CeilDiv(mini_sector_count, entries_per_fat_sector);
  const uint32_t mini_stream_count = CeilDiv(mini_stream_bytes, sector_size);
  const uint64_t other_sectors =
      uint64_t{directory_count} + mini_fat_count + mini_stream_count + stream_sector_count;

  // The FAT covers itself and the DIFAT, so grow both until they settle.
  uint32_t fat_count = 1;
  uint32_t difat_count = 0;
  for (;;) {
    const uint64_t entries_needed =
        fat_count + difat_count + other_sectors + recipe.extra_free_fat_entries;
    const uint32_t fat_wanted =
        std::max<uint32_t>(1, CeilDiv(entries_needed, entries_per_fat_sector));
    const uint32_t listed_outside_header =
        recipe.use_difat
            ? fat_wanted
            : fat_wanted - std::min<uint32_t>(fat_wanted, CompoundFile::kHeaderFatListEntries);
    const uint32_t difat_wanted = CeilDiv(listed_outside_header, entries_per_difat_sector);
    if (fat_wanted == fat_count && difat_wanted == difat_count) break;
    fat_count = fat_wanted;
    difat_count = difat_wanted;
  }

  SectorAllocator allocator;
  file.fat_sectors = allocator.Take(fat_count);
  file.difat_sectors = allocator.Take(difat_count);
  file.directory_sectors = allocator.Take(directory_count);
  file.mini_fat_sectors = allocator.Take(mini_fat_count);
  file.mini_stream_sectors = allocator.Take(mini_stream_count);
  uint32_t next_mini_sector = 0;
  for (CompoundFileStream& stream : file.streams) {
    if (stream.in_mini_stream) {
      stream.sectors.resize(CeilDiv(stream.size, kMiniSectorBytes));
      std::iota(stream.sectors.begin(), stream.sectors.end(), next_mini_sector);
      next_mini_sector += static_cast<uint32_t>(stream.sectors.size());
    } else {
      stream.sectors = allocator.Take(CeilDiv(stream.size, sector_size));
    }
  }
  file.last_used_sector = allocator.Used() - 1;
  file.bytes.assign((size_t{allocator.Used()} + 1) * sector_size, 0);
  std::vector<uint8_t>& out = file.bytes;

  // Header.
  constexpr uint8_t kSignature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::copy(std::begin(kSignature), std::end(kSignature), out.begin());
  PutU16(out, 24, 0x003E);  // minor version
  PutU16(out, 26, recipe.sector_shift == 9 ? 3 : 4);
  PutU16(out, 28, 0xFFFE);  // byte order mark
  PutU16(out, 30, recipe.sector_shift);
  PutU16(out, 32, 6);  // mini sector shift
  PutU32(out, 40, recipe.sector_shift == 9 ? 0 : directory_count);
  PutU32(out, CompoundFile::kFatSectorCountOffset, fat_count);
  PutU32(out, CompoundFile::kFirstDirectorySectorOffset, FirstOf(file.directory_sectors));
  PutU32(out, 56, kMiniStreamCutoff);
  PutU32(out, CompoundFile::kFirstMiniFatSectorOffset, FirstOf(file.mini_fat_sectors));
  PutU32(out, 64, mini_fat_count);
  PutU32(out, CompoundFile::kFirstDifatSectorOffset, FirstOf(file.difat_sectors));
  PutU32(out, CompoundFile::kDifatSectorCountOffset, difat_count);
  const size_t in_header =
      recipe.use_difat ? 0 : std::min<size_t>(fat_count, CompoundFile::kHeaderFatListEntries);
  for (size_t i = 0; i < CompoundFile::kHeaderFatListEntries; ++i) {
    PutU32(out, CompoundFile::kHeaderFatListOffset + 4 * i,
           i < in_header ? file.fat_sectors[i] : kFreeSector);
  }

  // DIFAT: the FAT sectors the header does not list, chained through the
  // last entry of each DIFAT sector.
  for (size_t d = 0; d < file.difat_sectors.size(); ++d) {
    const size_t at = file.SectorOffset(file.difat_sectors[d]);
    for (size_t slot = 0; slot < entries_per_difat_sector; ++slot) {
      const size_t listed = in_header + d * entries_per_difat_sector + slot;
      PutU32(out, at + 4 * slot, listed < fat_count ? file.fat_sectors[listed] : kFreeSector);
    }
    const bool last = d + 1 == file.difat_sectors.size();
    PutU32(out, at + 4 * entries_per_difat_sector, last ? kEndOfChain : file.difat_sectors[d + 1]);
  }

  // FAT and mini FAT.
  std::vector<uint32_t> fat(size_t{fat_count} * entries_per_fat_sector, kFreeSector);
  for (uint32_t sector : file.fat_sectors) fat[sector] = kFatSectorMark;
  for (uint32_t sector : file.difat_sectors) fat[sector] = kDifatSectorMark;
  LinkChain(fat, file.directory_sectors);
  LinkChain(fat, file.mini_fat_sectors);
  LinkChain(fat, file.mini_stream_sectors);
  std::vector<uint32_t> mini_fat(size_t{mini_fat_count} * entries_per_fat_sector, kFreeSector);
  for (const CompoundFileStream& stream : file.streams) {
    LinkChain(stream.in_mini_stream ? mini_fat : fat, stream.sectors);
  }
  for (size_t i = 0; i < fat.size(); ++i) PutU32(out, file.FatEntryOffset(i), fat[i]);
  for (size_t i = 0; i < mini_fat.size(); ++i) {
    PutU32(out,
           file.SectorOffset(file.mini_fat_sectors[i / entries_per_fat_sector]) +
               (i % entries_per_fat_sector) * 4,
           mini_fat[i]);
  }

  // Stream contents, in the mini stream or in their own sectors.
  for (size_t s = 0; s < file.streams.size(); ++s) {
    const CompoundFileStream& stream = file.streams[s];
    for (size_t i = 0; i < stream.size; ++i) {
      size_t at;
      if (stream.in_mini_stream) {
        const size_t mini_offset =
            size_t{stream.sectors[i / kMiniSectorBytes]} * kMiniSectorBytes + i % kMiniSectorBytes;
        at = file.SectorOffset(file.mini_stream_sectors[mini_offset / sector_size]) +
             mini_offset % sector_size;
      } else {
        at = file.SectorOffset(stream.sectors[i / sector_size]) + i % sector_size;
      }
      const bool given = s < recipe.stream_contents.size() && !recipe.stream_contents[s].empty();
      out[at] = given ? recipe.stream_contents[s][i] : PatternByte(s, i);
    }
  }

  // Directory: the root, then one entry per stream, all children of the root.
  std::vector<uint32_t> sorted(stream_count);
  std::iota(sorted.begin(), sorted.end(), 1);
  std::stable_sort(sorted.begin(), sorted.end(), [&](uint32_t a, uint32_t b) {
    return NameBefore(file.streams[a - 1].name, file.streams[b - 1].name);
  });
  std::vector<TreeLinks> links(stream_count + 1);
  const uint32_t root_child = BuildTree(sorted, 0, sorted.size(), links);
  const auto entry_bytes = [&](uint32_t entry) {
    return std::span<uint8_t>(out).subspan(file.DirectoryEntryOffset(entry),
                                           CompoundFile::kDirectoryEntryBytes);
  };
  PutDirectoryEntry(entry_bytes(0), recipe.root_name, kTypeRoot, links[0], root_child,
                    FirstOf(file.mini_stream_sectors), mini_stream_bytes);
  for (uint32_t e = 1; e <= stream_count; ++e) {
    const CompoundFileStream& stream = file.streams[e - 1];
    PutDirectoryEntry(entry_bytes(e), stream.name, kTypeStream, links[e], kNoEntry,
                      FirstOf(stream.sectors), stream.size);
  }
  // Unused entries carry no name but still say "no sibling, no child".
  for (uint32_t e = static_cast<uint32_t>(stream_count) + 1;
       e < directory_count * entries_per_directory_sector; ++e) {
    std::span<uint8_t> entry = entry_bytes(e);
    PutU32(entry, 68, kNoEntry);
    PutU32(entry, 72, kNoEntry);
    PutU32(entry, 76, kNoEntry);
  }
  return file;
}

std::vector<uint8_t> MakeCompoundFile(const CompoundFileSpec& recipe) {
  return BuildCompoundFile(recipe).bytes;
}

}  // namespace officecarve::testimage
