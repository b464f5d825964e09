#pragma once
// Message boxes and the backup save dialog. A box has no owner window: its caller waits until it is closed
// while the other windows stay usable. The tests put a scripted answerer in place of the real boxes.

#include <QString>
#include <functional>
#include <optional>

using MessageBoxFunction = std::function<int(const QString& text, const QString& caption, unsigned flags)>;

// Shows a box with the buttons and icon of flags (mb::), returns the button pressed (mb::Id...).
int MessageBoxA(const QString& text, const QString& caption, unsigned flags);
// The box on screen; MessageBoxA uses it unless a test has put another answerer in its place.
int ScreenMessageBox(const QString& text, const QString& caption, unsigned flags);
void SetMessageBoxFunction(MessageBoxFunction f);

// The save dialog of the backup file. It opens with the name chosen last in this run and keeps the new one;
// a cancelled dialog keeps the old one.
class SaveDialog {
public:
    using Runner = std::function<std::optional<QString>(const QString& lastName)>;
    std::optional<QString> Execute();
    const QString& FileName() const { return fileName_; }
    static void SetRunner(Runner runner); // for the tests

private:
    QString fileName_;
};
