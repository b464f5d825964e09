#pragma once
// Runs a job through the window on an image file as a user would: Start, the image's check box in the
// selection dialog, Scan; the backup question is answered No. For the screenshot and the window benchmark.

#include "app/Boxes.h"
#include "app/Unit1.h"
#include "platform/DriveMap.h"
#include "rebuild/MainWindowOps.h"
#include "selection/Unit2.h"

#include <QListWidget>

// False when the image cannot be opened or the dialog does not list it.
inline bool StartJobOnImage(TForm1& window, const QString& image)
{
    SetMessageBoxFunction([](const QString&, const QString&, unsigned flags) {
        return (flags & mb::ButtonsMask) == mb::YesNo ? mb::IdNo : mb::IdOk;
    });
    const QString drive = platform::DriveMap::Assign(image);
    if (drive.isEmpty())
        return false;
    window.btn1Click();
    for (int i = 0; i < Form2->lv1->count(); ++i) {
        if (Form2->lv1->item(i)->text().startsWith(drive)) {
            Form2->lv1->item(i)->setCheckState(Qt::Checked);
            Form2->btn1Click();
            return true;
        }
    }
    return false;
}
