#include "carvers/office/save_document.h"

#include "platform/file_save.h"
#include "platform/raw_handle.h"
#include "scan/carver_frame.h"
#include "scan/start_sector_code.h"
#include "scan/verdict_queue.h"
#include "verdict/verdict.h"

namespace officecarve {

bool SaveRecoveredBuffer(CarverEnv& env, const std::string& path, std::span<const uint8_t> bytes) {
  while (true) {
    SaveResult result{true, 0};
    if (!env.folder_to_make.empty()) {
      result = CreateFolders(env.folder_to_make, env.owner);
      if (result.ok) env.folder_to_make.clear();
    }
    if (result.ok) result = SaveFileReplacing(path, bytes, env.owner);
    if (result.ok) return true;
    Message message;
    message.caption = env.texts.Text(TextId::kErrorCaption);
    message.text = std::string(env.texts.Text(TextId::kSaveFailed)) + path;
    message.detail = OsErrorText(result.error);
    message.buttons = MessageButtons::kAbortRetryIgnore;
    const MessageAnswer answer = env.frontend.ShowMessage(message);
    if (answer == MessageAnswer::kRetry) continue;
    if (answer == MessageAnswer::kAbort) env.state.run_state = RunState::kStopped;
    return false;
  }
}

void WriteRecoveredDocument(CarverCall& call, std::string_view folder, std::string_view extension,
                            std::string_view family, std::span<const uint8_t> bytes) {
  CarverEnv& env = call.Env();
  const int64_t offset = call.HeaderOffset();
  RecoveredFile file;
  file.name = RecoveredFileName(offset, std::string(extension));
  file.path = std::string(folder) + file.name;
  file.size = bytes.size();
  file.start_sector = offset / env.bytes_per_sector;
  file.family = family;
  file.byte_runs = call.ByteRuns(bytes.size());
  file.saved = SaveRecoveredBuffer(env, file.path, bytes);
  ++env.state.recovered_count;
  if (!file.saved) file.verdict = Verdict::Unchecked("the file was not written");
  if (env.verdicts != nullptr) {
    const bool check = file.saved && env.check_verdicts;
    env.verdicts->Add(std::move(file), check);
    return;
  }
  // Read back from disk, so the verdict is about what the user will open.
  if (file.saved && env.check_verdicts) file.verdict = CheckRecoveredFile(file.path);
  if (env.recovered != nullptr) env.recovered->push_back(file);
  env.frontend.FileRecovered(file, file.saved);
}

}  // namespace officecarve
