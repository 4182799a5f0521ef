#include "scan/mpeg_audio_frame.h"

#include <array>

namespace officecarve {
namespace {

constexpr uint8_t kMpeg1 = 3;
constexpr uint8_t kReservedVersion = 1;
constexpr uint8_t kLayer1 = 3;
constexpr uint8_t kLayer2 = 2;
constexpr uint8_t kReservedLayer = 0;
constexpr uint8_t kFreeBitrate = 0;
constexpr uint8_t kBadBitrate = 15;
constexpr uint8_t kReservedSampleRate = 3;
constexpr uint8_t kReservedEmphasis = 2;

using BitrateRow = std::array<uint16_t, 15>;  // kbit/s by index; index 0 is "free"

// MPEG-1 by layer (I, II, III), then MPEG-2 and 2.5 (Layer I, Layers II and III).
constexpr BitrateRow kMpeg1Layer1 = {0,   32,  64,  96,  128, 160, 192, 224,
                                     256, 288, 320, 352, 384, 416, 448};
constexpr BitrateRow kMpeg1Layer2 = {0,   32,  48,  56,  64,  80,  96, 112,
                                     128, 160, 192, 224, 256, 320, 384};
constexpr BitrateRow kMpeg1Layer3 = {0,   32,  40,  48,  56,  64,  80, 96,
                                     112, 128, 160, 192, 224, 256, 320};
constexpr BitrateRow kMpeg2Layer1 = {0,   32,  48,  56,  64,  80,  96, 112,
                                     128, 144, 160, 176, 192, 224, 256};
constexpr BitrateRow kMpeg2Layers23 = {0,  8,  16, 24,  32,  40,  48, 56,
                                       64, 80, 96, 112, 128, 144, 160};

// Hz by version (2.5, reserved, 2, 1) and index.
constexpr std::array<std::array<uint32_t, 3>, 4> kSampleRates = {{
    {11025, 12000, 8000},
    {0, 0, 0},
    {22050, 24000, 16000},
    {44100, 48000, 32000},
}};

uint32_t BitrateOf(uint8_t version, uint8_t layer, uint8_t index) {
  if (version == kMpeg1) {
    if (layer == kLayer1) return kMpeg1Layer1[index];
    return layer == kLayer2 ? kMpeg1Layer2[index] : kMpeg1Layer3[index];
  }
  return layer == kLayer1 ? kMpeg2Layer1[index] : kMpeg2Layers23[index];
}

}  // namespace

std::optional<MpegAudioFrame> ParseMpegAudioFrame(uint32_t header) {
  if ((header >> 21) != 0x7FF) return std::nullopt;
  const auto version = static_cast<uint8_t>((header >> 19) & 3);
  const auto layer = static_cast<uint8_t>((header >> 17) & 3);
  const auto bitrate_index = static_cast<uint8_t>((header >> 12) & 15);
  const auto sample_rate_index = static_cast<uint8_t>((header >> 10) & 3);
  const uint32_t padding = (header >> 9) & 1;
  if (version == kReservedVersion || layer == kReservedLayer || bitrate_index == kFreeBitrate ||
      bitrate_index == kBadBitrate || sample_rate_index == kReservedSampleRate ||
      (header & 3) == kReservedEmphasis) {
    return std::nullopt;
  }
  const uint32_t bits_per_second = BitrateOf(version, layer, bitrate_index) * 1000;
  const uint32_t sample_rate = kSampleRates[version][sample_rate_index];
  uint32_t length = 0;
  if (layer == kLayer1) {
    // 384 samples in slots of four bytes.
    length = (12 * bits_per_second / sample_rate + padding) * 4;
  } else if (layer == kLayer2 || version == kMpeg1) {
    // 1152 samples.
    length = 144 * bits_per_second / sample_rate + padding;
  } else {
    // Layer III of MPEG-2 and 2.5 carries 576 samples a frame.
    length = 72 * bits_per_second / sample_rate + padding;
  }
  return MpegAudioFrame{version, layer, sample_rate_index, length};
}

}  // namespace officecarve
