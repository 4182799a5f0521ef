// Any bytes as a recovered document: the verdict comes back, stays in bounds
// and always has a reason when it is not "intact".
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "verdict/verdict.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace officecarve;
  const Verdict verdict = CheckDocumentBytes(std::span<const uint8_t>(data, size));
  if (verdict.state != VerdictState::kIntact && verdict.problem.empty()) std::abort();
  return 0;
}
