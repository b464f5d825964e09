#include "platform/MountTable.h"

#include "platform/DriveMap.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTextStream>
#include <mutex>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace platform {
namespace {

std::mutex g_mutex;
QString g_mountInfo = QStringLiteral("/proc/self/mountinfo");
QString g_sysBlock = QStringLiteral("/sys/block");

QString ReadFirstLine(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readLine()).trimmed();
}

// A device directory of the block tree ("/sys/block/sdb") and its partitions, as "major:minor" texts.
void AddDeviceAndPartitions(const QDir& dir, QSet<QString>& numbers)
{
    const QString own = ReadFirstLine(dir.filePath(QStringLiteral("dev")));
    if (!own.isEmpty())
        numbers.insert(own);
    for (const QString& sub : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (QFile::exists(dir.filePath(sub + QStringLiteral("/partition")))) {
            const QString part = ReadFirstLine(dir.filePath(sub + QStringLiteral("/dev")));
            if (!part.isEmpty())
                numbers.insert(part);
        }
    }
}

QString DeviceNumber(dev_t d) { return QStringLiteral("%1:%2").arg(major(d)).arg(minor(d)); }

// Mount table fields escape blanks, tabs, newlines and backslashes as three octal digits.
QString Unescape(const QString& field)
{
    const QByteArray raw = field.toUtf8();
    QByteArray out;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        bool ok = false;
        const int v = raw[i] == '\\' && i + 3 < raw.size() ? raw.mid(i + 1, 3).toInt(&ok, 8) : 0;
        if (ok) {
            out.append(char(v));
            i += 3;
        } else {
            out.append(raw[i]);
        }
    }
    return QString::fromUtf8(out);
}

QSet<QString> DeviceNumbersHolding(const DriveEntry& e, const QString& sysBlock)
{
    QSet<QString> numbers;
    const QDir blocks(sysBlock);
    if (e.blockDevice) {
        numbers.insert(DeviceNumber(e.rdev));
        for (const QString& name : blocks.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            if (ReadFirstLine(blocks.filePath(name + QStringLiteral("/dev"))) == DeviceNumber(e.rdev))
                AddDeviceAndPartitions(QDir(blocks.filePath(name)), numbers);
        return numbers;
    }
    for (const QString& name : blocks.entryList({QStringLiteral("loop*")}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        QString backing = ReadFirstLine(blocks.filePath(name + QStringLiteral("/loop/backing_file")));
        if (backing.isEmpty())
            continue;
        struct stat st {};
        if (::stat(QFile::encodeName(backing).constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_dev == e.dev
            && st.st_ino == e.ino)
            AddDeviceAndPartitions(QDir(blocks.filePath(name)), numbers);
    }
    return numbers;
}

} // namespace

void SetMountSourcesForTesting(const QString& mountInfoPath, const QString& sysBlockPath)
{
    std::lock_guard lock(g_mutex);
    g_mountInfo = mountInfoPath;
    g_sysBlock = sysBlockPath;
}

std::optional<QString> MountPointOf(const QString& drive)
{
    const auto entry = DriveMap::Resolve(drive);
    if (!entry)
        return std::nullopt;
    QString mountInfo, sysBlock;
    {
        std::lock_guard lock(g_mutex);
        mountInfo = g_mountInfo;
        sysBlock = g_sysBlock;
    }
    const QSet<QString> numbers = DeviceNumbersHolding(*entry, sysBlock);
    if (numbers.isEmpty())
        return std::nullopt;
    QFile f(mountInfo);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    QTextStream in(&f);
    // mountinfo: id parent major:minor root mount-point options ...
    for (QString line = in.readLine(); !line.isNull(); line = in.readLine()) {
        const QStringList fields = line.split(QLatin1Char(' '));
        if (fields.size() > 4 && numbers.contains(fields[2]))
            return Unescape(fields[4]);
    }
    return std::nullopt;
}

} // namespace platform
