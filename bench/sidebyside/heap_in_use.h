// The heap the process holds in use, in bytes: what the host measures
// around a load to tell the document's size.
#pragma once

#include <cstddef>

size_t HeapInUse();
