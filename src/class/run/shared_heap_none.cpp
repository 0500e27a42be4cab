#include "class/run/shared_heap.h"

void shareOneHeap() {}
