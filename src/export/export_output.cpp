// export_output.cpp -- the export's temporary files: written in pieces, removed on failure and on SIGINT or SIGTERM
#include "export_output.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "file.h"

namespace {

// The open temporary files by name, for the signal handler: plain arrays,
// since a handler may only unlink what is already there.
const int EXPORT_SLOTS = 4;
char export_slots[EXPORT_SLOTS][4096];
volatile sig_atomic_t export_slotUsed[EXPORT_SLOTS];
int export_open = 0;
struct sigaction export_oldInt, export_oldTerm;

void export_onSignal(int sig)
{
    for (int i = 0; i < EXPORT_SLOTS; i++)
        if (export_slotUsed[i])
            unlink(export_slots[i]);
    signal(sig, SIG_DFL);
    raise(sig);
}

// A signal ignored when the program started (nohup, a background job)
// stays ignored.
void export_catch(int sig, struct sigaction *old)
{
    struct sigaction now;
    memset(&now, 0, sizeof now);
    sigemptyset(&now.sa_mask);
    now.sa_handler = export_onSignal;
    if (sigaction(sig, nullptr, old) == 0 && old->sa_handler != SIG_IGN)
        sigaction(sig, &now, nullptr);
}

}  // namespace

void export_base64(const unsigned char *in, size_t n, std::string *out)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (size_t i = 0; i < n; i += 3) {
        unsigned v = (unsigned)in[i] << 16 | (i + 1 < n ? (unsigned)in[i + 1] << 8 : 0) |
                     (i + 2 < n ? in[i + 2] : 0);
        out->push_back(digits[v >> 18]);
        out->push_back(digits[v >> 12 & 63]);
        out->push_back(i + 1 < n ? digits[v >> 6 & 63] : '=');
        out->push_back(i + 2 < n ? digits[v & 63] : '=');
    }
}

ExportTemp::~ExportTemp()
{
    drop();
}

int ExportTemp::claim(const std::string &path)
{
    drop();
    for (int i = 0; i < EXPORT_SLOTS && slot_ < 0; i++)
        if (!export_slotUsed[i])
            slot_ = i;
    if (slot_ < 0)
        return EMFILE;
    path_ = path;
    if (path_.size() >= sizeof export_slots[0]) {
        slot_ = -1;
        return ENAMETOOLONG;
    }
    memcpy(export_slots[slot_], path_.c_str(), path_.size() + 1);
    if (export_open++ == 0) {
        export_catch(SIGINT, &export_oldInt);
        export_catch(SIGTERM, &export_oldTerm);
    }
    // Marked before it exists, so that no moment has it on disk unmarked.
    export_slotUsed[slot_] = 1;
    size_ = 0;
    return 0;
}

int ExportTemp::open(const std::string &beside, const char *tag)
{
    size_t slash = beside.rfind('/');
    if (int err = claim(beside.substr(0, slash == std::string::npos ? 0 : slash + 1) + ".tavo-" +
                        std::to_string((long)getpid()) + "-" + tag + ".tmp"))
        return err;
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        int err = errno;
        drop();
        return err;
    }
    return 0;
}

void ExportTemp::drop(void)
{
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
    if (slot_ < 0)
        return;
    if (export_slotUsed[slot_])
        unlink(path_.c_str());
    export_slotUsed[slot_] = 0;
    slot_ = -1;
    if (--export_open == 0) {
        sigaction(SIGINT, &export_oldInt, nullptr);
        sigaction(SIGTERM, &export_oldTerm, nullptr);
    }
}

int ExportTemp::write(const void *bytes, size_t size)
{
    if (fd_ < 0)
        return EBADF;
    int err = file_writeAll(fd_, (const unsigned char *)bytes, size);
    if (!err)
        size_ += size;
    return err;
}

int ExportTemp::pad(size_t to, unsigned char with)
{
    static const unsigned char fill[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    unsigned char spaces[8];
    memset(spaces, with, sizeof spaces);
    size_t n = (size_t)((to - size_ % to) % to);
    return n ? write(with ? spaces : fill, n) : 0;
}

int ExportTemp::append(ExportTemp &from, bool base64)
{
    if (lseek(from.fd_, 0, SEEK_SET) != 0)
        return errno;
    std::vector<unsigned char> block((size_t)3 << 18);
    std::string text;
    size_t held = 0;
    for (;;) {
        ssize_t n = read(from.fd_, block.data() + held, block.size() - held);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        held += (size_t)n;
        // Base64 goes in groups of three bytes but for the very end.
        if (held == block.size() || n == 0) {
            int err;
            if (base64) {
                text.clear();
                export_base64(block.data(), held, &text);
                err = write(text.data(), text.size());
            } else {
                err = write(block.data(), held);
            }
            if (err)
                return err;
            held = 0;
        }
        if (n == 0)
            return 0;
    }
}

int ExportTemp::place(const std::string &path)
{
    int err = file_replaceable(path.c_str());
    struct stat old;
    if (!err && lstat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode) && fchmod(fd_, old.st_mode & 07777) != 0)
        err = errno;
    if (!err && fsync(fd_) != 0)
        err = errno;
    if (!err && rename(path_.c_str(), path.c_str()) != 0)
        err = errno;
    if (!err)
        export_slotUsed[slot_] = 0;  // it is path now
    drop();
    return err;
}
