// A DLL that only exists to be found, or not, beside the test program.
#include <windows.h>

extern "C" __declspec(dllexport) int KestrovaPlanted() {
    return 1;
}
