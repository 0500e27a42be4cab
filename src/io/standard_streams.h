// Standard input, output and error, made sure of before anything is opened:
// a descriptor among them that is closed would be the next file opened, and
// a report, a gradebook or a message would be written into that file.
#ifndef LABELGRADE_STANDARD_STREAMS_H
#define LABELGRADE_STANDARD_STREAMS_H

struct StandardStreams {
    bool ready = true;          // false: a closed one could not be filled
    bool outputClosed = false;  // standard output was closed: nothing written there reaches anyone
};

// Opens /dev/null on each of descriptors 0 to 2 that is closed.
StandardStreams guardStandardStreams();

#endif
