// "开始恢复" driven through the real windows: the start checks, a whole
// recovery, pause and stop on the recovery window, cancel on the search
// window while a long scan keeps the windows responsive.

#include <QDir>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>

#include "gui_fixture.h"
#include "verdict/sample_layout.h"

namespace officecarve::gui::testing {
namespace {

struct Placed {
  const char* corpus_name;
  int64_t sector;
  const char* recovered_name;  // "FILE_" + the start sector's letter code + extension
};

// Real documents at chosen sectors of an image no boot sector describes.
const Placed kDocuments[] = {
    {"letter.doc", 100, "FILE_AAAAAADW.DOC"},
    {"budget.xls", 300, "FILE_AAAAAALO.XLS"},
    {"overview.ppt", 500, "FILE_AAAAAATG.PPT"},
    {"minutes.docx", 900, "FILE_AAAAABIQ.DOCX"},
};

// Presses a button whenever the windows pump events during a scan, at the
// first moment `ready` holds; runs `press` once.
class Presser {
 public:
  Presser(std::function<bool()> ready, std::function<void()> press)
      : ready_(std::move(ready)), press_(std::move(press)) {
    timer_.setInterval(0);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (done_ || !ready_()) return;
      done_ = true;
      press_();
    });
    timer_.start();
  }
  bool Done() const { return done_; }

 private:
  std::function<bool()> ready_;
  std::function<void()> press_;
  QTimer timer_;
  bool done_ = false;
};

// The recovered documents in a folder, without the report beside them.
QStringList DocumentsIn(const QString& folder) {
  return QDir(folder).entryList({"FILE_*"}, QDir::Files, QDir::Name);
}

}  // namespace

class ScanFlowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<GuiHarness> h_;
  QString folder_;

  TForm1& W() { return h_->window; }

  void OpenDocumentsImage(uint64_t sectors = 1200) {
    testimage::ImageBuilder image(sectors);
    image.FillNoise(1, static_cast<int64_t>(sectors) - 1, 3);
    for (const Placed& placed : kDocuments) {
      const std::vector<uint8_t> bytes = CorpusFile(placed.corpus_name);
      QVERIFY2(!bytes.empty(), placed.corpus_name);
      image.Place(placed.sector, bytes);
    }
    h_->OpenImage(h_->WriteImage(image));
    QVERIFY(h_->app.source.IsOpen());
    folder_ = h_->MakeFolder("recovered");
    W().Edit2->setText(folder_);
  }
  void Start() { QTest::mouseClick(W().Button12, Qt::LeftButton); }
  void ExpectRefused(const char* text) {
    QCOMPARE(h_->dialogs.LastText(), std::string(text));
    QCOMPARE(h_->dialogs.LastCaption(), std::string("错误"));
    QVERIFY(h_->dialogs.messages.back().is_error);
    QVERIFY(W().LastScan().has_value() && !W().LastScan()->started);
    QVERIFY(W().isVisible());
    QVERIFY(!W().ProgressWindow().isVisible());
    QVERIFY(!W().RecoveryWindow().isVisible());
  }
  // The final message, with its second line when documents are damaged.
  void ExpectFinished(int recovered, int damaged = 0) {
    const std::string text = "成功恢复文件 " + std::to_string(recovered);
    QCOMPARE(h_->dialogs.LastText(), text);
    QCOMPARE(h_->dialogs.messages.back().message.detail,
             damaged > 0 ? "其中已损坏: " + std::to_string(damaged) : std::string());
    QCOMPARE(h_->dialogs.LastCaption(), std::string("恢复结束"));
    QCOMPARE(W().StatusBar1->PanelText(0), QString::fromStdString(text));
    QVERIFY(W().isVisible());
    QVERIFY(!W().ProgressWindow().isVisible());
    QVERIFY(!W().RecoveryWindow().isVisible());
  }

 private slots:
  void init() { h_ = std::make_unique<GuiHarness>(); }
  void cleanup() { h_.reset(); }

  void startChecksRefuseBadInputInOrder() {
    OpenDocumentsImage();
    W().chkDOC->click();
    W().chkXLS->click();
    W().chkPPT->click();
    W().Edit2->setText(QString());
    Start();
    ExpectRefused("请选择要恢复的文件类型!");

    W().chkDOC->click();
    W().Edit3->setText("abc");
    Start();  // the folder is looked at before the range
    ExpectRefused("请设置恢复文件保存的路径!");
    QVERIFY(W().Edit2->hasFocus());

    W().Button12->setFocus();
    W().Edit2->setText(h_->Path("does-not-exist"));
    Start();
    ExpectRefused("请设置恢复文件保存的路径!");
    QVERIFY(W().Edit2->hasFocus());

    W().Edit2->setText(folder_);
    Start();
    ExpectRefused("扫描扇区范围无效!");
    W().Edit3->setText("0");
    W().Edit4->setText("1200");  // one past the last sector
    Start();
    ExpectRefused("扫描扇区范围无效!");
    W().Edit3->setText("10");
    W().Edit4->setText("9");
    Start();
    ExpectRefused("扫描扇区范围无效!");
    QVERIFY(FilesIn(folder_).isEmpty());
  }

  void aRecoveryWritesTheDocumentsAndReportsTheCount() {
    OpenDocumentsImage();
    bool main_hidden_at_end = false;
    QString recovery_label;
    h_->dialogs.on_message = [&](const Message&) {
      main_hidden_at_end = !W().isVisible();
      recovery_label = W().RecoveryWindow().Label1->text();
    };
    Start();

    ExpectFinished(4);
    QVERIFY(main_hidden_at_end);
    QCOMPARE(recovery_label, QString("恢复成功: 4"));
    QCOMPARE(W().RecoveryWindow().windowTitle(), QString("正在恢复文件"));
    QCOMPARE(W().RecoveryWindow().Label4->text(), "源盘: " + h_->Path("disk.img"));
    QStringList expected;
    for (const Placed& placed : kDocuments) expected << placed.recovered_name;
    expected.sort();
    QCOMPARE(DocumentsIn(folder_), expected);
    // A compound file is recovered byte for byte.
    QFile letter(folder_ + "/FILE_AAAAAADW.DOC");
    QVERIFY(letter.open(QIODevice::ReadOnly));
    const QByteArray bytes = letter.readAll();
    const std::vector<uint8_t> original = CorpusFile("letter.doc");
    QCOMPARE(bytes, QByteArray(reinterpret_cast<const char*>(original.data()),
                               static_cast<qsizetype>(original.size())));
  }

  void theStatusBarTellsTheClusterGridAndWhereItCameFrom() {
    OpenDocumentsImage();
    QCOMPARE(W().StatusBar1->PanelText(2), QString("簇网格: 扫描时估算"));
    Start();
    ExpectFinished(4);
    // Four documents are too few to believe any grid in.
    QCOMPARE(W().StatusBar1->PanelText(2), QString("簇网格: 单扇区 (文件头 4 个)"));

    // A cluster size the user picks is the one scanned with.
    W().ComboBox1->setCurrentIndex(3);
    emit W().ComboBox1->activated(3);
    QCOMPARE(W().StatusBar1->PanelText(2), QString("簇网格: 4K, 用户选择"));
    Start();
    QVERIFY(W().LastScan()->started);
    QCOMPARE(W().LastScan()->regions.at(0).origin, GridOrigin::kChosen);
    QCOMPARE(W().LastScan()->regions.at(0).sectors_per_cluster, 8u);
    QVERIFY(W().StatusBar1->PanelText(2).startsWith("簇网格: 4K, 相位 "));
  }

  void aDamagedDocumentIsCountedOnTheFinalMessageAndInTheReport() {
    testimage::ImageBuilder image(1200);
    image.FillNoise(1, 1199, 3);
    std::vector<uint8_t> damaged = CorpusFile("minutes.docx");
    const officecarve::testing::ZipEntryLayout entry =
        officecarve::testing::LargestZipEntry(damaged);
    officecarve::testing::OverwriteWithNoise(damaged, entry.data_offset + 1024, 512, 5);
    image.Place(100, CorpusFile("letter.doc"));
    image.Place(400, damaged);
    h_->OpenImage(h_->WriteImage(image));
    folder_ = h_->MakeFolder("recovered");
    W().Edit2->setText(folder_);
    Start();

    ExpectFinished(2, 1);
    // The report lies beside the documents, as the command line's --report.
    QFile file(folder_ + "/officecarve-report.json");
    QVERIFY(file.open(QIODevice::ReadOnly));
    const auto report = nlohmann::json::parse(file.readAll().toStdString());
    QCOMPARE(report["recovered_count"].get<int>(), 2);
    std::map<std::string, std::string> verdicts;
    for (const auto& recovered : report["files"])
      verdicts[recovered["name"]] = recovered["verdict"];
    QCOMPARE(verdicts["FILE_AAAAAADW.DOC"], std::string("intact"));
    QCOMPARE(verdicts["FILE_AAAAAAPK.DOCX"], std::string("damaged"));
  }

  void onlyTheChosenFamiliesAreWritten() {
    OpenDocumentsImage();
    W().chkXLS->click();
    W().chkPPT->click();
    Start();
    ExpectFinished(2);
    QCOMPARE(DocumentsIn(folder_), QStringList({"FILE_AAAAAADW.DOC", "FILE_AAAAABIQ.DOCX"}));
  }

  void pauseHoldsTheRecoveryAndStopEndsIt() {
    OpenDocumentsImage();
    TForm2& recovery = W().RecoveryWindow();
    int ticks_while_paused = 0;
    bool count_moved_while_paused = false;
    Presser pause([&] { return recovery.isVisible() && recovery.Label1->text() == "恢复成功: 1"; },
                  [&] { QTest::mouseClick(recovery.SpeedButton1, Qt::LeftButton); });
    Presser stop(
        [&] {
          if (!pause.Done()) return false;
          count_moved_while_paused |= h_->app.state.recovered_count != 1;
          return ++ticks_while_paused == 50;
        },
        [&] {
          QCOMPARE(h_->app.state.run_state, RunState::kPaused);
          QVERIFY(recovery.SpeedButton1->isChecked());
          QTest::mouseClick(recovery.Button2, Qt::LeftButton);
        });
    Start();

    QVERIFY(stop.Done());
    QVERIFY(!count_moved_while_paused);
    QVERIFY(W().LastScan()->stopped);
    ExpectFinished(1);
    // Candidates are taken from the last to the first.
    QCOMPARE(DocumentsIn(folder_), QStringList({"FILE_AAAAABIQ.DOCX"}));
  }

  void thePauseButtonStartsUpOnTheNextRecovery() {
    OpenDocumentsImage();
    TForm2& recovery = W().RecoveryWindow();
    recovery.SpeedButton1->setChecked(true);  // left down by an earlier run
    Start();
    ExpectFinished(4);
    QVERIFY(!recovery.SpeedButton1->isChecked());
  }

  void cancelDuringALongSearchStillRecoversWhatWasFound() {
    OpenDocumentsImage(120'000);
    TForm3& search = W().ProgressWindow();
    bool refused_to_close = false;
    QString caption;
    Presser cancel(
        [&] { return search.isVisible() && search.Label1->text().mid(4).toLongLong() > 20'000; },
        [&] {
          caption = search.windowTitle();
          search.close();
          refused_to_close = search.isVisible();
          QTest::mouseClick(search.Button1, Qt::LeftButton);
        });
    Start();

    QVERIFY(cancel.Done());
    QCOMPARE(caption, QString("正在搜索文件"));
    QVERIFY(refused_to_close);
    QVERIFY(W().LastScan()->search_cancelled);
    QVERIFY(W().LastScan()->sectors_identified < 120'000u);
    ExpectFinished(4);
  }
};

}  // namespace officecarve::gui::testing

QTEST_MAIN(officecarve::gui::testing::ScanFlowTest)
#include "scan_flow_test.moc"
