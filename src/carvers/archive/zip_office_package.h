#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace officecarve {

class CarverCall;
struct PackageFamily;

// Watches an archive's central directory for an office package: one that
// names "[Content_Types].xml" and an entry of a switched-on family. Some
// producers put other entries first, so the archive carver meets them.
class OfficePackageWatch {
 public:
  void SeeCentralName(std::span<const uint8_t> name, uint32_t family_mask);

  // Writes the archive as a document when it is an office package of at
  // most 200 MiB. Its bytes are the units of the call's claim list, in
  // order, read back from the source: the walk skipped most of them unread.
  void SaveIfPackage(CarverCall& call, std::string_view folder, uint64_t archive_bytes) const;
  // Writes `bytes`, a package put back together from its fragments, as a
  // document when it is an office package.
  void SaveRebuiltIfPackage(CarverCall& call, std::string_view folder,
                            std::span<const uint8_t> bytes) const;

 private:
  bool has_content_types_ = false;
  const PackageFamily* family_ = nullptr;
};

}  // namespace officecarve
