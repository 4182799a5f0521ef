// Raw AAC streams are runs of ADTS frames, each headed by a sync word and
// its own length. The file is the frames walked from the first while each
// header repeats the first one's fixed fields (version, profile, sample
// rate, channels); the first that does not ends the file before it. The APE
// and ID3v1 tags players append belong to the file.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "carvers/carvers.h"
#include "carvers/media/record_run.h"
#include "scan/adts_frame.h"
#include "scan/carver_frame.h"

namespace officecarve {

void CarveAdts(CarverEnv& env, std::string_view /*folder*/, int64_t offset) {
  CarverCall call(env, offset);
  if (!call.Started()) return;
  const std::optional<AdtsFrame> first = ReadAdtsFrame(call.Bytes(), 0);
  if (!first) return call.Fail();
  RecordRun frames(call);
  while (frames.Holds(kAdtsHeaderBytes)) {
    const std::optional<AdtsFrame> frame = ReadAdtsFrame(call.Bytes(), frames.Position());
    if (!frame || frame->fixed != first->fixed || !frames.Take(frame->bytes)) break;
  }
  // A stream of one frame is no stream: a sync word and a length that
  // happen to fit.
  if (frames.FileEnd() <= first->bytes) return call.Fail();
  frames.FinishWithTags();
}

}  // namespace officecarve
