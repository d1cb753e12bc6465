// main_camera.cpp -- the camera file, written on a thread of its own and only when the pose changed
#include "main.h"

#include <pthread.h>
#include <stdlib.h>
#include <string.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "camera.h"
#include "entity.h"
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

int main_saveCamera(void)
{
    return main_cameraPath() && entity_writeFile(&camera, tempStr);
}

static void main_cameraWrite(MainCameraWriter *w, std::unique_lock<std::mutex> &lock)
{
    Entity pose = w->pose;
    std::string path = w->path;
    w->pending = false;
    w->writing = true;
    lock.unlock();
    bool done = entity_writeFile(&pose, path.c_str());
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
        entity_writeFile(&camera, tempStr);  // no thread to be had: write it now
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
