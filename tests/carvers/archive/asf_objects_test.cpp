#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "carvers/placed_file_cases.h"

namespace officecarve {
namespace {

using testimage::PseudoRandomBytes;
using testing::AppendLe;
using testing::UnitsFor;

constexpr std::string_view kHeaderObject = "75B22630-668E-11CF-A6D9-00AA0062CE6C";
constexpr std::string_view kDataObject = "75B22636-668E-11CF-A6D9-00AA0062CE6C";
constexpr std::string_view kContentDescription = "75B22633-668E-11CF-A6D9-00AA0062CE6C";
constexpr std::string_view kExtendedContentDescription = "D2D0A440-E307-11D2-97F0-00A0C95EA850";
constexpr std::string_view kSimpleIndex = "33000890-E5B1-11CF-89F4-00A0C90349CB";

// A GUID as stored: the first three groups little-endian, the rest as written.
std::vector<uint8_t> Guid(std::string_view text) {
  std::vector<uint8_t> plain;
  for (size_t i = 0; i < text.size(); i += 2) {
    if (text[i] == '-') ++i;
    plain.push_back(static_cast<uint8_t>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16)));
  }
  return {plain[3], plain[2], plain[1],  plain[0],  plain[5],  plain[4],  plain[7],  plain[6],
          plain[8], plain[9], plain[10], plain[11], plain[12], plain[13], plain[14], plain[15]};
}

void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& more) {
  out.insert(out.end(), more.begin(), more.end());
}

// An object: GUID, 64-bit size including this 24-byte header, body.
std::vector<uint8_t> Object(std::string_view guid, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> object = Guid(guid);
  AppendLe(object, 24 + body.size(), 8);
  Append(object, body);
  return object;
}

// A header object whose first child is the stream properties object, so no
// file size is declared up front.
std::vector<uint8_t> HeaderObject() {
  std::vector<uint8_t> body;
  AppendLe(body, 3, 4);  // child objects
  body.push_back(1);
  body.push_back(2);
  std::vector<uint8_t> stream(54, 0);
  stream[48] = 1;  // stream number
  Append(body, Object("B7DC0791-A9B7-11CF-8EE6-00C00C205365", stream));
  Append(body, Object("8CABDCA1-A947-11CF-8EE4-00C00C205365", std::vector<uint8_t>(80, 0)));
  std::vector<uint8_t> extension = Guid("ABD3D211-A9BA-11CF-8EE6-00C00C205365");
  AppendLe(extension, 6, 2);
  AppendLe(extension, 0, 4);
  Append(body, Object("5FBF03B5-A92E-11CF-8EE3-00C00C205365", extension));
  return Object(kHeaderObject, body);
}

std::vector<uint8_t> DataObject(size_t packets) {
  std::vector<uint8_t> body = Guid("4B1ACBE3-100B-11D0-A39B-00A0C90348F6");  // file id
  AppendLe(body, packets, 8);
  AppendLe(body, 0x0101, 2);
  for (size_t i = 0; i < packets; ++i) {
    std::vector<uint8_t> packet = PseudoRandomBytes(400, static_cast<uint32_t>(i + 1));
    packet[0] = 0x82;  // error correction data follows
    packet[1] = packet[2] = 0;
    Append(body, packet);
  }
  return Object(kDataObject, body);
}

std::vector<uint8_t> SimpleIndex() { return Object(kSimpleIndex, PseudoRandomBytes(4000, 99)); }

struct Asf {
  std::vector<uint8_t> bytes;
  size_t end = 0;  // where the data object ends
};

// Header, data and a simple index after them, as a muxer writes it.
Asf MakeAsf(size_t packets) {
  Asf asf{HeaderObject()};
  Append(asf.bytes, DataObject(packets));
  asf.end = asf.bytes.size();
  Append(asf.bytes, SimpleIndex());
  return asf;
}

using AsfObjectsCarver = testing::PlacedFileCases;

TEST_P(AsfObjectsCarver, EndsAtTheEndOfTheDataObject) {
  const Asf asf = MakeAsf(5);
  ASSERT_NE(asf.end % 512, 0u);
  ASSERT_GT(UnitsFor(asf.bytes.size(), 512), UnitsFor(asf.end, 512) + Cluster());

  CarveAlone(&CarveAsfObjects, asf.bytes);

  EXPECT_EQ(ClaimedUnits(), Claimed(asf.end));
}

