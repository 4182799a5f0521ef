#include "scan/identify.h"

#include <array>
#include <bit>
#include <cstring>
#include <string_view>

#include "scan/adts_frame.h"
#include "scan/mpeg_audio_frame.h"
#include "scan/open_document_type.h"

namespace officecarve {
namespace {

using namespace std::string_view_literals;

using Sector = std::span<const uint8_t>;

bool BytesAre(Sector sector, size_t offset, std::string_view expected) {
  return offset <= sector.size() && expected.size() <= sector.size() - offset &&
         std::memcmp(sector.data() + offset, expected.data(), expected.size()) == 0;
}

// A signature of up to eight bytes packed into a number, so the miss path
// (almost every sector) is a mask and a compare per signature rather than a
// call to memcmp. Longer signatures are tested by their first eight bytes
// this way, and only then compared in full.
class Signature {
 public:
  static constexpr size_t kPackedBytes = 8;

  constexpr explicit Signature(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size() && i < kPackedBytes; ++i) {
      packed_ |= uint64_t{static_cast<uint8_t>(bytes[i])} << (8 * i);
      mask_ |= uint64_t{0xFF} << (8 * i);
    }
  }

  // `packed` is PackedAt(sector, offset) for the offset the signature lies at.
  bool StartsPacked(uint64_t packed) const { return (packed & mask_) == packed_; }
  constexpr uint8_t FirstByte() const { return static_cast<uint8_t>(packed_); }

