#include "app/sector_viewer.h"

#include <algorithm>

#include "imaging/sector_dump.h"
#include "scan/parse_number.h"

namespace officecarve {
namespace {

constexpr int64_t kPageSectors = 10;

}  // namespace

bool SectorViewer::ShowSector(int64_t sector) {
  if (!source_.IsOpen()) return false;
  const VolumeGeometry& geometry = source_.Working();
  // A trailing partial sector is not part of the source.
  if (sector < 0 || sector > geometry.last_sector) return false;
  buffer_.resize(geometry.bytes_per_sector);
  if (!source_.ReadSectorDirect(sector, buffer_.data())) return false;
  lines_ = SectorDumpLines(buffer_);
  current_ = sector;
  has_sector_ = true;
  return true;
}

void SectorViewer::First() {
  if (source_.IsOpen()) ShowSector(0);
}

void SectorViewer::Previous() {
  if (source_.IsOpen() && current_ > 0) ShowSector(current_ - 1);
}

void SectorViewer::Next() {
  if (source_.IsOpen() && current_ < source_.Working().last_sector) ShowSector(current_ + 1);
}

void SectorViewer::Last() {
  if (source_.IsOpen()) ShowSector(source_.Working().last_sector);
}

void SectorViewer::PageBack() {
  if (source_.IsOpen() && current_ > 0) ShowSector(std::max<int64_t>(current_ - kPageSectors, 0));
}

void SectorViewer::PageForward() {
  const int64_t last = source_.Working().last_sector;
  if (source_.IsOpen() && current_ < last) ShowSector(std::min(current_ + kPageSectors, last));
}

void SectorViewer::GoTo(const std::string& text, Frontend& frontend, const UiTextTable& texts) {
  if (!source_.IsOpen()) return;
  const int64_t sector = ParseSectorNumber(text);
  if (sector >= 0 && sector <= source_.Working().last_sector) {
    ShowSector(sector);
    return;
  }
  Message message;
  message.caption = texts.Text(TextId::kErrorCaption);
  message.text = texts.Text(TextId::kViewerRangeInvalid);
  frontend.ShowMessage(message);
}

void SectorViewer::Clear() {
  lines_.clear();
  current_ = 0;
  has_sector_ = false;
}

std::string SectorViewer::Text() const {
  std::string text;
  for (const std::string& line : lines_) {
    if (!text.empty()) text += '\n';
    text += line;
  }
  return text;
}

bool SectorViewer::CanGoForward() const {
  return has_sector_ && current_ < source_.Working().last_sector;
}

}  // namespace officecarve