TEST_P(AsfObjectsCarver, ClaimsLongDataWithoutReadingIt) {
  const Asf asf = MakeAsf(400);
  Place(asf.bytes);
  // Every unit wholly inside the data object, but its last, fails to read.
  const int64_t first_inside = (HeaderObject().size() + 511) / 512;
  const int64_t last_inside = asf.end / 512 - 2;
  ASSERT_GT(last_inside - first_inside, 250);
  for (int64_t unit = first_inside; unit <= last_inside; ++unit) {
    unreadable_->insert(Shift() + unit);
  }

  Carve(&CarveAsfObjects, Shift());

  EXPECT_EQ(ClaimedUnits(), Claimed(asf.end));
}

TEST_P(AsfObjectsCarver, WalksPastTopLevelObjectsOfEitherFamily) {
  // Enough of them that the buffer is compacted a few times on the way.
  std::vector<uint8_t> bytes = HeaderObject();
  for (int i = 0; i < 60; ++i) {
    Append(bytes, Object(i % 2 == 0 ? kContentDescription : kExtendedContentDescription,
                         PseudoRandomBytes(1000 + 13 * i, i + 7)));
  }
  Append(bytes, DataObject(3));
  const size_t end = bytes.size();
  Append(bytes, SimpleIndex());

  CarveAlone(&CarveAsfObjects, bytes);

  EXPECT_EQ(ClaimedUnits(), Claimed(end));
}

TEST_P(AsfObjectsCarver, GivesUpAtAnIndexBeforeTheData) {
  std::vector<uint8_t> bytes = HeaderObject();
  Append(bytes, SimpleIndex());
  Append(bytes, DataObject(5));

  CarveAlone(&CarveAsfObjects, bytes);

  ExpectNoTrace();
}

// The walk's place in its buffer starts over at each compaction; an object of
// no accepted family found right there is still refused.
TEST_P(AsfObjectsCarver, GivesUpAtAnUnknownObjectRightAfterACompaction) {
  std::vector<uint8_t> bytes = HeaderObject();
  Append(bytes, Object(kContentDescription, std::vector<uint8_t>(512 - bytes.size() - 24, 0)));
  for (int i = 0; i < 60; ++i) {
    Append(bytes, Object(kContentDescription, std::vector<uint8_t>(512 - 24, 0)));
  }
  ASSERT_EQ(bytes.size(), 61u * 512);
  Append(bytes, SimpleIndex());
  Append(bytes, DataObject(5));

  CarveAlone(&CarveAsfObjects, bytes);

  ExpectNoTrace();
}

// Each of these would hold the walk in place, wrap it around or run it off the end.
TEST_P(AsfObjectsCarver, GivesUpSizesThatCannotBeWalked) {
  const size_t data_size_at = HeaderObject().size() + 16;
  const struct {
    const char* what;
    size_t at;
    uint64_t size;
  } cases[] = {
      {"a header object of size 0", 16, 0},
      {"a header object smaller than its header", 16, 23},
      {"a data object of size 0", data_size_at, 0},
      {"a size that wraps the position", data_size_at, UINT64_MAX - 10},
      {"a size of 2 GiB, past the range", data_size_at, uint64_t{1} << 31},
      {"a size of 2^63, past the range", data_size_at, uint64_t{1} << 63},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Asf asf = MakeAsf(5);
    testing::PokeLe(asf.bytes, c.at, c.size, 8);

    CarveAlone(&CarveAsfObjects, asf.bytes);

    ExpectNoTrace();
  }
}

INSTANTIATE_TEST_SUITE_P(Placements, AsfObjectsCarver, testing::PlacedFileValues(),
                         testing::PlacedFileName);

class AsfObjectsScan : public testing::CarverHarness,
                       public ::testing::WithParamInterface<int64_t> {};

TEST_P(AsfObjectsScan, LetsADocumentAroundAMediaFileComeBackIntact) {
  const std::vector<uint8_t> document = testing::SampleDocument("minutes.docx");
  const Asf asf = MakeAsf(60);
  // Nothing follows the data object here: the file ends with it.
  const std::vector<uint8_t> media(asf.bytes.begin(), asf.bytes.begin() + asf.end);
  auto built = testing::DocumentAroundForeignFile(document, media, GetParam(), 13);
  Open(built.image);

  Carve(&CarveAsfObjects, built.foreign_start);
  EXPECT_EQ(ClaimedUnits(), UnitRange(built.foreign_start, built.foreign_units));

  const ScanReport report = ScanAll();
  EXPECT_EQ(report.found_by_kind[static_cast<size_t>(FileKind::AsfOther)], 1u);
  ExpectOnlyRecovered(report, testing::NameAt(GetParam(), ".DOCX"), document);
}

INSTANTIATE_TEST_SUITE_P(Placements, AsfObjectsScan, ::testing::ValuesIn(testing::kShifts));

}  // namespace
}  // namespace officecarve
