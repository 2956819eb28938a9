#include "shellext/ResourceInstance.h"

// The linker's symbol for the start of the image this code is linked into.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace quorvel {

HINSTANCE ResourceInstance() noexcept { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

}  // namespace quorvel
