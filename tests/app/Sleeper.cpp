// Stands in for another program of the product in process tests: sleeps for
// the given milliseconds.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    Sleep(argc > 1 ? DWORD(strtoul(argv[1], nullptr, 10)) : 10000);
    return 0;
}
