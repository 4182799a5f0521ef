#include "gui_images.h"

namespace officecarve::gui::testing {
namespace {

testimage::FatBootParams Fat32Params() {
  testimage::FatBootParams boot;
  boot.sectors_per_cluster = 8;
  boot.reserved_sectors = 32;
  boot.fat_size = 16;
  boot.root_entries = 0;
  return boot;
}

}  // namespace

testimage::ImageBuilder Fat32Image(uint64_t sectors) {
  testimage::ImageBuilder image(sectors);
  image.WriteFat32Boot(Fat32Params());
  return image;
}

int64_t Fat32DataStart() {
  return static_cast<int64_t>(testimage::ImageBuilder::FatFirstDataSector(Fat32Params()));
}

}  // namespace officecarve::gui::testing
