#include "base/WideStringArray.h"

#include <gtest/gtest.h>

#include "base/Failure.h"
#include "tests/support/TextPrinting.h"

namespace quorvel {
namespace {

TEST(WideStringArray, KeepsOrderAndRefusesIndexesOutsideIt) {
  CWideStringArray array;
  EXPECT_EQ(0, array.GetCount());
  array.Add(CWideString(u"one"));
  array.Add(CWideString(u"two"));
  array.Add(CWideString());
  ASSERT_EQ(3, array.GetCount());
  EXPECT_EQ(CWideString(u"one"), array.GetAt(0));
  EXPECT_EQ(CWideString(u"two"), array.GetAt(1));
  EXPECT_TRUE(array.GetAt(2).IsEmpty());

  for (int32_t bad : {-1, 3, 1000}) {
    try {
      array.GetAt(bad);
      ADD_FAILURE() << "index " << bad << " was accepted";
    } catch (const CFailure& failure) {
      EXPECT_EQ(E_INVALIDARG, failure.Code());
    }
  }

  array.RemoveAt(0);
  EXPECT_EQ(CWideString(u"two"), array.GetAt(0));
  array.RemoveAll();
  EXPECT_EQ(0, array.GetCount());
}

}  // namespace
}  // namespace quorvel
