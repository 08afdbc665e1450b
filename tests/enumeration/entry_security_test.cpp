// An entry reads and writes the security of the file it names, through any
// security object a host hands it. Wine makes file descriptors up from the
// Unix mode and keeps only the mode on writes, so what is checked here is
// what reaches the object and the file system, not a round trip.
#include <vector>

#include "enumeration/enumeration_host.h"
#include "support/default_heap.h"

namespace ryl::test {
namespace {

// A security object of the host's own making: it keeps what it is given.
class HostSecurityObject final : public RylSecurityObject {
 public:
  ResultCode RYL_THISCALL Clone(RylSecurityObject**) override { return RYL_E_NOT_IMPLEMENTED; }
  void RYL_THISCALL Destroy() override {}
  void RYL_THISCALL DestroyThrough(RylSecurityObject**) override {}
  ResultCode RYL_THISCALL Reserved3() override { return RYL_OK; }
  void RYL_THISCALL Reserved4() override {}
  const void* RYL_THISCALL GetSecurityDescriptor() override { return bytes.empty() ? nullptr : bytes.data(); }
  uint32_t RYL_THISCALL GetPartsPresent() override { return parts; }
  ResultCode RYL_THISCALL SetFromSelfRelative(const void* descriptor, uint32_t selected) override {
    ++sets;
    if (setResult < 0) return setResult;
    const DWORD length = GetSecurityDescriptorLength(const_cast<void*>(descriptor));
    bytes.assign(static_cast<const BYTE*>(descriptor), static_cast<const BYTE*>(descriptor) + length);
    parts = selected;
    return RYL_OK;
  }
  ResultCode RYL_THISCALL WriteToStream(SeekableStream*) override { return RYL_E_NOT_IMPLEMENTED; }
  ResultCode RYL_THISCALL ReadFromStream(SeekableStream*) override { return RYL_E_NOT_IMPLEMENTED; }

  bool HasDacl() {
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL acl = nullptr;
    return !bytes.empty() && GetSecurityDescriptorDacl(bytes.data(), &present, &acl, &defaulted) && present;
  }
  bool HasOwner() {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    return !bytes.empty() && GetSecurityDescriptorOwner(bytes.data(), &owner, &defaulted) && owner != nullptr;
  }

  std::vector<BYTE> bytes;
  uint32_t parts = 0;
  int sets = 0;
  ResultCode setResult = RYL_OK;
};

class EntrySecurityTest : public EnumerationTest {
 protected:
  DirectoryEntry* Entry(const std::wstring& name) {
    StoringReceiver receiver(2);
    const std::wstring path = dir_ / name;
    const RylStringView view = View(path);
    EXPECT_CODE(fs_->FindEntry(&receiver.record, &view, nullptr), RYL_OK);
    return static_cast<DirectoryEntry*>(receiver.object);
  }
  void Release(DirectoryEntry* entry) {
    entry->Destroy(&test::kDefaultHeap);
  }
};

TEST_F(EntrySecurityTest, ReadsHandTheFilesDescriptorToTheHostsObjectWithTheirParts) {
  ASSERT_TRUE(dir_.File(L"guarded.txt"));
  DirectoryEntry* entry = Entry(L"guarded.txt");
  ASSERT_NE(entry, nullptr);
  HostSecurityObject lists;
  ASSERT_CODE(entry->ReadSecurity(&lists), RYL_OK);
  EXPECT_EQ(lists.parts, uint32_t{RYL_SECURITY_DACL | RYL_SECURITY_LABEL});
  EXPECT_TRUE(lists.HasDacl());
  HostSecurityObject all;
  ASSERT_CODE(entry->ReadSecurityInto(&all), RYL_OK);
  EXPECT_EQ(all.parts, uint32_t{RYL_SECURITY_OWNER | RYL_SECURITY_GROUP | RYL_SECURITY_DACL | RYL_SECURITY_LABEL});
  EXPECT_TRUE(all.HasOwner());

  // The object's own failure comes back unchanged.
  HostSecurityObject refusing;
  refusing.setResult = RYL_E_BUFFER_TOO_SMALL;
  EXPECT_CODE(entry->ReadSecurity(&refusing), RYL_E_BUFFER_TOO_SMALL);
  EXPECT_CODE(entry->ReadSecurity(nullptr), RYL_E_INVALID_ARG);
  Release(entry);
}

TEST_F(EntrySecurityTest, WritesTakeTheObjectsDescriptorAndRefuseAnEmptyObject) {
  ASSERT_TRUE(dir_.File(L"target.txt"));
  DirectoryEntry* entry = Entry(L"target.txt");
  ASSERT_NE(entry, nullptr);
  HostSecurityObject read;
  ASSERT_CODE(entry->ReadSecurity(&read), RYL_OK);
  EXPECT_GE(entry->WriteSecurity(&read), 0);
  EXPECT_CODE(entry->ApplySecurity(&read), RYL_OK);

  HostSecurityObject empty;
  empty.parts = RYL_SECURITY_DACL;
  EXPECT_CODE(entry->WriteSecurity(&empty), RYL_E_NOT_OPEN);
  EXPECT_CODE(entry->ApplySecurity(&empty), RYL_E_NOT_OPEN);
  EXPECT_CODE(entry->ApplySecurity(nullptr), RYL_E_INVALID_ARG);

  // The entry names its file by path: once the file is gone, so is its security.
  ASSERT_TRUE(DeleteFileW((dir_ / L"target.txt").c_str()));
  HostSecurityObject late;
  EXPECT_CODE(entry->ReadSecurity(&late), RYL_E_FILE_NOT_FOUND);
  EXPECT_EQ(late.sets, 0);
  EXPECT_CODE(entry->ApplySecurity(&read), RYL_E_FILE_NOT_FOUND);
  Release(entry);
}

}  // namespace
}  // namespace ryl::test
