#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/recovered_file.h"

namespace officecarve::testing {

// A DFXML report read back with a real XML parser: its fileobjects as
// written, and XPath over the whole document (prefix "d" for DFXML's
// namespace, "oc" for this program's own elements).
class DfxmlReader {
 public:
  struct FileObject {
    std::string filename;  // empty for a file that was only claimed
    uint64_t filesize = 0;
    std::string sha256;
    std::string kind;  // claimed files: the kind that claimed them
    std::string verdict;
    std::vector<ByteRun> runs;
  };

  // Parses `path`; Parsed() is false when it is not well-formed XML.
  explicit DfxmlReader(const std::string& path);
  ~DfxmlReader();
  DfxmlReader(const DfxmlReader&) = delete;
  DfxmlReader& operator=(const DfxmlReader&) = delete;

  bool Parsed() const;
  // The value of an XPath expression as a number (count(), booleans) or text.
  double Number(const std::string& xpath) const;
  std::string Text(const std::string& xpath) const;
  std::vector<FileObject> FileObjects() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The bytes of `runs` read from an image file, in file order.
std::vector<uint8_t> BytesOfRuns(const std::string& image, const std::vector<ByteRun>& runs);
std::string Sha256Hex(const std::vector<uint8_t>& bytes);

}  // namespace officecarve::testing
