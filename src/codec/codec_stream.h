// What the deflate and bzip2 streams share: a codec context between a caller
// and a target stream. A compressing stream takes plain bytes through Write
// and writes compressed bytes to the target; a decompressing stream reads
// compressed bytes from the target and hands out plain bytes through Read.
// All buffering is the context's own buffer, fixed at initialisation, so no
// call allocates.
//
// Only the first four slots are the stream interface proper; a codec stream
// does not position, so the positioned slots answer RYL_E_NOT_IMPLEMENTED.
#pragma once

#include <algorithm>
#include <cstdint>

#include "core/delivery.h"
#include "core/object_ptr.h"
#include "core/query.h"
#include "core/result_helpers.h"
#include "ryl/streams.h"
#include "streams/sequential_stream.h"

namespace ryl::codec {

template <typename Context, typename Derived>
class CodecStream : public streams::SequentialStream<Derived> {
 public:

  CodecStream(const CodecStream&) = delete;
  CodecStream& operator=(const CodecStream&) = delete;

  bool initialized() const noexcept { return static_cast<bool>(context_); }
  bool compressing() const noexcept { return compress_; }

  // Decompresses into data. With outDone, returns as soon as one codec call
  // produced something; without it, fills all of length. After the end of
  // the compressed data: RYL_E_END_OF_DATA, or RYL_E_TRAILING_DATA when the
  // source still had bytes after the end marker. A source that ends before
  // the end marker gives RYL_E_UNEXPECTED_END.
  ResultCode RYL_THISCALL Read(void* data, uint32_t length, uint32_t* outDone) override {
    if (length == 0) return RYL_OK;
    if (!context_ || compress_) return RYL_E_INVALID_STATE;
    if (data == nullptr) return RYL_E_INVALID_ARG;
    Context& codec = *context_;
    auto* const begin = static_cast<uint8_t*>(data);
    codec.SetNextOut(begin);
    uint32_t count = 0;
    while (!codec.IsEndOfStream()) {
      // A codec that filled the output may still hold decoded bytes (zlib
      // keeps a pending match) after taking its last input: it runs again
      // before the source is asked for more, which at the source's end would
      // report a truncation that is not there. A call that leaves room
      // unused has given all it can from what it has.
      if (codec.GetAvailIn() == 0 && !outputFull_) RYL_RETURN_IF_FAILED(Refill(codec));
      codec.SetAvailOut(std::min(codec.GetMaxAvail(), length - count));
      RYL_RETURN_IF_FAILED(codec.Decompress());
      outputFull_ = codec.GetAvailOut() == 0;
      count = static_cast<uint32_t>(codec.GetNextOut() - begin);
      if (outDone != nullptr) {
        if (count != 0) {
          *outDone = count;
          return RYL_OK;
        }
      } else if (count == length) {
        return RYL_OK;
      }
    }
    return codec.GetAvailIn() != 0 ? RYL_E_TRAILING_DATA : RYL_E_END_OF_DATA;
  }

  // Compresses all of data; compressed output reaches the target whenever
  // the context's buffer fills.
  ResultCode RYL_THISCALL Write(const void* data, uint32_t length, uint32_t* outDone) override {
    if (length == 0) return RYL_OK;
    if (!context_ || !compress_) return RYL_E_INVALID_STATE;
    if (data == nullptr) return RYL_E_INVALID_ARG;
    Context& codec = *context_;
    const auto* const begin = static_cast<const uint8_t*>(data);
    codec.SetNextIn(begin);
    uint32_t done = 0;
    while (done != length) {
      codec.SetAvailIn(std::min(codec.GetMaxAvail(), length - done));
      RYL_RETURN_IF_FAILED(codec.Compress());
      if (codec.GetAvailOut() == 0) {
        RYL_RETURN_IF_FAILED(WriteAll(codec.GetBuffer(), codec.GetBufferSize()));
        codec.SetNextOut(codec.GetBuffer());
        codec.SetAvailOut(codec.GetBufferSize());
      }
      done = static_cast<uint32_t>(codec.GetNextIn() - begin);
    }
    if (outDone != nullptr) *outDone = length;
    return RYL_OK;
  }


  void RYL_THISCALL Dispose() override { Shutdown(); }

