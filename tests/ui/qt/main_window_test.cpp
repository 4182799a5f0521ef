// The main window's own behaviour: its states, the source it presents, the
// geometry selectors, the folder buttons, the expand toggle and the status bar.

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "gui_fixture.h"
#include "gui_images.h"
#include "platform/default_folder.h"
#include "ui/qt/user_guide.h"

namespace officecarve::gui::testing {

class MainWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<GuiHarness> h_;

  TForm1& W() { return h_->window; }
  // An image whose boot sector nobody recognises: 1,000,000 bytes.
  QString UnrecognisedImage() {
    return h_->WriteBytes(std::vector<uint8_t>(1'000'000, 0), "plain.img");
  }
  void ExpectNoSource() {
    QVERIFY(!h_->app.source.IsOpen());
    QVERIFY(W().GroupBox1->isHidden());
    QVERIFY(W().Memo1->toPlainText().isEmpty());
    for (QWidget* control :
         std::initializer_list<QWidget*>{W().Memo1, W().Edit1, W().Button5, W().Button3,
                                         W().Button4, W().Button8, W().Button9}) {
      QVERIFY2(!control->isEnabled(), qPrintable(control->objectName()));
    }
  }

 private slots:
  void init() { h_ = std::make_unique<GuiHarness>(); }
  void cleanup() { h_.reset(); }

  void startsWithNoSourceAndTheDefaults() {
    ExpectNoSource();
    QCOMPARE(W().size(), QSize(870, 238));
    // The tests run from the build tree, a writable folder of the program's
    // own, as a copy unpacked somewhere would be.
    const QString own_folder = QCoreApplication::applicationDirPath() + "/";
    if (!IsSystemFolder(own_folder.toStdString())) QCOMPARE(W().Edit2->text(), own_folder);
    QCOMPARE(W().DefaultFolder(), W().Edit2->text());
    QCOMPARE(W().FamilyMask(), 0xE0000u);
    QVERIFY(W().chkDOC->isChecked() && W().chkXLS->isChecked() && W().chkPPT->isChecked());
    QCOMPARE(W().windowTitle(), QString::fromUtf8(h_->app.texts.Text(TextId::kWindowTitle)));
    QCOMPARE(W().ComboBox3->currentIndex(), 0);
    QCOMPARE(W().ComboBox2->count(), 5);
    QCOMPARE(W().ComboBox1->itemText(8), QString("128K"));
    QVERIFY(W().GuideUrl().isLocalFile());
    QVERIFY(W().GuideUrl().toLocalFile().endsWith("user-guide.html"));
    QCOMPARE(W().StatusBar1->PanelText(3), W().GuideUrl().toString());
  }

  void theCheckBoxesKeepOneBitEach() {
    W().chkXLS->click();
    QCOMPARE(W().FamilyMask(), 0xA0000u);
    W().chkDOC->click();
    W().chkPPT->click();
    QCOMPARE(W().FamilyMask(), 0u);
    W().chkXLS->click();
    QCOMPARE(W().FamilyMask(), 0x40000u);
  }

  void moreTogglesTheViewerHalf() {
    QVERIFY(!W().Memo1->isVisible());
    QTest::mouseClick(W().SpeedButton1, Qt::LeftButton);
    QCOMPARE(W().size(), QSize(870, 542));
    for (QWidget* control :
         std::initializer_list<QWidget*>{W().Memo1, W().Button8, W().Edit1, W().Button5}) {
      QVERIFY(control->isVisible());
      const QRect area(control->mapTo(&W(), QPoint(0, 0)), control->size());
      QVERIFY2(area.top() >= 220 && area.bottom() <= 513, qPrintable(control->objectName()));
    }
    QCOMPARE(W().StatusBar1->geometry().bottom(), 541);
    QTest::mouseClick(W().SpeedButton1, Qt::LeftButton);
    QCOMPARE(W().size(), QSize(870, 238));
    QVERIFY(!W().Memo1->isVisible());
    QCOMPARE(W().StatusBar1->geometry().bottom(), 237);
  }

