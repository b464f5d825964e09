// rootwell-cli as a user runs it: exit codes, what it prints, and what it leaves on the volume.
#include "rebuild/OperationLog.h"
#include "support/FatImage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <csignal>
#include <unistd.h>

namespace {
QString Cli() { return qEnvironmentVariable("ROOTWELL_CLI"); }

ProcessResult RunCli(const QStringList& arguments) { return RunProgram(Cli(), arguments); }

ImageRecipe TwoDirectories()
{
    ImageRecipe recipe;
    recipe.sectorsPerCluster = 8;
    recipe.directories = {QStringLiteral("MUSIC"), QStringLiteral("MUSIC/LIVE")};
    recipe.files = {{QStringLiteral("MUSIC/LIVE/SET.TXT"), QByteArray("encore\n")}};
    return recipe;
}

QStringList Lines(const QByteArray& out) { return QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts); }

// The log lines without their time stamps, and the row lines, in the order printed.
QStringList Texts(const QByteArray& out)
{
    QStringList texts;
    for (const QString& line : Lines(out)) {
        const qsizetype at = line.indexOf(QStringLiteral("] 操作:"));
        texts << (line.startsWith(QStringLiteral("时间:[")) && at > 0 ? line.mid(at) : line);
    }
    return texts;
}
} // namespace

class TestCli : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY2(QFile::exists(Cli()), "ROOTWELL_CLI names the built rootwell-cli"); }
    void repairsADamagedImage();
    void backupOption();
    void healthyImageExitsThree();
    void dryRunChangesNothing();
    void failuresExitOne();
    void asksOnTheTerminalAndShowsProgress();
    void interruptStopsTheScan();
    void secondInterruptQuits();
    void listsTheVolumes();
    void usageErrors_data();
    void usageErrors();
    void help();
};

void TestCli::repairsADamagedImage()
{
    QTemporaryDir dir;
    const auto img = FatImage::Make(dir.filePath(QStringLiteral("stick.img")), TwoDirectories());
    QVERIFY(img);
    img->GarbageRoot(2);
    const QByteArray outside = img->DigestOutsideRoot();
    const ProcessResult r = RunCli({QStringLiteral("--no-backup"), img->path()});
    QCOMPARE(r.exitCode, 0);
    const QStringList texts = Texts(r.out);
    QCOMPARE(texts.size(), 15); // 13 log lines and 2 rows
    QCOMPARE(texts.first(), oplog::A1(QStringLiteral("C:")));
    QCOMPARE(texts.last(), oplog::F2());
    const QString dataStart = QString::number(img->dataStartSector());
    QCOMPARE(texts[10], QStringLiteral("1\t2E\t%1\t3\t0000\t0003").arg(img->dataStartSector() + 8));
    QCOMPARE(texts[11], QStringLiteral("2\t2E\t%1\t4\t0000\t0004").arg(img->dataStartSector() + 16));
    QCOMPARE(texts[12], oplog::E2(2));
    QVERIFY(QString::fromUtf8(r.err).contains(QStringLiteral("[是否备份] 建议您备份当前根目录内容")));
    QVERIFY(!r.err.contains('\r')); // no progress bar when standard error is no terminal
    QCOMPARE(img->List(QStringLiteral("::/")), QStringList({QStringLiteral("KVB0"), QStringLiteral("KVB1")}));
    QCOMPARE(img->ReadFile(QStringLiteral("::/KVB1/SET.TXT")), std::optional(QByteArray("encore\n")));
    QCOMPARE(img->DigestOutsideRoot(), outside);
}

void TestCli::backupOption()
{
    QTemporaryDir dir;
    const auto img = FatImage::Make(dir.filePath(QStringLiteral("stick.img")), TwoDirectories());
    QVERIFY(img);
    img->GarbageRoot(4);
    const QByteArray oldRoot = img->RootCluster();
    const ProcessResult r = RunCli({QStringLiteral("--backup"), dir.filePath(QStringLiteral("old-root")), img->path()});
    QCOMPARE(r.exitCode, 0);
    const QString file = dir.filePath(QStringLiteral("old-root根目录所在扇区")) + QString::number(img->dataStartSector());
    QVERIFY(Texts(r.out).contains(oplog::D2(file)));
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), oldRoot);
}

void TestCli::healthyImageExitsThree()
{
    QTemporaryDir dir;
    const auto img = FatImage::Make(dir.filePath(QStringLiteral("stick.img")), TwoDirectories());
    QVERIFY(img);
    const QByteArray before = img->Digest();
    const ProcessResult r = RunCli({QStringLiteral("--no-backup"), img->path()});
    QCOMPARE(r.exitCode, 3);
    QCOMPARE(Texts(r.out).last(), oplog::C2());
    QVERIFY(QString::fromUtf8(r.err).contains(QStringLiteral("[根目录正常] 当前根目录正常您不必修复！")));
    QCOMPARE(img->Digest(), before);
}

