// The release this SDK and module belong to: the one place it is written.
// The build reads it for the package version, both VERSIONINFO resources and
// the SDK archive's name. The interfaces carry their own versions
// (interface_ids.h), which a host checks through Query; this number is for
// people and installers.
#pragma once

#define RYL_SDK_VERSION_MAJOR 0
#define RYL_SDK_VERSION_MINOR 9
#define RYL_SDK_VERSION_PATCH 0
#define RYL_SDK_VERSION_STRING "0.9.0"
