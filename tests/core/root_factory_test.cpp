// The root as a host sees it through the DLL's exports.
#include <gtest/gtest.h>

#include <cstring>

#include "support/dll_host.h"
#include "support/result_matchers.h"

namespace ryl::test {
namespace {

RylInterfaceId Versioned(uint8_t b12, uint8_t b13, uint8_t b14, uint8_t b15) {
  RylInterfaceId id = kRylRootInterfaceId;
  id.bytes[12] = b12;
  id.bytes[13] = b13;
  id.bytes[14] = b14;
  id.bytes[15] = b15;
  return id;
}

constexpr RylInterfaceId kFixedId = {
    {0x89, 0x1B, 0xBB, 0x00, 0x97, 0xDC, 0x41, 0x9F, 0x96, 0x71, 0xA2, 0x12, 0x33, 0x37, 0xDE, 0x83}};

class RootFactoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dll_.loaded());
    ASSERT_CODE(dll_.Init(), RYL_OK);
  }
  void TearDown() override { EXPECT_CODE(dll_.Finish(), RYL_OK); }

  RootFactory* Acquire() {
    void* object = nullptr;
    EXPECT_CODE(dll_.GetObject(kRylRootInterfaceId, &object), RYL_OK);
    return static_cast<RootFactory*>(object);
  }

  DllHost dll_;
};

TEST_F(RootFactoryTest, GetRylObject_AcceptsVersionsUpToTenOnly) {
  for (uint8_t version = 0; version <= 10; ++version) {
    void* object = nullptr;
    ASSERT_CODE(dll_.GetObject(Versioned(0, 0, 0, version), &object), RYL_OK);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(static_cast<RootFactory*>(object)->Release(), 0u);
  }
  void* untouched = reinterpret_cast<void*>(0xDEADBEEF);
  EXPECT_CODE(dll_.GetObject(Versioned(0, 0, 0, 0x0B), &untouched), RYL_E_UNSUPPORTED_VERSION);
  EXPECT_CODE(dll_.GetObject(Versioned(0x0A, 0, 0, 0), &untouched), RYL_E_UNSUPPORTED_VERSION);
  EXPECT_CODE(dll_.GetObject(Versioned(0, 0, 1, 0), &untouched), RYL_E_UNSUPPORTED_VERSION);
  EXPECT_CODE(dll_.GetObject(Versioned(0xFF, 0xFF, 0xFF, 0xFF), &untouched), RYL_E_UNSUPPORTED_VERSION);
  EXPECT_EQ(untouched, reinterpret_cast<void*>(0xDEADBEEF));
}

TEST_F(RootFactoryTest, GetRylObject_FixedFormMustMatchEveryByte) {
  void* object = nullptr;
  ASSERT_CODE(dll_.GetObject(kFixedId, &object), RYL_OK);
  EXPECT_EQ(static_cast<RootFactory*>(object)->Release(), 0u);
  for (int i = 0; i < 16; ++i) {
    for (uint8_t flip : {0x01, 0x80}) {
      RylInterfaceId id = kFixedId;
      id.bytes[i] ^= flip;
      void* untouched = reinterpret_cast<void*>(0xDEADBEEF);
      EXPECT_CODE(dll_.GetObject(id, &untouched), RYL_E_UNSUPPORTED_VERSION) << "byte " << i;
      EXPECT_EQ(untouched, reinterpret_cast<void*>(0xDEADBEEF));
    }
  }
}

TEST_F(RootFactoryTest, GetRylObject_NullOutPointerIsRefusedWithoutLeakingAReference) {
  EXPECT_CODE(dll_.GetObject(kRylRootInterfaceId, nullptr), RYL_E_INVALID_ARG);
  // Had a reference been taken, this release would not be the destroying one.
  RootFactory* root = Acquire();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->Release(), 0u);
}

TEST_F(RootFactoryTest, TwoRequestsShareOneRootAndTheLastReleaseDestroysIt) {
  RootFactory* first = Acquire();
  RootFactory* second = Acquire();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  EXPECT_EQ(first->AddRef(), 2u);
  EXPECT_EQ(first->Release(), 1u);
  EXPECT_EQ(first->Release(), 1u);
  EXPECT_EQ(second->Release(), 0u);

  RootFactory* third = Acquire();
  ASSERT_NE(third, nullptr);
  uint32_t highest = 0;
  EXPECT_EQ(third->Query(RYL_TYPE_ROOT_FACTORY, 11, &highest), third);
  EXPECT_EQ(third->Release(), 0u);
}

