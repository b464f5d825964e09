#pragma once
// The operation log: every line is "时间:[" date " " time followed by one of the texts below, each of
// which begins with "] 操作:". Blanks and full-width marks are exactly as the users' logs have always had them.

#include <QString>
#include <cstdint>

namespace oplog {

// Prefixes the text with the time stamp of now.
QString Line(const QString& text);

QString A1(const QString& drive);
QString A2(const QString& drive);
QString A3(const QString& drive);
QString B1();
QString B2();
QString Unsupported(const QString& reason);
QString C1();
QString C2();
QString C3();
QString Mounted(const QString& mountPoint);
QString D1();
QString D2(const QString& fileName);
QString D3();
QString D4();
QString E1();
QString E2(int count);
QString F1();
QString F2();
QString F3();

} // namespace oplog

// Message boxes of the job: captions and texts.
namespace boxes {
QString SoundCaption();
QString SoundText();
QString BackupCaption();
QString BackupText();
QString NoNameCaption();
QString NoNameText();
QString NoRowsCaption();
QString NoRowsText();
QString TooManyCaption();
QString TooManyText();
QString UnsupportedCaption();
QString UnsupportedText(const QString& reason);
QString MountedCaption();
QString MountedText(const QString& mountPoint);
} // namespace boxes

// The maker's contact number shown where the program asks the user to get in touch.
inline constexpr const char* kContactNumber = "20261211";
