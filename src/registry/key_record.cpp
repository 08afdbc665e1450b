#include "registry/key_record.h"

#include "core/entry_guard.h"
#include "sys/result_codes.h"

namespace ryl::registry {
namespace {

constexpr std::u16string_view kSoftwareClasses = u"SOFTWARE\\CLASSES";

bool IsNotFound(ResultCode code) noexcept {
  return code == RYL_E_FILE_NOT_FOUND || code == RYL_E_PATH_NOT_FOUND || code == sys::RylCreateErrorCodeFromWin32(3, 161);
}

ResultCode NormaliseNotFound(ResultCode code) noexcept { return IsNotFound(code) ? RYL_E_NOT_FOUND : code; }

// The path of a classes-view record relative to the user or the machine,
// with the subkey appended when there is one.
ResultCode ClassesPathOf(const RegKeyRecord& record, const char16_t* subkey, uint32_t subkeyLength, bool hasSubkey,
                         KeyText* outPath, bool* outIsMachine) {
  if (record.isRoot(kClassesRoot)) {
    *outPath = KeyText(kSoftwareClasses);
    if (outIsMachine != nullptr) *outIsMachine = true;
  } else {
    ClassesPath found;
    const ResultCode result = record.context().GetClassesRelativePath(record.handle(), &found);
    if (result < 0) return result;
    *outPath = std::move(found.path);
    if (outIsMachine != nullptr) *outIsMachine = found.isMachine;
  }
  if (hasSubkey) {
    if (!outPath->empty()) *outPath += u'\\';
    outPath->append(subkey, subkeyLength);
  }
  return RYL_OK;
}

}  // namespace

RegKeyRecord& RegKeyRecord::operator=(RegKeyRecord&& other) noexcept {
  if (this == &other) return *this;
  Reset();
  context_ = other.context_;
  handle_ = other.handle_;
  ownsHandle_ = other.ownsHandle_;
  isClassesView_ = other.isClassesView_;
  other.context_ = nullptr;
  other.handle_ = 0;
  other.ownsHandle_ = false;
  return *this;
}

void RegKeyRecord::Reset() noexcept {
  if (ownsHandle_ && handle_ != 0 && context_ != nullptr) context_->CloseHandle(nativeHandle());
  ownsHandle_ = false;
  handle_ = 0;
  if (context_ != nullptr) context_->Release();
  context_ = nullptr;
}

ResultCode OpenSubKeyOfRecord(const RegKeyRecord& record, KeyHandle* outHandle, const char16_t* subkey,
                              uint32_t subkeyLength, bool hasSubkey, uint32_t access) noexcept {
  RegistryContext& context = record.context();
  if (!record.isClassesView()) {
    return NormaliseNotFound(
        context.OpenKey(record.handle(), outHandle, subkey, subkeyLength, hasSubkey, access, nullptr));
  }
  return core::GuardEntry([&]() -> ResultCode {
    KeyText path;
    const ResultCode built = ClassesPathOf(record, subkey, subkeyLength, hasSubkey, &path, nullptr);
    if (built < 0) return built;
    const auto length = static_cast<uint32_t>(path.size());
    ResultCode result = context.OpenKey(kCurrentUser, outHandle, path.data(), length, true, access, nullptr);
    if (result < 0) result = context.OpenKey(kLocalMachine, outHandle, path.data(), length, true, access, nullptr);
    return NormaliseNotFound(result);
  });
}

ResultCode CreateSubKeyOfRecord(const RegKeyRecord& record, KeyHandle* outHandle, const char16_t* subkey,
                                uint32_t subkeyLength, uint32_t access) noexcept {
  RegistryContext& context = record.context();
  if (!record.isClassesView()) return context.CreateKey(record.handle(), outHandle, subkey, subkeyLength, access);
  return core::GuardEntry([&]() -> ResultCode {
    KeyText path;
    const ResultCode built = ClassesPathOf(record, subkey, subkeyLength, true, &path, nullptr);
    if (built < 0) return built;
    // Creation prefers the machine's classes, opening the user's.
    context.AddRef();
    const RegKeyRecord machine(&context, kLocalMachine, false, false);
    ResultCode result =
        CreateKeyPath(machine, outHandle, path.data(), static_cast<uint32_t>(path.size()), access);
    if (result < 0) {
      context.AddRef();
      const RegKeyRecord user(&context, kCurrentUser, false, false);
      result = CreateKeyPath(user, outHandle, path.data(), static_cast<uint32_t>(path.size()), access);
    }
    return result;
  });
}

ResultCode CreateKeyPath(const RegKeyRecord& record, KeyHandle* outHandle, const char16_t* subkey,
                         uint32_t subkeyLength, uint32_t access) noexcept {
  return core::GuardEntry([&]() -> ResultCode {
    const KeyText path = CollapseDoubledNodes(KeyText(subkey, subkeyLength));
    const uint32_t work = (access & 0x30000300u) | kKeyAllAccess;
    RegistryContext& context = record.context();

    KeyHandle start = nullptr;
    ResultCode result = OpenSubKeyOfRecord(record, &start, nullptr, 0, false, work);
    if (result < 0) return result;
    context.AddRef();
    RegKeyRecord working(&context, reinterpret_cast<uintptr_t>(start), true, record.isClassesView());

    size_t from = 0;
    for (;;) {
      const size_t cut = path.find(u'\\', from);
      const size_t end = cut == KeyText::npos ? path.size() : cut;
      const KeyText component = path.substr(from, end - from);
      const auto length = static_cast<uint32_t>(component.size());
      KeyHandle next = nullptr;
      // Descend while the path exists; from the first missing component on,
      // open what appeared meanwhile or create it.
      result = OpenSubKeyOfRecord(working, &next, component.data(), length, true, work);
      if (result < 0) {
        result = CreateSubKeyOfRecord(working, &next, component.data(), length, work);
        if (result < 0) return result;
      }
      context.AddRef();
      working = RegKeyRecord(&context, reinterpret_cast<uintptr_t>(next), true, record.isClassesView());
      if (cut == KeyText::npos) break;
      from = cut + 1;
    }
    working.Reset();
    return OpenSubKeyOfRecord(record, outHandle, path.data(), static_cast<uint32_t>(path.size()), true, access);
  });
}

}  // namespace ryl::registry
