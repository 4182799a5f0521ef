#include "cli/source_opening.h"

#include <sys/stat.h>

#include "app/open_source.h"
#include "platform/block_devices.h"

namespace officecarve::cli {

TextVariant VariantFromLocale() {
  return VariantForCodePage(CodePageForLocale(LocaleFromEnvironment()));
}

bool OpenSourceArgument(Application& app, Frontend& frontend, const std::string& source) {
  struct stat facts {};
  if (::stat(source.c_str(), &facts) == 0 && S_ISBLK(facts.st_mode)) {
    std::string display = source;
    for (const BlockDevice& device : ListBlockDevices()) {
      if (device.path == source) display = DescribeBlockDevice(device);
    }
    return OpenVolumeAndReport(app, frontend, source, display);
  }
  return OpenImageAndReport(app, frontend, source);
}

}  // namespace officecarve::cli
