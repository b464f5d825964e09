// Whole rebuild jobs on FAT32 images made at test time, checked afterwards by mtools.
#include "platform/MountTable.h"
#include "rebuild/OperationLog.h"
#include "support/ScriptedOps.h"
#include "support/Volume.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QByteArray Content(int size, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, '\0');
    for (char& c : bytes)
        c = char(random.bounded(256));
    return bytes;
}

// Four directories at three depths, with files in them.
ImageRecipe Tree(int sectorSize, int sectorsPerCluster)
{
    ImageRecipe recipe;
    recipe.sectorSize = sectorSize;
    recipe.sectorsPerCluster = sectorsPerCluster;
    recipe.directories = {QStringLiteral("DOCS"), QStringLiteral("DOCS/Y2024"), QStringLiteral("DOCS/Y2024/DEEP"),
                        QStringLiteral("PHOTOS")};
    recipe.files = {{QStringLiteral("DOCS/Y2024/REPORT.TXT"), Content(9000, 1)},
                  {QStringLiteral("DOCS/Y2024/DEEP/NOTE.BIN"), Content(700, 2)},
                  {QStringLiteral("PHOTOS/IMG1.JPG"), Content(20000, 3)},
                  {QStringLiteral("TOP.TXT"), Content(100, 4)}};
    return recipe;
}

QStringList Texts(std::initializer_list<QString> texts) { return QStringList(texts); }

// The log of a job that ran through to a written root with n rows and no backup.
QStringList FullLog(const QString& drive, int rows)
{
    return Texts({oplog::A1(drive), oplog::A2(drive), oplog::B1(), oplog::B2(), oplog::C1(), oplog::C3(), oplog::D1(),
                  oplog::D3(), oplog::D4(), oplog::E1(), oplog::E2(rows), oplog::F1(), oplog::F2()});
}

QByteArray Zeros(std::uint32_t n) { return QByteArray(int(n), '\0'); }

// Finds the rebuilt directory (KVBn) that holds name.
std::optional<QString> FindRebuilt(const FatImage& image, const QString& name)
{
    for (const QString& top : image.List(QStringLiteral("::/")))
        if (image.List(QStringLiteral("::/") + top).contains(name))
            return top;
    return std::nullopt;
}
} // namespace

class TestRebuild : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { StopRequested = false; }
    void repairs_data();
    void repairs();
    void healthyRootIsLeftAlone();
    void backup_data();
    void backup();
    void existingBackupIsReplaced();
    void stopDuringScan();
    void stopWhileBackupQuestionIsOpen();
    void noDirectories();
    void rowsAgainstClusterCapacity_data();
    void rowsAgainstClusterCapacity();
    void refusals_data();
    void refusals();
    void mountedVolumeIsRefused();
    void truncatedImage();
    void rootBeyondTruncatedEnd();
    void gaugeOnTheLargestVolume();
    void failingWrite();
    void overALoopDevice_data();
    void overALoopDevice();
    void unmappedDrive();
    void replacedImageIsNotOpened();
    void dryRunWritesNothing();
};

void TestRebuild::repairs_data()
{
    QTest::addColumn<int>("sectorSize");
    QTest::addColumn<int>("sectorsPerCluster");
    QTest::addColumn<bool>("garbage");
    QTest::newRow("512 x 1, zeroed") << 512 << 1 << false;
    QTest::newRow("512 x 1, garbage") << 512 << 1 << true;
    QTest::newRow("512 x 8, zeroed") << 512 << 8 << false;
    QTest::newRow("512 x 8, garbage") << 512 << 8 << true;
    QTest::newRow("512 x 64, garbage") << 512 << 64 << true;
    QTest::newRow("4096 x 1, zeroed") << 4096 << 1 << false;
    QTest::newRow("4096 x 1, garbage") << 4096 << 1 << true;
}

