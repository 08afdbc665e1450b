// Key objects on the in-memory registry, through their interface as a host
// calls them: holders, values of every type, enumeration, deletion and
// watchers.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "async/event_loop.h"
#include "registry/key_enumerators.h"
#include "registry_test_support.h"
#include "sys/bas_thread.h"
#include "sys/posix/wait_object.h"

namespace ryl::registry {
namespace {

using testing::FakeRegistry;
using testing::HeldEnumerator;
using testing::HeldKey;
using testing::Output;
using testing::Utf16Bytes;

const RylChar16* W(const std::u16string& text) { return reinterpret_cast<const RylChar16*>(text.data()); }
uint32_t L(const std::u16string& text) { return static_cast<uint32_t>(text.size()); }

constexpr std::u16string_view kUserClasses = u"\\REGISTRY\\USER\\S-1-5-21-1-2-3-1001\\SOFTWARE\\Classes";
constexpr std::u16string_view kMachineClasses = u"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes";

struct KeyFixture {
  KeyFixture() : context(RegistryContext::Create(&fake, 1, 1)) {
    fake.signal = [](void* event) { sys::posix::SignalWaitObject(static_cast<sys::posix::WaitObject*>(event)); };
    fake.reset = [](void* event) { sys::posix::ResetWaitObject(static_cast<sys::posix::WaitObject*>(event)); };
    fake.AddKey(u"\\REGISTRY\\MACHINE\\SOFTWARE\\Test");
  }
  ~KeyFixture() { context->Release(); }
  // A key object for a root, then the subkey when one is named.
  void Open(HeldKey& out, uint32_t root, const std::u16string& subkey = u"") {
    context->AddRef();
    HeldKey rootKey;
    ASSERT_EQ(RegistryKey::HandOut(&rootKey, RegKeyRecord(context, RootValueOfIndex(root), false, root == 0)), RYL_OK);
    if (subkey.empty()) {
      out.holder = rootKey.holder;
      rootKey.holder = {};
      return;
    }
    ASSERT_EQ(rootKey.holder.key->OpenSubKey(&out, W(subkey), L(subkey), kKeyAllAccess), RYL_OK);
  }
  FakeRegistry fake;
  RegistryContext* context;
};

std::vector<std::u16string> Names(RylKeyEnumerator* enumerator) {
  std::vector<std::u16string> names;
  for (ResultCode r = RYL_OK; r == RYL_OK; r = enumerator->MoveNext()) {
    Output out(2);
    if (enumerator->GetCurrent(out.get()) != RYL_OK) break;
    names.push_back(out.Text());
  }
  return names;
}

TEST(KeyObject, QueryAnswersTheThreeFacesBelowVersionTwo) {
  KeyFixture f;
  HeldKey key;
  f.Open(key, 2, u"SOFTWARE\\Test");
  uint8_t supported = 9;
  RylRegistryKey* k = key.holder.key;
  EXPECT_EQ(k->Query(RYL_TYPE_REGISTRY_KEY, 1, &supported), static_cast<void*>(k));
  EXPECT_EQ(supported, 1);
  auto* hive = static_cast<RylRegistryHive*>(k->Query(RYL_TYPE_REGISTRY_HIVE, 0, &supported));
  ASSERT_NE(hive, nullptr);
  EXPECT_EQ(hive->Query(RYL_TYPE_REGISTRY_KEY, 1, &supported), static_cast<void*>(k));
  EXPECT_NE(k->Query(RYL_TYPE_REGISTRY_WATCH, 1, &supported), nullptr);
  EXPECT_EQ(k->Query(RYL_TYPE_REGISTRY_KEY, 2, &supported), nullptr);
  EXPECT_EQ(supported, 0);
  EXPECT_EQ(k->Query(RYL_TYPE_DISPATCHER, 1, &supported), nullptr);
  EXPECT_EQ(supported, 0);
}

TEST(KeyObject, HoldersAreReplacedOnSuccessAndKeptOnFailure) {
  KeyFixture f;
  HeldKey machine;
  f.Open(machine, 2);
  HeldKey sub;
  ASSERT_EQ(machine.holder.key->OpenSubKey(&sub, W(u"SOFTWARE"), 8, kKeyRead), RYL_OK);
  const RylKeyHolder before = sub.holder;
  EXPECT_EQ(machine.holder.key->OpenSubKey(&sub, W(u"Missing"), 7, kKeyRead), RYL_E_NOT_FOUND);
  EXPECT_EQ(sub.holder.key, before.key);
  EXPECT_EQ(sub.holder.control, before.control);
  // Opening into the holder that holds the key being asked: the old key goes
  // only after the new one is in place.
  ASSERT_EQ(sub.holder.key->OpenSubKey(&sub, W(u"Test"), 4, kKeyRead), RYL_OK);
  Output name(2);
  ASSERT_EQ(sub.holder.key->GetName(name.get()), RYL_OK);
  EXPECT_EQ(name.Text(), u"\\REGISTRY\\MACHINE\\SOFTWARE\\Test");
  RylSharedRelease(&sub.holder.control);
  RylSharedRelease(&machine.holder.control);
  EXPECT_EQ(f.fake.OpenHandles(), 1u) << "only the cached machine root";
}

TEST(KeyValues, EveryTypeRoundTripsByteForByte) {
  KeyFixture f;
  HeldKey key;
  f.Open(key, 2, u"SOFTWARE\\Test");
  std::vector<uint8_t> big(1 << 20);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7 + 3);
  const struct {
    uint32_t type;
    std::u16string name;
    std::vector<uint8_t> data;
  } rows[] = {
      {RYL_REG_NONE, u"none", {}},
      {RYL_REG_SZ, u"sz", Utf16Bytes(u"text", true)},
      {RYL_REG_EXPAND_SZ, u"expand", Utf16Bytes(u"%PATH%", true)},
      {RYL_REG_BINARY, u"binary", {0, 1, 2, 255}},
      {RYL_REG_BINARY, u"empty", {}},
      {RYL_REG_BINARY, u"big", big},
      {RYL_REG_DWORD, u"dword", {1, 2, 3, 4}},
      {RYL_REG_DWORD_BIG_ENDIAN, u"dwordbe", {4, 3, 2, 1}},
      {RYL_REG_LINK, u"link", Utf16Bytes(u"\\REGISTRY\\MACHINE\\X", false)},
      {RYL_REG_MULTI_SZ, u"multi", Utf16Bytes(std::u16string(u"a\0bc\0", 5), true)},
      {RYL_REG_QWORD, u"qword", {1, 2, 3, 4, 5, 6, 7, 8}},
      {RYL_REG_SZ, std::u16string(16383, u'n'), Utf16Bytes(u"long name", true)},
      {RYL_REG_DWORD, u"", {9, 9, 9, 9}},  // the default value
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.name.begin(), row.name.begin() + std::min<size_t>(row.name.size(), 16)));
    ASSERT_EQ(key.holder.key->SetValue(row.type, row.data.data(), static_cast<uint32_t>(row.data.size()), W(row.name),
                                       L(row.name)),
              RYL_OK);
    uint8_t exists = 0;
    ASSERT_EQ(key.holder.key->ValueExists(&exists, W(row.name), L(row.name)), RYL_OK);
    EXPECT_EQ(exists, 1);
    uint32_t type = 0xFFFF;
    Output out(1);
    ASSERT_EQ(key.holder.key->QueryValue(&type, out.get(), W(row.name), L(row.name)), RYL_OK);
    EXPECT_EQ(type, row.type);
    EXPECT_EQ(out.Bytes(), row.data);
  }
  EXPECT_EQ(f.fake.ValueData(u"\\REGISTRY\\MACHINE\\SOFTWARE\\Test", u""), (std::vector<uint8_t>{9, 9, 9, 9}));
  ASSERT_EQ(key.holder.key->DeleteValue(W(u"sz"), 2), RYL_OK);
  uint8_t exists = 1;
  ASSERT_EQ(key.holder.key->ValueExists(&exists, W(u"sz"), 2), RYL_OK);
  EXPECT_EQ(exists, 0) << "absence is false, not an error";
  uint32_t type = 0;
  Output out(1);
  EXPECT_EQ(key.holder.key->QueryValue(&type, out.get(), W(u"sz"), 2), RYL_E_FILE_NOT_FOUND);
  EXPECT_EQ(key.holder.key->DeleteValue(W(u"sz"), 2), RYL_E_FILE_NOT_FOUND);
}

