// Stream interfaces. Every byte the library reads or writes passes through
// them. Positions and sizes are unsigned 64-bit; a 64-bit argument occupies
// two stack words, low half first. A read that reaches the end returns
// RYL_E_END_OF_DATA, or RYL_S_END_OF_DATA with a partial count where the
// stream says so.
#pragma once

#include "ryl/interface_ids.h"
#include "ryl/platform.h"
#include "ryl/records.h"
#include "ryl/result.h"

// Seek origins.
enum RylSeekOrigin : uint32_t {
  RYL_SEEK_BEGIN = 0,
  RYL_SEEK_CURRENT = 1,
  RYL_SEEK_END = 2,
};

struct RylHandleMarshaller;

// The library's own stream interface (type 33, highest version 1). Streams
// that only stream (compression, hashing sinks) implement slots 0-3 and then
// operations of their own; ask for the positioned slots only of streams that
// offer them.
RYL_INTERFACE SeekableStream {
  // Type 33 answers the stream, 32 its PersistentStream part and 40 its
  // HandleAccess part, each below version 2.
  virtual void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) = 0;
  // Releases what the stream holds and frees it: through allocator's Free when
  // its table is set, else on the default heap.
  virtual void RYL_THISCALL Destroy(const AllocatorRecord* allocator) = 0;
  // At the current position, which then advances by *outDone (by count when
  // outDone is null).
  virtual ResultCode RYL_THISCALL Read(void* buffer, uint32_t count, uint32_t* outDone) = 0;
  virtual ResultCode RYL_THISCALL Write(const void* buffer, uint32_t count, uint32_t* outDone) = 0;
  virtual ResultCode RYL_THISCALL Tell(uint64_t* outPosition) = 0;
  // A resulting negative position keeps the old one and fails with
  // RYL_E_INVALID_SEEK; an unknown origin is RYL_E_INVALID_ARG.
  virtual ResultCode RYL_THISCALL Seek(int64_t offset, uint32_t origin) = 0;
  virtual ResultCode RYL_THISCALL GetSize(uint64_t* outSize) = 0;
  virtual ResultCode RYL_THISCALL SetSize(uint64_t size) = 0;
  virtual ResultCode RYL_THISCALL ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* outDone) = 0;
  virtual ResultCode RYL_THISCALL WriteAt(uint64_t offset, const void* buffer, uint32_t count,
                                          uint32_t* outDone) = 0;
  // Delivers a MappedView (type 34) of [offset, offset + length) to the
  // receiver; length 0 means as much as one view may cover.
  virtual ResultCode RYL_THISCALL Map(uint64_t offset, uint32_t length, const ObjectReceiver* viewReceiver,
                                      uint8_t readOnly) = 0;
  // Releases what the stream holds without freeing its memory; Destroy is
  // what owners call.
  virtual void RYL_THISCALL Dispose() = 0;
  virtual ResultCode RYL_THISCALL Close() = 0;
  virtual uint8_t RYL_THISCALL IsOpen() = 0;
  virtual uint8_t RYL_THISCALL IsAsynchronous() = 0;
  virtual uint8_t RYL_THISCALL CanRead() = 0;
  virtual uint8_t RYL_THISCALL CanWrite() = 0;
};

// Exporting a stream's state so that another process can take it over
// (type 32, embedded in the stream; its query forwards to the stream's).
RYL_INTERFACE PersistentStream {
  virtual void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) = 0;
  virtual uint8_t RYL_THISCALL CanSaveState(uint32_t format) = 0;
  virtual ResultCode RYL_THISCALL SaveState(SeekableStream* writer, RylHandleMarshaller* marshaller) = 0;
  virtual ResultCode RYL_THISCALL LoadState(SeekableStream* reader, RylHandleMarshaller* marshaller) = 0;
};

// The native handle behind a stream (type 40, embedded; query forwards).
RYL_INTERFACE HandleAccess {
  virtual void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) = 0;
  // The handle sign-extended to 64 bits; RYL_E_INVALID_HANDLE when closed.
  virtual ResultCode RYL_THISCALL GetHandle(uint64_t* outHandle) = 0;
  virtual ResultCode RYL_THISCALL Unsupported() = 0;  // always RYL_E_UNSUPPORTED_VERSION
};

// A mapped window of a file or of memory (type 34, highest version 1).
RYL_INTERFACE MappedView {
  virtual void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint32_t* outHighest) = 0;
  virtual ResultCode RYL_THISCALL Flush() = 0;
  // Unmaps and frees the view.
  virtual ResultCode RYL_THISCALL Release() = 0;
  virtual void RYL_THISCALL Dispose() = 0;
};

// The view a HostStream hands to hosts: where the requested range starts in
// memory and how far it reaches.
RYL_INTERFACE HostMappedView {
  virtual void RYL_THISCALL Release() = 0;
  virtual ResultCode RYL_THISCALL Flush() = 0;
  virtual void* RYL_THISCALL GetAddress() = 0;
  virtual ResultCode RYL_THISCALL GetOffset(uint64_t* outOffset) = 0;
  virtual uint32_t RYL_THISCALL GetLength() = 0;
};

// The public stream: what hosts hold, and what hosts implement to hand the
// library a stream of their own.
RYL_INTERFACE HostStream {
  virtual void RYL_THISCALL Release() = 0;
  virtual uint8_t RYL_THISCALL IsOpen() = 0;
  virtual uint8_t RYL_THISCALL Reserved2() = 0;  // always true
  virtual uint8_t RYL_THISCALL Reserved3() = 0;  // always true
  virtual ResultCode RYL_THISCALL ReadAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* outDone) = 0;
  virtual ResultCode RYL_THISCALL Read(void* buffer, uint32_t count, uint32_t* outDone) = 0;
  virtual ResultCode RYL_THISCALL WriteAt(uint64_t offset, const void* buffer, uint32_t count,
                                          uint32_t* outDone) = 0;
  virtual ResultCode RYL_THISCALL Write(const void* buffer, uint32_t count, uint32_t* outDone) = 0;
  virtual ResultCode RYL_THISCALL Tell(uint64_t* outPosition) = 0;
  virtual ResultCode RYL_THISCALL Seek(int64_t offset, uint32_t origin) = 0;
  virtual ResultCode RYL_THISCALL GetSize(uint64_t* outSize) = 0;
  virtual ResultCode RYL_THISCALL SetSize(uint64_t size) = 0;
  virtual uint8_t RYL_THISCALL CanSaveState(uint32_t format) = 0;
  virtual ResultCode RYL_THISCALL SaveState(HostStream* writer, RylHandleMarshaller* marshaller) = 0;
  virtual ResultCode RYL_THISCALL LoadState(HostStream* reader, RylHandleMarshaller* marshaller) = 0;
  virtual ResultCode RYL_THISCALL Map(uint64_t offset, uint32_t length, HostMappedView** outView,
                                      uint8_t readOnly) = 0;
  virtual void RYL_THISCALL Dispose() = 0;
};

// Implemented by the caller of SaveState/LoadState. Only slots 2 and 4 are
// called; the others exist so that the table has the shape callers expect.
RYL_INTERFACE RylHandleMarshaller {
  virtual void RYL_THISCALL Reserved0() = 0;
  virtual void RYL_THISCALL Reserved1() = 0;
  virtual ResultCode RYL_THISCALL GetNextHandle(uint64_t* outHandle) = 0;
  virtual void RYL_THISCALL Reserved3() = 0;
  virtual ResultCode RYL_THISCALL AddHandle(uint64_t handle) = 0;
};
