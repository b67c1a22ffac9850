#include "heap_in_use.h"

#include <malloc.h>

size_t HeapInUse() {
  struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}