TEST_F(RootFactoryTest, AddRefAlwaysReportsTwo) {
  RootFactory* root = Acquire();
  ASSERT_NE(root, nullptr);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(root->AddRef(), 2u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(root->Release(), 1u);
  EXPECT_EQ(root->Release(), 0u);
}

TEST_F(RootFactoryTest, Query_AnswersOnlyTypeOneUpToVersionEleven) {
  RootFactory* root = Acquire();
  ASSERT_NE(root, nullptr);
  uint32_t highest = 0xDEADBEEF;
  EXPECT_EQ(root->Query(1, 11, &highest), root);
  EXPECT_EQ(highest, 11u);
  highest = 0xDEADBEEF;
  EXPECT_EQ(root->Query(1, 12, &highest), nullptr);
  EXPECT_EQ(highest, 11u);
  for (uint32_t type : {0u, 2u, 3u, 6u, 44u, 0xFFFFFFFFu}) {
    highest = 0xDEADBEEF;
    EXPECT_EQ(root->Query(type, 1, &highest), nullptr) << type;
    EXPECT_EQ(highest, 0u) << type;
  }
  EXPECT_EQ(root->Query(1, 0, nullptr), root);
  EXPECT_EQ(root->Query(3, 0, nullptr), nullptr);
  // A query takes no reference: one release still destroys the root.
  EXPECT_EQ(root->Release(), 0u);
}

TEST_F(RootFactoryTest, EmbeddedServices_CheckTheirVersionsAndAnswerOnlyThemselves) {
  RootFactory* root = Acquire();
  ASSERT_NE(root, nullptr);

  StoringReceiver fsReceiver(3);
  ASSERT_CODE(root->GetFileSystemService(&fsReceiver.record), RYL_OK);
  auto* fs = static_cast<FileSystemService*>(fsReceiver.object);
  EXPECT_EQ(reinterpret_cast<char*>(fs), reinterpret_cast<char*>(root) + 4);
  StoringReceiver fsTooNew(4);
  EXPECT_CODE(root->GetFileSystemService(&fsTooNew.record), RYL_E_INVALID_ARG);
  EXPECT_EQ(fsTooNew.deliveries, 0);

  StoringReceiver stringReceiver(2);
  ASSERT_CODE(root->GetStringService(&stringReceiver.record), RYL_OK);
  auto* strings = static_cast<StringService*>(stringReceiver.object);
  EXPECT_EQ(reinterpret_cast<char*>(strings), reinterpret_cast<char*>(root) + 8);
  StoringReceiver stringTooNew(3);
  EXPECT_CODE(root->GetStringService(&stringTooNew.record), RYL_E_INVALID_ARG);
  EXPECT_EQ(stringTooNew.deliveries, 0);

  uint32_t highest = 0;
  EXPECT_EQ(fs->Query(3, 3, &highest), fs);
  EXPECT_EQ(highest, 3u);
  EXPECT_EQ(fs->Query(3, 4, &highest), nullptr);
  EXPECT_EQ(fs->Query(6, 1, &highest), nullptr);
  EXPECT_EQ(highest, 0u);
  EXPECT_EQ(fs->Query(1, 1, &highest), nullptr);
  EXPECT_EQ(strings->Query(6, 2, &highest), strings);
  EXPECT_EQ(highest, 2u);
  EXPECT_EQ(strings->Query(6, 3, &highest), nullptr);
  EXPECT_EQ(strings->Query(3, 1, &highest), nullptr);
  EXPECT_EQ(highest, 0u);

  // Handing out the services took no reference.
  EXPECT_EQ(root->Release(), 0u);
}

TEST_F(RootFactoryTest, EmbeddedService_FailingDeliverIsReturnedUnchanged) {
  RootFactory* root = Acquire();
  ASSERT_NE(root, nullptr);
  StoringReceiver receiver(1);
  receiver.deliverResult = RYL_E_BUFFER_TOO_SMALL;
  EXPECT_CODE(root->GetStringService(&receiver.record), RYL_E_BUFFER_TOO_SMALL);
  EXPECT_EQ(receiver.deliveries, 1);
  EXPECT_EQ(root->Release(), 0u);
}

struct CountingAllocator {
  int allocations = 0;
  int frees = 0;
  static ResultCode RYL_CDECL Allocate(void** out, uint32_t size, void* context) {
    ++static_cast<CountingAllocator*>(context)->allocations;
    *out = HeapAlloc(GetProcessHeap(), 0, size);
    return *out ? RYL_OK : RYL_E_OUT_OF_MEMORY;
  }
  static void RYL_CDECL Free(void* p, void* context) {
    ++static_cast<CountingAllocator*>(context)->frees;
    HeapFree(GetProcessHeap(), 0, p);
  }
};
const RylAllocatorCallbacks kCountingAllocator = {1, &CountingAllocator::Free, &CountingAllocator::Allocate};

TEST_F(RootFactoryTest, CreatedObjects_RefuseVersionTwoBeforeAllocating) {
  RootFactory* root = Acquire();
  ASSERT_NE(root, nullptr);
  CountingAllocator allocator;
  StoringReceiver receiver(2, &kCountingAllocator, &allocator);
  const uint8_t key[8] = {};
  EXPECT_CODE(root->CreateArchiveFactory(&receiver.record), RYL_E_UNSUPPORTED_VERSION);
  EXPECT_CODE(root->CreateBlowfishEncryptor(&receiver.record, key, sizeof key), RYL_E_UNSUPPORTED_VERSION);
  EXPECT_CODE(root->CreateZipStreamWriter(&receiver.record), RYL_E_UNSUPPORTED_VERSION);
  EXPECT_CODE(root->CreateDispatcher(&receiver.record), RYL_E_UNSUPPORTED_VERSION);
  EXPECT_EQ(allocator.allocations, 0);
  EXPECT_EQ(allocator.frees, 0);
  EXPECT_EQ(receiver.deliveries, 0);
  EXPECT_EQ(root->Release(), 0u);
}

TEST(ResultCodeSign, WarningsFailAndInformationalCodesSucceed) {
  EXPECT_TRUE(RylFailed(RYL_W_SIGNATURE_MISMATCH));
  EXPECT_TRUE(RylFailed(RYL_W_TIMEOUT));
  EXPECT_TRUE(RylSucceeded(RYL_S_NO_MORE_ITEMS));
  EXPECT_TRUE(RylSucceeded(RYL_S_END_OF_DATA));
  EXPECT_TRUE(RylFailed(RYL_E_OUT_OF_MEMORY));
  EXPECT_STREQ(RylResultName(RYL_E_WRONG_PASSWORD), "RYL_E_WRONG_PASSWORD");
  EXPECT_EQ(RylResultName(static_cast<ResultCode>(0xE00704D2u)), nullptr);
}

}  // namespace
}  // namespace ryl::test
