#include "support/FatImage.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QtEndian>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

ProcessResult RunProgram(const QString& program, const QStringList& arguments, const QByteArray& input)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MTOOLS_SKIP_CHECK"), QStringLiteral("1"));
    p.setProcessEnvironment(env);
    p.start(program, arguments);
    if (!p.waitForStarted(10000))
        return {};
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(300000);
    ProcessResult r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

namespace {
// mtools takes a volume for FAT32 only from 65,525 clusters on.
qint64 MinimumKiB(const ImageRecipe& s)
{
    const qint64 clusterBytes = qint64(s.sectorSize) * s.sectorsPerCluster;
    const qint64 clusters = 66000;
    const qint64 fatBytes = 2 * clusters * 4 + 2 * qint64(s.sectorSize);
    return (clusters * clusterBytes + fatBytes + 64 * qint64(s.sectorSize)) / 1024 + 1024;
}
} // namespace

std::optional<FatImage> FatImage::Make(const QString& path, const ImageRecipe& recipe)
{
    QFile::remove(path);
    const qint64 kib = recipe.sizeKiB ? recipe.sizeKiB : MinimumKiB(recipe);
    ProcessResult r = RunProgram(QStringLiteral("mkfs.fat"),
                                 {QStringLiteral("-F"), QStringLiteral("32"), QStringLiteral("-S"),
                                  QString::number(recipe.sectorSize), QStringLiteral("-s"),
                                  QString::number(recipe.sectorsPerCluster), QStringLiteral("-i"),
                                  QStringLiteral("2026CAFE"), QStringLiteral("-C"), path, QString::number(kib)});
    if (r.exitCode != 0) {
        qWarning("mkfs.fat failed: %s", r.err.constData());
        return std::nullopt;
    }
    if (!recipe.directories.isEmpty()) {
        QStringList args{QStringLiteral("-i"), path};
        for (const QString& dir : recipe.directories)
            args << QStringLiteral("::/") + dir;
        r = RunProgram(QStringLiteral("mmd"), args);
        if (r.exitCode != 0) {
            qWarning("mmd failed: %s", r.err.constData());
            return std::nullopt;
        }
    }
    for (const auto& [name, content] : recipe.files) {
        const QString local = path + QStringLiteral(".content");
        QFile f(local);
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            return std::nullopt;
        f.close();
        r = RunProgram(QStringLiteral("mcopy"), {QStringLiteral("-i"), path, local, QStringLiteral("::/") + name});
        QFile::remove(local);
        if (r.exitCode != 0) {
            qWarning("mcopy %s failed: %s", qPrintable(name), r.err.constData());
            return std::nullopt;
        }
    }
    return FatImage(path);
}

FatImage FatImage::Open(const QString& path) { return FatImage(path); }

fat::BootSector FatImage::boot() const
{
    const QByteArray s = Read(0, 512);
    return fat::DecodeBootSector(reinterpret_cast<const std::uint8_t*>(s.constData()));
}

QByteArray FatImage::Read(std::uint64_t offset, std::size_t count) const
{
    QByteArray out(qsizetype(count), '\0');
    const int fd = ::open(QFile::encodeName(path_).constData(), O_RDONLY);
    if (fd >= 0) {
        const ssize_t n = ::pread(fd, out.data(), count, off_t(offset));
        out.resize(n > 0 ? qsizetype(n) : 0);
        ::close(fd);
    }
    return out;
}

void FatImage::Write(std::uint64_t offset, const QByteArray& bytes) const
{
    const int fd = ::open(QFile::encodeName(path_).constData(), O_WRONLY);
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t n = ::pwrite(fd, bytes.constData(), std::size_t(bytes.size()), off_t(offset));
        ::close(fd);
    }
}

void FatImage::GarbageRoot(quint32 seed) const
{
    QRandomGenerator random(seed);
    QByteArray junk(int(clusterBytes()), '\0');
    for (char& c : junk)
        c = char(random.bounded(256));
    // Random stamps can pass for a sound root; an entry stamped 1995 last in the first sector never does.
    const std::size_t last = boot().BytsPerSec - 32;
    junk[qsizetype(last + 11)] = 0x20;
    for (const std::size_t field : {14, 16, 18, 22, 24})
        fat::PutLe16(reinterpret_cast<std::uint8_t*>(junk.data()) + last + field, field == 14 || field == 22 ? 0x6000 : 0x1E21);
    Write(rootOffset(), junk);
}

QByteArray FatImage::Digest(std::uint64_t maskBegin, std::uint64_t maskEnd) const
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const int fd = ::open(QFile::encodeName(path_).constData(), O_RDONLY);
    if (fd < 0)
        return {};
    const off_t size = ::lseek(fd, 0, SEEK_END);
    hash.addData(QByteArray::number(qint64(size)));
    constexpr std::size_t block = 1 << 16;
    QByteArray buffer(block, '\0');
    const QByteArray zeros(block, '\0');
    off_t at = 0;
    while (at < size) {
        const off_t data = ::lseek(fd, at, SEEK_DATA);
        if (data < 0)
            break;
        const off_t hole = ::lseek(fd, data, SEEK_HOLE);
        for (off_t b = data - data % off_t(block); b < hole; b += off_t(block)) {
            const ssize_t n = ::pread(fd, buffer.data(), block, b);
            if (n <= 0)
                break;
            for (ssize_t i = 0; i < n; ++i) {
                const std::uint64_t pos = std::uint64_t(b + i);
                if (pos >= maskBegin && pos < maskEnd)
                    buffer[qsizetype(i)] = 0;
            }
            if (std::memcmp(buffer.constData(), zeros.constData(), std::size_t(n)) != 0) {
                char offset[8];
                qToLittleEndian<qint64>(b, offset);
                hash.addData(QByteArrayView(offset, 8));
                hash.addData(QByteArrayView(buffer.constData(), n));
            }
        }
        at = hole;
    }
    ::close(fd);
    return hash.result().toHex();
}

QStringList FatImage::List(const QString& dir) const
{
    const ProcessResult r = RunProgram(QStringLiteral("mdir"), {QStringLiteral("-b"), QStringLiteral("-i"), path_, dir});
    QStringList names;
    for (const QByteArray& line : r.out.split('\n')) {
        QString name = QString::fromUtf8(line).trimmed();
        while (name.endsWith(QLatin1Char('/')))
            name.chop(1);
        if (!name.isEmpty())
            names << name.section(QLatin1Char('/'), -1);
    }
    return names;
}

std::optional<QByteArray> FatImage::ReadFile(const QString& path) const
{
    const QString local = path_ + QStringLiteral(".copied");
    QFile::remove(local);
    const ProcessResult r =
        RunProgram(QStringLiteral("mcopy"), {QStringLiteral("-n"), QStringLiteral("-i"), path_, path, local});
    QFile f(local);
    if (r.exitCode != 0 || !f.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray content = f.readAll();
    f.close();
    QFile::remove(local);
    return content;
}
