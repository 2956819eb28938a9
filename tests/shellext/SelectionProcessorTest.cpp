#include "shellext/SelectionProcessor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shellext/ExtensionFrequencyMap.h"
#include "tests/support/TextPrinting.h"

namespace quorvel {
namespace {

struct AnalysisCase {
  const char* what;
  std::vector<const char16_t*> paths;
  std::vector<const char16_t*> extensions;  // expected order
  const char16_t* folder;
};

void PrintTo(const AnalysisCase& c, std::ostream* os) { *os << c.what; }


class SelectionAnalysis : public ::testing::TestWithParam<AnalysisCase> {};

TEST_P(SelectionAnalysis, OrdersExtensionsByFrequencyWithTheFixedTieOrder) {
  const AnalysisCase& c = GetParam();
  SelectionProcessor selection;
  for (const char16_t* path : c.paths) selection.AddFile(CWideString(path));
  selection.Analyse();

  ASSERT_EQ(static_cast<int32_t>(c.extensions.size()), selection.GetExtensions().GetCount());
  for (size_t i = 0; i < c.extensions.size(); ++i) {
    EXPECT_EQ(CWideString(c.extensions[i]), selection.GetExtensions().GetAt(static_cast<int32_t>(i))) << i;
  }
  EXPECT_EQ(CWideString(c.extensions.empty() ? u"" : c.extensions[0]), selection.GetExtension());
  EXPECT_EQ(CWideString(c.folder), selection.GetFolder());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SelectionAnalysis,
    ::testing::Values(
        AnalysisCase{"MostFrequentFirst", {u"C:\\d\\a.txt", u"C:\\d\\b.txt", u"C:\\d\\c.doc"}, {u".txt", u".doc"}, u"C:\\d\\"},
        // .doc lies in bucket 8, .txt in bucket 15.
        AnalysisCase{"TieLowerBucketWins", {u"C:\\d\\a.txt", u"C:\\d\\b.doc"}, {u".doc", u".txt"}, u"C:\\d\\"},
        // .doc and .png share bucket 8: the later insertion heads the chain.
        AnalysisCase{"TieSameBucketLaterWins", {u"C:\\d\\a.doc", u"C:\\d\\b.png"}, {u".png", u".doc"}, u"C:\\d\\"},
        AnalysisCase{"TieSameBucketOtherOrder", {u"C:\\d\\b.png", u"C:\\d\\a.doc"}, {u".doc", u".png"}, u"C:\\d\\"},
        AnalysisCase{"NoExtensionLiesInBucketZero", {u"C:\\d\\a.txt", u"C:\\d\\b"}, {u"", u".txt"}, u"C:\\d\\"},
        AnalysisCase{"LetterCaseMakesTwoExtensions", {u"C:\\d\\a.TXT", u"C:\\d\\b.txt"}, {u".TXT", u".txt"}, u"C:\\d\\"},
        AnalysisCase{"LastDotOnly", {u"C:\\d\\archive.tar.gz"}, {u".gz"}, u"C:\\d\\"},
        AnalysisCase{"TrailingDot", {u"C:\\d\\notes."}, {u""}, u"C:\\d\\"},
        AnalysisCase{"DotFile", {u"C:\\d\\.profile"}, {u""}, u"C:\\d\\"},
        AnalysisCase{"FolderOfTheFirstPathOnly", {u"C:\\one\\a.txt", u"D:\\two\\b.txt", u"E:\\c.doc"}, {u".txt", u".doc"}, u"C:\\one\\"},
        AnalysisCase{"FrequencyBeatsBucket", {u"C:\\d\\1.txt", u"C:\\d\\2.doc", u"C:\\d\\3.txt"}, {u".txt", u".doc"}, u"C:\\d\\"},
        AnalysisCase{"Nothing", {}, {}, u""}),
    [](const ::testing::TestParamInfo<AnalysisCase>& info) { return std::string(info.param.what); });

TEST(SelectionAnalysis, HashAndBucketsFollowTheFixedRule) {
  EXPECT_EQ(0u, CExtensionFrequencyMap::Hash(CWideString()));
  EXPECT_EQ(8u, CExtensionFrequencyMap::Hash(CWideString(u".doc")) % 17);
  EXPECT_EQ(15u, CExtensionFrequencyMap::Hash(CWideString(u".txt")) % 17);
  EXPECT_EQ(8u, CExtensionFrequencyMap::Hash(CWideString(u".png")) % 17);
  EXPECT_EQ(0u, CExtensionFrequencyMap::Hash(CWideString(u".TXT")) % 17);
  EXPECT_EQ(1783502u, CExtensionFrequencyMap::Hash(CWideString(u".txt")));
  // Wraps in 32 bits rather than overflowing (worked out by hand, not by the
  // code's own formula).
  const CWideString longKey(std::u16string(64, u'\xFFFF').c_str());
  EXPECT_EQ(0x6CBC03C0u, CExtensionFrequencyMap::Hash(longKey));
}

TEST(SelectionAnalysis, RemovingAKeyKeepsTheOrderOfTheOthers) {
  CExtensionFrequencyMap map;
  for (const char16_t* key : {u".doc", u".png", u".txt", u".abc"}) map.Increment(CWideString(key));
  map.Increment(CWideString(u".png"));
  auto order = [&map] {
    std::vector<CWideString> keys;
    map.ForEach([&keys](const CWideString& key, int32_t) { keys.push_back(key); });
    return keys;
  };
  const std::vector<CWideString> before = order();
  ASSERT_EQ(4u, before.size());
  ASSERT_TRUE(map.Remove(CWideString(u".png")));
  EXPECT_FALSE(map.Remove(CWideString(u".png")));
  std::vector<CWideString> expected;
  for (const CWideString& key : before) {
    if (key != u".png") expected.push_back(key);
  }
  EXPECT_EQ(expected, order());
}

TEST(SelectionAnalysis, ClearEmptiesAndRepeatedAnalysisKeepsTheFirstExtension) {
  SelectionProcessor selection;
  EXPECT_TRUE(selection.GetExtension().IsEmpty());
  EXPECT_TRUE(selection.GetFolder().IsEmpty());
  selection.AddFile(CWideString(u"C:\\d\\a.txt"));
  selection.AddFile(CWideString(u"C:\\d\\b.doc"));
  selection.Analyse();
  selection.Analyse();
  EXPECT_EQ(CWideString(u".doc"), selection.GetExtension());
  EXPECT_EQ(4, selection.GetExtensions().GetCount());  // appended, not replaced

  selection.Clear();
  EXPECT_TRUE(selection.GetExtension().IsEmpty());
  EXPECT_TRUE(selection.GetFolder().IsEmpty());
  EXPECT_EQ(0, selection.GetFiles().GetCount());
}

TEST(SelectionAnalysis, OverlongPathsCountAsHavingNoExtensionAndNoFolder) {
  SelectionProcessor selection;
  const std::u16string longPath = u"C:\\" + std::u16string(32000, u'x') + u"\\photo.jpg";
  selection.AddFile(CWideString(longPath.c_str()));
  selection.AddFile(CWideString(u"C:\\d\\a.png"));
  selection.AddFile(CWideString(u"C:\\d\\b.png"));
  selection.Analyse();
  EXPECT_EQ(CWideString(u".png"), selection.GetExtension());
  EXPECT_TRUE(selection.GetFolder().IsEmpty());
}

}  // namespace
}  // namespace quorvel
