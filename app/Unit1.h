#pragma once
// The main window: the result table and the log of the rebuild, the gauge, the status bar and the Start
// and Stop buttons. It holds no rebuild logic: Start opens the selection dialog, whose Scan starts the
// worker, and the worker reports through the main-window operations this window implements.

#include "app/Boxes.h"
#include "rebuild/MainWindowOps.h"
#include "rebuild/OpsChannel.h"

#include <QWidget>

class Gauge;
class QFrame;
class QGroupBox;
class QPlainTextEdit;
class QTabWidget;
class QTableView;
class QTimer;
class QToolButton;
class QUrl;
class QWebEngineView;
class ResultModel;
class StatusPanels;

class TForm1 : public QWidget, public MainWindowOps {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // The relay through which workers report to this window.
    OpsRelay* Relay() const { return relay_; }

    // The window's components, in the order of its layout file.
    StatusPanels* stat1;
    Gauge* g1;
    QTabWidget* pgc1;
    QWidget* ts1;
    QWidget* ts2;
    QWebEngineView* wb1;
    QGroupBox* grp1;
    QPlainTextEdit* mmo1;
    SaveDialog dlgSave1;
    QTableView* lv1;
    ResultModel* lv1Rows;
    QFrame* pnl1;
    QToolButton* btn2;
    QToolButton* btn1;
    QTimer* tmr2;
    QTimer* tmr1;

    void btn1Click();
    void btn2Click();
    void FormCreate();
    void tmr1Timer();
    void tmr2Timer();
    void wb1BeforeNavigate2(const QUrl& url);
    void wb1DocumentComplete(const QUrl& url);

    void AppendLogLine(const QString& line) override;
    void ResetGauge(int maximum) override;
    void SetGaugeProgress(int value) override;
    void SetStatusText(int panel, const QString& text) override;
    void ClearResults() override;
    void AddResultRow(const ResultRow& row) override;
    int ResultCount() override;
    QString ResultCell(int row, int subItem) override;
    int ShowMessageBox(const QString& text, const QString& caption, unsigned flags) override;
    std::optional<QString> ChooseBackupFileName() override;

Q_SIGNALS:
    // A harvest of the About page has ended (whatever it took).
    void PageHarvested();

protected:
    // Closing the window ends the program, even while a job runs: the job is cut off from the window.
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildLayout();
    OpsRelay* relay_;
};

extern TForm1* Form1;

// The window's caption: the program, its version and the maker.
QString MainWindowCaption();
// The look the program's windows share, their caption, and where they open with what client size.
void SetFormLook(QWidget* form, const QString& caption, const QRect& placeAndClientSize);

// One job at a time: whether a worker started by the selection dialog is still running, and the refusal
// that Start and Scan show while one is.
bool JobRunning();
bool RefuseWhileJobRuns();
// Starts a worker on drive that reports to the main window.
void StartJob(const QString& drive);
