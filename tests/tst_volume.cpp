// The Linux volume layer and the relay that carries a job's reports: the pieces under the rebuild.
#include "platform/DriveMap.h"
#include "platform/MountTable.h"
#include "platform/RawVolume.h"
#include "rebuild/ChunkReader.h"
#include "rebuild/OpsChannel.h"
#include "support/FatImage.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include "platform/WriteGuard.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {
QString MakeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& content)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
        return {};
    return path;
}

QByteArray Pattern(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 512) & 0xFF);
    return bytes;
}

// Records what runs, and on which thread.
class RecordingOps : public MainWindowOps {
public:
    QStringList seen;
    bool offThread = false;
    void Note(const QString& what)
    {
        if (QThread::currentThread() != qApp->thread())
            offThread = true;
        seen << what;
    }
    void AppendLogLine(const QString& line) override { Note(line); }
    void ResetGauge(int m) override { Note(QStringLiteral("gauge %1").arg(m)); }
    void SetGaugeProgress(int v) override { Note(QStringLiteral("pos %1").arg(v)); }
    void SetStatusText(int p, const QString& t) override { Note(QStringLiteral("status %1 %2").arg(p).arg(t)); }
    void ClearResults() override { Note(QStringLiteral("clear")); }
    void AddResultRow(const ResultRow& r) override { Note(QStringLiteral("row ") + r.sn); }
    int ResultCount() override { Note(QStringLiteral("count")); return int(seen.size()); }
    QString ResultCell(int, int) override { return {}; }
    int ShowMessageBox(const QString&, const QString& caption, unsigned) override { Note(QStringLiteral("box ") + caption); return mb::IdYes; }
    std::optional<QString> ChooseBackupFileName() override { Note(QStringLiteral("name")); return QStringLiteral("chosen"); }
};
} // namespace

class TestVolume : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void driveTextsAreStable();
    void unmappedAndVanishedDrives();
    void readsLeaveUndeliveredBytes();
    void writesAreWholeAndNeverGrowAVolume();
    void backupFileIsReplacedAndFlushed();
    void chunkReaderMatchesSingleReads_data();
    void chunkReaderMatchesSingleReads();
    void mountTable_data();
    void mountTable();
    void loopDevice();
    void exitWaitsForTheWriteInProgress();
    void relayKeepsOrderAcrossThreads();
    void detachedRelayAnswersFallbacks();
};

void TestVolume::driveTextsAreStable()
{
    QTemporaryDir dir;
    const QString a = MakeFile(dir, QStringLiteral("a.img"), QByteArray(4096, 'a'));
    const QString b = MakeFile(dir, QStringLiteral("b.img"), QByteArray(4096, 'b'));
    const QString da = platform::DriveMap::Assign(a);
    const QString db = platform::DriveMap::Assign(b);
    QVERIFY(da.size() == 2 && da.endsWith(QLatin1Char(':')) && da[0] >= QLatin1Char('C'));
    QVERIFY(db != da);
    QCOMPARE(platform::DriveMap::Assign(a), da);
    QCOMPARE(platform::DriveMap::Resolve(da.toLower())->path, a);
    QVERIFY(platform::DriveMap::Assign(dir.filePath(QStringLiteral("missing.img"))).isEmpty());
    QVERIFY(platform::DriveMap::Assign(dir.path()).isEmpty()); // a folder is no volume
    platform::DriveMap::Release(da);
    platform::DriveMap::Release(db);
}

void TestVolume::unmappedAndVanishedDrives()
{
    QTemporaryDir dir;
    const QString a = MakeFile(dir, QStringLiteral("a.img"), QByteArray(4096, 'a'));
    const QString drive = platform::DriveMap::Assign(a);
    platform::Handle h = platform::OpenVolumeForRead(drive);
    QVERIFY(h.valid());
    platform::CloseVolume(h);
    QVERIFY(!h.valid());
    QVERIFY(QFile::remove(a));
    QVERIFY(!platform::OpenVolumeForRead(drive).valid());
    QVERIFY(!platform::OpenVolumeForWrite(drive).valid());
    QVERIFY(!MakeFile(dir, QStringLiteral("a.img"), QByteArray(4096, 'x')).isEmpty()); // another file, same name
    QVERIFY(!platform::OpenVolumeForRead(drive).valid());
    platform::DriveMap::Release(drive);
    QVERIFY(!platform::OpenVolumeForRead(drive).valid());
}

