#include "rebuild/OperationLog.h"

#include "platform/LocalClock.h"

namespace oplog {

QString Line(const QString& text)
{
    const platform::LogStamp now = platform::CurrentLogStamp();
    return QStringLiteral("时间:[") + now.date + QLatin1Char(' ') + now.time + text;
}

QString A1(const QString& drive) { return QStringLiteral("] 操作:加载逻辑盘") + drive; }
QString A2(const QString& drive) { return A1(drive) + QStringLiteral("  结果：成功！"); }
QString A3(const QString& drive) { return A1(drive) + QStringLiteral("  结果：失败,程序将退出!"); }
QString B1() { return QStringLiteral("] 操作:读取DBR"); }
QString B2() { return QStringLiteral("] 操作:读取DBR  结果：成功！"); }
QString Unsupported(const QString& reason)
{
    return QStringLiteral("] 操作:检查DBR参数  结果：不支持,程序将退出! 原因：") + reason;
}
QString C1() { return QStringLiteral("] 操作:读取根目录第2簇并检测是否正常"); }
QString C2() { return QStringLiteral("] 操作:读取根目录第2簇并检测  结果：正常，不必修复程序将退出"); }
QString C3() { return QStringLiteral("] 操作:读取根目录第2簇并检测  结果：不正常"); }
QString Mounted(const QString& mountPoint)
{
    return QStringLiteral("] 操作:检查挂载状态  结果：已挂载于") + mountPoint + QStringLiteral(",程序将退出!");
}
QString D1() { return QStringLiteral("] 操作:备份根目录第2簇"); }
QString D2(const QString& fileName) { return QStringLiteral("] 操作:备份根目录第2簇  结果：成功！ 保存路径：") + fileName; }
QString D3() { return QStringLiteral("] 操作:清空根目录"); }
QString D4() { return QStringLiteral("] 操作:清空根目录  结果：成功!"); }
QString E1() { return QStringLiteral("] 操作:定位子目录"); }
QString E2(int count) { return QStringLiteral("] 操作:定位子目录  结果：成功！ 发现子目录数量为:") + QString::number(count); }
QString F1() { return QStringLiteral("] 操作:准备写入根目录"); }
QString F2() { return QStringLiteral("] 操作:准备写入根目录 结果：写入成功!"); }
QString F3() { return QStringLiteral("] 操作:准备写入根目录 结果：写入失败，程序将退出!"); }

} // namespace oplog

namespace boxes {

QString SoundCaption() { return QStringLiteral("根目录正常"); }
QString SoundText() { return QStringLiteral("当前根目录正常您不必修复！"); }
QString BackupCaption() { return QStringLiteral("是否备份"); }
QString BackupText()
{
    return QStringLiteral("建议您备份当前根目录内容，备份点击 YES，不备份点击 NO，不备份根目录将被清0");
}
QString NoNameCaption() { return QStringLiteral("文件名为空"); }
QString NoNameText() { return QStringLiteral("欧卖噶，您是我见过最不给力的用户，连文件名都不输入，我里个去~~~~"); }
QString NoRowsCaption() { return QStringLiteral("出错了哟~~"); }
QString NoRowsText() { return QStringLiteral("子目录数量为0，程序将退出!"); }
QString TooManyCaption() { return QStringLiteral("子目录数量超值"); }
QString TooManyText()
{
    return QStringLiteral("子目录内容过多，请手工添加，或者联系开发人员QQ:") + QLatin1String(kContactNumber)
        + QStringLiteral("！");
}
QString UnsupportedCaption() { return QStringLiteral("不支持的卷"); }
QString UnsupportedText(const QString& reason) { return QStringLiteral("该卷的参数不受支持，未写入任何数据。原因：") + reason; }
QString MountedCaption() { return QStringLiteral("卷已挂载"); }
QString MountedText(const QString& mountPoint)
{
    return QStringLiteral("该卷已挂载于") + mountPoint + QStringLiteral("，请先卸载后再修复。未写入任何数据。");
}

} // namespace boxes
