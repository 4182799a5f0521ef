#include "cli/dfxml_report.h"

#include <libxml/xmlwriter.h>
#include <nettle/version.h>
#include <sys/utsname.h>
#include <zlib.h>

#include <algorithm>
#include <memory>
#include <string_view>
#include <vector>

#include "app/geometry_json.h"
#include "app/json_report.h"
#include "cli/sha256_file.h"
#include "cli/xml_text.h"
#include "source/grid_text.h"
#include "verdict/verdict.h"

namespace officecarve::cli {
namespace {

constexpr char kDfxmlNamespace[] =
    "http://www.forensicswiki.org/wiki/Category:Digital_Forensics_XML";
constexpr char kDublinCoreNamespace[] = "http://purl.org/dc/elements/1.1/";
// Our own elements, for what DFXML has no element of its own for.
constexpr char kOwnNamespace[] = "urn:officecarve:dfxml";

// The document being written; any failing call of the writer marks it failed.
class DfxmlWriter {
 public:
  DfxmlWriter() : buffer_(xmlBufferCreate()) {
    if (buffer_ != nullptr) writer_ = xmlNewTextWriterMemory(buffer_, 0);
    ok_ = writer_ != nullptr;
    if (ok_) {
      Check(xmlTextWriterSetIndent(writer_, 1));
      Check(xmlTextWriterSetIndentString(writer_, Xml("  ")));
      Check(xmlTextWriterStartDocument(writer_, nullptr, "UTF-8", nullptr));
    }
  }
  ~DfxmlWriter() {
    if (writer_ != nullptr) xmlFreeTextWriter(writer_);
    if (buffer_ != nullptr) xmlBufferFree(buffer_);
  }
  DfxmlWriter(const DfxmlWriter&) = delete;
  DfxmlWriter& operator=(const DfxmlWriter&) = delete;

  void Start(std::string_view name) {
    if (ok_) Check(xmlTextWriterStartElement(writer_, Xml(std::string(name))));
  }
  void End() {
    if (ok_) Check(xmlTextWriterEndElement(writer_));
  }
  void Attribute(std::string_view name, std::string_view value) {
    if (ok_) {
      Check(xmlTextWriterWriteAttribute(writer_, Xml(std::string(name)), Xml(XmlText(value))));
    }
  }
  void Text(std::string_view text) {
    if (ok_) Check(xmlTextWriterWriteString(writer_, Xml(XmlText(text))));
  }
  template <typename Number>
  void NumberAttribute(std::string_view name, Number value) {
    Attribute(name, std::to_string(value));
  }
  void Element(std::string_view name, std::string_view text) {
    if (ok_) {
      Check(xmlTextWriterWriteElement(writer_, Xml(std::string(name)), Xml(XmlText(text))));
    }
  }
  template <typename Number>
  void NumberElement(std::string_view name, Number value) {
    Element(name, std::to_string(value));
  }

  std::optional<std::string> Finish() {
    if (ok_) Check(xmlTextWriterEndDocument(writer_));
    if (ok_) Check(xmlTextWriterFlush(writer_));
    if (!ok_) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(xmlBufferContent(buffer_)),
                       static_cast<size_t>(xmlBufferLength(buffer_)));
  }

 private:
  // The writer keeps no pointer to what it is given, so a temporary will do.
  static const xmlChar* Xml(const std::string& text) {
    return reinterpret_cast<const xmlChar*>(text.c_str());
  }
  void Check(int result) { ok_ = ok_ && result >= 0; }