TEST(KeyValues, StringsAreCompletedAsReadersExpect) {
  KeyFixture f;
  HeldKey key;
  f.Open(key, 2, u"SOFTWARE\\Test");
  const struct {
    uint32_t type;
    std::vector<uint8_t> stored;
    std::vector<uint8_t> read;
  } rows[] = {
      {RYL_REG_SZ, {'a', 0, 'b', 0}, {'a', 0, 'b', 0, 0, 0}},
      {RYL_REG_SZ, {'a', 0, 0, 0}, {'a', 0, 0, 0}},
      {RYL_REG_SZ, {'a', 0, 'b'}, {'a', 0, 0, 0}},  // an odd byte is cut, then terminated
      {RYL_REG_SZ, {}, {0, 0}},
      {RYL_REG_EXPAND_SZ, {'%', 0}, {'%', 0, 0, 0}},
      {RYL_REG_MULTI_SZ, {'a', 0}, {'a', 0}},  // shorter than 4 bytes: unchanged
      {RYL_REG_MULTI_SZ, {'a', 0, 'b', 0}, {'a', 0, 'b', 0, 0, 0, 0, 0}},
      {RYL_REG_MULTI_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0}, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}},
      {RYL_REG_MULTI_SZ, {'a', 0, 0, 0, 0, 0}, {'a', 0, 0, 0, 0, 0}},
      {RYL_REG_MULTI_SZ, {'a', 0, 0, 0, 'b', 0}, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}},
      {RYL_REG_BINARY, {'a', 0, 'b', 0}, {'a', 0, 'b', 0}},
  };
  for (const auto& row : rows) {
    f.fake.SetValue(u"\\REGISTRY\\MACHINE\\SOFTWARE\\Test", u"v", row.type, row.stored);
    uint32_t type = 0;
    Output out(1);
    ASSERT_EQ(key.holder.key->QueryValue(&type, out.get(), W(u"v"), 1), RYL_OK);
    EXPECT_EQ(out.Bytes(), row.read) << "type " << row.type << ", " << row.stored.size() << " bytes stored";
  }
}

