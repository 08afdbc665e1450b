// rylcli info: the root and every object the module can hand out cheaply,
// each with its interface type and the highest version it answers. Objects
// whose Query reports no highest version (it says only whether a version is
// supported) are probed upwards from 1.
#include "info_command.h"

#include <cstdio>
#include <string>
#include <vector>

#include "cli_output.h"
#include "failure.h"
#include "hoststreams/discard_host_stream.h"
#include "module_session.h"
#include "verbosity.h"

namespace rylcli {
namespace {

void PrintInterface(const char* name, uint32_t type, uint32_t version) {
  Out("  %-22s type %-3u version %u\n", name, type, version);
}

// The highest version of an interface whose Query answers only "supported".
template <typename Object>
uint32_t ProbeHighest(Object* object, uint32_t type) {
  uint32_t highest = 0;
  for (uint32_t version = 1; version <= 64; ++version) {
    uint8_t supported = 0;
    object->Query(type, version, &supported);
    if (supported == 0) break;
    highest = version;
  }
  return highest;
}

class Report {
 public:
  explicit Report(RootFactory* root) : root_(root) {}

  // create(receiver) makes the object at the version this host was built
  // for; highest(object) reads what it answers; destroy(object) ends it.
  template <typename Create, typename Highest, typename Destroy>
  void Object(const char* name, uint32_t type, uint32_t version, Create&& create, Highest&& highest,
              Destroy&& destroy) {
    void* object = nullptr;
    ObjectReceiver receiver = MakeReceiver(&object, version);
    const ResultCode rc = create(&receiver);
    if (RylFailed(rc) || object == nullptr) {
      ReportFailure(std::string("cannot create ") + name, RylFailed(rc) ? rc : RYL_E_INVALID_STATE);
      ++failures_;
      return;
    }
    PrintInterface(name, type, highest(object));
    destroy(object);
  }

  int failures() const { return failures_; }

