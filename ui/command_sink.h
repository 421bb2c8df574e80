// Where a panel or dialog puts the command a user's step turns into. The main
// window passes its camera session's queue; tests pass a recorder. Called on
// the window thread only.
#pragma once

#include "model/cam_command.h"

namespace kvx::ui {

class ICommandSink {
public:
    virtual ~ICommandSink() = default;
    // False when the queue refused the command (full, or no camera linked).
    virtual bool QueueCommand(const tag_CAM_COMMAND& command) = 0;
};

}  // namespace kvx::ui
