#include "scan/candidate_list.h"

namespace officecarve {

void CandidateList::Reset() {
  std::vector<int64_t>().swap(sectors_);
  std::vector<FileKind>().swap(kinds_);
}

void CandidateList::Grow() {
  sectors_.reserve(sectors_.capacity() + kGrowthStep);
  kinds_.reserve(kinds_.capacity() + kGrowthStep);
}

}  // namespace officecarve
