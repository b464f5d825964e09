// The FAT32 records, the volume support rules and the health check's verdict: pure code on byte buffers.
#include "rebuild/RootJudge.h"
#include "rebuild/UNtfsFat.h"
#include "rebuild/VolumeSupport.h"

#include <QTest>
#include <array>
#include <cstring>

namespace {
using Sector = std::array<std::uint8_t, 512>;

Sector BootBytes(std::uint16_t bps, std::uint8_t spc, std::uint16_t rsvd, std::uint32_t fatsz, std::uint32_t tot = 4000000,
                 std::uint8_t nfats = 2, std::uint32_t rootClus = 2, const char* label = "FAT32   ")
{
    Sector s{};
    fat::PutLe16(s.data() + 11, bps);
    s[13] = spc;
    fat::PutLe16(s.data() + 14, rsvd);
    s[16] = nfats;
    fat::PutLe32(s.data() + 32, tot);
    fat::PutLe32(s.data() + 36, fatsz);
    fat::PutLe32(s.data() + 44, rootClus);
    std::memcpy(s.data() + 82, label, 8);
    return s;
}

fat::BootSector Boot(std::uint16_t bps, std::uint8_t spc, std::uint16_t rsvd, std::uint32_t fatsz, std::uint32_t tot = 4000000,
                     std::uint8_t nfats = 2, std::uint32_t rootClus = 2, const char* label = "FAT32   ")
{
    const Sector s = BootBytes(bps, spc, rsvd, fatsz, tot, nfats, rootClus, label);
    return fat::DecodeBootSector(s.data());
}

// One directory entry with the given stamps at slot index of a sector.
void PutEntry(Sector& s, int index, std::uint16_t crtDate, std::uint16_t crtTime, std::uint16_t accDate,
              std::uint16_t wrtDate, std::uint16_t wrtTime, std::uint8_t attr = 0x10)
{
    fat::DirEntry e;
    std::memcpy(e.Name, "ENTRY      ", 11);
    e.Attr = attr;
    e.CrtDate = crtDate;
    e.CrtTime = crtTime;
    e.LstAccDate = accDate;
    e.WrtDate = wrtDate;
    e.WrtTime = wrtTime;
    fat::EncodeDirEntry(e, s.data() + index * 32);
}

constexpr std::uint16_t Date(int year, int month, int day) { return std::uint16_t(((year - 1980) << 9) | (month << 5) | day); }
constexpr std::uint16_t kNoon = 12 << 11;
} // namespace

class TestRecords : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void geometry_data();
    void geometry();
    void fat32Label_data();
    void fat32Label();
    void dirEntryRoundTrip();
    void dirEntryLayout();
    void clusterHalves();
    void dosWords();
    void signature_data();
    void signature();
    void support_data();
    void support();
    void verdict_data();
    void verdict();
    void verdictReadsClockPerEntryAndReportsProgress();
};

void TestRecords::geometry_data()
{
    QTest::addColumn<int>("bps");
    QTest::addColumn<int>("spc");
    QTest::addColumn<int>("rsvd");
    QTest::addColumn<quint32>("fatsz");
    QTest::addColumn<quint64>("dataStart");
    QTest::addColumn<quint32>("clusterBytes");
    QTest::addColumn<quint64>("rootOffset");
    QTest::newRow("512-byte sectors") << 512 << 8 << 32 << 1000u << Q_UINT64_C(2032) << 4096u << Q_UINT64_C(1040384);
    QTest::newRow("4096-byte sectors: root at 8,323,072") << 4096 << 8 << 32 << 1000u << Q_UINT64_C(2032) << 32768u
                                                          << Q_UINT64_C(8323072);
    QTest::newRow("largest 31-bit offset") << 512 << 1 << 1 << 2097151u << Q_UINT64_C(4194303) << 512u
                                           << Q_UINT64_C(2147483136);
    QTest::newRow("past 31 bits stays exact") << 512 << 1 << 0 << 2097152u << Q_UINT64_C(4194304) << 512u
                                              << Q_UINT64_C(2147483648);
    QTest::newRow("sum past 32 bits does not wrap") << 512 << 1 << 32 << 2147483648u << Q_UINT64_C(4294967328) << 512u
                                                    << Q_UINT64_C(4294967328) * 512;
}

