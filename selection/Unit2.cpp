#include "selection/Unit2.h"

#include "app/Boxes.h"
#include "app/Unit1.h"
#include "rebuild/MainWindowOps.h"
#include "selection/HddInfo.h"

#include "platform/DriveMap.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QToolButton>
#include <QVBoxLayout>

TForm2* Form2 = nullptr;

namespace {
const char16_t* const kInstruction = u"请勾选要修复的盘符：";


TForm2::ImagePicker& Picker()
{
    static TForm2::ImagePicker picker = [] {
        return QFileDialog::getOpenFileName(Form2, QStringLiteral("添加映像文件"), QString(),
                                            QStringLiteral("映像文件 (*.img *.bin *.dd *.raw *.ima);;所有文件 (*)"));
    };
    return picker;
}
} // namespace

bool EnumFat32Volumes()
{
    const EnumerationResult found = EnumerateFat32Volumes();
    for (const QString& caption : found.captions) {
        const auto entry = platform::DriveMap::Resolve(caption.left(2));
        Form2->AddVolume(caption, entry ? entry->path : QString());
    }
    Form2->SetInstruction(found.permissionDenied > 0
                              ? QStringLiteral("（有") + QString::number(found.permissionDenied)
                                    + QStringLiteral("个卷因权限不足无法读取，请以root身份运行）")
                              : QString());
    return found.anyCandidate;
}

TForm2::TForm2(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    SetFormLook(this, QStringLiteral("选择要修复的盘符"), QRect(467, 252, 387, 337));

    pnl1 = new QFrame(this);
    pnl1->setFixedHeight(41);
    pnl1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    instruction_ = new QLabel(pnl1);
    instruction_->setWordWrap(true);
    auto* top = new QHBoxLayout(pnl1);
    top->setContentsMargins(6, 0, 6, 0);
    top->addWidget(instruction_);
    SetInstruction({});

    lv1 = new QListWidget(this);
    lv1->setFixedHeight(233);
    lv1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lv1->setEditTriggers(QAbstractItemView::NoEditTriggers);

    pnl2 = new QFrame(this);
    pnl2->setFrameStyle(QFrame::Panel | QFrame::Raised);
    btn1 = new QToolButton(pnl2);
    btn1->setText(QStringLiteral("扫描"));
    btn1->setFocusPolicy(Qt::NoFocus);
    btn1->setGeometry(248, 14, 129, 33);
    connect(btn1, &QToolButton::clicked, this, &TForm2::btn1Click);
    btnAddImage = new QToolButton(pnl2);
    btnAddImage->setText(QStringLiteral("添加映像文件…"));
    btnAddImage->setFocusPolicy(Qt::NoFocus);
    btnAddImage->setGeometry(111, 14, 129, 33);
    connect(btnAddImage, &QToolButton::clicked, this, &TForm2::btnAddImageClick);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(pnl1);
    layout->addWidget(lv1);
    layout->addWidget(pnl2, 1);
    setTabOrder(lv1, pnl1);
}

void TForm2::SetInstruction(const QString& note) { instruction_->setText(QString::fromUtf16(kInstruction) + note); }

QString TForm2::Instruction() const { return instruction_->text(); }

void TForm2::SetImagePicker(ImagePicker picker)
{
    static const ImagePicker dialog = Picker();
    Picker() = picker ? std::move(picker) : dialog;
}

void TForm2::btnAddImageClick()
{
    const QString path = Picker()();
    if (path.isEmpty())
        return;
    const QString drive = platform::DriveMap::Assign(path);
    if (drive.isEmpty()) {
        MessageBoxA(QStringLiteral("无法打开该映像文件：") + path, QStringLiteral("添加映像文件"), mb::Ok | mb::IconWarning);
        return;
    }
    // The list anew, with the checks the user had made.
    QStringList checked;
    for (int i = 0; i < lv1->count(); ++i)
        if (lv1->item(i)->checkState() == Qt::Checked)
            checked << lv1->item(i)->text();
    lv1->clear();
    EnumFat32Volumes();
    bool listed = false;
    for (int i = 0; i < lv1->count(); ++i) {
        QListWidgetItem* item = lv1->item(i);
        if (checked.contains(item->text()))
            item->setCheckState(Qt::Checked);
        listed = listed || item->text().startsWith(drive);
    }
    if (!listed)
        MessageBoxA(QStringLiteral("该映像文件不是FAT32卷：") + path, QStringLiteral("添加映像文件"), mb::Ok | mb::IconWarning);
}

void TForm2::AddVolume(const QString& caption, const QString& path)
{
    auto* item = new QListWidgetItem(caption, lv1);
    item->setToolTip(path);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
}

void TForm2::btn1Click()
{
    if (RefuseWhileJobRuns())
        return;
    int checked = 0;
    QListWidgetItem* first = nullptr;
    for (int i = 0; i < lv1->count(); ++i) {
        if (lv1->item(i)->checkState() == Qt::Checked) {
            ++checked;
            if (!first)
                first = lv1->item(i);
        }
    }
    if (checked == 0) {
        MessageBoxA(QStringLiteral("请选中要扫描的盘符！"), QStringLiteral("出错了哟~"), mb::Ok | mb::IconWarning);
        return;
    }
    if (checked > 1) {
        MessageBoxA(QStringLiteral("每次仅能选择一个盘符！"), QStringLiteral("出错了哟~"), mb::Ok | mb::IconWarning);
        return;
    }
    FSelectedDrive = first->text().left(2);
    StartJob(FSelectedDrive);
    close();
}
