// SelectionProcessor over arbitrary lists of paths (zero units separate them).
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/FuzzText.h"
#include "path/Path.h"
#include "shellext/SelectionProcessor.h"

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string text = UnitsFromBytes(data, size);
  SelectionProcessor selection;
  size_t start = 0;
  int32_t added = 0;
  while (start <= text.size() && added < 300) {
    size_t end = text.find(u'\0', start);
    if (end == std::u16string::npos) end = text.size();
    selection.AddFile(CWideString(text.data() + start, static_cast<int32_t>(end - start)));
    ++added;
    start = end + 1;
  }
  selection.Analyse();

  const CWideStringArray& extensions = selection.GetExtensions();
  FUZZ_CHECK(extensions.GetCount() >= 1 && extensions.GetCount() <= added);
  for (int32_t i = 0; i < extensions.GetCount(); ++i) {
    for (int32_t j = i + 1; j < extensions.GetCount(); ++j) FUZZ_CHECK(extensions.GetAt(i) != extensions.GetAt(j));
  }
  FUZZ_CHECK(selection.GetExtension() == extensions.GetAt(0));

  // The first extension is at least as frequent as every other one.
  auto frequency = [&selection](const CWideString& extension) {
    int32_t count = 0;
    for (int32_t i = 0; i < selection.GetFiles().GetCount(); ++i) {
      CPath path;
      path.SetPath(selection.GetFiles().GetAt(i).GetText(), 0, 0);
      if (path.GetDotExtension() == extension) ++count;
    }
    return count;
  };
  const int32_t best = frequency(extensions.GetAt(0));
  for (int32_t i = 1; i < extensions.GetCount(); ++i) FUZZ_CHECK(frequency(extensions.GetAt(i)) <= best);
  return 0;
}