void TestRecords::geometry()
{
    QFETCH(int, bps);
    QFETCH(int, spc);
    QFETCH(int, rsvd);
    QFETCH(quint32, fatsz);
    const fat::BootSector bs = Boot(std::uint16_t(bps), std::uint8_t(spc), std::uint16_t(rsvd), fatsz);
    QCOMPARE(bs.BytsPerSec, bps);
    QCOMPARE(bs.SecPerClus, spc);
    QFETCH(quint64, dataStart);
    QCOMPARE(quint64(fat::DataStartSector(bs)), dataStart);
    QFETCH(quint32, clusterBytes);
    QCOMPARE(fat::ClusterBytes(bs), clusterBytes);
    QFETCH(quint64, rootOffset);
    QCOMPARE(quint64(fat::RootClusterOffset(bs)), rootOffset);
}

void TestRecords::fat32Label_data()
{
    QTest::addColumn<QByteArray>("label");
    QTest::addColumn<bool>("fat32");
    QTest::newRow("FAT32 and blanks") << QByteArray("FAT32   ") << true;
    QTest::newRow("FAT32 and any three bytes") << QByteArray("FAT32xyz") << true;
    QTest::newRow("FAT16") << QByteArray("FAT16   ") << false;
    QTest::newRow("lower case") << QByteArray("fat32   ") << false;
    QTest::newRow("zeros") << QByteArray(8, '\0') << false;
}

void TestRecords::fat32Label()
{
    QFETCH(QByteArray, label);
    Sector s = BootBytes(512, 8, 32, 1000);
    std::memcpy(s.data() + 82, label.constData(), 8);
    QTEST(fat::HasFat32Label(s.data()), "fat32");
    QTEST(fat::DecodeBootSector(s.data()).FilSysTypeIsFat32, "fat32");
}

void TestRecords::dirEntryRoundTrip()
{
    std::uint8_t buffer[96] = {};
    fat::DirEntry e;
    std::memcpy(e.Name, "KVB10   DIR", 11);
    e.Attr = 0x10;
    e.NTRes = 0x18;
    e.CrtTimeTenth = 199;
    e.CrtTime = 0x9F31;
    e.CrtDate = 0x4247;
    e.LstAccDate = 0x4248;
    e.FstClusHI = 0xABCD;
    e.WrtTime = 0x9F32;
    e.WrtDate = 0x4249;
    e.FstClusLO = 0x1234;
    e.FileSize = 0xDEADBEEF;
    fat::EncodeDirEntry(e, buffer + 32);
    const fat::DirEntry d = fat::DecodeDirEntry(buffer, 32);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(d.Name), 11), QByteArray("KVB10   DIR"));
    QCOMPARE(d.Attr, 0x10);
    QCOMPARE(d.NTRes, 0x18);
    QCOMPARE(d.CrtTimeTenth, 199);
    QCOMPARE(d.CrtTime, 0x9F31);
    QCOMPARE(d.CrtDate, 0x4247);
    QCOMPARE(d.LstAccDate, 0x4248);
    QCOMPARE(d.FstClusHI, 0xABCD);
    QCOMPARE(d.WrtTime, 0x9F32);
    QCOMPARE(d.WrtDate, 0x4249);
    QCOMPARE(d.FstClusLO, 0x1234);
    QCOMPARE(d.FileSize, 0xDEADBEEFu);
    for (int i = 0; i < 32; ++i)
        QCOMPARE(buffer[i], 0); // nothing outside the entry's 32 bytes
}

