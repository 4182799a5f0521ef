#include "platform/image_file.h"

#include "platform/invoking_user.h"

namespace officecarve {

ImageFileWriter::~ImageFileWriter() = default;

ImageWriterFactory SystemImageWriterFactory() {
  return [owner = OwnerForCreatedFiles()](const std::string& path, int* error) {
    return ImageFileWriter::Create(path, error, owner);
  };
}

}  // namespace officecarve
