// folder-host.exe run as a program of its own, as the shell would meet the
// handler: through quorvel.dll's registration. What it reports, the picture
// it saves, and how it fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "QuorvelVersion.h"
#include "platform/ScopedHandles.h"
#include "platform/WinApi.h"
#include "tests/support/BuildPaths.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WinePath.h"

namespace quorvel {
namespace {

struct RunResult {
  DWORD exitCode = 0;
  std::vector<std::string> out;  // lines of standard output
  std::string err;
};

std::string ReadAll(const std::wstring& path) {
  std::string text;
  CScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file.IsValid()) return text;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) text.append(buffer, read);
  return text;
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

// Runs `commandLine`; its output goes through files in `scratch`.
RunResult RunProgram(std::wstring commandLine, const CTempFolder& scratch) {
  RunResult result;
  SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
  const std::wstring outPath = scratch.PathOf(L"stdout.txt");
  const std::wstring errPath = scratch.PathOf(L"stderr.txt");
  {
    CScopedFileHandle out(CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr));
    CScopedFileHandle err(CreateFileW(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr));
    EXPECT_TRUE(out.IsValid() && err.IsValid());
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = out.Get();
    startup.hStdError = err.Get();
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
      ADD_FAILURE() << "cannot start " << CTempFolder::Narrow(commandLine) << ", error " << GetLastError();
      return result;
    }
    CScopedFileHandle processHandle(process.hProcess);
    CScopedFileHandle threadHandle(process.hThread);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, kChildProcessLimitMs))
        << CTempFolder::Narrow(commandLine);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
  }
  std::string out = ReadAll(outPath);
  size_t start = 0;
  for (size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
    result.out.push_back(out.substr(start, end - start));
  }
  result.err = ReadAll(errPath);
  return result;
}

RunResult RunHost(const std::wstring& arguments, const CTempFolder& scratch) {
  return RunProgram(Quoted(WinePath(kFolderHostExe)) + L" " + arguments, scratch);
}

// The platform's regsvr32 on quorvel.dll; `extra` is "" or "/u".
DWORD RunRegsvr32(const std::wstring& extra) {
  CTempFolder scratch;
  const RunResult run = RunProgram(L"regsvr32.exe /s " + extra + L" " + Quoted(WinePath(kBuiltDll)), scratch);
  return run.exitCode;
}

// Each test registers quorvel.dll itself and removes it again: none relies on
// what another left behind.
class FolderHost : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(0u, RunRegsvr32(L"")) << "regsvr32 quorvel.dll failed"; }
  void TearDown() override { EXPECT_EQ(0u, RunRegsvr32(L"/u")) << "regsvr32 /u quorvel.dll failed"; }
};

TEST_F(FolderHost, ReportsTheRightClickAndSavesAPicture) {
  CTempFolder folder;
  for (const wchar_t* name : {L"a.txt", L"b.TXT", L"c.doc", L"page.html"}) folder.AddFile(name);
  folder.AddFolder(L"old.txt");
  CTempFolder scratch;
  const std::wstring picture = scratch.PathOf(L"window.bmp");

  const RunResult run = RunHost(L"--preselect c.doc --picture " + Quoted(picture) + L" " + Quoted(folder.Path()) + L" a.txt", scratch);
  ASSERT_EQ(0u, run.exitCode) << run.err;
  EXPECT_EQ("", run.err);

  const std::string folderLine = "folder: " + CTempFolder::Narrow(folder.Path());
  const std::vector<std::string> facts = {
      folderLine,
      "view-items: 5",
      "clicked: a.txt",
      "server: " + CTempFolder::Narrow(WinePath(kBuiltDll)),
      "server-version: " QUORVEL_VERSION_TEXT,
      "initialize: 0x00000000",
      "query-context-menu: 0x00000001",
      "menu-item: Select All .txt Files",
      "menu-bitmap: 13x13",
      "help-text-w: Click to select all files with this extension in the current folder",
      "help-text-a: Click to select all files with this extension in the current folder",
      "invoke-command: 0x00000000",
  };
  ASSERT_GE(run.out.size(), facts.size());
  EXPECT_EQ(facts, std::vector<std::string>(run.out.begin(), run.out.begin() + facts.size()));

  std::set<std::string> selected;
  std::set<std::string> unselected;
  std::vector<std::string> focused;
  for (const std::string& line : run.out) {
    if (line.rfind("selected: ", 0) == 0) selected.insert(line.substr(10));
    if (line.rfind("unselected: ", 0) == 0) unselected.insert(line.substr(12));
    if (line.rfind("focused: ", 0) == 0) focused.push_back(line.substr(9));
  }
  EXPECT_EQ((std::set<std::string>{"a.txt", "b.TXT", "old.txt"}), selected);
  EXPECT_EQ((std::set<std::string>{"c.doc", "page.html"}), unselected);
  std::string lastListed;
  for (const std::wstring& name : folder.List(L"*.txt")) lastListed = CTempFolder::Narrow(name);
  EXPECT_EQ(std::vector<std::string>{lastListed}, focused);
  EXPECT_EQ("picture: " + CTempFolder::Narrow(picture), run.out.back());

  // A 24-bit picture of the 720 x 480 window that shows more than a blank.
  const std::string bytes = ReadAll(picture);
  ASSERT_GT(bytes.size(), sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER));
  const auto* file = reinterpret_cast<const BITMAPFILEHEADER*>(bytes.data());
  const auto* info = reinterpret_cast<const BITMAPINFOHEADER*>(bytes.data() + sizeof(BITMAPFILEHEADER));
  EXPECT_EQ(0x4D42, file->bfType);
  EXPECT_EQ(720, info->biWidth);
  EXPECT_EQ(480, info->biHeight);
  EXPECT_EQ(24, info->biBitCount);
  ASSERT_EQ(bytes.size(), file->bfSize);
  std::set<unsigned> colours;
  for (size_t i = file->bfOffBits; i + 2 < bytes.size() && colours.size() < 10; i += 3) {
    colours.insert(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8 |
                   static_cast<unsigned char>(bytes[i + 2]) << 16);
  }
  EXPECT_GE(colours.size(), 10u) << "the picture is nearly blank";
}

