#include "legacy/int13ext2.h"

bool Int13IsNT = false;
int Int13DriverHandle = -1;

bool IsWindowsNT() { return true; } // Linux has no Windows 9x family to tell apart

void Int13UnitStart()
{
    Int13DriverHandle = -1;
    Int13IsNT = IsWindowsNT();
    // Only the Windows 9x family loads the driver; there is no other branch to take here.
}

void Int13ExitProc()
{
    // Nothing was loaded, so nothing is unloaded.
}
