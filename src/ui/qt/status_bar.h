#pragma once

#include <QString>
#include <QWidget>
#include <array>

namespace officecarve::gui {

// The main window's status bar: four panels of fixed widths side by side,
// the last one running to the right edge. A press anywhere right of x = 650
// asks for the address in the last panel to be opened.
class StatusBar : public QWidget {
  Q_OBJECT

 public:
  static constexpr std::array<int, 4> kPanelWidths = {136, 152, 312, 250};
  static constexpr int kAddressClickX = 650;
  static constexpr int kHeight = 22;

  explicit StatusBar(QWidget* parent = nullptr);

  void SetPanelText(int panel, const QString& text);
  QString PanelText(int panel) const;
  // What hovering over a panel shows; by default its whole text, which the
  // panel may have to elide.
  void SetPanelToolTip(int panel, const QString& text);
  QString PanelToolTip(int panel) const;
  // The panel under x, or -1.
  int PanelAt(int x) const;
  // The left edge and width of a panel, for painting and tests.
  QRect PanelRect(int panel) const;

  QSize sizeHint() const override;

 signals:
  void AddressClicked();

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  std::array<QString, 4> texts_;
  std::array<QString, 4> tool_tips_;
};

}  // namespace officecarve::gui
