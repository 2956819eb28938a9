// The per-thread record of the C++ runtime's exception handling (the
// caught-exception stack and the count of uncaught exceptions), kept in a
// fiber-local slot that the module frees when it is unloaded.
//
// Zig's libc++abi keeps this record in a fiber-local slot whose clean-up
// callback it never unregisters. In a DLL that is unloaded while threads
// live on (Explorer unloads extensions once DllCanUnloadNow says so), each
// thread that ever threw calls that callback at its exit, in code that is
// gone, and the host crashes. Defining the runtime's two accessors here keeps
// its own form out of the link. The slot is freed by a static destructor,
// which runs when the module is unloaded or its process ends: FlsFree calls
// the callback for every record still held, while the code is still there,
// and no thread calls it afterwards.
//
// (Static thread_local data would need no callback, but reaching it goes
// through the platform register that holds the thread's TEB, which Wine's
// arm64 build does not keep intact in every callback into a program.)
#include <windows.h>

#include <cstdlib>

namespace __cxxabiv1 {

// The runtime reads and writes its own declaration of the record; this one
// only provides storage of the same size and alignment, zeroed.
struct __cxa_eh_globals {
  void* caughtExceptions;
  unsigned int uncaughtExceptions;
};

namespace {

void WINAPI FreeRecord(void* record) { std::free(record); }

class CThreadRecords {
 public:
  CThreadRecords() noexcept = default;
  CThreadRecords(const CThreadRecords&) = delete;
  CThreadRecords& operator=(const CThreadRecords&) = delete;
  ~CThreadRecords() {
    const DWORD slot = m_slot;
    if (slot != FLS_OUT_OF_INDEXES) FlsFree(slot);
  }

  // Null before the thread's first call of Get.
  __cxa_eh_globals* Find() noexcept {
    return static_cast<__cxa_eh_globals*>(FlsGetValue(Slot()));
  }

  __cxa_eh_globals* Get() noexcept {
    __cxa_eh_globals* record = Find();
    if (record != nullptr) return record;
    record = static_cast<__cxa_eh_globals*>(std::calloc(1, sizeof(__cxa_eh_globals)));
    // As the runtime's own form does: without its record no exception can be
    // handled on this thread.
    if (record == nullptr || !FlsSetValue(Slot(), record)) std::abort();
    return record;
  }

 private:
  // Allocated on first use: an exception may be thrown during static
  // construction, before this object's turn.
  DWORD Slot() noexcept {
    if (m_slot == FLS_OUT_OF_INDEXES) {
      const DWORD slot = FlsAlloc(&FreeRecord);
      if (slot == FLS_OUT_OF_INDEXES) std::abort();
      if (InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(&m_slot), static_cast<LONG>(slot),
                                     static_cast<LONG>(FLS_OUT_OF_INDEXES)) != static_cast<LONG>(FLS_OUT_OF_INDEXES)) {
        FlsFree(slot);  // another thread was first
      }
    }
    return m_slot;
  }

  // Constant-initialised, so valid before any constructor runs.
  volatile DWORD m_slot = FLS_OUT_OF_INDEXES;
};

CThreadRecords g_records;

}  // namespace

extern "C" {
__cxa_eh_globals* __cxa_get_globals() noexcept { return g_records.Get(); }
__cxa_eh_globals* __cxa_get_globals_fast() noexcept { return g_records.Find(); }
}

}  // namespace __cxxabiv1
