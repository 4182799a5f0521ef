#pragma once

#include <cstdint>
#include <string_view>

namespace officecarve {

struct CarverEnv;

// Each carver bounds the file that starts at byte `offset`, claims its units
// and, for the two document carvers, writes it into `folder`.
void CarveCompoundFile(CarverEnv& env, std::string_view folder, int64_t offset);
void CarveZippedXml(CarverEnv& env, std::string_view folder, int64_t offset);

}  // namespace officecarve
