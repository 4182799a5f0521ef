#include "testimage/fragmented_layout.h"

#include <algorithm>

namespace officecarve::testimage {

std::vector<LaidDocument> LayFragmented(ImageBuilder& image, const FragmentedLayout& layout,
                                        std::span<const SampleFile> documents,
                                        std::span<const SampleFile> foreign) {
  const int64_t cluster_bytes = int64_t{layout.sectors_per_cluster} * image.BytesPerSector();
  auto clusters_for = [&](size_t bytes) {
    return std::max<int64_t>(1, (static_cast<int64_t>(bytes) + cluster_bytes - 1) / cluster_bytes);
  };
  auto sector_of = [&](int64_t cluster) {
    return layout.first_cluster_sector + cluster * layout.sectors_per_cluster;
  };
  std::vector<LaidDocument> laid;
  int64_t cluster = 0;
  size_t next_foreign = 0;
  for (size_t index = 0; index < documents.size(); ++index) {
    const SampleFile& document = documents[index];
    const int64_t own = clusters_for(document.bytes.size());
    const int fragments = static_cast<int>(
        std::min<int64_t>(index % 4 == 0 ? 1 : 2 + static_cast<int64_t>(index % 2), own));
    const int64_t piece = own / fragments;
    std::vector<std::pair<int64_t, int64_t>> gaps;
    std::vector<std::pair<int64_t, const SampleFile*>> gap_files;
    int64_t next = cluster;
    for (int f = 1; f < fragments && !foreign.empty(); ++f) {
      next += piece;
      const SampleFile& between = foreign[next_foreign++ % foreign.size()];
      const int64_t width = clusters_for(between.bytes.size());
      gaps.emplace_back(sector_of(next), sector_of(next + width) - 1);
      gap_files.emplace_back(sector_of(next), &between);
      next += width;
    }
    const int64_t end_cluster = next + (own - piece * (fragments - 1)) + 1;
    if (sector_of(end_cluster) - 1 > layout.last_sector) break;
    for (const auto& [sector, file] : gap_files) image.Place(sector, file->bytes);
    image.PlaceFragmented(sector_of(cluster), document.bytes, gaps);
    const int64_t filler = sector_of(end_cluster - 1);
    if (index % 2 == 0) {
      image.Place(filler, PseudoRandomBytes(static_cast<size_t>(cluster_bytes),
                                            static_cast<uint32_t>(index + 1)));
    } else {
      image.Place(filler, std::vector<uint8_t>(static_cast<size_t>(cluster_bytes), 0));
    }
    laid.push_back({&document, sector_of(cluster), static_cast<int>(gaps.size()) + 1});
    cluster = end_cluster;
  }
  return laid;
}

std::vector<SampleFile> ReadSamples(const std::string& folder, std::span<const std::string> names) {
  std::vector<SampleFile> samples;
  for (const std::string& name : names)
    samples.push_back({name, ReadFileBytes(folder + "/" + name)});
  return samples;
}

}  // namespace officecarve::testimage
