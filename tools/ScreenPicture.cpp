#include "tools/ScreenPicture.h"

#include "base/ResultCode.h"
#include "platform/ScopedHandles.h"

namespace quorvel {

namespace {

// The screen's device context, released with its owner.
class CScreenDC {
 public:
  CScreenDC() noexcept : m_dc(GetDC(nullptr)) {}
  CScreenDC(const CScreenDC&) = delete;
  CScreenDC& operator=(const CScreenDC&) = delete;
  ~CScreenDC() {
    if (m_dc != nullptr) ReleaseDC(nullptr, m_dc);
  }
  HDC Get() const noexcept { return m_dc; }

 private:
  HDC m_dc;
};

}  // namespace

HRESULT SaveScreenArea(const RECT& area, const std::wstring& path, std::wstring* error) {
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  CScreenDC screen;
  CScopedMemoryDC memoryDC(CreateCompatibleDC(screen.Get()));
  if (screen.Get() == nullptr || !memoryDC.IsValid()) {
    *error = L"no device context for the picture";
    return E_FAIL;
  }
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as a .bmp file stores it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  CScopedBitmap picture(CreateDIBSection(memoryDC.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!picture.IsValid() || bits == nullptr) {
    *error = L"cannot make the picture's bitmap";
    return E_OUTOFMEMORY;
  }
  const HGDIOBJ previous = SelectObject(memoryDC.Get(), picture.Get());
  const BOOL copied = BitBlt(memoryDC.Get(), 0, 0, width, height, screen.Get(), area.left, area.top, SRCCOPY);
  const HRESULT copyResult = copied ? S_OK : ResultFromLastError();
  GdiFlush();
  SelectObject(memoryDC.Get(), previous);
  if (FAILED(copyResult)) {
    *error = L"cannot copy the screen";
    return copyResult;
  }

  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  const DWORD imageSize = stride * static_cast<DWORD>(height);
  BITMAPFILEHEADER header = {};
  header.bfType = 0x4D42;  // "BM"
  header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  header.bfSize = header.bfOffBits + imageSize;
  info.bmiHeader.biSizeImage = imageSize;
  CScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                     nullptr));
  DWORD written = 0;
  if (!file.IsValid() || !WriteFile(file.Get(), &header, sizeof(header), &written, nullptr) ||
      !WriteFile(file.Get(), &info.bmiHeader, sizeof(info.bmiHeader), &written, nullptr) ||
      !WriteFile(file.Get(), bits, imageSize, &written, nullptr)) {
    *error = L"cannot write " + path;
    return ResultFromLastError();
  }
  return S_OK;
}

}  // namespace quorvel
