// The class factory, the two forms of the handler and the module lock count,
// with the module's own static records linked into the test program.
#include <gtest/gtest.h>

#include "platform/ScopedComPtr.h"
#include "platform/WinApi.h"
#include "server/ClassTable.h"
#include "server/QuorvelModule.h"
#include "shellext/SelecterMenu.h"

namespace quorvel {
namespace {

LONG LockCount() { return QuorvelModule()->GetModuleLockCount(); }

ULONG ReferenceCount(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

class ServerLifetime : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    ASSERT_NE(nullptr, QuorvelModule());
    m_locksBefore = LockCount();
  }
  void TearDown() override {
    EXPECT_EQ(m_locksBefore, LockCount()) << "a test left a module lock behind";
    CoUninitialize();
  }

  static HRESULT GetFactory(REFIID iid, void** out) {
    return GetClassTable().GetClassObject(CLSID_SelecterMenu, iid, out);
  }

  LONG m_locksBefore = 0;
};

// An outer object that aggregates the handler, as a client of the COM runtime would.
class OuterObject : public IUnknown {
 public:
  HRESULT Create(IClassFactory* factory) {
    return factory->CreateInstance(this, IID_IUnknown, reinterpret_cast<void**>(&m_inner));
  }
  void ReleaseInner() {
    if (m_inner != nullptr) m_inner->Release();
    m_inner = nullptr;
  }
  IUnknown* Inner() const { return m_inner; }
  LONG Count() const { return m_count; }

  STDMETHOD(QueryInterface)(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) {
      *out = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    return m_inner != nullptr ? m_inner->QueryInterface(iid, out) : E_NOINTERFACE;
  }
  STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(++m_count); }
  STDMETHOD_(ULONG, Release)() override { return static_cast<ULONG>(--m_count); }  // lives on the stack

 private:
  LONG m_count = 1;
  IUnknown* m_inner = nullptr;
};

TEST_F(ServerLifetime, FactoryIsCachedAndHoldsOneLockWhileAnybodyElseHoldsIt) {
  CScopedComPtr<IClassFactory> first;
  ASSERT_EQ(S_OK, GetFactory(IID_IClassFactory, first.ReceiveVoid()));
  EXPECT_EQ(m_locksBefore + 1, LockCount());
  EXPECT_EQ(2u, ReferenceCount(first.Get()));

  CScopedComPtr<IClassFactory> second;
  ASSERT_EQ(S_OK, GetFactory(IID_IClassFactory, second.ReceiveVoid()));
  EXPECT_EQ(first.Get(), second.Get());
  EXPECT_EQ(3u, ReferenceCount(first.Get()));
  EXPECT_EQ(m_locksBefore + 1, LockCount()) << "a second holder takes no second lock";

  void* sentinel = reinterpret_cast<void*>(0x1234);
  EXPECT_EQ(E_NOINTERFACE, GetFactory(IID_IDispatch, &sentinel));
  EXPECT_EQ(nullptr, sentinel);

  EXPECT_EQ(2u, second.Detach()->Release());
  EXPECT_EQ(1u, first.Detach()->Release()) << "the class table keeps its reference";
  EXPECT_EQ(m_locksBefore, LockCount());

  // Still cached: the next request gets the same object.
  CScopedComPtr<IUnknown> again;
  ASSERT_EQ(S_OK, GetFactory(IID_IUnknown, again.ReceiveVoid()));
}

TEST_F(ServerLifetime, GetClassObjectRefusals) {
  void* sentinel = reinterpret_cast<void*>(0x1234);
  EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, GetClassTable().GetClassObject(IID_IUnknown, IID_IClassFactory, &sentinel));
  EXPECT_EQ(nullptr, sentinel);
  EXPECT_EQ(E_POINTER, GetFactory(IID_IClassFactory, nullptr));
}

TEST_F(ServerLifetime, LockServerCountsUntilTheMatchingUnlock) {
  CScopedComPtr<IClassFactory> factory;
  ASSERT_EQ(S_OK, GetFactory(IID_IClassFactory, factory.ReceiveVoid()));
  const LONG held = LockCount();
  EXPECT_EQ(S_OK, factory->LockServer(TRUE));
  EXPECT_EQ(S_OK, factory->LockServer(TRUE));
  EXPECT_EQ(held + 2, LockCount());
  EXPECT_EQ(S_OK, factory->LockServer(FALSE));
  EXPECT_EQ(S_OK, factory->LockServer(FALSE));
  EXPECT_EQ(held, LockCount());
}

