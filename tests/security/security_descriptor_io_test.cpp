// Reading and writing the descriptors of real files and registry keys under
// the system (Wine in CI), storing them in streams, and the failure paths of
// opening for security.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "core/object_ptr.h"
#include "descriptor_builder.h"
#include "security/open_for_security.h"
#include "security/security_descriptor_io.h"
#include "security_fixtures.h"
#include "streams/memory_stream.h"
#include "support/result_matchers.h"
#include "sys/current_transaction.h"
#include "sys/win_security.h"
#include "sys/win_security_descriptor.h"

namespace ryl::security {
namespace {

using sys::RylWinSecurityDescriptor;
using test::Bytes;
using test::DescriptorParts;

core::ObjectPtr<RylWinSecurityDescriptor> NewObject() {
  return core::ObjectPtr<RylWinSecurityDescriptor>(core::MakeObject<RylWinSecurityDescriptor>());
}

Bytes HeldDescriptor(RylWinSecurityDescriptor& object) {
  const void* descriptor = nullptr;
  uint32_t length = 0;
  if (object.SelfRelative(&descriptor, &length) < 0) return Bytes();
  const auto* bytes = static_cast<const uint8_t*>(descriptor);
  return Bytes(bytes, bytes + length);
}

Bytes DaclOf(const Bytes& sd) {
  const uint32_t offset = test::Get32(sd.data() + 16);
  if (offset == 0) return Bytes();
  return Bytes(sd.begin() + offset, sd.begin() + offset + test::Get16(sd.data() + offset + 2));
}

// Any security object a host might pass: records what slot 7 receives and
// hands out a descriptor of the test's choosing.
class RecordingSecurityObject final : public RylSecurityObject {
 public:
  ResultCode RYL_THISCALL Clone(RylSecurityObject**) override { return RYL_E_NOT_IMPLEMENTED; }
  void RYL_THISCALL Destroy() override {}
  void RYL_THISCALL DestroyThrough(RylSecurityObject**) override {}
  ResultCode RYL_THISCALL Reserved3() override { return RYL_OK; }
  void RYL_THISCALL Reserved4() override {}
  const void* RYL_THISCALL GetSecurityDescriptor() override {
    return descriptor.empty() ? nullptr : descriptor.data();
  }
  uint32_t RYL_THISCALL GetPartsPresent() override { return parts; }
  ResultCode RYL_THISCALL SetFromSelfRelative(const void* sd, uint32_t selected) override {
    ++calls;
    receivedParts = selected;
    if (answer < 0) return answer;
    return received.SetFromSelfRelative(sd, selected);
  }
  ResultCode RYL_THISCALL WriteToStream(SeekableStream*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL ReadFromStream(SeekableStream*) override { return RYL_E_NOT_IMPLEMENTED; }

  Bytes descriptor;
  uint32_t parts = 0;
  int calls = 0;
  uint32_t receivedParts = 0xDEADBEEF;
  ResultCode answer = RYL_OK;
  RylWinSecurityDescriptor received;
};

// Owner Administrators, group Users, a protected list granting
// Administrators everything and Everyone reading.
Bytes KeyDescriptor(uint32_t extraEntries = 0) {
  DescriptorParts parts;
  parts.owner = test::Administrators();
  parts.group = test::Users();
  Bytes acl(8, 0);
  acl[0] = 2;
  std::vector<Bytes> aces = {test::MakeAce(test::kAllowed, 0, KEY_ALL_ACCESS | DELETE | WRITE_DAC | WRITE_OWNER,
                                           test::Administrators()),
                             test::MakeAce(test::kAllowed, 0, KEY_READ, test::Everyone())};
  for (uint32_t i = 0; i < extraEntries; ++i) {
    aces.push_back(test::MakeAce(test::kAllowed, 0, KEY_QUERY_VALUE, test::MakeSid(5, {21, 7, 8, 9, 2000 + i})));
  }
  for (const Bytes& ace : aces) acl.insert(acl.end(), ace.begin(), ace.end());
  test::Put16(acl, 2, static_cast<uint16_t>(acl.size()));
  test::Put16(acl, 4, static_cast<uint16_t>(aces.size()));
  parts.dacl = acl;
  parts.extraControl = test::kDaclProtected;
  return test::MakeSelfRelative(parts);
}

class SecurityOnFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(directory_.ok());
    file_ = directory_.MakeFile(u"subject.txt");
    ASSERT_FALSE(file_.empty());
  }
  test::TempDirectory directory_;
  std::u16string file_;
};

TEST_F(SecurityOnFiles, DescriptorReadFromAFileSurvivesAStreamUnchanged) {
  auto read = NewObject();
  ASSERT_CODE(ReadSecurityDescriptor(test::FileObject(file_), 0x07, read.get()), RYL_OK);
  EXPECT_EQ(read->GetPartsPresent(), 0x07u);

  core::ObjectPtr<streams::MemoryStream> stream(core::MakeObject<streams::MemoryStream>());
  ASSERT_CODE(read->WriteToStream(stream.get()), RYL_OK);
  ASSERT_CODE(stream->Seek(0, RYL_SEEK_BEGIN), RYL_OK);
  auto restored = NewObject();
  ASSERT_CODE(restored->ReadFromStream(stream.get()), RYL_OK);
  EXPECT_EQ(restored->GetPartsPresent(), read->GetPartsPresent());
  EXPECT_EQ(HeldDescriptor(*restored), HeldDescriptor(*read));
}

// Wine keeps a file's discretionary list only as far as the Unix mode can
// express it, and ignores owner and group; the list is what is compared.
TEST_F(SecurityOnFiles, WrittenDiscretionaryListIsWhatTheFileKeeps) {
  const auto file = test::FileObject(file_);
  auto original = NewObject();
  ASSERT_CODE(ReadSecurityDescriptor(file, RYL_SECURITY_DACL, original.get()), RYL_OK);
  const Bytes originalDacl = DaclOf(HeldDescriptor(*original));
  ASSERT_FALSE(originalDacl.empty());

  // Everyone may now write.
  constexpr uint32_t kWriteData = FILE_WRITE_DATA;
  Bytes widened = originalDacl;
  const Bytes ace = test::MakeAce(test::kAllowed, 0, FILE_GENERIC_READ | FILE_GENERIC_WRITE, test::Everyone());
  widened.insert(widened.end(), ace.begin(), ace.end());
  test::Put16(widened, 2, static_cast<uint16_t>(widened.size()));
  test::Put16(widened, 4, static_cast<uint16_t>(test::Get16(widened.data() + 4) + 1));
  DescriptorParts parts;
  parts.dacl = widened;
  const Bytes widenedSd = test::MakeSelfRelative(parts);
  auto change = NewObject();
  ASSERT_CODE(change->SetFromSelfRelative(widenedSd.data(), RYL_SECURITY_DACL), RYL_OK);
  ASSERT_CODE(WriteSecurityDescriptor(change.get(), file), RYL_OK);

  auto after = NewObject();
  ASSERT_CODE(ReadSecurityDescriptor(file, RYL_SECURITY_DACL, after.get()), RYL_OK);
  const Bytes afterDacl = DaclOf(HeldDescriptor(*after));
  bool everyoneWrites = false;
  for (size_t at = 8, i = 0; i < test::Get16(afterDacl.data() + 4); ++i) {
    const uint8_t* entry = afterDacl.data() + at;
    const Bytes sid(entry + 8, entry + test::Get16(entry + 2));
    if (entry[0] == test::kAllowed && sid == test::Everyone() && (test::Get32(entry + 4) & kWriteData) != 0) {
      everyoneWrites = true;
    }
    at += test::Get16(entry + 2);
  }
  EXPECT_TRUE(everyoneWrites);

  // Writing back what was read restores exactly that.
  ASSERT_CODE(WriteSecurityDescriptor(original.get(), file), RYL_OK);
  auto restored = NewObject();
  ASSERT_CODE(ReadSecurityDescriptor(file, RYL_SECURITY_DACL, restored.get()), RYL_OK);
  EXPECT_EQ(DaclOf(HeldDescriptor(*restored)), originalDacl);
}

TEST_F(SecurityOnFiles, FilesOnThisVolumeKeepAccessLists) {
  bool supported = false;
  ASSERT_CODE(sys::RylWinSecurity::IsACLSupportedOnObject(test::FileObject(file_), &supported), RYL_OK);
  EXPECT_TRUE(supported);
  bool untouched = true;
  EXPECT_CODE(sys::RylWinSecurity::IsACLSupportedOnObject(test::FileObject(directory_.PathOf(u"none")), &untouched),
              RYL_E_FILE_NOT_FOUND);
  EXPECT_CODE(sys::RylWinSecurity::IsACLSupportedOnObject(sys::RylWinObject{7, file_.c_str(), nullptr}, &untouched),
              RYL_E_UNSUPPORTED_VERSION);
  EXPECT_TRUE(untouched);
}

TEST(SecurityOnVolumes, WritingWhereTheFileSystemKeepsNoAccessListsChangesNothing) {
  // Only a volume's root is touched, and only to ask what its file system
  // can keep: the write is refused before anything is opened for writing.
  const DWORD drives = GetLogicalDrives();
  for (char16_t letter = u'A'; letter <= u'Z'; ++letter) {
    if ((drives & (1u << (letter - u'A'))) == 0) continue;
    const std::u16string root = std::u16string(1, letter) + u":\\";
    bool supported = true;
    if (sys::RylWinSecurity::IsACLSupportedOnObject(test::FileObject(root), &supported) < 0 || supported) continue;
    auto object = NewObject();
    const Bytes full = test::FullDescriptor();
    ASSERT_CODE(object->SetFromSelfRelative(full.data(), 0x07), RYL_OK);
    EXPECT_CODE(WriteSecurityDescriptor(object.get(), test::FileObject(root)), kAccessListsNotSupported);
    return;
  }
  GTEST_SKIP() << "Wine reports FILE_PERSISTENT_ACLS for every volume (tmpfs included): no file system without "
                  "access lists is reachable";
}

class SecurityOnKeys : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(key_.ok()); }
  test::TestKey key_;
};