TEST_F(FolderHost, ReachesTheViewByTheRouteItIsGiven) {
  CTempFolder folder;
  for (const wchar_t* name : {L"a.txt", L"b.TXT", L"c.doc"}) folder.AddFile(name);
  CTempFolder scratch;
  struct Case {
    const wchar_t* options;
    const char* route;
    std::set<std::string> selected;
  };
  const Case cases[] = {
      {L"", "view", {"a.txt", "b.TXT"}},
      {L"--no-window", "view", {"a.txt", "b.TXT"}},
      {L"--site browser --no-window", "browser", {"a.txt", "b.TXT"}},
      {L"--site none", "window", {"a.txt", "b.TXT"}},
      // Nothing leads to the view: the right-click's own selection stays.
      {L"--site none --no-window", "none", {"a.txt"}},
  };
  for (const Case& c : cases) {
    const RunResult run = RunHost(std::wstring(c.options) + L" " + Quoted(folder.Path()) + L" a.txt", scratch);
    const std::string what = CTempFolder::Narrow(c.options);
    ASSERT_EQ(0u, run.exitCode) << what << ": " << run.err;
    std::set<std::string> selected;
    std::string route;
    for (const std::string& line : run.out) {
      if (line.rfind("selected: ", 0) == 0) selected.insert(line.substr(10));
      if (line.rfind("view-route: ", 0) == 0) route = line.substr(12);
    }
    EXPECT_EQ(c.route, route) << what;
    EXPECT_EQ(c.selected, selected) << what;
  }
}

TEST_F(FolderHost, FailsWithAClearMessage) {
  CTempFolder scratch;
  const RunResult missing = RunHost(Quoted(scratch.PathOf(L"no such folder")) + L" a.txt", scratch);
  EXPECT_EQ(1u, missing.exitCode);
  EXPECT_NE(std::string::npos, missing.err.find("folder-host: error: no such folder")) << missing.err;

  const RunResult unknownEntry = RunHost(Quoted(scratch.Path()) + L" nothing.txt", scratch);
  EXPECT_EQ(1u, unknownEntry.exitCode);
  EXPECT_NE(std::string::npos, unknownEntry.err.find("no entry nothing.txt")) << unknownEntry.err;

  for (const wchar_t* bad : {L"--picture", L"--site window a.txt"}) {
    const RunResult usage = RunHost(std::wstring(bad) + L" " + Quoted(scratch.Path()), scratch);
    EXPECT_EQ(2u, usage.exitCode) << CTempFolder::Narrow(bad);
    EXPECT_NE(std::string::npos, usage.err.find("usage: folder-host.exe")) << usage.err;
  }
}

