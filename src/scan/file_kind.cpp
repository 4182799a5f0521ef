#include "scan/file_kind.h"

namespace officecarve {

std::string_view FileKindName(FileKind kind) {
  switch (kind) {
    case FileKind::None:
      return "none";
    case FileKind::JpegJfif:
      return "jpeg-jfif";
    case FileKind::JpegOther:
      return "jpeg-other";
    case FileKind::Gif89a:
      return "gif89a";
    case FileKind::Bitmap:
      return "bitmap";
    case FileKind::CompoundFile:
      return "compound-file";
    case FileKind::JetDatabase:
      return "jet-database";
    case FileKind::RiffAvi:
      return "riff-avi";
    case FileKind::Id3Audio:
      return "id3-audio";
    case FileKind::Png:
      return "png";
    case FileKind::RiffWave:
      return "riff-wave";
    case FileKind::RiffAnimatedCursor:
      return "riff-animated-cursor";
    case FileKind::RiffCdxa:
      return "riff-cdxa";
    case FileKind::AsfWithProperties:
      return "asf-with-properties";
    case FileKind::TiffFamily:
      return "tiff-family";
    case FileKind::Rar:
      return "rar";
    case FileKind::Zip:
      return "zip";
    case FileKind::Cabinet:
      return "cabinet";
    case FileKind::SevenZip:
      return "7z";
    case FileKind::Mp4:
      return "mp4";
    case FileKind::AsfOther:
      return "asf-other";
    case FileKind::ZippedXml:
      return "zipped-xml";
    case FileKind::Pdf:
      return "pdf";
    case FileKind::ThreeGp:
      return "3gp";
    case FileKind::IsoMediaOther:
      return "iso-media-other";
    case FileKind::X3f:
      return "x3f";
    case FileKind::Raf:
      return "raf";
    case FileKind::RiffCdr:
      return "riff-cdr";
    case FileKind::ZippedCdr:
      return "zipped-cdr";
    case FileKind::Mpeg2PackStart:
      return "mpeg2-pack-start";
    case FileKind::Mpeg2Pack:
      return "mpeg2-pack";
    case FileKind::Mpeg1PackStart:
      return "mpeg1-pack-start";
    case FileKind::Mpeg1Pack:
      return "mpeg1-pack";
    case FileKind::M2tsStart:
      return "m2ts-start";
    case FileKind::M2tsPacket:
      return "m2ts-packet";
    case FileKind::MpegTsPacket:
      return "mpeg-ts-packet";
    case FileKind::OpenDocument:
      return "open-document";
    case FileKind::Gif87a:
      return "gif87a";
    case FileKind::RiffWebp:
      return "riff-webp";
    case FileKind::Matroska:
      return "matroska";
    case FileKind::WindowsExecutable:
      return "windows-executable";
    case FileKind::Sqlite:
      return "sqlite";
    case FileKind::FatDirectory:
      return "fat-directory";
  }
  // A stored value outside the enumeration, e.g. from a damaged candidate list.
  return "unknown";
}

}  // namespace officecarve
