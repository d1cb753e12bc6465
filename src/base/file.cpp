// file.cpp -- reading regular files with a bound, writing files whole through a temporary and a rename
#include "file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <new>
#include <string>

// Reads up to max bytes of a regular file; a file longer than max is too
// large unless the head alone is wanted.
static int file_readBounded(const char *path, size_t max, bool head, std::vector<unsigned char> &out)
{
    out.clear();
    // O_NONBLOCK: opening a FIFO with no writer would otherwise wait forever.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return errno;
    struct stat st;
    int result = 0;
    if (fstat(fd, &st) != 0)
        result = errno;
    else if (S_ISDIR(st.st_mode))
        result = EISDIR;
    else if (!S_ISREG(st.st_mode))
        result = FILE_NOT_REGULAR;
    else if (!head && (unsigned long long)st.st_size > max)
        result = FILE_TOO_LARGE;
    try {
        // The size is a hint; a file that grows meanwhile still stops at max.
        size_t want = result ? 0 : (size_t)st.st_size < max ? (size_t)st.st_size : max;
        out.resize(want);
        size_t got = 0;
        while (!result && got <= max) {
            if (got == out.size())
                out.resize(got + 65536 < max + 1 ? got + 65536 : max + 1);
            ssize_t n = read(fd, out.data() + got, out.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                result = errno;
            if (n <= 0)
                break;
            got += (size_t)n;
        }
        out.resize(got);
        if (!result && got > max) {
            if (head)
                out.resize(max);
            else
                result = FILE_TOO_LARGE;
        }
    } catch (const std::bad_alloc &) {
        result = ENOMEM;
    }
    close(fd);
    if (result)
        std::vector<unsigned char>().swap(out);
    return result;
}

int file_read(const char *path, size_t max, std::vector<unsigned char> &out)
{
    return file_readBounded(path, max, false, out);
}

int file_readHead(const char *path, size_t max, std::vector<unsigned char> &out)
{
    return file_readBounded(path, max, true, out);
}

int file_replaceable(const char *path)
{
    struct stat st;
    if (stat(path, &st) != 0)
        return errno == ENOENT ? 0 : errno;
    if (S_ISDIR(st.st_mode))
        return EISDIR;
    if (!S_ISREG(st.st_mode))
        return FILE_NOT_REGULAR;
    if (access(path, R_OK | W_OK) != 0)
        return errno;
    return st.st_mode & 0222 ? 0 : FILE_READ_ONLY;
}

int file_writeAll(int fd, const unsigned char *p, size_t size)
{
    while (size > 0) {
        ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        p += n;
        size -= (size_t)n;
    }
    return 0;
}

// Moves temp onto path only when path is free, in one step, so that two
// writers can never both take the same name.
static int file_placeNew(const char *temp, const char *path)
{
    if (renameat2(AT_FDCWD, temp, AT_FDCWD, path, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without the no-replace rename: a hard link fails just
    // the same on a taken name.
    if (link(temp, path) != 0)
        return errno;
    unlink(temp);
    return 0;
}

int file_write(const char *path, const void *bytes, size_t size, bool replace)
{
    int result = replace ? file_replaceable(path) : 0;
    if (result)
        return result;
    struct stat old;
    bool replacing = replace && lstat(path, &old) == 0 && S_ISREG(old.st_mode);
    // Beside the file, so the rename stays on one file system; numbered, as
    // pictures may be written from several threads at once.  A name of its
    // own, not path's with more added: that may pass the longest name.
    static std::atomic<unsigned> serial{0};
    const char *slash = strrchr(path, '/');
    std::string temp = std::string(path, slash ? (size_t)(slash + 1 - path) : 0) + ".tavo-" +
                       std::to_string((long)getpid()) + "-" + std::to_string(serial++) + ".tmp";
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    result = file_writeAll(fd, (const unsigned char *)bytes, size);
    if (!result && replacing && fchmod(fd, old.st_mode & 07777) != 0)
        result = errno;
    if (!result && fsync(fd) != 0)
        result = errno;
    if (close(fd) != 0 && !result)
        result = errno;
    if (!result)
        result = !replace ? file_placeNew(temp.c_str(), path)
                          : rename(temp.c_str(), path) != 0 ? errno : 0;
    if (result)
        unlink(temp.c_str());
    return result;
}

int file_syncFolder(const char *path)
{
    const char *slash = strrchr(path, '/');
    std::string folder = slash ? std::string(path, (size_t)(slash - path)) : ".";
    int fd = open(folder.empty() ? "/" : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int result = fsync(fd) == 0 ? 0 : errno;
    close(fd);
    return result;
}

bool FileStamp::operator==(const FileStamp &o) const
{
    return exists == o.exists && device == o.device && inode == o.inode && size == o.size &&
           seconds == o.seconds && nanoseconds == o.nanoseconds;
}

FileStamp file_stamp(const char *path)
{
    struct stat st;
    if (stat(path, &st) != 0)
        return FileStamp{false, 0, 0, 0, 0, 0};
    return FileStamp{true, (unsigned long long)st.st_dev, (unsigned long long)st.st_ino,
                     (unsigned long long)st.st_size, (long long)st.st_mtim.tv_sec,
                     (long long)st.st_mtim.tv_nsec};
}

int file_makeFolders(const char *path)
{
    std::string part(path);
    for (size_t i = 1; i <= part.size(); i++) {
        if (i < part.size() && part[i] != '/')
            continue;
        std::string folder = part.substr(0, i);
        struct stat st;
        if (stat(folder.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode))
                return ENOTDIR;
        } else if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
            return errno;
        }
    }
    return 0;
}

bool file_same(const char *a, const char *b)
{
    struct stat sa, sb;
    return stat(a, &sa) == 0 && stat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

const char *file_reason(int result)
{
    switch (result) {
    case FILE_NOT_REGULAR: return "Not a regular file";
    case FILE_TOO_LARGE:   return "File too large";
    case FILE_READ_ONLY:   return "Read-only file";
    default:               return strerror(result);
    }
}