void TestRecords::dirEntryLayout()
{
    // The first rebuilt entry of a root, byte for byte.
    fat::DirEntry e;
    std::memcpy(e.Name, "KVB0       ", 11);
    e.Attr = 0x10;
    e.CrtTimeTenth = 0x8C;
    e.CrtTime = 0x9F31;
    e.CrtDate = 0x4247;
    e.LstAccDate = 0x4247;
    e.WrtTime = 0x9F32;
    e.WrtDate = 0x4247;
    e.FstClusLO = 0x0056;
    std::uint8_t out[32];
    fat::EncodeDirEntry(e, out);
    const QByteArray expected = QByteArray::fromHex(
        "4B56423020202020202020 10 00 8C 319F 4742 4742 0000 329F 4742 5600 00000000");
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(out), 32), expected);
}

void TestRecords::clusterHalves()
{
    QCOMPARE(fat::FirstCluster(0x0001, 0x0002), 65538u);
    QCOMPARE(fat::FirstCluster(0x0001, 0x00A3), 65699u);
    QCOMPARE(fat::ClusterHigh(65699), 0x0001);
    QCOMPARE(fat::ClusterLow(65699), 0x00A3);
    QCOMPARE(fat::FirstCluster(0xFFFF, 0xFFFF), 0xFFFFFFFFu);
}

void TestRecords::dosWords()
{
    const fat::DosDate d = fat::DecodeDosDate(0x4247);
    QCOMPARE(d.year, 2013);
    QCOMPARE(d.month, 2);
    QCOMPARE(d.day, 7);
    const fat::DosTime t = fat::DecodeDosTime(0x9F31);
    QCOMPARE(t.hours, 19);
    QCOMPARE(t.minutes, 57);
    QCOMPARE(t.seconds, 34);
    QCOMPARE(fat::DecodeDosTime(0x9F32).seconds, 36);
}

void TestRecords::signature_data()
{
    QTest::addColumn<QByteArray>("dot");
    QTest::addColumn<QByteArray>("dotdot");
    QTest::addColumn<bool>("matches");
    QTest::newRow("dot and dot-dot") << QByteArray(".          ") << QByteArray("..         ") << true;
    QTest::newRow("letters in the extensions") << QByteArray(".       ABC") << QByteArray("..      XYZ") << true;
    QTest::newRow("dot filled with zeros") << QByteArray(".\0\0\0\0\0\0\0   ", 11) << QByteArray("..         ") << false;
    QTest::newRow("two dots first") << QByteArray("..         ") << QByteArray("..         ") << false;
    QTest::newRow("a file name") << QByteArray("README  TXT") << QByteArray("..         ") << false;
}

void TestRecords::signature()
{
    QFETCH(QByteArray, dot);
    QFETCH(QByteArray, dotdot);
    std::uint8_t cluster[512] = {};
    std::memcpy(cluster + 128, dot.constData(), 11);
    std::memcpy(cluster + 160, dotdot.constData(), 11);
    QTEST(fat::IsDirectorySignature(cluster, 128), "matches");
    QVERIFY(!fat::IsDirectorySignature(cluster, 0));
}

