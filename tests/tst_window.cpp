// The main window and the selection dialog, driven as a user drives them, on the offscreen platform.
#include "app/About.h"
#include "app/Boxes.h"
#include "app/Gauge.h"
#include "app/Program.h"
#include "app/ResultModel.h"
#include "app/StatusPanels.h"
#include "app/Unit1.h"
#include "platform/DriveMap.h"
#include "platform/Drives.h"
#include "rebuild/OperationLog.h"
#include "rebuild/ROOT.h"
#include "selection/Unit2.h"
#include "support/PlatformNotes.h"
#include "support/Volume.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {
struct Box {
    QString caption;
    QString text;
    unsigned flags;
};

// The boxes shown, answered from a script; during: runs while a box is open (a user acting meanwhile).
struct BoxScript {
    std::vector<Box> shown;
    int backupAnswer = mb::IdNo;
    std::function<void(const Box&)> during;
    void Install()
    {
        SetMessageBoxFunction([this](const QString& text, const QString& caption, unsigned flags) {
            shown.push_back({caption, text, flags});
            if (during)
                during(shown.back());
            return (flags & mb::ButtonsMask) == mb::YesNo ? backupAnswer : mb::IdOk;
        });
    }
    QStringList Captions() const
    {
        QStringList c;
        for (const Box& b : shown)
            c << b.caption;
        return c;
    }
};

ImageRecipe Tree()
{
    ImageRecipe recipe;
    recipe.sectorsPerCluster = 8;
    recipe.directories = {QStringLiteral("PICS"), QStringLiteral("PICS/2025"), QStringLiteral("WORK"), QStringLiteral("WORK/OLD")};
    recipe.files = {{QStringLiteral("WORK/OLD/PLAN.TXT"), QByteArray("keep me\n")}};
    return recipe;
}

QStringList LogTexts()
{
    QStringList texts;
    for (const QString& line : Form1->mmo1->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        texts << line.mid(line.indexOf(QStringLiteral("] 操作:")));
    return texts;
}

// Until the job has ended and its last report (the cleanup's "就绪") has reached the window.
bool WaitForJobEnd(int ms = 60000)
{
    QElapsedTimer t;
    t.start();
    while (JobRunning() && t.elapsed() < ms)
        QTest::qWait(5);
    QCoreApplication::processEvents();
    return !JobRunning();
}
} // namespace

class TestWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QuietPlatformNotes(); } // in front of the test library's own handler
    void init();
    void cleanup();
    void layout();
    void columns_data();
    void columns();
    void resizingGrowsTheLogOnly();
    void opensOnAboutThenStart();
    void gauge_data();
    void gauge();
    void stopBeforeStartAndStartClearsIt();
    void dialogLayout();
    void dialogRefusals_data();
    void dialogRefusals();
    void wholeRebuildThroughTheWindow();
    void saveDialogKeepsTheLastName();
    void boxOnScreenLeavesTheWindowUsable();
    void oneJobAtATime();
    void addingAnImageFile();
    void permissionNote();
    void closingDuringAJob_data();
    void closingDuringAJob();

private:
    BoxScript boxes_;
    std::vector<QString> drives_;
};

void TestWindow::init()
{
    StopRequested = false;
    boxes_ = {};
    boxes_.Install();
    Form1 = new TForm1;
    Form2 = new TForm2;
    Form1->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form1));
}

void TestWindow::cleanup()
{
    QVERIFY(WaitForJobEnd());
    delete Form2;
    delete Form1;
    Form2 = nullptr;
    SetMessageBoxFunction({});
    SaveDialog::SetRunner({});
    for (const QString& d : drives_)
        platform::DriveMap::Release(d);
    drives_.clear();
}

