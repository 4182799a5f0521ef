// A compound file is checked the way a reader would walk it: the header, the
// FAT gathered through the header and the DIFAT chain, the directory chain,
// the directory tree, the mini FAT chain and the mini stream, then every
// stream's chain in the FAT or, below the cutoff, in the mini FAT. Every
// sector may belong to one chain only; that one rule finds loops, chains
// crossing into other structures and chains leaving the file, and it bounds
// every walk by the number of sectors the file holds.
#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/byte_order.h"
#include "verdict/printable_name.h"
#include "verdict/verdict.h"

namespace officecarve {
namespace {

using Problem = std::optional<std::string>;

constexpr std::array<uint8_t, 8> kSignature = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr uint64_t kHeaderBytes = 512;
constexpr uint32_t kFreeSector = 0xFFFFFFFF;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
// Sector numbers above this are markers, never sectors.
constexpr uint32_t kLastRegularSector = 0xFFFFFFFA;
constexpr uint32_t kNoEntry = 0xFFFFFFFF;
constexpr uint64_t kMiniSectorBytes = 64;
constexpr uint64_t kMiniStreamCutoff = 4096;
constexpr uint64_t kEntryBytes = 128;
constexpr uint32_t kHeaderFatSlots = 109;
constexpr uint8_t kTypeEmpty = 0;
constexpr uint8_t kTypeStorage = 1;
constexpr uint8_t kTypeStream = 2;
constexpr uint8_t kTypeRoot = 5;
constexpr uint16_t kMaxNameBytes = 64;

uint64_t CeilDiv(uint64_t value, uint64_t divisor) {
  return value / divisor + (value % divisor != 0 ? 1 : 0);
}

// Which chain owns each sector (0 for none), so that a second claim on a
// sector is caught at once: a loop when the same chain comes back, a
// cross-link otherwise.
class SectorOwners {
 public:
  void Reset(uint64_t count) { owner_.assign(count, 0); }
  uint64_t Count() const { return owner_.size(); }

  uint32_t NewChain(std::string name) {
    names_.push_back(std::move(name));
    return static_cast<uint32_t>(names_.size());
  }
  const std::string& Name(uint32_t chain) const { return names_[chain - 1]; }
  uint32_t OwnerOf(uint32_t sector) const { return owner_[sector]; }

  // `unit` names the sectors in messages ("sector", "mini sector").
  Problem Claim(uint32_t sector, uint32_t chain, const char* unit, const char* outside) {
    if (sector >= owner_.size()) {
      if (sector == kFreeSector) return Name(chain) + ": chain runs into a free " + unit;
      if (sector > kLastRegularSector) {
        return Name(chain) + ": chain runs into a reserved " + std::string(unit) + " number";
      }
      return Name(chain) + ": " + unit + " " + std::to_string(sector) + " lies beyond the end of " +
             outside;
    }
    const uint32_t previous = owner_[sector];
    if (previous == chain) {
      return Name(chain) + ": chain loops back to " + unit + " " + std::to_string(sector);
    }
    if (previous != 0) {
      return Name(chain) + ": " + unit + " " + std::to_string(sector) + " also belongs to " +
             Name(previous);
    }
    owner_[sector] = chain;
    return std::nullopt;
  }

