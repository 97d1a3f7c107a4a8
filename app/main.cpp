#include <windows.h>

// Program entry. The launcher window is built on top of the library; until
// then the program starts and ends without showing anything.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return 0;
}
