// quorvel.dll as the platform meets it: registered and removed by regsvr32,
// created by the COM runtime, dispatched through the automation runtime.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "Quorvel.h"
#include "platform/ScopedBstr.h"
#include "platform/ScopedComPtr.h"
#include "platform/ScopedHandles.h"
#include "platform/WinApi.h"
#include "tests/registrar_windows/RealRegistry.h"
#include "tests/support/BuildPaths.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/DropFilesDataObject.h"
#include "tests/support/RegistrationTable.h"
#include "tests/support/ServerLibrary.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TypeLibraryKind.h"
#include "tests/support/WinePath.h"

namespace quorvel {
namespace {

const std::wstring kDllPath = WinePath(kBuiltDll);

constexpr HRESULT kTypeLibNotRegistered = static_cast<HRESULT>(0x8002801D);  // TYPE_E_LIBNOTREGISTERED

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// Runs a program of the platform (from its system folder) and answers its exit code.
DWORD RunSystemProgram(const std::wstring& program, const std::wstring& arguments) {
  wchar_t system[MAX_PATH];
  EXPECT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
  std::wstring commandLine = L"\"" + std::wstring(system) + L"\\" + program + L"\" " + arguments;
  return RunToExit(commandLine);
}

DWORD Regsvr32(const std::wstring& options, const std::wstring& dll) {
  return RunSystemProgram(L"regsvr32.exe", options + L" \"" + dll + L"\"");
}

CScopedComPtr<IClassFactory> FactoryOf(const CServerLibrary& library) {
  CScopedComPtr<IClassFactory> factory;
  EXPECT_EQ(S_OK, library.GetClassObject(CLSID_SelecterMenu, IID_IClassFactory, factory.ReceiveVoid()));
  return factory;
}

template <class Interface>
CScopedComPtr<Interface> CreateHandler(const CServerLibrary& library, REFIID iid) {
  CScopedComPtr<Interface> handler;
  CScopedComPtr<IClassFactory> factory = FactoryOf(library);
  if (factory) {
    EXPECT_EQ(S_OK, factory->CreateInstance(nullptr, iid, handler.ReceiveVoid()));
  }
  return handler;
}

class ComServer : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
  void TearDown() override { CoUninitialize(); }
};

ULONG ReferenceCount(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

bool TypeLibraryIsRegistered() {
  CScopedComPtr<ITypeLib> library;
  return SUCCEEDED(LoadRegTypeLib(LIBID_QuorvelLib, 1, 0, 0, library.Receive()));
}

// The path under the type library's key for this build's system kind, as
// the registry view `view` (0: the process's own) shows it.
std::wstring RegisteredTypeLibraryPath(REGSAM view = 0) {
  const std::wstring path =
      std::wstring(L"TypeLib\\{3F8E1A7C-5D2B-4C69-9E04-B7A1C3D5E2F8}\\1.0\\0\\") + kTypeLibPlatformKey;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS) return L"";
  wchar_t text[MAX_PATH] = {};
  DWORD size = sizeof(text) - sizeof(wchar_t);
  const LONG error = RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  return error == ERROR_SUCCESS ? text : L"";
}

// A 32-bit test program on 64-bit Windows (WoW64), where the 64-bit
// registry view is the other one.
bool RunsUnderWow64() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

constexpr char16_t kInterfaceKey[] = u"Interface\\{C4D6E8F0-1A3B-4D5E-8F71-2B4C6D8E0A93}";

TEST_F(ComServer, Regsvr32RegistersEverythingAndRemovalLeavesOnlyTheKeptKeys) {
  CRealRegistryView registry;
  ASSERT_EQ(0u, Regsvr32(L"/s", kDllPath));
  ExpectRegistered(registry, Narrow(kDllPath));
  EXPECT_EQ(kDllPath, RegisteredTypeLibraryPath());
  EXPECT_TRUE(registry.HasKey(HKEY_CLASSES_ROOT, kInterfaceKey));
  // The platform's 32-bit regsvr32 on 64-bit Windows: what 64-bit programs
  // see of it. (The prefix holds no registration of the 64-bit build.)
  CRealRegistryView registry64(KEY_WOW64_64KEY);
  const bool wow64 = RunsUnderWow64();
  if (wow64) {
    Expect32BitRegistrationSeenFrom64BitView(registry, registry64);
    // The type library's key is shared, with an entry per system kind.
    EXPECT_EQ(kDllPath, RegisteredTypeLibraryPath(KEY_WOW64_64KEY));
  }

  // The registered type library describes the class and its dual interface.
  CScopedComPtr<ITypeLib> library;
  ASSERT_EQ(S_OK, LoadRegTypeLib(LIBID_QuorvelLib, 1, 0, 0, library.Receive()));
  CScopedBstr name, help;
  ASSERT_EQ(S_OK, library->GetDocumentation(-1, name.Receive(), help.Receive(), nullptr, nullptr));
  EXPECT_STREQ(L"QuorvelLib", name.Get());
  EXPECT_STREQ(L"Quorvel 1.0 Type Library", help.Get());
  CScopedComPtr<ITypeInfo> coclass;
  ASSERT_EQ(S_OK, library->GetTypeInfoOfGuid(CLSID_SelecterMenu, coclass.Receive()));
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(S_OK, coclass->GetTypeAttr(&attributes));
  EXPECT_EQ(TKIND_COCLASS, attributes->typekind);
  EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FCANCREATE);
  coclass->ReleaseTypeAttr(attributes);