TEST_F(SecurityOnKeys, OwnerGroupAndListWrittenAreReadBackByteForByte) {
  for (uint32_t extraEntries : {0u, 40u}) {  // 40 entries take the query past its first buffer
    const Bytes desired = KeyDescriptor(extraEntries);
    auto written = NewObject();
    ASSERT_CODE(written->SetFromSelfRelative(desired.data(), 0x07), RYL_OK);
    ASSERT_CODE(WriteSecurityDescriptor(written.get(), test::KeyObject(key_.nativePath())), RYL_OK);

    auto read = NewObject();
    ASSERT_CODE(ReadSecurityDescriptor(test::KeyObject(key_.nativePath()), 0x07, read.get()), RYL_OK);
    EXPECT_EQ(read->GetPartsPresent(), 0x07u);
    EXPECT_EQ(HeldDescriptor(*read), HeldDescriptor(*written)) << extraEntries;
  }
}

// Opening for the system list needs the security privilege enabled, as
// Windows demands of every caller.
bool EnableSecurityPrivilege() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  bool enabled = LookupPrivilegeValueW(nullptr, L"SeSecurityPrivilege", &privileges.Privileges[0].Luid) &&
                 AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
                 GetLastError() == ERROR_SUCCESS;
  CloseHandle(token);
  return enabled;
}

