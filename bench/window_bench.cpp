// The window under a large scan: runs one job through the main window on IMAGE (backup declined) and prints
// how long it took, how long the event loop was ever kept from running (the window repaints and takes a
// click on Stop within that), and how many rows the table shows.
//   rootwell-bench-window IMAGE          (any Qt platform; offscreen needs no display)
#include "app/Boxes.h"
#include "app/Program.h"
#include "app/ResultModel.h"
#include "app/Unit1.h"
#include "platform/DriveMap.h"
#include "rebuild/MainWindowOps.h"
#include "selection/Unit2.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <cstdio>

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
        SetMessageBoxFunction([](const QString&, const QString&, unsigned flags) {
            return (flags & mb::ButtonsMask) == mb::YesNo ? mb::IdNo : mb::IdOk;
        });
        if (platform::DriveMap::Assign(image).isEmpty()) {
            std::fprintf(stderr, "cannot open %s\n", qPrintable(image));
            QApplication::quit();
            return;
        }
        window.btn1Click();
        Form2->lv1->item(0)->setCheckState(Qt::Checked);
        auto* clock = new QElapsedTimer;
        auto* beat = new QElapsedTimer;
        auto* longest = new qint64(0);
        clock->start();
        beat->start();
        Form2->btn1Click();
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
    });
    return status;
}
