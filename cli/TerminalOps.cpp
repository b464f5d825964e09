#include "cli/TerminalOps.h"

#include "rebuild/OperationLog.h"
#include "rebuild/ROOT.h"

#include <cstdio>
#include <iostream>
#include <string>

namespace {
void Print(std::FILE* f, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), f);
}

} // namespace

TerminalOps::TerminalOps(const CliOptions& options, bool stderrIsTerminal)
    : options_(options), stderrIsTerminal_(stderrIsTerminal)
{
    sinceDraw_.start();
    sinceFlush_.start();
}

void TerminalOps::AppendLogLine(const QString& line)
{
    ClearProgress();
    // The bar stands for the scan only: from its first log line to the next.
    scanning_ = line.endsWith(oplog::E1());
    Print(stdout, line + QLatin1Char('\n'));
    std::fflush(stdout);
    sinceFlush_.restart();
}

void TerminalOps::ResetGauge(int maximum)
{
    gaugeMax_ = maximum;
    gaugePos_ = 0;
}

void TerminalOps::SetGaugeProgress(int value)
{
    gaugePos_ = std::clamp(value, 0, gaugeMax_);
    DrawProgress(false);
}

void TerminalOps::SetStatusText(int, const QString&) {}

void TerminalOps::ClearResults() { rows_.clear(); }

void TerminalOps::AddResultRow(const ResultRow& row)
{
    rows_.push_back({row.sn.toULongLong(), row.sector.toULongLong(), row.cluster.toUInt(),
                     std::uint16_t(row.clusterHi.toUInt(nullptr, 16)), std::uint16_t(row.clusterLo.toUInt(nullptr, 16))});
    ClearProgress();
    // The cells are digits and hexadecimal letters: copied byte by byte, without a conversion per cell.
    line_.clear();
    for (const QString* cell : {&row.sn, &row.type, &row.sector, &row.cluster, &row.clusterHi, &row.clusterLo}) {
        for (const QChar c : *cell)
            line_.push_back(char(c.unicode()));
        line_.push_back(cell == &row.clusterLo ? '\n' : '\t');
    }
    std::fwrite(line_.data(), 1, line_.size(), stdout);
    // A reader at the other end of a pipe sees the rows as they come, without a system call for each.
    if (sinceFlush_.elapsed() >= 100) {
        std::fflush(stdout);
        sinceFlush_.restart();
    }
}

int TerminalOps::ResultCount() { return int(std::min<std::size_t>(rows_.size(), INT32_MAX)); }

QString TerminalOps::ResultCell(int row, int subItem)
{
    if (row < 0 || std::size_t(row) >= rows_.size())
        return {};
    const Row& r = rows_[std::size_t(row)];
    switch (subItem) {
    case 0: return QStringLiteral("2E"); // the scan lists directory clusters only
    case 1: return QString::number(r.sector);
    case 2: return QString::number(r.cluster);
    case 3: return RootPanDuan::ClusterHalfText(r.hi);
    case 4: return RootPanDuan::ClusterHalfText(r.lo);
    default: return {};
    }
}

int TerminalOps::ShowMessageBox(const QString& text, const QString& caption, unsigned flags)
{
    ClearProgress();
    std::fflush(stdout);
    Print(stderr, QStringLiteral("[") + caption + QStringLiteral("] ") + text + QLatin1Char('\n'));
    if ((flags & mb::ButtonsMask) != mb::YesNo)
        return mb::IdOk;
    switch (options_.backup) {
    case CliOptions::Backup::Yes: return mb::IdYes;
    case CliOptions::Backup::No: return mb::IdNo;
    case CliOptions::Backup::Ask: break;
    }
    const QString answer = Ask(QStringLiteral("Yes or No? [y/N] ")).trimmed().toLower();
    return answer == QLatin1String("y") || answer == QLatin1String("yes") ? mb::IdYes : mb::IdNo;
}

std::optional<QString> TerminalOps::ChooseBackupFileName()
{
    const QString name = options_.backup == CliOptions::Backup::Yes ? options_.backupName
                                                                   : Ask(QStringLiteral("Backup file name: "));
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

QString TerminalOps::Ask(const QString& prompt)
{
    Print(stderr, prompt);
    std::fflush(stderr);
    std::string line;
    if (!std::getline(std::cin, line))
        return {};
    return QString::fromStdString(line);
}

void TerminalOps::DrawProgress(bool force)
{
    if (!stderrIsTerminal_ || !scanning_ || gaugeMax_ <= 0)
        return;
    if (!force && barShown_ && sinceDraw_.elapsed() < 100)
        return;
    sinceDraw_.restart();
    const int percent = int(100LL * gaugePos_ / gaugeMax_);
    constexpr int width = 40;
    const int filled = percent * width / 100;
    std::fflush(stdout);
    const QString bar = QStringLiteral("\r[%1%2] %3%").arg(QString(filled, QLatin1Char('#')),
                                                          QString(width - filled, QLatin1Char('.')))
                            .arg(percent, 3);
    Print(stderr, bar);
    std::fflush(stderr);
    barShown_ = true;
}

void TerminalOps::ClearProgress()
{
    if (!barShown_)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    barShown_ = false;
}
