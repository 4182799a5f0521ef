#pragma once

#include <cstdint>

namespace officecarve {

struct CarverEnv;

// Whether the pack header at `offset`, whose clock is `clock`, continues an
// MPEG-2 pack stream that starts before it: the nearest pack header in the
// bytes before it leads, packet by packet, exactly onto it, and its clock
// follows that stream's last pack as a walk of the stream accepts.
//
// Every pack that starts a cluster is a candidate, and candidates are carved
// from the last to the first, so the packs inside a stream come up before
// the pack that starts it. Each of them asking this, and leaving the stream
// to its first pack when the answer is yes, keeps the work linear: the
// stream is walked once, from its first pack, and every inner candidate
// costs a look at the bytes back to the pack before it. A stream whose first
// clock is not 0 is bounded from its first pack all the same.
bool ContinuesPackStream(CarverEnv& env, int64_t offset, int64_t clock);

}  // namespace officecarve
