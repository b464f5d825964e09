#pragma once
// The start-up check for the legacy disk-access driver. The old Windows 9x family needed a driver for
// large disks, loaded before any window and unloaded at exit; every other platform family, this one
// included, loads nothing. The check stays so that the start-up order stays the same everywhere.

extern bool Int13IsNT;         // the platform is not of the Windows 9x family
extern int Int13DriverHandle;  // -1: no driver loaded

// True when the platform is not of the Windows 9x family: always, here.
bool IsWindowsNT();
// Runs before the application object exists.
void Int13UnitStart();
// Runs when the program ends; unloads the driver if one was loaded.
void Int13ExitProc();
