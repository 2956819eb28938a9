// The per-thread record of the C++ runtime's exception handling (the
// caught-exception stack and the count of uncaught exceptions), as static
// thread-local storage of the module that links it.
//
// Zig's libc++abi keeps this record in a fiber-local slot allocated with a
// clean-up callback and never freed. In a DLL that is unloaded while threads
// live on (Explorer unloads extensions once DllCanUnloadNow says so), each
// such thread calls that callback at its exit, in code that is gone, and the
// host crashes. libc++abi has this thread_local form of its own for
// platforms with thread-local storage; defining these two functions here
// keeps its fiber-local form out of the link. The record is plain data, so
// nothing runs at thread exit: when a thread ends no exception is in
// flight, and the module's thread-local block goes with the module.
namespace __cxxabiv1 {

// The runtime reads and writes its own declaration of the record; this one
// only provides storage of the same size and alignment.
struct __cxa_eh_globals {
  void* caughtExceptions;
  unsigned int uncaughtExceptions;
};

namespace {
__cxa_eh_globals* ThreadRecord() noexcept {
  static thread_local __cxa_eh_globals record;
  return &record;
}
}  // namespace

extern "C" {
__cxa_eh_globals* __cxa_get_globals() noexcept { return ThreadRecord(); }
__cxa_eh_globals* __cxa_get_globals_fast() noexcept { return ThreadRecord(); }
}

}  // namespace __cxxabiv1