void TestRebuild::repairs()
{
    QFETCH(int, sectorSize);
    QFETCH(int, sectorsPerCluster);
    QFETCH(bool, garbage);
    TestVolume v = MakeVolume(Tree(sectorSize, sectorsPerCluster));
    QVERIFY(v.ok());
    const FatImage& img = *v.image;
    if (garbage)
        img.GarbageRoot(7);
    else
        img.ZeroRoot();
    const QByteArray outside = img.DigestOutsideRoot();
    const fat::BootSector bs = img.boot();

    ScriptedOps ops;
    const auto outcome = RunJob(v.drive, ops);
    QCOMPARE(outcome, std::optional(JobOutcome::RootWritten));
    QCOMPARE(ops.LogTexts(), FullLog(v.drive, 4));
    QVERIFY(ops.boxes.size() == 1 && ops.boxes[0].caption == boxes::BackupCaption());
    QCOMPARE(ops.boxes[0].flags, 0x44u);
    QCOMPARE(ops.status[0], QStringLiteral("就绪"));
    QCOMPARE(ops.status[1], QStringLiteral("子目录数量:4"));
    QCOMPARE(ops.gaugeResets, (std::vector<int>{sectorSize / 32 - 1, int(bs.TotSec32) - 128, 3}));

    // The rows: in cluster order, each sector where its cluster starts.
    QCOMPARE(int(ops.rows.size()), 4);
    for (int k = 0; k < 4; ++k) {
        const ResultRow& r = ops.rows[std::size_t(k)];
        const std::uint32_t cluster = r.cluster.toUInt();
        QCOMPARE(r.sn, QString::number(k + 1));
        QCOMPARE(r.type, QStringLiteral("2E"));
        QCOMPARE(r.sector.toULongLong(), img.dataStartSector() + quint64(cluster - 2) * sectorsPerCluster);
        QCOMPARE(r.clusterHi, QStringLiteral("%1").arg(cluster >> 16, 4, 16, QLatin1Char('0')).toUpper());
        QCOMPARE(r.clusterLo, QStringLiteral("%1").arg(cluster & 0xFFFF, 4, 16, QLatin1Char('0')).toUpper());
    }

    // Only the root cluster changed, and it holds exactly the four new entries.
    QCOMPARE(img.DigestOutsideRoot(), outside);
    const QByteArray root = img.RootCluster();
    for (int k = 0; k < 4; ++k) {
        const fat::DirEntry e = fat::DecodeDirEntry(reinterpret_cast<const std::uint8_t*>(root.constData()), std::size_t(k) * 32);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(e.Name), 11), (QStringLiteral("KVB%1").arg(k).leftJustified(11)).toLatin1());
        QCOMPARE(e.Attr, 0x10);
        QCOMPARE(fat::FirstCluster(e.FstClusHI, e.FstClusLO), ops.rows[std::size_t(k)].cluster.toUInt());
    }
    QCOMPARE(root.mid(128), Zeros(img.clusterBytes() - 128));

    // An independent reader finds every directory again, and the files in them.
    QCOMPARE(img.List(QStringLiteral("::/")),
             Texts({QStringLiteral("KVB0"), QStringLiteral("KVB1"), QStringLiteral("KVB2"), QStringLiteral("KVB3")}));
    const auto year = FindRebuilt(img, QStringLiteral("REPORT.TXT"));
    QVERIFY(year);
    QCOMPARE(img.ReadFile(QStringLiteral("::/") + *year + QStringLiteral("/REPORT.TXT")), std::optional(Content(9000, 1)));
    const auto deep = FindRebuilt(img, QStringLiteral("NOTE.BIN"));
    QVERIFY(deep);
    QCOMPARE(img.ReadFile(QStringLiteral("::/") + *deep + QStringLiteral("/NOTE.BIN")), std::optional(Content(700, 2)));
    const auto photos = FindRebuilt(img, QStringLiteral("IMG1.JPG"));
    QVERIFY(photos);
    QCOMPARE(img.ReadFile(QStringLiteral("::/") + *photos + QStringLiteral("/IMG1.JPG")), std::optional(Content(20000, 3)));
}

void TestRebuild::healthyRootIsLeftAlone()
{
    TestVolume v = MakeVolume(Tree(512, 8));
    QVERIFY(v.ok());
    const QByteArray before = v.image->Digest();
    ScriptedOps ops;
    QCOMPARE(RunJob(v.drive, ops), std::optional(JobOutcome::RootSound));
    QCOMPARE(ops.LogTexts(), Texts({oplog::A1(v.drive), oplog::A2(v.drive), oplog::B1(), oplog::B2(), oplog::C1(), oplog::C2()}));
    QCOMPARE(ops.BoxCaptions(), Texts({boxes::SoundCaption()}));
    QCOMPARE(ops.boxes[0].text, QStringLiteral("当前根目录正常您不必修复！"));
    QCOMPARE(ops.boxes[0].flags, 0x30u);
    QCOMPARE(ops.status[0], QStringLiteral("就绪"));
    QCOMPARE(ops.gaugeResets, std::vector<int>{15});
    QCOMPARE(v.image->Digest(), before);
}

