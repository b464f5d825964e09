#pragma once
// The main-window operations for a terminal: the log and the found directories on standard output,
// message boxes and a progress bar on standard error, the backup question answered from the command line
// or asked on the terminal.

#include "cli/CliOptions.h"
#include "rebuild/MainWindowOps.h"

#include <QElapsedTimer>
#include <cstdint>
#include <string>
#include <vector>

class TerminalOps : public MainWindowOps {
public:
    TerminalOps(const CliOptions& options, bool stderrIsTerminal);

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

    // Takes the progress bar off the screen.
    void ClearProgress();

private:
    // Rows kept compact: a scan may find many directories.
    struct Row {
        std::uint64_t sn;
        std::uint64_t sector;
        std::uint32_t cluster;
        std::uint16_t hi;
        std::uint16_t lo;
    };
    void DrawProgress(bool force);
    QString Ask(const QString& prompt);

    const CliOptions options_;
    const bool stderrIsTerminal_;
    std::vector<Row> rows_;
    std::string line_;
    int gaugeMax_ = 0;
    int gaugePos_ = 0;
    bool barShown_ = false;
    bool scanning_ = false;
    QElapsedTimer sinceDraw_;
    QElapsedTimer sinceFlush_;
};
