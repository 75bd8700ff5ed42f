// The start-up and shutdown of the process around the setup window.
#pragma once
#include <windows.h>

// Records the program with the Program Compatibility Assistant, if its key exists.
bool MarkCompatibilityPersisted();

// Creates the setup window, runs the thread's message loop and returns its quit code
// (0 when the window could not be created).
int RunSetupWindow(int showCommand);

// The whole program: services up, language file staged, window run, services down.
int RunSetup(HINSTANCE instance, int showCommand);
