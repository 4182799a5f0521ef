#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace officecarve {

enum class SeekOrigin { kBegin, kEnd };

// A read-only handle on a block device or a file. Implementations never write.
class RawHandle {
 public:
  virtual ~RawHandle() = default;

  // Moves the position; the new position, or -1 when the move failed.
  virtual int64_t Seek(int64_t offset, SeekOrigin origin) = 0;
  // Reads at the position until dest is full, the end is reached or an error
  // occurs. The bytes delivered (fewer at the end), or -1 on an error.
  virtual int64_t Read(std::span<uint8_t> dest) = 0;

  // The device's length in bytes (the volume length query); nullopt for a
  // plain file or when the query fails.
  virtual std::optional<int64_t> DeviceLength() = 0;
  // The device's logical sector size; nullopt for a plain file or on failure.
  virtual std::optional<uint32_t> LogicalSectorSize() = 0;
  // True for a block device.
  virtual bool IsBlockDevice() const = 0;
  // The operating system's error number of the last failure (0 if none).
  virtual int LastError() const = 0;
};

// What an attempt to open a raw handle gave: the handle, or the OS error.
struct RawOpenResult {
  std::unique_ptr<RawHandle> handle;
  int error = 0;
};

// Opens a path read-only (never for writing, never creating it).
RawOpenResult OpenRawReadOnly(const std::string& path);

// The text of an operating-system error number ("Permission denied").
std::string OsErrorText(int error);

// True when an open failed for want of the right to read, which the user can
// get (EACCES, EPERM). Always false on Windows, where volumes are opened as
// the program was started.
bool IsMissingRightsError(int error);

}  // namespace officecarve