void TestRecords::support_data()
{
    QTest::addColumn<QByteArray>("boot");
    QTest::addColumn<quint32>("deviceSector");
    QTest::addColumn<QString>("reason"); // empty: supported
    auto row = [](const char* name, const Sector& s, quint32 device, const QString& reason) {
        QTest::newRow(name) << QByteArray(reinterpret_cast<const char*>(s.data()), 512) << device << reason;
    };
    row("mkfs.fat volume", BootBytes(512, 8, 32, 1000), 0, {});
    row("4096-byte sectors", BootBytes(4096, 1, 32, 100), 0, {});
    row("4096-byte sectors on a 4096-byte device", BootBytes(4096, 1, 32, 100), 4096, {});
    row("all zeros", Sector{}, 0, QStringLiteral("不是FAT32卷"));
    row("FAT16 label", BootBytes(512, 8, 32, 1000, 4000000, 2, 2, "FAT16   "), 0, QStringLiteral("不是FAT32卷"));
    row("16-byte sectors", BootBytes(16, 8, 32, 1000), 0, QStringLiteral("每扇区字节数为16"));
    row("768-byte sectors", BootBytes(768, 8, 32, 1000), 0, QStringLiteral("每扇区字节数为768"));
    row("no sectors per cluster", BootBytes(512, 0, 32, 1000), 0, QStringLiteral("每簇扇区数为0"));
    row("3 sectors per cluster", BootBytes(512, 3, 32, 1000), 0, QStringLiteral("每簇扇区数为3"));
    row("255 sectors per cluster", BootBytes(512, 255, 32, 1000), 0, QStringLiteral("每簇扇区数为255"));
    row("one FAT", BootBytes(512, 8, 32, 1000, 4000000, 1), 0, QStringLiteral("FAT表个数为1"));
    row("three FATs", BootBytes(512, 8, 32, 1000, 4000000, 3), 0, QStringLiteral("FAT表个数为3"));
    row("root at cluster 5", BootBytes(512, 8, 32, 1000, 4000000, 2, 5), 0, QStringLiteral("根目录起始簇为5"));
    row("data past the end", BootBytes(512, 8, 32, 1000, 2032), 0, QStringLiteral("数据区起始扇区超出卷大小"));
    row("root cluster past the end", BootBytes(512, 8, 32, 1000, 2036), 0, QStringLiteral("数据区起始扇区超出卷大小"));
    row("root cluster just fits", BootBytes(512, 8, 32, 1000, 2040), 0, {});
    row("sum wraps 32 bits", BootBytes(512, 8, 32, 2147483648u, 4000000), 0, QStringLiteral("数据区起始扇区超出卷大小"));
    row("512 on a 4096-byte device", BootBytes(512, 8, 32, 1000), 4096, QStringLiteral("每扇区字节数小于设备扇区大小"));
}

void TestRecords::support()
{
    QFETCH(QByteArray, boot);
    QFETCH(quint32, deviceSector);
    QFETCH(QString, reason);
    const auto got = UnsupportedReason(fat::DecodeBootSector(reinterpret_cast<const std::uint8_t*>(boot.constData())),
                                       deviceSector);
    QCOMPARE(got.value_or(QString()), reason);
}

