// setup.exe: the online setup of the product. It takes no arguments.
#include <windows.h>

#include "app/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    const int quitCode = RunSetup(instance, showCommand);
    // Download threads may still be running after an error box ended the window; end
    // them with the process before anything they could touch is torn down.
    ::ExitProcess(static_cast<UINT>(quitCode));
}