  void theStatusBarOpensTheGuideOnlyRightOf650() {
    QTest::mouseClick(W().StatusBar1, Qt::LeftButton, {}, QPoint(650, 8));
    QVERIFY(h_->dialogs.opened_urls.empty());
    QTest::mouseClick(W().StatusBar1, Qt::LeftButton, {}, QPoint(651, 8));
    QCOMPARE(h_->dialogs.opened_urls.size(), size_t{1});
    QCOMPARE(h_->dialogs.opened_urls[0], W().GuideUrl());
  }

  void theGuideBesideAnInstalledProgramIsPreferred() {
    QDir(h_->scratch.path()).mkpath("bin");
    QDir(h_->scratch.path()).mkpath("share/doc/officecarve");
    const QString installed = h_->Path("share/doc/officecarve/user-guide.html");
    QVERIFY(h_->WriteBytes({'<'}, "share/doc/officecarve/user-guide.html") == installed);
    QCOMPARE(UserGuideUrl(h_->Path("bin")), QUrl::fromLocalFile(installed));
    // Without it, a guide that exists elsewhere is named, never a missing one.
    const QUrl fallback = UserGuideUrl(h_->Path("nowhere/bin"));
    QVERIFY(fallback.isLocalFile());
    QVERIFY(QFileInfo::exists(fallback.toLocalFile()));
  }

  void anUnrecognisedImageOpensForTheFormerFileSystemChoice() {
    h_->OpenImage(UnrecognisedImage());
    QCOMPARE(h_->dialogs.open_filter, QString("磁盘映像文件 (*.img);;所有文件 (*)"));
    QVERIFY(h_->dialogs.messages.empty());
    QVERIFY(W().GroupBox1->isVisible());
    QCOMPARE(W().Edit3->text(), QString("0"));
    QCOMPARE(W().Edit4->text(), QString("1952"));
    QCOMPARE(W().StatusBar1->PanelText(1), QString("扇区总数: 1953"));
    QCOMPARE(W().ComboBox3->currentIndex(), 2);
    QCOMPARE(W().ComboBox2->currentText(), QString("OTHER"));
    QCOMPARE(W().ComboBox1->currentText(), QString("0.5K"));
    QVERIFY(W().ComboBox2->isEnabled() && W().ComboBox1->isEnabled());
    // The viewer shows sector 0.
    QVERIFY(W().Memo1->isEnabled() && W().Edit1->isEnabled() && W().Button5->isEnabled());
    QCOMPARE(W().Edit1->text(), QString("0"));
    QCOMPARE(W().Memo1->toPlainText(), QString::fromStdString(W().Viewer().Text()));
    QCOMPARE(W().Memo1->toPlainText().split('\n').size(), 17);
  }

  void aFat32ImageOpensWithItsOwnGeometryLocked() {
    h_->OpenImage(h_->WriteImage(Fat32Image(4096)));
    QCOMPARE(W().ComboBox3->currentIndex(), 0);
    QCOMPARE(W().ComboBox2->currentText(), QString("FAT32"));
    QCOMPARE(W().ComboBox1->currentText(), QString("4K"));
    QVERIFY(!W().ComboBox2->isEnabled() && !W().ComboBox1->isEnabled());
    QCOMPARE(W().Edit4->text(), QString("4095"));

    // "Formatted" unlocks the selectors; a cluster size chosen there is used.
    emit W().ComboBox3->activated(1);
    QVERIFY(W().ComboBox2->isEnabled() && W().ComboBox1->isEnabled());
    W().ComboBox1->setCurrentIndex(5);
    emit W().ComboBox1->activated(5);
    QCOMPARE(h_->app.source.Working().sectors_per_cluster, 32u);
    QCOMPARE(h_->app.source.Working().cluster_phase, -1);
    // Back to "deleted": the boot sector's geometry again.
    W().ComboBox3->setCurrentIndex(0);
    emit W().ComboBox3->activated(0);
    QCOMPARE(W().ComboBox1->currentText(), QString("4K"));
    QVERIFY(!W().ComboBox1->isEnabled());
    QCOMPARE(h_->app.source.Working(), h_->app.source.Probed());
  }

