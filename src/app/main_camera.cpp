// main_camera.cpp -- the camera file, written on a thread of its own and only when the pose changed
#include "main.h"

#include <errno.h>
#include <pthread.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <atomic>

#include <condition_variable>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "camera.h"
#include "entity.h"
#include "error.h"
#include "file.h"
#include "tile.h"

// A slow disk must not stop the flight: the tick hands the pose over and
// the writer takes the latest one.  Made once and never destroyed, so the
// writer can still be waited on while the process ends.
struct MainCameraWriter {
    std::mutex mutex;
    std::condition_variable wake, idle;
    bool pending = false, writing = false;
    std::string path;  // of the pose pending
    Entity pose;
    std::string writtenPath;  // of the last pose on disk, "" for none
    unsigned char written[ENTITY_FILE_SIZE];
};

static MainCameraWriter *main_writer;

// A forked child has no writer thread: nothing there to wait for.
static void main_cameraForked(void)
{
    main_writer = nullptr;
}

// The camera file's path into tempStr; 0 when there is no world or it
// would not fit.
static int main_cameraPath(void)
{
    if (!tile_file[0])
        return 0;  // no world loaded, no camera file to keep
    int n = snprintf(tempStr, sizeof tempStr, "%sSYS/CAM/%s", tile_root, tile_file);
    if (n < 0 || (size_t)n >= sizeof tempStr)
        return 0;  // a cut path would name some other file
    // A world made on a case-blind file system may spell it sys/cam.
    std::string resolved = tile_resolvePath(tempStr);
    if (resolved.size() < sizeof tempStr)
        memcpy(tempStr, resolved.c_str(), resolved.size() + 1);
    return 1;
}

// The cause of the last save that failed, 0 after one that did not: each
// cause is told once, not at every save.
static std::atomic<int> main_cameraFailed;

// Writes pose to path, making the world's SYS/CAM folder when it is
// missing (never the world's own folder): 0, or why not, told on standard
// error when the cause is new.
static int main_cameraStore(const Entity *pose, const std::string &path)
{
    int err = 0;
    if (const char *wrong = entity_check(pose)) {
        err = EDOM;
        if (main_cameraFailed.exchange(err) != err)
            error_report(path.c_str(), (std::string(wrong) + "; the camera pose is not saved").c_str());
        return err;
    }
    std::string folder = path.substr(0, path.rfind('/')), sys = folder.substr(0, folder.rfind('/'));
    for (const std::string &made : {sys, folder})
        if (!err && mkdir(made.c_str(), 0777) != 0 && errno != EEXIST)
            err = errno;
    unsigned char bytes[ENTITY_FILE_SIZE];
    entity_toBytes(pose, bytes);
    if (!err)
        err = file_write(path.c_str(), bytes, sizeof bytes);
    if (main_cameraFailed.exchange(err) != err && err)
        error_report(path.c_str(), (std::string(file_reason(err)) + "; the camera pose is not saved").c_str());
    return err;
}

int main_saveCamera(void)
{
    return main_cameraPath() && main_cameraStore(&camera, tempStr) == 0;
}

static void main_cameraWrite(MainCameraWriter *w, std::unique_lock<std::mutex> &lock)
{
    Entity pose = w->pose;
    std::string path = w->path;
    w->pending = false;
    w->writing = true;
    lock.unlock();
    bool done = main_cameraStore(&pose, path) == 0;
    lock.lock();
    // A failed write is tried again at the next save, changed or not.
    w->writtenPath = done ? path : "";
    entity_toBytes(&pose, w->written);
    w->writing = false;
    w->idle.notify_all();
}

static void main_cameraWriter(MainCameraWriter *w)
{
    std::unique_lock<std::mutex> lock(w->mutex);
    for (;;) {
        w->wake.wait(lock, [w] { return w->pending; });
        main_cameraWrite(w, lock);
    }
}

void main_cameraWait(void)
{
    if (!main_writer)
        return;
    std::unique_lock<std::mutex> lock(main_writer->mutex);
    main_writer->idle.wait(lock, [] { return !main_writer->pending && !main_writer->writing; });
}

static MainCameraWriter *main_cameraStart(void)
{
    MainCameraWriter *w = new MainCameraWriter;
    try {
        std::thread(main_cameraWriter, w).detach();
    } catch (const std::system_error &) {
        delete w;
        return nullptr;
    }
    main_writer = w;
    pthread_atfork(nullptr, nullptr, main_cameraForked);
    atexit(main_cameraWait);  // the last pose handed over reaches the disk
    return w;
}

void main_queueCamera(void)
{
    if (!main_cameraPath())
        return;
    static MainCameraWriter *w = main_cameraStart();
    if (!w) {
        main_cameraStore(&camera, tempStr);  // no thread to be had: write it now
        return;
    }
    unsigned char bytes[ENTITY_FILE_SIZE];
    entity_toBytes(&camera, bytes);
    std::lock_guard<std::mutex> lock(w->mutex);
    // The same pose for the same file: the disk already holds it.
    if (!w->pending && !w->writing && w->writtenPath == tempStr &&
        memcmp(w->written, bytes, sizeof bytes) == 0)
        return;
    w->pose = camera;
    w->path = tempStr;
    w->pending = true;
    w->wake.notify_one();
}
