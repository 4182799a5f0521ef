#pragma once

#include "core/frontend.h"

namespace officecarve::testimage {

// A front end that shows nothing and allocates nothing, so benchmarks, fuzzers
// and allocation counts see the engine alone. Message boxes get `answer`
// (the first button when not set).
class NullFrontend : public Frontend {
 public:
  explicit NullFrontend(MessageAnswer answer = MessageAnswer::kOk) : answer_(answer) {}
  MessageAnswer ShowMessage(const Message&) override { return answer_; }
  void ShowProgressWindow(ProgressWindow, const std::string&) override {}
  void SetProgressCaption(ProgressWindow, const std::string&) override {}
  void SetProgressLabel(ProgressWindow, int, const std::string&) override {}
  void CloseProgressWindow(ProgressWindow) override {}
  void HideMainWindow() override {}
  void ShowMainWindow() override {}
  void SetStatusPanel(int, const std::string&) override {}
  void PumpMessages() override {}

 private:
  MessageAnswer answer_;
};

}  // namespace officecarve::testimage
