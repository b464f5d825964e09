#include "app/Program.h"

#include "app/Ticker.h"
#include "app/Unit1.h"
#include "platform/WriteGuard.h"
#include "selection/Unit2.h"

#include "legacy/int13ext2.h"

#include <QApplication>
#include <QLoggingCategory>
#include <unistd.h>
#include <QTimer>
#include <cstdio>

namespace {
QtMessageHandler g_next = nullptr;
// The browser engine reports its own set-up (its graphics, a sandbox switched off for root) as notes;
// they tell a user nothing.
void DropBrowserSetupNotes(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("Sandboxing disabled by user")))
        return;
    g_next(type, context, message);
}
} // namespace

void PrepareBrowserEngine()
{
    // Chromium's sandbox cannot run as root, the usual way to reach raw devices: there the engine runs
    // without it. As any other user it stays on.
    if (::geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The forum page needs no graphics card, and virtual and remote displays often offer none that works:
    // software drawing everywhere, without the engine's complaints about a GPU it could not use.
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains("--disable-gpu"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", (flags.isEmpty() ? QByteArray() : flags + ' ') + "--disable-gpu");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false\nqt.webenginecontext.debug=false"));
    g_next = qInstallMessageHandler(DropBrowserSetupNotes);
}

int RunRootwell(int& argc, char** argv, const std::function<void(TForm1&)>& ready)
{
    Int13UnitStart();
    PrepareBrowserEngine();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Rootwell"));
    QApplication::setQuitOnLastWindowClosed(false); // the main window's close ends the program, see TForm1
    Form1 = new TForm1;
    Form2 = new TForm2;
    Form1->show();
    if (ready)
        QTimer::singleShot(0, Form1, [&ready] { ready(*Form1); });
    app.exec();
    if (JobRunning()) {
        // The job is cut off from the window already; the program ends without waiting for it, but
        // never in the middle of a write to the volume.
        std::fflush(stdout);
        std::fflush(stderr);
        platform::ExitAfterWrites(0);
    }
    delete Form2;
    delete Form1;
    LastNavigateUrl.clear();
    Int13ExitProc();
    return 0;
}
