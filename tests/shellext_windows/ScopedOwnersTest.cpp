// The owners of handles, media and COM references.
#include <gtest/gtest.h>

#include "platform/ScopedBstr.h"
#include "platform/ScopedComPtr.h"
#include "platform/ScopedHandles.h"
#include "platform/ScopedStorageMedium.h"
#include "platform/TaskMemory.h"
#include "tests/support/DropFilesDataObject.h"
#include "tests/support/TempFolder.h"

namespace quorvel {
namespace {

TEST(ScopedFindHandle, NullAndInvalidHandleValueAreBothInvalidAndClosingKeepsTheLastError) {
  EXPECT_FALSE(CScopedFindHandle().IsValid());
  EXPECT_FALSE(CScopedFindHandle(INVALID_HANDLE_VALUE).IsValid());

  CTempFolder folder;
  folder.AddFile(L"a.txt");
  WIN32_FIND_DATAW entry;
  CScopedFindHandle listing(FindFirstFileW(folder.PathOf(L"*").c_str(), &entry));
  ASSERT_TRUE(listing.IsValid());
  const HANDLE handle = listing.Get();
  SetLastError(ERROR_NO_MORE_FILES);
  listing.Reset();
  EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_FILES), GetLastError());
  EXPECT_FALSE(listing.IsValid());
  EXPECT_FALSE(FindNextFileW(handle, &entry)) << "the listing was closed";
}

TEST(ScopedComPtr, CountsExactlyOneReference) {
  CDropFilesDataObject object({L"C:\\a.txt"});
  {
    CScopedComPtr<IDataObject> held;
    held.Hold(&object);
    EXPECT_EQ(2, object.References());
    held.Hold(&object);
    EXPECT_EQ(2, object.References()) << "holding the same object again keeps one reference";
    CScopedComPtr<IDataObject> moved(std::move(held));
    EXPECT_EQ(nullptr, held.Get());
    EXPECT_EQ(2, object.References());
    ASSERT_EQ(S_OK, object.QueryInterface(IID_IDataObject, moved.ReceiveVoid()));
    EXPECT_EQ(2, object.References()) << "Receive released the reference it replaced";
    IDataObject* detached = moved.Detach();
    EXPECT_EQ(2, object.References());
    moved.Reset(detached);
  }
  EXPECT_EQ(1, object.References());
}

TEST(ScopedStorageMedium, ReleasesWhatGetDataFilledAndStartsEmptyForIt) {
  CDropFilesDataObject object({L"C:\\a.txt"});
  FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  {
    CScopedStorageMedium medium;
    STGMEDIUM* slot = medium.Receive();
    EXPECT_EQ(static_cast<DWORD>(TYMED_HGLOBAL), slot->tymed);
    EXPECT_EQ(nullptr, slot->hGlobal);
    EXPECT_EQ(nullptr, slot->pUnkForRelease);
    ASSERT_EQ(S_OK, object.GetData(&format, slot));
    CScopedGlobalLock lock(medium.Get().hGlobal);
    ASSERT_NE(nullptr, lock.Get());
    EXPECT_EQ(1, object.OutstandingMedia());
    ASSERT_EQ(S_OK, object.GetData(&format, medium.Receive()));
    EXPECT_EQ(1, object.OutstandingMedia()) << "Receive released the medium it replaced";
  }
  EXPECT_EQ(0, object.OutstandingMedia());
}

// A callee that writes into its out-parameter and then fails hands over
// nothing: Received leaves the owner empty, and nothing written is freed or
// released (the written values here would crash or miscount if they were).
TEST(ScopedOwners, AFailedCallLeavesTheOwnerEmptyWhateverItWrote) {
  CDropFilesDataObject object({L"C:\\a.txt"});
  {
    CScopedComPtr<IDataObject> held;
    *held.Receive() = &object;  // no reference taken
    EXPECT_EQ(E_FAIL, held.Received(E_FAIL));
    EXPECT_FALSE(held);
  }
  EXPECT_EQ(1, object.References());

  static wchar_t notAllocated[] = L"not from the allocator";
  CTaskMemory<wchar_t> memory;
  *memory.Receive() = notAllocated;
  EXPECT_EQ(E_OUTOFMEMORY, memory.Received(E_OUTOFMEMORY));
  EXPECT_EQ(nullptr, memory.Get());

  CScopedBstr text;
  *text.Receive() = notAllocated;
  EXPECT_EQ(E_INVALIDARG, text.Received(E_INVALIDARG));
  EXPECT_EQ(nullptr, text.Get());

  CScopedStorageMedium medium;
  STGMEDIUM* slot = medium.Receive();
  slot->hGlobal = reinterpret_cast<HGLOBAL>(notAllocated);
  EXPECT_EQ(DV_E_FORMATETC, medium.Received(DV_E_FORMATETC));
  EXPECT_FALSE(medium.IsHeld());

  // A call that succeeded keeps what it handed over.
  CScopedComPtr<IDataObject> kept;
  EXPECT_EQ(S_OK, kept.Received(object.QueryInterface(IID_IDataObject, kept.ReceiveVoid())));
  EXPECT_EQ(&object, kept.Get());
}

}  // namespace
}  // namespace quorvel
