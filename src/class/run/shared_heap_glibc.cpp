#include "class/run/shared_heap.h"

#include <malloc.h>

void shareOneHeap()
{
    mallopt(M_ARENA_MAX, 1);
}
