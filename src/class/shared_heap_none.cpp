#include "shared_heap.h"

void shareOneHeap() {}
