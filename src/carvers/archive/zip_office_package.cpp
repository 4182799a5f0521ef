#include "carvers/archive/zip_office_package.h"

#include <vector>

#include "carvers/office/package_family.h"
#include "carvers/office/save_document.h"
#include "scan/carver_frame.h"

namespace officecarve {
namespace {

constexpr uint64_t kMaxPackageBytes = 200ull * 1024 * 1024;

}  // namespace

void OfficePackageWatch::SeeCentralName(std::span<const uint8_t> name, uint32_t family_mask) {
  if (IsContentTypesName(name)) has_content_types_ = true;
  if (family_ != nullptr) return;
  const PackageFamily* family = FamilyOfEntryName(name);
  if (family != nullptr && (family_mask & family->switch_bit)) family_ = family;
}

void OfficePackageWatch::SaveIfPackage(CarverCall& call, std::string_view folder,
                                       uint64_t archive_bytes) const {
  if (!has_content_types_ || family_ == nullptr || archive_bytes > kMaxPackageBytes) return;
  CarverEnv& env = call.Env();
  const uint32_t unit_bytes = env.bytes_per_sector;
  std::vector<uint8_t> bytes;
  bytes.reserve(static_cast<size_t>(archive_bytes));
  std::vector<uint8_t> unit(unit_bytes);
  for (const int64_t claimed : call.ClaimList()) {
    if (bytes.size() >= archive_bytes) break;
    // The walk read every unit it did not skip, and skipped ones lie on the
    // same disk; one that now fails to read leaves a package we cannot give.
    if (env.source.ReadAt(unit.data(), unit_bytes, claimed * unit_bytes) != 0) return;
    const size_t wanted =
        static_cast<size_t>(std::min<uint64_t>(unit_bytes, archive_bytes - bytes.size()));
    bytes.insert(bytes.end(), unit.begin(), unit.begin() + static_cast<std::ptrdiff_t>(wanted));
  }
  if (bytes.size() != archive_bytes) return;
  WriteRecoveredDocument(call, folder, family_->extension, family_->family, bytes);
}

void OfficePackageWatch::SaveRebuiltIfPackage(CarverCall& call, std::string_view folder,
                                              std::span<const uint8_t> bytes) const {
  if (!has_content_types_ || family_ == nullptr) return;
  WriteRecoveredDocument(call, folder, family_->extension, family_->family, bytes);
}

}  // namespace officecarve
