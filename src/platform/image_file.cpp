#include "platform/image_file.h"

namespace officecarve {

ImageFileWriter::~ImageFileWriter() = default;

ImageWriterFactory SystemImageWriterFactory() {
  return [](const std::string& path, int* error) { return ImageFileWriter::Create(path, error); };
}

}  // namespace officecarve
