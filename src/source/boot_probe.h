#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "source/volume_geometry.h"

namespace officecarve {

class RawHandle;

// What a boot sector says: bytes per sector, sectors per cluster, phase, kind.
// last_sector is left at -1 (the opener computes it from the source length).
struct ProbeResult {
  bool recognised = false;
  VolumeGeometry geometry;
};

// Recognises FAT12/16, FAT32, NTFS and exFAT from the first 512 bytes.
// Zero or absurd fields give "not recognised", never a division by zero.
ProbeResult ProbeBootBytes(std::span<const uint8_t> boot);

// Reads byte 0..511 of the handle and probes it.
ProbeResult ProbeBootSector(RawHandle& handle);

}  // namespace officecarve
