// export_output.h -- the export's temporary files: written in pieces, removed on failure and on SIGINT or SIGTERM
#ifndef TAVO_EXPORT_OUTPUT_H
#define TAVO_EXPORT_OUTPUT_H

#include <stddef.h>
#include <stdint.h>

#include <string>

// A new file beside a path, named as file_write names its own, removed
// when it is dropped unless placed.  While any is open, SIGINT and SIGTERM
// (unless ignored) remove them all and then end the process as the
// signal would have.
class ExportTemp {
public:
    ExportTemp() = default;
    ~ExportTemp();
    ExportTemp(const ExportTemp &) = delete;
    ExportTemp &operator=(const ExportTemp &) = delete;

    // 0, or the errno of the failure.
    int open(const std::string &beside, const char *tag);
    // Takes path, a file another writer is about to make (beside OUT), as
    // this temporary: removed on a signal and when this is dropped.
    int claim(const std::string &path);
    int write(const void *bytes, size_t size);
    int pad(size_t to, unsigned char with);  // to a multiple of to bytes
    // Appends from's bytes, as they are or as base64.
    int append(ExportTemp &from, bool base64);
    // Flushes to the disk and renames over path, taking the permissions of
    // the regular file it replaces.
    int place(const std::string &path);
    uint64_t size() const { return size_; }
    const std::string &path() const { return path_; }

private:
    void drop(void);
    std::string path_;
    int fd_ = -1, slot_ = -1;
    uint64_t size_ = 0;
};

// The base64 of n bytes (n a multiple of 3 unless last).
void export_base64(const unsigned char *in, size_t n, std::string *out);

#endif