void TestVolume::readsLeaveUndeliveredBytes()
{
    QTemporaryDir dir;
    const QString drive = platform::DriveMap::Assign(MakeFile(dir, QStringLiteral("v.img"), Pattern(3000)));
    platform::Handle h = platform::OpenVolumeForRead(drive);
    QVERIFY(h.valid());
    QByteArray buffer(1024, '\0');
    QVERIFY(platform::SeekOffset32(h, 2048));
    QCOMPARE(platform::ReadBytes(h, buffer.data(), 1024), std::size_t(952));
    QCOMPARE(buffer.left(952), Pattern(3000).mid(2048));
    QCOMPARE(buffer.mid(952), QByteArray(72, '\0'));
    QVERIFY(!platform::SeekOffset32(h, -1));
    QVERIFY(platform::SeekOffset64(h, Q_UINT64_C(1) << 40));
    QCOMPARE(platform::ReadBytes(h, buffer.data(), 16), std::size_t(0));
    QVERIFY(!platform::SeekOffset64(h, ~Q_UINT64_C(0)));
    platform::CloseVolume(h);
    platform::DriveMap::Release(drive);
}

void TestVolume::writesAreWholeAndNeverGrowAVolume()
{
    QTemporaryDir dir;
    const QString path = MakeFile(dir, QStringLiteral("v.img"), QByteArray(4096, '\x11'));
    const QString drive = platform::DriveMap::Assign(path);
    platform::Handle w = platform::OpenVolumeForWrite(drive);
    QVERIFY(w.valid());
    QVERIFY(platform::SeekOffset64(w, 1024));
    QVERIFY(platform::WriteBytes(w, QByteArray(512, '\x22').constData(), 512));
    QVERIFY(platform::SeekOffset64(w, 4000));
    QVERIFY(!platform::WriteBytes(w, QByteArray(512, '\x33').constData(), 512)); // would reach past the end
    platform::CloseVolume(w);
    QVERIFY(!platform::WriteBytes(w, "x", 1));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray(1024, '\x11') + QByteArray(512, '\x22') + QByteArray(2560, '\x11'));
    platform::DriveMap::Release(drive);
}

void TestVolume::backupFileIsReplacedAndFlushed()
{
    QTemporaryDir dir;
    const QString path = MakeFile(dir, QStringLiteral("backup"), QByteArray(10000, 'o'));
    platform::Handle h = platform::CreateFileForWrite(path);
    QVERIFY(h.valid());
    QVERIFY(platform::SeekToEnd(h));
    QCOMPARE(h.position, Q_UINT64_C(0));
    QVERIFY(platform::WriteBytes(h, "fresh", 5));
    QVERIFY(platform::FlushToStorage(h, path));
    platform::CloseVolume(h);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("fresh"));
    QVERIFY(!platform::CreateFileForWrite(dir.filePath(QStringLiteral("no/such/folder"))).valid());
}

void TestVolume::chunkReaderMatchesSingleReads_data()
{
    QTest::addColumn<int>("bytesPerSector");
    QTest::addColumn<int>("fileSectors");
    QTest::addColumn<int>("endSector");
    QTest::newRow("512, ends inside a chunk") << 512 << 128 * 20 + 37 << 128 * 21;
    QTest::newRow("512, volume longer than the file") << 512 << 128 * 3 << 128 * 40;
    QTest::newRow("4096-byte sectors") << 4096 << 128 * 3 + 5 << 128 * 5;
}

void TestVolume::chunkReaderMatchesSingleReads()
{
    QFETCH(int, bytesPerSector);
    QFETCH(int, fileSectors);
    QFETCH(int, endSector);
    QTemporaryDir dir;
    const QByteArray content = Pattern(bytesPerSector * fileSectors);
    const QString drive = platform::DriveMap::Assign(MakeFile(dir, QStringLiteral("v.img"), content));
    platform::Handle h = platform::OpenVolumeForRead(drive);
    ChunkReader reader(h, std::uint32_t(bytesPerSector), std::uint64_t(endSector));
    const int chunkBytes = 128 * bytesPerSector;
    QCOMPARE(reader.chunkBytes(), std::size_t(chunkBytes));
    for (int sector = 3; sector < endSector; sector += 128) { // chunks start wherever the data area does
        const QByteArray got(reinterpret_cast<const char*>(reader.Chunk(std::uint64_t(sector))), chunkBytes);
        QByteArray expected = content.mid(qsizetype(sector) * bytesPerSector, chunkBytes);
        expected.append(QByteArray(chunkBytes - expected.size(), '\0'));
        QVERIFY2(got == expected, qPrintable(QStringLiteral("chunk at sector %1").arg(sector)));
    }
    platform::CloseVolume(h);
    platform::DriveMap::Release(drive);
}

