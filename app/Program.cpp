#include "app/Program.h"

#include "app/Unit1.h"
#include "platform/WriteGuard.h"
#include "selection/Unit2.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>

int RunRootwell(int& argc, char** argv, const std::function<void(TForm1&)>& ready)
{
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
    return 0;
}
