// file.h -- reading regular files with a bound, writing files whole through a temporary and a rename
#ifndef TAVO_FILE_H
#define TAVO_FILE_H

#include <stddef.h>

#include <vector>

// Results: 0 for success, else an errno value or one of these.
#define FILE_NOT_REGULAR (-1)  // a FIFO, a device, a socket: never read
#define FILE_TOO_LARGE   (-2)  // above the bound the caller gave
#define FILE_READ_ONLY   (-3)  // no write permission bit: kept as it is

#define FILE_WORLD_MAX (256u << 20)  // larger maps, definition files and texts are refused

// Reads the whole of the regular file at path, at most max bytes, into
// out (emptied on failure).  Opened without blocking, so a FIFO answers at
// once, and checked on the opened descriptor, so a link swapped in between
// cannot slip a device past the check.  A folder gives EISDIR.
int file_read(const char *path, size_t max, std::vector<unsigned char> &out);
// The same, but a file longer than max gives its first max bytes.
int file_readHead(const char *path, size_t max, std::vector<unsigned char> &out);

// 0 when a file may be written at path: none is there, or a regular file
// that can be read and written and has a write permission bit (so even
// the superuser leaves a read-only file alone).  Else why not.
int file_replaceable(const char *path);

// Writes size bytes to a new file in path's folder, flushes it to the
// disk and renames it over path: path holds the old bytes or the new,
// never a part, and a link at path is replaced, not followed.  A replaced
// file's permissions carry over.  Refuses what file_replaceable refuses.
// Without replace, a file already at path is never touched: EEXIST.
int file_write(const char *path, const void *bytes, size_t size, bool replace = true);

// Flushes the folder holding path to the disk, so that a rename into it
// outlives a power cut; 0 or the errno of the call that failed.
int file_syncFolder(const char *path);
// Writes all size bytes to fd, again where a signal cut a write short;
// 0, or the errno of the write that failed.
int file_writeAll(int fd, const unsigned char *p, size_t size);

// What a file is on disk, to tell later whether it was replaced or written
// to since: which file, how long, when last written.  exists is false when
// nothing is there.
struct FileStamp {
    bool exists;
    unsigned long long device, inode, size;
    long long seconds, nanoseconds;
    bool operator==(const FileStamp &o) const;
    bool operator!=(const FileStamp &o) const { return !(*this == o); }
};
FileStamp file_stamp(const char *path);

// mkdir -p: makes path and the folders above it that are missing.  0 when
// path is a folder afterwards, else the errno of the call that failed.
int file_makeFolders(const char *path);

// True when both paths name the same existing file (links followed).
bool file_same(const char *a, const char *b);

// The reason for a result, as the system words it ("Permission denied").
const char *file_reason(int result);

#endif
