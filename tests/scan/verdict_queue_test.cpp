#include "scan/verdict_queue.h"

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace officecarve {
namespace {

RecoveredFile FileNamed(int number, uint64_t size = 1000) {
  RecoveredFile file;
  file.name = std::to_string(number);
  file.size = size;
  file.saved = true;
  return file;
}

// Later files are checked faster, so the workers finish them first.
Verdict SlowerForEarlierFiles(const RecoveredFile& file) {
  std::this_thread::sleep_for(std::chrono::microseconds(2000 - 40 * std::stoi(file.name)));
  return Verdict::Damaged("checked " + file.name);
}

TEST(VerdictQueue, HandsFilesBackInTheOrderAddedWhateverOrderTheChecksEnd) {
  for (const unsigned workers : {0u, 1u, 4u}) {
    std::vector<RecoveredFile> delivered;
    std::atomic<int> checks = 0;
    {
      VerdictQueue queue(
          [&](const RecoveredFile& file) {
            ++checks;
            return SlowerForEarlierFiles(file);
          },
          [&](RecoveredFile& file) { delivered.push_back(file); }, workers);
      for (int number = 0; number < 40; ++number) queue.Add(FileNamed(number), number % 5 != 0);
      queue.Finish();
    }
    ASSERT_EQ(delivered.size(), 40u) << workers << " workers";
    EXPECT_EQ(checks, 32) << "unchecked files never reach the check";
    for (int number = 0; number < 40; ++number) {
      const RecoveredFile& file = delivered[static_cast<size_t>(number)];
      EXPECT_EQ(file.name, std::to_string(number));
      if (number % 5 == 0) {
        EXPECT_EQ(file.verdict.state, VerdictState::kUnchecked);
      } else {
        EXPECT_EQ(file.verdict.problem, "checked " + file.name);
      }
    }
  }
}

TEST(VerdictQueue, AFailingCheckLeavesThatFileUncheckedAndTheOthersAlone) {
  std::vector<RecoveredFile> delivered;
  VerdictQueue queue(
      [](const RecoveredFile& file) -> Verdict {
        if (file.name == "1") throw std::bad_alloc();
        if (file.name == "2") throw std::runtime_error("disk gone");
        return Verdict::Intact();
      },
      [&](RecoveredFile& file) { delivered.push_back(file); }, 2);
  for (int number = 0; number < 4; ++number) queue.Add(FileNamed(number), true);
  queue.Finish();
  ASSERT_EQ(delivered.size(), 4u);
  EXPECT_EQ(delivered[0].verdict.state, VerdictState::kIntact);
  EXPECT_EQ(delivered[1].verdict.state, VerdictState::kUnchecked);
  EXPECT_EQ(delivered[1].verdict.problem, "could not be checked (out of memory)");
  EXPECT_EQ(delivered[2].verdict.problem, "could not be checked: disk gone");
  EXPECT_EQ(delivered[3].verdict.state, VerdictState::kIntact);
}

TEST(VerdictQueue, ChecksLargeFilesOneAtATime) {
  std::atomic<int> checking = 0;
  std::atomic<int> most_at_once = 0;
  auto check = [&](const RecoveredFile&) {
    const int now = ++checking;
    int seen = most_at_once;
    while (now > seen && !most_at_once.compare_exchange_weak(seen, now)) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    --checking;
    return Verdict::Intact();
  };
  int delivered = 0;
  VerdictQueue queue(
      check, [&](RecoveredFile&) { ++delivered; }, 4);
  const uint64_t large = VerdictQueue::kMaxBytesInCheck / 2 + 1;
  for (int number = 0; number < 12; ++number) queue.Add(FileNamed(number, large), true);
  queue.Finish();
  EXPECT_EQ(delivered, 12);
  EXPECT_EQ(most_at_once, 1);
}

TEST(VerdictQueue, KeepsTheListingCloseBehindTheCarving) {
  std::atomic<bool> release = false;
  size_t delivered = 0;
  VerdictQueue queue(
      [&](const RecoveredFile&) {
        while (!release) std::this_thread::sleep_for(std::chrono::microseconds(100));
        return Verdict::Intact();
      },
      [&](RecoveredFile&) { ++delivered; }, 2);
  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    release = true;
  });
  const size_t added = VerdictQueue::kMaxWaiting + 10;
  for (size_t number = 0; number < added; ++number) {
    queue.Add(FileNamed(static_cast<int>(number)), true);
    EXPECT_GE(delivered + VerdictQueue::kMaxWaiting, number + 1) << "after file " << number;
  }
  releaser.join();
  queue.Finish();
  EXPECT_EQ(delivered, added);
}

}  // namespace
}  // namespace officecarve