void TestRebuild::backup_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("name"); // relative to the test folder; "-" for a cancelled dialog
    QTest::addColumn<bool>("written");  // a backup file is expected
    QTest::addColumn<bool>("cleared");  // the job goes on to clear and rebuild
    QTest::newRow("No") << mb::IdNo << QString() << false << true;
    QTest::newRow("Yes, a file name") << mb::IdYes << QStringLiteral("root.bin") << true << true;
    QTest::newRow("Yes, a cancelled dialog") << mb::IdYes << QStringLiteral("-") << false << true;
    QTest::newRow("Yes, an empty name") << mb::IdYes << QString() << false << true;
    QTest::newRow("Yes, a folder that does not exist") << mb::IdYes << QStringLiteral("missing/root.bin") << false << false;
}

void TestRebuild::backup()
{
    QFETCH(int, answer);
    QFETCH(QString, name);
    QFETCH(bool, written);
    QFETCH(bool, cleared);
    TestVolume v = MakeVolume(Tree(512, 8));
    QVERIFY(v.ok());
    const FatImage& img = *v.image;
    img.GarbageRoot(3);
    const QByteArray oldRoot = img.RootCluster();
    const QByteArray before = img.Digest();

    ScriptedOps ops;
    ops.backupAnswer = answer;
    if (name != QLatin1String("-"))
        ops.backupName = name.isEmpty() ? name : v.file(name);
    const auto outcome = RunJob(v.drive, ops);
    const QString file = v.file(name) + QStringLiteral("根目录所在扇区") + QString::number(img.dataStartSector());

    QCOMPARE(ops.nameRequests, answer == mb::IdYes ? 1 : 0);
    const bool noName = answer == mb::IdYes && (name == QLatin1String("-") || name.isEmpty());
    QCOMPARE(ops.BoxCaptions().contains(boxes::NoNameCaption()), noName);
    QCOMPARE(QFile::exists(file), written);
    if (written) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), oldRoot);
        QVERIFY(ops.LogTexts().contains(oplog::D2(file)));
    }
    QCOMPARE(QDir(v.dir->path()).entryList(QDir::Files), written ? Texts({QFileInfo(file).fileName(), QStringLiteral("volume.img")})
                                                                 : Texts({QStringLiteral("volume.img")}));
    if (cleared) {
        QCOMPARE(outcome, std::optional(JobOutcome::RootWritten));
        QVERIFY(ops.LogTexts().contains(oplog::D4()));
        QCOMPARE(img.List(QStringLiteral("::/")).size(), 4);
    } else {
        QCOMPARE(outcome, std::optional(JobOutcome::Failed));
        QCOMPARE(ops.LogTexts().last(), oplog::D1());
        QCOMPARE(ops.status[0], QStringLiteral("就绪"));
        QCOMPARE(img.Digest(), before);
    }
}

void TestRebuild::existingBackupIsReplaced()
{
    TestVolume v = MakeVolume(Tree(512, 1));
    QVERIFY(v.ok());
    v.image->ZeroRoot();
    const QString file = v.file(QStringLiteral("root.bin根目录所在扇区")) + QString::number(v.image->dataStartSector());
    {
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, 'x'));
    }
    ScriptedOps ops;
    ops.backupAnswer = mb::IdYes;
    ops.backupName = v.file(QStringLiteral("root.bin"));
    QCOMPARE(RunJob(v.drive, ops), std::optional(JobOutcome::RootWritten));
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), Zeros(512));
}

