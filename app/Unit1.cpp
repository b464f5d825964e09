#include "app/Unit1.h"

#include "app/About.h"
#include "app/Gauge.h"
#include "app/Icons.h"
#include "app/ResultModel.h"
#include "app/StatusPanels.h"
#include "app/Ticker.h"
#include "rebuild/OperationLog.h"
#include "rebuild/ROOT.h"
#include "selection/HddInfo.h"
#include "selection/Unit2.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWebEngineView>

TForm1* Form1 = nullptr;

namespace {
QPointer<RootPanDuan> g_job;

QToolButton* SpeedButton(QWidget* parent, const QString& caption, const QPixmap& picture, const QRect& geometry)
{
    auto* b = new QToolButton(parent);
    b->setText(caption);
    b->setIcon(QIcon(picture));
    b->setIconSize(picture.size());
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setFocusPolicy(Qt::NoFocus); // a speed button never takes the keyboard focus
    b->setGeometry(geometry);
    return b;
}
} // namespace

QString MainWindowCaption()
{
    return QStringLiteral("RootwellVer1.1－－－Rootwell开发组 QQ:") + QLatin1String(kContactNumber);
}

void SetFormLook(QWidget* form, const QString& caption, const QRect& placeAndClientSize)
{
    form->setWindowTitle(caption);
    QFont font(QStringLiteral("MS Sans Serif")); // the fontconfig fallback draws the Chinese texts
    font.setPixelSize(12);
    form->setFont(font);
    form->setAutoFillBackground(true);
    form->setBackgroundRole(QPalette::Button);
    form->move(placeAndClientSize.topLeft());
    form->resize(placeAndClientSize.size());
}

bool JobRunning() { return g_job && !g_job->isFinished(); }

bool RefuseWhileJobRuns()
{
    if (!JobRunning())
        return false;
    MessageBoxA(QStringLiteral("已有修复任务正在运行，请等待其结束。"), QStringLiteral("正在修复"), mb::Ok | mb::IconWarning);
    return true;
}

void StartJob(const QString& drive)
{
    g_job = new RootPanDuan(false, drive, Form1->Relay());
}

TForm1::TForm1(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                          | Qt::WindowCloseButtonHint),
      relay_(new OpsRelay(this, this))
{
    BuildLayout();
    FormCreate();
}

TForm1::~TForm1()
{
    relay_->Detach();
    if (TickerLabel && TickerLabel->parentWidget() == stat1)
        TickerLabel = nullptr;
    if (Form1 == this)
        Form1 = nullptr;
}

void TForm1::BuildLayout()
{
    SetFormLook(this, MainWindowCaption(), QRect(289, 129, 767, 580));

    stat1 = new StatusPanels(this);
    stat1->setFixedHeight(25);
    g1 = new Gauge(this);
    g1->setFixedHeight(25);

    pgc1 = new QTabWidget(this);
    pgc1->setFixedHeight(337);
    pgc1->setDocumentMode(true);
    ts1 = new QWidget;
    ts2 = new QWidget;
    auto* page = new ForumPage(this);
    wb1 = new QWebEngineView(ts2);
    wb1->setPage(page);
    wb1->resize(759, 305);
    connect(page, &ForumPage::NavigationBegins, this, &TForm1::wb1BeforeNavigate2);
    connect(page, &ForumPage::DocumentComplete, this, &TForm1::wb1DocumentComplete);
    pgc1->addTab(ts1, StartTabIcon(), QStringLiteral("开始"));
    pgc1->addTab(ts2, AboutTabIcon(), QStringLiteral("关于我们"));
    pgc1->setCurrentWidget(ts1); // as designed; FormCreate turns to the About tab

    lv1Rows = new ResultModel(this);
    lv1 = new QTableView(ts1);
    lv1->setModel(lv1Rows);
    lv1->setShowGrid(true);
    lv1->setSelectionBehavior(QAbstractItemView::SelectRows);
    lv1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lv1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    lv1->setWordWrap(false);
    lv1->verticalHeader()->hide();
    lv1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lv1->verticalHeader()->setDefaultSectionSize(lv1->fontMetrics().height() + 4);
    lv1->horizontalHeader()->setHighlightSections(false);
    for (int c = 0; c < 6; ++c) {
        lv1->horizontalHeader()->resizeSection(c, ResultModel::ColumnWidth(c));
    }
    lv1->horizontalHeader()->setStretchLastSection(false);
    auto* ts1Layout = new QVBoxLayout(ts1);
    ts1Layout->setContentsMargins(0, 0, 0, 0);
    ts1Layout->addWidget(lv1);

    pnl1 = new QFrame(this);
    pnl1->setFixedHeight(72);
    pnl1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    btn1 = SpeedButton(pnl1, QStringLiteral("开始"), StartPicture(), QRect(88, 8, 177, 57));
    btn2 = SpeedButton(pnl1, QStringLiteral("停止"), StopPicture(), QRect(464, 8, 177, 57));
    connect(btn1, &QToolButton::clicked, this, &TForm1::btn1Click);
    connect(btn2, &QToolButton::clicked, this, &TForm1::btn2Click);

    grp1 = new QGroupBox(QStringLiteral("日志"), this);
    mmo1 = new QPlainTextEdit(grp1);
    mmo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    mmo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* grpLayout = new QVBoxLayout(grp1);
    grpLayout->setContentsMargins(2, 2, 2, 2);
    grpLayout->addWidget(mmo1);

    // Docking: the page control and the button strip on top, the gauge and the status bar at the bottom,
    // the log takes what is left.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(pgc1);
    layout->addWidget(pnl1);
    layout->addWidget(grp1, 1);
    layout->addWidget(g1);
    layout->addWidget(stat1);

    tmr2 = new QTimer(this);
    tmr2->setInterval(1000);
    connect(tmr2, &QTimer::timeout, this, &TForm1::tmr2Timer);
    tmr2->start();
    tmr1 = new QTimer(this);
    tmr1->setInterval(3000);
    tmr1->setTimerType(Qt::PreciseTimer); // each entry shows for the whole period, not 5% less
    connect(tmr1, &QTimer::timeout, this, &TForm1::tmr1Timer);
    tmr1->start();
}

