#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "platform/file_owner.h"

namespace officecarve {

// The backup's image file: created (replacing an existing file), sized up
// front so that a full destination shows before copying, then written in order
// from its start. An interface so that tests can inject a failing writer.
class ImageFileWriter {
 public:
  // Creates (or truncates) path for writing. nullptr with *error set on failure;
  // an existing path that is not a regular file (a directory, a device) is refused.
  // A file it creates is given to owner when one is set.
  static std::unique_ptr<ImageFileWriter> Create(const std::string& path, int* error,
                                                 const std::optional<FileOwner>& owner = {});

  virtual ~ImageFileWriter();

  // Gives the file exactly `bytes` bytes of allocated space, reserved for real
  // (not a sparse hole), so that a full destination is reported here. The write position
  // stays at the start. Call before writing.
  virtual bool Preallocate(uint64_t bytes, int* error) = 0;
  // Writes all of bytes at the write position and advances it.
  virtual bool Write(std::span<const uint8_t> bytes, int* error) = 0;
  // Closes the file, reporting a failure the close reveals. Safe to call twice.
  virtual bool Close(int* error) = 0;
};

using ImageWriterFactory =
    std::function<std::unique_ptr<ImageFileWriter>(const std::string& path, int* error)>;

// The factory that makes real files (ImageFileWriter::Create), owned by the
// user the program works for (OwnerForCreatedFiles).
ImageWriterFactory SystemImageWriterFactory();

// Deletes a file; false when it could not be removed.
bool RemoveFile(const std::string& path);

}  // namespace officecarve
