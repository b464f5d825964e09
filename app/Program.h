#pragma once
// Program start and end: the application object, the main window and the selection dialog, the message
// loop, and an end that neither waits for a running job nor tears a write it has begun.

#include <functional>

class TForm1;

// What the browser engine needs before the application object exists.
void PrepareBrowserEngine();

// Runs the program; ready, if given, runs once the main window is shown (the tests and the screenshot
// tool drive the window from there). Returns the exit code, 0.
int RunRootwell(int& argc, char** argv, const std::function<void(TForm1&)>& ready = {});
