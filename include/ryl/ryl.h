// The whole SDK: exports, records, result codes and every interface.
#pragma once

#include "ryl/archive_factory.h"
#include "ryl/async.h"
#include "ryl/crypto.h"
#include "ryl/enumeration.h"
#include "ryl/file_system_service.h"
#include "ryl/interface_ids.h"
#include "ryl/platform.h"
#include "ryl/records.h"
#include "ryl/registry.h"
#include "ryl/result.h"
#include "ryl/root_factory.h"
#include "ryl/security.h"
#include "ryl/streams.h"
#include "ryl/string_service.h"
#include "ryl/xml.h"
#include "ryl/zip.h"
