// The replacement table when memory runs out: each allocation of its arrays
// is made to fail in turn. Adding a variable then gives E_OUTOFMEMORY and
// leaves the table as it was; adding the module's path variables gives
// E_OUTOFMEMORY.
#include <gtest/gtest.h>

#include <string>

#include "registrar/RegObject.h"
#include "registrar/ScriptVariables.h"
#include "tests/support/FailingAllocations.h"

namespace quorvel {
namespace {

constexpr int kMostAllocations = 50;

TEST(RegistrarOutOfMemory, AddVariableKeepsTheTableAsItWas) {
  const int failures = WalkAllocationFailures(kMostAllocations, [](int count, bool* refused) {
    CRegObject registrar;
    ASSERT_EQ(S_OK, registrar.AddVariable(u"First", u"1"));
    HRESULT result = E_FAIL;
    *refused = RefusesAnAllocation(count, [&] { result = registrar.AddVariable(u"Second", u"2"); });
    if (!*refused) {
      EXPECT_EQ(S_OK, result);
      EXPECT_EQ(2, registrar.GetVariableCount());
      return;
    }
    EXPECT_EQ(E_OUTOFMEMORY, result) << count;
    EXPECT_EQ(1, registrar.GetVariableCount()) << count;
    EXPECT_EQ(nullptr, registrar.FindVariable(u"Second")) << count;
    EXPECT_EQ(std::u16string(u"1"), registrar.FindVariable(u"First")) << count;
    // The table still takes entries, and both arrays stay in step.
    ASSERT_EQ(S_OK, registrar.AddVariable(u"Third", u"3")) << count;
    EXPECT_EQ(std::u16string(u"3"), registrar.FindVariable(u"third")) << count;
  });
  EXPECT_GT(failures, 0) << "no allocation was made to fail";
}

TEST(RegistrarOutOfMemory, ModulePathVariablesReportIt) {
  const int failures = WalkAllocationFailures(kMostAllocations, [](int count, bool* refused) {
    CRegObject registrar;
    HRESULT result = E_FAIL;
    *refused =
        RefusesAnAllocation(count, [&] { result = AddModulePathVariables(registrar, u"C:\\It's\\quorvel.dll"); });
    if (!*refused) {
      EXPECT_EQ(S_OK, result);
      EXPECT_EQ(std::u16string(u"C:\\It''s\\quorvel.dll"), registrar.FindVariable(u"Module_Raw"));
      return;
    }
    EXPECT_EQ(E_OUTOFMEMORY, result) << count;
  });
  EXPECT_GT(failures, 0) << "no allocation was made to fail";
}

}  // namespace
}  // namespace quorvel
