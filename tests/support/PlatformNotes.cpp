#include "support/PlatformNotes.h"

#include <QtGlobal>

namespace {
QtMessageHandler g_next = nullptr;

void DropPlatformNotes(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!IsPlatformNote(message) && g_next)
        g_next(type, context, message);
}
} // namespace

bool IsPlatformNote(const QString& message)
{
    return message.startsWith(QLatin1String("This plugin does not support"))
        || message.startsWith(QLatin1String("WebEngineContext used before"))
        || message.startsWith(QLatin1String("No suitable graphics backend"));
}

void QuietPlatformNotes() { g_next = qInstallMessageHandler(DropPlatformNotes); }
