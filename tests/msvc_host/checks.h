// The service checks of the MSVC-ABI host, one function per area.
#pragma once

#include "ryl/ryl.h"

namespace msvc_host {

void CheckRoot(RootFactory* root);
void CheckStrings(RootFactory* root);
void CheckFiles(RootFactory* root);
void CheckArchives(RootFactory* root);
void CheckXml(RootFactory* root);
void CheckRegex(RootFactory* root);
void CheckCrypto(RootFactory* root);
void CheckAsync(RootFactory* root);
void CheckRegistry(RootFactory* root);

}  // namespace msvc_host
