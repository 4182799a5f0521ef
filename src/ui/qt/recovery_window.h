#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "core/scan_state.h"
#include "text/ui_text_table.h"

namespace officecarve::gui {

// The recovery progress window: which source, how many files, how far, which
// sector, the rate and time left; pause and stop. Its buttons only set the run state the scan
// tests.
class TForm2 : public QWidget {
  Q_OBJECT

 public:
  // Wider and one line taller than the window it follows, for the rate and
  // the times of a long recovery.
  static constexpr int kClientWidth = 300;
  static constexpr int kClientHeight = 177;

  TForm2(ScanState& state, const UiTextTable& texts);

  // Before each showing: the pause button up, as the run state starts running.
  void Reset();
  // Label1..Label4; nullptr for any other number.
  QLabel* Label(int number) const;

  QLabel* Label4;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label1;
  // The rate and the time left, under the labels the engine writes.
  QLabel* Label5;
  QPushButton* SpeedButton1;
  QPushButton* Button2;

 protected:
  // Without a close button the user can still ask the window manager; the
  // recovery goes on, so the window stays.
  void closeEvent(QCloseEvent* event) override;

 private:
  ScanState& state_;
};

}  // namespace officecarve::gui
