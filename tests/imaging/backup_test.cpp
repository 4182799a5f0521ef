#include "imaging/backup.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/raw_handle.h"
#include "platform/temp_dir.h"
#include "support/format_tools.h"
#include "support/recording_frontend.h"
#include "testimage/image_builder.h"
#include "testimage/memory_handle.h"

namespace officecarve {
namespace {

using testimage::ImageBuilder;
using testimage::MemoryHandle;
using testimage::PseudoRandomBytes;
using testimage::ReadFileBytes;
using testing::RecordingFrontend;
using testing::TempDir;

// What a faulty writer did, kept after the backup dropped the writer.
struct WriterLog {
  int writes = 0;
  bool closed = false;
};

// A real image file whose pre-sizing or n-th write fails as a full or broken
// destination would make it fail.
class FaultyWriter : public ImageFileWriter {
 public:
  FaultyWriter(std::unique_ptr<ImageFileWriter> file, std::shared_ptr<WriterLog> log,
               int preallocate_error, int failing_write)
      : file_(std::move(file)),
        log_(std::move(log)),
        preallocate_error_(preallocate_error),
        failing_write_(failing_write) {}

  bool Preallocate(uint64_t bytes, int* error) override {
    if (preallocate_error_ == 0) return file_->Preallocate(bytes, error);
    *error = preallocate_error_;
    return false;
  }
  bool Write(std::span<const uint8_t> bytes, int* error) override {
    if (++log_->writes == failing_write_) {
      *error = EIO;
      return false;
    }
    return file_->Write(bytes, error);
  }
  bool Close(int* error) override {
    log_->closed = true;
    return file_->Close(error);
  }

 private:
  std::unique_ptr<ImageFileWriter> file_;
  std::shared_ptr<WriterLog> log_;
  int preallocate_error_;
  int failing_write_;
};

ImageWriterFactory FaultyWriters(std::shared_ptr<WriterLog> log, int preallocate_error,
                                 int failing_write) {
  return [=](const std::string& path, int* error) -> std::unique_ptr<ImageFileWriter> {
    std::unique_ptr<ImageFileWriter> file = ImageFileWriter::Create(path, error);
    if (!file) return nullptr;
    return std::make_unique<FaultyWriter>(std::move(file), log, preallocate_error, failing_write);
  };
}

struct Backup {
  ScanState state;
  RecordingFrontend frontend{state};
  UiTextTable texts{TextVariant::SimplifiedChinese};
  SectorSource source;
  TempDir dir;
  std::vector<uint8_t> bytes;
  MemoryHandle* handle = nullptr;
  std::string target = dir / "backup.img";