  void deletedOnAnUnknownFileSystemIsRefusedAsFormatted() {
    h_->OpenImage(UnrecognisedImage());
    W().ComboBox3->setCurrentIndex(0);
    emit W().ComboBox3->activated(0);
    QCOMPARE(h_->dialogs.LastText(), std::string("未知分区类型, 不支持该选项!"));
    QCOMPARE(h_->dialogs.LastCaption(), std::string("错误"));
    QVERIFY(h_->dialogs.messages.back().is_error);
    QCOMPARE(W().ComboBox3->currentIndex(), 1);
  }

  void aNewOpenShowsItsOwnReasonNotThePreviousChoice() {
    const QString image = UnrecognisedImage();
    h_->OpenImage(image);
    W().ComboBox3->setCurrentIndex(1);
    emit W().ComboBox3->activated(1);
    QTest::mouseClick(W().Button2, Qt::LeftButton);
    h_->OpenImage(image);
    QCOMPARE(W().ComboBox3->currentIndex(), 2);
  }

  void aFailedOpenSaysSoAndLeavesNothingOpen() {
    h_->OpenImage(h_->Path("missing.img"));
    QCOMPARE(h_->dialogs.LastText(), std::string("打开文件失败!"));
    QCOMPARE(h_->dialogs.LastCaption(), std::string("错误"));
    QVERIFY(h_->dialogs.messages.back().is_error);
    QVERIFY(!h_->dialogs.messages.back().message.detail.empty());
    ExpectNoSource();
  }

  void cancellingTheOpenDialogClosesTheOpenSource() {
    h_->OpenImage(UnrecognisedImage());
    QVERIFY(h_->app.source.IsOpen());
    h_->OpenImage(QString());
    QCOMPARE(h_->dialogs.open_dialogs, 2);
    QVERIFY(h_->dialogs.messages.empty());
    ExpectNoSource();
  }

  void closeResetsWithAndWithoutASource() {
    QTest::mouseClick(W().Button2, Qt::LeftButton);
    ExpectNoSource();
    h_->OpenImage(UnrecognisedImage());
    QTest::mouseClick(W().Button2, Qt::LeftButton);
    ExpectNoSource();
    QVERIFY(!W().Viewer().HasSector());
  }

  void closingTheWindowClosesTheSource() {
    h_->OpenImage(UnrecognisedImage());
    QSignalSpy closed(&W(), &TForm1::Closed);
    W().close();
    QVERIFY(!h_->app.source.IsOpen());
    QCOMPARE(closed.count(), 1);
  }

  void browseStartsAtTheFolderAndKeepsItOnCancel() {
    W().Edit2->setText("/some/where/");
    QTest::mouseClick(W().Button6, Qt::LeftButton);
    QCOMPARE(h_->dialogs.directory_start, QString("/some/where/"));
    QCOMPARE(h_->dialogs.directory_caption, QString("恢复文件保存到"));
    QCOMPARE(W().Edit2->text(), QString("/some/where/"));
    h_->dialogs.directory_answer = h_->scratch.path();
    QTest::mouseClick(W().Button6, Qt::LeftButton);
    QCOMPARE(W().Edit2->text(), h_->scratch.path());
  }

  void viewFolderOpensOnlyAnExistingFolder() {
    W().Edit2->setText(h_->Path("nothing-here"));
    QTest::mouseClick(W().Button7, Qt::LeftButton);
    QVERIFY(h_->dialogs.opened_urls.empty());
    W().Edit2->setText(h_->scratch.path());
    QTest::mouseClick(W().Button7, Qt::LeftButton);
    QCOMPARE(h_->dialogs.opened_urls.size(), size_t{1});
    QCOMPARE(h_->dialogs.opened_urls[0], QUrl::fromLocalFile(h_->scratch.path()));
  }
};

}  // namespace officecarve::gui::testing

QTEST_MAIN(officecarve::gui::testing::MainWindowTest)
#include "main_window_test.moc"
