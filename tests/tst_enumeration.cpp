// The machine's FAT32 volumes: the enumeration and the device query over a fake drive layer, the sysfs
// reader over a fake tree, and the Linux layer over real loop devices where the machine allows them.
#include "platform/DriveMap.h"
#include "platform/LinuxDrives.h"
#include "platform/SysBlock.h"
#include "selection/HddInfo.h"
#include "support/FatImage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <map>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {
struct FakeDrive {
    int type = platform::DRIVE_FIXED;
    std::optional<QByteArray> label;               // nothing: the label cannot be read
    QByteArray fsType = "FAT32   ";                // bytes 82..89 of the boot sector
    platform::BootRead open = platform::BootRead::Read;
    bool answers = true;                           // the device query
    QByteArray product;
    std::uint32_t bus = 3;
};

class FakeDrives : public platform::DriveLayer {
public:
    std::map<char, FakeDrive> drives;
    QStringList queried;
    std::uint32_t LogicalDrives() override
    {
        std::uint32_t mask = 0;
        for (const auto& [letter, d] : drives)
            mask |= 1u << (letter - 'A');
        return mask;
    }
    int TypeOfDrive(const QString& root) override { return Drive(root).type; }
    bool VolumeLabel(const QString& root, QByteArray& label) override
    {
        if (!Drive(root).label)
            return false;
        label = *Drive(root).label;
        return true;
    }
    platform::BootRead ReadBootSector(const QString& drive, std::uint8_t* sector) override
    {
        std::memset(sector, 0, 512);
        const FakeDrive& d = Drive(drive);
        if (d.open == platform::BootRead::Read)
            std::memcpy(sector + 82, d.fsType.constData(), std::size_t(std::min<qsizetype>(d.fsType.size(), 8)));
        return d.open;
    }
    bool QueryStorageProperty(const QString& devicePath, std::uint8_t* descriptor) override
    {
        queried << devicePath;
        const FakeDrive& d = Drive(devicePath.right(2));
        if (!d.answers)
            return false;
        platform::FillDescriptor(descriptor, {d.product, "1.00", d.bus});
        return true;
    }

private:
    const FakeDrive& Drive(const QString& path) { return drives.at(char(path[path.startsWith(QLatin1String("\\\\")) ? 4 : 0].unicode())); }
};

using Drives = std::map<char, FakeDrive>;
FakeDrive Fat(std::optional<QByteArray> label, std::uint32_t bus = 3, QByteArray product = "Disk")
{
    FakeDrive d;
    d.label = std::move(label);
    d.bus = bus;
    d.product = std::move(product);
    return d;
}
FakeDrive Other(int type) { FakeDrive d; d.type = type; return d; }
FakeDrive WithFs(QByteArray fs) { FakeDrive d = Fat(QByteArray()); d.fsType = std::move(fs); return d; }
FakeDrive Opening(platform::BootRead r) { FakeDrive d = Fat(QByteArray("LOCKED")); d.open = r; return d; }
FakeDrive Silent() { FakeDrive d = Fat(QByteArray("MUTE")); d.answers = false; return d; }

// A descriptor laid out by hand.
QByteArray Descriptor(std::uint32_t size, std::uint32_t productAt, std::uint32_t revisionAt, std::uint32_t bus,
                      std::initializer_list<std::pair<int, QByteArray>> bytes)
{
    QByteArray d(int(platform::kDescriptorBytes), '\0');
    auto* p = reinterpret_cast<std::uint8_t*>(d.data());
    fat::PutLe32(p + 4, size);
    fat::PutLe32(p + 16, productAt);
    fat::PutLe32(p + 20, revisionAt);
    fat::PutLe32(p + 28, bus);
    for (const auto& [at, text] : bytes)
        d.replace(at, text.size(), text);
    return d;
}

