// What the engine needs from the main window besides posted messages.
//
// Thread contract. The engine calls these from two threads:
//   - the communication thread (ResetCommStatus, the status poll, the
//     close-request check, ExecCommand);
//   - the window thread, inside StartCommThread and StopCommThread.
// An implementation therefore never blocks and never calls into a window
// from any of them: a query answers at once from an atomic, an action only
// posts its work to the window thread (through the message port, or its own
// queue) and returns. The communication thread never waits for the window
// thread to act, except in the one place written below (the notice box),
// and there it waits on a condition that StopCommThread also releases.
#pragma once

#include <cstdint>
#include <string>

namespace kvx::engine {

class IMainWindow {
public:
    virtual ~IMainWindow() = default;

    // Any thread; answers at once (atomic). False once the main window has no
    // window handle (it is being destroyed): the thread sends no more
    // queued commands.
    virtual bool HasWindowHandle() const = 0;

    // The timed notice box (CDialogMessageBox). Only one is open at a time.
    // Any thread; answers at once (atomic). True from the moment
    // ShowMessageBox was accepted, before the window has drawn it, until the
    // box closes.
    virtual bool IsMessageBoxOpen() const = 0;
    // Any thread; answers at once (atomic). Its auto-close time; 0 when it
    // has none (or it stays open for pending pictures).
    virtual uint32_t MessageBoxAutoCloseMs() const = 0;
    // Communication thread or window thread; only posts. Opens the box with
    // string `stringId` (10200, 10202, 10203, 10204) and an auto-close time
    // in ms (0 = none): marks the box open at once and posts the window a
    // message that shows it. A box already open keeps its text. The box is
    // then reachable as the message box target of the message port until it
    // closes; when it closes the window tells the engine
    // (CMainEngine::MessageBoxClosed), which wakes a thread waiting for it.
    virtual void ShowMessageBox(int stringId, uint32_t autoCloseMs) = 0;

    // Communication thread or window thread; only posts. Enables or disables
    // the main window's controls.
    virtual void EnableControls(bool enabled) = 0;
    // Window thread (StopCommThread); only posts. Clears the camera line and
    // the status line; the texts a query returns are cleared at once.
    virtual void ClearStatusLines() = 0;
    // Communication thread; only posts. Shows the camera line for the camera
    // of the new link; the window forms the text from the name and the lens
    // focal lengths it knows.
    virtual void ShowCameraLine(const std::string& cameraName) = 0;
    // Window thread (StopCommThread); only posts. Resets the main window's
    // readouts and panels to their empty display.
    virtual void ResetDisplay() = 0;
    // Window thread (StartCommThread, before the thread starts). New link:
    // the setting panels clear and rebuild their value lists and reset their
    // state (the settings model itself is reset by the engine). Being on the
    // window thread it may reset window-thread state directly; what the
    // widgets show is posted.
    virtual void ResetPanelsForNewLink() = 0;
};

}  // namespace kvx::engine
