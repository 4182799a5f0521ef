// Zipped-XML documents (.docx, .xlsx, .pptx): the package is walked record
// by record from the first local header to the end-of-central-directory
// record, which gives its exact length; the family comes from the central
// directory's entry names. Nothing is decompressed.
#include <string>
#include <string_view>

#include "carvers/carvers.h"
#include "carvers/office/package_family.h"
#include "carvers/office/save_document.h"
#include "carvers/office/zip_package_rebuild.h"
#include "carvers/office/zip_package_walk.h"
#include "core/byte_order.h"
#include "core/scan_state.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

constexpr uint32_t kLocalHeader = 0x04034B50;

}  // namespace

void CarveZippedXml(CarverEnv& env, std::string_view folder, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  if (call.Held() < 4 || Le32At(call.Bytes(), 0) != kLocalHeader) return call.Fail();

  const PackageFamily* chosen = nullptr;
  const auto see_name = [&](std::span<const uint8_t> name) {
    if (chosen != nullptr) return;
    const PackageFamily* family = FamilyOfEntryName(name);
    if (family != nullptr && (env.family_mask & family->switch_bit)) chosen = family;
  };
  const ZipPackageWalk walk = WalkWholeZipPackage(call, see_name);
  if (!walk.length) {
    if (!walk.chain_broke) return call.Fail();
    const auto rebuilt = RebuildZipPackage(call, walk.intact);
    if (!rebuilt) return call.FailChain();
    chosen = nullptr;
    for (const std::string& name : rebuilt->names) {
      see_name({reinterpret_cast<const uint8_t*>(name.data()), name.size()});
    }
    if (chosen != nullptr) {
      WriteRecoveredDocument(call, folder, chosen->extension, chosen->family, rebuilt->bytes);
    }
    return call.Complete();
  }
  const auto& length = walk.length;

  if (chosen != nullptr) {
    // The file ends with the end record's comment; what follows in the unit is not ours.
    call.ShrinkHeld(*length);
    WriteRecoveredDocument(call, folder, chosen->extension, chosen->family, call.Bytes());
  }
  call.Complete();
}

}  // namespace officecarve