  explicit Backup(int64_t sectors, uint32_t bytes_per_sector = 512)
      : bytes(PseudoRandomBytes(static_cast<size_t>(sectors) * bytes_per_sector, 21)) {
    frontend.record_labels = true;
    auto memory = std::make_unique<MemoryHandle>(bytes);
    handle = memory.get();
    EXPECT_TRUE(source.OpenHandle(std::move(memory), SourceType::kImage, "src.img", "src.img").ok);
  }
  BackupOutcome Run(ScanRange range,
                    const ImageWriterFactory& writers = SystemImageWriterFactory()) {
    return RunBackup(source, frontend, state, texts, range, target, writers);
  }
  std::vector<std::string> Labels(int label) const {
    std::vector<std::string> texts_shown;
    for (const auto& event : frontend.events) {
      if (event.what == "label" && event.label == label) texts_shown.push_back(event.text);
    }
    return texts_shown;
  }
  std::vector<uint8_t> Sectors(int64_t first, int64_t count) const {
    return {bytes.begin() + first * 512, bytes.begin() + (first + count) * 512};
  }
  // Both windows back to where they were before the backup.
  void ExpectIdle() const {
    EXPECT_TRUE(frontend.main_visible);
    EXPECT_FALSE(frontend.window_open[0]);
    EXPECT_EQ(state.backup_cancel, 1);
  }
};

TEST(RunBackup, CopiesTheRangeInBlocksOf64KiBAndSaysItIsDone) {
  Backup backup(300);
  const BackupOutcome outcome = backup.Run({0, 299});
  EXPECT_EQ(outcome.result, BackupResult::kFinished);
  EXPECT_EQ(outcome.sectors_copied, 300);
  EXPECT_EQ(ReadFileBytes(backup.target), backup.bytes);
  EXPECT_EQ(backup.Labels(1),
            (std::vector<std::string>{"正在创建映像文件...", "扇区: 0", "扇区: 128", "扇区: 256"}));
  EXPECT_EQ(backup.Labels(2), (std::vector<std::string>{"请稍等", "百分比: 0.00%", "百分比: 42.66%",
                                                        "百分比: 85.33%"}));
  EXPECT_EQ(backup.Labels(4), std::vector<std::string>{"源盘: src.img"});
  EXPECT_EQ(backup.frontend.captions[0], "备份到映像文件");
  EXPECT_EQ(backup.frontend.pumps, 4);  // once after creating, once per block
  ASSERT_EQ(backup.frontend.messages.size(), 1u);
  EXPECT_EQ(backup.frontend.messages[0].text, "备份完成!");
  EXPECT_EQ(backup.frontend.messages[0].caption, "提示");
  EXPECT_EQ(backup.frontend.events.front().what, "hide-main");
  EXPECT_EQ(backup.frontend.events.back().what, "show-main");
  backup.ExpectIdle();
}

TEST(RunBackup, CopiesASingleSectorRange) {
  Backup backup(20);
  EXPECT_EQ(backup.Run({5, 5}).result, BackupResult::kFinished);
  EXPECT_EQ(ReadFileBytes(backup.target), backup.Sectors(5, 1));
  EXPECT_EQ(backup.Labels(2).back(), "百分比: 0.00%");
}

TEST(RunBackup, WritesZerosForAnUnreadableSectorAndCountsIt) {
  Backup backup(300);
  backup.handle->MakeUnreadable(5);
  const BackupOutcome outcome = backup.Run({0, 299});
  EXPECT_EQ(outcome.result, BackupResult::kFinishedWithErrors);
  EXPECT_EQ(outcome.unreadable_sectors, 1);
  std::vector<uint8_t> expected = backup.bytes;
  std::fill(expected.begin() + 5 * 512, expected.begin() + 6 * 512, 0);
  EXPECT_EQ(ReadFileBytes(backup.target), expected);
  EXPECT_EQ(backup.Labels(3), (std::vector<std::string>{"", "", "错误: 1", "错误: 1"}));
  ASSERT_EQ(backup.frontend.messages.size(), 1u);
  EXPECT_EQ(backup.frontend.messages[0].text, "备份结束! 有部分扇区读取失败.");
  EXPECT_EQ(backup.frontend.messages[0].caption, "提示");
}

TEST(RunBackupCancelled, FinishesTheShownBlockThenDeletesTheFileOnlyOnYes) {
  for (const MessageAnswer answer : {MessageAnswer::kNo, MessageAnswer::kYes}) {
    SCOPED_TRACE(answer == MessageAnswer::kYes ? "yes" : "no");
    Backup backup(300);
    backup.frontend.on_pump = [](ScanState& state, int pump) {
      if (pump == 2) state.backup_cancel = 1;  // while the first block's labels show
    };
    backup.frontend.answers = {answer};
    const BackupOutcome outcome = backup.Run({0, 299});
    EXPECT_EQ(outcome.result, BackupResult::kCancelled);
    EXPECT_EQ(outcome.sectors_copied, 128);
    EXPECT_EQ(backup.Labels(1).back(), "扇区: 0");
    ASSERT_EQ(backup.frontend.messages.size(), 1u);
    const Message& question = backup.frontend.messages[0];
    EXPECT_EQ(question.text, "备份未完成，是否删除目标文件?");
    EXPECT_EQ(question.caption, "提示");
    EXPECT_EQ(question.buttons, MessageButtons::kYesNo);
    backup.ExpectIdle();
    EXPECT_EQ(outcome.target_deleted, answer == MessageAnswer::kYes);
    if (answer == MessageAnswer::kYes) {
      EXPECT_FALSE(std::filesystem::exists(backup.target));
      continue;
    }
    const std::vector<uint8_t> image = ReadFileBytes(backup.target);
    ASSERT_EQ(image.size(), 300u * 512);  // still at its pre-set size
    EXPECT_EQ(std::vector<uint8_t>(image.begin(), image.begin() + 128 * 512),
              backup.Sectors(0, 128));
  }
}

TEST(RunBackupCancelled, ReportsACompleteImageAsFinishedWhenTheLastBlockWasCopied) {
  Backup backup(100);
  backup.frontend.on_pump = [](ScanState& state, int pump) {
    if (pump == 2) state.backup_cancel = 1;
  };
  EXPECT_EQ(backup.Run({0, 99}).result, BackupResult::kFinished);
  EXPECT_EQ(backup.frontend.messages.back().text, "备份完成!");
  EXPECT_EQ(ReadFileBytes(backup.target), backup.bytes);
}

TEST(RunBackupRefused, ARangePastTheLastSectorBeforeAnythingHappens) {
  Backup backup(300);
  EXPECT_EQ(backup.Run({0, 300}).result, BackupResult::kRangeRefused);
  EXPECT_EQ(backup.Run({-1, 10}).result, BackupResult::kRangeRefused);
  EXPECT_EQ(backup.Run({11, 10}).result, BackupResult::kRangeRefused);
  ASSERT_EQ(backup.frontend.messages.size(), 3u);
  EXPECT_EQ(backup.frontend.messages[0].text, "备份扇区范围无效!");
  EXPECT_EQ(backup.frontend.messages[0].caption, "错误");
  EXPECT_EQ(backup.frontend.events.size(), 3u);  // the three messages, no window
  EXPECT_FALSE(std::filesystem::exists(backup.target));
}

TEST(CheckBackupRange, StoresTheTypedRangeAndRefusesTextThatIsNotANumber) {
  Backup backup(300);
  ASSERT_TRUE(CheckBackupRange(backup.source, backup.frontend, backup.texts, "10", " 20"));
  EXPECT_EQ(backup.source.Range().last, 20);
  EXPECT_FALSE(CheckBackupRange(backup.source, backup.frontend, backup.texts, "abc", "5"));
  EXPECT_EQ(backup.frontend.messages.size(), 1u);
}

TEST(RunBackupRefused, ATargetThatIsTheSourceImageItself) {
  TempDir dir;
  const std::string image = dir / "source.img";
  const std::vector<uint8_t> bytes = PseudoRandomBytes(64 * 512, 8);
  ImageBuilder builder(64);
  builder.MutableBytes() = bytes;
  builder.WriteTo(image);
  Backup backup(1);
  ASSERT_TRUE(backup.source.OpenImage(image).ok);
  backup.target = image;
  EXPECT_EQ(backup.Run({0, 63}).result, BackupResult::kTargetOnSource);
  EXPECT_EQ(backup.frontend.messages.at(0).text, "备份文件不能保存到源分区上!");
  EXPECT_EQ(ReadFileBytes(image), bytes);
  EXPECT_TRUE(backup.frontend.main_visible);
}

TEST(RunBackupFailing, TellsWhyATargetCannotBeCreatedAndReturnsToIdle) {
  Backup backup(300);
  backup.target = backup.dir / "missing/backup.img";
  EXPECT_EQ(backup.Run({0, 299}).result, BackupResult::kCreateFailed);
  ASSERT_EQ(backup.frontend.messages.size(), 1u);
  EXPECT_EQ(backup.frontend.messages[0].text, "无法创建映像文件: " + backup.target);
  EXPECT_EQ(backup.frontend.messages[0].caption, "错误");
#ifdef _WIN32
  constexpr int kMissingFolder = 3;  // ERROR_PATH_NOT_FOUND
#else
  constexpr int kMissingFolder = ENOENT;
#endif
  EXPECT_EQ(backup.frontend.messages[0].detail, OsErrorText(kMissingFolder));
  backup.ExpectIdle();
}

TEST(RunBackupFailing, RefusesADestinationTooSmallBeforeCopying) {
  Backup backup(300);
  auto log = std::make_shared<WriterLog>();
  EXPECT_EQ(backup.Run({0, 299}, FaultyWriters(log, ENOSPC, 0)).result, BackupResult::kNoSpace);
  EXPECT_EQ(log->writes, 0);
  EXPECT_TRUE(log->closed);
  EXPECT_EQ(backup.source.WindowFills(), 0u);
  ASSERT_EQ(backup.frontend.messages.size(), 1u);
  EXPECT_EQ(backup.frontend.messages[0].text, "目标分区空间不足!");
  EXPECT_EQ(backup.frontend.messages[0].detail, OsErrorText(ENOSPC));
  EXPECT_TRUE(std::filesystem::exists(backup.target));  // created, then left as it is
  backup.ExpectIdle();
}

TEST(RunBackupFailing, StopsAtAFailedWriteAndOffersToDeleteTheUnfinishedImage) {
  Backup backup(300);
  auto log = std::make_shared<WriterLog>();
  backup.frontend.answers = {MessageAnswer::kOk, MessageAnswer::kYes};
  const BackupOutcome outcome = backup.Run({0, 299}, FaultyWriters(log, 0, 2));
  EXPECT_EQ(outcome.result, BackupResult::kWriteFailed);
  EXPECT_EQ(log->writes, 2);
  ASSERT_EQ(backup.frontend.messages.size(), 2u);
  EXPECT_EQ(backup.frontend.messages[0].text, "写入映像文件失败: " + backup.target);
  EXPECT_EQ(backup.frontend.messages[0].detail, OsErrorText(EIO));
  EXPECT_EQ(backup.frontend.messages[1].text, "备份未完成，是否删除目标文件?");
  EXPECT_TRUE(outcome.target_deleted);
  EXPECT_FALSE(std::filesystem::exists(backup.target));
  backup.ExpectIdle();
}

TEST(RunBackupOfAFormattedVolume, GivesAnImageThatOpensWithTheSameGeometry) {
  const std::string mkfs = testing::FindFormatter("mkfs.vfat");
  if (mkfs.empty()) GTEST_SKIP() << "mkfs.vfat is not installed";
  Backup backup(1);
  const std::string volume = backup.dir / "fat32.img";
  // Unaligned, so that the phase (1) is one a wrong copy could lose.
  ASSERT_TRUE(testing::RunFormatter(mkfs, "-C " + volume + " 4096 -F 32 -s 8 -a -R 33"));
  ASSERT_TRUE(backup.source.OpenImage(volume).ok);
  const VolumeGeometry original = backup.source.Probed();
  ASSERT_EQ(original.kind, FileSystemKind::kFat32);
  ASSERT_EQ(original.cluster_phase, 1);

  EXPECT_EQ(backup.Run({0, original.last_sector}).result, BackupResult::kFinished);
  SectorSource copy;
  ASSERT_TRUE(copy.OpenImage(backup.target).ok);
  EXPECT_EQ(copy.Probed(), original);
  EXPECT_EQ(ReadFileBytes(backup.target), ReadFileBytes(volume));

  // Begun past the boot sector, the image has none.
  EXPECT_EQ(backup.Run({1, original.last_sector}).result, BackupResult::kFinished);
  ASSERT_TRUE(copy.OpenImage(backup.target).ok);
  EXPECT_EQ(copy.Probed().kind, FileSystemKind::kOther);
}

}  // namespace
}  // namespace officecarve
