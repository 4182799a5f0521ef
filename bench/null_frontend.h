#pragma once

#include "app/frontend.h"

namespace officecarve::bench {

// A front end that shows nothing: the benchmark measures the engine alone.
class NullFrontend : public Frontend {
 public:
  MessageAnswer ShowMessage(const Message&) override { return MessageAnswer::kOk; }
  void ShowProgressWindow(ProgressWindow, const std::string&) override {}
  void SetProgressCaption(ProgressWindow, const std::string&) override {}
  void SetProgressLabel(ProgressWindow, int, const std::string&) override {}
  void CloseProgressWindow(ProgressWindow) override {}
  void HideMainWindow() override {}
  void ShowMainWindow() override {}
  void SetStatusPanel(int, const std::string&) override {}
  void PumpMessages() override {}
};

}  // namespace officecarve::bench
