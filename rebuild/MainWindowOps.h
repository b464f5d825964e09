#pragma once
// The operations through which a rebuild job reports to the main window. The job never touches a
// control: the window (or the terminal front end, or a test) implements these, and OpsChannel carries
// each call to the thread that owns the implementation, in the job's order.

#include <QString>
#include <optional>

// Message box buttons, icons and answers, with the values the job has always used.
namespace mb {
constexpr unsigned Ok = 0x00;
constexpr unsigned YesNo = 0x04;
constexpr unsigned IconError = 0x10;
constexpr unsigned IconWarning = 0x30;
constexpr unsigned IconInformation = 0x40;
constexpr unsigned ButtonsMask = 0x0F;
constexpr unsigned IconMask = 0xF0;
constexpr int IdOk = 1;
constexpr int IdYes = 6;
constexpr int IdNo = 7;
} // namespace mb

// One found directory as the result table shows it: the caption and its five sub-items.
struct ResultRow {
    QString sn;
    QString type;
    QString sector;
    QString cluster;
    QString clusterHi;
    QString clusterLo;
};

class MainWindowOps {
public:
    virtual ~MainWindowOps() = default;
    virtual void AppendLogLine(const QString& line) = 0;
    // Minimum 0, position 0, then maximum; the job never passes a maximum below 0.
    virtual void ResetGauge(int maximum) = 0;
    // Clamped into the gauge's range.
    virtual void SetGaugeProgress(int value) = 0;
    virtual void SetStatusText(int panel, const QString& text) = 0;
    virtual void ClearResults() = 0;
    virtual void AddResultRow(const ResultRow& row) = 0;
    virtual int ResultCount() = 0;
    // Sub-item 0 is the type column, 4 the low cluster word.
    virtual QString ResultCell(int row, int subItem) = 0;
    // A modal box without owner window; returns the button pressed (mb::IdOk, mb::IdYes, mb::IdNo).
    virtual int ShowMessageBox(const QString& text, const QString& caption, unsigned flags) = 0;
    // The backup file name, or nothing when the user cancels or leaves it empty.
    virtual std::optional<QString> ChooseBackupFileName() = 0;
};
