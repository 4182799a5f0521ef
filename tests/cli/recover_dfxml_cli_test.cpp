// The DFXML report of `officecarve recover --dfxml` and of the demo: every
// written document's byte runs read back from the image give its SHA-256,
// the files that were only claimed are there with their runs, and the
// document holds what DFXML readers require.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "cli/dfxml_reader.h"
#include "platform/temp_dir.h"
#include "scan/start_sector_code.h"
#include "support/run_process.h"
#include "testimage/image_builder.h"

namespace officecarve::testing {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Sample(const std::string& name) {
  return testimage::ReadFileBytes(std::string(OFFICECARVE_TEST_DATA) + "/" + name);
}

ProcessResult Officecarve(std::vector<std::string> arguments) {
  std::vector<std::string> argv = {CliBinary()};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  ProcessOptions options;
  options.environment = {"LC_ALL=C", "LANG=C"};
  return RunProcess(argv, options);
}

// What a DFXML consumer needs, each as an XPath that must hold.
constexpr const char* kRequired[] = {
    "count(/d:dfxml[@version]) = 1",
    "/d:dfxml/d:creator/d:program = 'officecarve'",
    "/d:dfxml/d:creator/d:version != ''",
    "/d:dfxml/d:creator/d:execution_environment/d:command_line != ''",
    "/d:dfxml/d:creator/d:execution_environment/d:start_time != ''",
    "/d:dfxml/d:source/d:image_filename != ''",
    "/d:dfxml/d:source/d:sectorsize > 0",
    "/d:dfxml/d:source/d:image_size > 0",
    "count(/d:dfxml/d:source/oc:geometry[@sectors_per_cluster and @source]) = 1",
    "count(/d:dfxml/d:fileobject) > 0",
    "count(//d:fileobject[not(d:byte_runs/d:byte_run)]) = 0",
    "count(//d:byte_run[not(@file_offset and @img_offset and @len)]) = 0",
    "count(//d:fileobject[d:filename][not(d:filesize and d:hashdigest[@type = 'sha256'])]) = 0",
    "count(//d:fileobject[not(d:filename)][not(oc:kind)]) = 0",
};

// Checks a report against an image: the required elements, the files in
// sector order with runs that tile each file, every written document's runs
// giving back the file in the output folder and its hash, and no sector
// given to two files. Returns the fileobjects for further checks.
std::vector<DfxmlReader::FileObject> CheckReport(const std::string& report,
                                                 const std::string& image,
                                                 const fs::path& recovered) {
  const DfxmlReader dfxml(report);
  EXPECT_TRUE(dfxml.Parsed()) << report;
  for (const char* rule : kRequired) EXPECT_EQ(dfxml.Number(rule), 1) << rule;

  const std::vector<DfxmlReader::FileObject> objects = dfxml.FileObjects();
  std::vector<std::pair<int64_t, int64_t>> taken;  // [first, end) bytes on the image
  int64_t previous_start = -1;
  for (const auto& object : objects) {
    if (object.runs.empty()) continue;
    EXPECT_GT(object.runs.front().img_offset, previous_start) << "not in sector order";
    previous_start = object.runs.front().img_offset;
    uint64_t file_offset = 0;
    for (const ByteRun& run : object.runs) {
      EXPECT_EQ(run.file_offset, file_offset);
      file_offset += run.length;
      taken.emplace_back(run.img_offset, run.img_offset + static_cast<int64_t>(run.length));
    }
    if (object.filename.empty()) continue;
    EXPECT_EQ(file_offset, object.filesize) << object.filename;
    const std::vector<uint8_t> from_image = BytesOfRuns(image, object.runs);
    EXPECT_EQ(Sha256Hex(from_image), object.sha256) << object.filename;
    EXPECT_EQ(from_image, testimage::ReadFileBytes((recovered / object.filename).string()))
        << object.filename;
  }
  std::sort(taken.begin(), taken.end());
  for (size_t i = 1; i < taken.size(); ++i) {
    EXPECT_LE(taken[i - 1].second, taken[i].first) << "two files share a sector";
  }
  return objects;
}

const DfxmlReader::FileObject* Named(const std::vector<DfxmlReader::FileObject>& objects,
                                     const std::string& name) {
  for (const auto& object : objects) {
    if (object.filename == name) return &object;
  }
  return nullptr;
}

TEST(RecoverDfxml, AFragmentedDocumentShowsItsRunsAroundTheFileBetweenThem) {
  TempDir dir;
  const std::vector<uint8_t> picture = Sample("plain.png");
  const int64_t picture_sectors = static_cast<int64_t>((picture.size() + 511) / 512);
  testimage::ImageBuilder image(4096);
  image.FillNoise(1, 4095, 11);
  image.Place(130, picture);
  const std::pair<int64_t, int64_t> gap{130, 130 + picture_sectors - 1};
  image.PlaceFragmented(100, Sample("minutes.docx"), std::span(&gap, 1));
  image.Place(600, Sample("letter.doc"));
  const std::string path = dir / "disk.img";
  image.WriteTo(path);

  const ProcessResult run = Officecarve({"recover", path, "-o", dir / "out", "--dfxml",
                                         dir / "run.xml", "--json", dir / "run.json", "--report"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  // A reassembled document says in how many pieces; a whole one keeps its line.
  EXPECT_NE(run.out.find("FILE_AAAAAADW.DOCX  40956 bytes  sector 100  fragments: 2  intact\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(
      run.out.find(RecoveredFileName(600 * 512, ".DOC") + "  21504 bytes  sector 600  intact\n"),
      std::string::npos)
      << run.out;

  const auto objects = CheckReport(dir / "run.xml", path, dir / "out");
  const auto* docx = Named(objects, "FILE_AAAAAADW.DOCX");
  ASSERT_NE(docx, nullptr);
  EXPECT_EQ(docx->verdict, "intact");
  ASSERT_EQ(docx->runs.size(), 2u);
  EXPECT_EQ(docx->runs[0].img_offset, 100 * 512);
  EXPECT_EQ(docx->runs[0].length, 30u * 512);
  EXPECT_EQ(docx->runs[1].img_offset, (130 + picture_sectors) * 512);
  // The picture it was split around is there, claimed, with its own run.
  const auto picture_object = std::find_if(objects.begin(), objects.end(),
                                           [](const auto& object) { return object.kind == "png"; });
  ASSERT_NE(picture_object, objects.end());
  EXPECT_EQ(picture_object->runs,
            (std::vector<ByteRun>{{0, 130 * 512, static_cast<uint64_t>(picture_sectors) * 512}}));

  // The JSON report gives the same runs; --report leaves both reports beside
  // the documents.
  const auto json = nlohmann::json::parse(testimage::ReadFileBytes(dir / "run.json"));
  for (const auto& file : json["files"]) {
    const auto* object = Named(objects, file["name"]);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(file["fragments"], object->runs.size());
    ASSERT_EQ(file["byte_runs"].size(), object->runs.size());
    for (size_t i = 0; i < object->runs.size(); ++i) {
      EXPECT_EQ(file["byte_runs"][i]["img_offset"], object->runs[i].img_offset);
      EXPECT_EQ(file["byte_runs"][i]["len"], object->runs[i].length);
    }
  }
  EXPECT_TRUE(fs::exists(dir / "out/officecarve-report.json"));
  EXPECT_TRUE(DfxmlReader(dir / "out/officecarve-dfxml.xml").Parsed());
}

TEST(RecoverDfxml, TheDemoReportsEveryDocumentAndTheFilesAroundThem) {
  TempDir dir;
  const ProcessResult run = Officecarve({"demo", "-o", dir / "demo"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.out.find("officecarve-dfxml.xml (DFXML)"), std::string::npos) << run.out;

  const auto objects = CheckReport(dir / "demo/officecarve-dfxml.xml", dir / "demo/demo.img",
                                   dir / "demo/recovered");
  size_t documents = 0;
  size_t fragmented = 0;
  std::vector<std::string> kinds;
  for (const auto& object : objects) {
    if (!object.filename.empty()) {
      ++documents;
      if (object.runs.size() > 1) ++fragmented;
    } else {
      kinds.push_back(object.kind);
    }
  }
  // As many as the demo placed ("14 of 14 documents recovered ...").
  const size_t placed = std::stoul(run.out.substr(run.out.rfind(" of ") + 4));
  EXPECT_EQ(documents, placed);
  EXPECT_GE(fragmented, 8u);
  for (const char* kind : {"jpeg-jfif", "png", "pdf", "zip", "cabinet"}) {
    EXPECT_NE(std::find(kinds.begin(), kinds.end(), kind), kinds.end()) << kind;
  }
}

// Names come from the command line and the disk: markup characters are
// escaped and bytes that are not UTF-8 replaced, so the report still parses.
TEST(RecoverDfxml, NamesThatAreNotPlainTextLeaveAWellFormedReport) {
  TempDir dir;
  testimage::ImageBuilder image(1024);
  image.FillNoise(1, 1023, 3);
  image.Place(100, Sample("letter.doc"));
  const std::string odd = dir / "a<b&c\"d'\xE9\x01";
  fs::create_directories(odd);
  const std::string path = odd + "/disk.img";
  image.WriteTo(path);

  const ProcessResult run =
      Officecarve({"recover", path, "-o", odd + "/out", "--dfxml", dir / "r.xml"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const DfxmlReader dfxml(dir / "r.xml");
  ASSERT_TRUE(dfxml.Parsed());
  EXPECT_EQ(dfxml.Text("/d:dfxml/d:source/d:image_filename"),
            dir / "a<b&c\"d'\xEF\xBF\xBD\xEF\xBF\xBD/disk.img");
  EXPECT_EQ(dfxml.FileObjects().size(), 1u);
}

}  // namespace
}  // namespace officecarve::testing
