#include "platform/code_page.h"

namespace officecarve {

int SystemCodePage() { return CodePageForLocale(LocaleFromEnvironment()); }

}  // namespace officecarve