  xmlBufferPtr buffer_ = nullptr;
  xmlTextWriterPtr writer_ = nullptr;
  bool ok_ = false;
};

void WriteCreator(DfxmlWriter& xml, const RunFacts& run) {
  xml.Start("creator");
  xml.Attribute("version", "1.0");
  xml.Element("program", "officecarve");
  xml.Element("version", OFFICECARVE_VERSION);
  xml.Start("build_environment");
#if defined(__clang__)
  xml.Element("compiler", __VERSION__);  // says "Clang" itself
#elif defined(__GNUC__)
  xml.Element("compiler", "GCC " __VERSION__);
#endif
  const std::pair<const char*, std::string> libraries[] = {
      {"libxml2", LIBXML_DOTTED_VERSION},
      {"nettle", std::to_string(NETTLE_VERSION_MAJOR) + "." + std::to_string(NETTLE_VERSION_MINOR)},
      {"zlib", ZLIB_VERSION}};
  for (const auto& [name, version] : libraries) {
    xml.Start("library");
    xml.Attribute("name", name);
    xml.Attribute("version", version);
    xml.End();
  }
  xml.End();
  xml.Start("execution_environment");
  struct utsname system {};
  if (uname(&system) == 0) {
    xml.Element("os_sysname", system.sysname);
    xml.Element("os_release", system.release);
    xml.Element("arch", system.machine);
  }
  xml.Element("command_line", run.command_line);
  xml.Element("start_time", run.start_time);
  xml.End();
  xml.End();
}

void WriteSource(DfxmlWriter& xml, const SectorSource& source, const ScanReport& report) {
  const VolumeGeometry& geometry = report.geometry;
  xml.Start("source");
  xml.Element("image_filename", source.Path());
  xml.NumberElement("sectorsize", geometry.bytes_per_sector);
  xml.NumberElement("image_size",
                    (geometry.last_sector + 1) * static_cast<int64_t>(geometry.bytes_per_sector));
  xml.Element("officecarve:source_type", source.Type() == SourceType::kVolume ? "volume" : "image");
  xml.Start("officecarve:geometry");
  xml.Attribute("file_system", FileSystemName(geometry.kind));
  xml.NumberAttribute("sectors_per_cluster", geometry.sectors_per_cluster);
  xml.NumberAttribute("cluster_phase", geometry.cluster_phase);
  xml.NumberAttribute("cluster_origin", report.cluster_origin);
  xml.Attribute("boot_sector_recognised", source.BootSectorRecognised() ? "true" : "false");
  // Each region of the scan with its grid and where it came from, in the
  // words the terminal prints.
  const UiTextTable english(TextVariant::English);
  xml.Attribute("source", GridSummary(english, report.regions, geometry.bytes_per_sector));
  for (const ScanRegion& region : report.regions) {
    xml.Start("officecarve:region");
    xml.NumberAttribute("first_sector", region.first);
    xml.NumberAttribute("last_sector", region.last);
    xml.NumberAttribute("sectors_per_cluster", region.sectors_per_cluster);
    xml.NumberAttribute("cluster_phase", region.cluster_phase);
    xml.Attribute("grid_source", GridOriginName(region.origin));
    xml.Attribute("grid", RegionLine(english, region, geometry.bytes_per_sector));
    xml.End();
  }
  xml.End();
  xml.Start("officecarve:scan_range");
  xml.NumberAttribute("first_sector", report.first);
  xml.NumberAttribute("last_sector", report.last);
  xml.End();
  xml.End();
}

void WriteByteRuns(DfxmlWriter& xml, const std::vector<ByteRun>& runs) {
  xml.Start("byte_runs");
  for (const ByteRun& run : runs) {
    xml.Start("byte_run");
    xml.NumberAttribute("file_offset", run.file_offset);
    xml.NumberAttribute("img_offset", run.img_offset);
    xml.NumberAttribute("len", run.length);
    xml.End();
  }
  xml.End();
}

void WriteDocument(DfxmlWriter& xml, const RecoveredFile& file) {
  xml.Start("fileobject");
  // A document whose save failed is on the disk only: it has no name.
  if (file.saved) xml.Element("filename", file.name);
  xml.NumberElement("filesize", file.size);
  WriteByteRuns(xml, file.byte_runs);
  if (file.saved) {
    if (const auto digest = Sha256OfFile(file.path)) {
      xml.Start("hashdigest");
      xml.Attribute("type", "sha256");
      xml.Text(*digest);
      xml.End();
    }
  }
  xml.Element("officecarve:family", file.family);
  xml.Element("officecarve:verdict", VerdictName(file.verdict.state));
  if (!file.verdict.problem.empty()) xml.Element("officecarve:problem", file.verdict.problem);
  xml.End();
}

void WriteClaimed(DfxmlWriter& xml, const ClaimedFile& file) {
  xml.Start("fileobject");
  WriteByteRuns(xml, file.byte_runs);
  xml.Element("officecarve:kind", FileKindName(file.kind));
  xml.End();
}

}  // namespace

std::optional<std::string> DfxmlReport(const SectorSource& source, const ScanReport& report,
                                       const RunFacts& run) {
  DfxmlWriter xml;
  xml.Start("dfxml");
  xml.Attribute("xmlns", kDfxmlNamespace);
  xml.Attribute("xmlns:dc", kDublinCoreNamespace);
  xml.Attribute("xmlns:officecarve", kOwnNamespace);
  xml.Attribute("version", "1.2.0");
  xml.Start("metadata");
  xml.Element("dc:type", "Carve Report");
  xml.End();
  WriteCreator(xml, run);
  WriteSource(xml, source, report);

  // Written documents and claimed files, merged in sector order.
  std::vector<const RecoveredFile*> documents;
  for (const RecoveredFile& file : report.files) documents.push_back(&file);
  std::stable_sort(documents.begin(), documents.end(),
                   [](const auto* a, const auto* b) { return a->start_sector < b->start_sector; });
  std::vector<const ClaimedFile*> claimed;
  for (const ClaimedFile& file : report.claimed.Files()) claimed.push_back(&file);
  std::stable_sort(claimed.begin(), claimed.end(),
                   [](const auto* a, const auto* b) { return a->start_sector < b->start_sector; });
  auto document = documents.begin();
  auto other = claimed.begin();
  while (document != documents.end() || other != claimed.end()) {
    if (other == claimed.end() ||
        (document != documents.end() && (*document)->start_sector <= (*other)->start_sector)) {
      WriteDocument(xml, **document++);
    } else {
      WriteClaimed(xml, **other++);
    }
  }

  xml.Start("officecarve:summary");
  xml.NumberAttribute("recovered_count", report.recovered_count);
  xml.NumberAttribute("claimed_files_not_listed", report.claimed.NotListed());
  xml.Attribute("search_cancelled", report.search_cancelled ? "true" : "false");
  xml.Attribute("stopped", report.stopped ? "true" : "false");
  xml.End();
  xml.End();
  return xml.Finish();
}

}  // namespace officecarve::cli