TEST_F(SecurityOnKeys, SystemListAndLabelAreWrittenAndReadWithTheRightsTheyNeed) {
  ASSERT_TRUE(EnableSecurityPrivilege());
  const Bytes full = test::FullDescriptor();
  auto written = NewObject();
  ASSERT_CODE(written->SetFromSelfRelative(full.data(), RYL_SECURITY_SACL | RYL_SECURITY_LABEL), RYL_OK);
  ASSERT_CODE(WriteSecurityDescriptor(written.get(), test::KeyObject(key_.nativePath())), RYL_OK);
  auto read = NewObject();
  ASSERT_CODE(ReadSecurityDescriptor(test::KeyObject(key_.nativePath()), RYL_SECURITY_SACL | RYL_SECURITY_LABEL, read.get()),
              RYL_OK);
  EXPECT_EQ(read->GetPartsPresent(), 0x18u);
  EXPECT_EQ(HeldDescriptor(*read), HeldDescriptor(*written));
}

TEST_F(SecurityOnKeys, AppliedToAnOpenHandleTheDescriptorSticks) {
  const Bytes desired = KeyDescriptor();
  auto object = NewObject();
  ASSERT_CODE(object->SetFromSelfRelative(desired.data(), 0x07), RYL_OK);
  ASSERT_CODE(object->SetDescriptorToObject(key_.handle(), 0x07), RYL_OK);
  auto read = NewObject();
  ASSERT_CODE(ReadSecurityDescriptor(test::KeyObject(key_.nativePath()), 0x07, read.get()), RYL_OK);
  EXPECT_EQ(HeldDescriptor(*read), HeldDescriptor(*object));
  auto empty = NewObject();
  EXPECT_CODE(empty->SetDescriptorToObject(key_.handle(), 0x07), RYL_E_NOT_OPEN);
}

