#ifndef LABELGRADE_SHARED_HEAP_H
#define LABELGRADE_SHARED_HEAP_H

// Has every thread started after it allocate from one heap.  An archive's
// run allocates in one thread (its listing, then the files it reads) what
// others free, and grows in others (the evidence): with a heap per thread,
// what one frees stays the process's without the others reusing it, and a
// class of 20,000 would hold a third more than it uses.  Where the C
// library keeps no heaps per thread, it does nothing.
void shareOneHeap();

#endif