 private:
  std::vector<uint32_t> owner_;
  std::vector<std::string> names_;
};

class CompoundChecker {
 public:
  explicit CompoundChecker(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  Problem Check() {
    if (auto problem = ReadHeader()) return problem;
    if (auto problem = ReadFat()) return problem;
    if (auto problem = ReadDirectory()) return problem;
    if (auto problem = CheckDirectoryTree()) return problem;
    if (auto problem = ReadMiniFat()) return problem;
    if (auto problem = CheckStreams()) return problem;
    return std::nullopt;
  }

 private:
  uint64_t SectorOffset(uint32_t sector) const { return (uint64_t{sector} + 1) * sector_bytes_; }
  uint32_t EntriesPerSector() const { return sector_bytes_ / 4; }

  Problem ReadHeader() {
    if (bytes_.size() < kHeaderBytes) return "too short for a compound-file header";
    if (!std::equal(kSignature.begin(), kSignature.end(), bytes_.begin())) {
      return "no compound-file signature";
    }
    if (Le16At(bytes_, 28) != 0xFFFE) return "the header's byte-order mark is wrong";
    const uint16_t shift = Le16At(bytes_, 30);
    if (shift != 9 && shift != 12) {
      return "the header's sector shift " + std::to_string(shift) + " is neither 9 nor 12";
    }
    sector_bytes_ = uint32_t{1} << shift;
    if (Le16At(bytes_, 32) != 6) return "the header's mini sector size is not 64 bytes";
    if (Le32At(bytes_, 56) != kMiniStreamCutoff) return "the header's mini stream cutoff is wrong";
    if (bytes_.size() < sector_bytes_) return "the file ends inside its header sector";
    // Only whole sectors count; sector numbers above the markers do not exist.
    const uint64_t sectors = (bytes_.size() - sector_bytes_) / sector_bytes_;
    owners_.Reset(std::min<uint64_t>(sectors, uint64_t{kLastRegularSector} + 1));
    return std::nullopt;
  }

  Problem ReadFat() {
    const uint32_t fat_count = Le32At(bytes_, 44);
    if (fat_count == 0) return "the header lists no FAT sectors";
    if (fat_count > owners_.Count()) {
      return "the header counts " + std::to_string(fat_count) +
             " FAT sectors, more than the file holds";
    }
    const uint32_t fat_chain = owners_.NewChain("FAT");
    std::vector<uint32_t> fat_sectors;
    const auto take = [&](uint32_t sector) -> Problem {
      if (sector > kLastRegularSector) return "the FAT sector list holds a reserved number";
      if (sector < owners_.Count() && owners_.OwnerOf(sector) == fat_chain) {
        return "the FAT sector list names sector " + std::to_string(sector) + " twice";
      }
      if (auto problem = owners_.Claim(sector, fat_chain, "sector", "the file")) return problem;
      fat_sectors.push_back(sector);
      return std::nullopt;
    };
    // Free slots end the header's list and are skipped in DIFAT sectors;
    // the count in the header decides how many FAT sectors there must be.
    for (uint32_t slot = 0; slot < kHeaderFatSlots && fat_sectors.size() < fat_count; ++slot) {
      const uint32_t sector = Le32At(bytes_, 76 + 4 * slot);
      if (sector == kFreeSector) break;
      if (auto problem = take(sector)) return problem;
    }
    const uint32_t difat_chain = owners_.NewChain("DIFAT");
    const uint32_t slots_per_difat_sector = EntriesPerSector() - 1;
    uint32_t difat = Le32At(bytes_, 68);
    // Each DIFAT sector is claimed once, so the walk ends within the file.
    while (fat_sectors.size() < fat_count) {
      if (difat == kEndOfChain || difat == kFreeSector) {
        return "the DIFAT lists only " + std::to_string(fat_sectors.size()) + " of the " +
               std::to_string(fat_count) + " FAT sectors";
      }
      if (auto problem = owners_.Claim(difat, difat_chain, "sector", "the file")) return problem;
      const uint64_t at = SectorOffset(difat);
      for (uint32_t slot = 0; slot < slots_per_difat_sector && fat_sectors.size() < fat_count;
           ++slot) {
        const uint32_t sector = Le32At(bytes_, at + 4 * slot);
        if (sector == kFreeSector) continue;
        if (auto problem = take(sector)) return problem;
      }
      difat = Le32At(bytes_, at + 4 * uint64_t{slots_per_difat_sector});
    }
    fat_.reserve(fat_sectors.size() * EntriesPerSector());
    for (uint32_t sector : fat_sectors) {
      const uint64_t at = SectorOffset(sector);
      for (uint32_t i = 0; i < EntriesPerSector(); ++i) fat_.push_back(Le32At(bytes_, at + 4 * i));
    }
    return std::nullopt;
  }

  // Claims the FAT chain from `start` for `chain`; it must be exactly
  // `expected` sectors long unless that is kAnyLength. (A plain sentinel
  // rather than an optional: the optimiser may look at a disengaged
  // optional's value, which valgrind rightly reports.)
  static constexpr uint64_t kAnyLength = UINT64_MAX;
  Problem WalkFatChain(uint32_t start, uint64_t expected, uint32_t chain,
                       std::vector<uint32_t>* sectors) {
    uint64_t count = 0;
    for (uint32_t sector = start; sector != kEndOfChain; ++count) {
      if (auto problem = owners_.Claim(sector, chain, "sector", "the file")) return problem;
      if (count == expected) return owners_.Name(chain) + ": chain is too long";
      if (sector >= fat_.size()) {
        return owners_.Name(chain) + ": sector " + std::to_string(sector) + " has no FAT entry";
      }
      if (sectors != nullptr) sectors->push_back(sector);
      sector = fat_[sector];
    }
    if (expected != kAnyLength && count < expected) {
      return owners_.Name(chain) + ": chain ends after " + std::to_string(count) + " of " +
             std::to_string(expected) + " sectors";
    }
    return std::nullopt;
  }

  Problem WalkMiniChain(uint32_t start, uint64_t expected, uint32_t chain) {
    uint64_t count = 0;
    for (uint32_t sector = start; sector != kEndOfChain; ++count) {
      if (auto problem = mini_owners_.Claim(sector, chain, "mini sector", "the mini stream")) {
        return problem;
      }
      if (count == expected) return mini_owners_.Name(chain) + ": chain is too long";
      if (sector >= mini_fat_.size()) {
        return mini_owners_.Name(chain) + ": mini sector " + std::to_string(sector) +
               " has no mini FAT entry";
      }
      sector = mini_fat_[sector];
    }
    if (count < expected) {
      return mini_owners_.Name(chain) + ": chain ends after " + std::to_string(count) + " of " +
             std::to_string(expected) + " mini sectors";
    }
    return std::nullopt;
  }

  Problem ReadDirectory() {
    const uint32_t chain = owners_.NewChain("directory");
    if (auto problem = WalkFatChain(Le32At(bytes_, 48), kAnyLength, chain, &directory_)) {
      return problem;
    }
    if (directory_.empty()) return "the directory is empty";
    entry_count_ = directory_.size() * (sector_bytes_ / kEntryBytes);
    return std::nullopt;
  }

  std::span<const uint8_t> Entry(uint64_t index) const {
    const uint64_t per_sector = sector_bytes_ / kEntryBytes;
    return bytes_.subspan(
        SectorOffset(directory_[index / per_sector]) + (index % per_sector) * kEntryBytes,
        kEntryBytes);
  }

  uint64_t StreamSize(std::span<const uint8_t> entry) const {
    // With 512-byte sectors only the low half counts; writers leave the
    // high half undefined.
    return sector_bytes_ == 512 ? Le32At(entry, 120) : Le64At(entry, 120);
  }

  std::string EntryLabel(std::span<const uint8_t> entry) const {
    const uint16_t name_bytes = Le16At(entry, 64);
    const auto name = entry.first(std::min<uint16_t>(name_bytes, kMaxNameBytes));
    return "stream \"" + PrintableUtf16Name(name.first(name.size() >= 2 ? name.size() - 2 : 0)) +
           "\"";
  }

  Problem CheckDirectoryTree() const {
    for (uint64_t index = 0; index < entry_count_; ++index) {
      const auto entry = Entry(index);
      const uint8_t type = entry[66];
      const std::string number = "directory entry " + std::to_string(index);
      if (index == 0 && type != kTypeRoot) return "the first directory entry is not the root";
      if (index != 0 && type == kTypeRoot) return number + " is a second root";
      if (type != kTypeEmpty && type != kTypeStorage && type != kTypeStream && type != kTypeRoot) {
        return number + " has unknown type " + std::to_string(type);
      }
      if (type == kTypeEmpty) continue;
      const uint16_t name_bytes = Le16At(entry, 64);
      // Some spreadsheet programs write the root entry with an empty name.
      const bool unnamed_root = index == 0 && name_bytes == 0;
      if (!unnamed_root && (name_bytes < 2 || name_bytes > kMaxNameBytes || name_bytes % 2 != 0)) {
        return number + " has a bad name length of " + std::to_string(name_bytes);
      }
      for (uint64_t link_at : {68, 72, 76}) {
        const uint32_t link = Le32At(entry, link_at);
        if (link == kNoEntry) continue;
        if (link >= entry_count_ || Entry(link)[66] == kTypeEmpty) {
          return number + " links to entry " + std::to_string(link) + ", which is not in use";
        }
      }
    }
    // Every entry hangs in the tree at most once; a second arrival is a cycle
    // or a shared subtree, and the walk stays bounded by the entry count.
    std::vector<bool> reached(entry_count_, false);
    std::vector<uint64_t> pending = {0};
    reached[0] = true;
    while (!pending.empty()) {
      const auto entry = Entry(pending.back());
      pending.pop_back();
      for (uint64_t link_at : {68, 72, 76}) {
        const uint32_t link = Le32At(entry, link_at);
        if (link == kNoEntry) continue;
        if (reached[link]) {
          return "the directory tree reaches entry " + std::to_string(link) + " twice";
        }
        reached[link] = true;
        pending.push_back(link);
      }
    }
    return std::nullopt;
  }

  Problem ReadMiniFat() {
    const uint32_t count = Le32At(bytes_, 64);
    if (count > owners_.Count()) {
      return "the header counts " + std::to_string(count) +
             " mini FAT sectors, more than the file holds";
    }
    std::vector<uint32_t> sectors;
    const uint32_t chain = owners_.NewChain("mini FAT");
    if (count == 0) return std::nullopt;
    if (auto problem = WalkFatChain(Le32At(bytes_, 60), count, chain, &sectors)) return problem;
    mini_fat_.reserve(sectors.size() * EntriesPerSector());
    for (uint32_t sector : sectors) {
      const uint64_t at = SectorOffset(sector);
      for (uint32_t i = 0; i < EntriesPerSector(); ++i) {
        mini_fat_.push_back(Le32At(bytes_, at + 4 * i));
      }
    }
    return std::nullopt;
  }

  Problem CheckStreams() {
    const auto root = Entry(0);
    const uint64_t mini_stream_bytes = StreamSize(root);
    const uint32_t mini_chain = owners_.NewChain("mini stream");
    if (mini_stream_bytes != 0) {
      const uint64_t sectors = CeilDiv(mini_stream_bytes, sector_bytes_);
      if (sectors > owners_.Count()) {
        return "mini stream: its size needs more sectors than the file holds";
      }
      if (auto problem = WalkFatChain(Le32At(root, 116), sectors, mini_chain, nullptr)) {
        return problem;
      }
    }
    mini_owners_.Reset(CeilDiv(mini_stream_bytes, kMiniSectorBytes));

    for (uint64_t index = 1; index < entry_count_; ++index) {
      const auto entry = Entry(index);
      if (entry[66] != kTypeStream) continue;
      const uint64_t size = StreamSize(entry);
      if (size == 0) continue;
      const uint32_t start = Le32At(entry, 116);
      const std::string label = EntryLabel(entry);
      if (size < kMiniStreamCutoff) {
        const uint64_t mini_sectors = CeilDiv(size, kMiniSectorBytes);
        if (mini_sectors > mini_owners_.Count()) {
          return label + ": its size needs more than the mini stream holds";
        }
        if (auto problem = WalkMiniChain(start, mini_sectors, mini_owners_.NewChain(label))) {
          return problem;
        }
        continue;
      }
      const uint64_t sectors = CeilDiv(size, sector_bytes_);
      if (sectors > owners_.Count()) {
        return label + ": its size of " + std::to_string(size) +
               " bytes needs more sectors than the file holds";
      }
      if (auto problem = WalkFatChain(start, sectors, owners_.NewChain(label), nullptr)) {
        return problem;
      }
    }
    return std::nullopt;
  }

  std::span<const uint8_t> bytes_;
  uint32_t sector_bytes_ = 512;
  SectorOwners owners_;
  SectorOwners mini_owners_;
  std::vector<uint32_t> fat_;
  std::vector<uint32_t> mini_fat_;
  std::vector<uint32_t> directory_;
  uint64_t entry_count_ = 0;
};

}  // namespace

Verdict CheckCompoundFile(std::span<const uint8_t> bytes) {
  if (auto problem = CompoundChecker(bytes).Check()) return Verdict::Damaged(std::move(*problem));
  return Verdict::Intact();
}

}  // namespace officecarve
