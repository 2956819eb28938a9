// Forced into the compilation of the widl-generated proxy/stub code. That code
// guards each call with RpcTryExcept and RpcTryFinally, which the MinGW
// headers spell with the compiler's structured exceptions (__try), which GCC
// does not have: here they become plain blocks. A failed call then is not
// caught inside the proxy; the proxy is for test prefixes only.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <rpc.h>
#include <rpcproxy.h>

#undef RpcTryExcept
#undef RpcExcept
#undef RpcEndExcept
#undef RpcTryFinally
#undef RpcFinally
#undef RpcEndFinally
#undef RpcExceptionCode
#undef RpcAbnormalTermination
#define RpcTryExcept if (1) {
#define RpcExcept(expr) } else {
#define RpcEndExcept }
#define RpcTryFinally {
#define RpcFinally }
#define RpcEndFinally
#define RpcExceptionCode() 0
#define RpcAbnormalTermination() 0

// rpcrt4 exports these; the MinGW headers do not declare them.
HRESULT STDMETHODCALLTYPE IUnknown_QueryInterface_Proxy(IUnknown* This, REFIID riid, void** ppvObject);
ULONG STDMETHODCALLTYPE IUnknown_AddRef_Proxy(IUnknown* This);
ULONG STDMETHODCALLTYPE IUnknown_Release_Proxy(IUnknown* This);
