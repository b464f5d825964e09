// rootwell-cli: one rebuild job on a block device or an image file, driven from a terminal or a script.
#include "cli/CliOptions.h"
#include "cli/TerminalOps.h"
#include "platform/DriveMap.h"
#include "platform/WriteGuard.h"
#include "rebuild/ROOT.h"
#include "selection/HddInfo.h"

#include <QCoreApplication>
#include <QPointer>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

std::atomic<int> g_interrupts{0};

// First Ctrl+C: the Stop button. Second: quit, but never in the middle of a write to the volume.
void OnInterrupt(int)
{
    if (g_interrupts.fetch_add(1) == 0) {
        StopRequested.store(true);
        static const char note[] = "\nStop requested: the scan ends at its next step. Ctrl+C again quits.\n";
        [[maybe_unused]] const auto n = ::write(STDERR_FILENO, note, sizeof note - 1);
        return;
    }
    platform::ExitWhenWritesDone(130);
}

int ExitCode(JobOutcome outcome)
{
    switch (outcome) {
    case JobOutcome::RootWritten:
    case JobOutcome::DryRunCompleted: return 0;
    case JobOutcome::RootSound: return 3;
    case JobOutcome::Failed: break;
    }
    return 1;
}

void PrintError(const QString& text) { std::fprintf(stderr, "rootwell-cli: %s\n", text.toUtf8().constData()); }

// The volumes the selection dialog would offer, one per line: caption, tab, device or file.
int ListVolumes()
{
    const EnumerationResult found = EnumerateFat32Volumes();
    for (const QString& caption : found.captions) {
        const auto entry = platform::DriveMap::Resolve(caption.left(2));
        std::printf("%s\t%s\n", caption.toUtf8().constData(), entry ? entry->path.toUtf8().constData() : "");
    }
    if (found.permissionDenied > 0)
        PrintError(QStringLiteral("%1 volume(s) could not be read with this user's rights; run as root to see them all")
                       .arg(found.permissionDenied));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const ParsedCommandLine parsed = ParseCommandLine(app.arguments(), ::isatty(STDIN_FILENO) == 1);
    if (!parsed.options) {
        PrintError(parsed.error);
        std::fputs(UsageText().toUtf8().constData(), stderr);
        return 2;
    }
    const CliOptions& options = *parsed.options;
    if (options.help) {
        std::fputs(UsageText().toUtf8().constData(), stdout);
        return 0;
    }

    if (options.list)
        return ListVolumes();

    const QString drive = platform::DriveMap::Assign(options.path);
    if (drive.isEmpty()) {
        PrintError(options.path + QStringLiteral(": not a block device or regular file that can be examined"));
        return 1;
    }
    if (options.dryRun)
        PrintError(QStringLiteral("dry run: nothing will be written"));

    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sa.sa_flags = SA_RESTART;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);

    TerminalOps ops(options, ::isatty(STDERR_FILENO) == 1);
    OpsRelay relay(&ops);
    JobOutcome outcome = JobOutcome::Failed;
    JobOptions jobOptions;
    jobOptions.dryRun = options.dryRun;
    QPointer<RootPanDuan> worker = new RootPanDuan(true, drive, &relay, jobOptions);
    QObject::connect(worker, &RootPanDuan::JobEnded, &app, [&outcome](JobOutcome o) { outcome = o; });
    QObject::connect(worker, &QThread::finished, &app, &QCoreApplication::quit);
    worker->start();
    app.exec();
    if (worker)
        worker->wait();
    ops.ClearProgress();
    std::fflush(stdout);
    return ExitCode(outcome);
}