void TestWindow::layout()
{
    TForm1& w = *Form1;
    QCOMPARE(w.pos(), QPoint(289, 129));
    QCOMPARE(w.size(), QSize(767, 580));
    QVERIFY(w.windowTitle().startsWith(QStringLiteral("RootwellVer1.1－－－")));
    QVERIFY(w.windowTitle().contains(QStringLiteral(" QQ:")));
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    QCOMPARE(QApplication::applicationName(), QApplication::applicationName()); // set by the program start
    QCOMPARE(w.pgc1->geometry(), QRect(0, 0, 767, 337));
    QCOMPARE(w.pgc1->count(), 2);
    QCOMPARE(w.pgc1->tabText(0), QStringLiteral("开始"));
    QCOMPARE(w.pgc1->tabText(1), QStringLiteral("关于我们"));
    QVERIFY(!w.pgc1->tabIcon(0).isNull() && !w.pgc1->tabIcon(1).isNull());
    QCOMPARE(w.pnl1->geometry(), QRect(0, 337, 767, 72));
    QCOMPARE(w.btn1->geometry(), QRect(88, 8, 177, 57));
    QCOMPARE(w.btn2->geometry(), QRect(464, 8, 177, 57));
    QCOMPARE(w.btn1->text(), QStringLiteral("开始"));
    QCOMPARE(w.btn2->text(), QStringLiteral("停止"));
    QCOMPARE(w.btn1->iconSize(), QSize(46, 47));
    QCOMPARE(w.btn2->iconSize(), QSize(49, 49));
    QCOMPARE(w.btn1->focusPolicy(), Qt::NoFocus);
    QCOMPARE(w.grp1->title(), QStringLiteral("日志"));
    QCOMPARE(w.grp1->geometry(), QRect(0, 409, 767, 121));
    QVERIFY(w.mmo1->toPlainText().isEmpty());
    QVERIFY(!w.mmo1->isReadOnly());
    QCOMPARE(w.mmo1->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    QCOMPARE(w.g1->geometry(), QRect(0, 530, 767, 25));
    QCOMPARE(w.g1->Text(), QStringLiteral("0%"));
    QCOMPARE(w.stat1->geometry(), QRect(0, 555, 767, 25));
    QCOMPARE(w.stat1->PanelWidth(0), 80);
    QCOMPARE(w.stat1->PanelWidth(1), 200);
    QCOMPARE(w.stat1->Panel(2)->x(), 280);
    QCOMPARE(w.stat1->PanelWidth(2), 767 - 280);
    QCOMPARE(w.stat1->PanelText(0), QStringLiteral("就绪"));
    QVERIFY(w.lv1->showGrid());
    QCOMPARE(w.lv1->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(w.lv1->selectionMode(), QAbstractItemView::ExtendedSelection);
}

void TestWindow::columns_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("alignment");
    QTest::newRow("SN") << 0 << QStringLiteral("SN") << 60 << int(Qt::AlignLeft);
    QTest::newRow("type") << 1 << QStringLiteral("目录类型") << 90 << int(Qt::AlignHCenter);
    QTest::newRow("sector") << 2 << QStringLiteral("目录所在扇区") << 100 << int(Qt::AlignLeft);
    QTest::newRow("cluster") << 3 << QStringLiteral("目录所在簇数") << 100 << int(Qt::AlignHCenter);
    QTest::newRow("high") << 4 << QStringLiteral("高位簇") << 60 << int(Qt::AlignLeft);
    QTest::newRow("low") << 5 << QStringLiteral("低位簇") << 60 << int(Qt::AlignLeft);
}

void TestWindow::columns()
{
    QFETCH(int, column);
    QFETCH(int, alignment);
    QCOMPARE(Form1->lv1->model()->columnCount(), 6);
    QTEST(Form1->lv1->model()->headerData(column, Qt::Horizontal).toString(), "caption");
    QTEST(Form1->lv1->horizontalHeader()->sectionSize(column), "width");
    Form1->AddResultRow({QStringLiteral("1"), QStringLiteral("2E"), QStringLiteral("2704"), QStringLiteral("86"),
                         QStringLiteral("0000"), QStringLiteral("0056")});
    Form1->lv1Rows->Publish();
    const QModelIndex cell = Form1->lv1->model()->index(0, column);
    QCOMPARE(cell.data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask, Qt::Alignment(alignment));
    // Only the first column can be edited in place.
    QCOMPARE(bool(cell.flags() & Qt::ItemIsEditable), column == 0);
}

void TestWindow::resizingGrowsTheLogOnly()
{
    Form1->resize(900, 800);
    QTRY_COMPARE(Form1->grp1->height(), 121 + 220);
    QCOMPARE(Form1->pgc1->height(), 337);
    QCOMPARE(Form1->pnl1->height(), 72);
    QCOMPARE(Form1->g1->geometry(), QRect(0, 750, 900, 25));
    QCOMPARE(Form1->stat1->geometry(), QRect(0, 775, 900, 25));
}

void TestWindow::opensOnAboutThenStart()
{
    QCOMPARE(Form1->pgc1->currentWidget(), Form1->ts2);
    QVERIFY(Form1->tmr2->isActive());
    QCOMPARE(Form1->tmr2->interval(), 1000);
    // A tab chosen within that second does not stop the switch.
    QTest::qWait(300);
    Form1->pgc1->setCurrentWidget(Form1->ts2);
    QTRY_COMPARE_WITH_TIMEOUT(Form1->pgc1->currentWidget(), Form1->ts1, 3000);
    QVERIFY(!Form1->tmr2->isActive());
    // Once only.
    Form1->pgc1->setCurrentWidget(Form1->ts2);
    QTest::qWait(1300);
    QCOMPARE(Form1->pgc1->currentWidget(), Form1->ts2);
}

void TestWindow::gauge_data()
{
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("set");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("text");
    QTest::newRow("middle") << 0 << 200 << 50 << 50 << QStringLiteral("25%");
    QTest::newRow("truncated") << 0 << 3 << 2 << 2 << QStringLiteral("66%");
    QTest::newRow("above the range") << 0 << 10 << 99 << 10 << QStringLiteral("100%");
    QTest::newRow("below the range") << 5 << 10 << -3 << 5 << QStringLiteral("0%");
    QTest::newRow("empty range") << 7 << 7 << 7 << 7 << QStringLiteral("0%");
    QTest::newRow("large range") << 0 << 2147483583 << 2147483000 << 2147483000 << QStringLiteral("99%");
}

void TestWindow::gauge()
{
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(int, set);
    Gauge g;
    QVERIFY(g.SetMaxValue(max));
    QVERIFY(g.SetMinValue(min));
    g.SetProgress(set);
    QTEST(g.position(), "position");
    QTEST(g.Text(), "text");
    // An inverted range is refused and changes nothing.
    QVERIFY(!g.SetMaxValue(min - 1));
    QVERIFY(!g.SetMinValue(max + 1));
    QCOMPARE(g.minValue(), min);
    QCOMPARE(g.maxValue(), max);
    QTEST(g.position(), "position");
}

void TestWindow::stopBeforeStartAndStartClearsIt()
{
    QTest::mouseClick(Form1->btn2, Qt::LeftButton);
    QVERIFY(StopRequested);
    QVERIFY(LogTexts().isEmpty());
    Form1->stat1->SetPanelText(1, QStringLiteral("子目录数量:9"));
    QTest::mouseClick(Form1->btn1, Qt::LeftButton);
    QVERIFY(!StopRequested);
    QCOMPARE(Form1->stat1->PanelText(0), QStringLiteral("扫描...."));
    QCOMPARE(Form1->stat1->PanelText(1), QString());
    QVERIFY(Form2->isVisible());
    QVERIFY(Form1->isEnabled()); // not modal
    // Start again: the one dialog, refilled.
    Form2->AddVolume(QStringLiteral("Z:stale"));
    QTest::mouseClick(Form1->btn1, Qt::LeftButton);
    QVERIFY(Form2->lv1->findItems(QStringLiteral("Z:stale"), Qt::MatchExactly).isEmpty());
    QCOMPARE(QApplication::topLevelWidgets().count(Form2), 1);
}

void TestWindow::dialogLayout()
{
    TForm2& d = *Form2;
    QCOMPARE(d.windowTitle(), QStringLiteral("选择要修复的盘符"));
    QCOMPARE(d.pos(), QPoint(467, 252));
    QCOMPARE(d.size(), QSize(387, 337));
    QVERIFY(!(d.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    QCOMPARE(d.pnl1->geometry(), QRect(0, 0, 387, 41));
    QCOMPARE(d.Instruction(), QStringLiteral("请勾选要修复的盘符："));
    QCOMPARE(d.lv1->geometry(), QRect(0, 41, 387, 233));
    QCOMPARE(d.pnl2->geometry(), QRect(0, 274, 387, 63));
    QCOMPARE(d.btn1->geometry(), QRect(248, 14, 129, 33));
    QCOMPARE(d.btn1->text(), QStringLiteral("扫描"));
    QCOMPARE(d.btn1->focusPolicy(), Qt::NoFocus);
    // Closing it with its close box starts nothing.
    d.close();
    QVERIFY(!d.isVisible());
    QVERIFY(!JobRunning());
}

void TestWindow::dialogRefusals_data()
{
    QTest::addColumn<QList<bool>>("checks");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty list") << QList<bool>{} << QStringLiteral("请选中要扫描的盘符！");
    QTest::newRow("none checked") << QList<bool>{false, false} << QStringLiteral("请选中要扫描的盘符！");
    QTest::newRow("two checked") << QList<bool>{true, false, true} << QStringLiteral("每次仅能选择一个盘符！");
}

void TestWindow::dialogRefusals()
{
    QFETCH(QList<bool>, checks);
    QFETCH(QString, text);
    Form2->show();
    for (int i = 0; i < checks.size(); ++i) {
        Form2->AddVolume(QStringLiteral("%1:VOL").arg(QLatin1Char(char('C' + i))));
        Form2->lv1->item(i)->setSelected(true); // highlighted is not chosen
        Form2->lv1->item(i)->setCheckState(checks[i] ? Qt::Checked : Qt::Unchecked);
    }
    QTest::mouseClick(Form2->btn1, Qt::LeftButton);
    QCOMPARE(boxes_.shown.size(), std::size_t(1));
    QCOMPARE(boxes_.shown[0].caption, QStringLiteral("出错了哟~"));
    QCOMPARE(boxes_.shown[0].text, text);
    QCOMPARE(boxes_.shown[0].flags, 0x30u);
    QVERIFY(!JobRunning());
    QVERIFY(Form2->isVisible());
    for (int i = 0; i < checks.size(); ++i)
        QCOMPARE(Form2->lv1->item(i)->checkState() == Qt::Checked, bool(checks[i]));
    QVERIFY(Form2->FSelectedDrive.isEmpty());
}

void TestWindow::wholeRebuildThroughTheWindow()
{
    TestVolume v = MakeVolume(Tree());
    QVERIFY(v.ok());
    v.image->ZeroRoot();
    const QByteArray outside = v.image->DigestOutsideRoot();
    QTest::mouseClick(Form1->btn1, Qt::LeftButton);
    QCOMPARE(Form2->lv1->count(), 1);
    QCOMPARE(Form2->lv1->item(0)->text(), v.drive + QStringLiteral("本地磁盘"));
    QCOMPARE(Form2->lv1->item(0)->checkState(), Qt::Unchecked);
    Form2->lv1->item(0)->setCheckState(Qt::Checked);
    QTest::mouseClick(Form2->btn1, Qt::LeftButton);
    QCOMPARE(Form2->FSelectedDrive, v.drive);
    QVERIFY(!Form2->isVisible());
    QVERIFY(WaitForJobEnd());

    const QStringList expected = {oplog::A1(v.drive), oplog::A2(v.drive), oplog::B1(), oplog::B2(), oplog::C1(),
                                  oplog::C3(), oplog::D1(), oplog::D3(), oplog::D4(), oplog::E1(), oplog::E2(4),
                                  oplog::F1(), oplog::F2()};
    QCOMPARE(LogTexts(), expected);
    QVERIFY(Form1->mmo1->toPlainText().startsWith(QStringLiteral("时间:[")));
    QCOMPARE(boxes_.Captions(), QStringList{QStringLiteral("是否备份")});
    QCOMPARE(Form1->stat1->PanelText(0), QStringLiteral("就绪"));
    QCOMPARE(Form1->stat1->PanelText(1), QStringLiteral("子目录数量:4"));
    QCOMPARE(Form1->ResultCount(), 4);
    QTRY_COMPARE(Form1->lv1->model()->rowCount(), 4);
    QCOMPARE(Form1->lv1->model()->index(0, 0).data().toString(), QStringLiteral("1"));
    QCOMPARE(Form1->lv1->model()->index(3, 0).data().toString(), QStringLiteral("4"));
    QCOMPARE(Form1->lv1->model()->index(0, 1).data().toString(), QStringLiteral("2E"));
    QCOMPARE(Form1->lv1->model()->index(0, 2).data().toString(), QString::number(v.image->dataStartSector() + 8));
    QCOMPARE(Form1->lv1->model()->index(0, 5).data().toString(), QStringLiteral("0003"));
    QCOMPARE(Form1->g1->maxValue(), 3);
    QCOMPARE(Form1->g1->position(), 3);
    QCOMPARE(Form1->g1->Text(), QStringLiteral("100%"));
    QCOMPARE(v.image->List(QStringLiteral("::/")).size(), 4);
    QCOMPARE(v.image->DigestOutsideRoot(), outside);

    // The next Start leaves log and table as they are, and lists the volume unchecked again.
    QTest::mouseClick(Form1->btn1, Qt::LeftButton);
    QCOMPARE(Form2->lv1->item(0)->checkState(), Qt::Unchecked);
    QCOMPARE(LogTexts().size(), expected.size());
    QCOMPARE(Form1->ResultCount(), 4);
}

void TestWindow::saveDialogKeepsTheLastName()
{
    TestVolume v = MakeVolume(Tree());
    QVERIFY(v.ok());
    QStringList offered;
    QString answer = v.file(QStringLiteral("first.bin"));
    SaveDialog::SetRunner([&](const QString& last) {
        offered << last;
        return answer.isEmpty() ? std::optional<QString>() : std::optional(answer);
    });
    boxes_.backupAnswer = mb::IdYes;
    for (int job = 0; job < 3; ++job) {
        v.image->ZeroRoot();
        StartJob(v.drive);
        QVERIFY(WaitForJobEnd());
        answer = job == 0 ? QString() : v.file(QStringLiteral("third.bin")); // the second dialog is cancelled
    }
    QCOMPARE(offered, (QStringList{QString(), v.file(QStringLiteral("first.bin")), v.file(QStringLiteral("first.bin"))}));
    QCOMPARE(Form1->dlgSave1.FileName(), v.file(QStringLiteral("third.bin")));
    QVERIFY(QFile::exists(v.file(QStringLiteral("first.bin根目录所在扇区")) + QString::number(v.image->dataStartSector())));
    QVERIFY(boxes_.Captions().contains(QStringLiteral("文件名为空")));
}

void TestWindow::boxOnScreenLeavesTheWindowUsable()
{
    // The real box: no owner, the right caption, text, icon and buttons; while it is open the main window
    // still takes a click on Stop.
    SetMessageBoxFunction({});
    int answer = 0;
    bool sawBox = false;
    QTimer::singleShot(50, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->isVisible())
                continue;
            sawBox = box->windowTitle() == QStringLiteral("是否备份") && box->text() == boxes::BackupText()
                && box->icon() == QMessageBox::Information && box->parentWidget() == nullptr
                && box->standardButtons() == (QMessageBox::Yes | QMessageBox::No);
            QTest::mouseClick(Form1->btn2, Qt::LeftButton);
            box->button(QMessageBox::No)->click();
        }
    });
    answer = MessageBoxA(boxes::BackupText(), boxes::BackupCaption(), mb::YesNo | mb::IconInformation);
    QVERIFY(sawBox);
    QCOMPARE(answer, mb::IdNo);
    QVERIFY(StopRequested);
}

