#include "platform/RawVolume.h"

#include "platform/DriveMap.h"
#include "platform/WriteGuard.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

Handle OpenMapped(const QString& drive, int flags)
{
    const auto entry = DriveMap::Resolve(drive);
    if (!entry)
        return {};
    if (entry->blockDevice && (flags & O_ACCMODE) != O_RDONLY)
        flags |= O_EXCL;
    const int fd = ::open(QFile::encodeName(entry->path).constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return {};
    if (!DriveMap::Matches(*entry, fd)) {
        ::close(fd);
        return {};
    }
    return Handle{fd, true, entry->blockDevice};
}

bool VolumeSize(const Handle& h, std::uint64_t& size)
{
    if (h.blockDevice)
        return ::ioctl(h.fd, BLKGETSIZE64, &size) == 0;
    struct stat st {};
    if (::fstat(h.fd, &st) != 0)
        return false;
    size = std::uint64_t(st.st_size);
    return true;
}

} // namespace

Handle OpenVolumeForRead(const QString& drive) { return OpenMapped(drive, O_RDONLY); }

// Read access too: the handle is checked against the volume's boot sector before it is handed out.
Handle OpenVolumeForWrite(const QString& drive) { return OpenMapped(drive, O_RDWR | O_DSYNC); }

bool SeekOffset32(Handle& h, std::int32_t offset)
{
    if (!h.valid() || offset < 0)
        return false;
    h.position = std::uint64_t(offset);
    return true;
}

bool SeekOffset64(Handle& h, std::uint64_t offset)
{
    if (!h.valid() || offset > std::uint64_t(INT64_MAX))
        return false;
    h.position = offset;
    return true;
}

std::size_t ReadBytes(Handle& h, void* buffer, std::size_t count)
{
    auto* p = static_cast<char*>(buffer);
    std::size_t done = 0;
    h.atEnd = false;
    while (done < count) {
        const ssize_t n = ::pread(h.fd, p + done, count - done, off_t(h.position));
        if (n < 0 && errno == EINTR)
            continue;
        h.atEnd = n == 0;
        if (n <= 0)
            break;
        done += std::size_t(n);
        h.position += std::uint64_t(n);
    }
    return done;
}

bool WriteBytes(Handle& h, const void* buffer, std::size_t count)
{
    if (!h.valid())
        return false;
    if (h.volume) {
        std::uint64_t size = 0;
        if (!VolumeSize(h, size) || h.position + count > size)
            return false;
    }
    if (!BeginCriticalWrite())
        return false;
    const auto* p = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pwrite(h.fd, p + done, count - done, off_t(h.position));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += std::size_t(n);
        h.position += std::uint64_t(n);
    }
    EndCriticalWrite();
    return done == count;
}

void CloseVolume(Handle& h)
{
    if (h.valid())
        ::close(h.fd);
    h = Handle{};
}

std::uint32_t LogicalSectorSize(const Handle& h)
{
    int size = 0;
    if (!h.blockDevice || ::ioctl(h.fd, BLKSSZGET, &size) != 0 || size < 0)
        return 0;
    return std::uint32_t(size);
}

Handle CreateFileForWrite(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return Handle{fd, false, false};
}

bool SeekToEnd(Handle& h)
{
    struct stat st {};
    if (!h.valid() || ::fstat(h.fd, &st) != 0)
        return false;
    h.position = std::uint64_t(st.st_size);
    return true;
}

bool FlushToStorage(const Handle& h, const QString& path)
{
    if (::fsync(h.fd) != 0)
        return false;
    // The file's name must survive a power cut too.
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    const int dfd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0)
        return false;
    const bool ok = ::fsync(dfd) == 0 || errno == EINVAL; // some file systems cannot sync a directory
    ::close(dfd);
    return ok;
}

} // namespace platform
