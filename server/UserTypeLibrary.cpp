#include "server/UserTypeLibrary.h"

#include <new>
#include <string>

#include "platform/ScopedBstr.h"
#include "platform/ScopedComPtr.h"
#include "registrar/RegObject.h"
#include "registrar/RegScriptParser.h"
#include "registrar/ScriptVariables.h"
#include "server/ModuleTypeLibrary.h"

namespace quorvel {

namespace {

// The automation marshaller (the proxy and stub of every dual or
// automation-compatible interface), as RegisterTypeLib names it.
constexpr char16_t kAutomationProxy[] = u"{00020424-0000-0000-C000-000000000046}";

// `text` as a quoted script token: ' doubled, and % doubled against
// variable expansion.
std::u16string Quoted(const char16_t* text) {
  std::u16string out = u"'";
  for (; text != nullptr && *text != 0; ++text) {
    if (*text == u'\'' || *text == u'%') out += *text;
    out += *text;
  }
  return out + u"'";
}

std::u16string GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return AsUtf16(text);
}

std::u16string Hex(unsigned value) {
  wchar_t text[16] = {};
  wsprintfW(text, L"%x", value);
  return AsUtf16(text);
}

std::u16string Decimal(unsigned value) {
  wchar_t text[16] = {};
  wsprintfW(text, L"%u", value);
  return AsUtf16(text);
}

// The folder of `path`, without its last '\\': where RegisterTypeLib looks for
// help when given none.
std::u16string FolderOf(const char16_t* path) {
  const std::u16string text = path;
  const size_t slash = text.find_last_of(u"\\/");
  return slash == std::u16string::npos ? std::u16string() : text.substr(0, slash);
}

// The script of what RegisterTypeLib writes for `library` at `path`.
HRESULT BuildScript(ITypeLib* library, const char16_t* path, std::u16string* script) {
  TLIBATTR* attributes = nullptr;
  HRESULT hr = library->GetLibAttr(&attributes);
  if (FAILED(hr)) return hr;
  const TLIBATTR lib = *attributes;
  library->ReleaseTLibAttr(attributes);

  CScopedBstr name;
  CScopedBstr doc;
  hr = library->GetDocumentation(-1, name.Receive(), doc.Receive(), nullptr, nullptr);
  if (FAILED(hr)) return hr;
  const std::u16string libId = GuidText(lib.guid);
  const std::u16string version = Decimal(lib.wMajorVerNum) + u"." + Decimal(lib.wMinorVerNum);
  const char16_t* platform = lib.syskind == SYS_WIN64 ? u"win64" : lib.syskind == SYS_WIN32 ? u"win32" : u"win16";
  const BSTR title = doc.Get() != nullptr && doc.Get()[0] != 0 ? doc.Get() : name.Get();

  std::u16string& s = *script;
  s = u"HKCR\r\n{\r\n NoRemove TypeLib\r\n {\r\n  " + Quoted(libId.c_str()) + u"\r\n  {\r\n   " +
      Quoted(version.c_str()) + u" = s " + Quoted(AsUtf16(title)) + u"\r\n   {\r\n    " +
      Quoted(Hex(lib.lcid).c_str()) + u"\r\n    {\r\n     " + platform + u" = s '%MODULE%'\r\n    }\r\n" +
      u"    FLAGS = s " + Quoted(Decimal(lib.wLibFlags).c_str()) + u"\r\n    HELPDIR = s " + Quoted(FolderOf(path).c_str()) + u"\r\n   }\r\n  }\r\n }\r\n" +
      u" NoRemove Interface\r\n {\r\n";
  const UINT count = library->GetTypeInfoCount();
  for (UINT index = 0; index < count; ++index) {
    CScopedComPtr<ITypeInfo> info;
    hr = library->GetTypeInfo(index, info.Receive());
    if (FAILED(hr)) return hr;
    TYPEATTR* typeAttributes = nullptr;
    hr = info->GetTypeAttr(&typeAttributes);
    if (FAILED(hr)) return hr;
    const TYPEATTR type = *typeAttributes;
    info->ReleaseTypeAttr(typeAttributes);
    // Interfaces the automation marshaller can carry: dispatch interfaces
    // (a dual one among them) and automation-compatible ones.
    const bool marshalled = type.typekind == TKIND_DISPATCH ||
                            (type.typekind == TKIND_INTERFACE && (type.wTypeFlags & TYPEFLAG_FOLEAUTOMATION) != 0);
    if (!marshalled) continue;
    CScopedBstr typeName;
    hr = library->GetDocumentation(static_cast<INT>(index), typeName.Receive(), nullptr, nullptr, nullptr);
    if (FAILED(hr)) return hr;
    s += u"  ForceRemove " + Quoted(GuidText(type.guid).c_str()) + u" = s " + Quoted(AsUtf16(typeName.Get())) +
         u"\r\n  {\r\n   ProxyStubClsid = s '" + kAutomationProxy + u"'\r\n   ProxyStubClsid32 = s '" +
         kAutomationProxy + u"'\r\n   TypeLib = s " + Quoted(libId.c_str()) + u"\r\n   {\r\n    val Version = s " +
         Quoted(version.c_str()) + u"\r\n   }\r\n  }\r\n";
  }
  s += u" }\r\n}\r\n";
  return S_OK;
}

}  // namespace

HRESULT UpdateTypeLibThroughRegistry(HINSTANCE instance, bool registerFlag, IRegistry& registry) noexcept {
  try {
    CScopedBstr path;
    CScopedComPtr<ITypeLib> library;
    HRESULT hr = LoadModuleTypeLib(instance, path.Receive(), library.Receive());
    if (FAILED(hr)) return hr;
    std::u16string script;
    hr = BuildScript(library.Get(), AsUtf16(path.Get()), &script);
    if (FAILED(hr)) return hr;
    CRegObject registrar;
    hr = AddModulePathVariables(registrar, AsUtf16(path.Get()));
    if (FAILED(hr)) return hr;
    CRegScriptParser parser(registrar, registry);
    return parser.ApplyScript(script.c_str(), registerFlag);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace quorvel
