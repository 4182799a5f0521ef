#include "scan/dispatch.h"

#include <array>

#include "carvers/carvers.h"

namespace officecarve {
namespace {

using enum FileKind;
using enum CandidateAction;

constexpr std::array kTable = {
    DispatchRow{JpegJfif, kCarve, nullptr, true},
    DispatchRow{JpegOther, kSecondPassJpeg, nullptr, true},
    DispatchRow{Gif89a, kNone, nullptr, false},
    DispatchRow{Bitmap, kCarve, nullptr, true},
    DispatchRow{CompoundFile, kCarve, &CarveCompoundFile, true},
    DispatchRow{JetDatabase, kNone, nullptr, false},
    DispatchRow{RiffAvi, kCarve, nullptr, false},
    DispatchRow{Id3Audio, kNone, nullptr, false},
    DispatchRow{Png, kCarve, nullptr, true},
    DispatchRow{RiffWave, kCarve, nullptr, false},
    DispatchRow{RiffAnimatedCursor, kCarve, nullptr, false},
    DispatchRow{RiffCdxa, kCarve, nullptr, false},
    DispatchRow{AsfWithProperties, kCarve, nullptr, false},
    DispatchRow{TiffFamily, kCarve, nullptr, true},
    DispatchRow{Rar, kCarve, nullptr, false},
    DispatchRow{Zip, kCarve, &CarveZip, false},
    DispatchRow{Cabinet, kCarve, nullptr, false},
    DispatchRow{SevenZip, kCarve, nullptr, false},
    DispatchRow{Mp4, kCarve, nullptr, true},
    DispatchRow{AsfOther, kCarve, nullptr, false},
    DispatchRow{ZippedXml, kCarve, &CarveZippedXml, true},
    DispatchRow{Pdf, kCarve, &CarvePdf, false},
    DispatchRow{ThreeGp, kCarve, nullptr, true},
    DispatchRow{IsoMediaOther, kCarve, nullptr, true},
    DispatchRow{X3f, kCarve, nullptr, true},
    DispatchRow{Raf, kCarve, nullptr, true},
    DispatchRow{RiffCdr, kCarve, nullptr, false},
    DispatchRow{ZippedCdr, kCarve, &CarveZip, false},
    DispatchRow{Mpeg2PackStart, kNone, nullptr, false},
    DispatchRow{Mpeg2Pack, kNone, nullptr, false},
    DispatchRow{Mpeg1PackStart, kCarve, nullptr, false},
    DispatchRow{Mpeg1Pack, kNone, nullptr, false},
    DispatchRow{M2tsStart, kCarve, nullptr, false},
    DispatchRow{M2tsPacket, kNone, nullptr, false},
    DispatchRow{MpegTsPacket, kNone, nullptr, false},
    DispatchRow{FatDirectory, kDirectoryClaim, nullptr, false},
};

constexpr DispatchRow kNothing{None, kNone, nullptr, false};

}  // namespace

const DispatchRow& DispatchFor(FileKind kind) {
  for (const DispatchRow& row : kTable) {
    if (row.kind == kind) return row;
  }
  return kNothing;
}

}  // namespace officecarve
