// The archive factory (type 2, highest version 1), which root slot 4
// delivers, and the deflate streams it makes over a host's stream.
#pragma once

#include "ryl/interface_ids.h"
#include "ryl/platform.h"
#include "ryl/records.h"
#include "ryl/result.h"
#include "ryl/streams.h"

struct ZipService;

// A deflate stream (bare deflate data, as ZIP method 8 stores it) over a
// host's stream. Slots 0-15 line up with HostStream's, so it can be held
// where a HostStream is; slot 16 is Finish instead of the destructor.
// Operations that need a position answer RYL_E_UNSUPPORTED_VERSION.
RYL_INTERFACE HostDeflateStream {
  // Finishes a compressing stream (its result is lost: call Finish first to
  // learn it) and frees the object.
  virtual void RYL_THISCALL Release() = 0;
  virtual uint8_t RYL_THISCALL IsOpen() = 0;     // always true
  virtual uint8_t RYL_THISCALL Reserved2() = 0;  // always true
  virtual uint8_t RYL_THISCALL Reserved3() = 0;  // always true
  virtual ResultCode RYL_THISCALL ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* outDone) = 0;
  // Decompresses. With outDone, returns whatever one step of the codec
  // produced; without it, fills all of count. After the data:
  // RYL_E_END_OF_DATA, or RYL_E_TRAILING_DATA when bytes followed the end
  // marker; a source that stops early gives RYL_E_UNEXPECTED_END.
  virtual ResultCode RYL_THISCALL Read(void* buffer, uint32_t count, uint32_t* outDone) = 0;
  virtual ResultCode RYL_THISCALL WriteAt(uint64_t offset, const void* buffer, uint32_t count,
                                          uint32_t* outDone) = 0;
  // Compresses all of buffer; compressed bytes reach the host's stream as
  // the internal buffer fills.
  virtual ResultCode RYL_THISCALL Write(const void* buffer, uint32_t count, uint32_t* outDone) = 0;
  virtual ResultCode RYL_THISCALL Tell(uint64_t* outPosition) = 0;
  virtual ResultCode RYL_THISCALL Seek(int64_t offset, uint32_t origin) = 0;
  virtual ResultCode RYL_THISCALL GetSize(uint64_t* outSize) = 0;
  virtual ResultCode RYL_THISCALL SetSize(uint64_t size) = 0;
  virtual uint8_t RYL_THISCALL CanSaveState(uint32_t format) = 0;  // always false
  virtual ResultCode RYL_THISCALL SaveState(HostStream* writer, RylHandleMarshaller* marshaller) = 0;
  virtual ResultCode RYL_THISCALL LoadState(HostStream* reader, RylHandleMarshaller* marshaller) = 0;
  virtual ResultCode RYL_THISCALL Map(uint64_t offset, uint32_t length, HostMappedView** outView,
                                      uint8_t readOnly) = 0;
  // Writes the rest of a compressing stream's data, end marker included, to
  // the host's stream and returns the result; later calls return 0 and do
  // nothing. A failure leaves the unwritten data pending, so calling again
  // retries. A decompressing stream just stops.
  virtual ResultCode RYL_THISCALL Finish() = 0;
  virtual void RYL_THISCALL Dispose() = 0;
};

RYL_INTERFACE ArchiveFactory {
  virtual void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) = 0;
  // Frees the factory with the allocator record it was delivered with.
  virtual void RYL_THISCALL Destroy(const AllocatorRecord* allocator) = 0;
  // A new ZipService (ryl/zip.h), released through its slot 0. *outService
  // is set only on success.
  virtual ResultCode RYL_THISCALL CreateZipService(ZipService** outService) = 0;
  // A deflate stream over hostStream, which must outlive it: compress true
  // writes compressed data to hostStream, false reads it from there. level is
  // -1 for the codec's default or 0 to 9; bufferSize (not 0) is the size of
  // the stream's one internal buffer. *outStream is set only on success.
  virtual ResultCode RYL_THISCALL CreateDeflateStream(HostDeflateStream** outStream, HostStream* hostStream,
                                                      uint8_t compress, int32_t level, uint32_t bufferSize) = 0;
  virtual ResultCode RYL_THISCALL Reserved4() = 0;  // RYL_E_NOT_IMPLEMENTED
};
