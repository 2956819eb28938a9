// Assignments of each value type and the exact data they store, in the form
// of CMemoryRegistry::DescribeValue; shared by the tests on the in-memory and
// on the real registry.
#pragma once

#include <string>

namespace quorvel {

struct ValueTypeCase {
  const char16_t* assignment;  // type letter and value text
  const char* stored;
};

inline constexpr ValueTypeCase kValueTypeCases[] = {
    {u"s 'text'", "REG_SZ \"text\""},
    {u"S ''", "REG_SZ \"\""},
    {u"s 'two words'", "REG_SZ \"two words\""},
    {u"d '42'", "REG_DWORD 2a 00 00 00"},
    {u"D 4294967295", "REG_DWORD ff ff ff ff"},
    {u"d '0'", "REG_DWORD 00 00 00 00"},
    {u"b '0A1b'", "REG_BINARY 0a 1b"},
    {u"B 'zz'", "REG_BINARY 00"},  // a character that is no hex digit counts as 0
    {u"b 'fF00'", "REG_BINARY ff 00"},
    {u"b ''", "REG_BINARY"},
    {u"m 'a\\0b'", "REG_MULTI_SZ 61 00 00 00 62 00 00 00 00 00"},
    {u"m ''", "REG_MULTI_SZ 00 00"},
    {u"M 'a\\0\\0b'", "REG_MULTI_SZ 61 00 00 00 00 00"},  // an empty string ends the list
    {u"m 'a\\0'", "REG_MULTI_SZ 61 00 00 00 00 00"},
    {u"m 'x\\y\\'", "REG_MULTI_SZ 78 00 5c 00 79 00 5c 00 00 00 00 00"},  // lone backslashes stay
};

}  // namespace quorvel