// A sysfs tree in a temporary folder: devices/..., class/block and dev/block links, as the kernel lays them.
struct FakeSys {
    QTemporaryDir root;
    void Attr(const QString& path, const QByteArray& text)
    {
        QDir().mkpath(QFileInfo(root.filePath(path)).path());
        QFile f(root.filePath(path));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    // A block device (disk or partition) at devices/<path>, named by its last component.
    void Block(const QString& path, int maj, int min, const QByteArray& size = "2048\n", bool partition = false)
    {
        const QString dir = QStringLiteral("devices/") + path;
        Attr(dir + QStringLiteral("/size"), size);
        Attr(dir + QStringLiteral("/dev"), QByteArray::number(maj) + ':' + QByteArray::number(min) + '\n');
        if (partition)
            Attr(dir + QStringLiteral("/partition"), "1\n");
        QDir().mkpath(root.filePath(QStringLiteral("class/block")));
        QDir().mkpath(root.filePath(QStringLiteral("dev/block")));
        const QString name = QFileInfo(path).fileName();
        QFile::link(root.filePath(dir), root.filePath(QStringLiteral("class/block/") + name));
        QFile::link(root.filePath(dir), root.filePath(QStringLiteral("dev/block/%1:%2").arg(maj).arg(min)));
    }
};
} // namespace

class TestEnumeration : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void enumeration_data();
    void enumeration();
    void queriesOnlyFat32Volumes();
    void descriptor_data();
    void descriptor();
    void busTypes_data();
    void busTypes();
    void filledDescriptorKeepsTheKernelsText();
    void sysfsVolumes();
    void sysfsIdentity_data();
    void sysfsIdentity();
    void deviceNameOrder();
    void loopDevicesAndImageFiles();
};

void TestEnumeration::enumeration_data()
{
    QTest::addColumn<Drives>("drives");
    QTest::addColumn<bool>("anyCandidate");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<int>("denied");
    QTest::newRow("no drives") << Drives{} << false << QStringList{} << 0;
    QTest::newRow("only remote and optical") << Drives{{'F', Other(platform::DRIVE_REMOTE)}, {'G', Other(platform::DRIVE_CDROM)}}
                                             << false << QStringList{} << 0;
    QTest::newRow("NTFS C: and FAT32 D: DATA on ATA")
        << Drives{{'C', WithFs("NTFS    ")}, {'D', Fat(QByteArray("DATA"))}} << true << QStringList{QStringLiteral("D:DATA")} << 0;
    QTest::newRow("unlabelled FAT32 on ATA") << Drives{{'C', Fat(QByteArray())}} << true
                                             << QStringList{QStringLiteral("C:本地磁盘")} << 0;
    QTest::newRow("unlabelled FAT32 on SATA") << Drives{{'C', Fat(QByteArray(), 11)}} << true
                                              << QStringList{QStringLiteral("C:本地磁盘")} << 0;
    QTest::newRow("label that cannot be read") << Drives{{'C', Fat(std::nullopt)}} << true
                                               << QStringList{QStringLiteral("C:本地磁盘")} << 0;
    QTest::newRow("USB stick with label, padded product")
        << Drives{{'E', Fat(QByteArray("BACKUP"), 7, "Flash Disk   ")}} << true
        << QStringList{QStringLiteral("E:BACKUPFlash Disk   移动存储")} << 0;
    QTest::newRow("USB stick without label") << Drives{{'E', Fat(QByteArray(), 7, "Flash Disk")}} << true
                                             << QStringList{QStringLiteral("E:Flash Disk移动存储")} << 0;
    FakeDrive removable = Fat(QByteArray("CARD"), 12);
    removable.type = platform::DRIVE_REMOVABLE;
    QTest::newRow("removable drive on an SD bus") << Drives{{'H', removable}} << true << QStringList{QStringLiteral("H:CARD")} << 0;
    QTest::newRow("file system type bytes")
        << Drives{{'C', WithFs("FAT32   ")}, {'D', WithFs("FAT32xyz")}, {'E', WithFs("fat32   ")}, {'F', WithFs("FAT16   ")},
                  {'G', WithFs(QByteArray(8, '\0'))}}
        << true << QStringList{QStringLiteral("C:本地磁盘"), QStringLiteral("D:本地磁盘")} << 0;
    QTest::newRow("first candidate cannot be opened")
        << Drives{{'C', Opening(platform::BootRead::OpenFailed)}, {'D', Fat(QByteArray("DATA"))}} << true
        << QStringList{QStringLiteral("D:DATA")} << 0;
    QTest::newRow("candidates this user may not read")
        << Drives{{'C', Opening(platform::BootRead::PermissionDenied)}, {'D', Fat(QByteArray("DATA"))},
                  {'E', Opening(platform::BootRead::PermissionDenied)}}
        << true << QStringList{QStringLiteral("D:DATA")} << 2;
    QTest::newRow("a device that does not answer")
        << Drives{{'D', Silent()}, {'E', Fat(QByteArray("OK"))}} << true << QStringList{QStringLiteral("E:OK")} << 0;
    QTest::newRow("drive-letter order")
        << Drives{{'Z', Fat(QByteArray("LAST"))}, {'A', Fat(QByteArray("FIRST"))}, {'M', Fat(QByteArray("MID"))}} << true
        << QStringList{QStringLiteral("A:FIRST"), QStringLiteral("M:MID"), QStringLiteral("Z:LAST")} << 0;
}

