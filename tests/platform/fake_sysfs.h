#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/temp_dir.h"

namespace officecarve::testing {

// A miniature /sys: devices/ holds the device directories (partitions inside
// their disk's, as the kernel lays them out) and class/block/ links to them.
class FakeSysfs {
 public:
  explicit FakeSysfs(const std::filesystem::path& root) : root_(root) {
    std::filesystem::create_directories(ClassBlockPath());
  }

  std::string ClassBlock() const { return ClassBlockPath().string(); }

  void AddDisk(const std::string& name, const std::string& dev, uint64_t size_units,
               const std::string& model = "", uint32_t sector_size = 512, bool read_only = false) {
    const auto dir = AddDevice("devices/" + name, name, dev, size_units, read_only);
    std::filesystem::create_directories(dir / "queue");
    WriteFile((dir / "queue/logical_block_size").string(), std::to_string(sector_size) + "\n");
    if (!model.empty()) {
      std::filesystem::create_directories(dir / "device");
      WriteFile((dir / "device/model").string(), model + "\n");  // sysfs pads models with spaces
    }
  }

  void AddPartition(const std::string& disk, const std::string& name, const std::string& dev,
                    uint64_t size_units) {
    const auto dir = AddDevice("devices/" + disk + "/" + name, name, dev, size_units, false);
    WriteFile((dir / "partition").string(), "1\n");
  }

  // A volume built on others (device mapper, RAID): its slaves/ lists them.
  void AddStacked(const std::string& name, const std::string& dev,
                  const std::vector<std::string>& slaves) {
    const auto dir = AddDevice("devices/virtual/" + name, name, dev, 1024, false);
    std::filesystem::create_directories(dir / "slaves");
    for (const auto& slave : slaves) {
      std::filesystem::create_directory_symlink(ClassBlockPath() / slave, dir / "slaves" / slave);
    }
  }

 private:
  std::filesystem::path ClassBlockPath() const { return root_ / "class/block"; }

  std::filesystem::path AddDevice(const std::string& relative, const std::string& name,
                                  const std::string& dev, uint64_t size_units, bool read_only) {
    const auto dir = root_ / relative;
    std::filesystem::create_directories(dir);
    WriteFile((dir / "dev").string(), dev + "\n");
    WriteFile((dir / "size").string(), std::to_string(size_units) + "\n");
    WriteFile((dir / "ro").string(), read_only ? "1\n" : "0\n");
    std::filesystem::create_directory_symlink(std::filesystem::relative(dir, ClassBlockPath()),
                                              ClassBlockPath() / name);
    return dir;
  }

  std::filesystem::path root_;
};

}  // namespace officecarve::testing
