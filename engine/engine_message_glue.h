// The window-thread half of the settings round trip: whatever drains the
// message port hands each message to Handle(), which merges the announced
// record into the settings model and runs the setting dispatch. It is also
// the dispatch's host: what the dispatch posts goes out through the port,
// and the flags it changes are the engine's.
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/main_engine.h"
#include "engine/message_port.h"
#include "engine/queued_message_port.h"
#include "model/dispatch_interfaces.h"
#include "model/setting_dispatcher.h"

namespace kvx::engine {

class CEngineMessageGlue final : public VARNO::IDispatchHost {
public:
    CEngineMessageGlue(CMainEngine& engine, IMessagePort& port, VARNO::CCamera& camera);

    // The dispatcher; the windows register their panels and dialogs with it.
    VARNO::CSettingDispatcher& Dispatcher() { return dispatcher_; }

    // Window thread, for every message of the main window: the ten record
    // update messages are merged and dispatched (true: consumed); a capture
    // result clears the destination-sent flag and is left to the caller.
    bool Handle(const PostedMessage& message);

    // The live view mask index the aspect ratio selects (read by live view).
    uint8_t LiveViewAspect() const { return aspect_.load(); }

    // ---- VARNO::IDispatchHost ----
    void PostMessage(VARNO::WindowTarget target, uint32_t message, uintptr_t wParam,
                     intptr_t lParam) override;
    void PostStatusRefresh() override;
    void SetExtendedCamera() override;
    void ClearDestinationSent() override;
    void SetLiveViewAspectIndex(uint8_t aspect) override;

private:
    CMainEngine& engine_;
    IMessagePort& port_;
    VARNO::CSettingDispatcher dispatcher_;
    std::atomic<uint8_t> aspect_{0};
};

}  // namespace kvx::engine
