#include "app/Boxes.h"

#include "rebuild/MainWindowOps.h"

#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>

namespace {
MessageBoxFunction& CurrentBox()
{
    static MessageBoxFunction f = ScreenMessageBox;
    return f;
}

// Runs a dialog without making it modal, and waits for it in a local event loop: the caller gets its
// answer, and the main window keeps working meanwhile (Stop, above all).
template <typename Dialog>
void WaitFor(Dialog& dialog)
{
    QEventLoop loop;
    QObject::connect(&dialog, &QDialog::finished, &loop, &QEventLoop::quit);
    dialog.setWindowModality(Qt::NonModal);
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
    loop.exec();
}

std::optional<QString> ScreenSaveDialog(const QString& lastName)
{
    QFileDialog dialog;
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!lastName.isEmpty())
        dialog.selectFile(lastName);
    WaitFor(dialog);
    if (dialog.result() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

SaveDialog::Runner& CurrentRunner()
{
    static SaveDialog::Runner r = ScreenSaveDialog;
    return r;
}
} // namespace

int MessageBoxA(const QString& text, const QString& caption, unsigned flags) { return CurrentBox()(text, caption, flags); }

void SetMessageBoxFunction(MessageBoxFunction f) { CurrentBox() = f ? std::move(f) : MessageBoxFunction(ScreenMessageBox); }

int ScreenMessageBox(const QString& text, const QString& caption, unsigned flags)
{
    const bool question = (flags & mb::ButtonsMask) == mb::YesNo;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (flags & mb::IconMask) {
    case mb::IconWarning: icon = QMessageBox::Warning; break;
    case mb::IconInformation: icon = QMessageBox::Information; break;
    case mb::IconError: icon = QMessageBox::Critical; break;
    default: break;
    }
    QMessageBox box(icon, caption, text, question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok);
    WaitFor(box);
    switch (box.result()) {
    case QMessageBox::Yes: return mb::IdYes;
    case QMessageBox::No: return mb::IdNo;
    case QMessageBox::Ok: return mb::IdOk;
    default: return question ? mb::IdNo : mb::IdOk; // closed with its close box
    }
}

std::optional<QString> SaveDialog::Execute()
{
    const std::optional<QString> chosen = CurrentRunner()(fileName_);
    if (!chosen || chosen->isEmpty())
        return std::nullopt;
    fileName_ = *chosen;
    return chosen;
}

void SaveDialog::SetRunner(Runner runner) { CurrentRunner() = runner ? std::move(runner) : Runner(ScreenSaveDialog); }
