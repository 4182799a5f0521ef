#pragma once

#include <cstdint>
#include <string_view>

namespace officecarve {

// What identification reports for one sector. The values are stored in the
// candidate list and select the carver, so they must not be renumbered.
enum class FileKind : uint8_t {
  None = 0,
  JpegJfif = 1,
  JpegOther = 2,
  Gif89a = 3,
  Bitmap = 4,
  CompoundFile = 5,
  JetDatabase = 6,
  RiffAvi = 7,
  Id3Audio = 8,
  Png = 9,
  RiffWave = 10,
  RiffAnimatedCursor = 11,
  RiffCdxa = 12,
  AsfWithProperties = 13,
  TiffFamily = 14,
  Rar = 15,
  Zip = 16,
  Cabinet = 17,
  SevenZip = 18,
  Mp4 = 19,
  AsfOther = 20,
  ZippedXml = 21,
  Pdf = 22,
  ThreeGp = 23,
  IsoMediaOther = 24,
  X3f = 25,
  Raf = 26,
  RiffCdr = 27,
  ZippedCdr = 28,
  Mpeg2PackStart = 29,
  Mpeg2Pack = 30,
  Mpeg1PackStart = 31,
  Mpeg1Pack = 32,
  M2tsStart = 33,
  M2tsPacket = 34,
  MpegTsPacket = 35,
  // An OpenDocument text, spreadsheet or presentation (a ZIP whose first
  // entry is its "mimetype").
  OpenDocument = 36,
  // Kinds identified only where every kind above found nothing.
  Gif87a = 37,
  RiffWebp = 38,
  Matroska = 39,           // EBML: Matroska and WebM
  WindowsExecutable = 40,  // "MZ" with a PE header
  Sqlite = 41,
  Ogg = 42,        // the first page of an Ogg stream (Vorbis, Opus, Theora, FLAC)
  Aiff = 43,       // "FORM" with AIFF or AIFC
  SunAudio = 44,   // ".snd"
  Wave64 = 45,     // RIFF's 64-bit form
  WavPack = 46,    // the first block of a WavPack stream
  Caf = 47,        // Core Audio
  Adts = 48,       // raw AAC: ADTS frames
  MpegAudio = 49,  // MP3 and the like without an ID3v2 tag: an encoder's info frame
  FatDirectory = 100,
};

// A short lower-case name for reports ("jpeg-jfif", "compound-file", ...).
std::string_view FileKindName(FileKind kind);

}  // namespace officecarve
