// What the engine needs from the main window besides posted messages. The
// communication thread calls these too: an implementation hands the work to
// its window thread and returns without waiting for it.
#pragma once

#include <cstdint>
#include <string>

namespace kvx::engine {

class IMainWindow {
public:
    virtual ~IMainWindow() = default;

    // False once the main window has no window handle (it is being destroyed).
    virtual bool HasWindowHandle() const = 0;

    // The timed notice box (CDialogMessageBox). Only one is open at a time.
    virtual bool IsMessageBoxOpen() const = 0;
    // Its auto-close time; 0 when it has none (or it stays open for pending pictures).
    virtual uint32_t MessageBoxAutoCloseMs() const = 0;
    // Opens the box with string `stringId` (10200, 10202, 10203, 10204) and
    // an auto-close time in ms (0 = none). The box is then reachable as the
    // message box target of the message port until it closes.
    virtual void ShowMessageBox(int stringId, uint32_t autoCloseMs) = 0;

    // Enables or disables the main window's controls.
    virtual void EnableControls(bool enabled) = 0;
    // Clears the camera line and the status line.
    virtual void ClearStatusLines() = 0;
    // Shows the camera line for the camera of the new link; the window forms
    // the text from the name and the lens focal lengths it knows.
    virtual void ShowCameraLine(const std::string& cameraName) = 0;
    // Resets the main window's readouts and panels to their empty display.
    virtual void ResetDisplay() = 0;
    // New link: the setting panels clear and rebuild their value lists and
    // reset their state (the settings model itself is reset by the engine).
    virtual void ResetPanelsForNewLink() = 0;
};

}  // namespace kvx::engine