TEST_F(SecurityOnKeys, ReadingIntoAnyObjectGoesThroughItsSetSlot) {
  RecordingSecurityObject target;
  ASSERT_CODE(ReadSecurityDescriptorInto(test::KeyObject(key_.nativePath()), 0x07, &target), RYL_OK);
  EXPECT_EQ(target.calls, 1);
  EXPECT_EQ(target.receivedParts, 0x07u);
  EXPECT_EQ(target.received.GetPartsPresent(), 0x07u);

  target.answer = RYL_E_ACCESS_DENIED;
  EXPECT_CODE(ReadSecurityDescriptorInto(test::KeyObject(key_.nativePath()), 0x07, &target), RYL_E_ACCESS_DENIED);
  EXPECT_EQ(target.calls, 2);
}

TEST_F(SecurityOnKeys, LabelBitBeforeVistaIsAsIfNotAsked) {
  const auto key = test::KeyObject(key_.nativePath());
  {
    test::ScopedVistaAnswer newer(true);
    const Bytes full = test::FullDescriptor();
    auto labelled = NewObject();
    ASSERT_CODE(labelled->SetFromSelfRelative(full.data(), RYL_SECURITY_LABEL | RYL_SECURITY_DACL), RYL_OK);
    ASSERT_CODE(WriteSecurityDescriptor(labelled.get(), key), RYL_OK);
  }
  RecordingSecurityObject target;
  {
    test::ScopedVistaAnswer older(false);
    ASSERT_CODE(ReadSecurityDescriptorInto(key, 0x14, &target), RYL_OK);
    EXPECT_EQ(target.receivedParts, 0x04u);
    EXPECT_EQ(target.received.GetPartsPresent(), 0x04u);
    auto object = NewObject();
    ASSERT_CODE(ReadSecurityDescriptor(key, 0x14, object.get()), RYL_OK);
    EXPECT_EQ(object->GetPartsPresent(), 0x04u);
  }
  test::ScopedVistaAnswer newer(true);
  ASSERT_CODE(ReadSecurityDescriptorInto(key, 0x14, &target), RYL_OK);
  EXPECT_EQ(target.receivedParts, 0x14u);
  EXPECT_EQ(target.received.GetPartsPresent(), 0x14u);
}

TEST_F(SecurityOnKeys, HostObjectsAreWrittenFromTheirOwnSlots) {
  RecordingSecurityObject source;
  source.descriptor = KeyDescriptor();
  source.parts = RYL_SECURITY_DACL;
  ASSERT_CODE(WriteSecurityDescriptor(&source, test::KeyObject(key_.nativePath())), RYL_OK);
  auto read = NewObject();
  ASSERT_CODE(ReadSecurityDescriptor(test::KeyObject(key_.nativePath()), RYL_SECURITY_DACL, read.get()), RYL_OK);
  EXPECT_EQ(DaclOf(HeldDescriptor(*read)), DaclOf(source.descriptor));

  // One that holds nothing, or a descriptor whose offsets lead nowhere.
  source.descriptor.clear();
  EXPECT_CODE(WriteSecurityDescriptor(&source, test::KeyObject(key_.nativePath())), RYL_E_NOT_OPEN);
  source.descriptor = KeyDescriptor();
  test::Put32(source.descriptor, 16, 0x7FFFFFF0);
  EXPECT_CODE(WriteSecurityDescriptor(&source, test::KeyObject(key_.nativePath())), RYL_E_INVALID_ARG);
  auto neverFilled = NewObject();
  EXPECT_CODE(WriteSecurityDescriptor(neverFilled.get(), test::KeyObject(key_.nativePath())), RYL_E_NOT_OPEN);
}