 private:
  RootFactory* root_;
  int failures_ = 0;
};

// A key no one owns, so that the encryption objects have something to hold:
// their interfaces do not depend on its value.
const uint8_t kProbeKey[16] = {0x52, 0x59, 0x4C, 0x75, 0x74, 0x69, 0x6C, 0x20,
                               0x69, 0x6E, 0x66, 0x6F, 0x20, 0x6B, 0x65, 0x79};
// 2^1024 - 1: not a key anyone holds, but of a size every key object takes.
const std::vector<uint8_t> kProbeModulus(128, 0xFF);

template <typename T>
uint32_t HighestOf(void* object, uint32_t type) {
  uint32_t highest = 0;
  static_cast<T*>(object)->Query(type, 0, &highest);
  return highest;
}

}  // namespace

int RunInfo() {
  ModuleSession session;
  const ResultCode started = session.Start();
  if (RylFailed(started)) return ReportFailure("cannot start the module", started);
  RootFactory* root = session.root();
  if (!Quiet()) Out("rylutil module initialised; interfaces and the highest version each answers:\n");

  uint32_t rootVersion = 0;
  root->Query(RYL_TYPE_ROOT_FACTORY, 0, &rootVersion);
  PrintInterface("RootFactory", RYL_TYPE_ROOT_FACTORY, rootVersion);

  Report report(root);
  auto none = [](void*) {};
  auto destroyOnHeap = [](auto* typed) {
    return [](void* object) { static_cast<decltype(typed)>(object)->Destroy(&kDefaultHeap); };
  };

  report.Object(
      "FileSystemService", RYL_TYPE_FILE_SYSTEM_SERVICE, RYL_VERSION_FILE_SYSTEM_SERVICE,
      [&](ObjectReceiver* r) { return root->GetFileSystemService(r); },
      [](void* o) { return HighestOf<FileSystemService>(o, RYL_TYPE_FILE_SYSTEM_SERVICE); }, none);
  report.Object(
      "StringService", RYL_TYPE_STRING_SERVICE, RYL_VERSION_STRING_SERVICE,
      [&](ObjectReceiver* r) { return root->GetStringService(r); },
      [](void* o) { return HighestOf<StringService>(o, RYL_TYPE_STRING_SERVICE); }, none);

  // The ZIP service has no Query of its own: it is reached through the
  // archive factory, whose version covers it.
  int zipFailures = 0;
  report.Object(
      "ArchiveFactory", RYL_TYPE_ARCHIVE_FACTORY, RYL_VERSION_ARCHIVE_FACTORY,
      [&](ObjectReceiver* r) { return root->CreateArchiveFactory(r); },
      [&](void* o) {
        auto* factory = static_cast<ArchiveFactory*>(o);
        ZipService* zip = nullptr;
        const ResultCode rc = factory->CreateZipService(&zip);
        if (RylSucceeded(rc) && zip != nullptr) {
          if (!Quiet()) Out("  %-22s reached through the archive factory\n", "ZipService");
          zip->Release();
        } else {
          zipFailures += ReportFailure("cannot create ZipService", RylFailed(rc) ? rc : RYL_E_INVALID_STATE);
        }
        return HighestOf<ArchiveFactory>(o, RYL_TYPE_ARCHIVE_FACTORY);
      },
      destroyOnHeap(static_cast<ArchiveFactory*>(nullptr)));

  report.Object(
      "StreamingArchive", RYL_TYPE_STREAMING_ARCHIVE, RYL_VERSION_STREAMING_ARCHIVE,
      [&](ObjectReceiver* r) { return root->CreateZipStreamWriter(r); },
      [](void* o) { return HighestOf<StreamingArchive>(o, RYL_TYPE_STREAMING_ARCHIVE); },
      destroyOnHeap(static_cast<StreamingArchive*>(nullptr)));

  ryl::host::DiscardHostStream sink;
  report.Object(
      "XmlWriter", RYL_TYPE_XML_WRITER, RYL_VERSION_XML_WRITER,
      [&](ObjectReceiver* r) { return root->CreateXmlWriter(r, &sink); },
      [](void* o) { return ProbeHighest(static_cast<RylXmlWriter*>(o), RYL_TYPE_XML_WRITER); },
      destroyOnHeap(static_cast<RylXmlWriter*>(nullptr)));

  report.Object(
      "Regex (narrow)", RYL_TYPE_REGEX8, RYL_VERSION_REGEX,
      [&](ObjectReceiver* r) { return root->CreateRegexNarrow(r, "a", 1, 0); },
      [](void* o) { return ProbeHighest(static_cast<RylRegex8*>(o), RYL_TYPE_REGEX8); },
      destroyOnHeap(static_cast<RylRegex8*>(nullptr)));
  const RylChar16 wideA[1] = {u'a'};
  report.Object(
      "Regex (UTF-16)", RYL_TYPE_REGEX16, RYL_VERSION_REGEX,
      [&](ObjectReceiver* r) { return root->CreateRegexWide(r, wideA, 1, 0); },
      [](void* o) { return ProbeHighest(static_cast<RylRegex16*>(o), RYL_TYPE_REGEX16); },
      destroyOnHeap(static_cast<RylRegex16*>(nullptr)));

  report.Object(
      "BlowfishCipher", RYL_TYPE_BLOWFISH_CIPHER, RYL_VERSION_BLOWFISH_CIPHER,
      [&](ObjectReceiver* r) { return root->CreateBlowfishEncryptor(r, kProbeKey, sizeof kProbeKey); },
      [](void* o) { return HighestOf<RylBlowfishCipher>(o, RYL_TYPE_BLOWFISH_CIPHER); },
      destroyOnHeap(static_cast<RylBlowfishCipher*>(nullptr)));
  report.Object(
      "RsaPublicKey", RYL_TYPE_RSA_PUBLIC_KEY, RYL_VERSION_RSA_KEY,
      [&](ObjectReceiver* r) {
        return root->CreateRsaPublicKeyFromWord(r, 65537, kProbeModulus.data(),
                                                static_cast<uint32_t>(kProbeModulus.size()));
      },
      [](void* o) { return HighestOf<RylRsaPublicKey>(o, RYL_TYPE_RSA_PUBLIC_KEY); },
      destroyOnHeap(static_cast<RylRsaPublicKey*>(nullptr)));
  const uint8_t privateExponent[1] = {3};
  report.Object(
      "RsaPrivateKey", RYL_TYPE_RSA_PRIVATE_KEY, RYL_VERSION_RSA_KEY,
      [&](ObjectReceiver* r) {
        return root->CreateRsaPrivateKey(r, privateExponent, 1, kProbeModulus.data(),
                                         static_cast<uint32_t>(kProbeModulus.size()));
      },
      [](void* o) { return HighestOf<RylRsaPrivateKey>(o, RYL_TYPE_RSA_PRIVATE_KEY); },
      destroyOnHeap(static_cast<RylRsaPrivateKey*>(nullptr)));

  report.Object(
      "Dispatcher", RYL_TYPE_DISPATCHER, RYL_VERSION_DISPATCHER,
      [&](ObjectReceiver* r) { return root->CreateDispatcher(r); },
      [](void* o) { return HighestOf<RylDispatcher>(o, RYL_TYPE_DISPATCHER); },
      [](void* o) { static_cast<RylDispatcher*>(o)->Release(); });

  // A registry key answers only whether it is the given type and version;
  // HKEY_CURRENT_USER is the root every account can open.
  RylKeyHolder key = {nullptr, nullptr};
  const ResultCode opened = root->OpenRegistryRoot(&key, RYL_ROOT_CURRENT_USER);
  int failures = report.failures() + zipFailures;
  if (RylFailed(opened) || key.key == nullptr) {
    ReportFailure("cannot open the registry root HKEY_CURRENT_USER", RylFailed(opened) ? opened : RYL_E_INVALID_STATE);
    ++failures;
  } else {
    PrintInterface("RegistryKey", RYL_TYPE_REGISTRY_KEY, ProbeHighest(key.key, RYL_TYPE_REGISTRY_KEY));
    RylSharedRelease(&key.control);
  }
  return failures == 0 ? kExitOk : kExitFailed;
}

}  // namespace rylcli
