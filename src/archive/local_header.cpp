#include "archive/local_header.h"

#include <vector>

#include "archive/stream_io.h"
#include "core/entry_guard.h"
#include "core/result_helpers.h"

namespace ryl::archive {

ResultCode ReadLocalHeader(SeekableStream* stream, uint64_t offset, LocalHeaderInfo* out) noexcept {
  if (stream == nullptr || out == nullptr) return RYL_E_INVALID_ARG;
  LocalHeaderBytes bytes;
  const ResultCode read = ReadExactAt(stream, offset, bytes.data(), kLocalHeaderSize);
  // An offset beyond any stream is as absent a header as one past the end.
  if (read == RYL_E_INVALID_SEEK) return RYL_E_END_OF_DATA;
  RYL_RETURN_IF_FAILED(read);
  LocalHeaderInfo info;
  if (!DecodeLocalHeader(bytes.data(), &info.fields)) {
    RYL_RETURN_IF_FAILED(SeekTo(stream, offset));
    return RYL_E_END_OF_DATA;
  }
  return core::GuardEntry([&]() -> ResultCode {
    const uint32_t nameLength = info.fields.nameLength;
    const uint32_t extraLength = info.fields.extraLength;
    std::vector<uint8_t> variable(nameLength + extraLength);
    RYL_RETURN_IF_FAILED(ReadExact(stream, variable.data(), static_cast<uint32_t>(variable.size())));
    std::vector<ExtraRecord> dropped;
    Zip64Span span;
    RYL_RETURN_IF_FAILED(SplitExtraField(variable.data() + nameLength, extraLength, &dropped, &span));
    if (span.present) {
      const Zip64Needs needs = {info.fields.uncompressedSize == kZip64Marker32,
                                info.fields.compressedSize == kZip64Marker32, false};
      // A short record here costs nothing: the central header has the sizes.
      (void)DecodeZip64ExtendedInfo(variable.data() + nameLength + span.offset, span.size, needs, &info.zip64);
    }
    info.dataOffset = offset + kLocalHeaderSize + nameLength + extraLength;
    *out = info;
    return RYL_OK;
  });
}

}  // namespace ryl::archive
