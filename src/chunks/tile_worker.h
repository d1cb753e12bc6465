// tile_worker.h -- a builder thread of free look's: started once, when first wanted, and joined at exit
#ifndef TAVO_TILE_WORKER_H
#define TAVO_TILE_WORKER_H

#include <stdio.h>
#include <stdlib.h>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

// Starts worker on work unless it runs or *stopping is set; stop, which
// must end it (tile_workerStop), runs at exit, before the tables the
// worker reads are torn down.  Without a thread, says noThread on
// standard error and sets *stopping, so that nothing waits for builds.
inline void tile_workerStart(std::thread &worker, bool *stopping, void (*work)(void), void (*stop)(void),
                             const char *noThread)
{
    if (worker.joinable() || *stopping)
        return;
    try {
        worker = std::thread(work);
        atexit(stop);
    } catch (const std::exception &) {
        fputs(noThread, stderr);
        *stopping = true;
    }
}

// Sets *stopping under lock, wakes the worker and waits for it to end.
inline void tile_workerStop(std::mutex &lock, std::condition_variable &wake, bool *stopping, std::thread &worker)
{
    {
        std::lock_guard<std::mutex> l(lock);
        *stopping = true;
    }
    wake.notify_all();
    if (worker.joinable())
        worker.join();
}

#endif
