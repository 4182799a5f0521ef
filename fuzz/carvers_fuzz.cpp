// Any image: the carver for the kind its first sector is identified as (or,
// when that kind has none, one chosen by the first byte) stays in bounds,
// ends, and leaves the map as it found it when it gives the file up. Nothing
// is written (no family is selected), so the fuzzer measures parsing alone.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "carvers/dispatch.h"
#include "scan/carver_frame.h"
#include "scan/claimed_sector_map.h"
#include "scan/identify.h"
#include "source/sector_source.h"
#include "testimage/memory_handle.h"
#include "testimage/null_frontend.h"

namespace {

using namespace officecarve;

std::vector<CarverFunction> AllCarvers() {
  std::vector<CarverFunction> carvers;
  for (int value = 0; value < 256; ++value) {
    const CarverFunction carver = DispatchFor(static_cast<FileKind>(value)).carver;
    if (carver != nullptr) carvers.push_back(carver);
  }
  return carvers;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::vector<CarverFunction> carvers = AllCarvers();
  if (size == 0 || carvers.empty()) return 0;
  std::vector<uint8_t> bytes(data, data + size);
  bytes.resize((bytes.size() / 512 + 1) * 512);
  CarverFunction carver = DispatchFor(Identify(std::span(bytes).first(512))).carver;
  if (carver == nullptr) carver = carvers[data[0] % carvers.size()];

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
  env.sectors_per_cluster = 1u << (data[0] % 4);
  env.range_last = source.Working().last_sector;
  carver(env, "", 0);
  // A file given up leaves no claim behind; a file kept holds its first unit.
  if (!map.IsClaimed(0) && map.CountClaimed() != 0) std::abort();
  return 0;
}