void TForm1::FormCreate()
{
    stat1->SetPanelText(0, QStringLiteral("就绪"));

    // The browser keeps its designed height at the top of its tab and takes the tab's width.
    auto* about = new QVBoxLayout(ts2);
    about->setContentsMargins(0, 0, 0, 0);
    about->addWidget(wb1);
    about->addStretch(1);
    wb1->setFixedHeight(305);
    wb1->load(ForumUrl());

    TickerLabel = new myLabel(stat1, tmr1);
    TickerLabel->setText(QString());
    TickerLabel->adjustSize();
    TickerLabel->setFixedHeight(TickerLabel->fontMetrics().height());
    TickerLabel->move(stat1->PanelWidth(0) + stat1->PanelWidth(1) + 4, (stat1->height() - TickerLabel->height()) / 2);
    TickerLabel->raise();
    TickerLabel->show();

    TickerIndex = 0;
    TickerTitles.clear();
    TickerLinks.clear();
    pgc1->setCurrentWidget(ts2);
}

void TForm1::tmr1Timer() { AdvanceTicker(); }

void TForm1::wb1BeforeNavigate2(const QUrl& url) { LastNavigateUrl = QString::fromLatin1(url.toEncoded()); }

void TForm1::wb1DocumentComplete(const QUrl& url)
{
    // Frames complete too; only the document of the navigation begun last is harvested.
    if (QString::fromLatin1(url.toEncoded()) != LastNavigateUrl.toString())
        return;
    HarvestPage(wb1->page(), [this] { Q_EMIT PageHarvested(); });
}

void TForm1::tmr2Timer()
{
    tmr2->stop();
    pgc1->setCurrentWidget(ts1);
}

void TForm1::btn1Click()
{
    if (RefuseWhileJobRuns())
        return;
    stat1->SetPanelText(0, QStringLiteral("扫描...."));
    stat1->SetPanelText(1, QString());
    StopRequested = false;
    Form2->lv1->clear();
    EnumFat32Volumes();
    Form2->show();
    Form2->raise();
    Form2->activateWindow();
}

void TForm1::btn2Click() { StopRequested = true; }

void TForm1::closeEvent(QCloseEvent* event)
{
    // A job still running gets no answer from this window any more, and the program does not wait for it.
    relay_->Detach();
    event->accept();
    QCoreApplication::quit();
}

void TForm1::AppendLogLine(const QString& line) { mmo1->appendPlainText(line); }

void TForm1::ResetGauge(int maximum)
{
    g1->SetMinValue(0);
    g1->SetProgress(0);
    g1->SetMaxValue(maximum);
}

void TForm1::SetGaugeProgress(int value) { g1->SetProgress(value); }

void TForm1::SetStatusText(int panel, const QString& text) { stat1->SetPanelText(panel, text); }

void TForm1::ClearResults() { lv1Rows->Clear(); }

void TForm1::AddResultRow(const ResultRow& row) { lv1Rows->Append(row); }

int TForm1::ResultCount() { return lv1Rows->Count(); }

QString TForm1::ResultCell(int row, int subItem) { return lv1Rows->Cell(row, subItem); }

int TForm1::ShowMessageBox(const QString& text, const QString& caption, unsigned flags)
{
    return MessageBoxA(text, caption, flags);
}

std::optional<QString> TForm1::ChooseBackupFileName() { return dlgSave1.Execute(); }
