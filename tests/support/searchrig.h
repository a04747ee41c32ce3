#pragma once

#include "download/downloadqueue.h"
#include "search/addallwalk.h"
#include "search/analysis.h"
#include "search/batchsearch.h"
#include "search/downloadqueueowner.h"
#include "search/searchsession.h"
#include "support/profiles.h"
#include "support/recordingprompts.h"
#include "tools/savepathvalues.h"

#include <functional>
#include <memory>

namespace papyrant::test {

// The download window as far as the search side sees it: a queue that exists once loaded.
class FakeQueueOwner : public DownloadQueueOwner
{
public:
    bool loaded = false;
    DownloadQueue queueStore;
    int redraws = 0;
    bool lastRestore = true;

    void ensureLoaded() override { loaded = true; }
    bool isLoaded() const override { return loaded; }
    DownloadQueue *queue() override { return loaded ? &queueStore : nullptr; }
    void redrawAndShow(bool restore) override
    {
        ++redraws;
        lastRestore = restore;
    }
};

// The save-folder picker, answered by the test: confirmed with `folder`, or cancelled.
class ScriptedPicker : public SaveFolderPicker
{
public:
    QString folder = QStringLiteral("/tmp/papers/");
    bool cancel = false;
    int shown = 0;
    std::function<void()> onShow;

    void showModal(SavePathValues &values) override
    {
        ++shown;
        if (onShow)
            onShow();
        values.CurrentSaveFolder = folder;
        if (cancel)
            values.PickerCancelled = true;
    }
};

// The logic of one search window over a given browser, with scripted user answers and short
// time limits, working on the service of the given profile.
struct SearchRig
{
    explicit SearchRig(Browser *browser, const ServiceProfile &profile = legacyProfile())
        : session(new SearchSession(browser, values, prompts, picker, owner)),
          walk(new AddAllWalk(*session)), analysis(new AnalysisCommands(*session)),
          batch(new BatchSearch(*session, *walk))
    {
        session->setProfile(profile);
        session->limits.pageWaitMs = 5000;
        session->limits.searchPageWaitMs = 5000;
        session->limits.msPerDelaySecond = 10;
        session->delayText = [this] { return delay; };
    }
    ~SearchRig() { delete session.data(); }

    RecordingPrompts prompts;
    SavePathValues values;
    ScriptedPicker picker;
    FakeQueueOwner owner;
    QString delay = QStringLiteral("0");
    // The session owns the command objects; deleting it (a closed window) deletes them all.
    QPointer<SearchSession> session;
    AddAllWalk *walk;
    AnalysisCommands *analysis;
    BatchSearch *batch;

    SearchList &list() { return session->list(); }
    SearchRunFlags &flags() { return session->flags(); }
};

} // namespace papyrant::test
