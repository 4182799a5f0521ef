#pragma once

#include <cstdint>
#include <optional>

namespace officecarve {

// What an MPEG audio frame header (Layer I, II or III of MPEG-1, MPEG-2 or
// MPEG-2.5) says about its frame.
struct MpegAudioFrame {
  uint8_t version;            // the two version bits: 0 MPEG-2.5, 2 MPEG-2, 3 MPEG-1
  uint8_t layer;              // the two layer bits: 1 Layer III, 2 Layer II, 3 Layer I
  uint8_t sample_rate_index;  // 0 to 2
  uint32_t length;            // bytes of the whole frame, header included

  // Frames of one stream keep these; the bitrate and padding may change.
  bool SameStreamAs(const MpegAudioFrame& other) const {
    return version == other.version && layer == other.layer &&
           sample_rate_index == other.sample_rate_index;
  }
};

// The frame whose big-endian 32-bit header is `header`, or nothing when it is
// not one we can follow: no 11-bit sync, a reserved version, layer,
// sample rate or emphasis, or a "free" (0) or invalid (15) bitrate index.
std::optional<MpegAudioFrame> ParseMpegAudioFrame(uint32_t header);

}  // namespace officecarve