void TestRebuild::stopDuringScan()
{
    // Stop pressed while the first row is appended. The scan may have found a few more rows by then (they
    // are on their way to the table), but never more than it lets wait at once, and it ends at its next poll.
    ImageRecipe recipe;
    recipe.sectorsPerCluster = 8;
    for (int i = 0; i < 100; ++i)
        recipe.directories << QStringLiteral("D%1").arg(i);
    TestVolume v = MakeVolume(recipe);
    QVERIFY(v.ok());
    v.image->ZeroRoot();
    ScriptedOps ops;
    ops.onRowAdded = [](int rows) {
        if (rows == 1)
            StopRequested = true;
    };
    QCOMPARE(RunJob(v.drive, ops), std::optional(JobOutcome::RootWritten));
    const int rows = int(ops.rows.size());
    QVERIFY2(rows >= 1 && rows <= 65, qPrintable(QString::number(rows)));
    QCOMPARE(ops.LogTexts(), FullLog(v.drive, rows));
    QCOMPARE(ops.status[1], QStringLiteral("子目录数量:%1").arg(rows));
    QCOMPARE(v.image->List(QStringLiteral("::/")).size(), rows);
    QCOMPARE(v.image->List(QStringLiteral("::/KVB0")), QStringList()); // D0, empty
}

void TestRebuild::stopWhileBackupQuestionIsOpen()
{
    TestVolume v = MakeVolume(Tree(512, 8));
    QVERIFY(v.ok());
    v.image->GarbageRoot(5);
    ScriptedOps ops;
    ops.onBackupQuestion = [] { StopRequested = true; };
    QCOMPARE(RunJob(v.drive, ops), std::optional(JobOutcome::Failed));
    QCOMPARE(ops.LogTexts().mid(6), Texts({oplog::D1(), oplog::D3(), oplog::D4(), oplog::E1(), oplog::E2(0), oplog::F1()}));
    QCOMPARE(ops.BoxCaptions(), Texts({boxes::BackupCaption(), boxes::NoRowsCaption()}));
    QCOMPARE(v.image->RootCluster(), Zeros(v.image->clusterBytes()));
}

void TestRebuild::noDirectories()
{
    ImageRecipe recipe;
    recipe.files = {{QStringLiteral("ONLY.TXT"), Content(3000, 9)}};
    TestVolume v = MakeVolume(recipe);
    QVERIFY(v.ok());
    v.image->GarbageRoot(11);
    const QByteArray outside = v.image->DigestOutsideRoot();
    ScriptedOps ops;
    QCOMPARE(RunJob(v.drive, ops), std::optional(JobOutcome::Failed));
    QCOMPARE(ops.LogTexts().mid(9), Texts({oplog::E1(), oplog::E2(0), oplog::F1()}));
    QCOMPARE(ops.BoxCaptions(), Texts({boxes::BackupCaption(), boxes::NoRowsCaption()}));
    QCOMPARE(ops.boxes[1].text, QStringLiteral("子目录数量为0，程序将退出!"));
    QCOMPARE(ops.status[1], QString()); // never set when nothing is found
    QCOMPARE(v.image->RootCluster(), Zeros(512));
    QCOMPARE(v.image->DigestOutsideRoot(), outside);
}

void TestRebuild::rowsAgainstClusterCapacity_data()
{
    QTest::addColumn<int>("directories");
    QTest::newRow("16 rows fill a 512-byte cluster") << 16;
    QTest::newRow("17 rows do not fit") << 17;
}

void TestRebuild::rowsAgainstClusterCapacity()
{
    QFETCH(int, directories);
    ImageRecipe recipe;
    for (int i = 0; i < directories; ++i)
        recipe.directories << QStringLiteral("D%1").arg(i);
    TestVolume v = MakeVolume(recipe);
    QVERIFY(v.ok());
    v.image->ZeroRoot();
    ScriptedOps ops;
    const auto outcome = RunJob(v.drive, ops);
    QCOMPARE(int(ops.rows.size()), directories);
    if (directories == 16) {
        QCOMPARE(outcome, std::optional(JobOutcome::RootWritten));
        QCOMPARE(v.image->List(QStringLiteral("::/")).size(), 16);
        QCOMPARE(v.image->RootCluster().mid(15 * 32, 4), QByteArray("KVB1"));
        QCOMPARE(v.image->RootCluster().mid(15 * 32 + 4, 1), QByteArray("5"));
    } else {
        QCOMPARE(outcome, std::optional(JobOutcome::Failed));
        QCOMPARE(ops.LogTexts().last(), oplog::F1());
        QCOMPARE(ops.BoxCaptions().last(), QStringLiteral("子目录数量超值"));
        QCOMPARE(ops.boxes.back().text, QStringLiteral("子目录内容过多，请手工添加，或者联系开发人员QQ:") + QLatin1String(kContactNumber)
                                            + QStringLiteral("！"));
        QCOMPARE(v.image->RootCluster(), Zeros(512));
    }
}