TEST(KeyValues, ClassesViewReadsTheMachineWhenTheUserSideLacksTheValue) {
  KeyFixture f;
  f.fake.AddKey(std::u16string(kUserClasses) + u"\\.txt");
  f.fake.SetValue(std::u16string(kMachineClasses) + u"\\.txt", u"Content Type", RYL_REG_SZ,
                  Utf16Bytes(u"text/plain", true));
  f.fake.SetValue(std::u16string(kUserClasses) + u"\\.txt", u"Mine", RYL_REG_SZ, Utf16Bytes(u"user", true));
  HeldKey key;
  f.Open(key, 0, u".txt");
  uint8_t exists = 0;
  ASSERT_EQ(key.holder.key->ValueExists(&exists, W(u"Content Type"), 12), RYL_OK);
  EXPECT_EQ(exists, 1);
  uint32_t type = 0;
  Output out(1);
  ASSERT_EQ(key.holder.key->QueryValue(&type, out.get(), W(u"Content Type"), 12), RYL_OK);
  EXPECT_EQ(out.Bytes(), Utf16Bytes(u"text/plain", true));
  ASSERT_EQ(key.holder.key->QueryValue(&type, out.get(), W(u"Mine"), 4), RYL_OK);
  EXPECT_EQ(out.Bytes(), Utf16Bytes(u"user", true));
  ASSERT_EQ(key.holder.key->ValueExists(&exists, W(u"Neither"), 7), RYL_OK);
  EXPECT_EQ(exists, 0);
}

