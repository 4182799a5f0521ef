#pragma once

#include <string>

#include "app/application.h"
#include "core/frontend.h"

namespace officecarve::cli {

// Opens SOURCE as the command line takes it: a block device as a volume,
// anything else as an image file. Failures are reported through the front end.
bool OpenSourceArgument(Application& app, Frontend& frontend, const std::string& source);

// The interface texts in the variant the locale asks for.
TextVariant VariantFromLocale();

}  // namespace officecarve::cli
