// Where temporary files go and what they are called.
#include "core/output_writer.h"
#include "core/result_helpers.h"
#include "fs/file_operations.h"
#include "fs/nt_path.h"
#include "strings/path_scratch_buffer.h"
#include "sys/environment_variable.h"
#include "sys/temp_name.h"

namespace ryl::fs {
namespace {

// The variable's value into *out, growing it as needed; kVariableNotSet when
// it is not set.
ResultCode ReadVariable(const char16_t* name, strings::PathScratchBuffer* out) noexcept {
  out->Clear();
  // A bound only against a value that keeps growing between the calls.
  for (int attempt = 0; attempt < 8; ++attempt) {
    sys::RylWideStringRecord record{out->data(), out->capacity(), 0};
    uint32_t needed = 0;
    const ResultCode rc = sys::RylEnvironment::GetEnvironmentVar(name, &record, &needed);
    if (rc == RYL_E_OUT_OF_RANGE && needed != 0) {
      RYL_RETURN_IF_FAILED(out->Reserve(needed - 1));
      continue;
    }
    if (rc < 0 || rc == sys::RylEnvironment::kVariableNotSet) return rc;
    RYL_RETURN_IF_FAILED(out->Resize(record.length));
    return rc;
  }
  return RYL_E_OUT_OF_RANGE;
}

}  // namespace

ResultCode GetTempDirectory(OutputBuffer* out) noexcept {
  if (out == nullptr) return RYL_E_INVALID_ARG;
  strings::PathScratchBuffer value;
  for (const char16_t* name : {u"TMP", u"TEMP", u"USERPROFILE"}) {
    const ResultCode rc = ReadVariable(name, &value);
    if (rc == sys::RylEnvironment::kVariableNotSet) continue;
    RYL_RETURN_IF_FAILED(rc);
    return GetFullPath(out, strings::PathText(value.data(), value.size()));
  }
  return RYL_E_PATH_NOT_FOUND;
}

ResultCode MakeTempFileName(OutputBuffer* out) noexcept {
  if (out == nullptr) return RYL_E_INVALID_ARG;
  char16_t name[kTempFileNameLength];
  RYL_RETURN_IF_FAILED(sys::RylMakeTempFileName(name));
  return core::WriteOutput(out, name, kTempFileNameLength);
}

}  // namespace ryl::fs