TEST(KeyEnumeration, LiveEnumeratorsStepThroughAndStopCleanly) {
  KeyFixture f;
  for (const char16_t* name : {u"b", u"A", u"c"}) f.fake.AddKey(u"\\REGISTRY\\MACHINE\\SOFTWARE\\Test\\" + std::u16string(name));
  HeldKey key;
  f.Open(key, 2, u"SOFTWARE\\Test");
  HeldEnumerator subkeys;
  ASSERT_EQ(key.holder.key->EnumerateSubKeys(&subkeys), RYL_OK);
  EXPECT_EQ(Names(subkeys.holder.enumerator), (std::vector<std::u16string>{u"A", u"b", u"c"}));
  RylKeyEnumerator* e = subkeys.holder.enumerator;
  EXPECT_EQ(e->MoveNext(), RYL_S_NO_MORE_ITEMS);
  EXPECT_EQ(e->MoveNext(), RYL_S_NO_MORE_ITEMS) << "past the end it stays there";
  Output out(2);
  EXPECT_EQ(e->GetCurrent(out.get()), RYL_E_NO_MORE_ITEMS);
  EXPECT_EQ(e->Reset(), RYL_OK);
  ASSERT_EQ(e->GetCurrent(out.get()), RYL_OK);
  EXPECT_EQ(out.Text(), u"A");

  HeldEnumerator values;
  ASSERT_EQ(key.holder.key->EnumerateValues(&values), RYL_OK) << "an empty key still gives an enumerator";
  EXPECT_EQ(values.holder.enumerator->GetCurrent(out.get()), RYL_E_NO_MORE_ITEMS);

  // The enumerator keeps its key alive after the host let the key go.
  RylSharedRelease(&key.holder.control);
  EXPECT_EQ(e->Reset(), RYL_OK);
}

TEST(KeyEnumeration, TenThousandSubkeys) {
  KeyFixture f;
  for (int i = 0; i < 10000; ++i) {
    std::u16string name = u"k";
    for (char c : std::to_string(100000 + i)) name += static_cast<char16_t>(c);
    f.fake.AddKey(u"\\REGISTRY\\MACHINE\\SOFTWARE\\Test\\" + name);
  }
  HeldKey key;
  f.Open(key, 2, u"SOFTWARE\\Test");
  HeldEnumerator subkeys;
  ASSERT_EQ(key.holder.key->EnumerateSubKeys(&subkeys), RYL_OK);
  const auto names = Names(subkeys.holder.enumerator);
  ASSERT_EQ(names.size(), 10000u);
  EXPECT_EQ(names.front(), u"k100000");
  EXPECT_EQ(names.back(), u"k109999");
}

TEST(KeyEnumeration, ClassesViewMergesBothSidesOnceInByteOrder) {
  KeyFixture f;
  for (const char16_t* name : {u"A", u"user-only", u"\u0101x"}) {
    f.fake.AddKey(std::u16string(kUserClasses) + u"\\" + name);
  }
  for (const char16_t* name : {u"A", u"a", u"machine-only", u"\u0100y"}) {
    f.fake.AddKey(std::u16string(kMachineClasses) + u"\\" + name);
  }
  HeldKey root;
  f.Open(root, 0);
  HeldEnumerator subkeys;
  ASSERT_EQ(root.holder.key->EnumerateSubKeys(&subkeys), RYL_OK);
  // "a" and "A" differ in bytes and are both kept; the fake merges case, so
  // the machine side shows one of them. U+0100 sorts by its low byte (00)
  // before every ASCII name, U+0101 by its low byte (01) after U+0100.
  const auto names = Names(subkeys.holder.enumerator);
  ASSERT_GE(names.size(), 5u);
  EXPECT_EQ(names[0], u"\u0100y");
  EXPECT_EQ(names[1], u"\u0101x");
  EXPECT_EQ(std::count(names.begin(), names.end(), u"A"), 1);
  EXPECT_NE(std::find(names.begin(), names.end(), u"user-only"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), u"machine-only"), names.end());
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), &PrecedesByBytes));
}

