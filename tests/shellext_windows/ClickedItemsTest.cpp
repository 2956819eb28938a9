// How the Explorer command reads the clicked items, in this process on
// Wine's item array and on one that hands out a data object as Windows' does:
// the drop list of that data object where the first item is in the file
// system and the list names as many paths as there are items, the first
// item's first; item by item otherwise, with the same answers either way.
// More than 250 items are refused from the count alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ScopedComPtr.h"
#include "platform/TaskMemory.h"
#include "shellext/SelecterCommand.h"
#include "tests/support/DropFilesDataObject.h"
#include "tests/support/ShellItemArray.h"
#include "tests/support/TempFolder.h"
#include "tools/ItemArrayWithDataObject.h"

namespace quorvel {
namespace {

using StringList = std::vector<std::wstring>;
using Kind = CDropFilesDataObject::Kind;

// The computer's namespace root: an item outside the file system.
constexpr wchar_t kComputer[] = L"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}";

class ClickedItems : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    for (const wchar_t* name : {L"a.txt", L"b.doc", L"c.doc"}) m_folder.AddFile(name);
  }
  void TearDown() override { CoUninitialize(); }

  StringList Paths(const StringList& names) const {
    StringList paths;
    for (const std::wstring& name : names) paths.push_back(name == kComputer ? name : m_folder.PathOf(name));
    return paths;
  }

  CTempFolder m_folder;
};

