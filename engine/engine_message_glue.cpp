#include "engine/engine_message_glue.h"

#include "engine/message_port.h"

namespace kvx::engine {

CEngineMessageGlue::CEngineMessageGlue(CMainEngine& engine, IMessagePort& port,
                                       VARNO::CCamera& camera)
    : engine_(engine), port_(port), dispatcher_(camera, *this) {}

bool CEngineMessageGlue::Handle(const PostedMessage& message) {
    if (message.target != kTargetMainWindow) return false;
    if (message.message == kMsgCaptureResult) {
        engine_.ClearDestinationSent();
        return false;
    }
    return dispatcher_.HandleMessage(message.message);
}

void CEngineMessageGlue::PostMessage(VARNO::WindowTarget target, uint32_t message, uintptr_t wParam,
                                     intptr_t lParam) {
    port_.Post(target, message, wParam, lParam);
}

void CEngineMessageGlue::PostStatusRefresh() {
    int state = engine_.CameraState();
    port_.Post(kTargetMainWindow, kMsgCameraStateChanged, (state == 0 || state == 1) ? 1 : 0, 0);
}

void CEngineMessageGlue::SetExtendedCamera() {
    engine_.SetExtendedCamera(true);
}

void CEngineMessageGlue::ClearDestinationSent() {
    engine_.ClearDestinationSent();
}

void CEngineMessageGlue::SetLiveViewAspectIndex(uint8_t aspect) {
    aspect_.store(aspect);
}

}  // namespace kvx::engine