TEST(KeyDeletion, SingleRecursiveAndStubbornChildren) {
  KeyFixture f;
  const std::u16string base = u"\\REGISTRY\\MACHINE\\SOFTWARE\\Test";
  f.fake.AddKey(base + u"\\Leaf");
  f.fake.AddKey(base + u"\\Tree\\A\\B\\C");
  f.fake.AddKey(base + u"\\Tree\\D");
  HeldKey key;
  f.Open(key, 2, u"SOFTWARE\\Test");
  EXPECT_EQ(key.holder.key->DeleteSubKey(W(u"Tree"), 4, 0, 0), RYL_E_ACCESS_DENIED)
      << "a key with subkeys does not go without recursion";
  ASSERT_EQ(key.holder.key->DeleteSubKey(W(u"Leaf"), 4, 0, 0), RYL_OK);
  EXPECT_FALSE(f.fake.Exists(base + u"\\Leaf"));

  f.fake.RefuseDeletion(base + u"\\Tree\\A\\B");
  const ResultCode result = key.holder.key->DeleteSubKey(W(u"Tree"), 4, 1, 0);
  EXPECT_LT(result, 0) << "the final delete of Tree fails while B stays";
  EXPECT_FALSE(f.fake.Exists(base + u"\\Tree\\D"));
  EXPECT_FALSE(f.fake.Exists(base + u"\\Tree\\A\\B\\C"));
  EXPECT_TRUE(f.fake.Exists(base + u"\\Tree\\A\\B"));
  EXPECT_EQ(key.holder.key->DeleteSubKey(W(u"Missing"), 7, 1, 0), RYL_E_FILE_NOT_FOUND);
  EXPECT_EQ(f.fake.OpenHandles(), 2u) << "the cached root and the key object's handle";
}

TEST(KeyDeletion, ARecursiveDeleteRemovesLinksWithoutEnteringThem) {
  KeyFixture f;
  const std::u16string base = u"\\REGISTRY\\MACHINE\\SOFTWARE\\Test";
  f.fake.AddKey(u"\\REGISTRY\\MACHINE\\SOFTWARE\\Precious\\Data");
  f.fake.AddLink(base + u"\\Tree\\Link", u"\\REGISTRY\\MACHINE\\SOFTWARE\\Precious");
  HeldKey key;
  f.Open(key, 2, u"SOFTWARE\\Test");
  ASSERT_EQ(key.holder.key->DeleteSubKey(W(u"Tree"), 4, 1, 0), RYL_OK);
  EXPECT_FALSE(f.fake.Exists(base + u"\\Tree"));
  EXPECT_TRUE(f.fake.Exists(u"\\REGISTRY\\MACHINE\\SOFTWARE\\Precious\\Data"));
}

TEST(KeyDeletion, ClassesViewDeletesOnBothSides) {
  KeyFixture f;
  f.fake.AddKey(std::u16string(kUserClasses) + u"\\Both\\Child");
  f.fake.AddKey(std::u16string(kMachineClasses) + u"\\Both");
  f.fake.AddKey(std::u16string(kUserClasses) + u"\\UserOnly");
  HeldKey root;
  f.Open(root, 0);
  ASSERT_EQ(root.holder.key->DeleteSubKey(W(u"Both"), 4, 1, 0), RYL_OK);
  EXPECT_FALSE(f.fake.Exists(std::u16string(kUserClasses) + u"\\Both"));
  EXPECT_FALSE(f.fake.Exists(std::u16string(kMachineClasses) + u"\\Both"));
  ASSERT_EQ(root.holder.key->DeleteSubKey(W(u"UserOnly"), 8, 0, 0), RYL_OK)
      << "absent on the machine side, deleted on the user side";
  EXPECT_FALSE(f.fake.Exists(std::u16string(kUserClasses) + u"\\UserOnly"));
}