void TestWindow::oneJobAtATime()
{
    TestVolume v = MakeVolume(Tree());
    QVERIFY(v.ok());
    v.image->ZeroRoot();
    Form1->btn1Click();
    Form2->lv1->item(0)->setCheckState(Qt::Checked);
    // While the job waits for its backup question, the user presses Start, and Scan in the dialog.
    boxes_.during = [](const Box& box) {
        if (box.caption == QStringLiteral("是否备份")) {
            Form1->btn1Click();
            Form2->btn1Click();
        }
    };
    Form2->btn1Click();
    QVERIFY(WaitForJobEnd());
    QCOMPARE(boxes_.Captions(), (QStringList{QStringLiteral("是否备份"), QStringLiteral("正在修复"), QStringLiteral("正在修复")}));
    QCOMPARE(boxes_.shown[1].text, QStringLiteral("已有修复任务正在运行，请等待其结束。"));
    QCOMPARE(boxes_.shown[1].flags, 0x30u);
    QCOMPARE(Form1->stat1->PanelText(0), QStringLiteral("就绪")); // the refused Start changed nothing
    QVERIFY(!Form2->isVisible());
    // Once the job has ended, Start works again.
    boxes_.during = {};
    Form1->btn1Click();
    QVERIFY(Form2->isVisible());
    QCOMPARE(boxes_.shown.size(), std::size_t(3));
}

