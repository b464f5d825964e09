#pragma once
// The command line of rootwell-cli.

#include <QString>
#include <QStringList>
#include <optional>

struct CliOptions {
    enum class Backup { Ask, Yes, No };
    Backup backup = Backup::Ask;
    QString backupName;
    bool dryRun = false;
    bool help = false;
    bool list = false;
    QString path;
};

// The options, or the usage error to print. stdinIsTerminal decides whether the backup question may
// be left to the terminal.
struct ParsedCommandLine {
    std::optional<CliOptions> options;
    QString error;
};
ParsedCommandLine ParseCommandLine(const QStringList& arguments, bool stdinIsTerminal);

QString UsageText();
