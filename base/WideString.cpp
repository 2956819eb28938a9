#include "base/WideString.h"

#include <cstddef>
#include <cstring>
#include <limits>
#include <new>

#include "base/Failure.h"
#include "platform/AnsiText.h"

namespace quorvel {

namespace {

constexpr int32_t kMaxLength = (std::numeric_limits<int32_t>::max() - 64) / 2;

int32_t AddLengths(int32_t a, int32_t b) {
  if (b > kMaxLength - a) CFailure::ThrowOutOfMemory();
  return a + b;
}

}  // namespace

int32_t TextLength(const char16_t* text) noexcept {
  if (text == nullptr) return 0;
  int32_t length = 0;
  while (text[length] != 0) ++length;
  return length;
}

CWideString::Buffer* CWideString::EmptyBuffer() noexcept {
  // A header followed directly by one zero unit; never counted, never freed.
  struct EmptyStorage {
    Buffer header;
    char16_t terminator;
  };
  static_assert(offsetof(EmptyStorage, terminator) == sizeof(Buffer), "the terminator follows the header");
  static EmptyStorage storage{{{kStatic}, 0, 0}, 0};
  return &storage.header;
}

CWideString::Buffer* CWideString::Allocate(int32_t capacity) {
  if (capacity < 0) CFailure::ThrowInvalidArgument();
  if (capacity > kMaxLength) CFailure::ThrowOutOfMemory();
  const size_t bytes = sizeof(Buffer) + (static_cast<size_t>(capacity) + 1) * sizeof(char16_t);
  // Through operator new, like every other allocation of the system, so that
  // one replacement of it governs (and can fail) them all.
  void* memory = ::operator new(bytes, std::nothrow);
  if (memory == nullptr) CFailure::ThrowOutOfMemory();
  Buffer* buffer = new (memory) Buffer;
  buffer->references.store(1, std::memory_order_relaxed);
  buffer->length = 0;
  buffer->capacity = capacity;
  buffer->Units()[0] = 0;
  return buffer;
}

void CWideString::AddReference(Buffer* buffer) noexcept {
  if (buffer != EmptyBuffer()) buffer->references.fetch_add(1, std::memory_order_relaxed);
}

void CWideString::ReleaseReference(Buffer* buffer) noexcept {
  if (buffer == EmptyBuffer()) return;
  if (buffer->references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    buffer->~Buffer();
    ::operator delete(buffer);
  }
}

CWideString::CWideString() noexcept : m_buffer(EmptyBuffer()) {}

CWideString::CWideString(const char16_t* text) : m_buffer(EmptyBuffer()) { Assign(text, TextLength(text)); }

CWideString::CWideString(const char16_t* text, int32_t length) : m_buffer(EmptyBuffer()) {
  if (length < 0) CFailure::ThrowInvalidArgument();
  if (text == nullptr && length > 0) CFailure::ThrowInvalidArgument();
  Assign(text, length);
}

CWideString::CWideString(const CWideString& other) noexcept : m_buffer(other.m_buffer) { AddReference(m_buffer); }

CWideString::CWideString(CWideString&& other) noexcept : m_buffer(other.m_buffer) { other.m_buffer = EmptyBuffer(); }

CWideString::~CWideString() { ReleaseReference(m_buffer); }

CWideString& CWideString::operator=(const CWideString& other) noexcept {
  if (m_buffer != other.m_buffer) {
    AddReference(other.m_buffer);
    ReleaseReference(m_buffer);
    m_buffer = other.m_buffer;
  }
  return *this;
}

CWideString& CWideString::operator=(CWideString&& other) noexcept {
  if (this != &other) {
    ReleaseReference(m_buffer);
    m_buffer = other.m_buffer;
    other.m_buffer = EmptyBuffer();
  }
  return *this;
}

CWideString& CWideString::operator=(const char16_t* text) {
  // Build first: `text` may point into this string's own buffer.
  CWideString copy(text);
  return *this = static_cast<CWideString&&>(copy);
}

void CWideString::Assign(const char16_t* text, int32_t length) {
  if (length == 0) return;  // stays the shared empty value
  Buffer* buffer = Allocate(length);
  std::memcpy(buffer->Units(), text, static_cast<size_t>(length) * sizeof(char16_t));
  buffer->Units()[length] = 0;
  buffer->length = length;
  ReleaseReference(m_buffer);
  m_buffer = buffer;
}

CWideString CWideString::FromAnsi(const char* text) {
  if (text == nullptr) return CWideString();
  const size_t bytes = std::strlen(text);
  if (bytes == 0) return CWideString();
  if (bytes > static_cast<size_t>(kMaxLength)) CFailure::ThrowOutOfMemory();
  const int byteCount = static_cast<int>(bytes);
  const int needed = AnsiToUtf16(text, byteCount, nullptr, 0);
  if (needed <= 0) CFailure::ThrowInvalidArgument();
  CWideString result;
  result.PrepareForWrite(needed);
  const int written = AnsiToUtf16(text, byteCount, result.m_buffer->Units(), needed);
  if (written <= 0) CFailure::ThrowInvalidArgument();
  result.m_buffer->length = written;
  result.m_buffer->Units()[written] = 0;
  return result;
}

int32_t CWideString::GetLength() const noexcept { return m_buffer->length; }

const char16_t* CWideString::GetText() const noexcept { return m_buffer->Units(); }

char16_t CWideString::GetAt(int32_t index) const {
  if (index < 0 || index >= m_buffer->length) CFailure::ThrowInvalidArgument();
  return m_buffer->Units()[index];
}

bool CWideString::operator==(const CWideString& other) const noexcept {
  if (m_buffer == other.m_buffer) return true;
  if (m_buffer->length != other.m_buffer->length) return false;
  return std::memcmp(m_buffer->Units(), other.m_buffer->Units(),
                     static_cast<size_t>(m_buffer->length) * sizeof(char16_t)) == 0;
}

bool CWideString::operator==(const char16_t* text) const noexcept {
  const int32_t length = TextLength(text);
  if (length != m_buffer->length) return false;
  return length == 0 ||
         std::memcmp(m_buffer->Units(), text, static_cast<size_t>(length) * sizeof(char16_t)) == 0;
}

CWideString operator+(const CWideString& left, const CWideString& right) {
  CWideString result(left);
  result.Append(right);
  return result;
}

int32_t CWideString::GrownCapacity(int32_t needed) const noexcept {
  // Doubling keeps a run of appends to linear time in all: each unit is
  // copied a bounded number of times on average.
  const int32_t current = m_buffer->capacity;
  const int32_t doubled = current > kMaxLength / 2 ? kMaxLength : current * 2;
  return doubled > needed ? doubled : needed;
}

void CWideString::PrepareForWrite(int32_t capacity) {
  const bool shared = m_buffer->references.load(std::memory_order_acquire) != 1;
  if (!shared && capacity <= m_buffer->capacity) return;
  Buffer* buffer = Allocate(shared ? capacity : GrownCapacity(capacity));
  std::memcpy(buffer->Units(), m_buffer->Units(), (static_cast<size_t>(m_buffer->length) + 1) * sizeof(char16_t));
  buffer->length = m_buffer->length;
  ReleaseReference(m_buffer);
  m_buffer = buffer;
}

CWideString& CWideString::Append(const char16_t* text, int32_t length) {
  if (length < 0) CFailure::ThrowInvalidArgument();
  if (length == 0) return *this;
  if (text == nullptr) CFailure::ThrowInvalidArgument();
  const int32_t oldLength = m_buffer->length;
  const int32_t newLength = AddLengths(oldLength, length);
  const bool shared = m_buffer->references.load(std::memory_order_acquire) != 1;
  if (!shared && newLength <= m_buffer->capacity) {
    // In place. `text` may lie inside this buffer, before its end.
    std::memmove(m_buffer->Units() + oldLength, text, static_cast<size_t>(length) * sizeof(char16_t));
  } else {
    // A new buffer is filled before the old one is let go, so `text` stays
    // valid even when it lies inside the old one; a failed allocation leaves
    // the string as it was.
    Buffer* buffer = Allocate(GrownCapacity(newLength));
    std::memcpy(buffer->Units(), m_buffer->Units(), static_cast<size_t>(oldLength) * sizeof(char16_t));
    std::memcpy(buffer->Units() + oldLength, text, static_cast<size_t>(length) * sizeof(char16_t));
    ReleaseReference(m_buffer);
    m_buffer = buffer;
  }
  m_buffer->length = newLength;
  m_buffer->Units()[newLength] = 0;
  return *this;
}

CWideString& CWideString::Append(const char16_t* text) { return Append(text, TextLength(text)); }

CWideString& CWideString::Append(const CWideString& text) {
  // `text` may be this very string: its buffer outlives the copy (see above).
  return Append(text.GetText(), text.GetLength());
}

CWideString& CWideString::Append(char16_t unit) { return Append(&unit, 1); }

int32_t CWideString::Replace(char16_t from, char16_t to) {
  int32_t found = 0;
  for (int32_t i = 0; i < m_buffer->length; ++i) {
    if (m_buffer->Units()[i] == from) ++found;
  }
  if (found == 0 || from == to) return found;
  PrepareForWrite(m_buffer->length);
  char16_t* units = m_buffer->Units();
  for (int32_t i = 0; i < m_buffer->length; ++i) {
    if (units[i] == from) units[i] = to;
  }
  return found;
}

int32_t CWideString::Remove(char16_t unit) {
  int32_t found = 0;
  for (int32_t i = 0; i < m_buffer->length; ++i) {
    if (m_buffer->Units()[i] == unit) ++found;
  }
  if (found == 0) return 0;
  if (found == m_buffer->length) {
    *this = CWideString();
    return found;
  }
  PrepareForWrite(m_buffer->length);
  char16_t* units = m_buffer->Units();
  int32_t kept = 0;
  for (int32_t i = 0; i < m_buffer->length; ++i) {
    if (units[i] != unit) units[kept++] = units[i];
  }
  m_buffer->length = kept;
  units[kept] = 0;
  return found;
}

CWideString CWideString::Mid(int32_t start, int32_t count) const {
  if (start < 0) start = 0;
  if (count < 0) count = 0;
  const int32_t length = m_buffer->length;
  if (start >= length || count == 0) return CWideString();
  if (count > length - start) count = length - start;
  if (start == 0 && count == length) return *this;
  return CWideString(m_buffer->Units() + start, count);
}

}  // namespace quorvel
