// A library whose registration fails, as a DLL does whose registry keys cannot
// be written: the setup program carries it in place of quorvel.dll to show
// how it reports a failed step.
#include "platform/WinApi.h"

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return E_ACCESSDENIED; }
extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return E_ACCESSDENIED; }
