#include "ui/qt/status_bar.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

namespace officecarve::gui {
namespace {

constexpr int kPanelGap = 2;
constexpr int kTextMargin = 4;

}  // namespace

StatusBar::StatusBar(QWidget* parent) : QWidget(parent) {
  setFixedHeight(kHeight);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void StatusBar::SetPanelText(int panel, const QString& text) {
  if (panel < 0 || panel >= static_cast<int>(texts_.size())) return;
  texts_[static_cast<size_t>(panel)] = text;
  tool_tips_[static_cast<size_t>(panel)].clear();
  update();
}

void StatusBar::SetPanelToolTip(int panel, const QString& text) {
  if (panel < 0 || panel >= static_cast<int>(tool_tips_.size())) return;
  tool_tips_[static_cast<size_t>(panel)] = text;
}

QString StatusBar::PanelToolTip(int panel) const {
  if (panel < 0 || panel >= static_cast<int>(texts_.size())) return {};
  const QString& own = tool_tips_[static_cast<size_t>(panel)];
  return own.isEmpty() ? texts_[static_cast<size_t>(panel)] : own;
}

int StatusBar::PanelAt(int x) const {
  for (int panel = 0; panel < static_cast<int>(texts_.size()); ++panel) {
    const QRect rect = PanelRect(panel);
    if (x >= rect.left() && x <= rect.right()) return panel;
  }
  return -1;
}

bool StatusBar::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QString text = PanelToolTip(PanelAt(help->pos().x()));
    if (text.isEmpty()) {
      QToolTip::hideText();
    } else {
      QToolTip::showText(help->globalPos(), text, this);
    }
    return true;
  }
  return QWidget::event(event);
}

QString StatusBar::PanelText(int panel) const {
  if (panel < 0 || panel >= static_cast<int>(texts_.size())) return {};
  return texts_[static_cast<size_t>(panel)];
}

QRect StatusBar::PanelRect(int panel) const {
  int left = 0;
  for (int i = 0; i < panel; ++i) left += kPanelWidths[static_cast<size_t>(i)];
  const bool last = panel == static_cast<int>(kPanelWidths.size()) - 1;
  const int width =
      last ? std::max(0, this->width() - left) : kPanelWidths[static_cast<size_t>(panel)];
  return QRect(left, 0, width, height());
}

QSize StatusBar::sizeHint() const { return {870, kHeight}; }

void StatusBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  for (int panel = 0; panel < static_cast<int>(texts_.size()); ++panel) {
    const QRect outer = PanelRect(panel).adjusted(0, kPanelGap, -kPanelGap, 0);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(outer.adjusted(0, 0, -1, -1));
    const QRect text_rect = outer.adjusted(kTextMargin, 0, -kTextMargin, 0);
    const QString text = fontMetrics().elidedText(texts_[static_cast<size_t>(panel)],
                                                  Qt::ElideMiddle, text_rect.width());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(text_rect, Qt::AlignLeft | Qt::AlignVCenter, text);
  }
}

void StatusBar::mousePressEvent(QMouseEvent* event) {
  if (event->position().x() > kAddressClickX) emit AddressClicked();
  QWidget::mousePressEvent(event);
}

}  // namespace officecarve::gui
