#pragma once
// The selection dialog: the machine's FAT32 volumes with a check box each, and Scan, which starts the
// rebuild on the one volume checked.

#include <QWidget>

class QFrame;
class QLabel;
class QListWidget;
class QToolButton;

class TForm2 : public QWidget {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);

    QListWidget* lv1;
    QFrame* pnl1;
    QFrame* pnl2;
    QToolButton* btn1;
    QString FSelectedDrive; // the drive text handed to the last worker this dialog started

    // The instruction strip's text; note names what the list could not show.
    void SetInstruction(const QString& note);
    QString Instruction() const;
    // Appends an unchecked entry.
    void AddVolume(const QString& caption);

    void btn1Click();

private:
    QLabel* instruction_;
};

extern TForm2* Form2;