TEST_F(ClickedItems, TheDropListWhereItServesElseItemByItem) {
  const struct {
    const char* what;
    StringList items;
    bool offered;           // the array hands out a data object
    Kind kind;              // what its GetData gives
    StringList dropList;    // the paths it lists
    bool fromDropList;      // read from the drop list, not item by item
  } cases[] = {
      {"every item listed", {L"a.txt", L"b.doc", L"c.doc"}, true, Kind::DropList, {L"a.txt", L"b.doc", L"c.doc"}, true},
      {"no data object (Wine's array)", {L"a.txt", L"b.doc", L"c.doc"}, false, Kind::DropList, {}, false},
      {"no drop list", {L"a.txt", L"b.doc", L"c.doc"}, true, Kind::NoDropList, {}, false},
      {"no memory in the medium", {L"a.txt", L"b.doc", L"c.doc"}, true, Kind::NullMemory, {}, false},
      {"a stream for a medium", {L"a.txt", L"b.doc", L"c.doc"}, true, Kind::StreamMedium, {}, false},
      // Lists that do not name each item once are not trusted: one that
      // would name another extension shows it.
      {"a list one short", {L"a.txt", L"b.doc", L"c.doc"}, true, Kind::DropList, {L"a.txt", L"a.txt"}, false},
      {"a list one long", {L"a.txt", L"b.doc", L"c.doc"}, true, Kind::DropList,
       {L"a.txt", L"a.txt", L"a.txt", L"a.txt"}, false},
      // A list of other paths (copies, say) is not taken either.
      {"a list of other paths", {L"a.txt", L"b.doc", L"c.doc"}, true, Kind::DropList, {L"x.txt", L"b.doc", L"c.doc"},
       false},
      // A first item outside the file system: its namespace's drop list may
      // name copies, so none is asked for.
      {"a first item outside the file system", {kComputer, L"b.doc", L"c.doc"}, true, Kind::DropList,
       {L"a.txt", L"a.txt", L"a.txt"}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CScopedComPtr<IShellItemArray> wineItems;
    ASSERT_EQ(S_OK, CreateShellItemArray(Paths(c.items), wineItems.Receive()));
    CDropFilesDataObject data(Paths(c.dropList), c.kind);
    {
      CScopedComPtr<CItemArrayWithDataObject> items;
      items.Reset(new CItemArrayWithDataObject(wineItems.Get(), c.offered ? &data : nullptr));
      CScopedComPtr<IExplorerCommand> command;
      ASSERT_EQ(S_OK, CSelecterCommand::CreateObject(nullptr, IID_IExplorerCommand, command.ReceiveVoid()));
      EXPCMDSTATE state = ECS_HIDDEN;
      EXPECT_EQ(S_OK, command->GetState(items.Get(), FALSE, &state));
      EXPECT_EQ(ECS_ENABLED, state);
      CTaskMemory<wchar_t> title;
      ASSERT_EQ(S_OK, command->GetTitle(items.Get(), title.Receive()));
      EXPECT_STREQ(L"Select All .doc Files", title.Get());

      // Each of the two readings asks for the first item, and for the others
      // too where the list is not taken.
      const auto& calls = items->Calls();
      EXPECT_EQ(2 * (c.fromDropList ? 1 : static_cast<long>(c.items.size())), calls.at("GetItemAt"));
      const bool firstInFileSystem = c.items[0] != kComputer;
      EXPECT_EQ(c.offered && firstInFileSystem ? 2 : 0, calls.at("IDataObject::GetData"));
      EXPECT_EQ(firstInFileSystem ? 2 : 0, calls.at("BindToHandler"));
    }
    EXPECT_EQ(0, data.OutstandingMedia());
    EXPECT_EQ(0, data.MediaReleasedWhileLocked());
    EXPECT_EQ(1, data.References()) << "the command let the data object go";
    EXPECT_EQ(0, data.OutsideStreamReferences());
  }
}

// Nothing is kept from one array to the next: an array with the same count
// and the same first item as the one before, made once that one is gone (so
// that it may take its place in memory), gets its own answer.
TEST_F(ClickedItems, EachArrayGetsItsOwnAnswer) {
  m_folder.AddFile(L"d.txt");
  CScopedComPtr<IExplorerCommand> command;
  ASSERT_EQ(S_OK, CSelecterCommand::CreateObject(nullptr, IID_IExplorerCommand, command.ReceiveVoid()));
  const struct {
    StringList items;
    const wchar_t* title;
  } arrays[] = {{{L"a.txt", L"b.doc", L"c.doc"}, L"Select All .doc Files"},
                {{L"a.txt", L"d.txt", L"c.doc"}, L"Select All .txt Files"},
                {{L"a.txt", L"b.doc", L"c.doc"}, L"Select All .doc Files"}};
  for (const auto& a : arrays) {
    CScopedComPtr<IShellItemArray> wineItems;
    ASSERT_EQ(S_OK, CreateShellItemArray(Paths(a.items), wineItems.Receive()));
    CDropFilesDataObject data(Paths(a.items));
    {
      CScopedComPtr<CItemArrayWithDataObject> items;
      items.Reset(new CItemArrayWithDataObject(wineItems.Get(), &data));
      EXPCMDSTATE state = ECS_HIDDEN;
      EXPECT_EQ(S_OK, command->GetState(items.Get(), FALSE, &state));
      CTaskMemory<wchar_t> title;
      ASSERT_EQ(S_OK, command->GetTitle(items.Get(), title.Receive()));
      EXPECT_STREQ(a.title, title.Get());
    }
    EXPECT_EQ(1, data.References());
  }
}

// 251 items hide the command, and neither the data object nor an item is
// asked for: the count alone tells.
TEST_F(ClickedItems, MoreThan250AreRefusedFromTheCount) {
  const StringList items(251, m_folder.PathOf(L"b.doc"));
  CScopedComPtr<IShellItemArray> wineItems;
  ASSERT_EQ(S_OK, CreateShellItemArray(items, wineItems.Receive()));
  CDropFilesDataObject data(items);
  CScopedComPtr<CItemArrayWithDataObject> withDataObject;
  withDataObject.Reset(new CItemArrayWithDataObject(wineItems.Get(), &data));
  CScopedComPtr<IExplorerCommand> command;
  ASSERT_EQ(S_OK, CSelecterCommand::CreateObject(nullptr, IID_IExplorerCommand, command.ReceiveVoid()));
  EXPCMDSTATE state = ECS_ENABLED;
  EXPECT_EQ(S_OK, command->GetState(withDataObject.Get(), TRUE, &state));
  EXPECT_EQ(ECS_HIDDEN, state);
  LPWSTR title = reinterpret_cast<LPWSTR>(1);
  EXPECT_EQ(E_INVALIDARG, command->GetTitle(withDataObject.Get(), &title));
  EXPECT_EQ(nullptr, title);
  EXPECT_EQ(E_INVALIDARG, command->Invoke(withDataObject.Get(), nullptr));
  EXPECT_EQ(3, withDataObject->Calls().at("GetCount"));
  EXPECT_EQ(3, withDataObject->TotalCalls()) << "only the count was asked for";
}

}  // namespace
}  // namespace quorvel
