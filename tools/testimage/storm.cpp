#include "testimage/storm.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "testimage/storm_writers.h"

namespace officecarve::testimage {
namespace {

using enum FileKind;

constexpr std::array kStorms = {
    StormKind{"jpeg-entropy", JpegJfif, &storm::JpegEntropy},
    StormKind{"jpeg-no-app-segment", JpegOther, &storm::JpegWithoutApp},
    StormKind{"jpeg-segment-chain", JpegJfif, &storm::JpegSegmentChain},
    StormKind{"gif89a", Gif89a, &storm::Gif89},
    StormKind{"gif87a", Gif87a, &storm::Gif87},
    StormKind{"bitmap", Bitmap, &storm::Bitmap},
    StormKind{"png-chunk-chain", Png, &storm::PngChunkChain},
    StormKind{"png-long-chunks", Png, &storm::PngLongChunks},
    StormKind{"tiff-far-directory", TiffFamily, &storm::TiffFarDirectory},
    StormKind{"tiff-far-strips", TiffFamily, &storm::TiffFarStrips},
    StormKind{"x3f", X3f, &storm::X3f},
    StormKind{"raf", Raf, &storm::Raf},
    StormKind{"webp", RiffWebp, &storm::Webp},
    StormKind{"riff-avi", RiffAvi, &storm::RiffAvi},
    StormKind{"riff-wave", RiffWave, &storm::RiffWave},
    StormKind{"riff-cursor", RiffAnimatedCursor, &storm::RiffCursor},
    StormKind{"riff-cdxa", RiffCdxa, &storm::RiffCdxa},
    StormKind{"riff-drawing", RiffCdr, &storm::RiffDrawing},
    StormKind{"asf-declared", AsfWithProperties, &storm::AsfDeclared},
    StormKind{"asf-object-chain", AsfOther, &storm::AsfObjectChain},
    StormKind{"asf-far-object", AsfOther, &storm::AsfFarObject},
    StormKind{"mp4-box-chain", Mp4, &storm::IsoMp4BoxChain},
    StormKind{"3gp-box-chain", ThreeGp, &storm::Iso3gpBoxChain},
    StormKind{"iso-media-box-chain", IsoMediaOther, &storm::IsoOtherBoxChain},
    StormKind{"mp4-far-box", Mp4, &storm::IsoFarBox},
    StormKind{"mpeg-packet-chain", Mpeg1PackStart, &storm::MpegPacketChain},
    StormKind{"m2ts", M2tsStart, &storm::TransportStream},
    StormKind{"ts-packets", MpegTsPacket, &storm::BareTransportStream},
    StormKind{"zip-chain", Zip, &storm::ZipChain},
    StormKind{"zip-descriptor", Zip, &storm::ZipDescriptor},
    StormKind{"zip-far-entry", Zip, &storm::ZipFarEntry},
    StormKind{"zipped-drawing-chain", ZippedCdr, &storm::ZippedCdrChain},
    StormKind{"zipped-xml-chain", ZippedXml, &storm::ZippedXmlChain},
    StormKind{"zipped-xml-descriptor", ZippedXml, &storm::ZippedXmlDescriptor},
    StormKind{"opendocument-chain", OpenDocument, &storm::OpenDocumentChain},
    StormKind{"opendocument-descriptor", OpenDocument, &storm::OpenDocumentDescriptor},
    StormKind{"compound-far-fat", CompoundFile, &storm::CompoundFarFat},
    StormKind{"compound-far-difat", CompoundFile, &storm::CompoundFarDifat},
    StormKind{"pdf", Pdf, &storm::Pdf},
    StormKind{"rar-block-chain", Rar, &storm::RarBlockChain},
    StormKind{"rar-far-block", Rar, &storm::RarFarBlock},
    StormKind{"cabinet", Cabinet, &storm::Cabinet},
    StormKind{"7z", SevenZip, &storm::SevenZip},
    StormKind{"sqlite", Sqlite, &storm::Sqlite},
    StormKind{"windows-executable", WindowsExecutable, &storm::Executable},
    StormKind{"ogg-pages", Ogg, &storm::OggPages},
    StormKind{"aiff", Aiff, &storm::AiffDeclared},
    StormKind{"sun-audio", SunAudio, &storm::SunAudioDeclared},
    StormKind{"wave64", Wave64, &storm::Wave64Declared},
    StormKind{"wavpack-blocks", WavPack, &storm::WavPackBlocks},
    StormKind{"caf-far-data", Caf, &storm::CafFarData},
    StormKind{"adts-frames", Adts, &storm::AdtsFrames},
    StormKind{"mpeg-audio-frames", MpegAudio, &storm::MpegAudioFrames},
};

constexpr std::array kTruncated = {
    TruncatedStorm{"truncated-camera-jpeg", JpegJfif, "camera.jpg"},
    TruncatedStorm{"truncated-scan-jpeg", JpegJfif, "scan.jpg"},
    TruncatedStorm{"truncated-png", Png, "plain.png"},
    TruncatedStorm{"truncated-bitmap", Bitmap, "photo.bmp"},
    TruncatedStorm{"truncated-tiff", TiffFamily, "tiff_strips_le.tif"},
    TruncatedStorm{"truncated-wave", RiffWave, "tone.wav"},
    TruncatedStorm{"truncated-mp4", Mp4, "clip.mp4"},
    TruncatedStorm{"truncated-mpeg", Mpeg1PackStart, "clip.mpg"},
    TruncatedStorm{"truncated-pdf", Pdf, "leaflet.pdf"},
    TruncatedStorm{"truncated-zip", Zip, "bundle.zip"},
    TruncatedStorm{"truncated-cabinet", Cabinet, "archive.cab"},
    TruncatedStorm{"truncated-docx", ZippedXml, "minutes.docx"},
    TruncatedStorm{"truncated-xlsx", ZippedXml, "schedule.xlsx"},
    TruncatedStorm{"truncated-odt", OpenDocument, "memo.odt"},
    TruncatedStorm{"truncated-doc", CompoundFile, "letter.doc"},
    TruncatedStorm{"truncated-xls", CompoundFile, "budget.xls"},
};

void CheckShape(uint64_t bytes, uint32_t block_bytes) {
  if (block_bytes < 512 || block_bytes % 512 != 0 || bytes == 0 || bytes % block_bytes != 0) {
    throw std::invalid_argument("a storm is whole blocks of a multiple of 512 bytes");
  }
}

// An end-of-picture marker that a size field spelled by chance would end
// every picture search that reaches it; the storms must hold none.
void DefuseEndMarkers(std::vector<uint8_t>& image) {
  for (size_t i = 0; i + 1 < image.size(); ++i) {
    if (image[i] == 0xFF && image[i + 1] == 0xD9) image[i + 1] = 0xD8;
  }
}

template <typename PickWriter>
std::vector<uint8_t> BuildStorm(uint64_t bytes, uint32_t block_bytes, bool reach_image_end,
                                PickWriter pick) {
  CheckShape(bytes, block_bytes);
  std::vector<uint8_t> image(static_cast<size_t>(bytes));
  FillStormFiller(image, 17);
  for (uint64_t offset = 0; offset < bytes; offset += block_bytes) {
    StormPlace place;
    place.offset = offset;
    place.block_bytes = block_bytes;
    place.image_end = bytes;
    place.reach_end = reach_image_end ? bytes : offset + block_bytes;
    place.last = offset + block_bytes == bytes;
    const std::span<uint8_t> block(image.data() + offset, block_bytes);
    pick(offset / block_bytes)(block, place);
  }
  DefuseEndMarkers(image);
  return image;
}

}  // namespace

std::span<const StormKind> StormKinds() { return kStorms; }

std::span<const TruncatedStorm> TruncatedStorms() { return kTruncated; }

void FillStormFiller(std::span<uint8_t> bytes, uint32_t seed) {
  uint32_t state = seed * 2654435761u + 1;
  for (uint8_t& byte : bytes) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    byte = static_cast<uint8_t>('a' + state % 26);
  }
}

std::vector<uint8_t> StormImage(const StormKind& storm, uint64_t bytes, uint32_t block_bytes) {
  return BuildStorm(bytes, block_bytes, true, [&](uint64_t) { return storm.write; });
}

std::vector<uint8_t> MixedStormImage(uint64_t bytes, uint32_t block_bytes, bool reach_image_end) {
  return BuildStorm(bytes, block_bytes, reach_image_end,
                    [](uint64_t index) { return kStorms[index % kStorms.size()].write; });
}

std::vector<uint8_t> TruncatedStormImage(std::span<const uint8_t> file, uint64_t bytes,
                                         uint32_t block_bytes) {
  CheckShape(bytes, block_bytes);
  if (file.size() <= block_bytes) throw std::invalid_argument("the file fits in one block");
  std::vector<uint8_t> image(static_cast<size_t>(bytes));
  for (uint64_t offset = 0; offset < bytes; offset += block_bytes) {
    std::copy_n(file.begin(), block_bytes, image.begin() + static_cast<std::ptrdiff_t>(offset));
  }
  return image;
}

}  // namespace officecarve::testimage
