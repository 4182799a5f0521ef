// Any first sector: the boot-sector probe never divides by zero or reads out
// of bounds, and opening such an image keeps a sane geometry.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "source/boot_probe.h"
#include "source/sector_source.h"
#include "testimage/memory_handle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace officecarve;
  ProbeBootBytes(std::span<const uint8_t>(data, size));
  SectorSource source;
  std::vector<uint8_t> bytes(data, data + size);
  const OpenOutcome opened = source.OpenHandle(
      std::make_unique<testimage::MemoryHandle>(std::move(bytes)), SourceType::kImage, "", "");
  if (opened.ok) {
    std::vector<uint8_t> sector(source.Working().bytes_per_sector);
    source.ReadAt(sector.data(), static_cast<uint32_t>(sector.size()), 0);
    source.ReadSectorDirect(source.Working().last_sector, sector.data());
  }
  return 0;
}
