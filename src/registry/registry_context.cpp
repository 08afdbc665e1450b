#include "registry/registry_context.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "core/entry_guard.h"
#include "sys/bas_thread.h"
#include "sys/heap.h"
#include "sys/result_codes.h"

namespace ryl::registry {
namespace {

struct RootRow {
  uintptr_t value;
  const char16_t* nativeName;  // null: the current user, opened per use
  uint32_t slot;
};

constexpr RootRow kRoots[kRootCount] = {
    {0x80000000u, u"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes", 1},
    {0x80000001u, nullptr, 0},
    {0x80000002u, u"\\REGISTRY\\MACHINE", 2},
    {0x80000003u, u"\\REGISTRY\\USER", 3},
    {0x80000004u, u"HKEY_PERFORMANCE_DATA", 4},
    {0x80000050u, u"\\REGISTRY\\MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Perflib\\009", 5},
    {0x80000060u, u"HKEY_PERFORMANCE_NLSTEXT", 6},
    {0x80000005u, u"\\REGISTRY\\MACHINE\\SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current", 7},
    {0x80000006u, u"HKEY_DYN_DATA", 8},
};

const RootRow* FindRoot(uintptr_t value) noexcept {
  for (const RootRow& row : kRoots) {
    if (row.value == value) return &row;
  }
  return nullptr;
}

KeyName NameOf(const char16_t* text) noexcept {
  KeyName name{text, 0};
  while (text != nullptr && text[name.length] != 0) ++name.length;
  return name;
}

KeyName NameOf(const KeyText& text) noexcept { return KeyName{text.data(), static_cast<uint32_t>(text.size())}; }

bool IsAccessDenied(ResultCode code) noexcept { return code == RYL_E_ACCESS_DENIED; }

constexpr std::u16string_view kMachinePrefix = u"\\REGISTRY\\MACHINE";
constexpr std::u16string_view kUserPrefix = u"\\REGISTRY\\USER";

// The largest name answer the service believes: far beyond any real key path,
// small enough that a broken answer cannot ask for gigabytes.
constexpr uint32_t kMaxNameAnswer = 1u << 20;

// Closes a handle the pipeline opened for itself when it leaves scope.
class OwnedKey {
 public:
  OwnedKey(RegistryContext& context) noexcept : context_(context) {}
  ~OwnedKey() { Reset(); }
  OwnedKey(const OwnedKey&) = delete;
  OwnedKey& operator=(const OwnedKey&) = delete;
  void Reset(KeyHandle handle = nullptr, bool owned = false) noexcept {
    if (owned_ && handle_ != nullptr) context_.CloseHandle(handle_);
    handle_ = handle;
    owned_ = owned;
  }
  KeyHandle get() const noexcept { return handle_; }