void TestRebuild::refusals_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    QTest::newRow("all-zero boot sector") << 0 << QByteArray(512, '\0') << QStringLiteral("不是FAT32卷");
    QTest::newRow("FAT16 label") << 82 << QByteArray("FAT16") << QStringLiteral("不是FAT32卷");
    QTest::newRow("16-byte sectors") << 11 << QByteArray::fromHex("1000") << QStringLiteral("每扇区字节数为16");
    QTest::newRow("no sectors per cluster") << 13 << QByteArray::fromHex("00") << QStringLiteral("每簇扇区数为0");
    QTest::newRow("3 sectors per cluster") << 13 << QByteArray::fromHex("03") << QStringLiteral("每簇扇区数为3");
    QTest::newRow("one FAT") << 16 << QByteArray::fromHex("01") << QStringLiteral("FAT表个数为1");
    QTest::newRow("root at cluster 9") << 44 << QByteArray::fromHex("09000000") << QStringLiteral("根目录起始簇为9");
    QTest::newRow("volume ends before its data") << 32 << QByteArray::fromHex("00010000")
                                                << QStringLiteral("数据区起始扇区超出卷大小");
}

void TestRebuild::refusals()
{
    QFETCH(int, offset);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    TestVolume v = MakeVolume(Tree(512, 1));
    QVERIFY(v.ok());
    v.image->ZeroRoot();
    v.image->Write(std::uint64_t(offset), bytes);
    QVERIFY(v.Remap());
    const QByteArray before = v.image->Digest();
    ScriptedOps ops;
    QCOMPARE(RunJob(v.drive, ops), std::optional(JobOutcome::Failed));
    QCOMPARE(ops.LogTexts(), Texts({oplog::A1(v.drive), oplog::A2(v.drive), oplog::B1(), oplog::B2(), oplog::Unsupported(reason)}));
    QCOMPARE(ops.LogTexts().last(), QStringLiteral("] 操作:检查DBR参数  结果：不支持,程序将退出! 原因：") + reason);
    QCOMPARE(ops.BoxCaptions(), Texts({QStringLiteral("不支持的卷")}));
    QCOMPARE(ops.boxes[0].text, QStringLiteral("该卷的参数不受支持，未写入任何数据。原因：") + reason);
    QCOMPARE(ops.boxes[0].flags, 0x30u);
    QCOMPARE(ops.status[0], QStringLiteral("就绪"));
    QCOMPARE(v.image->Digest(), before);
}