void TestCli::dryRunChangesNothing()
{
    QTemporaryDir dir;
    const auto img = FatImage::Make(dir.filePath(QStringLiteral("stick.img")), TwoDirectories());
    QVERIFY(img);
    img->ZeroRoot();
    const QByteArray before = img->Digest();
    const ProcessResult r = RunCli({QStringLiteral("--dry-run"), img->path()}); // no backup answer needed
    QCOMPARE(r.exitCode, 0);
    const QStringList texts = Texts(r.out);
    QCOMPARE(texts.filter(QStringLiteral("\t2E\t")).size(), 2);
    QCOMPARE(texts.last(), oplog::F1());
    QVERIFY(texts.filter(QStringLiteral("清空根目录")).isEmpty());
    QCOMPARE(img->Digest(), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({QStringLiteral("stick.img")}));
}

void TestCli::failuresExitOne()
{
    QTemporaryDir dir;
    // Not a FAT32 volume: refused before anything is written.
    QFile junk(dir.filePath(QStringLiteral("junk.img")));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(1 << 20, '\x42'));
    junk.close();
    ProcessResult r = RunCli({QStringLiteral("--no-backup"), junk.fileName()});
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(Texts(r.out).last(), oplog::Unsupported(QStringLiteral("不是FAT32卷")));
    QVERIFY(QString::fromUtf8(r.err).contains(QStringLiteral("[不支持的卷]")));
    // No subdirectory at all.
    const auto img = FatImage::Make(dir.filePath(QStringLiteral("empty.img")), ImageRecipe{});
    QVERIFY(img);
    img->ZeroRoot();
    r = RunCli({QStringLiteral("--no-backup"), img->path()});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(QString::fromUtf8(r.err).contains(QStringLiteral("[出错了哟~~]")));
    // Nothing there.
    r = RunCli({QStringLiteral("--no-backup"), dir.filePath(QStringLiteral("missing.img"))});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("missing.img"));
}

void TestCli::asksOnTheTerminalAndShowsProgress()
{
    if (QStandardPaths::findExecutable(QStringLiteral("script")).isEmpty())
        QSKIP("script(1) is not installed");
    QTemporaryDir dir;
    const auto img = FatImage::Make(dir.filePath(QStringLiteral("stick.img")), TwoDirectories());
    QVERIFY(img);
    img->ZeroRoot();
    const QString backup = dir.filePath(QStringLiteral("asked"));
    // script(1) gives the program a terminal and types the answers into it.
    const ProcessResult r = RunProgram(QStringLiteral("script"),
                                       {QStringLiteral("-qec"), Cli() + QStringLiteral(" ") + img->path(), QStringLiteral("/dev/null")},
                                       "y\n" + backup.toUtf8() + "\n");
    QCOMPARE(r.exitCode, 0);
    const QString out = QString::fromUtf8(r.out);
    QVERIFY(out.contains(QStringLiteral("Yes or No? [y/N] ")));
    QVERIFY(out.contains(QStringLiteral("Backup file name: ")));
    QVERIFY(QFile::exists(backup + QStringLiteral("根目录所在扇区") + QString::number(img->dataStartSector())));
    // The bar, while the scan runs: between its first log line and its last.
    const qsizetype scanStart = out.indexOf(oplog::E1()), scanEnd = out.indexOf(QStringLiteral("发现子目录数量为"));
    const qsizetype bar = out.indexOf(QStringLiteral("%\r"));
    QVERIFY(scanStart >= 0 && bar > scanStart && bar < scanEnd);
    QCOMPARE(out.count(QRegularExpression(QStringLiteral("\\] +\\d+%"))), out.mid(scanStart, scanEnd - scanStart).count(QRegularExpression(QStringLiteral("\\] +\\d+%"))));
    QCOMPARE(img->List(QStringLiteral("::/")).size(), 2);
}

namespace {
// A 4 GiB image, holes but for two directories at the start and a third near the end: a scan takes long
// enough to be interrupted, and an interrupted one misses the third.
std::optional<FatImage> LongScan(const QTemporaryDir& dir)
{
    ImageRecipe recipe;
    recipe.sectorsPerCluster = 8;
    recipe.sizeKiB = 4 * 1024 * 1024;
    recipe.directories = {QStringLiteral("EARLY1"), QStringLiteral("EARLY2")};
    auto img = FatImage::Make(dir.filePath(QStringLiteral("long.img")), recipe);
    if (!img)
        return img;
    img->ZeroRoot();
    const fat::BootSector bs = img->boot();
    const std::uint32_t last = (bs.TotSec32 - img->dataStartSector()) / 8 - 10 + 2;
    QByteArray cluster(4096, '\0');
    cluster.replace(0, 11, ".          ");
    cluster.replace(32, 11, "..         ");
    fat::PutLe16(reinterpret_cast<std::uint8_t*>(cluster.data()) + 26, std::uint16_t(last));
    fat::PutLe16(reinterpret_cast<std::uint8_t*>(cluster.data()) + 20, std::uint16_t(last >> 16));
    img->Write(img->rootOffset() + std::uint64_t(last - 2) * 4096, cluster);
    return img;
}

// Starts the program and waits until its scan has begun.
bool StartScan(QProcess& p, const QString& image)
{
    p.start(Cli(), {QStringLiteral("--no-backup"), image});
    QByteArray seen;
    while (!seen.contains(oplog::E1().toUtf8()) && p.waitForReadyRead(20000))
        seen += p.peek(1 << 20);
    return seen.contains(oplog::E1().toUtf8());
}
} // namespace

