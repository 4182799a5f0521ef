#include "cli/source_opening.h"

#include "app/open_source.h"
#include "platform/block_devices.h"

namespace officecarve::cli {

TextVariant VariantFromLocale() { return VariantForCodePage(SystemCodePage()); }

bool OpenSourceArgument(Application& app, Frontend& frontend, const std::string& source) {
  if (const auto volume_path = VolumePathForArgument(source)) {
    std::string display = *volume_path;
    for (const BlockDevice& device : ListBlockDevices()) {
      if (device.path == *volume_path) display = DescribeBlockDevice(device);
    }
    return OpenVolumeAndReport(app, frontend, *volume_path, display);
  }
  return OpenImageAndReport(app, frontend, source);
}

}  // namespace officecarve::cli
