#include "ui/qt/fonts.h"

#include <QString>
#include <QStringList>

namespace officecarve::gui {
namespace {

// The windows are laid out for 9-point text, as on the desktop they were drawn for.
constexpr int kInterfacePointSize = 9;
constexpr int kViewerPixelSize = 11;

}  // namespace

void InstallFontSubstitutions() {
  // A Song/Ming face is a serif face: the serif CJK family is its closest match.
  QFont::insertSubstitutions(QStringLiteral("宋体"), {"SimSun", "NSimSun", "Noto Serif CJK SC",
                                                      "Noto Sans CJK SC", "WenQuanYi Zen Hei"});
  QFont::insertSubstitutions(QStringLiteral("細明體"), {"PMingLiU", "MingLiU", "Noto Serif CJK TC",
                                                        "Noto Sans CJK TC", "WenQuanYi Zen Hei"});
  // Device and file names may hold any script, so CJK stays in reach in English too.
  QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                             {"DejaVu Sans", "Liberation Sans", "Noto Sans", "Noto Sans CJK SC"});
  QFont::insertSubstitutions(
      QStringLiteral("Courier New"),
      {"Liberation Mono", "DejaVu Sans Mono", "Noto Sans Mono", "Noto Sans Mono CJK SC"});
}

QFont InterfaceFont(const UiTextTable& texts) {
  const std::string_view name = texts.FontName();
  QFont font(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())),
             kInterfacePointSize);
  font.setStyleHint(QFont::SansSerif);
  return font;
}

QFont ViewerFont() {
  QFont font(QStringLiteral("Courier New"));
  // The dump's 117 columns must fit the window's width without scrolling.
  font.setPixelSize(kViewerPixelSize);
  font.setStyleHint(QFont::Monospace);
  font.setFixedPitch(true);
  return font;
}

}  // namespace officecarve::gui
