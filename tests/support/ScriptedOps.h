#pragma once
// A main window for the tests: records everything a job reports and answers its questions from a script.

#include "rebuild/MainWindowOps.h"
#include "rebuild/ROOT.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

struct ShownBox {
    QString caption;
    QString text;
    unsigned flags;
};

class ScriptedOps : public MainWindowOps {
public:
    // The script.
    int backupAnswer = mb::IdNo;
    std::optional<QString> backupName;
    std::function<void(int rows)> onRowAdded;   // after each appended row
    std::function<void()> onBackupQuestion;     // while the backup question is open

    // What the job reported.
    QStringList log;                            // whole lines
    std::vector<ShownBox> boxes;
    std::vector<ResultRow> rows;
    QString status[2];
    int gaugeMax = 100;
    int gaugePos = 0;
    std::vector<int> gaugeResets;
    int gaugeHighest = 0;                       // the highest position set, before clamping
    int nameRequests = 0;

    // The log lines without their time stamps: from "] 操作:" on.
    QStringList LogTexts() const;
    QStringList BoxCaptions() const;

    void AppendLogLine(const QString& line) override { log << line; }
    void ResetGauge(int maximum) override;
    void SetGaugeProgress(int value) override;
    void SetStatusText(int panel, const QString& text) override { status[panel] = text; }
    void ClearResults() override { rows.clear(); }
    void AddResultRow(const ResultRow& row) override;
    int ResultCount() override { return int(rows.size()); }
    QString ResultCell(int row, int subItem) override;
    int ShowMessageBox(const QString& text, const QString& caption, unsigned flags) override;
    std::optional<QString> ChooseBackupFileName() override;
};

// Runs one job on drive to its end, on a worker thread, reporting to ops on this thread.
// Returns the outcome, or nothing when the job did not end in time.
std::optional<JobOutcome> RunJob(const QString& drive, ScriptedOps& ops, JobOptions options = {});
