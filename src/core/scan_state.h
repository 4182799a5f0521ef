#pragma once

#include <cstdint>

namespace officecarve {

enum class RunState : uint8_t { kRunning = 0, kPaused = 1, kStopped = 2 };

// Document families the user selected, one bit each as the check boxes keep them.
inline constexpr uint32_t kFamilyDoc = 0x20000;
inline constexpr uint32_t kFamilyXls = 0x40000;
inline constexpr uint32_t kFamilyPpt = 0x80000;
inline constexpr uint32_t kAllFamilies = kFamilyDoc | kFamilyXls | kFamilyPpt;

// State shared by the scan driver, the progress windows and the carvers.
// One instance, owned by the application, passed by reference.
struct ScanState {
  bool search_cancelled = false;
  RunState run_state = RunState::kRunning;
  int32_t cluster_origin = 0;
  int32_t recovered_count = 0;
  // The backup's cancel flag: 0 while a backup runs, 1 once cancelled or ended.
  uint8_t backup_cancel = 1;
};

}  // namespace officecarve
