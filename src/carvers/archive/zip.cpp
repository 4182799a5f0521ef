// ZIP archives (and zipped drawings, which are ZIP archives too): the records
// are walked from the first local header to the end of the central directory
// to bound the archive, which is claimed. Entry data is never read when its
// size is known: its units are claimed unread, so memory grows with the
// records, not the data. An archive whose central directory shows an office
// package (written by a producer that does not put "[Content_Types].xml"
// first) is also saved as the document it is.
#include <string>
#include <string_view>

#include "carvers/archive/zip_office_package.h"
#include "carvers/archive/zip_records.h"
#include "carvers/carvers.h"
#include "carvers/office/zip_data_descriptor.h"
#include "carvers/office/zip_package_rebuild.h"
#include "core/byte_order.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

constexpr uint64_t kMaxEntryBytes = 200ull * 1024 * 1024;

// The length of a local header's record when its sizes follow the data in a
// descriptor: the data has to be read to find it.
bool LengthThroughDescriptor(CarverCall& call, uint64_t position, uint64_t& length) {
  const uint64_t data_start = ZipLocalDataStart(call, position);
  if (!call.ReadUntil(data_start)) return false;
  const auto end = FindDataDescriptorEnd(call, data_start, kMaxEntryBytes);
  if (!end) return false;
  length = *end - position;
  return true;
}

// The walk broke: the archive may lie in fragments with data nobody claimed
// between them. The walk skipped and dropped what it could, so the rebuild
// starts afresh from the header.
void RebuildAfterBreak(CarverCall& broken, std::string_view folder, uint64_t intact) {
  CarverEnv& env = broken.Env();
  const int64_t offset = broken.HeaderOffset();
  broken.FailChain();
  CarverCall call(env, offset);
  if (!call.Started()) return;
  const auto rebuilt = RebuildZipPackage(call, intact);
  if (!rebuilt) return call.Fail();
  OfficePackageWatch office;
  for (const std::string& name : rebuilt->names) {
    office.SeeCentralName({reinterpret_cast<const uint8_t*>(name.data()), name.size()},
                          env.family_mask);
  }
  if (!folder.empty()) office.SaveRebuiltIfPackage(call, folder, rebuilt->bytes);
  call.Complete();
}

}  // namespace

void CarveZip(CarverEnv& env, std::string_view folder, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  if (call.Held() < 4 || Le32At(call.Bytes(), 0) != kZipLocalHeader) return call.Fail();

  OfficePackageWatch office;
  ZipStartCheck start_check;
  // The first name is held before its record is jumped over.
  if (!start_check.ReadFirstLocalName(call)) return call.Fail();
  uint64_t position = 0;
  uint64_t archive_bytes = 0;
  // The records before the last one read are the archive's own: a gap
  // inside the last one's data shows only at the record after it.
  uint64_t intact = 0;
  uint64_t last_start = 0;
  // Every record moves the position on by at least its fixed part, whose
  // bytes are read from the scan range, so the range bounds the walk.
  while (true) {
    // Only the current record is ever looked at again; dropping what lies
    // before it keeps an archive of many entries small in memory.
    call.Compact(position);
    // What ends the walk inside this loop depends on the records from here
    // on alone, so a walk that runs into a record of a chain known to fail
    // fails there too.
    intact = last_start;
    last_start = archive_bytes;
    ZipRecord record;
    if (!ReadZipRecord(call, position, record)) return RebuildAfterBreak(call, folder, intact);
    if (call.ChainFailsAt(position)) return RebuildAfterBreak(call, folder, intact);
    if (record.signature == kZipLocalHeader && ZipLocalUsesDescriptor(call, position) &&
        !LengthThroughDescriptor(call, position, record.length)) {
      return RebuildAfterBreak(call, folder, intact);
    }
    uint64_t rest = record.length;
    if (!call.SkipInsideRecord(position, rest)) return RebuildAfterBreak(call, folder, intact);
    const uint64_t record_start = position;
    position += rest;
    if (!call.ReadUntil(position)) return RebuildAfterBreak(call, folder, intact);
    archive_bytes += record.length;
    if (record.signature == kZipCentralHeader) {
      const auto bytes = call.Bytes();
      start_check.SeeCentralHeader(bytes, record_start);
      office.SeeCentralName(
          bytes.subspan(record_start + kZipCentralFixedBytes, Le16At(bytes, record_start + 28)),
          env.family_mask);
    }
    if (record.signature == kZipEndOfCentralDirectory) break;
  }
  if (start_check.StartedInside()) return call.Fail();
  if (!folder.empty()) office.SaveIfPackage(call, folder, archive_bytes);
  call.Complete();
}

}  // namespace officecarve
