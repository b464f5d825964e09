// Takes the README's picture of the window: rebuilds a demo image through the window, as a user would with
// Start, a check box and Scan (answering No to the backup question), then saves what the X server shows.
//   rootwell-screenshot IMAGE OUTPUT.png        (run it under an X server, e.g. xvfb-run)
#include "app/Program.h"
#include "tools/DriveWindow.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s IMAGE OUTPUT.png\n", argv[0]);
        return 2;
    }
    const QString image = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[2]);
    bool saved = false;
    int n = 1;
    RunRootwell(n, argv, [&](TForm1& window) {
        if (!StartJobOnImage(window, image)) {
            std::fprintf(stderr, "%s cannot be opened, or is no FAT32 volume\n", qPrintable(image));
            QApplication::quit();
            return;
        }
        auto* poll = new QTimer(&window);
        QObject::connect(poll, &QTimer::timeout, &window, [&window, poll, &output, &saved] {
            if (JobRunning() || window.tmr2->isActive())
                return;
            poll->stop();
            QTimer::singleShot(300, &window, [&window, &output, &saved] { // let the last repaint reach the screen
                const QRect frame = window.frameGeometry();
                const QPixmap shot = window.windowHandle()->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
                saved = shot.save(output);
                QApplication::quit();
            });
        });
        poll->start(100);
    });
    return saved ? 0 : 1;
}