 private:
  uint64_t packed_ = 0;
  uint64_t mask_ = 0;
};

// The eight bytes at `offset`, first byte lowest; the sector must hold them.
uint64_t PackedAt(Sector sector, size_t offset) {
  uint64_t packed = 0;
  std::memcpy(&packed, sector.data() + offset, sizeof packed);
  if constexpr (std::endian::native == std::endian::big) {
    uint64_t reversed = 0;
    for (size_t i = 0; i < sizeof packed; ++i, packed >>= 8)
      reversed = reversed << 8 | (packed & 0xFF);
    packed = reversed;
  }
  return packed;
}

// Signatures are spelled as byte strings; each is compared over its full
// length, embedded zero bytes included.
constexpr Signature kJpegStart{"\xFF\xD8\xFF"sv};
constexpr Signature kGif89a{"GIF89a"sv};
constexpr Signature kBitmap{"BM"sv};
constexpr Signature kCompoundFile{"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"sv};
constexpr std::string_view kJetDatabase = "Standard Jet DB"sv;
constexpr Signature kJetDatabaseStart{kJetDatabase};
constexpr Signature kRiff{"RIFF"sv};
// The leading bytes of the ASF header object's and file-properties object's
// identifiers, up to the first zero byte of each.
constexpr std::string_view kAsfHeaderObject = "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00"sv;
constexpr Signature kAsfHeaderObjectStart{kAsfHeaderObject};
constexpr std::string_view kAsfFileProperties = "\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00"sv;
constexpr Signature kFileTypeBox{"ftyp"sv};
constexpr Signature kMpegPackStart{"\x00\x00\x01\xBA"sv};
constexpr Signature kPng{"\x89PNG"sv};
constexpr Signature kId3{"ID3"sv};
// TIFF and the camera raw formats built on it with their own magic number,
// each in both byte orders.
constexpr Signature kTiffFamily[] = {
    Signature{"II\x2A\x00"sv}, Signature{"MM\x00\x2A"sv}, Signature{"IIRO"sv},
    Signature{"MMOR"sv},       Signature{"IIU\x00"sv},    Signature{"MM\x00U"sv},
};
constexpr Signature kX3f{"FOVb"sv};
constexpr std::string_view kRaf = "FUJIFILMCCD-RAW "sv;
constexpr Signature kRafStart{kRaf};
constexpr Signature kRar{"Rar!\x1A\x07\x00"sv};
constexpr Signature kZipLocalHeader{"PK\x03\x04"sv};
constexpr std::string_view kZippedXmlFirstName = "[Content_Types].xml"sv;
constexpr std::string_view kZippedCdrFirstName = "content/riffData.cdr"sv;
constexpr Signature kCabinet{"MSCF"sv};
// Signature and format version 0.3, and 0.4, which current archivers write
// by default: its start header is laid out as 0.3's. Others are not accepted.
constexpr Signature kSevenZip{"7z\xBC\xAF\x27\x1C\x00\x03"sv};
constexpr Signature kSevenZipV04{"7z\xBC\xAF\x27\x1C\x00\x04"sv};
constexpr Signature kPdf{"%PDF-"sv};
constexpr Signature kGif87a{"GIF87a"sv};
constexpr Signature kEbml{"\x1A\x45\xDF\xA3"sv};
constexpr std::string_view kSqlite = "SQLite format 3\x00"sv;
constexpr Signature kSqliteStart{kSqlite};
constexpr Signature kDosStub{"MZ"sv};
constexpr Signature kOggPage{"OggS\x00"sv};
constexpr Signature kIffForm{"FORM"sv};
constexpr Signature kSunAudio{".snd"sv};
// RIFF's 64-bit form names its chunks by GUIDs; the first is "riff"'s.
constexpr std::string_view kWave64Riff = "riff\x2E\x91\xCF\x11\xA5\xD6\x28\xDB\x04\xC1\x00\x00"sv;
constexpr std::string_view kWave64Wave = "wave\xF3\xAC\xD3\x11\x8C\xD1\x00\xC0\x4F\x8E\xDB\x8A"sv;
constexpr Signature kWave64Start{kWave64Riff};
constexpr Signature kWavPack{"wvpk"sv};
// Version 1, no flags, and the description chunk first.
constexpr Signature kCaf{"caff\x00\x01\x00\x00"sv};

// Offsets of the name of the first entry in a ZIP local file header, and of
// the object that follows the ASF header object's 30-byte header.
constexpr size_t kZipFirstNameOffset = 30;
constexpr size_t kAsfFirstChildOffset = 30;

constexpr uint8_t kMpegTsSync = 0x47;
constexpr size_t kTsPacketBytes = 188;
// A 192-byte packet is a 4-byte arrival time stamp and a 188-byte packet.
constexpr size_t kM2tsPacketBytes = 192;
constexpr size_t kM2tsTimeStampBytes = 4;
constexpr uint32_t kArrivalTimeMask = 0x3FFFFFFF;
// About 0.12 s of the 27 MHz arrival clock: packets of one stream that lie
// next to each other on disk are much closer than that.
constexpr uint32_t kMaxArrivalTimeStep = 3'200'000;

constexpr size_t kDirEntryBytes = 32;
constexpr size_t kDirEntryAttributeOffset = 11;
constexpr size_t kDirEntryDateOffset = 24;
constexpr size_t kDirEntrySizeOffset = 28;
constexpr uint8_t kDeletedEntry = 0xE5;
constexpr uint8_t kAttributeSubdirectory = 0x10;
constexpr uint8_t kAttributeLongName = 0x0F;
// Attribute bits above archive (0x20) are never set in a real entry; nor are
// subdirectory and archive together.
constexpr uint8_t kFirstInvalidAttributeHighBits = 0x30;
// Dates count years from 1980; nothing we look for predates 1985.
constexpr unsigned kMinDirEntryYear = 5;
constexpr int kMinDirectoryScore = 2;

uint16_t ReadLe16(Sector sector, size_t offset) {
  return static_cast<uint16_t>(sector[offset] | sector[offset + 1] << 8);
}

uint32_t ReadLe32(Sector sector, size_t offset) {
  return static_cast<uint32_t>(sector[offset]) | static_cast<uint32_t>(sector[offset + 1]) << 8 |
         static_cast<uint32_t>(sector[offset + 2]) << 16 |
         static_cast<uint32_t>(sector[offset + 3]) << 24;
}

uint32_t ReadBe32(Sector sector, size_t offset) {
  return static_cast<uint32_t>(sector[offset]) << 24 |
         static_cast<uint32_t>(sector[offset + 1]) << 16 |
         static_cast<uint32_t>(sector[offset + 2]) << 8 | static_cast<uint32_t>(sector[offset + 3]);
}

uint8_t AsciiLower(uint8_t byte) {
  return byte >= 'A' && byte <= 'Z' ? static_cast<uint8_t>(byte + ('a' - 'A')) : byte;
}

bool BytesAreIgnoringCase(Sector sector, size_t offset, std::string_view lower_case) {
  if (offset > sector.size() || lower_case.size() > sector.size() - offset) return false;
  for (size_t i = 0; i < lower_case.size(); ++i) {
    if (AsciiLower(sector[offset + i]) != static_cast<uint8_t>(lower_case[i])) return false;
  }
  return true;
}

FileKind IdentifyRiff(Sector sector) {
  constexpr size_t kFormOffset = 8;
  if (BytesAre(sector, kFormOffset, "AVI "sv)) return FileKind::RiffAvi;
  if (BytesAre(sector, kFormOffset, "CDXA"sv)) return FileKind::RiffCdxa;
  if (BytesAre(sector, kFormOffset, "WAVE"sv)) return FileKind::RiffWave;
  if (BytesAre(sector, kFormOffset, "ACON"sv)) return FileKind::RiffAnimatedCursor;
  if (BytesAreIgnoringCase(sector, kFormOffset, "cdr"sv)) return FileKind::RiffCdr;
  if (BytesAre(sector, kFormOffset, "WEBP"sv)) return FileKind::RiffWebp;
  return FileKind::None;
}

FileKind IdentifyIsoMedia(Sector sector) {
  constexpr size_t kMajorBrandOffset = 8;
  if (BytesAre(sector, kMajorBrandOffset, "3gp"sv)) return FileKind::ThreeGp;
  if (BytesAre(sector, kMajorBrandOffset, "mp4"sv)) return FileKind::Mp4;
  return FileKind::IsoMediaOther;
}

// The top bits of the byte after the start code tell the two pack header
// layouts apart: 01 for MPEG-2, 0010 for MPEG-1.
FileKind IdentifyMpegPack(Sector sector) {
  const uint8_t layout = sector[4];
  if ((layout & 0xC0) == 0x40) {
    return ReadPackClockMpeg2(sector) == 0 ? FileKind::Mpeg2PackStart : FileKind::Mpeg2Pack;
  }
  if ((layout & 0xE0) == 0x20) {
    return ReadPackClockMpeg1(sector) == 0 ? FileKind::Mpeg1PackStart : FileKind::Mpeg1Pack;
  }
  return FileKind::None;
}

// Three consecutive 192-byte packets whose arrival times lie close together,
// or None.
FileKind IdentifyM2ts(Sector sector) {
  for (size_t packet = 0; packet < 3; ++packet) {
    if (sector[packet * kM2tsPacketBytes + kM2tsTimeStampBytes] != kMpegTsSync) {
      return FileKind::None;
    }
  }
  const uint32_t t0 = ReadBe32(sector, 0);
  const uint32_t t1 = ReadBe32(sector, kM2tsPacketBytes);
  const uint32_t t2 = ReadBe32(sector, 2 * kM2tsPacketBytes);
  // Unsigned subtraction: the arrival clock may wrap between packets.
  if (((t1 - t0) & kArrivalTimeMask) > kMaxArrivalTimeStep ||
      ((t2 - t1) & kArrivalTimeMask) > kMaxArrivalTimeStep) {
    return FileKind::None;
  }
  return t0 == 0 ? FileKind::M2tsStart : FileKind::M2tsPacket;
}

bool IsMpegTs(Sector sector) {
  for (size_t packet = 0; packet < 3; ++packet) {
    const size_t sync = packet * kTsPacketBytes;
    if (sector[sync] != kMpegTsSync || sector[sync + 1] == kMpegTsSync) return false;
  }
  return true;
}

FileKind IdentifyZip(Sector sector) {
  if (BytesAre(sector, kZipFirstNameOffset, kZippedXmlFirstName)) return FileKind::ZippedXml;
  if (BytesAre(sector, kZipFirstNameOffset, kZippedCdrFirstName)) return FileKind::ZippedCdr;
  if (OpenDocumentTypeOf(sector) != OpenDocumentType::kNone) return FileKind::OpenDocument;
  return FileKind::Zip;
}

bool IsPlausibleDate(uint16_t date) {
  const unsigned year = date >> 9;
  const unsigned month = (date >> 5) & 0x0F;
  const unsigned day = date & 0x1F;
  return year >= kMinDirEntryYear && month >= 1 && month <= 12 && day != 0;
}

// Scores the 16 entries of a directory sector: 2 for each plausible live
// entry, 1 for each deleted one. Any implausible entry disqualifies the
// sector, and so does anything but zeros after the end-of-directory mark.
bool IsFatDirectory(Sector sector) {
  constexpr size_t kEntries = kIdentifyBytes / kDirEntryBytes;
  int score = 0;
  for (size_t index = 0; index < kEntries; ++index) {
    const Sector entry = sector.subspan(index * kDirEntryBytes, kDirEntryBytes);
    const uint8_t first = entry[0];
    if (first == 0) {
      // Zero sectors are common: settle them without reading on.
      if (score < kMinDirectoryScore) return false;
      for (size_t later = index + 1; later < kEntries; ++later) {
        if (sector[later * kDirEntryBytes] != 0) return false;
      }
      break;
    }
    if (first == kDeletedEntry) {
      ++score;
      continue;
    }
    const uint8_t attribute = entry[kDirEntryAttributeOffset];
    if ((attribute & 0xF0) >= kFirstInvalidAttributeHighBits) return false;
    if ((attribute & kAttributeSubdirectory) != 0 && ReadLe32(entry, kDirEntrySizeOffset) != 0) {
      return false;
    }
    if (attribute == kAttributeLongName) continue;
    if (first <= ' ') return false;
    if (!IsPlausibleDate(ReadLe16(entry, kDirEntryDateOffset))) return false;
    score += 2;
    for (size_t i = 1; i <= 10; ++i) {
      if (!IsShortNameChar(entry[i])) return false;
    }
  }
  return score >= kMinDirectoryScore;
}

// A DOS stub whose header points at a "PE\0\0" signature inside the sector.
bool IsWindowsExecutable(Sector sector) {
  constexpr size_t kNewHeaderPointerOffset = 0x3C;
  constexpr size_t kDosHeaderBytes = 0x40;
  const uint32_t pe_offset = ReadLe32(sector, kNewHeaderPointerOffset);
  return pe_offset >= kDosHeaderBytes && pe_offset <= sector.size() - 4 &&
         BytesAre(sector, pe_offset, "PE\x00\x00"sv);
}

// The first page of a logical stream: a fresh packet, page number 0.
bool IsOggStreamStart(Sector sector) {
  constexpr size_t kHeaderType = 5;
  constexpr size_t kPageNumber = 18;
  constexpr size_t kSegmentCount = 26;
  constexpr uint8_t kFirstPage = 0x02;
  constexpr uint8_t kKnownFlags = 0x07;
  constexpr uint8_t kContinued = 0x01;
  const uint8_t type = sector[kHeaderType];
  return (type & ~kKnownFlags) == 0 && (type & (kFirstPage | kContinued)) == kFirstPage &&
         ReadLe32(sector, kPageNumber) == 0 && sector[kSegmentCount] > 0;
}

// A plausible header: its data after it, an encoding the format defines and
// a channel count.
bool IsSunAudio(Sector sector) {
  constexpr uint32_t kMinDataOffset = 24;
  constexpr uint32_t kLastEncoding = 32;
  constexpr uint32_t kMostChannels = 64;
  const uint32_t data_offset = ReadBe32(sector, 4);
  const uint32_t encoding = ReadBe32(sector, 12);
  const uint32_t channels = ReadBe32(sector, 20);
  return data_offset >= kMinDataOffset && encoding >= 1 && encoding <= kLastEncoding &&
         channels >= 1 && channels <= kMostChannels && ReadBe32(sector, 16) > 0;
}

// A stream's first block: a version the format has had, and block number 0.
bool IsWavPackStart(Sector sector) {
  constexpr uint16_t kFirstVersion = 0x402;
  constexpr uint16_t kLastVersion = 0x410;
  const uint16_t version = ReadLe16(sector, 8);
  return version >= kFirstVersion && version <= kLastVersion && sector[10] == 0 &&
         ReadLe32(sector, 16) == 0;
}

// Two frames of one stream, the second right after the first: a sync word
// alone is too common to go by.
bool IsAdtsStart(Sector sector) {
  const std::optional<AdtsFrame> first = ReadAdtsFrame(sector, 0);
  if (!first) return false;
  const std::optional<AdtsFrame> second = ReadAdtsFrame(sector, first->bytes);
  return second && second->fixed == first->fixed;
}

// A frame whose side information is followed by the info an encoder keeps
// there (LAME's and most others' "Xing" or "Info", Fraunhofer's "VBRI"):
// where it lies depends on the version and the channels, so each place is
// tried. A sync word alone is too common to go by.
bool IsMpegAudioStart(Sector sector) {
  if (!ParseMpegAudioFrame(ReadBe32(sector, 0))) return false;
  for (const size_t at : {13u, 21u, 36u}) {
    if (BytesAre(sector, at, "Xing"sv) || BytesAre(sector, at, "Info"sv)) return true;
  }
  return BytesAre(sector, 36, "VBRI"sv);
}

// Kinds added after the table above was settled. They are tested only where
// it found nothing, so they never change what it reports.
FileKind IdentifyLaterKinds(Sector sector, uint64_t head) {
  const auto starts_with = [head](const Signature& signature) {
    return signature.StartsPacked(head);
  };
  if (starts_with(kGif87a)) return FileKind::Gif87a;
  if (starts_with(kEbml)) return FileKind::Matroska;
  if (starts_with(kSqliteStart) && BytesAre(sector, 0, kSqlite)) return FileKind::Sqlite;
  if (starts_with(kDosStub) && IsWindowsExecutable(sector)) return FileKind::WindowsExecutable;
  if (starts_with(kOggPage) && IsOggStreamStart(sector)) return FileKind::Ogg;
  if (starts_with(kIffForm) && (BytesAre(sector, 8, "AIFF"sv) || BytesAre(sector, 8, "AIFC"sv))) {
    return FileKind::Aiff;
  }
  if (starts_with(kSunAudio) && IsSunAudio(sector)) return FileKind::SunAudio;
  if (starts_with(kWave64Start) && BytesAre(sector, 0, kWave64Riff) &&
      BytesAre(sector, 24, kWave64Wave)) {
    return FileKind::Wave64;
  }
  if (starts_with(kWavPack) && IsWavPackStart(sector)) return FileKind::WavPack;
  if (starts_with(kCaf) && BytesAre(sector, 8, "desc"sv)) return FileKind::Caf;
  if (sector[0] == 0xFF && IsAdtsStart(sector)) return FileKind::Adts;
  if (sector[0] == 0xFF && IsMpegAudioStart(sector)) return FileKind::MpegAudio;
  return FileKind::None;
}

// The first bytes any kind tested at the sector's start begins with: the
// packed signatures, the zero bytes of a box size and a pack start code, and
// a transport stream's sync byte. A sector starting with any other byte (most
// of a disk) can only be one of the kinds found further in.
constexpr auto kStartsSomeKind = [] {
  std::array<bool, 256> starts{};
  for (const Signature& signature :
       {kJpegStart,      kGif89a,  kBitmap,   kCompoundFile, kRiff,     kAsfHeaderObjectStart,
        kMpegPackStart,  kPng,     kId3,      kX3f,          kRafStart, kRar,
        kZipLocalHeader, kCabinet, kSevenZip, kPdf,          kGif87a,   kEbml,
        kSqliteStart,    kDosStub, kOggPage,  kIffForm,      kSunAudio, kWave64Start,
        kWavPack,        kCaf}) {
    starts[signature.FirstByte()] = true;
  }
  for (const Signature& tiff : kTiffFamily) starts[tiff.FirstByte()] = true;
  starts[0x00] = true;
  starts[kMpegTsSync] = true;
  return starts;
}();

// `from_four` is PackedAt(sector, 4).
bool IsJetDatabase(Sector sector, uint64_t from_four) {
  return kJetDatabaseStart.StartsPacked(from_four) && BytesAre(sector, 4, kJetDatabase);
}

uint64_t ReadPackClock(Sector sector, unsigned shift) {
  constexpr size_t kHeaderEnd = 12;
  if (sector.size() < kHeaderEnd) return 0;
  uint64_t header = 0;
  for (size_t i = 4; i < kHeaderEnd; ++i) header = header << 8 | sector[i];
  // The 33-bit clock lies in three runs of 3, 15 and 15 bits, each run
  // followed by a marker bit that must be 1.
  const uint64_t fields = header >> shift;
  constexpr uint64_t kMarkers = uint64_t{1} | uint64_t{1} << 16 | uint64_t{1} << 32;
  if ((fields & kMarkers) != kMarkers) return 0;
  return ((fields >> 1) & 0x7FFF) | ((fields >> 17) & 0x7FFF) << 15 | ((fields >> 33) & 0x7) << 30;
}

}  // namespace

