// The streaming XML writer: document-order calls in, UTF-8 bytes out through
// one 4096-byte buffer, escaping text and attribute values, optionally
// indenting, with a sticky status after the first failed write.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ryl/streams.h"
#include "ryl/xml.h"
#include "streams/host_stream_adapter.h"

namespace ryl::xml {

class XmlWriter final : public RylXmlWriter {
 public:
  static constexpr uint32_t kHighestVersion = RYL_VERSION_XML_WRITER;
  static constexpr uint32_t kBufferSize = 4096;

  enum State : uint8_t {
    kNothingWritten = 0,
    kLineStart = 1,
    kAfterText = 2,
    kAfterTag = 3,
    kInStartTag = 4,
    kInAttributeValue = 5,
  };

  XmlWriter() noexcept = default;
  ~XmlWriter();

  // Binds the host's stream (never released by the writer) and allocates
  // the buffer.
  [[nodiscard]] ResultCode Bind(HostStream* output) noexcept;
  void* DeliveredInterface() noexcept { return static_cast<RylXmlWriter*>(this); }

  void* RYL_THISCALL Query(uint32_t type, uint32_t version, uint8_t* outSupported) override;
  void RYL_THISCALL Destroy(const AllocatorRecord* allocator) override;
  ResultCode RYL_THISCALL Flush() override;
  ResultCode RYL_THISCALL SetFormatting(const RylChar16* indent, uint32_t indentLength, const RylChar16* lineBreak,
                                        uint32_t lineBreakLength) override;
  ResultCode RYL_THISCALL SetEscapeMode(uint32_t mode) override;
  ResultCode RYL_THISCALL WriteDeclaration(const RylChar16* version, uint32_t length) override;
  ResultCode RYL_THISCALL StartElement(const RylChar16* name, uint32_t length) override;
  ResultCode RYL_THISCALL EndElement() override { return End(false); }
  ResultCode RYL_THISCALL EndElementFull() override { return End(true); }
  ResultCode RYL_THISCALL WriteElement(const RylChar16* name, uint32_t nameLength, const RylChar16* text,
                                       uint32_t textLength) override;
  ResultCode RYL_THISCALL StartAttribute(const RylChar16* name, uint32_t length) override;
  ResultCode RYL_THISCALL EndAttribute() override;
  ResultCode RYL_THISCALL WriteAttribute(const RylChar16* name, uint32_t nameLength, const RylChar16* value,
                                         uint32_t valueLength) override;
  ResultCode RYL_THISCALL WriteText(const RylChar16* text, uint32_t length) override;
  ResultCode RYL_THISCALL WriteRaw(const RylChar16* text, uint32_t length) override;
  ResultCode RYL_THISCALL GetStatus() override { return status_; }

 private:
  enum class Escaping { kText, kAttribute };

  [[nodiscard]] ResultCode Put(const void* data, size_t size) noexcept;
  [[nodiscard]] ResultCode Put(const char* literal) noexcept;
  [[nodiscard]] ResultCode PutConverted(const char16_t* text, size_t length) noexcept;
  [[nodiscard]] ResultCode PutEscaped(const char16_t* text, size_t length, Escaping escaping) noexcept;
  [[nodiscard]] ResultCode WriteOut(const uint8_t* data, size_t size) noexcept;
  [[nodiscard]] ResultCode EmptyBuffer() noexcept;
  [[nodiscard]] ResultCode NewLine(size_t depth) noexcept;
  [[nodiscard]] ResultCode CheckAllowed(const char16_t* text, size_t length) const noexcept;
  [[nodiscard]] ResultCode End(bool full) noexcept;

  streams::HostStreamAdapter output_{nullptr};
  bool bound_ = false;
  uint8_t* buffer_ = nullptr;
  uint32_t fill_ = 0;
  State state_ = kNothingWritten;
  uint32_t escapeMode_ = RYL_XML_ESCAPE_ENCODE;
  ResultCode status_ = RYL_OK;
  std::vector<std::string> open_;  // UTF-8 names, innermost last
  std::string indent_;
  std::string lineBreak_;
  std::string scratch_;  // long runs, converted whole
};

// The root's CreateXmlWriter.
[[nodiscard]] ResultCode CreateXmlWriter(const ObjectReceiver* receiver, HostStream* output) noexcept;

}  // namespace ryl::xml