void TestCli::interruptStopsTheScan()
{
    QTemporaryDir dir;
    const auto img = LongScan(dir);
    QVERIFY(img);
    QProcess p;
    QVERIFY(StartScan(p, img->path()));
    ::kill(pid_t(p.processId()), SIGINT);
    QVERIFY(p.waitForFinished(60000));
    const QStringList texts = Texts(p.readAllStandardOutput());
    const QStringList rows = texts.filter(QStringLiteral("\t2E\t"));
    QVERIFY(rows.size() <= 2); // the third directory lies past where the scan stopped
    QVERIFY(texts.contains(oplog::E2(int(rows.size()))));
    QVERIFY(p.readAllStandardError().contains("Stop requested"));
    QCOMPARE(p.exitCode(), rows.isEmpty() ? 1 : 0);
    QCOMPARE(img->List(QStringLiteral("::/")).size(), rows.size());
}

void TestCli::secondInterruptQuits()
{
    // Ctrl+C typed twice at the backup question, on a terminal that script(1) provides: the first is the
    // Stop button, the second ends the program before anything is written.
    if (QStandardPaths::findExecutable(QStringLiteral("script")).isEmpty())
        QSKIP("script(1) is not installed");
    QTemporaryDir dir;
    const auto img = FatImage::Make(dir.filePath(QStringLiteral("stick.img")), TwoDirectories());
    QVERIFY(img);
    img->ZeroRoot();
    const QByteArray before = img->Digest();
    QProcess p;
    p.start(QStringLiteral("script"), {QStringLiteral("-qec"), Cli() + QStringLiteral(" ") + img->path(), QStringLiteral("/dev/null")});
    auto waitFor = [&p](const QByteArray& text) {
        QByteArray seen;
        while (!seen.contains(text) && p.waitForReadyRead(20000))
            seen += p.readAllStandardOutput();
        return seen.contains(text);
    };
    QVERIFY(waitFor("Yes or No?"));
    p.write("\x03");
    QVERIFY(waitFor("Stop requested"));
    p.write("\x03");
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitCode(), 130);
    QCOMPARE(img->Digest(), before);
}

void TestCli::listsTheVolumes()
{
    if (::geteuid() != 0)
        QSKIP("loop devices need root");
    QTemporaryDir dir;
    const auto img = FatImage::Make(dir.filePath(QStringLiteral("stick.img")), TwoDirectories());
    QVERIFY(img);
    QVERIFY(RunProgram(QStringLiteral("mlabel"), {QStringLiteral("-i"), img->path(), QStringLiteral("::CLISTICK")}).exitCode == 0);
    const ProcessResult attach = RunProgram(QStringLiteral("losetup"), {QStringLiteral("-f"), QStringLiteral("--show"), img->path()});
    if (attach.exitCode != 0)
        QSKIP("no loop device can be made here");
    const QString device = QString::fromUtf8(attach.out).trimmed();
    const ProcessResult r = RunCli({QStringLiteral("--list")});
    RunProgram(QStringLiteral("losetup"), {QStringLiteral("-d"), device});
    QCOMPARE(r.exitCode, 0);
    const QStringList lines = Lines(r.out).filter(QStringLiteral("\t") + device);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(QRegularExpression(QStringLiteral("^[C-Z]:CLISTICK\t")).match(lines[0]).hasMatch(), qPrintable(lines[0]));
}

void TestCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no volume") << QStringList{QStringLiteral("--no-backup")};
    QTest::newRow("no answer and no terminal") << QStringList{QStringLiteral("x.img")};
    QTest::newRow("both answers") << QStringList{QStringLiteral("--no-backup"), QStringLiteral("--backup"), QStringLiteral("b"), QStringLiteral("x.img")};
    QTest::newRow("backup without a name") << QStringList{QStringLiteral("x.img"), QStringLiteral("--backup")};
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--force"), QStringLiteral("x.img")};
    QTest::newRow("list and a volume") << QStringList{QStringLiteral("--list"), QStringLiteral("x.img")};
    QTest::newRow("two volumes") << QStringList{QStringLiteral("--no-backup"), QStringLiteral("a.img"), QStringLiteral("b.img")};
}

void TestCli::usageErrors()
{
    QFETCH(QStringList, arguments);
    const ProcessResult r = RunCli(arguments);
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.out.isEmpty());
    QVERIFY(r.err.contains("Usage: rootwell-cli"));
}

void TestCli::help()
{
    const ProcessResult r = RunCli({QStringLiteral("--help")});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.contains("Exit status"));
    QVERIFY(r.err.isEmpty());
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
