// OpenDocument text, spreadsheets and presentations: a ZIP package whose
// first entry, "mimetype", names the type. The package is walked like the
// zipped-XML documents; the type decides the switch and the extension.
#include <string_view>

#include "carvers/carvers.h"
#include "carvers/office/save_document.h"
#include "carvers/office/zip_package_rebuild.h"
#include "carvers/office/zip_package_walk.h"
#include "core/scan_state.h"
#include "scan/carver_frame.h"
#include "scan/open_document_type.h"

namespace officecarve {
namespace {

struct OpenDocumentFamily {
  uint32_t switch_bit;
  std::string_view extension;
  std::string_view family;
};

const OpenDocumentFamily* FamilyOf(OpenDocumentType type) {
  static constexpr OpenDocumentFamily kText{kFamilyDoc, ".ODT", "doc"};
  static constexpr OpenDocumentFamily kSpreadsheet{kFamilyXls, ".ODS", "xls"};
  static constexpr OpenDocumentFamily kPresentation{kFamilyPpt, ".ODP", "ppt"};
  switch (type) {
    case OpenDocumentType::kText:
      return &kText;
    case OpenDocumentType::kSpreadsheet:
      return &kSpreadsheet;
    case OpenDocumentType::kPresentation:
      return &kPresentation;
    case OpenDocumentType::kNone:
      break;
  }
  return nullptr;
}

}  // namespace

void CarveOpenDocument(CarverEnv& env, std::string_view folder, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  const OpenDocumentFamily* family = FamilyOf(OpenDocumentTypeOf(call.Bytes()));
  if (family == nullptr) return call.Fail();

  const ZipPackageWalk walk = WalkWholeZipPackage(call, [](std::span<const uint8_t>) {});
  if (!walk.length) {
    if (!walk.chain_broke) return call.Fail();
    const auto rebuilt = RebuildZipPackage(call, walk.intact);
    if (!rebuilt) return call.FailChain();
    if (env.family_mask & family->switch_bit) {
      WriteRecoveredDocument(call, folder, family->extension, family->family, rebuilt->bytes);
    }
    return call.Complete();
  }
  const auto& length = walk.length;
  if (env.family_mask & family->switch_bit) {
    call.ShrinkHeld(*length);
    WriteRecoveredDocument(call, folder, family->extension, family->family, call.Bytes());
  }
  call.Complete();
}

}  // namespace officecarve
