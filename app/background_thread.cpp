#include <memory>
#include <string>

#include "app/background_work.h"
#include "app/launcher_ui.h"
#include "common/update_log.h"
#include "common/win_handle.h"

namespace {

// What the worker thread reads: copies taken before it starts.
struct WorkerContext {
    HWND window;
    std::wstring gameDirectory;
    BackgroundWorkHooks hooks;
};

DWORD WINAPI WorkerProcedure(LPVOID parameter) {
    std::unique_ptr<WorkerContext> context(static_cast<WorkerContext*>(parameter));
    // An exception must not take the program down with the thread.
    try {
        RunBackgroundWork(context->window, context->gameDirectory, context->hooks);
    } catch (const std::exception& error) {
        LogUpdate(L"Internal error: %S", error.what());
    }
    return 0;
}

}  // namespace

void LauncherUI::StartBackgroundWork() {
    BackgroundWorkHooks hooks = BackgroundWorkHooks::ForWindow(window, statusMailbox);
    if (workHooks.fetchPage) {
        hooks.fetchPage = workHooks.fetchPage;
    }
    if (workHooks.runUpdate) {
        hooks.runUpdate = workHooks.runUpdate;
    }
    if (workHooks.post) {
        hooks.post = workHooks.post;
    }
    hooks.messageBox = workHooks.messageBox ? workHooks.messageBox : messageBox;
    auto context = std::make_unique<WorkerContext>(WorkerContext{window, gameDirectory, hooks});
    // The worker is never joined: its handle goes at once.
    const UniqueHandleKernel thread(
        CreateThread(nullptr, 0, WorkerProcedure, context.get(), 0, nullptr));
    if (thread) {
        context.release();  // the worker owns it now
    }
}
