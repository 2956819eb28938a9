// CPath::SetPath on arbitrary UTF-16 text of any length.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzText.h"
#include "path/Path.h"

using namespace quorvel;

namespace {

bool Contains(const CWideString& text, char16_t unit) {
  for (int32_t i = 0; i < text.GetLength(); ++i) {
    if (text.GetAt(i) == unit) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text = UnitsFromBytes(data, size);
  // SetPath takes zero-terminated text: a zero unit ends it early, as it would for the caller.
  CPath path;
  path.SetPath(text.c_str(), 0, 0);

  const CWideString& directory = path.GetDirectory();
  FUZZ_CHECK(path.GetPath() == text.c_str());
  FUZZ_CHECK(!Contains(directory, u'/'));
  FUZZ_CHECK(directory.IsEmpty() || directory.GetAt(directory.GetLength() - 1) == u'\\');
  FUZZ_CHECK(!Contains(path.GetExtension(), u'.'));
  FUZZ_CHECK(!path.GetName().IsEmpty() || path.GetExtension().IsEmpty());
  FUZZ_CHECK(path.GetDrive().GetLength() <= 2);
  FUZZ_CHECK(directory.GetLength() <= 255 && path.GetName().GetLength() <= 255 &&
             path.GetExtension().GetLength() <= 254);
  const CWideString joined = path.GetFolderPath() + path.GetFileName();
  FUZZ_CHECK(joined.GetLength() < CPath::kWorkingBufferUnits);
  return 0;
}
