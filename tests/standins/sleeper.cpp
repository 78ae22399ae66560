// Waits until it is ended (or for an hour at most), doing nothing: a process with the image
// name the test gave its copy.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    Sleep(3600 * 1000);
    return 0;
}
