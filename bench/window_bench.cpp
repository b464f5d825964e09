// The window under a large scan: runs one job through the main window on IMAGE (backup declined) and prints
// how long it took, how long the event loop was ever kept from running (the window repaints and takes a
// click on Stop within that), and how many rows the table shows.
//   rootwell-bench-window IMAGE          (any Qt platform; offscreen needs no display)
#include "app/Program.h"
#include "app/ResultModel.h"
#include "tools/DriveWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <QTimer>
#include <QWebEngineView>
#include <algorithm>
#include <cstdio>

namespace {
void RunMeasuredJob(TForm1& window, const QString& image, int& status)
{
    auto* clock = new QElapsedTimer;
    auto* beat = new QElapsedTimer;
    auto* longest = new qint64(0);
    clock->start();
    beat->start();
    if (!StartJobOnImage(window, image)) {
        std::fprintf(stderr, "%s cannot be opened, or is no FAT32 volume\n", qPrintable(image));
        QApplication::quit();
        return;
    }
    // A timer that should fire every 5 ms: its longest gap is the longest the window could not react.
    auto* heartbeat = new QTimer(&window);
    QObject::connect(heartbeat, &QTimer::timeout, &window, [&window, &status, clock, beat, longest, heartbeat] {
        *longest = std::max(*longest, beat->restart());
        if (JobRunning())
            return;
        heartbeat->stop();
        window.lv1Rows->Publish();
        std::printf("window job: %.3f s, longest the event loop waited: %lld ms, rows in the table: %d\n",
                    double(clock->elapsed()) / 1000, static_cast<long long>(*longest),
                    window.lv1->model()->rowCount());
        status = 0;
        QApplication::quit();
    });
    heartbeat->start(5);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s IMAGE\n", argv[0]);
        return 2;
    }
    const QString image = QString::fromLocal8Bit(argv[1]);
    int n = 1;
    int status = 1;
    RunRootwell(n, argv, [&](TForm1& window) {
        // As a user would: the window has turned to the Start tab and its About page has settled.
        auto* settle = new QTimer(&window);
        QObject::connect(settle, &QTimer::timeout, &window, [&window, &image, &status, settle] {
            if (window.tmr2->isActive() || window.wb1->page()->isLoading())
                return;
            settle->stop();
            RunMeasuredJob(window, image, status);
        });
        settle->start(50);
    });
    return status;
}
