#include "support/ScriptedOps.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

QStringList ScriptedOps::LogTexts() const
{
    QStringList texts;
    for (const QString& line : log) {
        const qsizetype at = line.indexOf(QStringLiteral("] 操作:"));
        texts << (line.startsWith(QStringLiteral("时间:[")) && at > 0 ? line.mid(at) : QStringLiteral("<malformed> ") + line);
    }
    return texts;
}

QStringList ScriptedOps::BoxCaptions() const
{
    QStringList captions;
    for (const ShownBox& b : boxes)
        captions << b.caption;
    return captions;
}

void ScriptedOps::ResetGauge(int maximum)
{
    gaugeResets.push_back(maximum);
    gaugeMax = maximum;
    gaugePos = 0;
}

void ScriptedOps::SetGaugeProgress(int value)
{
    gaugeHighest = std::max(gaugeHighest, value);
    gaugePos = std::clamp(value, 0, gaugeMax);
}

void ScriptedOps::AddResultRow(const ResultRow& row)
{
    rows.push_back(row);
    if (onRowAdded)
        onRowAdded(int(rows.size()));
}

QString ScriptedOps::ResultCell(int row, int subItem)
{
    const ResultRow& r = rows.at(std::size_t(row));
    const QString* cells[] = {&r.type, &r.sector, &r.cluster, &r.clusterHi, &r.clusterLo};
    return subItem >= 0 && subItem < 5 ? *cells[subItem] : QString();
}

int ScriptedOps::ShowMessageBox(const QString& text, const QString& caption, unsigned flags)
{
    boxes.push_back({caption, text, flags});
    if ((flags & mb::ButtonsMask) != mb::YesNo)
        return mb::IdOk;
    if (onBackupQuestion)
        onBackupQuestion();
    return backupAnswer;
}

std::optional<QString> ScriptedOps::ChooseBackupFileName()
{
    ++nameRequests;
    return backupName;
}

std::optional<JobOutcome> RunJob(const QString& drive, ScriptedOps& ops, JobOptions options)
{
    OpsRelay relay(&ops);
    std::optional<JobOutcome> outcome;
    QEventLoop loop;
    QPointer<RootPanDuan> worker = new RootPanDuan(true, drive, &relay, std::move(options));
    QObject::connect(worker, &RootPanDuan::JobEnded, &loop, [&outcome](JobOutcome o) { outcome = o; });
    QObject::connect(worker, &QObject::destroyed, &loop, &QEventLoop::quit);
    QTimer::singleShot(240000, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec();
    if (worker) { // timed out: cut the job off and let it end, the relay must outlive it
        relay.Detach();
        QEventLoop rest;
        QObject::connect(worker, &QObject::destroyed, &rest, &QEventLoop::quit);
        rest.exec();
        return std::nullopt;
    }
    return outcome;
}