void TestWindow::addingAnImageFile()
{
    TestVolume v = MakeVolume(Tree());
    QVERIFY(v.ok());
    platform::DriveMap::Release(v.drive); // the user adds it through the dialog
    QTemporaryDir dir;
    QFile junk(dir.filePath(QStringLiteral("junk.img")));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(65536, '\x5A'));
    junk.close();
    QString pick;
    TForm2::SetImagePicker([&pick] { return pick; });
    Form1->btn1Click();
    const int before = Form2->lv1->count();
    QVERIFY(Form2->btnAddImage->isVisible());
    QCOMPARE(Form2->btnAddImage->text(), QStringLiteral("添加映像文件…"));

    pick = v.image->path();
    QTest::mouseClick(Form2->btnAddImage, Qt::LeftButton);
    const QString drive = platform::DriveMap::Assign(v.image->path());
    drives_.push_back(drive);
    QCOMPARE(Form2->lv1->count(), before + 1);
    QListWidgetItem* item = Form2->lv1->findItems(drive + QStringLiteral("本地磁盘"), Qt::MatchExactly).value(0);
    QVERIFY(item);
    QCOMPARE(item->toolTip(), v.image->path());
    QVERIFY(boxes_.shown.empty());
    item->setCheckState(Qt::Checked);

    pick = junk.fileName(); // not FAT32: said, and the check made before stays
    QTest::mouseClick(Form2->btnAddImage, Qt::LeftButton);
    drives_.push_back(platform::DriveMap::Assign(junk.fileName()));
    QCOMPARE(boxes_.shown.back().text, QStringLiteral("该映像文件不是FAT32卷：") + junk.fileName());
    QCOMPARE(Form2->lv1->findItems(drive + QStringLiteral("本地磁盘"), Qt::MatchExactly).value(0)->checkState(), Qt::Checked);

    pick = dir.filePath(QStringLiteral("missing.img"));
    QTest::mouseClick(Form2->btnAddImage, Qt::LeftButton);
    QCOMPARE(boxes_.shown.back().text, QStringLiteral("无法打开该映像文件：") + pick);

    pick.clear(); // a cancelled file dialog does nothing
    const std::size_t shown = boxes_.shown.size();
    QTest::mouseClick(Form2->btnAddImage, Qt::LeftButton);
    QCOMPARE(boxes_.shown.size(), shown);

    // A later Start lists the image again.
    Form1->btn1Click();
    QVERIFY(!Form2->lv1->findItems(drive + QStringLiteral("本地磁盘"), Qt::MatchExactly).isEmpty());
    TForm2::SetImagePicker({});
}