  // Finishes the codec: a compressing stream writes the rest of the
  // compressed data, end marker included (also when nothing was written),
  // then the context goes. A failure keeps the context, with the unwritten
  // output still in its buffer, so that a second Close can try again.
  ResultCode RYL_THISCALL Close() override {
    if (!context_) return RYL_OK;
    if (compress_) {
      Context& codec = *context_;
      codec.SetNextIn(nullptr);
      codec.SetAvailIn(0);
      ResultCode finished = codec.CompressFinish();
      RYL_RETURN_IF_FAILED(finished);
      for (;;) {
        const auto pending = static_cast<uint32_t>(codec.GetNextOut() - codec.GetBuffer());
        RYL_RETURN_IF_FAILED(WriteAll(codec.GetBuffer(), pending));
        codec.SetNextOut(codec.GetBuffer());
        codec.SetAvailOut(codec.GetBufferSize());
        if (finished == RYL_S_END_OF_DATA) break;
        finished = codec.CompressFinish();
        RYL_RETURN_IF_FAILED(finished);
      }
    }
    context_.reset();
    target_ = nullptr;
    return RYL_OK;
  }

  uint8_t RYL_THISCALL IsOpen() override { return context_ ? 1 : 0; }
  uint8_t RYL_THISCALL CanRead() override { return context_ && !compress_ ? 1 : 0; }
  uint8_t RYL_THISCALL CanWrite() override { return context_ && compress_ ? 1 : 0; }

 protected:
  CodecStream() noexcept = default;
  // Derived streams whose members the target may point into shut down in
  // their own destructor, before those members go.
  ~CodecStream() { Shutdown(); }

  // Closes, discarding the result, and lets the context go even when the
  // close failed: nothing is left to retry once the object goes away.
  void Shutdown() noexcept {
    (void)Close();
    context_.reset();
    target_ = nullptr;
  }

  // The checks every initialisation shares, then the context: allocated,
  // set up by init(Context&), and kept only when that succeeded.
  template <typename Init>
  [[nodiscard]] ResultCode InitializeCodec(SeekableStream* target, bool compress, uint32_t bufferSize,
                                           Init&& init) noexcept {
    if (context_ || target == nullptr || target == this || bufferSize == 0) return RYL_E_INVALID_ARG;
    core::ObjectPtr<Context> context(core::MakeObject<Context>());
    if (!context) return RYL_E_OUT_OF_MEMORY;
    RYL_RETURN_IF_FAILED(init(*context));
    context_ = std::move(context);
    target_ = target;
    compress_ = compress;
    outputFull_ = false;
    return RYL_OK;
  }

 private:
  // A decompressor out of input takes the next bufferful from the target.
  [[nodiscard]] ResultCode Refill(Context& codec) noexcept {
    uint32_t got = 0;
    const ResultCode rc = target_->Read(codec.GetBuffer(), codec.GetBufferSize(), &got);
    if (rc == RYL_E_END_OF_DATA || (rc >= 0 && got == 0)) {
      // A source that succeeds without delivering anything has ended too;
      // asking it again would never end.
      if (codec.IsEndOfStream() || codec.EndAtSourceEnd()) return RYL_E_END_OF_DATA;
      return RYL_E_UNEXPECTED_END;
    }
    if (rc < 0) return rc;
    if (got > codec.GetBufferSize()) return RYL_E_INVALID_STATE;
    codec.SetNextIn(codec.GetBuffer());
    codec.SetAvailIn(got);
    return RYL_OK;
  }

  // A target that takes part of a write is asked again for the rest; one that
  // takes nothing and still reports success cannot make progress.
  [[nodiscard]] ResultCode WriteAll(const uint8_t* data, uint32_t length) noexcept {
    while (length != 0) {
      uint32_t written = 0;
      RYL_RETURN_IF_FAILED(target_->Write(data, length, &written));
      if (written == 0 || written > length) return RYL_E_INVALID_STATE;
      data += written;
      length -= written;
    }
    return RYL_OK;
  }

  core::ObjectPtr<Context> context_;
  SeekableStream* target_ = nullptr;
  bool compress_ = false;
  bool outputFull_ = false;  // the last decompression filled what it was given
};

}  // namespace ryl::codec
