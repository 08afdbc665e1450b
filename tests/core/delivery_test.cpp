// The creation-and-delivery protocol with a plain object of the test's own,
// since every factory operation goes through it.
#include "core/delivery.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <new>
#include <vector>

#include "support/default_heap.h"
#include "support/result_matchers.h"

namespace ryl::core {
namespace {

int g_constructed = 0;
int g_destructed = 0;

struct PlainObject {
  static constexpr uint32_t kHighestVersion = 1;
  PlainObject() noexcept { ++g_constructed; }
  ~PlainObject() { ++g_destructed; }
  void* DeliveredInterface() noexcept { return &table; }
  void* table = nullptr;
  char payload[64] = {};
};

struct Host {
  std::vector<void*> allocated;
  std::vector<void*> freed;
  ResultCode allocateResult = RYL_OK;
  ResultCode deliverResult = RYL_OK;
  int deliveries = 0;
  void* delivered = nullptr;

  static ResultCode RYL_CDECL Allocate(void** out, uint32_t size, void* context) {
    auto* host = static_cast<Host*>(context);
    if (host->allocateResult < 0) return host->allocateResult;
    *out = HeapAlloc(GetProcessHeap(), 0, size);
    host->allocated.push_back(*out);
    return RYL_OK;
  }
  static void RYL_CDECL Free(void* p, void* context) {
    static_cast<Host*>(context)->freed.push_back(p);
    HeapFree(GetProcessHeap(), 0, p);
  }
  static ResultCode RYL_CDECL Deliver(void* object, void* context) {
    auto* host = static_cast<Host*>(context);
    ++host->deliveries;
    if (host->deliverResult < 0) return host->deliverResult;
    host->delivered = object;
    return RYL_OK;
  }
};

const RylReceiverCallbacks kDeliver = {1, &Host::Deliver};
const RylAllocatorCallbacks kAllocator = {1, &Host::Free, &Host::Allocate};

class DeliveryTest : public ::testing::Test {
 protected:
  void SetUp() override { g_constructed = g_destructed = 0; }
  ObjectReceiver Receiver(uint32_t version, bool withAllocator = true) {
    return ObjectReceiver{&kDeliver, &host_, version,
                          {withAllocator ? &kAllocator : nullptr, withAllocator ? &host_ : nullptr}};
  }
  static ResultCode Succeed(PlainObject&) { return RYL_OK; }
  Host host_;
};

TEST_F(DeliveryTest, VersionAboveHighestIsRefusedBeforeAnyAllocation) {
  const ObjectReceiver receiver = Receiver(2);
  EXPECT_CODE(CreateAndDeliver<PlainObject>(&receiver, Placement::kReceiverAllocator, Succeed),
              RYL_E_UNSUPPORTED_VERSION);
  EXPECT_TRUE(host_.allocated.empty());
  EXPECT_EQ(host_.deliveries, 0);
  EXPECT_EQ(g_constructed, 0);
}

TEST_F(DeliveryTest, SuccessHandsTheHostTheInterfaceAllocatedThroughItsAllocator) {
  const ObjectReceiver receiver = Receiver(1);
  ASSERT_CODE(CreateAndDeliver<PlainObject>(&receiver, Placement::kReceiverAllocator, Succeed), RYL_OK);
  ASSERT_EQ(host_.allocated.size(), 1u);
  EXPECT_EQ(host_.delivered, &static_cast<PlainObject*>(host_.allocated[0])->table);
  EXPECT_TRUE(host_.freed.empty());
  // The host destroys it with the same allocator.
  DestroyPlainObject(static_cast<PlainObject*>(host_.allocated[0]), &receiver.allocator);
  EXPECT_EQ(host_.freed, host_.allocated);
  EXPECT_EQ(g_destructed, 1);
}

TEST_F(DeliveryTest, FailingDeliverIsReturnedUnchangedAfterOneAllocateAndOneFree) {
  host_.deliverResult = RYL_E_INVALID_ARG;
  const ObjectReceiver receiver = Receiver(1);
  EXPECT_CODE(CreateAndDeliver<PlainObject>(&receiver, Placement::kReceiverAllocator, Succeed), RYL_E_INVALID_ARG);
  ASSERT_EQ(host_.allocated.size(), 1u);
  ASSERT_EQ(host_.freed.size(), 1u);
  EXPECT_EQ(host_.allocated[0], host_.freed[0]);
  EXPECT_EQ(g_constructed, 1);
  EXPECT_EQ(g_destructed, 1);
}

TEST_F(DeliveryTest, FailingAllocateIsReturnedUnchangedAndDeliverNeverCalled) {
  host_.allocateResult = RYL_E_BUFFER_TOO_SMALL;
  const ObjectReceiver receiver = Receiver(1);
  EXPECT_CODE(CreateAndDeliver<PlainObject>(&receiver, Placement::kReceiverAllocator, Succeed),
              RYL_E_BUFFER_TOO_SMALL);
  EXPECT_EQ(host_.deliveries, 0);
  EXPECT_EQ(g_constructed, 0);
  EXPECT_TRUE(host_.freed.empty());
}

TEST_F(DeliveryTest, FailingInitialisationDestroysThroughTheSameAllocator) {
  const ObjectReceiver receiver = Receiver(1);
  EXPECT_CODE(CreateAndDeliver<PlainObject>(&receiver, Placement::kReceiverAllocator,
                                            [](PlainObject&) { return RYL_E_BAD_FORMAT; }),
              RYL_E_BAD_FORMAT);
  EXPECT_EQ(host_.deliveries, 0);
  ASSERT_EQ(host_.freed.size(), 1u);
  EXPECT_EQ(host_.freed[0], host_.allocated[0]);
  EXPECT_EQ(g_destructed, 1);
}

TEST_F(DeliveryTest, InitialisationThatThrowsBecomesOutOfMemoryAndFreesTheObject) {
  const ObjectReceiver receiver = Receiver(1);
  EXPECT_CODE(CreateAndDeliver<PlainObject>(&receiver, Placement::kReceiverAllocator,
                                            [](PlainObject&) -> ResultCode { throw std::bad_alloc(); }),
              RYL_E_OUT_OF_MEMORY);
  EXPECT_EQ(host_.freed.size(), 1u);
  EXPECT_EQ(g_destructed, 1);
}

TEST_F(DeliveryTest, DefaultHeapObjectsIgnoreTheReceiverAllocatorAndLiveOnTheProcessHeap) {
  const ObjectReceiver receiver = Receiver(1);
  ASSERT_CODE(CreateAndDeliver<PlainObject>(&receiver, Placement::kDefaultHeap, Succeed), RYL_OK);
  EXPECT_TRUE(host_.allocated.empty());
  auto* object = reinterpret_cast<PlainObject*>(static_cast<char*>(host_.delivered) - offsetof(PlainObject, table));
  EXPECT_GE(HeapSize(GetProcessHeap(), 0, object), sizeof(PlainObject));
  DestroyPlainObject(object, &test::kDefaultHeap);
  EXPECT_TRUE(host_.freed.empty());
  EXPECT_EQ(g_destructed, 1);
}

TEST_F(DeliveryTest, NullAllocatorTableMeansTheDefaultHeap) {
  const ObjectReceiver receiver = Receiver(1, /*withAllocator=*/false);
  ASSERT_CODE(CreateAndDeliver<PlainObject>(&receiver, Placement::kReceiverAllocator, Succeed), RYL_OK);
  auto* object = reinterpret_cast<PlainObject*>(static_cast<char*>(host_.delivered) - offsetof(PlainObject, table));
  EXPECT_GE(HeapSize(GetProcessHeap(), 0, object), sizeof(PlainObject));
  DestroyPlainObject(object, &receiver.allocator);
}

TEST_F(DeliveryTest, EmbeddedDeliveryRefusesTooHighAVersionAsInvalidArgument) {
  int embedded = 0;
  ObjectReceiver receiver = Receiver(4);
  EXPECT_CODE(DeliverEmbedded(&receiver, &embedded, 3), RYL_E_INVALID_ARG);
  EXPECT_EQ(host_.deliveries, 0);
  receiver.requestedVersion = 3;
  EXPECT_CODE(DeliverEmbedded(&receiver, &embedded, 3), RYL_OK);
  EXPECT_EQ(host_.delivered, &embedded);
}

TEST_F(DeliveryTest, CountedDeliveryGivesTheReferenceBackWhenRefused) {
  host_.deliverResult = RYL_E_ACCESS_DENIED;
  const ObjectReceiver receiver = Receiver(1);
  int releases = 0;
  int object = 0;
  EXPECT_CODE(DeliverCounted(&receiver, &object, [&] { ++releases; }), RYL_E_ACCESS_DENIED);
  EXPECT_EQ(releases, 1);
  host_.deliverResult = RYL_OK;
  EXPECT_CODE(DeliverCounted(&receiver, &object, [&] { ++releases; }), RYL_OK);
  EXPECT_EQ(releases, 1);
}

TEST_F(DeliveryTest, MissingReceiverTableIsAnInvalidArgument) {
  ObjectReceiver receiver = Receiver(1);
  receiver.callbacks = nullptr;
  EXPECT_CODE(CreateAndDeliver<PlainObject>(&receiver, Placement::kReceiverAllocator, Succeed), RYL_E_INVALID_ARG);
  EXPECT_CODE(CreateAndDeliver<PlainObject>(nullptr, Placement::kReceiverAllocator, Succeed), RYL_E_INVALID_ARG);
  EXPECT_TRUE(host_.allocated.empty());
}

}  // namespace
}  // namespace ryl::core