void TestRecords::verdict_data()
{
    QTest::addColumn<QByteArray>("sector");
    QTest::addColumn<int>("year");
    QTest::addColumn<bool>("sound");
    auto row = [](const char* name, const Sector& s, int year, bool sound) {
        QTest::newRow(name) << QByteArray(reinterpret_cast<const char*>(s.data()), 512) << year << sound;
    };
    row("all zeros (already cleared)", Sector{}, 2026, false);

    Sector label{};
    PutEntry(label, 0, 0, 0, 0, Date(2012, 5, 1), kNoon, 0x08); // volume label: only a write stamp
    PutEntry(label, 1, Date(2012, 5, 1), kNoon, Date(2012, 5, 1), Date(2012, 5, 1), kNoon);
    row("label, one 2012 entry, free entries carry 2012", label, 2026, true);
    row("the same judged in 2012", label, 2012, true);
    row("the same judged in 2011", label, 2011, false);

    Sector older = label;
    PutEntry(older, 1, Date(2010, 5, 1), kNoon, Date(2010, 5, 1), Date(2012, 5, 1), kNoon);
    row("created 2010 written 2012, free entries after it pass", older, 2026, true);
    Sector olderLast{};
    PutEntry(olderLast, 15, Date(2010, 5, 1), kNoon, Date(2010, 5, 1), Date(2012, 5, 1), kNoon);
    row("created 2010 written 2012 in the last slot", olderLast, 2026, false);

    Sector y2000{}, y2001{}, future{};
    PutEntry(y2000, 15, Date(2000, 1, 1), kNoon, Date(2000, 1, 1), Date(2000, 1, 1), kNoon);
    PutEntry(y2001, 15, Date(2001, 1, 1), kNoon, Date(2001, 1, 1), Date(2001, 1, 1), kNoon);
    PutEntry(future, 15, Date(2027, 1, 1), kNoon, Date(2027, 1, 1), Date(2027, 1, 1), kNoon);
    row("last slot stamped 2000", y2000, 2026, false);
    row("last slot stamped 2001", y2001, 2026, true);
    row("last slot stamped after this year", future, 2026, false);
    row("last slot stamped this year", future, 2027, true);

    Sector longNames{};
    for (int i = 0; i < 16; ++i)
        PutEntry(longNames, i, Date(2012, 5, 1), kNoon, Date(2012, 5, 1), Date(2012, 5, 1), kNoon, 0x0F);
    row("only long-name entries", longNames, 2026, false);

    Sector longLast = label;
    PutEntry(longLast, 15, 0, 0, 0, 0, 0, 0x0F);
    row("a long-name entry last leaves the verdict", longLast, 2026, true);

    Sector day31{};
    // Created on the 31st: as a time word its seconds field is 31, so the access conversion is invalid and
    // takes the creation year; accessed later than created would otherwise fail.
    PutEntry(day31, 15, Date(2012, 5, 31), kNoon, Date(2013, 1, 1), Date(2012, 5, 31), kNoon);
    row("creation on day 31 carries its year to the access stamp", day31, 2026, true);
    Sector day15 = day31;
    PutEntry(day15, 15, Date(2012, 5, 15), kNoon, Date(2013, 1, 1), Date(2012, 5, 15), kNoon);
    row("creation on day 15: access 2013 is later", day15, 2026, false);

    Sector feb29{};
    PutEntry(feb29, 15, Date(2011, 2, 29), kNoon, Date(2011, 2, 28), Date(2011, 2, 28), kNoon);
    row("29 February of a common year is invalid", feb29, 2026, false);
    Sector leap{};
    PutEntry(leap, 15, Date(2012, 2, 29), kNoon, Date(2012, 2, 28), Date(2012, 2, 28), kNoon);
    row("29 February of a leap year", leap, 2026, true);
    Sector badTime{};
    PutEntry(badTime, 15, Date(2012, 2, 1), std::uint16_t(24 << 11), Date(2012, 2, 1), Date(2012, 2, 1), kNoon);
    row("hour 24 is invalid", badTime, 2026, false);
}

void TestRecords::verdict()
{
    QFETCH(QByteArray, sector);
    QFETCH(int, year);
    QTEST(JudgeRootSector(reinterpret_cast<const std::uint8_t*>(sector.constData()), 16, [year] { return year; }),
          "sound");
}

void TestRecords::verdictReadsClockPerEntryAndReportsProgress()
{
    // 4096-byte sectors: 128 entries are examined, the first sector only.
    std::vector<std::uint8_t> cluster(4096 * 8, 0);
    Sector entry{};
    PutEntry(entry, 0, Date(2012, 5, 1), kNoon, Date(2012, 5, 1), Date(2012, 5, 1), kNoon);
    std::memcpy(cluster.data() + 127 * 32, entry.data(), 32);
    // A garbage entry in the second sector would make the verdict unsound if it were examined.
    std::memset(cluster.data() + 4096, 0xFF, 32);
    int clockReads = 0;
    std::vector<int> progress;
    const bool sound = JudgeRootSector(cluster.data(), 4096 / 32, [&] { ++clockReads; return 2026; },
                                       [&](int i) { progress.push_back(i); });
    QVERIFY(sound);
    QCOMPARE(clockReads, 128);
    QCOMPARE(int(progress.size()), 128);
    QCOMPARE(progress.front(), 0);
    QCOMPARE(progress.back(), 127);
}

QTEST_GUILESS_MAIN(TestRecords)
#include "tst_records.moc"
