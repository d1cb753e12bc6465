// tile_watch.cpp -- noticing that the world's files changed: inotify on their folders, else their modification times once a second
#include "tile_world.h"
#include "tile_loading.h"
#include "tile_save.h"

#include <stdlib.h>
#include <string.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

#define TILE_QUIET 0.25      // seconds a change is left alone before it counts
#define TILE_CHECK_EVERY 1.0  // seconds between looks at modification times

namespace {

// One file as a folder entry: events name the folder's watch and the name.
struct TileWatched {
    std::string folder, name;
    int wd;                // the folder's watch, -1 when its times are looked at instead
    bool exists;           // what the last look at its times found
    struct timespec mtime;
    off_t size;
    ino_t inode;
};

bool tile_watching;
int tile_watchFd = -1;                 // inotify, -1 without
std::vector<TileWatched> tile_watched;
std::vector<int> tile_watchFolders;    // the folders' watches
unsigned int tile_watchSeen;           // the world generation watched
bool tile_watchStale;                  // a watched folder went away: watch anew
bool tile_watchPending;                // a change not yet quiet long enough
double tile_watchLast;                 // when the last change was seen
double tile_watchNext;                 // when times are looked at next
// The viewer's own saves: a file as the viewer left it, whose events are
// passed over while it stays so.
std::vector<std::pair<std::string, FileStamp>> tile_watchOwn;

bool tile_watchIsOwn(const std::string &path)
{
    for (auto &own : tile_watchOwn)
        if (own.first == path)
            return file_stamp(path.c_str()) == own.second;
    return false;
}

double tile_now(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + t.tv_nsec / 1e9;
}

std::string tile_real(const std::string &path)
{
    char *real = realpath(path.c_str(), nullptr);
    if (!real)
        return path;
    std::string out(real);
    free(real);
    return out;
}

// Looks at the file's times; true when they differ from the last look.
bool tile_watchLook(TileWatched *w)
{
    struct stat st;
    bool exists = stat((w->folder + "/" + w->name).c_str(), &st) == 0;
    if (!exists)
        memset(&st, 0, sizeof st);
    bool changed = exists != w->exists || st.st_mtim.tv_sec != w->mtime.tv_sec ||
                   st.st_mtim.tv_nsec != w->mtime.tv_nsec || st.st_size != w->size ||
                   st.st_ino != w->inode;
    w->exists = exists;
    w->mtime = st.st_mtim;
    w->size = st.st_size;
    w->inode = st.st_ino;
    return changed;
}

void tile_watchAdd(const std::string &folder, const std::string &name)
{
    for (const TileWatched &w : tile_watched)
        if (w.folder == folder && w.name == name)
            return;
    TileWatched w = {};
    w.folder = folder;
    w.name = name;
    w.wd = -1;
    tile_watchLook(&w);
    tile_watched.push_back(w);
}

// Each file under its own name in its folder (the folder resolved, so the
// name is the one events carry) and, for a link, the file it leads to.
void tile_watchArm(void)
{
    tile_watched.clear();
    for (const std::string &path : tile_files)
        for (const std::string &p : {tile_absolute(path), tile_real(path)}) {
            size_t slash = p.rfind('/');
            tile_watchAdd(slash == 0 ? "/" : p.substr(0, slash), p.substr(slash + 1));
        }
    std::vector<int> folders;
    if (tile_watchFd >= 0)
        for (TileWatched &w : tile_watched) {
            // Saving by rename replaces the file: only its folder sees that.
            w.wd = inotify_add_watch(tile_watchFd, w.folder.c_str(),
                                     IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_CREATE | IN_DELETE |
                                         IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF);
            if (w.wd >= 0)
                folders.push_back(w.wd);  // a folder watched already gives its watch again
        }
    for (int old : tile_watchFolders)
        if (std::find(folders.begin(), folders.end(), old) == folders.end())
            inotify_rm_watch(tile_watchFd, old);
    tile_watchFolders = folders;
    tile_watchSeen = tile_generation;
    tile_watchStale = false;
}

// Reads every event waiting; true when one touches a watched file.
bool tile_watchDrain(void)
{
    bool changed = false;
    alignas(struct inotify_event) char buf[4096];
    ssize_t n;
    while ((n = read(tile_watchFd, buf, sizeof buf)) > 0) {
        for (char *p = buf; p < buf + n;) {
            const struct inotify_event *e = (const struct inotify_event *)p;
            p += sizeof *e + e->len;
            if (e->mask & IN_Q_OVERFLOW) {
                changed = true;  // events were lost: any of them may have been ours
            } else if (std::count(tile_watchFolders.begin(), tile_watchFolders.end(), e->wd) &&
                       (e->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF))) {
                changed = tile_watchStale = true;
            } else if (e->len) {
                for (const TileWatched &w : tile_watched)
                    if (w.wd == e->wd && w.name == e->name && !tile_watchIsOwn(w.folder + "/" + w.name))
                        changed = true;
            }
        }
    }
    return changed;
}

}  // namespace

void tile_watchStart(bool inotify)
{
    tile_watchStop();
    tile_watching = true;
    if (inotify)
        tile_watchFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    tile_watchArm();
    tile_watchNext = tile_now() + TILE_CHECK_EVERY;
}

void tile_watchSaved(const char *path)
{
    for (TileWatched &w : tile_watched) {
        std::string watched = w.folder + "/" + w.name;
        if (!file_same(watched.c_str(), path))
            continue;
        tile_watchLook(&w);  // the times as saved are the ones to compare with
        tile_watchOwn.erase(std::remove_if(tile_watchOwn.begin(), tile_watchOwn.end(),
                                           [&](const std::pair<std::string, FileStamp> &o) {
                                               return o.first == watched;
                                           }),
                            tile_watchOwn.end());
        tile_watchOwn.push_back({watched, file_stamp(watched.c_str())});
    }
}

int tile_watchNotified(void)
{
    return tile_watchFd >= 0;
}

void tile_watchStop(void)
{
    if (tile_watchFd >= 0)
        close(tile_watchFd);
    tile_watchFd = -1;
    tile_watching = tile_watchPending = false;
    tile_watched.clear();
    tile_watchFolders.clear();
}

int tile_watchPoll(void)
{
    if (!tile_watching)
        return 0;
    // A new world may read other pictures.
    if (tile_watchSeen != tile_generation || tile_watchStale)
        tile_watchArm();
    double now = tile_now();
    bool changed = tile_watchFd >= 0 && tile_watchDrain();
    if (now >= tile_watchNext) {
        // The files no folder watch covers; while a change settles, often
        // enough to see it settle.
        for (TileWatched &w : tile_watched)
            if (w.wd < 0 && tile_watchLook(&w))
                changed = true;
        tile_watchNext = now + (tile_watchPending || changed ? TILE_QUIET : TILE_CHECK_EVERY);
    }
    if (changed) {
        tile_watchPending = true;
        tile_watchLast = now;
    }
    if (!tile_watchPending || now - tile_watchLast < TILE_QUIET)
        return 0;
    tile_watchPending = false;
    return 1;
}
