// CWideString: a reference-counted, copy-on-write string of UTF-16 code units
// with an explicit length, always followed by a terminating zero.
//
// Copies share one buffer whose count changes atomically, so copies of one
// string may be used from several threads at once. The first change made
// through a copy whose buffer is shared gives that copy its own buffer first;
// the change never shows through the other copies. All empty strings share one
// static empty buffer and allocate nothing.
//
// Failures: exhausted memory throws CFailure(E_OUTOFMEMORY); a negative length
// or an index out of range throws CFailure(E_INVALIDARG).
#pragma once

#include <atomic>
#include <cstdint>

namespace quorvel {

class CWideString {
 public:
  CWideString() noexcept;
  CWideString(const char16_t* text);  // null gives the empty string
  CWideString(const char16_t* text, int32_t length);
  CWideString(const CWideString& other) noexcept;
  CWideString(CWideString&& other) noexcept;
  ~CWideString();

  CWideString& operator=(const CWideString& other) noexcept;
  CWideString& operator=(CWideString&& other) noexcept;
  CWideString& operator=(const char16_t* text);

  // 8-bit text in the calling thread's ANSI code page.
  static CWideString FromAnsi(const char* text);

  int32_t GetLength() const noexcept;
  bool IsEmpty() const noexcept { return GetLength() == 0; }
  char16_t GetAt(int32_t index) const;  // 0 <= index < length
  const char16_t* GetText() const noexcept;

  // Exact comparison, code unit by code unit.
  bool operator==(const CWideString& other) const noexcept;
  bool operator!=(const CWideString& other) const noexcept { return !(*this == other); }
  bool operator==(const char16_t* text) const noexcept;
  bool operator!=(const char16_t* text) const noexcept { return !(*this == text); }

  friend CWideString operator+(const CWideString& left, const CWideString& right);

  CWideString& Append(const char16_t* text);
  CWideString& Append(const char16_t* text, int32_t length);
  CWideString& Append(const CWideString& text);
  CWideString& Append(char16_t unit);
  CWideString& operator+=(const CWideString& text) { return Append(text); }
  CWideString& operator+=(const char16_t* text) { return Append(text); }
  CWideString& operator+=(char16_t unit) { return Append(unit); }

  // Replace or remove every occurrence of one unit; both return how many were found.
  int32_t Replace(char16_t from, char16_t to);
  int32_t Remove(char16_t unit);

  // The part from `start` of `count` units: negative values count as 0 and the
  // count is cut at the end of the string.
  CWideString Mid(int32_t start, int32_t count) const;

 private:
  struct Buffer {
    std::atomic<int32_t> references;  // kStatic for the shared empty buffer
    int32_t length;
    int32_t capacity;  // units, terminator excluded
    char16_t* Units() noexcept { return reinterpret_cast<char16_t*>(this + 1); }
  };
  static constexpr int32_t kStatic = -1;

  static Buffer* EmptyBuffer() noexcept;
  static Buffer* Allocate(int32_t capacity);
  static void AddReference(Buffer* buffer) noexcept;
  static void ReleaseReference(Buffer* buffer) noexcept;
  void Assign(const char16_t* text, int32_t length);
  // Makes this string the sole owner of a buffer that holds at least
  // `capacity` units, keeping its text.
  void PrepareForWrite(int32_t capacity);
  // The capacity to allocate when this string must grow to `needed` units.
  int32_t GrownCapacity(int32_t needed) const noexcept;

  Buffer* m_buffer;
};

// Length of a zero-terminated UTF-16 text.
int32_t TextLength(const char16_t* text) noexcept;

}  // namespace quorvel
