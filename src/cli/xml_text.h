#pragma once

#include <string>
#include <string_view>

namespace officecarve::cli {

// Text as an XML 1.0 document may carry it: valid UTF-8 of characters XML
// allows. Paths come from the command line and the disk and may be any
// bytes; each byte that is not part of such a character becomes U+FFFD.
// Escaping the markup characters is the XML writer's work.
std::string XmlText(std::string_view text);

}  // namespace officecarve::cli