 private:
  RegistryContext& context_;
  KeyHandle handle_ = nullptr;
  bool owned_ = false;
};

}  // namespace

uintptr_t RootValueOfIndex(uint32_t index) noexcept { return index < kRootCount ? kRoots[index].value : 0; }

RegistryContext::RegistryContext(NativeKeys* keys, uint32_t systemArchitecture,
                                 uint32_t processArchitecture) noexcept
    : keys_(keys),
      isWow64_(!(processArchitecture == 2 || processArchitecture == 3) &&
               (systemArchitecture == 2 || systemArchitecture == 3)),
      is64BitProcess_(processArchitecture == 2 || processArchitecture == 3) {}

RegistryContext::~RegistryContext() {
  for (auto& slot : cached_) {
    KeyHandle handle = slot.exchange(nullptr);
    if (handle != nullptr && static_cast<intptr_t>(reinterpret_cast<uintptr_t>(handle)) > 0) {
      (void)keys_->Close(handle);
    }
  }
}

RegistryContext* RegistryContext::Create(NativeKeys* keys, uint32_t systemArchitecture,
                                         uint32_t processArchitecture) noexcept {
  void* memory = sys::DefaultHeapAllocate(sizeof(RegistryContext));
  if (memory == nullptr) return nullptr;
  return ::new (memory) RegistryContext(keys, systemArchitecture, processArchitecture);
}

void RegistryContext::Release() noexcept {
  if (references_.fetch_sub(1) != 1) return;
  this->~RegistryContext();
  sys::DefaultHeapFree(this);
}

void RegistryContext::CloseHandle(KeyHandle handle) noexcept {
  if (handle != nullptr) (void)keys_->Close(handle);
}

ResultCode RegistryContext::OpenCachedRoot(uint32_t slot, KeyHandle* outHandle) noexcept {
  const RootRow& row = *std::find_if(std::begin(kRoots), std::end(kRoots),
                                     [slot](const RootRow& r) { return r.slot == slot; });
  const KeyName name = NameOf(row.nativeName);
  ResultCode result = RYL_OK;
  KeyHandle handle = nullptr;
  for (uint32_t access : {kKeyAllAccess, kKeyRead}) {
    int32_t status = keys_->OpenKey(&handle, access, nullptr, name);
    if (status != kStatusSuccess) {
      const int32_t opened = status;
      status = keys_->CreateKey(&handle, access, nullptr, name);
      if (status != kStatusSuccess) status = opened;
    }
    result = sys::RylResultFromNtStatus(status);
    if (!IsAccessDenied(result)) break;
  }
  if (result < 0) return result;
  // Two threads may open the same root at once: one handle is kept.
  KeyHandle expected = nullptr;
  if (!cached_[slot].compare_exchange_strong(expected, handle)) {
    (void)keys_->Close(handle);
    handle = expected;
  }
  *outHandle = handle;
  return RYL_OK;
}

ResultCode RegistryContext::ResolveRoot(uintptr_t rootOrHandle, KeyHandle* outHandle, bool* outOwned) noexcept {
  *outOwned = false;
  if (rootOrHandle == 0) return RYL_E_INVALID_TYPE;
  const RootRow* row = FindRoot(rootOrHandle);
  if (row == nullptr) {
    *outHandle = reinterpret_cast<KeyHandle>(rootOrHandle);
    return RYL_OK;
  }
  if (row->nativeName == nullptr) {
    KeyHandle handle = nullptr;
    ResultCode result = sys::RylResultFromNtStatus(keys_->OpenCurrentUser(kKeyAllAccess, &handle));
    if (IsAccessDenied(result)) result = sys::RylResultFromNtStatus(keys_->OpenCurrentUser(kKeyRead, &handle));
    if (result < 0) return result;
    *outHandle = handle;
    *outOwned = true;
    return RYL_OK;
  }
  KeyHandle cached = cached_[row->slot].load();
  if (cached != nullptr) {
    *outHandle = cached;
    return RYL_OK;
  }
  return OpenCachedRoot(row->slot, outHandle);
}

ResultCode RegistryContext::QueryKeyPath(uintptr_t rootOrHandle, KeyText* outName) noexcept {
  KeyHandle handle = nullptr;
  bool owned = false;
  ResultCode result = ResolveRoot(rootOrHandle, &handle, &owned);
  if (result < 0) return result;
  OwnedKey root(*this);
  root.Reset(handle, owned);
  return core::GuardEntry([&]() -> ResultCode {
    alignas(4) uint8_t local[256];
    std::vector<uint8_t> heap;
    uint8_t* buffer = local;
    uint32_t size = sizeof local;
    uint32_t needed = 0;
    int32_t status = keys_->QueryKey(handle, kKeyNameInformation, buffer, size, &needed);
    // Windows answers a short buffer with "overflow"; some systems with "too
    // small". Either way one more query with the size it asked for.
    if ((status == kStatusBufferOverflow || status == kStatusBufferTooSmall) && needed > size &&
        needed <= kMaxNameAnswer) {
      heap.resize(needed);
      buffer = heap.data();
      size = needed;
      status = keys_->QueryKey(handle, kKeyNameInformation, buffer, size, &needed);
    }
    if (status != kStatusSuccess) return sys::RylResultFromNtStatus(status);
    uint32_t bytes = 0;
    std::memcpy(&bytes, buffer, 4);
    if (bytes > size - 4 || bytes % 2 != 0) return RYL_E_INVALID_DATA;
    outName->resize(bytes / 2);
    std::memcpy(outName->data(), buffer + 4, bytes);
    return RYL_OK;
  });
}

ResultCode RegistryContext::GetClassesRelativePath(uintptr_t rootOrHandle, ClassesPath* out) noexcept {
  KeyText name;
  const ResultCode queried = QueryKeyPath(rootOrHandle, &name);
  if (queried < 0) return queried;
  return core::GuardEntry([&]() { return ClassesRelativePath(name, out); });
}

ResultCode RegistryContext::OpenKey(uintptr_t rootOrHandle, KeyHandle* outHandle, const char16_t* subkey,
                                    uint32_t subkeyLength, bool hasSubkey, uint32_t access,
                                    void* transaction) noexcept {
  if (outHandle == nullptr) return RYL_E_INVALID_ARG;
  return core::GuardEntry([&]() {
    return RunPipeline(Pipeline::kOpen, rootOrHandle, outHandle, subkey, subkeyLength, hasSubkey, access,
                       transaction);
  });
}

ResultCode RegistryContext::CreateKey(uintptr_t rootOrHandle, KeyHandle* outHandle, const char16_t* subkey,
                                      uint32_t subkeyLength, uint32_t access) noexcept {
  if (outHandle == nullptr || subkey == nullptr) return RYL_E_INVALID_ARG;
  return core::GuardEntry([&]() {
    return RunPipeline(Pipeline::kCreate, rootOrHandle, outHandle, subkey, subkeyLength, true, access, nullptr);
  });
}

ResultCode RegistryContext::RunPipeline(Pipeline pipeline, uintptr_t rootOrHandle, KeyHandle* outHandle,
                                        const char16_t* subkey, uint32_t subkeyLength, bool hasSubkey,
                                        uint32_t access, void* transaction) {
  const uint32_t flags = access & 0xF0000000u;
  uint32_t mask = access & 0x0FFFFFFFu;
  KeyHandle resolved = nullptr;
  bool owned = false;
  ResultCode result = ResolveRoot(rootOrHandle, &resolved, &owned);
  if (result < 0) return result;
  OwnedKey root(*this);
  root.Reset(resolved, owned);
  OwnedKey walked(*this);  // the node translation's last intermediate key

  KeyHandle directory = resolved;
  KeyText mappedName;
  KeyName name{subkey, hasSubkey ? subkeyLength : 0};
  void* viewTransaction = pipeline == Pipeline::kOpen ? transaction : nullptr;

  if ((access & kView32) != 0) {
    if (is64BitProcess_) {
      KeyText base;
      result = QueryKeyPath(reinterpret_cast<uintptr_t>(resolved), &base);
      if (result < 0) return result;
      ViewMapping view = MapTo32BitView(base, subkey, subkeyLength, hasSubkey);
      if (view.mapped) {
        mappedName = std::move(view.name);
        name = NameOf(mappedName);
        if (!view.relativeToRoot) directory = nullptr;
        if (view.clearView32) mask &= ~kView32;
      }
    }
  } else if (isWow64_ && (flags & kTranslateWow64Node) != 0) {
    KeyText joined;
    result = QueryKeyPath(reinterpret_cast<uintptr_t>(resolved), &joined);
    if (result < 0) return result;
    if (hasSubkey) {
      joined += u'\\';
      joined.append(subkey, subkeyLength);
    }
    // Prefixes are compared without regard to case: Windows reports them in
    // upper case, other systems need not.
    if (StartsWithNoCase(joined, kMachinePrefix)) {
      const size_t at = FindWholeWow64Node(UpperCaseKeyText(joined));
      if (at != KeyText::npos) {
        joined.erase(at, 12);
        KeyHandle machine = nullptr;
        bool machineOwned = false;
        result = ResolveRoot(kLocalMachine, &machine, &machineOwned);
        if (result < 0) return result;
        joined.erase(0, std::min<size_t>(joined.size(), kMachinePrefix.size() + 1));
        mappedName = std::move(joined);
        name = NameOf(mappedName);
        directory = machine;
        // The 32-bit view and only it: inverting the 64-bit bit would set it
        // for a caller who gave neither, and a key opened with both view
        // bits is the 64-bit one (or a failure).
        mask = (mask & ~kView64) | kView32;
      }
    } else if (StartsWithNoCase(joined, kUserPrefix) && hasSubkey) {
      // Component by component, so that every level passes through the
      // system's own redirection.
      KeyText rest(subkey, subkeyLength);
      KeyHandle current = resolved;
      for (size_t cut = rest.find(u'\\'); cut != KeyText::npos; cut = rest.find(u'\\')) {
        const KeyText component = rest.substr(0, cut);
        KeyHandle next = nullptr;
        const int32_t status = viewTransaction != nullptr
                                   ? keys_->OpenKeyTransacted(&next, mask, current, NameOf(component), viewTransaction)
                                   : keys_->OpenKey(&next, mask, current, NameOf(component));
        if (status != kStatusSuccess) return sys::RylResultFromNtStatus(status);
        walked.Reset(next, true);
        current = next;
        rest.erase(0, cut + 1);
      }
      mappedName = std::move(rest);
      name = NameOf(mappedName);
      directory = current;
    }
  }

  KeyHandle handle = nullptr;
  int32_t status = kStatusSuccess;
  if (pipeline == Pipeline::kCreate) {
    status = keys_->CreateKey(&handle, mask, directory, name);
  } else {
    status = transaction != nullptr ? keys_->OpenKeyTransacted(&handle, mask, directory, name, transaction)
                                    : keys_->OpenKey(&handle, mask, directory, name);
    const bool hasNul = std::u16string_view(name.text == nullptr ? u"" : name.text, name.length).find(u'\0') !=
                        std::u16string_view::npos;
    if (status == kStatusObjectNameNotFound && (flags & kCreateNulName) != 0 && isWow64_ && hasSubkey && hasNul) {
      status = transaction != nullptr ? keys_->CreateKeyTransacted(&handle, mask, directory, name, transaction)
                                      : keys_->CreateKey(&handle, mask, directory, name);
    }
  }
  if (status != kStatusSuccess) return sys::RylResultFromNtStatus(status);
  *outHandle = handle;
  return RYL_OK;
}

// --- The process-wide holder ------------------------------------------------

namespace {

// 0 no holder, 1 being built, 2 ready, 3 being read, 4 torn down.
std::atomic<uint32_t> g_state{0};
RegistryContext* g_context = nullptr;

bool Exchange(uint32_t from, uint32_t to, uint32_t* old) noexcept {
  *old = from;
  return g_state.compare_exchange_strong(*old, to);
}

}  // namespace

RegistryContext* AcquireRegistryContext(NativeKeys* keys, uint32_t systemArchitecture,
                                        uint32_t processArchitecture) noexcept {
  for (;;) {
    uint32_t old = 0;
    if (g_state.load() < 2 && Exchange(0, 1, &old)) {
      g_context = RegistryContext::Create(keys, systemArchitecture, processArchitecture);
      g_state.store(g_context != nullptr ? 2 : 0);
      if (g_context == nullptr) return nullptr;
    }
    if (Exchange(2, 3, &old)) {
      g_context->AddRef();
      RegistryContext* context = g_context;
      g_state.store(2);
      return context;
    }
    if (old == 4) return RegistryContext::Create(keys, systemArchitecture, processArchitecture);
    if (old != 0) sys::RylBasThread::Sleep(0);
  }
}

void ReleaseProcessRegistryContext() noexcept {
  for (;;) {
    uint32_t old = 0;
    if (Exchange(0, 3, &old) || Exchange(2, 3, &old)) break;
    if (old == 4) return;
    sys::RylBasThread::Sleep(0);
  }
  RegistryContext* context = g_context;
  g_context = nullptr;
  if (context != nullptr) context->Release();
  g_state.store(4);
}

}  // namespace ryl::registry
