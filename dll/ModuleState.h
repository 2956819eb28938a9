// What the entry point asks of the library's static records.
#pragma once

namespace quorvel {

// An ordinary unload (FreeLibrary): the application object frees the
// satellite library; the records then release what they hold as they are
// destroyed.
void ShutDownStaticRecords() noexcept;

// Process exit: every record lets go of what lives in other libraries (the
// cached class factory's type information, the satellite library) without
// calling into them, so that their destruction afterwards calls nothing.
void AbandonStaticRecords() noexcept;

}  // namespace quorvel