void TestEnumeration::enumeration()
{
    QFETCH(Drives, drives);
    FakeDrives layer;
    layer.drives = drives;
    const EnumerationResult r = EnumerateFat32Volumes(layer);
    QTEST(r.anyCandidate, "anyCandidate");
    QTEST(r.captions, "captions");
    QTEST(r.permissionDenied, "denied");
}

void TestEnumeration::queriesOnlyFat32Volumes()
{
    FakeDrives layer;
    layer.drives = {{'C', WithFs("NTFS    ")}, {'D', Fat(QByteArray("A"))}, {'E', Other(platform::DRIVE_CDROM)}, {'F', Fat(QByteArray("B"))}};
    EnumerateFat32Volumes(layer);
    QCOMPARE(layer.queried, (QStringList{QStringLiteral("\\\\.\\D:"), QStringLiteral("\\\\.\\F:")}));
}

void TestEnumeration::descriptor_data()
{
    QTest::addColumn<QByteArray>("descriptor");
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("revision");
    QTest::newRow("both strings") << Descriptor(80, 40, 60, 7, {{40, "Flash Disk  "}, {60, "8.07"}}) << QStringLiteral("Flash Disk  ")
                                  << QStringLiteral("8.07");
    QTest::newRow("no product") << Descriptor(80, 0, 60, 7, {{36, "JUNK"}, {60, "1.0"}}) << QString() << QStringLiteral("1.0");
    QTest::newRow("string at Size - 2") << Descriptor(62, 40, 60, 7, {{40, "ABC"}, {60, "REV"}}) << QStringLiteral("ABC") << QString();
    QTest::newRow("string cut at Size - 2") << Descriptor(44, 40, 0, 7, {{40, "ABCDEFG"}}) << QStringLiteral("AB") << QString();
    QTest::newRow("offset past the buffer") << Descriptor(2000, 600, 0, 7, {}) << QString() << QString();
    QByteArray longOne = Descriptor(2000, 540, 0, 7, {});
    longOne.replace(540, 11, QByteArray(11, 'X')); // no NUL before the end of the buffer
    QTest::newRow("longer than the buffer") << longOne << QStringLiteral("XXXXXXXXXXX") << QString();
    QTest::newRow("negative Size") << Descriptor(0xFFFFFFF0u, 40, 0, 7, {{40, "ABC"}}) << QString() << QString();
}

void TestEnumeration::descriptor()
{
    QFETCH(QByteArray, descriptor);
    const StorageDeviceInfo info = DecodeStorageDescriptor(reinterpret_cast<const std::uint8_t*>(descriptor.constData()));
    QTEST(info.product, "product");
    QTEST(info.revision, "revision");
    QCOMPARE(info.bus, QStringLiteral("USB"));
}

