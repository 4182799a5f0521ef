#include "platform/code_page.h"
#include "platform/win32/win32_calls.h"

namespace officecarve {

int SystemCodePage() { return static_cast<int>(win32::Calls().get_oem_cp()); }

}  // namespace officecarve
