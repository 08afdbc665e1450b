// rylcli xml: checking a document and writing it back indented.
#pragma once

namespace rylcli {

// argv holds what follows "xml" on the command line.
int RunXml(int argc, wchar_t** argv);

}  // namespace rylcli
