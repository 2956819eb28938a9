#include "base/WideString.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "base/Failure.h"
#include "tests/support/TextPrinting.h"

namespace quorvel {
namespace {

HRESULT FailureCodeOf(void (*action)()) {
  try {
    action();
  } catch (const CFailure& failure) {
    return failure.Code();
  }
  return S_OK;
}

TEST(WideString, EmptyValuesShareOneBufferAndAreTerminated) {
  CWideString a;
  CWideString b(u"");
  CWideString c(nullptr);
  EXPECT_EQ(a.GetText(), b.GetText());
  EXPECT_EQ(a.GetText(), c.GetText());
  EXPECT_EQ(0, a.GetLength());
  EXPECT_EQ(u'\0', a.GetText()[0]);
  EXPECT_EQ(a.GetText(), CWideString(u"abc").Mid(3, 5).GetText());
}

TEST(WideString, ConstructionKeepsEmbeddedZerosWithExplicitLength) {
  const char16_t text[] = {u'a', 0, u'b'};
  CWideString value(text, 3);
  EXPECT_EQ(3, value.GetLength());
  EXPECT_EQ(u'b', value.GetAt(2));
  EXPECT_EQ(u'\0', value.GetText()[3]);
}

// A string that owns its buffer alone changes it in place; one whose buffer
// is shared (or whose count went wrong) must copy it first.
bool ChangesInPlace(CWideString& value) {
  const char16_t* before = value.GetText();
  value.Replace(value.GetAt(0), u'#');
  return value.GetText() == before;
}

TEST(WideString, CopiesShareUntilOneChanges) {
  CWideString original(u"shared.txt");
  CWideString copy = original;
  EXPECT_EQ(original.GetText(), copy.GetText());

  copy.Replace(u'.', u'_');
  EXPECT_EQ(CWideString(u"shared.txt"), original);
  EXPECT_EQ(CWideString(u"shared_txt"), copy);
  EXPECT_NE(original.GetText(), copy.GetText());
  // The change gave the copy its own buffer and left the original the sole
  // owner of the old one.
  EXPECT_TRUE(ChangesInPlace(original));
  original = u"shared.txt";

  CWideString third = original;
  third.Append(u'!');
  third.Remove(u's');
  EXPECT_EQ(CWideString(u"shared.txt"), original);
  EXPECT_EQ(CWideString(u"hared.txt!"), third);
}

TEST(WideString, AppendingOwnTextIsSafe) {
  CWideString value(u"ab");
  value.Append(value);
  EXPECT_EQ(CWideString(u"abab"), value);
  value.Append(value.GetText() + 1);
  EXPECT_EQ(CWideString(u"ababbab"), value);
  value = value.GetText() + 2;
  EXPECT_EQ(CWideString(u"abbab"), value);

  // With room to spare the text is appended in place, from its own buffer.
  CWideString roomy(u"x");
  for (int i = 0; i < 20; ++i) roomy.Append(static_cast<char16_t>(u'a' + i));
  const char16_t* buffer = roomy.GetText();
  roomy.Append(roomy.GetText() + 1, 3);
  EXPECT_EQ(buffer, roomy.GetText()) << "appended in place";
  EXPECT_EQ(CWideString(u"xabcdefghijklmnopqrstabc"), roomy);
  roomy.Append(roomy);
  EXPECT_EQ(CWideString(u"xabcdefghijklmnopqrstabcxabcdefghijklmnopqrstabc"), roomy);
}

TEST(WideString, JoinReplaceRemove) {
  const CWideString left(u"Select All ");
  EXPECT_EQ(CWideString(u"Select All .txt Files"), left + CWideString(u".txt") + CWideString(u" Files"));
  EXPECT_EQ(CWideString(u"Select All "), left);

  CWideString path(u"C:/a/b/c");
  EXPECT_EQ(3, path.Replace(u'/', u'\\'));
  EXPECT_EQ(CWideString(u"C:\\a\\b\\c"), path);
  EXPECT_EQ(0, path.Replace(u'/', u'\\'));

  CWideString dots(u"...");
  EXPECT_EQ(3, dots.Remove(u'.'));
  EXPECT_TRUE(dots.IsEmpty());
  EXPECT_EQ(CWideString().GetText(), dots.GetText());
}

struct MidCase {
  int32_t start;
  int32_t count;
  const char16_t* expected;
};

void PrintTo(const MidCase& c, std::ostream* os) { *os << "Mid(" << c.start << ", " << c.count << ")"; }


class WideStringMid : public ::testing::TestWithParam<MidCase> {};

TEST_P(WideStringMid, ClampsStartAndCount) {
  const MidCase& c = GetParam();
  EXPECT_EQ(CWideString(c.expected), CWideString(u"abcdef").Mid(c.start, c.count));
}

INSTANTIATE_TEST_SUITE_P(Cases, WideStringMid,
                         ::testing::Values(MidCase{0, 6, u"abcdef"}, MidCase{2, 2, u"cd"}, MidCase{-3, 2, u"ab"},
                                           MidCase{4, 100, u"ef"}, MidCase{2, -1, u""}, MidCase{6, 1, u""},
                                           MidCase{100, 1, u""}, MidCase{0, 0, u""}));

TEST(WideString, FailuresRaiseTheirCodes) {
  EXPECT_EQ(E_INVALIDARG, FailureCodeOf([] { CWideString(u"abc").GetAt(3); }));
  EXPECT_EQ(E_INVALIDARG, FailureCodeOf([] { CWideString(u"abc").GetAt(-1); }));
  EXPECT_EQ(E_INVALIDARG, FailureCodeOf([] { CWideString(u"abc", -1); }));
  EXPECT_EQ(E_INVALIDARG, FailureCodeOf([] { CWideString(u"abc").Append(u"x", -2); }));
  // A length no buffer can hold is refused before any text is read.
  EXPECT_EQ(E_OUTOFMEMORY, FailureCodeOf([] { CWideString(u"x").Append(u"y", 0x7FFFFFFF); }));
}

TEST(WideString, FromAnsiConvertsEveryByte) {
  EXPECT_EQ(CWideString(u"Select All .txt"), CWideString::FromAnsi("Select All .txt"));
  EXPECT_TRUE(CWideString::FromAnsi("").IsEmpty());
  EXPECT_TRUE(CWideString::FromAnsi(nullptr).IsEmpty());
}

TEST(WideString, CopiesOfOneValueAreSafeAcrossThreads) {
  CWideString shared(u"C:\\folder\\file.txt");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&shared, t] {
      for (int i = 0; i < 20000; ++i) {
        CWideString copy = shared;
        if ((i + t) % 3 == 0) {
          copy.Replace(u'\\', u'/');
          ASSERT_EQ(u'/', copy.GetAt(2));
        }
        CWideString another(copy);
        ASSERT_EQ(shared.GetLength(), another.GetLength());
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(CWideString(u"C:\\folder\\file.txt"), shared);
  // Every copy's reference came back: the value owns its buffer alone again.
  EXPECT_TRUE(ChangesInPlace(shared));
}

}  // namespace
}  // namespace quorvel
