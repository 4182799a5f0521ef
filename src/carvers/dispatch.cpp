#include "carvers/dispatch.h"

#include <array>

#include "carvers/carvers.h"

namespace officecarve {
namespace {

using enum FileKind;
using enum CandidateAction;

constexpr std::array kTable = {
    DispatchRow{JpegJfif, kCarve, &CarveJpeg, true, &JpegHeaderHolds},
    DispatchRow{JpegOther, kCarve, &CarveJpeg, true, &JpegHeaderHolds},
    DispatchRow{Gif89a, kCarve, &CarveGif, false},
    DispatchRow{Bitmap, kCarve, &CarveBitmap, true},
    DispatchRow{CompoundFile, kCarve, &CarveCompoundFile, true},
    DispatchRow{JetDatabase, kNone, nullptr, false},
    DispatchRow{RiffAvi, kCarve, &CarveRiff, false},
    DispatchRow{Id3Audio, kCarve, &CarveMp3, false},
    DispatchRow{Png, kCarve, &CarvePng, true},
    DispatchRow{RiffWave, kCarve, &CarveRiff, false},
    DispatchRow{RiffAnimatedCursor, kCarve, &CarveRiff, false},
    DispatchRow{RiffCdxa, kCarve, &CarveRiff, false},
    DispatchRow{AsfWithProperties, kCarve, &CarveAsfDeclared, false},
    DispatchRow{TiffFamily, kCarve, &CarveTiff, true},
    DispatchRow{Rar, kCarve, &CarveRar, false},
    DispatchRow{Zip, kCarve, &CarveZip, true},
    DispatchRow{Cabinet, kCarve, &CarveCabinet, false},
    DispatchRow{SevenZip, kCarve, &CarveSevenZip, false},
    DispatchRow{Mp4, kCarve, &CarveIsoMedia, true},
    DispatchRow{AsfOther, kCarve, &CarveAsfObjects, false},
    DispatchRow{ZippedXml, kCarve, &CarveZippedXml, true},
    DispatchRow{Pdf, kCarve, &CarvePdf, false},
    DispatchRow{ThreeGp, kCarve, &CarveIsoMedia, true},
    DispatchRow{IsoMediaOther, kCarve, &CarveIsoMedia, true},
    DispatchRow{X3f, kCarve, &CarveX3f, true},
    DispatchRow{Raf, kCarve, &CarveRaf, true},
    DispatchRow{RiffCdr, kCarve, &CarveRiffDrawing, false},
    DispatchRow{ZippedCdr, kCarve, &CarveZip, false},
    DispatchRow{Mpeg2PackStart, kCarve, &CarveMpeg2ProgramStream, false},
    DispatchRow{Mpeg2Pack, kCarve, &CarveMpeg2ProgramStream, false},
    DispatchRow{Mpeg1PackStart, kCarve, &CarveMpegProgramStream, false},
    DispatchRow{Mpeg1Pack, kNone, nullptr, false},
    DispatchRow{M2tsStart, kCarve, &CarveTransportStream, false},
    DispatchRow{M2tsPacket, kCarve, &CarveTransportStream, false},
    DispatchRow{MpegTsPacket, kCarve, &CarveBareTransportStream, false},
    DispatchRow{OpenDocument, kCarve, &CarveOpenDocument, true},
    DispatchRow{Gif87a, kCarve, &CarveGif, false},
    DispatchRow{RiffWebp, kCarve, &CarveWebp, false},
    DispatchRow{Matroska, kCarve, &CarveMatroska, false},
    DispatchRow{WindowsExecutable, kCarve, &CarveWindowsExecutable, false},
    DispatchRow{Sqlite, kCarve, &CarveSqlite, false},
    DispatchRow{Ogg, kCarve, &CarveOgg, false},
    DispatchRow{Aiff, kCarve, &CarveAiff, false},
    DispatchRow{SunAudio, kCarve, &CarveSunAudio, false},
    DispatchRow{Wave64, kCarve, &CarveWave64, false},
    DispatchRow{WavPack, kCarve, &CarveWavPack, false},
    DispatchRow{Caf, kCarve, &CarveCaf, false},
    DispatchRow{Adts, kCarve, &CarveAdts, false},
    DispatchRow{MpegAudio, kCarve, &CarveMp3, false},
    DispatchRow{FatDirectory, kDirectoryClaim, nullptr, false},
};

constexpr DispatchRow kNothing{None, kNone, nullptr, false};

// Each kind's row in the table, or none: the recovery asks once or more per
// candidate.
constexpr size_t kNoRow = kTable.size();
constexpr auto kRowOfKind = [] {
  std::array<size_t, 256> rows{};
  rows.fill(kNoRow);
  for (size_t row = kTable.size(); row-- > 0;) rows[static_cast<uint8_t>(kTable[row].kind)] = row;
  return rows;
}();

}  // namespace

const DispatchRow& DispatchFor(FileKind kind) {
  const size_t row = kRowOfKind[static_cast<uint8_t>(kind)];
  return row == kNoRow ? kNothing : kTable[row];
}

}  // namespace officecarve
