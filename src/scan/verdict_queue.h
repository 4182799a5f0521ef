#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/frontend.h"

namespace officecarve {

// Checks recovered documents on worker threads while the scan carves the next
// ones, and hands every file back on the caller's thread, in the order the
// files were added. Checking a document (inflating every entry of a package)
// costs about as much as carving and saving it; on a disk read from the page
// cache, doing both in turn would make the recovery the longer part of a scan.
class VerdictQueue {
 public:
  using Check = std::function<Verdict(const RecoveredFile&)>;
  using Deliver = std::function<void(RecoveredFile&)>;

  // Files added and not yet handed back; Add waits for the oldest beyond it,
  // so the listing never falls far behind the progress.
  static constexpr size_t kMaxWaiting = 64;
  // Bytes read back at once by all workers together: a worker waits with a
  // file that would pass it while another is checking, so memory stays near
  // the largest document rather than a multiple of it.
  static constexpr uint64_t kMaxBytesInCheck = 32u << 20;

  // `workers` 0 checks every file on the caller's thread as it is added.
  VerdictQueue(Check check, Deliver deliver, unsigned workers = DefaultWorkers());
  ~VerdictQueue();
  VerdictQueue(const VerdictQueue&) = delete;
  VerdictQueue& operator=(const VerdictQueue&) = delete;

  // Queues a file; with `check` false it is handed back as it is, in its turn.
  // Hands back every file whose turn has come and whose verdict is ready.
  void Add(RecoveredFile file, bool check);
  // Waits for every verdict and hands back all files still queued.
  void Finish();

  // One worker per processor, at most four: the carving keeps one busy too.
  static unsigned DefaultWorkers();

 private:
  enum class Stage : uint8_t { kWaiting, kChecking, kDone };
  struct Entry {
    RecoveredFile file;
    Stage stage = Stage::kWaiting;
  };

  void StartWorkers();
  void Work();
  // The first waiting entry a worker may take now, or nullptr.
  Entry* NextToCheck();
  // Removes the finished entries at the front; `wait_for` more than 0 first
  // waits until the queue holds fewer than that many entries.
  std::vector<RecoveredFile> TakeDone(size_t wait_for);
  void HandBack(std::vector<RecoveredFile> files);

  Check check_;
  Deliver deliver_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::unique_ptr<Entry>> entries_;
  uint64_t bytes_in_check_ = 0;
  bool stopping_ = false;
  const unsigned workers_wanted_;
  bool workers_started_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace officecarve
