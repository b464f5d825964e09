#pragma once
// Keeps a write to a volume whole when the process is asked to end while it runs (a second Ctrl+C, the
// window closing during a job): the exit waits for the write in progress, and no new write starts after it.

namespace platform {

// Called by the volume layer around each write. Begin returns false once an exit is pending: the write
// must then not start. End performs a pending exit.
bool BeginCriticalWrite();
void EndCriticalWrite();

// Ends the process with code at once, or as soon as the write in progress has returned.
// Async-signal-safe; returns while a write is still in progress.
void ExitWhenWritesDone(int code);
// The same from a thread that may wait: does not return.
[[noreturn]] void ExitAfterWrites(int code);

} // namespace platform
