// main_build_save.cpp -- building's edits kept safe: undo, saving off the drawing thread, the guards against losing them
#include "main.h"

#include <stdio.h>
#include <time.h>

#include <atomic>
#include <memory>
#include <thread>

#include "edit.h"
#include "file.h"
#include "tile.h"

namespace {

EditHistory main_history;
FileStamp main_mapStamp;        // the map picture as last read or saved
bool main_quitWarned, main_reloadWarned, main_overwriteWarned;

struct MainSaving {
    TileMapSave request;
    TileMapSaved result;
    unsigned long at = 0;  // the history's mark when the grid was taken
    std::atomic<bool> done{false};
};
std::shared_ptr<MainSaving> main_saving;

EditGrid main_grid(void)
{
    return {tile_width, tile_height, tile_depth, tile_map};
}

// The one place building changes the world's cells.
void main_setCells(const std::vector<EditCell> &cells)
{
    std::vector<TileCellEdit> edits;
    edits.reserve(cells.size());
    for (const EditCell &c : cells)
        edits.push_back({c.x, c.y, c.z, c.to});
    tile_editCells(edits.data(), edits.size());
}

void main_say(const std::string &line)
{
    puts(line.c_str());
    fflush(stdout);
}

// The grid as it stands, for a save.
bool main_saveRequest(TileMapSave *save)
{
    if (!tile_map || !tile_mapFiles(&save->picture, &save->text))
        return false;
    save->grid.width = tile_width;
    save->grid.depth = tile_depth;
    save->grid.height = tile_height;
    save->grid.across = 0;
    save->grid.cells.assign(tile_map, tile_map + (size_t)tile_width * tile_depth * tile_height);
    return true;
}

std::string main_recoveryPath(void)
{
    std::string file = tile_file;  // NAME.cam
    return std::string(tile_root) + "SYS/EDIT/" + file.substr(0, file.rfind('.')) + ".pcx";
}

}  // namespace

void main_buildApply(EditStep step)
{
    main_setCells(step.expand(true));
    main_history.push(std::move(step));
    main_quitWarned = false;
}

void main_buildUndo(bool redo)
{
    std::vector<EditCell> apply;
    size_t skipped = 0;
    bool moved = redo ? main_history.redo(main_grid(), &apply, &skipped)
                      : main_history.undo(main_grid(), &apply, &skipped);
    if (!moved) {
        main_say(redo ? "Nothing to redo" : "Nothing to undo");
        return;
    }
    main_setCells(apply);
    if (skipped)
        main_say(std::to_string(skipped) + " cell" + (skipped == 1 ? "" : "s") +
                 " changed on disk since the step, left as the disk has them");
}

bool main_buildUnsaved(void)
{
    return main_history.unsaved();
}

void main_buildSave(void)
{
    if (main_saving) {
        main_say("A save is under way");
        return;
    }
    auto job = std::make_shared<MainSaving>();
    if (!main_saveRequest(&job->request))
        return;
    if (file_stamp(job->request.picture.c_str()) != main_mapStamp && !main_overwriteWarned) {
        main_overwriteWarned = true;
        main_say("Map not saved: " + job->request.picture +
                 " changed on disk since it was read; Ctrl+S again writes the edited map over it");
        return;
    }
    main_overwriteWarned = false;
    job->at = main_history.mark();
    main_saving = job;
    try {
        std::thread([job] {
            tile_saveMapBehind(job->request, &job->result);
            job->done = true;
        }).detach();
    } catch (const std::exception &) {
        tile_saveMap(job->request, &job->result);  // no thread to be had: save here
        job->done = true;
    }
}

bool main_buildSaving(void)
{
    if (!main_saving)
        return false;
    if (!main_saving->done)
        return true;
    std::shared_ptr<MainSaving> job = std::move(main_saving);
    main_say(job->result.line);
    if (job->result.picture.exists) {
        main_mapStamp = job->result.picture;  // the written picture is the one read from now on
        tile_watchSaved(job->request.picture.c_str());
    }
    if (job->result.ok) {
        main_history.markSaved(job->at);
        main_quitWarned = main_reloadWarned = false;
    }
    return false;
}

bool main_buildMayQuit(void)
{
    while (main_saving && !main_saving->done)
        std::this_thread::yield();  // a save under way ends whole, and says how it went
    main_buildSaving();
    if (!main_history.unsaved() || main_quitWarned)
        return true;
    main_quitWarned = true;
    main_say("There are unsaved edits: Ctrl+S saves them, Escape again ends without saving");
    return false;
}

bool main_buildMayReload(bool byHand)
{
    if (!main_history.unsaved() || (byHand && main_reloadWarned))
        return true;
    if (!main_reloadWarned)
        main_say("The world's files changed on disk or F5 was pressed; the unsaved edits are kept: "
                 "Ctrl+S saves them, F5 again reads the world and drops them");
    main_reloadWarned = true;
    return false;
}

void main_buildLoaded(void)
{
    std::string picture, text;
    main_mapStamp = tile_mapFiles(&picture, &text) ? file_stamp(picture.c_str()) : FileStamp{};
    main_history.markSaved(main_history.mark());
    main_buildTypesStale();
    main_reloadWarned = main_overwriteWarned = false;
}

void main_buildRecoveryHint(void)
{
    std::string copy = main_recoveryPath(), picture, text;
    FileStamp stamp = file_stamp(copy.c_str());
    if (!stamp.exists || !tile_mapFiles(&picture, &text))
        return;
    time_t when = (time_t)stamp.seconds;
    char date[64];
    strftime(date, sizeof date, "%Y-%m-%d %H:%M", localtime(&when));
    main_say("A recovery copy of unsaved edits from " + std::string(date) + " is in " + copy +
             ": copy it over " + picture + " to use it, or delete it");
}

void main_buildRecover(void)
{
    if (!main_history.unsaved())
        return;
    while (main_saving && !main_saving->done)
        std::this_thread::yield();  // the save under way ends first
    main_buildSaving();
    TileMapSave save;
    if (!main_history.unsaved() || !main_saveRequest(&save))
        return;
    save.recovery = main_recoveryPath();
    TileMapSaved saved;
    tile_saveMap(save, &saved);
    main_say(saved.ok ? saved.line + "; the world's map is as last saved"
                      : "The unsaved edits could not be kept: " + saved.line.substr(0, saved.line.rfind(';')));
}