// Once removed, the shell has no handler to make: the host says so. (Removal
// of a component that is not registered fails on its type library, so the
// test registers first.)
TEST(FolderHostUnregistered, CannotCreateTheHandler) {
  ASSERT_EQ(0u, RunRegsvr32(L""));
  ASSERT_EQ(0u, RunRegsvr32(L"/u"));
  CTempFolder folder;
  folder.AddFile(L"a.txt");
  CTempFolder scratch;
  const RunResult run = RunHost(Quoted(folder.Path()) + L" a.txt", scratch);
  EXPECT_EQ(1u, run.exitCode);
  EXPECT_NE(std::string::npos, run.err.find("cannot create the handler: 0x80040154")) << run.err;
  EXPECT_EQ("clicked: a.txt", run.out.empty() ? "" : run.out.back());
}

// Registered for the current user alone (regsvr32 /n /i:user), the handler
// is found through the merged view of the classes, the user's winning, and
// selects; once removed the same way, nothing of it is found. Wine's own COM
// reads the machine's classes alone, so plain CoCreateInstance misses it.
TEST(FolderHostForOneUser, UsesTheHandlerThroughTheMergedClasses) {
  ASSERT_EQ(0u, RunRegsvr32(L"/n /i:user"));
  CTempFolder folder;
  folder.AddFile(L"a.txt");
  folder.AddFile(L"b.TXT");
  folder.AddFile(L"c.doc");
  CTempFolder scratch;
  RunResult run = RunHost(L"--merged-classes " + Quoted(folder.Path()) + L" a.txt", scratch);
  EXPECT_EQ(0u, run.exitCode) << run.err;
  for (const char* line : {"handler-key: user", "class-key: user", "approved: user", "selected: a.txt",
                           "selected: b.TXT", "unselected: c.doc"}) {
    EXPECT_NE(run.out.end(), std::find(run.out.begin(), run.out.end(), line)) << line;
  }
  run = RunHost(Quoted(folder.Path()) + L" a.txt", scratch);
  EXPECT_NE(std::string::npos, run.err.find("cannot create the handler: 0x80040154")) << run.err;

  ASSERT_EQ(0u, RunRegsvr32(L"/u /n /i:user"));
  run = RunHost(L"--merged-classes " + Quoted(folder.Path()) + L" a.txt", scratch);
  EXPECT_EQ(1u, run.exitCode);
  EXPECT_NE(std::string::npos, run.err.find("no handler key")) << run.err;
}

// The open context menu pictured over the window before the item is chosen:
// the item's bitmap (its blue tick) shows in it, and not in the window's own
// picture taken afterwards.
TEST_F(FolderHost, PicturesTheOpenMenu) {
  CTempFolder folder;
  for (const wchar_t* name : {L"a.txt", L"b.doc"}) folder.AddFile(name);
  CTempFolder scratch;
  const std::wstring menuPicture = scratch.PathOf(L"menu.bmp");
  const std::wstring windowPicture = scratch.PathOf(L"window.bmp");
  const RunResult run = RunHost(L"--menu-picture " + Quoted(menuPicture) + L" --picture " + Quoted(windowPicture) +
                                    L" " + Quoted(folder.Path()) + L" a.txt",
                                scratch);
  ASSERT_EQ(0u, run.exitCode) << run.err;
  EXPECT_NE(run.out.end(), std::find(run.out.begin(), run.out.end(), "menu-picture: " + CTempFolder::Narrow(menuPicture)));
  EXPECT_NE(run.out.end(), std::find(run.out.begin(), run.out.end(), "selected: a.txt")) << "the item was still chosen";

  auto tickPixels = [](const std::wstring& path) {
    const std::string bytes = ReadAll(path);
    size_t count = 0;
    if (bytes.size() <= sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) return count;
    const auto* file = reinterpret_cast<const BITMAPFILEHEADER*>(bytes.data());
    const auto* info = reinterpret_cast<const BITMAPINFOHEADER*>(bytes.data() + sizeof(BITMAPFILEHEADER));
    EXPECT_EQ(0x4D42, file->bfType);
    EXPECT_EQ(24, info->biBitCount);
    EXPECT_EQ(bytes.size(), file->bfSize);
    const COLORREF tickBody = RGB(0x2F, 0x74, 0xC0);  // resources/MenuBitmap.txt
    for (size_t i = file->bfOffBits; i + 2 < bytes.size(); i += 3) {
      const COLORREF pixel = RGB(static_cast<unsigned char>(bytes[i + 2]), static_cast<unsigned char>(bytes[i + 1]),
                                 static_cast<unsigned char>(bytes[i]));
      if (pixel == tickBody) ++count;
    }
    return count;
  };
  EXPECT_GE(tickPixels(menuPicture), 3u) << "no menu item with its bitmap in the picture";
  EXPECT_EQ(0u, tickPixels(windowPicture)) << "the menu is still open after the command";
}

}  // namespace
}  // namespace quorvel
