#include "registry_key.h"

#include <windows.h>

namespace rylcli {
namespace {

struct RootName {
  const wchar_t* shortName;
  const wchar_t* longName;
  uint32_t index;
};

const RootName kRoots[] = {
    {L"HKCR", L"HKEY_CLASSES_ROOT", RYL_ROOT_CLASSES_ROOT},     {L"HKCU", L"HKEY_CURRENT_USER", RYL_ROOT_CURRENT_USER},
    {L"HKLM", L"HKEY_LOCAL_MACHINE", RYL_ROOT_LOCAL_MACHINE},   {L"HKU", L"HKEY_USERS", RYL_ROOT_USERS},
    {L"HKCC", L"HKEY_CURRENT_CONFIG", RYL_ROOT_CURRENT_CONFIG},
};

bool SameNoCase(const std::wstring& a, const wchar_t* b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b, -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

bool ParseKeyPath(const std::wstring& text, KeyPath* out) {
  const size_t slash = text.find(L'\\');
  const std::wstring first = text.substr(0, slash);
  for (const RootName& root : kRoots) {
    if (!SameNoCase(first, root.shortName) && !SameNoCase(first, root.longName)) continue;
    KeyPath path;
    path.root = root.index;
    path.rootName = root.longName;
    if (slash != std::wstring::npos) path.subPath = text.substr(slash + 1);
    while (!path.subPath.empty() && path.subPath.back() == L'\\') path.subPath.pop_back();
    *out = std::move(path);
    return true;
  }
  return false;
}

ResultCode OpenKey(RootFactory* root, const KeyPath& path, uint32_t view, ScopedKey* out) {
  ScopedKey top;
  ResultCode rc = root->OpenRegistryRoot(top.Receive(), path.root);
  if (RylFailed(rc)) return rc;
  if (top.get() == nullptr) return RYL_E_INVALID_STATE;
  // The root itself is opened with the view too, so that HKLM /32 lists
  // what a 32-bit program sees there.
  const std::wstring& name = path.subPath;
  rc = top.get()->OpenSubKey(out->Receive(), reinterpret_cast<const RylChar16*>(name.c_str()),
                             static_cast<uint32_t>(name.size()), KEY_READ | view);
  if (RylFailed(rc)) return rc;
  return out->get() == nullptr ? RYL_E_INVALID_STATE : RYL_OK;
}

}  // namespace rylcli