void TestEnumeration::busTypes_data()
{
    QTest::addColumn<quint32>("bus");
    QTest::addColumn<QString>("text");
    const char* names[] = {"Unknow", "SCSI", "Atapi", "ATA", "1394", "SSA", "Fibre", "USB", "RAID"};
    for (quint32 i = 0; i < 9; ++i)
        QTest::addRow("%u", i) << i << QString::fromLatin1(names[i]);
    QTest::newRow("SATA") << 11u << QString();
    QTest::newRow("NVMe") << 17u << QString();
    QTest::newRow("126") << 126u << QString();
    QTest::newRow("127") << 127u << QStringLiteral("MaxReserved");
    QTest::newRow("128") << 128u << QString();
}

void TestEnumeration::busTypes()
{
    QFETCH(quint32, bus);
    QTEST(BusTypeText(bus), "text");
}

void TestEnumeration::filledDescriptorKeepsTheKernelsText()
{
    std::uint8_t d[platform::kDescriptorBytes] = {};
    platform::FillDescriptor(d, {" Flash Disk      ", "8.07", platform::BusUsb});
    const StorageDeviceInfo info = DecodeStorageDescriptor(d);
    QCOMPARE(info.product, QStringLiteral(" Flash Disk      "));
    QCOMPARE(info.revision, QStringLiteral("8.07"));
    QCOMPARE(info.bus, QStringLiteral("USB"));
    std::uint8_t none[platform::kDescriptorBytes] = {};
    platform::FillDescriptor(none, {{}, {}, platform::BusFileBackedVirtual});
    const StorageDeviceInfo image = DecodeStorageDescriptor(none);
    QVERIFY(image.product.isEmpty() && image.revision.isEmpty() && image.bus.isEmpty());
}

void TestEnumeration::sysfsVolumes()
{
    FakeSys sys;
    const QString usb = QStringLiteral("pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0/block/sdb");
    sys.Block(QStringLiteral("pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0/block/sda"), 8, 0);
    sys.Block(QStringLiteral("pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0/block/sda/sda1"), 8, 1, "2048\n", true);
    sys.Block(QStringLiteral("pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0/block/sda/sda2"), 8, 2, "2048\n", true);
    sys.Block(usb, 8, 16); // a stick formatted without a partition table
    sys.Attr(QStringLiteral("devices/") + usb + QStringLiteral("/removable"), "1\n");
    sys.Block(QStringLiteral("pci0000:00/0000:00:1f.2/ata2/host1/target1:0:0/1:0:0:0/block/sr0"), 11, 0);
    sys.Attr(QStringLiteral("devices/pci0000:00/0000:00:1f.2/ata2/host1/target1:0:0/1:0:0:0/block/sr0/device/type"), "5\n");
    sys.Block(QStringLiteral("pci0000:00/0000:00:14.0/usb3/3-1/host7/target7:0:0/7:0:0:0/block/sdc"), 8, 32, "0\n"); // an empty card slot
    sys.Block(QStringLiteral("virtual/block/loop0"), 7, 0);
    sys.Attr(QStringLiteral("devices/virtual/block/loop0/loop/backing_file"), "/srv/stick.img\n");
    sys.Block(QStringLiteral("virtual/block/loop1"), 7, 1); // no backing file
    sys.Block(QStringLiteral("virtual/block/zram0"), 252, 0);
    sys.Block(QStringLiteral("pci0000:00/0000:00:04.0/nvme/nvme0/nvme0n1"), 259, 0);
    platform::SysBlock reader(sys.root.path(), QStringLiteral("/dev"));
    QStringList names;
    QList<bool> removable;
    for (const platform::BlockVolume& v : reader.Volumes()) {
        names << v.name;
        removable << v.removable;
        QCOMPARE(v.node, QStringLiteral("/dev/") + v.name);
    }
    QCOMPARE(names, (QStringList{QStringLiteral("loop0"), QStringLiteral("nvme0n1"), QStringLiteral("sda1"), QStringLiteral("sda2"), QStringLiteral("sdb")}));
    QCOMPARE(removable, (QList<bool>{false, false, false, false, true}));
}

