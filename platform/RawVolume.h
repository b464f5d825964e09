#pragma once
// Raw volume operations over a block device or an image file, named by drive text (see DriveMap),
// and the plain file the root cluster backup goes to. Every access of the job to a volume goes through here.

#include <QString>
#include <cstddef>
#include <cstdint>

namespace platform {

struct Handle {
    int fd = -1;
    bool volume = false;      // writes to a volume never grow it
    bool blockDevice = false;
    std::uint64_t position = 0; // where the next transfer starts: a seek costs no system call
    bool atEnd = false;         // the last read stopped at the end of the volume (not on an error)
    bool valid() const { return fd >= 0; }
};

// For reading; others may read and write the volume meanwhile. Invalid when the drive text maps to
// nothing, or its device has gone or been replaced since it was mapped.
Handle OpenVolumeForRead(const QString& drive);
// For writing, write-through: each write is on the device before it returns. A block device is opened
// exclusively, so the open fails while a file system has it mounted.
Handle OpenVolumeForWrite(const QString& drive);
bool SeekOffset32(Handle& h, std::int32_t offset);
bool SeekOffset64(Handle& h, std::uint64_t offset);
// Reads up to count bytes; returns how many were delivered. Bytes not delivered are left as they were.
std::size_t ReadBytes(Handle& h, void* buffer, std::size_t count);
// Writes the whole count, or fails. On a volume a write that would reach past its end fails unwritten.
bool WriteBytes(Handle& h, const void* buffer, std::size_t count);
void CloseVolume(Handle& h);

// The device's logical sector size, 0 for an image file.
std::uint32_t LogicalSectorSize(const Handle& h);

// The backup file: created empty (an existing file is replaced), positioned at its end, written, then
// flushed to stable storage with its directory entry.
Handle CreateFileForWrite(const QString& path);
bool SeekToEnd(Handle& h);
bool FlushToStorage(const Handle& h, const QString& path);

} // namespace platform
