#include "testimage/scan_case.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "testimage/image_builder.h"

namespace officecarve::testimage {
namespace {

constexpr const char* kMagic = "officecarve-case 1";

void WriteRuns(std::ostream& out, const char* key, const ScanCase::Runs& runs) {
  out << key;
  for (const auto& [first, last] : runs) out << ' ' << first << ' ' << last;
  out << '\n';
}

ScanCase::Runs ReadRuns(std::istringstream& values) {
  ScanCase::Runs runs;
  int64_t first = 0;
  int64_t last = 0;
  while (values >> first >> last) runs.emplace_back(first, last);
  return runs;
}

uint64_t Fnv1a(const std::vector<uint8_t>& bytes) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (const uint8_t byte : bytes) hash = (hash ^ byte) * 0x100000001b3ull;
  return hash;
}

}  // namespace

void WriteScanCase(const ScanCase& c, const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  out << kMagic << '\n';
  out << "whole_scan " << c.whole_scan << '\n';
  out << "kind " << c.kind << '\n';
  out << "unit " << c.unit << '\n';
  out << "bytes_per_sector " << c.bytes_per_sector << '\n';
  out << "sectors_per_cluster " << c.sectors_per_cluster << '\n';
  out << "cluster_origin " << c.cluster_origin << '\n';
  out << "range_last " << c.range_last << '\n';
  out << "family_mask " << c.family_mask << '\n';
  out << "last_sector " << c.last_sector << '\n';
  out << "cluster_phase " << c.cluster_phase << '\n';
  out << "file_system " << c.file_system << '\n';
  out << "first_text " << c.first_text << '\n';
  out << "last_text " << c.last_text << '\n';
  out << "cluster_item " << c.cluster_item << '\n';
  out << "check_verdicts " << c.check_verdicts << '\n';
  WriteRuns(out, "claimed_before", c.claimed_before);
  out << "unreadable";
  for (const int64_t unit : c.unreadable) out << ' ' << unit;
  out << '\n';
  WriteRuns(out, "claimed_after", c.claimed_after);
  for (const auto& [name, content] : c.written) {
    out << "written " << name << ' ' << content.first << ' ' << content.second << '\n';
  }
  out << "recovered_count " << c.recovered_count << '\n';
  out << "image " << c.image.size() << '\n';
  out.write(reinterpret_cast<const char*>(c.image.data()),
            static_cast<std::streamsize>(c.image.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

ScanCase ReadScanCase(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string line;
  if (!std::getline(in, line) || line != kMagic) throw std::runtime_error(path + ": not a case");
  ScanCase c;
  while (std::getline(in, line)) {
    std::istringstream values(line);
    std::string key;
    values >> key;
    if (key == "whole_scan") values >> c.whole_scan;
    if (key == "kind") values >> c.kind;
    if (key == "unit") values >> c.unit;
    if (key == "bytes_per_sector") values >> c.bytes_per_sector;
    if (key == "sectors_per_cluster") values >> c.sectors_per_cluster;
    if (key == "cluster_origin") values >> c.cluster_origin;
    if (key == "range_last") values >> c.range_last;
    if (key == "family_mask") values >> c.family_mask;
    if (key == "last_sector") values >> c.last_sector;
    if (key == "cluster_phase") values >> c.cluster_phase;
    if (key == "file_system") values >> c.file_system;
    if (key == "first_text") values >> c.first_text;
    if (key == "last_text") values >> c.last_text;
    if (key == "cluster_item") values >> c.cluster_item;
    if (key == "check_verdicts") values >> c.check_verdicts;
    if (key == "claimed_before") c.claimed_before = ReadRuns(values);
    if (key == "claimed_after") c.claimed_after = ReadRuns(values);
    if (key == "unreadable") {
      int64_t unit = 0;
      while (values >> unit) c.unreadable.push_back(unit);
    }
    if (key == "written") {
      std::string name;
      uint64_t size = 0;
      uint64_t hash = 0;
      values >> name >> size >> hash;
      c.written[name] = {size, hash};
    }
    if (key == "recovered_count") values >> c.recovered_count;
    if (key == "image") {
      size_t size = 0;
      values >> size;
      c.image.resize(size);
      in.read(reinterpret_cast<char*>(c.image.data()), static_cast<std::streamsize>(size));
      if (!in) throw std::runtime_error(path + ": image cut short");
      return c;
    }
  }
  throw std::runtime_error(path + ": no image");
}

std::map<std::string, std::pair<uint64_t, uint64_t>> FolderContents(const std::string& folder) {
  std::map<std::string, std::pair<uint64_t, uint64_t>> contents;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    const std::vector<uint8_t> bytes = ReadFileBytes(entry.path().string());
    contents[entry.path().filename().string()] = {bytes.size(), Fnv1a(bytes)};
  }
  return contents;
}

std::string CaptureDirectory() {
  const char* directory = std::getenv("OFFICECARVE_CAPTURE_DIR");
  return directory == nullptr ? std::string() : std::string(directory);
}

}  // namespace officecarve::testimage
