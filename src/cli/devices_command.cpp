#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/commands.h"
#include "platform/block_devices.h"

namespace officecarve::cli {

void AddDevicesCommand(CLI::App& app, CommandContext& context) {
  CLI::App* devices = app.add_subcommand(
      "devices", "List the disks and partitions that can be given as SOURCE, one per line.");
  devices->callback([&context]() {
    for (const BlockDevice& device : ListBlockDevices()) {
      std::cout << DescribeBlockDevice(device) << "\n";
    }
    context.exit_code = kExitOk;
  });
}

}  // namespace officecarve::cli
