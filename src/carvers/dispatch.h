#pragma once

#include "scan/dispatch_row.h"
#include "scan/file_kind.h"

namespace officecarve {

// The carver of every kind, and what the recovery does with kinds that have none.
const DispatchRow& DispatchFor(FileKind kind);

}  // namespace officecarve