TEST_F(SecurityOnKeys, RefusedReferencesLeaveTheTargetAloneAndOpenNothing) {
  auto target = NewObject();
  const Bytes full = test::FullDescriptor();
  ASSERT_CODE(target->SetFromSelfRelative(full.data(), RYL_SECURITY_OWNER), RYL_OK);
  test::TempDirectory directory;
  ASSERT_TRUE(directory.ok());
  // The references hold pointers into these strings.
  const std::u16string missingFile = directory.PathOf(u"missing.txt");
  const std::u16string missingKey = key_.nativePath() + u"\\missing";
  std::u16string longName = u"\\REGISTRY\\User\\";
  longName.append(40000, u'x');
  HANDLE standIn = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  struct Case {
    sys::RylWinObject reference;
    ResultCode expected;
    bool olderThanVista;
  };
  const Case cases[] = {
      {test::FileObject(missingFile), RYL_E_FILE_NOT_FOUND, false},
      {test::KeyObject(missingKey), RYL_E_FILE_NOT_FOUND, false},
      {sys::RylWinObject{-1, u"C:\\", nullptr}, RYL_E_UNSUPPORTED_VERSION, false},
      {sys::RylWinObject{3, u"C:\\", nullptr}, RYL_E_UNSUPPORTED_VERSION, false},
      {sys::RylWinObject{0, nullptr, nullptr}, RYL_E_INVALID_ARG, false},
      {sys::RylWinObject{2, nullptr, nullptr}, RYL_E_INVALID_ARG, false},
      // Cutting the name short would name a different key.
      {test::KeyObject(longName), RYL_E_INVALID_ARG, false},
      {test::KeyObject(key_.nativePath(), standIn), RYL_E_UNSUPPORTED_VERSION, true},
  };
  for (const Case& c : cases) {
    test::ScopedVistaAnswer version(!c.olderThanVista);
    RecordingSecurityObject recording;
    sys::ScopedHandle handle;
    EXPECT_CODE(ReadSecurityDescriptor(c.reference, 0x07, target.get()), c.expected);
    EXPECT_CODE(ReadSecurityDescriptorInto(c.reference, 0x07, &recording), c.expected);
    EXPECT_CODE(WriteSecurityDescriptor(target.get(), c.reference), c.expected);
    EXPECT_CODE(OpenForSecurity(c.reference, true, 0x07, &handle), c.expected);
    EXPECT_FALSE(handle.valid());
    EXPECT_EQ(recording.calls, 0);
    EXPECT_EQ(target->GetPartsPresent(), 0x01u);
  }
  CloseHandle(standIn);
  EXPECT_CODE(ReadSecurityDescriptor(test::KeyObject(key_.nativePath()), 0x07, nullptr), RYL_E_INVALID_ARG);
  EXPECT_CODE(WriteSecurityDescriptor(nullptr, test::KeyObject(key_.nativePath())), RYL_E_INVALID_ARG);
}

TEST_F(SecurityOnKeys, RefusedTransactionFailsAndLeavesTheThreadsTransactionAlone) {
  test::ScopedVistaAnswer newer(true);
  void* before = sys::RylNtdll_RtlGetCurrentTransaction();
  // Not a transaction: Windows takes it as current and fails the open; Wine
  // refuses to make anything current.
  HANDLE stand_in = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  auto object = NewObject();
  EXPECT_LT(ReadSecurityDescriptor(test::KeyObject(key_.nativePath(), stand_in), 0x07, object.get()), 0);
  EXPECT_FALSE(object->HoldsDescriptor());
  EXPECT_EQ(sys::RylNtdll_RtlGetCurrentTransaction(), before);
  CloseHandle(stand_in);
}

