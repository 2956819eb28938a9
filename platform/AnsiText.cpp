#include "platform/AnsiText.h"

#ifdef _WIN32
#include "platform/WinApi.h"
#endif

namespace quorvel {

#ifdef _WIN32

int AnsiToUtf16(const char* text, int length, char16_t* out, int capacity) {
  return MultiByteToWideChar(CP_THREAD_ACP, 0, text, length, AsWide(out), capacity);
}

int Utf16ToAnsi(const char16_t* text, int length, char* out, int capacity) {
  return WideCharToMultiByte(CP_THREAD_ACP, 0, AsWide(text), length, out, capacity, nullptr, nullptr);
}

#else

int AnsiToUtf16(const char* text, int length, char16_t* out, int capacity) {
  if (text == nullptr || length < 0 || capacity < 0) return 0;
  if (capacity == 0) return length;
  if (capacity < length) return 0;
  for (int i = 0; i < length; ++i) out[i] = static_cast<unsigned char>(text[i]);
  return length;
}

int Utf16ToAnsi(const char16_t* text, int length, char* out, int capacity) {
  if (text == nullptr || length < 0 || capacity < 0) return 0;
  if (capacity == 0) return length;
  if (capacity < length) return 0;
  for (int i = 0; i < length; ++i) out[i] = text[i] < 0x100 ? static_cast<char>(text[i]) : '?';
  return length;
}

#endif

}  // namespace quorvel
