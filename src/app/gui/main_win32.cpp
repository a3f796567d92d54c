// DMM5174K.exe: the window program.

#include "app/gui/startup_win32.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand)
{
    return zelmar::runWindowProgram(showCommand);
}