TEST_F(SecurityOnKeys, TransactedReadSeesTheKey) {
  if (sys::RylNtdll_RtlSetCurrentTransaction(nullptr) < 0) {
    GTEST_SKIP() << "Wine lacks registry transactions: RtlSetCurrentTransaction refuses and the transacted key "
                    "calls answer STATUS_NOT_IMPLEMENTED";
  }
  using CreateTransactionFunction = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPGUID, DWORD, DWORD, DWORD, DWORD,
                                                    LPWSTR);
  HMODULE ktm = LoadLibraryW(L"ktmw32.dll");
  ASSERT_NE(ktm, nullptr);
  auto create = reinterpret_cast<CreateTransactionFunction>(
      reinterpret_cast<void*>(GetProcAddress(ktm, "CreateTransaction")));
  ASSERT_NE(create, nullptr);
  HANDLE transaction = create(nullptr, nullptr, 0, 0, 0, 0, nullptr);
  ASSERT_NE(transaction, INVALID_HANDLE_VALUE);
  auto object = NewObject();
  EXPECT_CODE(ReadSecurityDescriptor(test::KeyObject(key_.nativePath(), transaction), 0x07, object.get()), RYL_OK);
  EXPECT_EQ(object->GetPartsPresent(), 0x07u);
  CloseHandle(transaction);
  FreeLibrary(ktm);
}

TEST(SecurityHandles, NoHandleOutlivesAnyOperation) {
  test::TempDirectory directory;
  ASSERT_TRUE(directory.ok());
  const std::u16string file = directory.MakeFile(u"counted.txt");
  test::TestKey key;
  ASSERT_TRUE(key.ok());
  const Bytes desired = KeyDescriptor();
  auto keyObject = NewObject();
  ASSERT_CODE(keyObject->SetFromSelfRelative(desired.data(), 0x07), RYL_OK);
  HANDLE stand_in = CreateEventW(nullptr, TRUE, FALSE, nullptr);

  auto runAll = [&] {
    auto object = NewObject();
    RecordingSecurityObject refusing;
    refusing.answer = RYL_E_ACCESS_DENIED;
    bool supported = false;
    sys::ScopedHandle handle;
    EXPECT_CODE(ReadSecurityDescriptor(test::FileObject(file), 0x07, object.get()), RYL_OK);
    EXPECT_CODE(WriteSecurityDescriptor(object.get(), test::FileObject(file)), RYL_OK);
    EXPECT_LT(ReadSecurityDescriptor(test::FileObject(directory.PathOf(u"missing")), 0x07, object.get()), 0);
    EXPECT_LT(WriteSecurityDescriptor(object.get(), test::FileObject(directory.PathOf(u"missing"))), 0);
    EXPECT_CODE(ReadSecurityDescriptorInto(test::FileObject(file), 0x07, &refusing), RYL_E_ACCESS_DENIED);
    EXPECT_CODE(WriteSecurityDescriptor(keyObject.get(), test::KeyObject(key.nativePath())), RYL_OK);
    EXPECT_CODE(ReadSecurityDescriptor(test::KeyObject(key.nativePath()), 0x07, object.get()), RYL_OK);
    EXPECT_LT(ReadSecurityDescriptor(test::KeyObject(key.nativePath() + u"\\missing"), 0x07, object.get()), 0);
    {
      test::ScopedVistaAnswer newer(true);
      EXPECT_LT(ReadSecurityDescriptor(test::KeyObject(key.nativePath(), stand_in), 0x07, object.get()), 0);
    }
    EXPECT_CODE(sys::RylWinSecurity::IsACLSupportedOnObject(test::FileObject(file), &supported), RYL_OK);
    EXPECT_LT(sys::RylWinSecurity::IsACLSupportedOnObject(test::FileObject(directory.PathOf(u"missing")), &supported),
              0);
    EXPECT_CODE(OpenForSecurity(test::FileObject(file), true, 0x04, &handle), RYL_OK);
  };
  runAll();  // anything the system opens once and keeps is opened now
  const uint32_t before = test::CountOwnHandles();
  ASSERT_NE(before, 0u) << "neither the process nor the system handle count is available";
  for (int i = 0; i < 25; ++i) runAll();
  EXPECT_EQ(test::CountOwnHandles(), before);
  CloseHandle(stand_in);
}

}  // namespace
}  // namespace ryl::security
