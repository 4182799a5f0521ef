#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "core/scan_state.h"
#include "text/ui_text_table.h"

namespace officecarve::gui {

// The small window of the search phase and of the backup: source, sector,
// percentage, a third line (files found or errors), the rate and time left,
// and "取消".
class TForm3 : public QWidget {
  Q_OBJECT

 public:
  // Wider and one line taller than the window it follows, for the rate and
  // the times of a long scan.
  static constexpr int kClientWidth = 300;
  static constexpr int kClientHeight = 200;

  TForm3(ScanState& state, const UiTextTable& texts);

  // Label1..Label4; nullptr for any other number.
  QLabel* Label(int number) const;

  QLabel* Label4;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  // The rate and the time left, under the labels the engine writes.
  QLabel* Label5;
  QPushButton* Button1;

 protected:
  // Refused while the search or the backup still runs: only "取消" ends them.
  void closeEvent(QCloseEvent* event) override;

 private:
  ScanState& state_;
};

}  // namespace officecarve::gui
