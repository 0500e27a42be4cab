// Writing a zip of regular files, such as the feedback a class gets back.
// The same files give the same bytes: every entry carries one fixed time,
// owner 0 and mode 0644, and names are the callers' own, checked so that
// unzipping the result cannot write outside the folder it is unzipped in.
#ifndef LABELGRADE_ZIP_WRITER_H
#define LABELGRADE_ZIP_WRITER_H

#include <ctime>
#include <memory>
#include <string>
#include <string_view>

struct archive;

struct ZipWriterDeleter {
    void operator()(archive* handle) const;
};

// When SOURCE_DATE_EPOCH is unset, entries are dated the last day before
// zip's dates begin, 1979-12-31 00:00 UTC: zip keeps a date in local time
// and from 1980 on (libarchive writes the earliest for anything before),
// so this date is 1980-01-01 00:00 in the zip in every time zone, and a
// run writes the same bytes wherever it runs.  The exact time goes in the
// entry's UTC field, which unzip shows.
constexpr std::time_t fixedZipTime = 315446400;

// The time entries carry: SOURCE_DATE_EPOCH's value (`sourceDateEpoch`)
// when it is a decimal number of seconds, else fixedZipTime.  Under
// SOURCE_DATE_EPOCH the zip's local-time dates follow TZ: set TZ=UTC too
// for the same bytes in every zone.
std::time_t zipTime(const char* sourceDateEpoch);

struct ZipWriter {
    std::unique_ptr<archive, ZipWriterDeleter> handle;
    std::time_t time = fixedZipTime;
    int error = 0;        // errno of the failure
    std::string message;  // what failed
};

// Starts a zip in the open file `fd`, which stays the caller's to close;
// entries are dated zipTime(SOURCE_DATE_EPOCH).  False, with `error` and
// `message` set, on failure, as for the functions below.
bool openZipWriter(int fd, ZipWriter& zip);

// Adds the regular file `path` holding `bytes`, deflated.  A path that is
// absolute, climbs with `..`, holds a NUL or names nothing is refused
// (EINVAL); empty and `.` components are dropped.
bool addZipFile(ZipWriter& zip, std::string_view path, std::string_view bytes);

// Writes the central directory and ends the zip.  The zip is whole only
// when this returns true.
bool closeZipWriter(ZipWriter& zip);

#endif
