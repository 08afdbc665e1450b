// The registry service on the in-memory registry: root resolution and its
// cache, what the view rules ask the system to open, the merged classes view,
// and creating paths.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "registry/key_record.h"
#include "registry_test_support.h"

namespace ryl::registry {
namespace {

using testing::FakeRegistry;
using testing::HeldKey;
using testing::Output;

constexpr uint32_t kX64 = 2;
constexpr uint32_t kX86 = 1;

std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

struct Fixture {
  explicit Fixture(uint32_t system, uint32_t process, std::u16string machine = u"MACHINE")
      : fake(std::move(machine)), context(RegistryContext::Create(&fake, system, process)) {}
  ~Fixture() { context->Release(); }
  RegKeyRecord Root(uint32_t index) {
    context->AddRef();
    return RegKeyRecord(context, RootValueOfIndex(index), false, index == 0);
  }
  FakeRegistry fake;
  RegistryContext* context;
};

// The last open or create the service asked for.
FakeRegistry::Call LastCall(const FakeRegistry& fake) {
  const auto calls = fake.Calls();
  return calls.empty() ? FakeRegistry::Call{} : calls.back();
}

TEST(RegistryRoots, CachedRootsOpenOnceAndTheCurrentUserPerUse) {
  Fixture f(kX86, kX86);
  KeyHandle first = nullptr, second = nullptr;
  bool owned = true;
  ASSERT_EQ(f.context->ResolveRoot(kLocalMachine, &first, &owned), RYL_OK);
  EXPECT_FALSE(owned);
  ASSERT_EQ(f.context->ResolveRoot(kLocalMachine, &second, &owned), RYL_OK);
  EXPECT_EQ(first, second);
  EXPECT_EQ(f.fake.Calls().size(), 1u);
  EXPECT_EQ(Narrow(f.fake.Calls()[0].name), "\\REGISTRY\\MACHINE");
  EXPECT_EQ(f.fake.Calls()[0].access, kKeyAllAccess);

  KeyHandle user = nullptr;
  ASSERT_EQ(f.context->ResolveRoot(kCurrentUser, &user, &owned), RYL_OK);
  EXPECT_TRUE(owned);
  f.context->CloseHandle(user);
  EXPECT_EQ(f.context->ResolveRoot(0, &user, &owned), RYL_E_INVALID_TYPE);
  KeyHandle plain = nullptr;
  ASSERT_EQ(f.context->ResolveRoot(0x1234, &plain, &owned), RYL_OK);
  EXPECT_EQ(plain, reinterpret_cast<KeyHandle>(0x1234));
  EXPECT_FALSE(owned);
}

TEST(RegistryRoots, AccessDeniedRetriesReadOnly) {
  Fixture f(kX86, kX86);
  f.fake.denyFullAccessToCurrentUser = true;
  KeyHandle user = nullptr;
  bool owned = false;
  ASSERT_EQ(f.context->ResolveRoot(kCurrentUser, &user, &owned), RYL_OK);
  f.context->CloseHandle(user);
  f.fake.FailOpen(u"\\REGISTRY\\USER", static_cast<int32_t>(0xC0000022u));
  KeyHandle users = nullptr;
  EXPECT_EQ(f.context->ResolveRoot(0x80000003u, &users, &owned), RYL_E_ACCESS_DENIED);
  EXPECT_EQ(f.fake.OpenHandles(), 0u);
}

TEST(RegistryRoots, RacingFirstResolutionsKeepOneHandle) {
  for (int round = 0; round < 50; ++round) {
    Fixture f(kX86, kX86);
    std::atomic<int> ready{0};
    KeyHandle seen[4] = {};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
      threads.emplace_back([&, i] {
        ready.fetch_add(1);
        while (ready.load() < 4) {
        }
        bool owned = false;
        EXPECT_EQ(f.context->ResolveRoot(kLocalMachine, &seen[i], &owned), RYL_OK);
      });
    }
    for (auto& t : threads) t.join();
    for (KeyHandle h : seen) EXPECT_EQ(h, seen[0]);
    EXPECT_EQ(f.fake.OpenHandles(), 1u) << "the losers' handles are closed";
  }
}

TEST(RegistryNames, LongNamesCostOneMoreQueryWhicheverShortAnswer) {
  for (bool tooSmall : {false, true}) {
    Fixture f(kX86, kX86);
    f.fake.answerTooSmall = tooSmall;
    const std::u16string deep = u"\\REGISTRY\\MACHINE\\SOFTWARE\\" + std::u16string(200, u'k');
    f.fake.AddKey(deep);
    HeldKey key;
    ASSERT_EQ(RegistryKey::HandOut(&key, f.Root(2)), RYL_OK);
    HeldKey sub;
    const std::u16string name = u"SOFTWARE\\" + std::u16string(200, u'k');
    ASSERT_EQ(key.holder.key->OpenSubKey(&sub, reinterpret_cast<const RylChar16*>(name.data()),
                                         static_cast<uint32_t>(name.size()), kKeyRead),
              RYL_OK);
    Output out(2);
    ASSERT_EQ(sub.holder.key->GetName(out.get()), RYL_OK);
    EXPECT_EQ(out.Text(), deep);
  }
}

// What a 64-bit process asks the system for with KEY_WOW64_32KEY.
TEST(RegistryViews, SixtyFourBitProcessOpensThe32BitNodeItself) {
  Fixture f(kX64, kX64);
  f.fake.AddKey(u"\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node\\FOO");
  f.fake.AddKey(u"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes\\Wow6432Node\\Bar");
  const struct {
    const char16_t* subkey;
    const char* wantName;
    bool absolute;
  } rows[] = {
      {u"Software\\Foo", "\\REGISTRY\\MACHINE\\SOFTWARE\\Wow6432Node\\FOO", true},
      {u"Software\\Classes\\Bar", "\\REGISTRY\\MACHINE\\SOFTWARE\\CLASSES\\Wow6432Node\\BAR", true},
      {u"Software\\Wow6432Node\\Foo", "Software\\Wow6432Node\\Foo", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.wantName);
    KeyHandle handle = nullptr;
    const std::u16string subkey(row.subkey);
    ASSERT_EQ(f.context->OpenKey(kLocalMachine, &handle, subkey.data(), static_cast<uint32_t>(subkey.size()), true,
                                 kKeyRead | kView32, nullptr),
              RYL_OK);
    const auto call = LastCall(f.fake);
    EXPECT_EQ(call.name, std::u16string(row.wantName, row.wantName + std::strlen(row.wantName)));
    EXPECT_EQ(call.rootPath.empty(), row.absolute);
    EXPECT_EQ((call.access & kView32) != 0, !row.absolute) << "bit 0x200 cleared only after an insertion";
    f.context->CloseHandle(handle);
  }
  EXPECT_EQ(f.fake.OpenHandles(), 1u) << "only the cached root stays open";
}

TEST(RegistryViews, A32BitProcessLeavesTheViewBitToTheSystem) {
  Fixture f(kX64, kX86);
  f.fake.AddKey(u"\\REGISTRY\\MACHINE\\SOFTWARE\\Foo");
  KeyHandle handle = nullptr;
  const std::u16string subkey = u"Software\\Foo";
  ASSERT_EQ(f.context->OpenKey(kLocalMachine, &handle, subkey.data(), 12, true, kKeyRead | kView32, nullptr), RYL_OK);
  EXPECT_EQ(LastCall(f.fake).name, subkey);
  EXPECT_EQ(LastCall(f.fake).access, kKeyRead | kView32);
  f.context->CloseHandle(handle);
}

TEST(RegistryViews, NodeTranslationUnderTheMachineWhateverItsSpelling) {
  for (const char16_t* machine : {u"MACHINE", u"Machine"}) {
    Fixture f(kX64, kX86, machine);
    f.fake.AddKey(u"\\REGISTRY\\MACHINE\\SOFTWARE\\Foo");
    KeyHandle handle = nullptr;
    const std::u16string subkey = u"SOFTWARE\\Wow6432Node\\Foo";
    ASSERT_EQ(f.context->OpenKey(kLocalMachine, &handle, subkey.data(), static_cast<uint32_t>(subkey.size()), true,
                                 kKeyRead | kView64 | kTranslateWow64Node, nullptr),
              RYL_OK);
    const auto call = LastCall(f.fake);
    EXPECT_EQ(Narrow(call.name), "SOFTWARE\\Foo");
    EXPECT_EQ(testing::Upper(call.rootPath), u"\\REGISTRY\\MACHINE");
    EXPECT_EQ(call.access, kKeyRead | kView32) << "0x100 cleared, 0x200 set";
    f.context->CloseHandle(handle);
    // Without a view flag the translation still asks for the 32-bit view
    // alone, never for both.
    ASSERT_EQ(f.context->OpenKey(kLocalMachine, &handle, subkey.data(), static_cast<uint32_t>(subkey.size()), true,
                                 kKeyRead | kTranslateWow64Node, nullptr),
              RYL_OK);
    EXPECT_EQ(LastCall(f.fake).access, kKeyRead | kView32);
    f.context->CloseHandle(handle);
  }
}

TEST(RegistryViews, NodeTranslationWalksUserPathsOneLevelAtATime) {
  Fixture f(kX64, kX86);
  f.fake.AddKey(u"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1001\\A\\B\\C");
  KeyHandle handle = nullptr;
  const std::u16string subkey = u"A\\B\\C";
  f.fake.ClearCalls();
  ASSERT_EQ(f.context->OpenKey(kCurrentUser, &handle, subkey.data(), 5, true, kKeyRead | kTranslateWow64Node,
                               nullptr),
            RYL_OK);
  const auto calls = f.fake.Calls();
  ASSERT_EQ(calls.size(), 4u);  // the current user, A, B, then C
  EXPECT_EQ(Narrow(calls[1].name), "A");
  EXPECT_EQ(Narrow(calls[2].name), "B");
  EXPECT_EQ(Narrow(calls[3].name), "C");
  EXPECT_EQ(Narrow(calls[3].rootPath), "\\REGISTRY\\USER\\S-1-5-21-1-2-3-1001\\A\\B");
  f.context->CloseHandle(handle);
  EXPECT_EQ(f.fake.OpenHandles(), 0u) << "the walk's handles and the user root are closed";

  // A level that cannot be opened ends the walk with its code, nothing left open.
  const std::u16string missing = u"A\\X\\C";
  EXPECT_EQ(f.context->OpenKey(kCurrentUser, &handle, missing.data(), 5, true, kKeyRead | kTranslateWow64Node,
                               nullptr),
            RYL_E_FILE_NOT_FOUND);
  EXPECT_EQ(f.fake.OpenHandles(), 0u);
}

TEST(RegistryViews, ANameWithAZeroUnitIsCreatedOnlyWhenAskedOnA64BitSystem) {
  const std::u16string name(u"Soft\0ware", 9);
  for (const auto& [system, flags, created] :
       {std::tuple{kX64, kCreateNulName, true}, std::tuple{kX86, kCreateNulName, false},
        std::tuple{kX64, 0u, false}}) {
    Fixture f(system, kX86);
    KeyHandle handle = nullptr;
    const ResultCode result = f.context->OpenKey(kLocalMachine, &handle, name.data(), 9, true, kKeyRead | flags,
                                                 nullptr);
    EXPECT_EQ(result >= 0, created);
    if (result >= 0) f.context->CloseHandle(handle);
  }
}

TEST(ClassesView, OpensPreferTheUserAndCreatesTheMachine) {
  Fixture f(kX86, kX86);
  f.fake.AddKey(u"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes\\OnlyMachine");
  f.fake.AddKey(u"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes\\Both");
  f.fake.AddKey(u"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1001\\SOFTWARE\\Classes\\Both");
  const RegKeyRecord root = f.Root(0);
  for (const auto& [name, side] : {std::pair{u"OnlyMachine", "MACHINE"}, std::pair{u"Both", "USER"}}) {
    KeyHandle handle = nullptr;
    const std::u16string subkey(name);
    ASSERT_EQ(OpenSubKeyOfRecord(root, &handle, subkey.data(), static_cast<uint32_t>(subkey.size()), true, kKeyRead),
              RYL_OK);
    Output out(2);
    KeyText path;
    ASSERT_EQ(f.context->QueryKeyPath(reinterpret_cast<uintptr_t>(handle), &path), RYL_OK);
    EXPECT_NE(Narrow(path).find(side), std::string::npos) << Narrow(path);
    f.context->CloseHandle(handle);
  }
  KeyHandle missing = nullptr;
  const std::u16string none = u"Nowhere";
  EXPECT_EQ(OpenSubKeyOfRecord(root, &missing, none.data(), 7, true, kKeyRead), RYL_E_NOT_FOUND);

  KeyHandle created = nullptr;
  const std::u16string fresh = u"Fresh";
  ASSERT_EQ(CreateSubKeyOfRecord(root, &created, fresh.data(), 5, kKeyAllAccess), RYL_OK);
  f.context->CloseHandle(created);
  EXPECT_TRUE(f.fake.Exists(u"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes\\Fresh"));
  EXPECT_FALSE(f.fake.Exists(u"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1001\\SOFTWARE\\Classes\\Fresh"));

  // When the machine side refuses, the user side takes it.
  f.fake.FailOpen(u"\\REGISTRY\\MACHINE\\SOFTWARE\\CLASSES", static_cast<int32_t>(0xC0000022u));
  ASSERT_EQ(CreateSubKeyOfRecord(root, &created, u"Second", 6, kKeyAllAccess), RYL_OK);
  f.context->CloseHandle(created);
  EXPECT_TRUE(f.fake.Exists(u"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1001\\SOFTWARE\\Classes\\Second"));
  EXPECT_EQ(f.fake.OpenHandles(), 1u);
}

TEST(CreateKeyPath, MakesEveryMissingLevelAndCollapsesDoubledNodes) {
  Fixture f(kX86, kX86);
  f.fake.AddKey(u"\\REGISTRY\\MACHINE\\SOFTWARE\\A");
  const RegKeyRecord machine = f.Root(2);
  KeyHandle handle = nullptr;
  const std::u16string path = u"SOFTWARE\\A\\Wow6432Node\\Wow6432Node\\B\\C";
  ASSERT_EQ(CreateKeyPath(machine, &handle, path.data(), static_cast<uint32_t>(path.size()), kKeyRead), RYL_OK);
  KeyText name;
  ASSERT_EQ(f.context->QueryKeyPath(reinterpret_cast<uintptr_t>(handle), &name), RYL_OK);
  EXPECT_EQ(Narrow(name), "\\REGISTRY\\MACHINE\\SOFTWARE\\A\\Wow6432Node\\B\\C");
  EXPECT_FALSE(f.fake.Exists(u"\\REGISTRY\\MACHINE\\SOFTWARE\\A\\Wow6432Node\\Wow6432Node"));
  f.context->CloseHandle(handle);
  EXPECT_EQ(f.fake.OpenHandles(), 1u) << "every working handle is closed";
}

}  // namespace
}  // namespace ryl::registry