void TestEnumeration::sysfsIdentity_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("partition"); // empty: the disk itself
    QTest::addColumn<QByteArray>("model");
    QTest::addColumn<QByteArray>("revision");
    QTest::addColumn<quint32>("bus");
    QTest::newRow("USB stick partition") << QStringLiteral("pci0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0/block/sdb") << QStringLiteral("sdb1")
                                         << QByteArray("Flash Disk      ") << QByteArray("8.07") << quint32(platform::BusUsb);
    QTest::newRow("SATA disk") << QStringLiteral("pci0/ata1/host0/target0:0:0/0:0:0:0/block/sda") << QStringLiteral("sda1")
                               << QByteArray("ST1000DM003") << QByteArray("CC43") << quint32(platform::BusSata);
    QTest::newRow("parallel ATA disk") << QStringLiteral("pci0/ata2/host1/target1:0:0/1:0:0:0/block/sdc") << QString()
                                       << QByteArray("OLD DISK") << QByteArray("1.0") << quint32(platform::BusAta);
    QTest::newRow("SCSI disk") << QStringLiteral("pci0/host3/target3:0:0/3:0:0:0/block/sdd") << QString()
                               << QByteArray("VIRTUAL-DISK") << QByteArray("2.5+") << quint32(platform::BusScsi);
    QTest::newRow("NVMe") << QStringLiteral("pci0/nvme/nvme0/nvme0n1") << QStringLiteral("nvme0n1p1") << QByteArray("Samsung SSD 970")
                          << QByteArray("2B2QEXM7") << quint32(platform::BusNvme);
    QTest::newRow("SD card") << QStringLiteral("pci0/mmc_host/mmc0/mmc0:0001/block/mmcblk0") << QStringLiteral("mmcblk0p1")
                             << QByteArray("SD32G") << QByteArray("0x0") << quint32(platform::BusSd);
    QTest::newRow("virtio") << QStringLiteral("pci0/virtio1/block/vda") << QString() << QByteArray() << QByteArray()
                            << quint32(platform::BusVirtual);
    QTest::newRow("loop") << QStringLiteral("virtual/block/loop4") << QString() << QByteArray() << QByteArray()
                          << quint32(platform::BusFileBackedVirtual);
}

void TestEnumeration::sysfsIdentity()
{
    QFETCH(QString, path);
    QFETCH(QString, partition);
    QFETCH(QByteArray, model);
    QFETCH(QByteArray, revision);
    QFETCH(quint32, bus);
    FakeSys sys;
    sys.Block(path, 8, 0);
    if (!partition.isEmpty())
        sys.Block(path + QLatin1Char('/') + partition, 8, 1, "2048\n", true);
    const QString device = QStringLiteral("devices/") + path + QStringLiteral("/device/");
    const bool mmc = path.contains(QLatin1String("mmcblk")), nvme = path.contains(QLatin1String("nvme"));
    sys.Attr(device + QLatin1String(mmc ? "name" : "model"), model + '\n');
    sys.Attr(device + QLatin1String(mmc ? "fwrev" : nvme ? "firmware_rev" : "rev"), revision + '\n');
    if (mmc)
        sys.Attr(device + QStringLiteral("type"), "SD\n");
    sys.Attr(QStringLiteral("class/ata_link/link1/sata_spd"), "6.0 Gbps\n");
    sys.Attr(QStringLiteral("class/ata_link/link2/sata_spd"), "<unknown>\n");
    platform::SysBlock reader(sys.root.path());
    const auto id = reader.Identify(makedev(8, partition.isEmpty() ? 0 : 1));
    QVERIFY(id);
    QCOMPARE(id->bus, bus);
    if (bus != platform::BusVirtual && bus != platform::BusFileBackedVirtual) {
        QCOMPARE(id->product, model);
        QCOMPARE(id->revision, revision);
    }
    QVERIFY(!reader.Identify(makedev(9, 9))); // no such device
}

