#pragma once

#include <string>
#include <string_view>

#include "platform/code_page.h"

namespace officecarve {

// The three language variants of the interface texts.
enum class TextVariant { SimplifiedChinese, TraditionalChinese, English };

// Entry numbers of the interface text table. Several entries hold the same
// text and are used at different places; keep them distinct.
enum class TextId : int {
  kWindowTitle = 1,
  kOpenDrive = 2,
  kOpenImageFile = 3,
  kClose = 4,
  kViewerSectorLabel = 5,  // "扇区:" without a trailing blank
  kGoto = 6,
  kFileType = 7,
  kSaveFilesTo = 8,
  kBrowse = 9,
  kTidyingList = 10,
  kPreviousFileSystem = 11,
  kClusterSize = 12,
  kScanRange = 13,
  kStartRescue = 14,
  kBackupToImage = 15,
  kOpenDriveFailed = 16,
  kErrorCaption = 17,
  kTotalSectors = 18,
  kViewerRangeInvalid = 19,
  kSelectFileType = 20,
  kSelectFolder = 21,
  kFolderOnSourceDrive = 22,
  kScanRangeInvalid = 23,
  kRescuingFile = 24,
  kSuccessPrefix = 25,
  kScannedPrefix = 26,
  kRescuedFiles = 27,
  kSaveFailed = 28,
  kFinished = 29,
  kBackupRangeInvalid = 35,
  kBackupOnSourceDrive = 36,
  kBackupCaption = 37,
  kCreatingImage = 38,
  kWaitAMoment = 39,
  kNoSpaceOnTarget = 40,
  kBackupSectorPrefix = 41,
  kBackupPercentPrefix = 42,
  kBackupErrorPrefix = 43,
  kBackupDeleteUnfinished = 44,
  kPromptCaption = 45,
  kBackupFinishedWithErrors = 46,
  kBackupFinished = 47,
  kOpenFileFailed = 48,
  kSearchingFiles = 49,
  kSectorPrefix = 50,
  kPercentPrefix = 51,
  kFoundPrefix = 52,
  kPause = 53,
  kStop = 54,
  kCancel = 55,
  kSteps = 60,
  kErrorCaption2 = 61,
  kMore = 62,
  kGetParametersFailed = 63,
  kProgressPrefix = 65,
  kReason = 66,
  kReasonDeleted = 67,
  kReasonFormatted = 68,
  kReasonRepartitioned = 69,
  kUnknownFileSystem = 70,
  kSourcePrefix = 77,
  kLostDataOnDrive = 78,
  kViewFolder = 81,
  // Entries this system adds to the table.
  kUnsupportedSectorSize = 82,  // followed by the size in bytes
  kCreateImageFailed = 83,      // followed by the path
  kImageWriteFailed = 84,       // followed by the path
  kOutOfMemory = 85,
  kRecoveredDocumentsFolder = 86,  // the default output folder's name
  kDriveNeedsRights = 87,          // how to get the right to read a drive
  // Where the cluster grid of a scan came from, composed by GridText.
  kGridPrefix = 88,
  kGridBootSector = 89,
  kGridPartition = 90,      // followed by the partition's number
  kGridEstimatedFrom = 91,  // followed by the count and kGridEstimatedHeaders
  kGridEstimatedHeaders = 92,
  kGridChosen = 93,
  kGridSingleUnits = 94,  // followed by the count and kGridSingleUnitsHeaders
  kGridSingleUnitsHeaders = 95,
  kGridToEstimate = 96,
  kGridPhase = 97,  // followed by the residue
  kGridOutsidePartitions = 98,
  kDamagedPrefix = 99,       // the final message's second line, followed by the count
  kElapsedPrefix = 100,      // followed by the time a phase has run, H:MM:SS
  kTimeLeftPrefix = 101,     // followed by the estimated time left, H:MM:SS
  kReportWriteFailed = 102,  // followed by the path
};

inline constexpr int kTextEntryCount = 103;

// The interface texts and font of one language variant.
class UiTextTable {
 public:
  explicit UiTextTable(TextVariant variant);

  TextVariant Variant() const { return variant_; }
  // The text of an entry; unused and unknown entries give an empty text.
  std::string_view Text(TextId id) const;
  std::string_view Text(int entry) const;
  // The interface font of the variant ("宋体", "細明體", "Tahoma").
  std::string_view FontName() const;

 private:
  TextVariant variant_;
};

// 936 selects Simplified Chinese, 950 Traditional Chinese, anything else English.
TextVariant VariantForCodePage(int code_page);

}  // namespace officecarve