  ASSERT_EQ(0u, Regsvr32(L"/u /s", kDllPath));
  ExpectRemoved(registry);
  EXPECT_FALSE(TypeLibraryIsRegistered());
  EXPECT_EQ(L"", RegisteredTypeLibraryPath());
  EXPECT_FALSE(registry.HasKey(HKEY_CLASSES_ROOT, kInterfaceKey));
  if (wow64) {
    for (const RegistryPlace& key : OwnedKeys()) {
      EXPECT_FALSE(registry64.HasKey(key.root, key.path)) << AsciiText(key.path);
    }
    EXPECT_EQ("", registry64.DescribeValueAt(HKEY_LOCAL_MACHINE, ApprovalKeys()[1].path, kApprovalValueName));
    EXPECT_EQ(L"", RegisteredTypeLibraryPath(KEY_WOW64_64KEY));
  }

  // Removing what is not registered: the type library step fails and says so.
  EXPECT_NE(0u, Regsvr32(L"/u /s", kDllPath));
}

TEST_F(ComServer, RuntimeCreatesTheRegisteredHandlerAndUnloadFollowsTheLocks) {
  ASSERT_EQ(0u, Regsvr32(L"/s", kDllPath));
  {
    CScopedComPtr<IShellExtInit> init;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_SelecterMenu, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit,
                                     init.ReceiveVoid()));
    CScopedComPtr<IContextMenu> menu;
    CScopedComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, init->QueryInterface(IID_IContextMenu, menu.ReceiveVoid()));
    ASSERT_EQ(S_OK, init->QueryInterface(IID_IDispatch, dispatch.ReceiveVoid()));
    IUnknown* const pointers[] = {init.Get(), menu.Get(), dispatch.Get()};
    for (IUnknown* pointer : pointers) {
      CScopedComPtr<IUnknown> identity;
      ASSERT_EQ(S_OK, pointer->QueryInterface(IID_IUnknown, identity.ReceiveVoid()));
      EXPECT_EQ(static_cast<IUnknown*>(dispatch.Get()), identity.Get());
    }

    // The runtime loaded the registered library: its exports answer for the same module.
    HMODULE loaded = GetModuleHandleW(kDllPath.c_str());
    ASSERT_NE(nullptr, loaded);
    auto canUnloadNow = reinterpret_cast<CServerLibrary::PlainExport>(reinterpret_cast<void*>(GetProcAddress(loaded, "DllCanUnloadNow")));
    auto getClassObject = reinterpret_cast<CServerLibrary::GetClassObjectExport>(
        reinterpret_cast<void*>(GetProcAddress(loaded, "DllGetClassObject")));
    ASSERT_TRUE(canUnloadNow && getClassObject);

    // The whole right-click holds the library.
    CTempFolder folder;
    folder.AddFile(L"a.txt");
    CDropFilesDataObject data({folder.PathOf(L"a.txt")});
    EXPECT_EQ(S_OK, init->Initialize(nullptr, &data, nullptr));
    CScopedMenu popup(CreatePopupMenu());
    EXPECT_EQ(1, menu->QueryContextMenu(popup.Get(), 0, 1, 100, CMF_NORMAL));
    wchar_t help[100] = {};
    EXPECT_EQ(S_OK, menu->GetCommandString(0, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(help), 100));
    EXPECT_EQ(S_FALSE, canUnloadNow());
    init.Reset();
    menu.Reset();
    EXPECT_EQ(S_FALSE, canUnloadNow());
    dispatch.Reset();
    EXPECT_EQ(S_OK, canUnloadNow());

    // The factory: held by the caller, locked, asked for twice.
    CScopedComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, getClassObject(CLSID_SelecterMenu, IID_IClassFactory, factory.ReceiveVoid()));
    EXPECT_EQ(S_FALSE, canUnloadNow());
    CScopedComPtr<IClassFactory> again;
    ASSERT_EQ(S_OK, getClassObject(CLSID_SelecterMenu, IID_IClassFactory, again.ReceiveVoid()));
    EXPECT_EQ(factory.Get(), again.Get());
    EXPECT_EQ(3u, ReferenceCount(factory.Get()));
    EXPECT_EQ(2u, again.Detach()->Release());
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    EXPECT_EQ(1u, factory.Detach()->Release());
    EXPECT_EQ(S_FALSE, canUnloadNow()) << "LockServer holds the library";
    ASSERT_EQ(S_OK, getClassObject(CLSID_SelecterMenu, IID_IClassFactory, factory.ReceiveVoid()));
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    factory.Reset();
    EXPECT_EQ(S_OK, canUnloadNow());
  }
  EXPECT_EQ(0u, Regsvr32(L"/u /s", kDllPath));
}

