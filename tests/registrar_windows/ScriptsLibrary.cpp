// A library that carries the component's registry scripts as resources, so
// that the tests load them from a real module file as the component does.
#include "platform/WinApi.h"

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
