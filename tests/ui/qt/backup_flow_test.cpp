// "备份到映像文件" through the real windows: the range check before the save
// dialog, a whole backup, and cancel with the question that follows.

#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QTimer>
#include <memory>

#include "gui_fixture.h"

namespace officecarve::gui::testing {

class BackupFlowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<GuiHarness> h_;
  std::vector<uint8_t> image_bytes_;

  TForm1& W() { return h_->window; }

  void OpenImage(uint64_t sectors) {
    testimage::ImageBuilder image(sectors);
    image.FillNoise(0, static_cast<int64_t>(sectors) - 1, 11);
    image_bytes_ = image.Bytes();
    h_->OpenImage(h_->WriteImage(image, "source.img"));
    QVERIFY(h_->app.source.IsOpen());
  }
  void Backup() { QTest::mouseClick(W().Button11, Qt::LeftButton); }
  QByteArray Sectors(int64_t first, int64_t count) const {
    return QByteArray(reinterpret_cast<const char*>(image_bytes_.data()) + first * 512,
                      static_cast<qsizetype>(count * 512));
  }
  static QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  void ExpectIdle() {
    QVERIFY(W().isVisible());
    QVERIFY(!W().ProgressWindow().isVisible());
  }

 private slots:
  void init() { h_ = std::make_unique<GuiHarness>(); }
  void cleanup() { h_.reset(); }

  void anInvalidRangeIsRefusedBeforeTheDialog() {
    OpenImage(200);
    for (const auto& [first, last] : {std::pair{"abc", "10"}, std::pair{"5", "4"},
                                      std::pair{"0", "200"}, std::pair{"-1", "3"}}) {
      W().Edit3->setText(first);
      W().Edit4->setText(last);
      Backup();
      QCOMPARE(h_->dialogs.LastText(), std::string("备份扇区范围无效!"));
      QCOMPARE(h_->dialogs.LastCaption(), std::string("错误"));
    }
    QCOMPARE(h_->dialogs.save_dialogs, 0);
    ExpectIdle();
  }

  void aCancelledSaveDialogDoesNothing() {
    OpenImage(200);
    Backup();
    QCOMPARE(h_->dialogs.save_dialogs, 1);
    QCOMPARE(h_->dialogs.save_filter, QString("磁盘映像文件 (*.img)"));
    QCOMPARE(h_->dialogs.save_suffix, QString("img"));
    QVERIFY(h_->dialogs.messages.empty());
    QVERIFY(!W().LastBackup().has_value());
  }

  void aBackupCopiesTheRangeAndSaysItIsDone() {
    OpenImage(400);
    W().Edit3->setText("10");
    W().Edit4->setText("309");
    const QString target = h_->Path("backup.img");
    h_->dialogs.save_answer = target;
    QString caption;
    QString source_label;
    bool main_hidden = false;
    h_->dialogs.on_message = [&](const Message&) {
      caption = W().ProgressWindow().windowTitle();
      source_label = W().ProgressWindow().Label4->text();
      main_hidden = !W().isVisible();
    };
    Backup();

    QCOMPARE(h_->dialogs.LastText(), std::string("备份完成!"));
    QCOMPARE(h_->dialogs.LastCaption(), std::string("提示"));
    QVERIFY(!h_->dialogs.messages.back().is_error);
    QVERIFY(main_hidden);
    QCOMPARE(caption, QString("备份到映像文件"));
    QCOMPARE(source_label, "源盘: " + h_->Path("source.img"));
    QCOMPARE(Contents(target), Sectors(10, 300));
    ExpectIdle();
  }

  void cancelAsksAndYesDeletesTheUnfinishedFile() {
    OpenImage(4000);
    const QString target = h_->Path("partial.img");
    h_->dialogs.save_answer = target;
    h_->dialogs.answers = {MessageAnswer::kYes};
    TForm3& progress = W().ProgressWindow();
    bool refused_to_close = false;
    bool pressed = false;
    QTimer presser;
    presser.setInterval(0);
    connect(&presser, &QTimer::timeout, [&] {
      if (pressed || !progress.isVisible()) return;
      if (!progress.Label1->text().startsWith("扇区: ")) return;
      pressed = true;
      progress.close();
      refused_to_close = progress.isVisible();
      QTest::mouseClick(progress.Button1, Qt::LeftButton);
    });
    presser.start();
    Backup();

    QVERIFY(pressed);
    QVERIFY(refused_to_close);
    QCOMPARE(h_->dialogs.LastText(), std::string("备份未完成，是否删除目标文件?"));
    QCOMPARE(h_->dialogs.LastCaption(), std::string("提示"));
    QCOMPARE(h_->dialogs.messages.back().message.buttons, MessageButtons::kYesNo);
    QVERIFY(!QFileInfo::exists(target));
    QVERIFY(W().LastBackup()->sectors_copied < 4000);
    ExpectIdle();
  }

  void cancelAnsweredNoKeepsThePresizedFile() {
    OpenImage(4000);
    const QString target = h_->Path("partial.img");
    h_->dialogs.save_answer = target;
    h_->dialogs.answers = {MessageAnswer::kNo};
    TForm3& progress = W().ProgressWindow();
    QTimer presser;
    presser.setInterval(0);
    connect(&presser, &QTimer::timeout, [&] {
      if (progress.isVisible() && progress.Label1->text().startsWith("扇区: ")) {
        QTest::mouseClick(progress.Button1, Qt::LeftButton);
      }
    });
    presser.start();
    Backup();

    QCOMPARE(h_->dialogs.LastText(), std::string("备份未完成，是否删除目标文件?"));
    QCOMPARE(QFileInfo(target).size(), qint64{4000} * 512);
    const int64_t copied = W().LastBackup()->sectors_copied;
    QVERIFY(copied > 0 && copied < 4000);
    QCOMPARE(Contents(target).left(static_cast<qsizetype>(copied * 512)), Sectors(0, copied));
    ExpectIdle();
  }
};

}  // namespace officecarve::gui::testing

QTEST_MAIN(officecarve::gui::testing::BackupFlowTest)
#include "backup_flow_test.moc"
