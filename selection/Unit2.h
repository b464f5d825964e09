#pragma once
// The selection dialog: the machine's FAT32 volumes with a check box each, and Scan, which starts the
// rebuild on the one volume checked.

#include <QWidget>
#include <functional>

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
    QToolButton* btnAddImage;
    QString FSelectedDrive; // the drive text handed to the last worker this dialog started

    // The instruction strip's text; note names what the list could not show.
    void SetInstruction(const QString& note);
    QString Instruction() const;
    // Appends an unchecked entry; its tooltip names the device or file behind it.
    void AddVolume(const QString& caption, const QString& path = {});

    void btn1Click();
    // Adds an image file the user picks to the volumes of this run, and lists it.
    void btnAddImageClick();
    // How the image file is picked; the tests put a scripted picker in place of the file dialog.
    using ImagePicker = std::function<QString()>;
    static void SetImagePicker(ImagePicker picker);

private:
    QLabel* instruction_;
};

extern TForm2* Form2;