namespace {
class LockedDrives : public platform::DriveLayer {
public:
    std::uint32_t LogicalDrives() override { return 0b1100; }
    int TypeOfDrive(const QString&) override { return platform::DRIVE_REMOVABLE; }
    bool VolumeLabel(const QString&, QByteArray&) override { return false; }
    platform::BootRead ReadBootSector(const QString&, std::uint8_t*) override { return platform::BootRead::PermissionDenied; }
    bool QueryStorageProperty(const QString&, std::uint8_t*) override { return false; }
};
} // namespace

void TestWindow::permissionNote()
{
    LockedDrives locked;
    platform::SetDrivesForTesting(&locked);
    Form1->btn1Click();
    platform::SetDrivesForTesting(nullptr);
    QCOMPARE(Form2->lv1->count(), 0);
    QCOMPARE(Form2->Instruction(), QStringLiteral("请勾选要修复的盘符：（有2个卷因权限不足无法读取，请以root身份运行）"));
}

void TestWindow::closingDuringAJob_data()
{
    QTest::addColumn<QString>("when");
    QTest::newRow("at the backup question") << QStringLiteral("question");
    QTest::newRow("during the scan") << QStringLiteral("scan");
}

void TestWindow::closingDuringAJob()
{
    QFETCH(QString, when);
    // The program itself, in a process of its own: it must end at once with 0, print nothing, and leave the
    // root cluster either as it was or wholly cleared.
    QTemporaryDir dir;
    ImageRecipe recipe = Tree();
    if (when == QLatin1String("scan"))
        recipe.sizeKiB = 4 * 1024 * 1024; // long enough a scan to close the window in
    auto img = FatImage::Make(dir.filePath(QStringLiteral("v.img")), recipe);
    QVERIFY(img);
    img->GarbageRoot(8);
    const QByteArray root = img->RootCluster();
    const QByteArray outside = img->DigestOutsideRoot();
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ROOTWELL_CLOSE_DURING_JOB"), when);
    env.insert(QStringLiteral("ROOTWELL_IMAGE"), img->path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
    p.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    p.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    // Nothing may be printed but what the offscreen platform says of itself.
    QByteArray err;
    for (const QByteArray& line : p.readAllStandardError().split('\n'))
        if (!line.trimmed().isEmpty() && !IsPlatformNote(QString::fromUtf8(line)))
            err += line + '\n';
    QVERIFY2(err.isEmpty(), err.constData());
    QVERIFY(p.readAllStandardOutput().contains("closed"));
    QVERIFY(t.elapsed() < 20000);
    const QByteArray after = img->RootCluster();
    QVERIFY(after == root || after == QByteArray(root.size(), '\0'));
    QCOMPARE(img->DigestOutsideRoot(), outside);
}

// In the child process: the program, whose window is closed in the middle of a job.
static int CloseDuringJob(int argc, char** argv)
{
    SetForumUrlForTesting(QUrl(QStringLiteral("about:blank")));
    const QString when = qEnvironmentVariable("ROOTWELL_CLOSE_DURING_JOB");
    const QString image = qEnvironmentVariable("ROOTWELL_IMAGE");
    return RunRootwell(argc, argv, [when, image](TForm1& window) {
        SetMessageBoxFunction([&window, when](const QString&, const QString&, unsigned flags) {
            if (when == QLatin1String("question")) {
                std::puts("closed");
                std::fflush(stdout);
                window.close();
            }
            return (flags & mb::ButtonsMask) == mb::YesNo ? mb::IdNo : mb::IdOk;
        });
        platform::DriveMap::Assign(image);
        window.btn1Click();
        Form2->lv1->item(0)->setCheckState(Qt::Checked);
        Form2->btn1Click();
        if (when == QLatin1String("scan")) {
            auto* poll = new QTimer(&window);
            QObject::connect(poll, &QTimer::timeout, &window, [&window] {
                if (window.ResultCount() > 0) {
                    std::puts("closed");
                    std::fflush(stdout);
                    window.close();
                }
            });
            poll->start(1);
        }
    });
}

int main(int argc, char** argv)
{
    QuietPlatformNotes();
    if (qEnvironmentVariableIsSet("ROOTWELL_CLOSE_DURING_JOB"))
        return CloseDuringJob(argc, argv);
    PrepareBrowserEngine();
    SetForumUrlForTesting(QUrl(QStringLiteral("about:blank"))); // no forum host is looked up here
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Rootwell"));
    TestWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_window.moc"