void TestVolume::mountTable_data()
{
    QTest::addColumn<QByteArray>("mountinfo");
    QTest::addColumn<QString>("expected"); // empty: not mounted
    QTest::newRow("loop device mounted") << QByteArray("30 1 7:5 / /mnt/usb rw - vfat /dev/loop5 rw\n") << QStringLiteral("/mnt/usb");
    QTest::newRow("partition of the loop device") << QByteArray("30 1 259:1 / /mnt/p1 rw - vfat /dev/loop5p1 rw\n")
                                                  << QStringLiteral("/mnt/p1");
    QTest::newRow("escaped blanks and tabs") << QByteArray("30 1 7:5 / /media/A\\040B\\011C rw - vfat x rw\n")
                                             << QStringLiteral("/media/A B\tC");
    QTest::newRow("another device") << QByteArray("30 1 7:6 / /mnt/other rw - vfat /dev/loop6 rw\n") << QString();
    QTest::newRow("nothing mounted") << QByteArray() << QString();
}

void TestVolume::mountTable()
{
    QFETCH(QByteArray, mountinfo);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString image = MakeFile(dir, QStringLiteral("v.img"), QByteArray(4096, 'v'));
    const QString other = MakeFile(dir, QStringLiteral("w.img"), QByteArray(4096, 'w'));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("block/loop5/loop")) && QDir(dir.path()).mkpath(QStringLiteral("block/loop5/loop5p1"))
            && QDir(dir.path()).mkpath(QStringLiteral("block/loop6/loop")));
    MakeFile(dir, QStringLiteral("block/loop5/loop/backing_file"), image.toUtf8() + '\n');
    MakeFile(dir, QStringLiteral("block/loop5/dev"), "7:5\n");
    MakeFile(dir, QStringLiteral("block/loop5/loop5p1/partition"), "1\n");
    MakeFile(dir, QStringLiteral("block/loop5/loop5p1/dev"), "259:1\n");
    MakeFile(dir, QStringLiteral("block/loop6/loop/backing_file"), other.toUtf8() + '\n');
    MakeFile(dir, QStringLiteral("block/loop6/dev"), "7:6\n");
    MakeFile(dir, QStringLiteral("mountinfo"), mountinfo);
    platform::SetMountSourcesForTesting(dir.filePath(QStringLiteral("mountinfo")), dir.filePath(QStringLiteral("block")));
    const QString drive = platform::DriveMap::Assign(image);
    const auto got = platform::MountPointOf(drive);
    platform::SetMountSourcesForTesting(QStringLiteral("/proc/self/mountinfo"), QStringLiteral("/sys/block"));
    platform::DriveMap::Release(drive);
    QCOMPARE(got.value_or(QString()), expected);
}

void TestVolume::loopDevice()
{
    // A real block device over an image, where this machine lets the test make one (CI runs as root).
    if (::geteuid() != 0)
        QSKIP("loop devices need root");
    QTemporaryDir dir;
    const QString image = MakeFile(dir, QStringLiteral("v.img"), Pattern(1 << 20));
    const ProcessResult attach = RunProgram(QStringLiteral("losetup"), {QStringLiteral("-f"), QStringLiteral("--show"), image});
    if (attach.exitCode != 0)
        QSKIP("no loop device can be made here");
    const QString device = QString::fromUtf8(attach.out).trimmed();
    const QString drive = platform::DriveMap::Assign(device);
    platform::Handle r = platform::OpenVolumeForRead(drive);
    platform::Handle w = platform::OpenVolumeForWrite(drive);
    const bool opened = r.valid() && w.valid();
    const std::uint32_t sectorSize = platform::LogicalSectorSize(r);
    QByteArray head(512, '\0');
    platform::ReadBytes(r, head.data(), 512);
    platform::SeekOffset64(w, (1 << 20) - 512);
    const bool lastSector = platform::WriteBytes(w, QByteArray(512, '\x5A').constData(), 512);
    const bool pastEnd = platform::WriteBytes(w, QByteArray(512, '\x5A').constData(), 512);
    // A second write handle is refused while the first holds the device exclusively.
    platform::Handle second = platform::OpenVolumeForWrite(drive);
    const bool exclusive = !second.valid();
    platform::CloseVolume(second);
    platform::CloseVolume(w);
    platform::CloseVolume(r);
    RunProgram(QStringLiteral("losetup"), {QStringLiteral("-d"), device});
    platform::DriveMap::Release(drive);
    QVERIFY(opened);
    QCOMPARE(sectorSize, 512u);
    QCOMPARE(head, Pattern(512));
    QVERIFY(lastSector);
    QVERIFY(!pastEnd);
    QVERIFY(exclusive);
    QFile f(image);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll().right(512), QByteArray(512, '\x5A'));
}

