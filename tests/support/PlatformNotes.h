#pragma once
// What the offscreen platform and the browser engine say about themselves under test: the platform cannot
// do everything a window asks, and it has no OpenGL. Nothing here depends on either.

#include <QString>

bool IsPlatformNote(const QString& message);
// Drops those notes and passes every other message on to the handler installed before.
void QuietPlatformNotes();
