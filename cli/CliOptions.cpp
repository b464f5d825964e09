#include "cli/CliOptions.h"

namespace {
ParsedCommandLine Fail(const QString& error) { return {std::nullopt, error}; }
} // namespace

ParsedCommandLine ParseCommandLine(const QStringList& arguments, bool stdinIsTerminal)
{
    CliOptions o;
    bool backupGiven = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            o.help = true;
            return {o, {}};
        }
        if (a == QLatin1String("--list")) {
            o.list = true;
        } else if (a == QLatin1String("--dry-run")) {
            o.dryRun = true;
        } else if (a == QLatin1String("--no-backup") || a == QLatin1String("--backup")) {
            if (backupGiven)
                return Fail(QStringLiteral("--backup and --no-backup may be given once, and not together"));
            backupGiven = true;
            if (a == QLatin1String("--no-backup")) {
                o.backup = CliOptions::Backup::No;
            } else {
                if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty())
                    return Fail(QStringLiteral("--backup needs a file name"));
                o.backup = CliOptions::Backup::Yes;
                o.backupName = arguments[++i];
            }
        } else if (a.startsWith(QLatin1Char('-')) && a != QLatin1String("-")) {
            return Fail(QStringLiteral("unknown option ") + a);
        } else if (o.path.isEmpty()) {
            o.path = a;
        } else {
            return Fail(QStringLiteral("only one volume may be named"));
        }
    }
    if (o.list) {
        if (!o.path.isEmpty() || o.dryRun || backupGiven)
            return Fail(QStringLiteral("--list takes nothing else"));
        return {o, {}};
    }
    if (o.path.isEmpty())
        return Fail(QStringLiteral("no volume named"));
    if (!o.dryRun && o.backup == CliOptions::Backup::Ask && !stdinIsTerminal)
        return Fail(QStringLiteral("standard input is not a terminal: say --backup NAME or --no-backup"));
    return {o, {}};
}

QString UsageText()
{
    return QStringLiteral(
        "Usage: rootwell-cli [--no-backup | --backup NAME] [--dry-run] PATH\n"
        "       rootwell-cli --list\n"
        "\n"
        "Rebuilds the root directory of the FAT32 volume at PATH (a block device or an image file):\n"
        "judges the root cluster, offers a backup of it, clears it, scans the data area for directory\n"
        "clusters and writes a new root that lists every directory found as KVB0, KVB1, ...\n"
        "\n"
        "  --backup NAME  answer the backup question Yes; the root cluster is saved to NAME followed by\n"
        "                 \"根目录所在扇区\" and the root's sector number\n"
        "  --no-backup    answer the backup question No\n"
        "                 (with neither, the question is asked on the terminal)\n"
        "  --dry-run      write nothing at all: report the directories the new root would list\n"
        "  --list         list the FAT32 volumes of this machine as the window's selection dialog\n"
        "                 does: its caption, a tab, the device path\n"
        "  --help         show this text\n"
        "\n"
        "The operation log and the found directories (SN, type, sector, cluster, high, low; tab-separated)\n"
        "go to standard output; message boxes and progress go to standard error.\n"
        "Ctrl+C stops the scan (the directories found so far are still written); a second Ctrl+C quits.\n"
        "\n"
        "Exit status: 0 a new root was written, or a dry run reached the point of writing it;\n"
        "             3 the root looks sound, nothing was written;\n"
        "             1 the job ended on a failure or a refusal (the log says which);\n"
        "             2 usage error.\n");
}