TEST_F(ServerLifetime, EachLiveHandlerHoldsOneLock) {
  CScopedComPtr<IClassFactory> factory;
  ASSERT_EQ(S_OK, GetFactory(IID_IClassFactory, factory.ReceiveVoid()));
  const LONG held = LockCount();

  CScopedComPtr<IShellExtInit> a;
  CScopedComPtr<IContextMenu> b;
  ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IShellExtInit, a.ReceiveVoid()));
  ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IContextMenu, b.ReceiveVoid()));
  EXPECT_EQ(held + 2, LockCount());
  EXPECT_EQ(1u, ReferenceCount(a.Get()));

  // An interface the handler lacks: the object made for the call is gone again.
  void* sentinel = reinterpret_cast<void*>(0x1234);
  EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IClassFactory, &sentinel));
  EXPECT_EQ(nullptr, sentinel);
  EXPECT_EQ(held + 2, LockCount());
  EXPECT_EQ(E_POINTER, factory->CreateInstance(nullptr, IID_IUnknown, nullptr));

  a.Reset();
  EXPECT_EQ(held + 1, LockCount());
  b.Reset();
  EXPECT_EQ(held, LockCount());
}

TEST_F(ServerLifetime, HandlerAnswersFromItsTableWithOneIdentity) {
  CScopedComPtr<IShellExtInit> init;
  ASSERT_EQ(S_OK, CSelecterMenu::CreateObject(nullptr, IID_IShellExtInit, init.ReceiveVoid()));

  CScopedComPtr<IContextMenu> menu;
  CScopedComPtr<IDispatch> dispatch;
  CScopedComPtr<ISelecterMenu> selecter;
  ASSERT_EQ(S_OK, init->QueryInterface(IID_IContextMenu, menu.ReceiveVoid()));
  ASSERT_EQ(S_OK, init->QueryInterface(IID_IDispatch, dispatch.ReceiveVoid()));
  ASSERT_EQ(S_OK, init->QueryInterface(IID_ISelecterMenu, selecter.ReceiveVoid()));
  EXPECT_EQ(static_cast<void*>(dispatch.Get()), static_cast<void*>(selecter.Get()));

  IUnknown* const pointers[] = {init.Get(), menu.Get(), dispatch.Get()};
  for (IUnknown* pointer : pointers) {
    CScopedComPtr<IUnknown> identity;
    ASSERT_EQ(S_OK, pointer->QueryInterface(IID_IUnknown, identity.ReceiveVoid()));
    EXPECT_EQ(static_cast<void*>(selecter.Get()), static_cast<void*>(identity.Get()));
  }

  void* sentinel = reinterpret_cast<void*>(0x1234);
  EXPECT_EQ(E_NOINTERFACE, menu->QueryInterface(IID_IClassFactory, &sentinel));
  EXPECT_EQ(nullptr, sentinel);
  EXPECT_EQ(E_POINTER, menu->QueryInterface(IID_IUnknown, nullptr));
  EXPECT_EQ(4u, ReferenceCount(init.Get()));  // one count for every pointer still held
}

TEST_F(ServerLifetime, AggregateKeepsItsOwnIdentityAndCountsOnTheOuterObject) {
  CScopedComPtr<IClassFactory> factory;
  ASSERT_EQ(S_OK, GetFactory(IID_IClassFactory, factory.ReceiveVoid()));
  const LONG held = LockCount();

  OuterObject outer;
  void* sentinel = reinterpret_cast<void*>(0x1234);
  EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(&outer, IID_IShellExtInit, &sentinel));
  EXPECT_EQ(nullptr, sentinel);
  EXPECT_EQ(held, LockCount()) << "nothing is created for a refused aggregation";

  ASSERT_EQ(S_OK, outer.Create(factory.Get()));
  IUnknown* inner = outer.Inner();
  EXPECT_EQ(held + 1, LockCount());
  EXPECT_EQ(1u, ReferenceCount(inner));

  // Through the inner IUnknown: the contained handler's interfaces, counted on the outer object.
  IContextMenu* menu = nullptr;
  ASSERT_EQ(S_OK, inner->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu)));
  EXPECT_EQ(2, outer.Count());
  EXPECT_EQ(1u, ReferenceCount(inner));

  // The contained handler's IUnknown is the outer object's.
  IUnknown* identity = nullptr;
  ASSERT_EQ(S_OK, menu->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
  EXPECT_EQ(static_cast<IUnknown*>(&outer), identity);
  identity->Release();

  // The inner IUnknown answers IUnknown with itself.
  IUnknown* innerAgain = nullptr;
  ASSERT_EQ(S_OK, inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&innerAgain)));
  EXPECT_EQ(inner, innerAgain);
  EXPECT_EQ(2u, ReferenceCount(inner));
  innerAgain->Release();

  // Through the outer object, the aggregate works as a handler.
  IShellExtInit* init = nullptr;
  ASSERT_EQ(S_OK, outer.QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)));
  EXPECT_EQ(E_INVALIDARG, init->Initialize(nullptr, nullptr, nullptr));
  init->Release();

  menu->Release();
  EXPECT_EQ(1, outer.Count());
  outer.ReleaseInner();
  EXPECT_EQ(held, LockCount());
}

}  // namespace
}  // namespace quorvel