TEST(KeyInfo, CountsAndLongestNames) {
  KeyFixture f;
  const std::u16string base = u"\\REGISTRY\\MACHINE\\SOFTWARE\\Test";
  f.fake.AddKey(base + u"\\abc");
  f.fake.AddKey(base + u"\\abcdef");
  f.fake.SetValue(base, u"value", RYL_REG_BINARY, std::vector<uint8_t>(300));
  HeldKey key;
  f.Open(key, 2, u"SOFTWARE\\Test");
  RylRegistryKeyInfo info{};
  ASSERT_EQ(key.holder.key->QueryInfo(&info), RYL_OK);
  EXPECT_EQ(info.subKeyCount, 2u);
  EXPECT_EQ(info.longestSubKeyName, 12u);
  EXPECT_EQ(info.valueCount, 1u);
  EXPECT_EQ(info.longestValueName, 10u);
  EXPECT_EQ(info.longestValueData, 300u);
  EXPECT_NE(info.lastWriteTime, 0u);
}

// A watcher's waitable, run on an event loop while another thread changes
// the key.
TEST(KeyWatcher, ReportsAChangeThroughTheEventLoopAndClosesCleanly) {
  KeyFixture f;
  HeldKey key;
  f.Open(key, 2, u"SOFTWARE\\Test");
  auto* watch = static_cast<RylRegistryWatch*>(key.holder.key->Query(RYL_TYPE_REGISTRY_WATCH, 1, nullptr));
  ASSERT_NE(watch, nullptr);
  void* object = nullptr;
  const RylReceiverCallbacks store{1, [](void* o, void* c) -> ResultCode {
                                     *static_cast<void**>(c) = o;
                                     return RYL_OK;
                                   }};
  const ObjectReceiver receiver{&store, &object, 1, {}};
  ASSERT_EQ(watch->CreateWatcher(&receiver, 1), RYL_OK);
  auto* watcher = static_cast<RylRegistryWatcher*>(object);
  ASSERT_NE(watcher, nullptr);

  async::EventLoop loop;
  int changes = 0;
  struct Handler final : RylWaitHandler {
    int* changes;
    RylRegistryWatcher* watcher;
    void RYL_THISCALL OnSignalled(RylWaitable* w, RylEventLoop* l) override {
      ++*changes;
      l->RemoveWait(w, this);
    }
  } handler;
  handler.changes = &changes;
  handler.watcher = watcher;
  ASSERT_EQ(loop.AddWait(watcher->GetWaitable(), &handler), RYL_OK);
  std::atomic<bool> written{false};
  bool changedBeforeWrite = true;
  struct Watch final : RylWaitHandler {
    std::atomic<bool>* written;
    bool* early;
    int* changes;
    void RYL_THISCALL OnSignalled(RylWaitable* w, RylEventLoop* l) override {
      *early = !written->load();
      ++*changes;
      l->RemoveWait(w, this);
    }
  } watchHandler;
  watchHandler.written = &written;
  watchHandler.early = &changedBeforeWrite;
  watchHandler.changes = &changes;
  loop.RemoveWait(watcher->GetWaitable(), &handler);
  ASSERT_EQ(loop.AddWait(watcher->GetWaitable(), &watchHandler), RYL_OK);
  std::thread writer([&] {
    sys::RylBasThread::Sleep(20);
    written = true;
    f.fake.SetValue(u"\\REGISTRY\\MACHINE\\SOFTWARE\\Test\\Deep", u"x", RYL_REG_DWORD, {1, 0, 0, 0});
  });
  EXPECT_EQ(loop.Run(), RYL_OK);
  writer.join();
  EXPECT_EQ(changes, 1);
  EXPECT_FALSE(changedBeforeWrite) << "the armed watcher waited for the change";
  ASSERT_EQ(watcher->Rearm(), RYL_OK);
  watcher->Destroy();  // the pending notification ends with the handle
  EXPECT_EQ(f.fake.OpenHandles(), 2u);

  ObjectReceiver tooNew{&store, &object, 2, {}};
  EXPECT_EQ(watch->CreateWatcher(&tooNew, 0), RYL_E_UNSUPPORTED_VERSION);
}

}  // namespace
}  // namespace ryl::registry
