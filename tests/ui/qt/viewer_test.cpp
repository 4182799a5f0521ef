// The sector viewer in the main window's lower half: the dump, the four
// buttons, the keys of the sector field and "转到", at both ends of a source.

#include <QTest>
#include <memory>

#include "gui_fixture.h"

namespace officecarve::gui::testing {

class ViewerTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<GuiHarness> h_;

  TForm1& W() { return h_->window; }
  // Sector n starts with the byte n, so every sector's dump differs.
  void OpenNumberedImage(int sectors) {
    std::vector<uint8_t> bytes(static_cast<size_t>(sectors) * 512, 0);
    for (int sector = 0; sector < sectors; ++sector) {
      bytes[static_cast<size_t>(sector) * 512] = static_cast<uint8_t>(sector);
    }
    h_->OpenImage(h_->WriteBytes(bytes, "numbered.img"));
    QVERIFY(h_->app.source.IsOpen());
  }
  int64_t Shown() { return W().Edit1->text().toLongLong(); }
  void ExpectButtons(bool back, bool forward) {
    QCOMPARE(W().Button3->isEnabled(), back);
    QCOMPARE(W().Button8->isEnabled(), back);
    QCOMPARE(W().Button4->isEnabled(), forward);
    QCOMPARE(W().Button9->isEnabled(), forward);
  }
  void Key(Qt::Key key) {
    W().Edit1->setFocus();
    QTest::keyClick(W().Edit1, key);
  }

 private slots:
  void init() {
    h_ = std::make_unique<GuiHarness>();
    QTest::mouseClick(W().SpeedButton1, Qt::LeftButton);
  }
  void cleanup() { h_.reset(); }

  void theDumpShowsBytesInStoredOrderAndPrintableCharacters() {
    std::vector<uint8_t> bytes(1024, 0);
    const uint8_t start[] = {0xEB, 0x52, 0x90, 0x4E, 0x54, 0x46, 0x53, 0x20, 0x7F, 0x80};
    std::copy(std::begin(start), std::end(start), bytes.begin());
    h_->OpenImage(h_->WriteBytes(bytes, "ntfs-like.img"));
    const QStringList lines = W().Memo1->toPlainText().split('\n');
    QCOMPARE(lines.size(), 17);
    QCOMPARE(lines[0].size(), 117);
    QVERIFY(lines[0].startsWith("     0 1  2 3  4 5"));
    QVERIFY2(lines[1].startsWith("000: EB52 904E 5446 5320 7F80 0000"), qPrintable(lines[1]));
    QCOMPARE(lines[1].right(32).left(10), QString(".R.NTFS .."));
    QVERIFY(lines[16].startsWith("1E0: "));
    QCOMPARE(W().Memo1->font().family(), QString("Courier New"));
    QVERIFY(W().Memo1->isReadOnly());
  }

  void buttonsWalkToBothEndsAndDisableThere() {
    OpenNumberedImage(30);
    ExpectButtons(false, true);
    QTest::mouseClick(W().Button4, Qt::LeftButton);
    QCOMPARE(Shown(), 1);
    QVERIFY(W().Memo1->toPlainText().split('\n')[1].startsWith("000: 0100"));
    ExpectButtons(true, true);
    QTest::mouseClick(W().Button9, Qt::LeftButton);
    QCOMPARE(Shown(), 29);
    ExpectButtons(true, false);
    QTest::mouseClick(W().Button3, Qt::LeftButton);
    QCOMPARE(Shown(), 28);
    QTest::mouseClick(W().Button8, Qt::LeftButton);
    QCOMPARE(Shown(), 0);
    ExpectButtons(false, true);
  }

  void keysInTheSectorFieldStepAndPageWithinBounds() {
    OpenNumberedImage(30);
    Key(Qt::Key_Down);
    Key(Qt::Key_Down);
    QCOMPARE(Shown(), 2);
    Key(Qt::Key_Up);
    QCOMPARE(Shown(), 1);
    Key(Qt::Key_PageDown);
    QCOMPARE(Shown(), 11);
    W().Edit1->setText("26");
    Key(Qt::Key_Return);
    QCOMPARE(Shown(), 26);
    Key(Qt::Key_PageDown);  // last - 3 → last
    QCOMPARE(Shown(), 29);
    Key(Qt::Key_Down);  // nothing past the end
    QCOMPARE(Shown(), 29);
    W().Edit1->setText("4");
    Key(Qt::Key_Enter);
    Key(Qt::Key_PageUp);  // 4 → 0
    QCOMPARE(Shown(), 0);
    Key(Qt::Key_Up);
    QCOMPARE(Shown(), 0);
    QVERIFY(h_->dialogs.messages.empty());
  }

  void goToRefusesWhatIsNotASectorAndChangesNothing() {
    OpenNumberedImage(30);
    QTest::mouseClick(W().Button4, Qt::LeftButton);
    const QString dump = W().Memo1->toPlainText();
    for (const char* typed : {"abc", "-1", "30", ""}) {
      W().Edit1->setText(typed);
      QTest::mouseClick(W().Button5, Qt::LeftButton);
      QCOMPARE(h_->dialogs.LastText(), std::string("超出有效扇区范围!"));
      QCOMPARE(h_->dialogs.LastCaption(), std::string("错误"));
      QCOMPARE(W().Edit1->text(), QString(typed));
      QCOMPARE(W().Memo1->toPlainText(), dump);
      QCOMPARE(W().Viewer().Current(), 1);
    }
    W().Edit1->setText("29");
    QTest::mouseClick(W().Button5, Qt::LeftButton);
    QCOMPARE(W().Viewer().Current(), 29);
    ExpectButtons(true, false);
  }

  void aOneSectorSourceHasNowhereToGo() {
    OpenNumberedImage(1);
    ExpectButtons(false, false);
    QCOMPARE(W().Edit4->text(), QString("0"));
    Key(Qt::Key_PageDown);
    Key(Qt::Key_Up);
    QCOMPARE(Shown(), 0);
    QCOMPARE(W().Memo1->toPlainText().split('\n').size(), 17);
  }

  void anImageSmallerThanASectorShowsNothing() {
    h_->OpenImage(h_->WriteBytes(std::vector<uint8_t>(100, 0x41), "tiny.img"));
    QVERIFY(h_->app.source.IsOpen());
    QCOMPARE(W().Edit4->text(), QString("-1"));
    QCOMPARE(W().StatusBar1->PanelText(1), QString("扇区总数: 0"));
    QVERIFY(W().Memo1->toPlainText().isEmpty());
    ExpectButtons(false, false);
  }

  void closingClearsTheViewer() {
    OpenNumberedImage(30);
    QTest::mouseClick(W().Button9, Qt::LeftButton);
    QTest::mouseClick(W().Button2, Qt::LeftButton);
    QVERIFY(W().Memo1->toPlainText().isEmpty());
    QVERIFY(!W().Memo1->isEnabled());
    ExpectButtons(false, false);
    // Navigation without a source does nothing.
    W().Edit1->setEnabled(true);
    Key(Qt::Key_Down);
    QVERIFY(h_->dialogs.messages.empty());
    QVERIFY(W().Memo1->toPlainText().isEmpty());
  }
};

}  // namespace officecarve::gui::testing

QTEST_MAIN(officecarve::gui::testing::ViewerTest)
#include "viewer_test.moc"