TEST_F(ComServer, DispatchAnswersFromTheRegisteredTypeInformation) {
  ASSERT_EQ(0u, Regsvr32(L"/s", kDllPath));
  {
    CServerLibrary server;
    ASSERT_TRUE(server.Load(kDllPath));
    CScopedComPtr<IDispatch> first = CreateHandler<IDispatch>(server, IID_IDispatch);
    CScopedComPtr<IDispatch> second = CreateHandler<IDispatch>(server, IID_IDispatch);
    ASSERT_TRUE(first && second);

    UINT count = 0;
    EXPECT_EQ(S_OK, first->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    EXPECT_EQ(E_POINTER, first->GetTypeInfoCount(nullptr));

    ITypeInfo* sentinel = reinterpret_cast<ITypeInfo*>(0x1234);
    EXPECT_EQ(DISP_E_BADINDEX, first->GetTypeInfo(1, 0, &sentinel));

    CScopedComPtr<ITypeInfo> typeInfo;
    ASSERT_EQ(S_OK, first->GetTypeInfo(0, 0, typeInfo.Receive()));
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, typeInfo->GetTypeAttr(&attributes));
    EXPECT_TRUE(IsEqualGUID(IID_ISelecterMenu, attributes->guid));
    EXPECT_EQ(TKIND_DISPATCH, attributes->typekind);
    EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FDUAL);
    EXPECT_EQ(7, attributes->cFuncs);  // IDispatch's own, nothing more
    typeInfo->ReleaseTypeAttr(attributes);

    // Both handlers share the one loaded type information.
    CScopedComPtr<ITypeInfo> fromSecond;
    ASSERT_EQ(S_OK, second->GetTypeInfo(0, 0, fromSecond.Receive()));
    EXPECT_EQ(typeInfo.Get(), fromSecond.Get());

    struct NameCase {
      const wchar_t* name;
      HRESULT result;
      DISPID id;
    };
    const NameCase cases[] = {
        {L"GetTypeInfoCount", S_OK, 0x60010000},
        {L"Invoke", S_OK, 0x60010003},
        {L"QueryInterface", S_OK, 0x60000000},
        {L"gettypeinfocount", S_OK, 0x60010000},  // not in the cache as written: the type information answers
        {L"NoSuchMember", DISP_E_UNKNOWNNAME, DISPID_UNKNOWN},
    };
    for (const NameCase& c : cases) {
      LPOLESTR names[] = {const_cast<LPOLESTR>(c.name)};
      DISPID id = 12345;
      EXPECT_EQ(c.result, first->GetIDsOfNames(IID_NULL, names, 1, 0, &id)) << Narrow(c.name);
      if (c.result == S_OK) {
        EXPECT_EQ(c.id, id) << Narrow(c.name);
      }
    }

    // Invoke answers as the type information does for the same call.
    for (DISPID member : {DISPID(0x60010000), DISPID(4242)}) {
      UINT invokedCount = 0;
      VARIANT argument;
      VariantInit(&argument);
      argument.vt = VT_BYREF | VT_UI4;
      argument.pulVal = reinterpret_cast<ULONG*>(&invokedCount);
      DISPPARAMS parameters = {&argument, nullptr, 1, 0};
      const HRESULT direct = typeInfo->Invoke(static_cast<IDispatch*>(first.Get()), member, DISPATCH_METHOD,
                                              &parameters, nullptr, nullptr, nullptr);
      EXPECT_EQ(direct, first->Invoke(member, IID_NULL, 0, DISPATCH_METHOD, &parameters, nullptr, nullptr, nullptr));
      EXPECT_EQ(DISP_E_MEMBERNOTFOUND, direct) << "restricted and unknown members are not invoked";
    }
  }
  EXPECT_EQ(0u, Regsvr32(L"/u /s", kDllPath));
}

