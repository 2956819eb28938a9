#include "path/Path.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/TextPrinting.h"

namespace quorvel {
namespace {

struct SplitCase {
  const char16_t* text;
  const char16_t* folderPath;
  const char16_t* dotExtension;
  const char16_t* fileName;
  int32_t relative;
};

void PrintTo(const SplitCase& c, std::ostream* os) { PrintTo(CWideString(c.text), os); }


class PathSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(PathSplit, AnswersFolderExtensionAndFileName) {
  const SplitCase& c = GetParam();
  CPath path;
  path.SetPath(c.text, 0, 0);
  EXPECT_EQ(CWideString(c.folderPath), path.GetFolderPath());
  EXPECT_EQ(CWideString(c.dotExtension), path.GetDotExtension());
  EXPECT_EQ(CWideString(c.fileName), path.GetFileName());
  EXPECT_EQ(c.relative, path.IsRelative());
  EXPECT_EQ(CWideString(c.text), path.GetPath());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PathSplit,
    ::testing::Values(
        SplitCase{u"C:\\Users\\me\\Report.Final.DOCX", u"C:\\Users\\me\\", u".DOCX", u"Report.Final.DOCX", 0},
        SplitCase{u"C:/data/sub/notes.txt", u"C:\\data\\sub\\", u".txt", u"notes.txt", 0},
        SplitCase{u"\\\\srv\\share\\docs\\a.b", u"\\\\srv\\share\\docs\\", u".b", u"a.b", 0},
        SplitCase{u"C:\\dir\\README", u"C:\\dir\\", u"", u"README", 0},
        SplitCase{u"C:\\dir.d\\README", u"C:\\dir.d\\", u"", u"README", 0},
        SplitCase{u"C:\\dir\\.profile", u"C:\\dir\\", u"", u"", 0},
        SplitCase{u"C:\\dir\\name.", u"C:\\dir\\", u"", u"name", 0},
        SplitCase{u"C:\\dir\\", u"C:\\dir\\", u"", u"", 0},
        SplitCase{u"file.txt", u"", u".txt", u"file.txt", 0},
        SplitCase{u"C:file.txt", u"C:", u".txt", u"file.txt", 0},
        SplitCase{u"C:a\\b\\f.txt", u"C:a\\b\\", u".txt", u"f.txt", 1},
        SplitCase{u"\"C:\\My Files\\a b.txt\"", u"C:\\My Files\\", u".txt", u"a b.txt", 0},
        SplitCase{u"C:\\dir\\archive.tar.gz", u"C:\\dir\\", u".gz", u"archive.tar.gz", 0},
        SplitCase{u"C:\\mixed/slashes\\x.y", u"C:\\mixed\\slashes\\", u".y", u"x.y", 0},
        SplitCase{u"", u"", u"", u"", 0},
        SplitCase{u"\"\"", u"", u"", u"", 0},
        SplitCase{u"\"", u"", u"", u"\"", 0},                  // a lone quote is not unquoted
        SplitCase{u"\"C:\\a.txt", u"\"C:\\", u".txt", u"a.txt", 1}  // nor a one-sided one
        ));

std::u16string Repeat(char16_t unit, size_t count) { return std::u16string(count, unit); }

struct LengthCase {
  const char* what;
  std::u16string text;
  bool split;  // false: every part comes out empty
};

void PrintTo(const LengthCase& c, std::ostream* os) { *os << c.what; }


class PathLength : public ::testing::TestWithParam<LengthCase> {};

TEST_P(PathLength, PartsBeyondTheLimitsLeaveEverythingEmpty) {
  const LengthCase& c = GetParam();
  CPath path;
  path.SetPath(c.text.c_str(), 0, 0);
  EXPECT_EQ(static_cast<int32_t>(c.text.size()), path.GetPath().GetLength());
  if (c.split) {
    EXPECT_EQ(CWideString(c.text.c_str()), path.GetFolderPath() + path.GetFileName());
  } else {
    EXPECT_TRUE(path.GetFolderPath().IsEmpty());
    EXPECT_TRUE(path.GetDotExtension().IsEmpty());
    EXPECT_TRUE(path.GetFileName().IsEmpty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PathLength,
    ::testing::Values(
        // The working buffer takes at most 259 units of text.
        LengthCase{"directory of 255", u"C:" + Repeat(u'd', 254) + u"\\a", true},
        LengthCase{"directory of 256", u"C:" + Repeat(u'd', 255) + u"\\a", false},
        LengthCase{"name of 255", u"\\" + Repeat(u'n', 255) + u".t", true},
        LengthCase{"name of 256", u"\\" + Repeat(u'n', 256), false},
        LengthCase{"extension of 255", u"\\n." + Repeat(u'e', 254), true},
        LengthCase{"extension of 256", u"\\n." + Repeat(u'e', 255), false},
        LengthCase{"259 units", u"C:\\" + Repeat(u'd', 200) + u"\\" + Repeat(u'n', 51) + u".txt", true},
        LengthCase{"260 units", u"C:\\" + Repeat(u'd', 200) + u"\\" + Repeat(u'n', 52) + u".txt", false},
        LengthCase{"32766 units", u"\\\\?\\C:\\" + Repeat(u'x', 32753) + u"\\f.txt", false}),
    [](const ::testing::TestParamInfo<LengthCase>& info) {
      std::string name;
      for (const char* p = info.param.what; *p != 0; ++p) {
        if ((*p >= 'a' && *p <= 'z') || (*p >= '0' && *p <= '9')) name += *p;
      }
      return name;
    });

TEST(Path, DirectoryUsesBackslashesAndExtensionHasNoDot) {
  CPath path;
  path.SetPath(u"x:/a.b/c.d.e", 0, 0);
  EXPECT_EQ(CWideString(u"x:"), path.GetDrive());
  EXPECT_EQ(CWideString(u"\\a.b\\"), path.GetDirectory());
  EXPECT_EQ(CWideString(u"c.d"), path.GetName());
  EXPECT_EQ(CWideString(u"e"), path.GetExtension());
}

}  // namespace
}  // namespace quorvel