void TestRebuild::mountedVolumeIsRefused()
{
    TestVolume v = MakeVolume(Tree(512, 1));
    QVERIFY(v.ok());
    v.image->ZeroRoot();
    const QByteArray before = v.image->Digest();
    // A loop device backed by the image, mounted at a path with a blank in it.
    QTemporaryDir sys;
    QVERIFY(QDir(sys.path()).mkpath(QStringLiteral("block/loop3/loop")));
    auto put = [&](const QString& rel, const QByteArray& text) {
        QFile f(sys.filePath(rel));
        return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
    };
    QVERIFY(put(QStringLiteral("block/loop3/loop/backing_file"), v.image->path().toUtf8() + '\n'));
    QVERIFY(put(QStringLiteral("block/loop3/dev"), "7:3\n"));
    QVERIFY(put(QStringLiteral("mountinfo"), "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                             "97 22 7:3 / /media/user/MY\\040STICK rw - vfat /dev/loop3 rw\n"));
    platform::SetMountSourcesForTesting(sys.filePath(QStringLiteral("mountinfo")), sys.filePath(QStringLiteral("block")));
    ScriptedOps ops;
    const auto outcome = RunJob(v.drive, ops);
    platform::SetMountSourcesForTesting(QStringLiteral("/proc/self/mountinfo"), QStringLiteral("/sys/block"));
    QCOMPARE(outcome, std::optional(JobOutcome::Failed));
    const QString where = QStringLiteral("/media/user/MY STICK");
    QCOMPARE(ops.LogTexts().mid(5), Texts({oplog::C3(), QStringLiteral("] 操作:检查挂载状态  结果：已挂载于") + where + QStringLiteral(",程序将退出!")}));
    QCOMPARE(ops.BoxCaptions(), Texts({QStringLiteral("卷已挂载")}));
    QCOMPARE(ops.boxes[0].text, QStringLiteral("该卷已挂载于") + where + QStringLiteral("，请先卸载后再修复。未写入任何数据。"));
    QCOMPARE(v.image->Digest(), before);
}

void TestRebuild::truncatedImage()
{
    // The image ends halfway through its data area: what lies past the end reads as zeros.
    TestVolume v = MakeVolume(Tree(512, 1));
    QVERIFY(v.ok());
    v.image->ZeroRoot();
    const std::uint64_t half = v.image->rootOffset() + 512 * 20000;
    QVERIFY(::truncate(QFile::encodeName(v.image->path()).constData(), off_t(half)) == 0);
    QVERIFY(v.Remap());
    ScriptedOps ops;
    QCOMPARE(RunJob(v.drive, ops), std::optional(JobOutcome::RootWritten));
    QCOMPARE(int(ops.rows.size()), 4);
    QCOMPARE(QFileInfo(v.image->path()).size(), qint64(half)); // never grown
}

void TestRebuild::rootBeyondTruncatedEnd()
{
    // Cut inside the root cluster: clearing it would have to write past the end of the image.
    TestVolume v = MakeVolume(Tree(512, 8));
    QVERIFY(v.ok());
    v.image->ZeroRoot();
    const std::uint64_t cut = v.image->rootOffset() + 1024;
    QVERIFY(::truncate(QFile::encodeName(v.image->path()).constData(), off_t(cut)) == 0);
    QVERIFY(v.Remap());
    const QByteArray before = v.image->Digest();
    ScriptedOps ops;
    QCOMPARE(RunJob(v.drive, ops), std::optional(JobOutcome::Failed));
    QCOMPARE(ops.LogTexts().mid(6), Texts({oplog::D1(), oplog::D3()}));
    QCOMPARE(ops.status[0], QStringLiteral("就绪"));
    QCOMPARE(v.image->Digest(), before);
    QCOMPARE(QFileInfo(v.image->path()).size(), qint64(cut));
}

void TestRebuild::gaugeOnTheLargestVolume()
{
    // The boot sector claims 2^32 - 1 sectors (2 TiB): the scan's gauge range must still fit a signed
    // 32-bit gauge, and the image's real end must not make the scan crawl through 33 million empty chunks.
    TestVolume v = MakeVolume(Tree(512, 1));
    QVERIFY(v.ok());
    v.image->ZeroRoot();
    v.image->Write(32, QByteArray::fromHex("FFFFFFFF"));
    QVERIFY(v.Remap());
    ScriptedOps ops;
    QCOMPARE(RunJob(v.drive, ops), std::optional(JobOutcome::RootWritten));
    QCOMPARE(int(ops.rows.size()), 4);
    QCOMPARE(ops.gaugeResets.at(1), int((0xFFFFFFFFu - 128) >> 1));
    QVERIFY(ops.gaugeHighest <= ops.gaugeResets.at(1) + 64);
    QVERIFY(ops.gaugeHighest >= ops.gaugeResets.at(1) - 64);
}

void TestRebuild::failingWrite()
{
    TestVolume v = MakeVolume(Tree(512, 8));
    QVERIFY(v.ok());
    v.image->GarbageRoot(1);
    const QByteArray before = v.image->Digest();
    const QByteArray path = QFile::encodeName(v.image->path());
    // Root ignores permission bits; an immutable file refuses it too.
    const bool immutable = ::geteuid() == 0 && RunProgram(QStringLiteral("chattr"), {QStringLiteral("+i"), v.image->path()}).exitCode == 0;
    if (!immutable && (::geteuid() == 0 || ::chmod(path.constData(), 0444) != 0))
        QSKIP("cannot make the image read-only here");
    ScriptedOps ops;
    const auto outcome = RunJob(v.drive, ops);
    if (immutable)
        RunProgram(QStringLiteral("chattr"), {QStringLiteral("-i"), v.image->path()});
    QCOMPARE(outcome, std::optional(JobOutcome::Failed));
    QCOMPARE(ops.LogTexts().mid(6), Texts({oplog::D1(), oplog::D3()}));
    QCOMPARE(ops.status[0], QStringLiteral("就绪"));
    QCOMPARE(v.image->Digest(), before);
}

void TestRebuild::overALoopDevice_data()
{
    QTest::addColumn<int>("deviceSectorSize");
    QTest::newRow("512-byte device sectors: rebuilt") << 512;
    QTest::newRow("4096-byte device sectors: refused") << 4096;
}

void TestRebuild::overALoopDevice()
{
    // The whole job over a real block device: a loop device over the image, where the machine allows it.
    QFETCH(int, deviceSectorSize);
    if (::geteuid() != 0)
        QSKIP("loop devices need root");
    TestVolume v = MakeVolume(Tree(512, 8));
    QVERIFY(v.ok());
    v.image->ZeroRoot();
    const QByteArray outside = v.image->DigestOutsideRoot(), whole = v.image->Digest();
    const ProcessResult attach = RunProgram(QStringLiteral("losetup"), {QStringLiteral("-f"), QStringLiteral("--show"), QStringLiteral("--sector-size"),
                                                                      QString::number(deviceSectorSize), v.image->path()});
    if (attach.exitCode != 0)
        QSKIP("no loop device can be made here");
    const QString device = QString::fromUtf8(attach.out).trimmed();
    const QString drive = platform::DriveMap::Assign(device);
    ScriptedOps ops;
    const auto outcome = RunJob(drive, ops);
    platform::DriveMap::Release(drive);
    RunProgram(QStringLiteral("losetup"), {QStringLiteral("-d"), device});
    QVERIFY(!drive.isEmpty());
    if (deviceSectorSize == 512) {
        QCOMPARE(outcome, std::optional(JobOutcome::RootWritten));
        QCOMPARE(ops.LogTexts(), FullLog(drive, 4));
        QCOMPARE(v.image->List(QStringLiteral("::/")).size(), 4);
        QCOMPARE(v.image->DigestOutsideRoot(), outside);
    } else {
        QCOMPARE(outcome, std::optional(JobOutcome::Failed));
        QCOMPARE(ops.LogTexts().last(), oplog::Unsupported(QStringLiteral("每扇区字节数小于设备扇区大小")));
        QCOMPARE(v.image->Digest(), whole);
    }
}

void TestRebuild::unmappedDrive()
{
    ScriptedOps ops;
    QCOMPARE(RunJob(QStringLiteral("Q:"), ops), std::optional(JobOutcome::Failed));
    QCOMPARE(ops.LogTexts(), Texts({oplog::A1(QStringLiteral("Q:")), oplog::A3(QStringLiteral("Q:"))}));
    QCOMPARE(ops.LogTexts().last(), QStringLiteral("] 操作:加载逻辑盘Q:  结果：失败,程序将退出!"));
    QVERIFY(ops.boxes.empty());
    QCOMPARE(ops.status[0], QStringLiteral("就绪"));
}

void TestRebuild::replacedImageIsNotOpened()
{
    TestVolume v = MakeVolume(Tree(512, 1));
    QVERIFY(v.ok());
    // Another file now stands under the same name: the drive text must not open it.
    const QString path = v.image->path();
    QVERIFY(QFile::rename(path, path + QStringLiteral(".old")));
    QVERIFY(QFile::copy(path + QStringLiteral(".old"), path));
    ScriptedOps ops;
    QCOMPARE(RunJob(v.drive, ops), std::optional(JobOutcome::Failed));
    QCOMPARE(ops.LogTexts(), Texts({oplog::A1(v.drive), oplog::A3(v.drive)}));
}

void TestRebuild::dryRunWritesNothing()
{
    TestVolume v = MakeVolume(Tree(512, 8));
    QVERIFY(v.ok());
    v.image->GarbageRoot(9);
    const QByteArray before = v.image->Digest();
    ScriptedOps ops;
    JobOptions options;
    options.dryRun = true;
    QCOMPARE(RunJob(v.drive, ops, options), std::optional(JobOutcome::DryRunCompleted));
    QCOMPARE(ops.LogTexts(), Texts({oplog::A1(v.drive), oplog::A2(v.drive), oplog::B1(), oplog::B2(), oplog::C1(),
                                    oplog::C3(), oplog::E1(), oplog::E2(4), oplog::F1()}));
    QVERIFY(ops.boxes.empty());
    QCOMPARE(int(ops.rows.size()), 4);
    QCOMPARE(v.image->Digest(), before);
}

QTEST_GUILESS_MAIN(TestRebuild)
#include "tst_rebuild.moc"
