#include "heap_in_use.h"

#include <malloc.h>

// The C runtime's heap, which the library shares with the host (both use
// msvcrt's malloc), walked block by block.
size_t HeapInUse() {
  _HEAPINFO entry = {};
  size_t used = 0;
  while (_heapwalk(&entry) == _HEAPOK)
    if (entry._useflag == _USEDENTRY) used += entry._size;
  return used;
}
