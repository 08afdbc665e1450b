#include "xml/xml_writer.h"

#include <cstdio>
#include <cstring>

#include "core/delivery.h"
#include "core/entry_guard.h"
#include "sys/heap.h"
#include "xml/utf8_output.h"

namespace ryl::xml {
namespace {

bool IsDisallowed(char16_t unit) noexcept {
  return unit <= 8 || unit == 11 || unit == 12 || (unit >= 14 && unit <= 31) || unit == 0xFFFE || unit == 0xFFFF;
}

const char16_t* Units(const RylChar16* text) noexcept { return reinterpret_cast<const char16_t*>(text); }

// Units are converted in slices this long: 3 bytes each at most.
constexpr size_t kSlice = 512;

}  // namespace

XmlWriter::~XmlWriter() {
  if (buffer_ != nullptr) sys::DefaultHeapFree(buffer_);
}

ResultCode XmlWriter::Bind(HostStream* output) noexcept {
  buffer_ = static_cast<uint8_t*>(sys::DefaultHeapAllocate(kBufferSize));
  if (buffer_ == nullptr) return RYL_E_OUT_OF_MEMORY;
  output_ = streams::HostStreamAdapter(output);
  bound_ = output != nullptr;
  return RYL_OK;
}

void* RYL_THISCALL XmlWriter::Query(uint32_t type, uint32_t version, uint8_t* outSupported) {
  const bool answered = type == RYL_TYPE_XML_WRITER && version < 2;
  if (outSupported != nullptr) *outSupported = answered ? 1 : 0;
  return answered ? static_cast<RylXmlWriter*>(this) : nullptr;
}

void RYL_THISCALL XmlWriter::Destroy(const AllocatorRecord* allocator) {
  (void)EmptyBuffer();
  const AllocatorRecord record = allocator != nullptr ? *allocator : core::kDefaultHeap;
  core::DestroyPlainObject(this, &record);
}

ResultCode XmlWriter::WriteOut(const uint8_t* data, size_t size) noexcept {
  if (!bound_) return RYL_E_NOT_OPEN;
  while (size > 0) {
    const uint32_t count = size > 0x40000000u ? 0x40000000u : static_cast<uint32_t>(size);
    uint32_t done = 0;
    const ResultCode written = output_.Write(data, count, &done);
    if (written < 0) return written;
    // A stream that takes nothing and reports no failure would loop for ever.
    if (done == 0 || done > count) return RYL_E_INVALID_STATE;
    data += done;
    size -= done;
  }
  return RYL_OK;
}

ResultCode XmlWriter::EmptyBuffer() noexcept {
  if (fill_ == 0) return RYL_OK;
  const ResultCode written = WriteOut(buffer_, fill_);
  fill_ = 0;
  return written;
}

ResultCode XmlWriter::Put(const void* data, size_t size) noexcept {
  if (status_ < 0) return status_;
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (size <= kBufferSize - fill_) {
    std::memcpy(buffer_ + fill_, bytes, size);
    fill_ += static_cast<uint32_t>(size);
    return RYL_OK;
  }
  ResultCode result = EmptyBuffer();
  if (result >= 0) {
    if (size > kBufferSize) {
      result = WriteOut(bytes, size);
    } else {
      std::memcpy(buffer_, bytes, size);
      fill_ = static_cast<uint32_t>(size);
    }
  }
  if (result < 0) status_ = result;
  return result;
}

ResultCode XmlWriter::Put(const char* literal) noexcept { return Put(literal, std::strlen(literal)); }

ResultCode XmlWriter::PutConverted(const char16_t* text, size_t length) noexcept {
  if (status_ < 0) return status_;
  if (length * 3 > kBufferSize) {
    // A long run is converted whole, so that what does not fit the buffer
    // goes to the stream in one write.
    try {
      scratch_.resize(length * 3);
    } catch (...) {
      return RYL_E_OUT_OF_MEMORY;
    }
    return Put(scratch_.data(), EncodeUtf8(text, length, reinterpret_cast<uint8_t*>(scratch_.data())));
  }
  // A short run is encoded straight into the buffer (3 bytes a unit at
  // most; a surrogate pair takes 4 for 2 units).
  if (length * 3 > kBufferSize - fill_) {
    const ResultCode emptied = EmptyBuffer();
    if (emptied < 0) {
      status_ = emptied;
      return emptied;
    }
  }
  fill_ += static_cast<uint32_t>(EncodeUtf8(text, length, buffer_ + fill_));
  return RYL_OK;
}

namespace {

// What each ASCII unit needs: 0 nothing, 1 escaped in text and attribute
// values, 2 escaped in attribute values only, 3 not allowed in XML (tab,
// line feed and carriage return are allowed).
constexpr uint8_t ClassOf(unsigned unit) noexcept {
  if (unit == '&' || unit == '<' || unit == '>') return 1;
  if (unit == '"' || unit == '\'') return 2;
  if (unit < 32 && unit != 9 && unit != 10 && unit != 13) return 3;
  return 0;
}

struct AsciiClasses {
  uint8_t of[128];
  constexpr AsciiClasses() : of{} {
    for (unsigned unit = 0; unit < 128; ++unit) of[unit] = ClassOf(unit);
  }
};
constexpr AsciiClasses kAscii;

const char* Replacement(char16_t unit) noexcept {
  switch (unit) {
    case u'&':
      return "&amp;";
    case u'<':
      return "&lt;";
    case u'>':
      return "&gt;";
    case u'"':
      return "&quot;";
    default:
      return "&apos;";
  }
}

}  // namespace

ResultCode XmlWriter::PutEscaped(const char16_t* text, size_t length, Escaping escaping) noexcept {
  const uint8_t quotes = escaping == Escaping::kAttribute ? 2 : 1;
  size_t runStart = 0;
  for (size_t i = 0; i < length; ++i) {
    const char16_t unit = text[i];
    uint8_t kind = 0;
    if (unit < 128) {
      kind = kAscii.of[unit];
      if (kind == 0 || kind > quotes) {
        if (kind != 3) continue;
      }
    } else if (unit >= 0xFFFE) {
      kind = 3;
    } else {
      continue;
    }
    const char* replacement = nullptr;
    char encoded[12];
    if (kind == 3) {
      if (escapeMode_ == RYL_XML_ESCAPE_VERBATIM) continue;
      if (escapeMode_ == RYL_XML_ESCAPE_ENCODE) {
        std::snprintf(encoded, sizeof encoded, "&#x%x;", static_cast<unsigned>(unit));
        replacement = encoded;
      }
    } else {
      replacement = Replacement(unit);
    }
    ResultCode put = PutConverted(text + runStart, i - runStart);
    if (put >= 0 && replacement != nullptr) put = Put(replacement);
    if (put < 0) return put;
    runStart = i + 1;
  }
  return PutConverted(text + runStart, length - runStart);
}

ResultCode XmlWriter::CheckAllowed(const char16_t* text, size_t length) const noexcept {
  if (!IsConvertible(text, length)) return RYL_E_BAD_FORMAT;
  if (escapeMode_ != RYL_XML_ESCAPE_REFUSE) return RYL_OK;
  for (size_t i = 0; i < length; ++i) {
    if (IsDisallowed(text[i])) return RYL_E_BAD_FORMAT;
  }
  return RYL_OK;
}

ResultCode XmlWriter::NewLine(size_t depth) noexcept {
  if (state_ != kLineStart) {
    const ResultCode put = Put(lineBreak_.data(), lineBreak_.size());
    if (put < 0) return put;
    state_ = kLineStart;
  }
  for (size_t i = 0; i < depth; ++i) {
    const ResultCode put = Put(indent_.data(), indent_.size());
    if (put < 0) return put;
  }
  return RYL_OK;
}

ResultCode RYL_THISCALL XmlWriter::Flush() {
  if (status_ < 0) return status_;
  if (state_ == kAfterTag && open_.empty()) {
    const ResultCode line = NewLine(0);
    if (line < 0) return line;
  }
  const ResultCode emptied = EmptyBuffer();
  if (emptied < 0) status_ = emptied;
  return emptied;
}

ResultCode RYL_THISCALL XmlWriter::SetFormatting(const RylChar16* indent, uint32_t indentLength,
                                                 const RylChar16* lineBreak, uint32_t lineBreakLength) {
  if ((indent == nullptr && indentLength != 0) || (lineBreak == nullptr && lineBreakLength != 0)) {
    return RYL_E_INVALID_ARG;
  }
  return core::GuardEntry([&]() -> ResultCode {
    std::string newIndent, newLineBreak;
    ResultCode result = ToUtf8(Units(indent), indentLength, &newIndent);
    if (result >= 0) result = ToUtf8(Units(lineBreak), lineBreakLength, &newLineBreak);
    if (result < 0) return result;
    indent_ = std::move(newIndent);
    lineBreak_ = std::move(newLineBreak);
    return RYL_OK;
  });
}

ResultCode RYL_THISCALL XmlWriter::SetEscapeMode(uint32_t mode) {
  if (mode > RYL_XML_ESCAPE_VERBATIM) return RYL_E_INVALID_ARG;
  escapeMode_ = mode;
  return RYL_OK;
}

ResultCode RYL_THISCALL XmlWriter::WriteDeclaration(const RylChar16* version, uint32_t length) {
  if (status_ < 0) return status_;
  if (version == nullptr && length != 0) return RYL_E_INVALID_ARG;
  const ResultCode allowed = CheckAllowed(Units(version), length);
  if (allowed < 0) return allowed;
  ResultCode result = Put("<?xml version=\"");
  if (result >= 0) result = PutEscaped(Units(version), length, Escaping::kAttribute);
  if (result >= 0) result = Put("\" encoding=\"utf-8\"?>");
  if (result >= 0) state_ = kAfterText;
  return result;
}

ResultCode RYL_THISCALL XmlWriter::StartElement(const RylChar16* name, uint32_t length) {
  if (status_ < 0) return status_;
  if (name == nullptr) return RYL_E_INVALID_ARG;
  if (length == RYL_XML_NUL_TERMINATED) {
    length = 0;
    while (name[length] != 0) ++length;
  }
  return core::GuardEntry([&]() -> ResultCode {
    std::string converted;
    ResultCode result = ToUtf8(Units(name), length, &converted);
    if (result < 0) return result;
    open_.push_back(std::move(converted));
    if (state_ == kInStartTag) {
      result = Put(">");
      if (result < 0) return result;
      state_ = kAfterTag;
    } else if (state_ == kNothingWritten) {
      state_ = kLineStart;
    }
    result = NewLine(open_.size() - 1);
    if (result >= 0) result = Put("<");
    if (result >= 0) result = Put(open_.back().data(), open_.back().size());
    if (result >= 0) state_ = kInStartTag;
    return result;
  });
}

ResultCode XmlWriter::End(bool full) noexcept {
  if (status_ < 0) return status_;
  // Nothing open: the caller's calls are unbalanced, and popping would read
  // an empty stack.
  if (open_.empty()) return RYL_E_INVALID_STATE;
  const std::string& name = open_.back();
  ResultCode result = RYL_OK;
  switch (state_) {
    case kAfterTag:
      result = NewLine(open_.size() - 1);
      if (result >= 0) result = Put("</");
      if (result >= 0) result = Put(name.data(), name.size());
      if (result >= 0) result = Put(">");
      break;
    case kInStartTag:
      if (!full) {
        result = Put("/>");
        break;
      }
      result = Put("></");
      if (result >= 0) result = Put(name.data(), name.size());
      if (result >= 0) result = Put(">");
      break;
    case kAfterText:
      result = Put("</");
      if (result >= 0) result = Put(name.data(), name.size());
      if (result >= 0) result = Put(">");
      break;
    default:
      break;
  }
  if (result < 0) return result;
  open_.pop_back();
  state_ = kAfterTag;
  return RYL_OK;
}

ResultCode RYL_THISCALL XmlWriter::WriteElement(const RylChar16* name, uint32_t nameLength, const RylChar16* text,
                                                uint32_t textLength) {
  ResultCode result = StartElement(name, nameLength);
  if (result >= 0) result = WriteText(text, textLength);
  if (result >= 0) result = EndElement();
  return result;
}

ResultCode RYL_THISCALL XmlWriter::StartAttribute(const RylChar16* name, uint32_t length) {
  if (status_ < 0) return status_;
  if (name == nullptr && length != 0) return RYL_E_INVALID_ARG;
  if (!IsConvertible(Units(name), length)) return RYL_E_BAD_FORMAT;
  ResultCode result = Put(" ");
  if (result >= 0) result = PutConverted(Units(name), length);
  if (result >= 0) result = Put("=\"");
  if (result >= 0) state_ = kInAttributeValue;
  return result;
}

ResultCode RYL_THISCALL XmlWriter::EndAttribute() {
  if (status_ < 0) return status_;
  const ResultCode result = Put("\"");
  if (result >= 0) state_ = kInStartTag;
  return result;
}

ResultCode RYL_THISCALL XmlWriter::WriteAttribute(const RylChar16* name, uint32_t nameLength, const RylChar16* value,
                                                  uint32_t valueLength) {
  if (status_ < 0) return status_;
  if ((name == nullptr && nameLength != 0) || (value == nullptr && valueLength != 0)) return RYL_E_INVALID_ARG;
  if (!IsConvertible(Units(name), nameLength)) return RYL_E_BAD_FORMAT;
  const ResultCode allowed = CheckAllowed(Units(value), valueLength);
  if (allowed < 0) return allowed;
  ResultCode result = Put(" ");
  if (result >= 0) result = PutConverted(Units(name), nameLength);
  if (result >= 0) result = Put("=\"");
  if (result >= 0) result = PutEscaped(Units(value), valueLength, Escaping::kAttribute);
  if (result >= 0) result = Put("\"");
  if (result >= 0) state_ = kInStartTag;
  return result;
}

ResultCode RYL_THISCALL XmlWriter::WriteText(const RylChar16* text, uint32_t length) {
  if (status_ < 0) return status_;
  if (length == 0) return RYL_OK;
  if (text == nullptr) return RYL_E_INVALID_ARG;
  const ResultCode allowed = CheckAllowed(Units(text), length);
  if (allowed < 0) return allowed;
  ResultCode result = RYL_OK;
  switch (state_) {
    case kInAttributeValue:
      return PutEscaped(Units(text), length, Escaping::kAttribute);
    case kInStartTag:
      result = Put(">");
      break;
    case kAfterTag:
      result = NewLine(open_.size());
      break;
    case kAfterText:
      break;
    default:
      return RYL_E_NOT_IMPLEMENTED;
  }
  if (result >= 0) result = PutEscaped(Units(text), length, Escaping::kText);
  if (result >= 0) state_ = kAfterText;
  return result;
}

ResultCode RYL_THISCALL XmlWriter::WriteRaw(const RylChar16* text, uint32_t length) {
  if (status_ < 0) return status_;
  if (length == 0) return RYL_OK;
  if (text == nullptr) return RYL_E_INVALID_ARG;
  if (!IsConvertible(Units(text), length)) return RYL_E_BAD_FORMAT;
  ResultCode result = state_ == kInStartTag ? Put(">") : RYL_OK;
  if (result < 0) return result;
  state_ = kAfterText;
  return PutConverted(Units(text), length);
}

ResultCode CreateXmlWriter(const ObjectReceiver* receiver, HostStream* output) noexcept {
  return core::CreateAndDeliver<XmlWriter>(receiver, core::Placement::kReceiverAllocator,
                                           [&](XmlWriter& writer) { return writer.Bind(output); });
}

}  // namespace ryl::xml