void TestEnumeration::deviceNameOrder()
{
    QStringList names{QStringLiteral("sdb"), QStringLiteral("sda10"), QStringLiteral("loop10"), QStringLiteral("sda2"),
                      QStringLiteral("loop2"), QStringLiteral("sda1")};
    std::sort(names.begin(), names.end(), platform::DeviceNameLess);
    QCOMPARE(names, (QStringList{QStringLiteral("loop2"), QStringLiteral("loop10"), QStringLiteral("sda1"), QStringLiteral("sda2"),
                                 QStringLiteral("sda10"), QStringLiteral("sdb")}));
}

void TestEnumeration::loopDevicesAndImageFiles()
{
    // The real layer on this machine: a loop device over a labelled FAT32 image, and an image file added by
    // hand. Enumerating reads them and writes nothing.
    QTemporaryDir dir;
    ImageRecipe recipe;
    recipe.directories = {QStringLiteral("A")};
    auto viaLoop = FatImage::Make(dir.filePath(QStringLiteral("loop.img")), recipe);
    auto added = FatImage::Make(dir.filePath(QStringLiteral("added.img")), recipe);
    QVERIFY(viaLoop && added);
    QVERIFY(RunProgram(QStringLiteral("mlabel"), {QStringLiteral("-i"), viaLoop->path(), QStringLiteral("::LOOPVOL")}).exitCode == 0);
    const QByteArray before = viaLoop->Digest(), addedBefore = added->Digest();
    const QString addedDrive = platform::DriveMap::Assign(added->path());
    QVERIFY(!addedDrive.isEmpty());

    QString device;
    if (::geteuid() == 0) {
        const ProcessResult attach = RunProgram(QStringLiteral("losetup"), {QStringLiteral("-f"), QStringLiteral("--show"), viaLoop->path()});
        if (attach.exitCode == 0)
            device = QString::fromUtf8(attach.out).trimmed();
    }
    const EnumerationResult found = EnumerateFat32Volumes();
    QString loopDrive;
    for (const platform::DriveEntry& e : platform::DriveMap::All())
        if (e.path == device)
            loopDrive = e.drive;
    if (!device.isEmpty())
        RunProgram(QStringLiteral("losetup"), {QStringLiteral("-d"), device});

    QVERIFY(found.anyCandidate);
    QVERIFY2(found.captions.contains(addedDrive + QStringLiteral("本地磁盘")), qPrintable(found.captions.join(QLatin1Char('|'))));
    QCOMPARE(platform::Drives().TypeOfDrive(addedDrive + QLatin1Char('\\')), int(platform::DRIVE_FIXED));
    StorageDeviceInfo info;
    QVERIFY(QueryStorageDevice(QStringLiteral("\\\\.\\") + addedDrive, info));
    QVERIFY(info.bus.isEmpty() && info.product.isEmpty());
    QVERIFY(!QueryStorageDevice(QStringLiteral("\\\\.\\Q:"), info) || platform::DriveMap::Resolve(QStringLiteral("Q:")));
    QCOMPARE(added->Digest(), addedBefore);
    QCOMPARE(viaLoop->Digest(), before);
    platform::DriveMap::Release(addedDrive);
    if (device.isEmpty())
        QSKIP("no loop device can be made here: the image file part ran");
    QVERIFY(!loopDrive.isEmpty());
    QVERIFY2(found.captions.contains(loopDrive + QStringLiteral("LOOPVOL")), qPrintable(found.captions.join(QLatin1Char('|'))));
}

QTEST_GUILESS_MAIN(TestEnumeration)
#include "tst_enumeration.moc"
