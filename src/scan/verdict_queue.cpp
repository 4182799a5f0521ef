#include "scan/verdict_queue.h"

#include <algorithm>
#include <exception>
#include <new>
#include <system_error>
#include <utility>

namespace officecarve {
namespace {

constexpr unsigned kMostWorkers = 4;

// A worker thread must not let an exception escape: it would end the program.
Verdict CheckCatching(const VerdictQueue::Check& check, const RecoveredFile& file) {
  try {
    return check(file);
  } catch (const std::bad_alloc&) {
    return Verdict::Unchecked("could not be checked (out of memory)");
  } catch (const std::exception& error) {
    return Verdict::Unchecked(std::string("could not be checked: ") + error.what());
  } catch (...) {
    return Verdict::Unchecked("could not be checked");
  }
}

}  // namespace

unsigned VerdictQueue::DefaultWorkers() {
  return std::clamp(std::thread::hardware_concurrency(), 1u, kMostWorkers);
}

VerdictQueue::VerdictQueue(Check check, Deliver deliver, unsigned workers)
    : check_(std::move(check)), deliver_(std::move(deliver)), workers_wanted_(workers) {}

// The threads start with the first file to check: a scan that recovers
// nothing starts none.
void VerdictQueue::StartWorkers() {
  workers_started_ = true;
  try {
    for (unsigned i = 0; i < workers_wanted_; ++i) workers_.emplace_back([this] { Work(); });
  } catch (const std::system_error&) {
    // Fewer threads than asked (none at worst, and then Add checks each file
    // itself) is slower but the same result.
  }
}

VerdictQueue::~VerdictQueue() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void VerdictQueue::Add(RecoveredFile file, bool check) {
  if (check && !workers_started_) StartWorkers();
  auto entry = std::make_unique<Entry>();
  entry->file = std::move(file);
  if (!check) {
    entry->stage = Stage::kDone;
  } else if (workers_.empty()) {
    entry->file.verdict = CheckCatching(check_, entry->file);
    entry->stage = Stage::kDone;
  }
  {
    std::lock_guard lock(mutex_);
    entries_.push_back(std::move(entry));
  }
  changed_.notify_all();
  HandBack(TakeDone(kMaxWaiting + 1));
}

void VerdictQueue::Finish() {
  while (true) {
    std::vector<RecoveredFile> files = TakeDone(1);
    if (files.empty()) return;
    HandBack(std::move(files));
  }
}

std::vector<RecoveredFile> VerdictQueue::TakeDone(size_t wait_for) {
  std::unique_lock lock(mutex_);
  changed_.wait(
      lock, [&] { return entries_.size() < wait_for || entries_.front()->stage == Stage::kDone; });
  std::vector<RecoveredFile> done;
  while (!entries_.empty() && entries_.front()->stage == Stage::kDone) {
    done.push_back(std::move(entries_.front()->file));
    entries_.pop_front();
  }
  return done;
}

// Outside the lock: the front end may take its time over each file.
void VerdictQueue::HandBack(std::vector<RecoveredFile> files) {
  for (RecoveredFile& file : files) deliver_(file);
}

VerdictQueue::Entry* VerdictQueue::NextToCheck() {
  for (const std::unique_ptr<Entry>& entry : entries_) {
    if (entry->stage != Stage::kWaiting) continue;
    const uint64_t size = entry->file.size;
    const bool fits = bytes_in_check_ == 0 ||
                      size <= kMaxBytesInCheck - std::min(bytes_in_check_, kMaxBytesInCheck);
    return fits ? entry.get() : nullptr;
  }
  return nullptr;
}

void VerdictQueue::Work() {
  std::unique_lock lock(mutex_);
  while (true) {
    Entry* entry = nullptr;
    changed_.wait(lock, [&] {
      entry = NextToCheck();
      return stopping_ || entry != nullptr;
    });
    if (stopping_) return;
    entry->stage = Stage::kChecking;
    const uint64_t size = entry->file.size;
    bytes_in_check_ += size;
    lock.unlock();
    // The entry stays where it is: only finished entries are removed.
    Verdict verdict = CheckCatching(check_, entry->file);
    lock.lock();
    entry->file.verdict = std::move(verdict);
    entry->stage = Stage::kDone;
    bytes_in_check_ -= size;
    changed_.notify_all();
  }
}

}  // namespace officecarve