TEST_F(ComServer, DispatchFailsWithTheLoadingErrorWhileTheTypeLibraryIsNotRegistered) {
  ASSERT_FALSE(TypeLibraryIsRegistered());
  CServerLibrary server;
  ASSERT_TRUE(server.Load(kDllPath));
  CScopedComPtr<IDispatch> handler = CreateHandler<IDispatch>(server, IID_IDispatch);
  ASSERT_TRUE(handler);

  UINT count = 0;
  EXPECT_EQ(S_OK, handler->GetTypeInfoCount(&count));
  ITypeInfo* typeInfo = reinterpret_cast<ITypeInfo*>(0x1234);
  EXPECT_EQ(kTypeLibNotRegistered, handler->GetTypeInfo(0, 0, &typeInfo));
  EXPECT_EQ(nullptr, typeInfo);
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"Invoke")};
  DISPID id = 0;
  EXPECT_EQ(kTypeLibNotRegistered, handler->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  EXPECT_EQ(kTypeLibNotRegistered,
            handler->Invoke(0x60010000, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr));
}

TEST_F(ComServer, RegistrationKeepsTheCallersThreadLocaleAndStopsAtTheFirstFailure) {
  constexpr LCID kGerman = 0x0407;
  ASSERT_TRUE(SetThreadLocale(kGerman));
  CServerLibrary server;
  ASSERT_TRUE(server.Load(kDllPath));

  ASSERT_EQ(S_OK, server.RegisterServer());
  EXPECT_EQ(kGerman, GetThreadLocale());

  // With the type library gone, removal fails at that step and the AppID
  // script, the last step, is not run.
  ASSERT_EQ(S_OK, UnRegisterTypeLib(LIBID_QuorvelLib, 1, 0, 0, kTypeLibSysKind));
  EXPECT_TRUE(FAILED(server.UnregisterServer()));
  EXPECT_EQ(kGerman, GetThreadLocale());
  CRealRegistryView registry;
  EXPECT_TRUE(registry.HasKey(HKEY_CLASSES_ROOT, u"AppID\\{9A2D4C6E-8B1F-4E37-B5D0-2C4A6E8F1B39}"));
  EXPECT_FALSE(registry.HasKey(HKEY_CLASSES_ROOT, u"CLSID\\{5B7C2E91-3D4A-4F86-A1C2-7E9D0B3F6A15}"));

  ASSERT_EQ(S_OK, server.RegisterServer());
  EXPECT_EQ(S_OK, server.UnregisterServer());
  ExpectRemoved(registry);
}

