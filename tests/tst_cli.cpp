// rootwell-cli as a user runs it: exit codes, what it prints, and what it leaves on the volume.
#include "rebuild/OperationLog.h"
#include "support/FatImage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
QString Cli() { return qEnvironmentVariable("ROOTWELL_CLI"); }

ProcessResult RunCli(const QStringList& arguments) { return RunProgram(Cli(), arguments); }

ImageSpec TwoDirectories()
{
    ImageSpec spec;
    spec.sectorsPerCluster = 8;
    spec.directories = {QStringLiteral("MUSIC"), QStringLiteral("MUSIC/LIVE")};
    spec.files = {{QStringLiteral("MUSIC/LIVE/SET.TXT"), QByteArray("encore\n")}};
    return spec;
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
    const auto img = FatImage::Make(dir.filePath(QStringLiteral("empty.img")), ImageSpec{});
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

void TestCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no volume") << QStringList{QStringLiteral("--no-backup")};
    QTest::newRow("no answer and no terminal") << QStringList{QStringLiteral("x.img")};
    QTest::newRow("both answers") << QStringList{QStringLiteral("--no-backup"), QStringLiteral("--backup"), QStringLiteral("b"), QStringLiteral("x.img")};
    QTest::newRow("backup without a name") << QStringList{QStringLiteral("x.img"), QStringLiteral("--backup")};
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--force"), QStringLiteral("x.img")};
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
