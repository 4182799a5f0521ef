// Any image: every carver run on its first sector stays in bounds, ends, and
// leaves the map as it found it when it fails. Nothing is written (no family
// is selected), so the fuzzer measures parsing alone.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "carvers/carvers.h"
#include "scan/carver_frame.h"
#include "scan/claimed_sector_map.h"
#include "source/sector_source.h"
#include "testimage/memory_handle.h"
#include "testimage/null_frontend.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace officecarve;
  std::vector<uint8_t> bytes(data, data + size);
  bytes.resize((bytes.size() / 512 + 1) * 512);
  SectorSource source;
  if (!source
           .OpenHandle(std::make_unique<testimage::MemoryHandle>(std::move(bytes)),
                       SourceType::kImage, "", "")
           .ok) {
    return 0;
  }
  ClaimedSectorMap map(source.Working().last_sector);
  ScanState state;
  testimage::NullFrontend frontend(MessageAnswer::kIgnore);
  UiTextTable texts(TextVariant::English);
  CarverEnv env{source, map, state, frontend, texts};
  env.family_mask = 0;
  env.bytes_per_sector = source.Working().bytes_per_sector;
  env.sectors_per_cluster = 8;
  env.range_last = source.Working().last_sector;
  for (auto carver : {&CarveCompoundFile, &CarveZippedXml}) {
    carver(env, "", 0);
    if (map.IsClaimed(0) && map.CountClaimed() == 0) std::abort();
  }
  return 0;
}
