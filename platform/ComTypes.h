// The IUnknown contract for the portable core. On Windows it is the COM
// runtime's own; on Linux the same three slots are declared here so that
// objects shaped like COM objects (the registrar) compile unchanged.
#pragma once

#include <cstdint>

#include "platform/ResultTypes.h"

#ifndef _WIN32

typedef uint32_t ULONG;

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
typedef GUID IID;
#define REFIID const IID&
#define STDMETHODCALLTYPE

struct IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;
};

#endif
