#pragma once

#include <QLabel>

namespace officecarve::gui {

// A one-line label that shows a text too long for it with "…" in the middle,
// so both ends of a long path stay readable. text() keeps the whole text.
class ElidedLabel : public QLabel {
  Q_OBJECT

 public:
  explicit ElidedLabel(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace officecarve::gui
