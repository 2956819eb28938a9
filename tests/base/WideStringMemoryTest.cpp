// The wide string's allocations: how many a run of appends makes, and what
// every changing operation leaves behind when memory runs out.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "base/Failure.h"
#include "base/WideString.h"
#include "tests/support/FailingAllocations.h"
#include "tests/support/TextPrinting.h"

namespace quorvel {
namespace {

TEST(WideStringAllocations, AppendingOneUnitAtATimeGrowsTheBufferGeometrically) {
  for (const int appends : {1000, 20000}) {
    CWideString text;
    CAllocationCounter counter;
    for (int i = 0; i < appends; ++i) text.Append(static_cast<char16_t>(u'a' + i % 26));
    const long allocations = counter.Count();
    std::printf("%d one-unit appends: %ld allocations\n", appends, allocations);
    // Doubling from one unit: 1, 2, 4, ... up to the first power of two that holds them all.
    EXPECT_LE(allocations, static_cast<long>(std::ceil(std::log2(appends))) + 1) << appends << " appends";
    ASSERT_EQ(appends, text.GetLength());
    EXPECT_EQ(u'a', text.GetAt(0));
    EXPECT_EQ(static_cast<char16_t>(u'a' + (appends - 1) % 26), text.GetAt(appends - 1));
    EXPECT_EQ(u'\0', text.GetText()[appends]);
  }
}

TEST(WideStringAllocations, AppendingToASharedBufferCopiesItOnce) {
  CWideString original(u"abc");
  CWideString copy = original;
  CAllocationCounter counter;
  for (int i = 0; i < 10; ++i) copy.Append(u'!');
  EXPECT_LE(counter.Count(), 4) << "one copy, then growth by doubling";
  EXPECT_EQ(CWideString(u"abc"), original);
  EXPECT_EQ(CWideString(u"abc!!!!!!!!!!"), copy);
}

struct MemoryCase {
  const char* what;
  std::function<void(CWideString&)> change;
};

// Every operation that allocates, run with no memory left: it raises the
// out-of-memory failure and leaves the string, and any copy sharing its
// buffer, as they were.
TEST(WideStringAllocations, RunningOutOfMemoryRaisesTheFailureAndChangesNothing) {
  const MemoryCase cases[] = {
      {"AppendText", [](CWideString& s) { s.Append(u"more text"); }},
      {"AppendOwnText", [](CWideString& s) { s.Append(s); }},
      {"AppendOwnTail", [](CWideString& s) { s.Append(s.GetText() + 2); }},
      {"AppendUnit", [](CWideString& s) { s.Append(u'x'); }},
      {"Replace", [](CWideString& s) { s.Replace(u'.', u'_'); }},
      {"Remove", [](CWideString& s) { s.Remove(u'.'); }},
      {"AssignText", [](CWideString& s) { s = u"other.doc"; }},
      {"Join", [](CWideString& s) { s = s + s; }},
      {"Mid", [](CWideString& s) { s = s.Mid(1, 3); }},
      {"FromAnsi", [](CWideString& s) { s = CWideString::FromAnsi("ansi.txt"); }},
  };
  for (const MemoryCase& c : cases) {
    // Exactly full, so that even one more unit needs a new buffer; and shared.
    CWideString value(u"file.txt");
    const CWideString copy = value;
    HRESULT code = S_OK;
    const bool refused = RefusesAnAllocation(0, [&] {
      try {
        c.change(value);
      } catch (const CFailure& failure) {
        code = failure.Code();
      }
    });
    EXPECT_TRUE(refused) << c.what << ": no allocation was made";
    EXPECT_EQ(E_OUTOFMEMORY, code) << c.what;
    EXPECT_EQ(CWideString(u"file.txt"), value) << c.what;
    EXPECT_EQ(CWideString(u"file.txt"), copy) << c.what;
    // And the string works on once memory is back.
    c.change(value);
    value.Append(u'!');
    EXPECT_EQ(u'!', value.GetAt(value.GetLength() - 1)) << c.what;
  }
}

}  // namespace
}  // namespace quorvel