TEST_F(ComServer, TypeLibraryFileBesideTheLibraryIsRegisteredWhenTheResourceIsMissing) {
  CTempFolder folder;
  const std::wstring copy = folder.PathOf(L"noresource.dll");
  ASSERT_TRUE(CopyFileW((WinePath(kServerTestFolder) + L"\\quorvel-without-typelib.dll").c_str(),
                        copy.c_str(), FALSE));
  const std::wstring tlb = folder.PathOf(L"noresource.tlb");
  ASSERT_TRUE(CopyFileW(WinePath(kBuiltTypeLibrary).c_str(), tlb.c_str(), FALSE));
  {
    CScopedComPtr<ITypeLib> fromCopy;
    ASSERT_TRUE(FAILED(LoadTypeLib(copy.c_str(), fromCopy.Receive()))) << "the library carries a type library";
  }
  {
    CServerLibrary server;
    ASSERT_TRUE(server.Load(copy));
    ASSERT_EQ(S_OK, server.RegisterServer());
    EXPECT_EQ(tlb, RegisteredTypeLibraryPath());
    EXPECT_EQ(S_OK, server.UnregisterServer());
    EXPECT_FALSE(TypeLibraryIsRegistered());
  }
  // Without the ".tlb" file either, registration fails at the type library
  // step, and so does removal, before the AppID script.
  ASSERT_TRUE(DeleteFileW(tlb.c_str()));
  CServerLibrary server;
  ASSERT_TRUE(server.Load(copy));
  EXPECT_TRUE(FAILED(server.RegisterServer()));
  EXPECT_FALSE(TypeLibraryIsRegistered());
  EXPECT_TRUE(FAILED(server.UnregisterServer()));
  CRealRegistryView registry;
  EXPECT_TRUE(registry.HasKey(HKEY_CLASSES_ROOT, u"AppID\\{9A2D4C6E-8B1F-4E37-B5D0-2C4A6E8F1B39}"));

  ASSERT_TRUE(CopyFileW(WinePath(kBuiltTypeLibrary).c_str(), tlb.c_str(), FALSE));
  ASSERT_EQ(S_OK, server.RegisterServer());
  EXPECT_EQ(S_OK, server.UnregisterServer());
  ExpectRemoved(registry);
}

TEST_F(ComServer, ThreadsRacingForTheFactoryShareOneAndLeaveNoLock) {
  CServerLibrary server;
  ASSERT_TRUE(server.Load(kDllPath));
  constexpr int kThreads = 4;
  constexpr int kRounds = 300;
  std::vector<IClassFactory*> seen(kThreads, nullptr);
  std::vector<int> failures(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      CoInitializeEx(nullptr, COINIT_MULTITHREADED);
      for (int round = 0; round < kRounds; ++round) {
        IClassFactory* factory = nullptr;
        if (server.GetClassObject(CLSID_SelecterMenu, IID_IClassFactory, reinterpret_cast<void**>(&factory)) != S_OK) {
          ++failures[t];
          continue;
        }
        if (seen[t] == nullptr) seen[t] = factory;
        if (seen[t] != factory) ++failures[t];
        IContextMenu* menu = nullptr;
        if (factory->CreateInstance(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&menu)) == S_OK) {
          menu->Release();
        } else {
          ++failures[t];
        }
        factory->Release();
      }
      CoUninitialize();
    });
  }
  for (std::thread& thread : threads) thread.join();

  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(0, failures[t]) << "thread " << t;
    EXPECT_EQ(seen[0], seen[t]) << "thread " << t << " got another factory";
  }
  EXPECT_EQ(S_OK, server.CanUnloadNow());
  CScopedComPtr<IClassFactory> factory = FactoryOf(server);
  EXPECT_EQ(seen[0], factory.Get());
  EXPECT_EQ(2u, ReferenceCount(factory.Get())) << "the class table's reference and ours";
}

}  // namespace
}  // namespace quorvel