void SwapBytes32(uint32_t& value) {
  value = (value >> 24) | ((value >> 8) & 0x0000FF00) | ((value << 8) & 0x00FF0000) | (value << 24);
}

uint64_t ReadPackClockMpeg2(std::span<const uint8_t> sector) { return ReadPackClock(sector, 26); }

uint64_t ReadPackClockMpeg1(std::span<const uint8_t> sector) { return ReadPackClock(sector, 24); }

bool IsShortNameChar(uint8_t byte) {
  if (byte < 0x20 || byte == 0xFF) return false;
  switch (byte) {
    case '\\':
    case '/':
    case ':':
    case '*':
    case '?':
    case '"':
    case '<':
    case '>':
    case '|':
      return false;
    default:
      return true;
  }
}

// The cheap four-byte signatures come first; the order also settles overlaps
// (an MPEG pack header may turn out to be the start of a 192-byte packet
// stream). The directory test reads the whole sector and runs last.
FileKind Identify(std::span<const uint8_t> sector) {
  if (sector.size() < kIdentifyBytes) return FileKind::None;
  sector = sector.first(kIdentifyBytes);
  const uint64_t head = PackedAt(sector, 0);
  const uint64_t from_four = PackedAt(sector, 4);
  const auto starts_with = [head](const Signature& signature) {
    return signature.StartsPacked(head);
  };
  if (!kStartsSomeKind[sector[0]]) {
    if (IsJetDatabase(sector, from_four)) return FileKind::JetDatabase;
    if (const FileKind m2ts = IdentifyM2ts(sector); m2ts != FileKind::None) return m2ts;
    return IsFatDirectory(sector) ? FileKind::FatDirectory : FileKind::None;
  }

  if (starts_with(kJpegStart)) {
    // APP0 (E0) or APP1 (E1) first.
    return (sector[3] & 0xFE) == 0xE0 ? FileKind::JpegJfif : FileKind::JpegOther;
  }
  if (starts_with(kGif89a)) return FileKind::Gif89a;
  if (starts_with(kBitmap)) {
    constexpr size_t kReservedOffset = 6;
    return ReadLe32(sector, kReservedOffset) == 0 ? FileKind::Bitmap : FileKind::None;
  }
  if (starts_with(kCompoundFile)) return FileKind::CompoundFile;
  if (IsJetDatabase(sector, from_four)) return FileKind::JetDatabase;
  if (starts_with(kRiff)) return IdentifyRiff(sector);
  if (starts_with(kAsfHeaderObjectStart) && BytesAre(sector, 0, kAsfHeaderObject)) {
    return BytesAre(sector, kAsfFirstChildOffset, kAsfFileProperties) ? FileKind::AsfWithProperties
                                                                      : FileKind::AsfOther;
  }
  if (ReadLe16(sector, 0) == 0 && kFileTypeBox.StartsPacked(from_four))
    return IdentifyIsoMedia(sector);

  FileKind result = FileKind::None;
  if (starts_with(kMpegPackStart)) result = IdentifyMpegPack(sector);

  if (const FileKind m2ts = IdentifyM2ts(sector); m2ts != FileKind::None) return m2ts;
  if (IsMpegTs(sector)) return FileKind::MpegTsPacket;
  if (starts_with(kPng)) return FileKind::Png;
  if (starts_with(kId3)) return FileKind::Id3Audio;
  for (const Signature& tiff : kTiffFamily) {
    if (starts_with(tiff)) return FileKind::TiffFamily;
  }
  if (starts_with(kX3f)) return FileKind::X3f;
  if (starts_with(kRafStart) && BytesAre(sector, 0, kRaf)) return FileKind::Raf;
  if (starts_with(kRar)) return FileKind::Rar;
  if (starts_with(kZipLocalHeader)) return IdentifyZip(sector);
  if (starts_with(kCabinet)) return FileKind::Cabinet;
  if (starts_with(kSevenZip) || starts_with(kSevenZipV04)) return FileKind::SevenZip;
  if (starts_with(kPdf)) return FileKind::Pdf;
  if (IsFatDirectory(sector)) return FileKind::FatDirectory;
  if (result != FileKind::None) return result;
  return IdentifyLaterKinds(sector, head);
}

}  // namespace officecarve
