// The camera engine's chief header: the queued command record, the window
// message numbers and the engine itself.
#pragma once

#include "engine/main_engine.h"
#include "engine/message_port.h"
#include "engine/window_messages.h"
#include "model/cam_command.h"
