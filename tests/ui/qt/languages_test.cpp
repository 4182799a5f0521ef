// The three language variants: captions from the text table, the form font
// of each variant rendering real glyphs, and the viewer keeping its own font.

#include <QFontInfo>
#include <QFontMetrics>
#include <QTest>
#include <chrono>

#include "gui_fixture.h"

Q_DECLARE_METATYPE(officecarve::TextVariant)

namespace officecarve::gui::testing {

class LanguagesTest : public QObject {
  Q_OBJECT

 private slots:
  void theWindowsSpeakTheVariant_data() {
    QTest::addColumn<TextVariant>("variant");
    QTest::addColumn<QString>("open_drive");
    QTest::addColumn<QString>("pause");
    QTest::addColumn<QString>("viewer_label");
    QTest::addColumn<QString>("font");
    QTest::addColumn<QString>("sample");    // a character of the variant's script
    QTest::addColumn<QString>("estimate");  // five seconds into a recovery at 100 MB/s
    QTest::newRow("simplified") << TextVariant::SimplifiedChinese << "打开分区"
                                << "暂停"
                                << "扇区:"
                                << "宋体"
                                << "分"
                                << "100 MB/s  用时 0:00:05  剩余 0:00:10";
    QTest::newRow("traditional") << TextVariant::TraditionalChinese << "打開分區"
                                 << "暫停"
                                 << "扇區:"
                                 << "細明體"
                                 << "開"
                                 << "100 MB/s  用時 0:00:05  剩餘 0:00:10";
    QTest::newRow("english") << TextVariant::English << "Open Drive"
                             << "Pause"
                             << "Sector:"
                             << "Tahoma"
                             << "O"
                             << "100 MB/s  elapsed 0:00:05  left 0:00:10";
  }

  void theWindowsSpeakTheVariant() {
    QFETCH(TextVariant, variant);
    QFETCH(QString, open_drive);
    QFETCH(QString, pause);
    QFETCH(QString, viewer_label);
    QFETCH(QString, font);
    QFETCH(QString, sample);
    QFETCH(QString, estimate);
    GuiHarness h(variant);
    TForm1& window = h.window;

    // The rate and time left under the recovery window's labels, on a clock
    // the test moves.
    std::chrono::steady_clock::time_point now{};
    window.EngineFrontend().SetProgressClock([&] { return now; });
    window.EngineFrontend().ShowProgressWindow(ProgressWindow::kRecovery, "");
    for (int step = 1; step <= 10; ++step) {
      now += std::chrono::milliseconds(500);
      window.EngineFrontend().ReportProgress(ProgressWindow::kRecovery, step * 50'000'000ull,
                                             1'500'000'000ull, 0);
    }
    QCOMPARE(window.RecoveryWindow().Label5->text(), estimate);
    window.EngineFrontend().CloseProgressWindow(ProgressWindow::kRecovery);

    QCOMPARE(window.Button1->text(), open_drive);
    QCOMPARE(window.Label1->text(), viewer_label);
    QCOMPARE(window.RecoveryWindow().SpeedButton1->text(), pause);
    QCOMPARE(window.ComboBox3->count(), 3);
    QCOMPARE(window.ComboBox3->itemText(2),
             QString::fromUtf8(h.app.texts.Text(TextId::kReasonRepartitioned)));
    // The fixed texts do not change with the variant.
    QCOMPARE(window.chkDOC->text(), QString("DOC(DOCX, WPS)"));
    QCOMPARE(window.Button8->text(), QString("|<"));

    for (QWidget* widget : std::initializer_list<QWidget*>{
             &window, window.Button12, &window.RecoveryWindow(), &window.ProgressWindow()}) {
      QCOMPARE(widget->font().family(), font);
      // Whatever the name resolves to on this system draws the script.
      QVERIFY2(QFontMetrics(widget->font()).inFontUcs4(sample.toUcs4().at(0)),
               qPrintable(QFontInfo(widget->font()).family()));
    }
    QCOMPARE(window.Memo1->font().family(), QString("Courier New"));
    QVERIFY(QFontInfo(window.Memo1->font()).fixedPitch());
  }

  void theLongestCaptionsFitTheirControls_data() {
    QTest::addColumn<TextVariant>("variant");
    QTest::newRow("simplified") << TextVariant::SimplifiedChinese;
    QTest::newRow("traditional") << TextVariant::TraditionalChinese;
    QTest::newRow("english") << TextVariant::English;
  }

  void theLongestCaptionsFitTheirControls() {
    QFETCH(TextVariant, variant);
    GuiHarness h(variant);
    TForm1& window = h.window;
    h.OpenImage(h.WriteBytes(std::vector<uint8_t>(512 * 4, 0), "small.img"));
    QTest::mouseClick(window.SpeedButton1, Qt::LeftButton);
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
      if (!button->isVisible()) continue;
      const int text = button->fontMetrics().horizontalAdvance(button->text());
      QVERIFY2(button->width() >= text + 8, qPrintable(button->objectName()));
    }
    for (QLabel* label : window.findChildren<QLabel*>()) {
      if (!label->isVisible() || label->wordWrap()) continue;
      QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->objectName()));
    }
    // The longest rate and times a slow disk shows fit both progress windows.
    const QString longest = QString::fromStdString(
        "999 MB/s  " + std::string(h.app.texts.Text(TextId::kElapsedPrefix)) + "99:59:59  " +
        std::string(h.app.texts.Text(TextId::kTimeLeftPrefix)) + "99:59:59");
    for (QLabel* label : {window.RecoveryWindow().Label5, window.ProgressWindow().Label5}) {
      label->setText(longest);
      QVERIFY2(label->width() >= label->sizeHint().width(),
               qPrintable(QString::number(label->sizeHint().width())));
    }
    // The dump's lines fit the memo without a horizontal scroll.
    const int line = QFontMetrics(window.Memo1->font())
                         .horizontalAdvance(window.Memo1->toPlainText().split('\n').at(1));
    QVERIFY(line < window.Memo1->viewport()->width());
  }
};

}  // namespace officecarve::gui::testing

QTEST_MAIN(officecarve::gui::testing::LanguagesTest)
#include "languages_test.moc"
