// main_demo.cpp -- tavo --demo: the demo world beside the program, copied once into the user's data folder
#include "main.h"

#include <dirent.h>
#include <errno.h>
#include <ftw.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "entity.h"
#include "file.h"
#include "image.h"
#include "tile.h"

// The installed demo world, from the folder that holds the program.
#ifndef TAVO_DEMO_FROM_BIN
#define TAVO_DEMO_FROM_BIN "../share/tavo/demo"
#endif

static const char main_demoDef[] = "/DEF/demo.def";

static bool main_isFolder(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

static std::string main_userDataFolder(void)
{
    const char *data = getenv("XDG_DATA_HOME");
    if (data && data[0] == '/')  // a relative one is to be ignored
        return data;
    const char *home = getenv("HOME");
    return home && *home ? std::string(home) + "/.local/share" : "";
}

// Copies folders and regular files; links and anything else are left out,
// so the copy never reaches outside the demo.  0 with errno set on failure.
static int main_copyFolder(const std::string &from, const std::string &to)
{
    if (mkdir(to.c_str(), 0755) != 0 && errno != EEXIST)
        return 0;
    std::vector<std::string> names;
    if (DIR *dir = opendir(from.c_str())) {
        while (struct dirent *e = readdir(dir))
            if (strcmp(e->d_name, ".") && strcmp(e->d_name, ".."))
                names.push_back(e->d_name);
        closedir(dir);
    } else {
        return 0;
    }
    for (const std::string &name : names) {
        std::string in = from + "/" + name, out = to + "/" + name;
        struct stat st;
        if (lstat(in.c_str(), &st) != 0)
            return 0;
        if (S_ISDIR(st.st_mode)) {
            if (!main_copyFolder(in, out))
                return 0;
            continue;
        }
        if (!S_ISREG(st.st_mode))
            continue;
        std::vector<unsigned char> bytes;
        int result = file_read(in.c_str(), IMAGE_MAX_FILE, bytes);
        if (!result)
            result = file_write(out.c_str(), bytes.data(), bytes.size());
        if (result) {
            errno = result > 0 ? result : EIO;
            return 0;
        }
    }
    return 1;
}

static int main_removeEntry(const char *path, const struct stat *, int, struct FTW *)
{
    remove(path);
    return 0;
}

// Says why there is no demo world and returns "" for the caller to end on.
static std::string main_demoFailed(const std::string &what, const std::string &path, int err)
{
    fflush(stdout);
    fprintf(stderr, "tavo: %s %s: %s\n", what.c_str(), path.c_str(), strerror(err));
    return "";
}

// A copy cut short (a killed run) leaves a .demo-XXXXXX folder behind.  One
// older than any copy still being made is removed; a newer one may be
// another tavo's copy under way.
#define MAIN_DEMO_STALE (10 * 60)  // seconds

static void main_demoSweep(const std::string &folder)
{
    std::vector<std::string> stale;
    if (DIR *dir = opendir(folder.c_str())) {
        time_t now = time(nullptr);
        while (struct dirent *e = readdir(dir)) {
            std::string path = folder + "/" + e->d_name;
            struct stat st;
            if (strncmp(e->d_name, ".demo-", 6) == 0 && lstat(path.c_str(), &st) == 0 &&
                S_ISDIR(st.st_mode) && now - st.st_mtime > MAIN_DEMO_STALE)
                stale.push_back(path);
        }
        closedir(dir);
    }
    for (const std::string &path : stale)
        nftw(path.c_str(), main_removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

// The camera files of a damaged copy, carried into the new one: the
// user's view survives the repair.
static void main_demoKeepCameras(const std::string &from, const std::string &to)
{
    std::vector<std::string> names;
    if (DIR *dir = opendir((from + "/SYS/CAM").c_str())) {
        while (struct dirent *e = readdir(dir))
            names.push_back(e->d_name);
        closedir(dir);
    }
    for (const std::string &name : names) {
        std::vector<unsigned char> bytes;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".cam") == 0 &&
            file_read((from + "/SYS/CAM/" + name).c_str(), ENTITY_FILE_SIZE, bytes) == 0 &&
            file_makeFolders((to + "/SYS/CAM").c_str()) == 0)
            file_write((to + "/SYS/CAM/" + name).c_str(), bytes.data(), bytes.size());
    }
}

// A fresh folder for a copy in folder, as .demo-XXXXXX; "" and errno set
// when none can be made.
static std::string main_demoTemp(const std::string &folder)
{
    std::string pattern = folder + "/.demo-XXXXXX";
    std::vector<char> temp(pattern.begin(), pattern.end());
    temp.push_back('\0');
    return mkdtemp(temp.data()) ? std::string(temp.data()) : "";
}

std::string main_demoWorld(void)
{
    std::string bin = main_programFolder();
    // A build folder opens its own demo in place, as scripts/demo.sh does.
    if (!bin.empty() && access((bin + "/CMakeCache.txt").c_str(), F_OK) == 0 &&
        main_isFolder(bin + "/demo"))
        return bin + "/demo" + main_demoDef;
    std::string installed = bin + "/" TAVO_DEMO_FROM_BIN;
    if (bin.empty() || !main_isFolder(installed))
        return main_demoFailed("no demo world installed at", installed, ENOENT);

    std::string data = main_userDataFolder();
    if (data.empty())
        return main_demoFailed("no folder for the demo world:", "XDG_DATA_HOME and HOME", ENOENT);
    std::string folder = data + "/tavo", copy = folder + "/demo";
    main_demoSweep(folder);
    struct stat st;
    bool damaged = main_isFolder(copy);
    if (damaged && stat((copy + main_demoDef).c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return copy + main_demoDef;  // copied before: the saved camera with it
    if (int err = file_makeFolders(folder.c_str()))
        return main_demoFailed("cannot make", folder, err);

    // The copy is made under a temporary name and renamed when complete, so
    // a copy cut short is never taken for the demo world.
    std::string temp = main_demoTemp(folder);
    if (temp.empty())
        return main_demoFailed("cannot make a folder in", folder, errno);
    errno = 0;
    int copied = main_copyFolder(installed, temp);
    int err = errno;
    std::string old;
    if (copied && damaged) {
        // A copy that lost its definition file is made again; rename puts a
        // folder only over an empty one, so the damaged one moves aside first.
        fprintf(stderr, "tavo: %s: the demo world's definition file is missing; copying it again\n",
                copy.c_str());
        main_demoKeepCameras(copy, temp);
        old = main_demoTemp(folder);
        if (old.empty() || rename(copy.c_str(), old.c_str()) != 0)
            copied = 0, err = errno;
    }
    if (copied && rename(temp.c_str(), copy.c_str()) == 0) {
        if (!old.empty())
            nftw(old.c_str(), main_removeEntry, 16, FTW_DEPTH | FTW_PHYS);
        return copy + main_demoDef;
    }
    if (copied)
        err = errno;
    nftw(temp.c_str(), main_removeEntry, 16, FTW_DEPTH | FTW_PHYS);
    if (!old.empty())
        rmdir(old.c_str());
    // Another tavo may have finished the same copy first.
    if (copied && main_isFolder(copy))
        return copy + main_demoDef;
    return main_demoFailed("cannot copy the demo world to", copy, err ? err : EIO);
}
