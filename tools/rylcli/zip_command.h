#pragma once

namespace rylcli {

// rylcli zip list|extract|test|create|add|delete ...; argv starts after "zip".
int RunZip(int argc, wchar_t** argv);

}  // namespace rylcli
