// The demo image lays every document around pictures, media, a PDF and
// archives of many kinds: a whole scan must claim each of those exactly for
// every document to come back byte for byte.
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/carver_harness.h"
#include "demo/demo_image.h"
#include "scan/start_sector_code.h"

namespace officecarve {
namespace {

class DemoImageScan : public testing::CarverHarness {};

TEST_F(DemoImageScan, RecoversEveryDocumentBetweenTheForeignFilesByteForByte) {
  demo::DemoImage demo = demo::BuildDemoImage(demo::EmbeddedSamples());
  ASSERT_GE(demo.foreign_files.size(), 12u);
  Open(demo.image);
  // The demo volume's geometry, as a scan of it would probe it.
  source_.MutableWorking().sectors_per_cluster = 8;

  const ScanReport report = ScanAll();

  EXPECT_EQ(report.recovered_count, static_cast<int>(demo.documents.size()));
  for (const demo::PlacedDocument& document : demo.documents) {
    SCOPED_TRACE(document.sample_name);
    const std::string name =
        RecoveredFileName(document.start_sector * 512, document.expected_extension);
    const std::vector<uint8_t> expected(document.bytes.begin(), document.bytes.end());
    EXPECT_EQ(WrittenBytes(name), expected);
  }
}

}  // namespace
}  // namespace officecarve