void TestVolume::exitWaitsForTheWriteInProgress()
{
    // In a child process: a write is under way when the exit is asked for; the process ends with the asked
    // code only once the write has returned, and no write starts after the request.
    QTemporaryDir dir;
    const QByteArray marker = QFile::encodeName(dir.filePath(QStringLiteral("written")));
    const pid_t child = ::fork();
    if (child == 0) {
        std::atomic<bool> begun{false};
        std::thread writer([&] {
            platform::BeginCriticalWrite();
            begun = true;
            ::usleep(200000);
            const int fd = ::open(marker.constData(), O_CREAT | O_WRONLY, 0644);
            [[maybe_unused]] const ssize_t n = ::write(fd, "whole", 5);
            ::close(fd);
            platform::EndCriticalWrite(); // ends the process
        });
        while (!begun)
            ::usleep(1000);
        platform::ExitWhenWritesDone(7);
        if (platform::BeginCriticalWrite()) // refused once an exit is pending
            ::_exit(99);
        writer.join();
        ::_exit(98); // not reached: the writer ends the process
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 7);
    QFile f(QString::fromLocal8Bit(marker));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("whole"));

    // With no write under way the exit is immediate.
    const pid_t idle = ::fork();
    if (idle == 0) {
        platform::ExitWhenWritesDone(5);
        ::_exit(97);
    }
    QCOMPARE(::waitpid(idle, &status, 0), idle);
    QCOMPARE(WEXITSTATUS(status), 5);
}

void TestVolume::relayKeepsOrderAcrossThreads()
{
    RecordingOps ops;
    OpsRelay relay(&ops);
    QStringList expected;
    QThread* thread = QThread::create([&] {
        const OpsChannel channel(&relay);
        for (int i = 0; i < 2000; ++i) {
            channel.Post([i](MainWindowOps& o) { o.SetGaugeProgress(i); });
            if (i % 250 == 0) {
                const int n = channel.Call([](MainWindowOps& o) { return o.ResultCount(); }, -1);
                channel.Post([n](MainWindowOps& o) { o.AppendLogLine(QStringLiteral("counted %1").arg(n)); });
            }
        }
        OpsChannel::Pending p = channel.Start([](MainWindowOps& o) { o.ClearResults(); });
        channel.Finish(p);
    });
    for (int i = 0; i < 2000; ++i) {
        expected << QStringLiteral("pos %1").arg(i);
        if (i % 250 == 0) {
            const int n = int(expected.size()) + 1; // the count sees its own note
            expected << QStringLiteral("count") << QStringLiteral("counted %1").arg(n);
        }
    }
    expected << QStringLiteral("clear");
    thread->start();
    QTRY_VERIFY_WITH_TIMEOUT(thread->isFinished(), 30000);
    delete thread;
    QCOMPARE(ops.seen, expected);
    QVERIFY(!ops.offThread);
}

void TestVolume::detachedRelayAnswersFallbacks()
{
    RecordingOps ops;
    OpsRelay relay(&ops);
    relay.Detach();
    int answer = 0;
    std::optional<QString> name = QStringLiteral("unset");
    QThread* thread = QThread::create([&] {
        const OpsChannel channel(&relay);
        channel.Post([](MainWindowOps& o) { o.AppendLogLine(QStringLiteral("lost")); });
        answer = channel.Call([](MainWindowOps& o) { return o.ShowMessageBox({}, QStringLiteral("q"), mb::YesNo); }, mb::IdNo);
        name = channel.Call([](MainWindowOps& o) { return o.ChooseBackupFileName(); }, std::optional<QString>());
    });
    thread->start();
    QTRY_VERIFY_WITH_TIMEOUT(thread->isFinished(), 30000);
    delete thread;
    QVERIFY(ops.seen.isEmpty());
    QCOMPARE(answer, mb::IdNo);
    QVERIFY(!name);
}

QTEST_GUILESS_MAIN(TestVolume)
#include "tst_volume.moc"
