#include "app/open_source.h"

#include "platform/raw_handle.h"

namespace officecarve {

Message OpenFailureMessage(const UiTextTable& texts, const OpenOutcome& outcome) {
  Message message;
  message.caption = texts.Text(TextId::kErrorCaption);
  message.text = texts.Text(outcome.message);
  if (outcome.message == TextId::kUnsupportedSectorSize) {
    message.text += std::to_string(outcome.sector_size);
  }
  if (outcome.os_error != 0) message.detail = OsErrorText(outcome.os_error);
  return message;
}

bool OpenVolumeAndReport(Application& app, Frontend& frontend, const std::string& path,
                         const std::string& display_name) {
  const OpenOutcome outcome = app.source.OpenVolume(path, display_name);
  if (outcome.ok) return true;
  Message message = OpenFailureMessage(app.texts, outcome);
  // Images open without special rights; drives are where users meet the refusal.
  if (outcome.message == TextId::kOpenDriveFailed && IsMissingRightsError(outcome.os_error)) {
    message.detail += '\n';
    message.detail += app.texts.Text(TextId::kDriveNeedsRights);
  }
  frontend.ShowMessage(message);
  return false;
}

bool OpenImageAndReport(Application& app, Frontend& frontend, const std::string& path) {
  const OpenOutcome outcome = app.source.OpenImage(path);
  if (!outcome.ok) frontend.ShowMessage(OpenFailureMessage(app.texts, outcome));
  return outcome.ok;
}

}  // namespace officecarve
