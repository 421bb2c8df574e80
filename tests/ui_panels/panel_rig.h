// A camera model, the real setting dispatcher and the six panels wired to a
// command recorder: what the main window does with them, without the window.
// Shared by the panel tests and the panel gallery.
#pragma once

#include <memory>
#include <vector>

#include "model/camera.h"
#include "model/setting_dispatcher.h"
#include "ui/command_sink.h"
#include "ui/dialog_camera.h"
#include "ui/dialog_exposure.h"
#include "ui/dialog_flash.h"
#include "ui/dialog_image1.h"
#include "ui/dialog_image2.h"
#include "ui/dialog_setup.h"

namespace kvx::test {

class RecordingSink : public kvx::ui::ICommandSink {
public:
    bool QueueCommand(const tag_CAM_COMMAND& command) override {
        commands.push_back(command);
        return true;
    }
    std::vector<tag_CAM_COMMAND> commands;
};

class QuietHost : public VARNO::IDispatchHost {
public:
    void PostMessage(VARNO::WindowTarget, uint32_t, uintptr_t, intptr_t) override {}
    void PostStatusRefresh() override {}
    void SetExtendedCamera() override {}
    void ClearDestinationSent() override {}
    void SetLiveViewAspectIndex(uint8_t) override {}
};

// The six panels on one camera model and one command sink, registered with
// a dispatcher, as the main window holds them.
class PanelSet {
public:
    PanelSet(VARNO::CCamera& camera, kvx::ui::ICommandSink& sink);
    void RegisterWith(VARNO::CSettingDispatcher& dispatcher);
    std::vector<CDialogPanel*> Panels() const;
    void EnableAll(bool on);

    std::unique_ptr<CDialogExposure> exposure;
    std::unique_ptr<CDialogCamera> cameraPanel;
    std::unique_ptr<CDialogImage1> image1;
    std::unique_ptr<CDialogImage2> image2;
    std::unique_ptr<CDialogSetup> setup;
    std::unique_ptr<CDialogFlash> flash;
};

struct RigModel {
    VARNO::CCamera camera;
    QuietHost host;
    VARNO::CSettingDispatcher dispatcher{camera, host};
    RecordingSink sink;
};

class PanelRig : public RigModel, public PanelSet {
public:
    PanelRig();
    ~PanelRig();

    // A received record goes through the dispatcher as the window thread's
    // update message handler would run it.
    void FeedDataGroup(int group, const std::vector<uint8_t>& record);
    void FeedCanSetInfo(int version, const std::vector<uint8_t>& record);
    // One field of a data group (exactly one bit of field1 or field2).
    void FeedField(int group, uint8_t field1, uint8_t field2, const std::vector<uint8_t>& bytes);
    // Settable fields of one version, the rest zero.
    struct Settable {
        VARNO::SettableField field;
        uint32_t value;
    };
    static std::vector<uint8_t> CanSetRecord(int version, const std::vector<Settable>& fields);
    // A CanSetInfo3 as a camera with a few values not settable sends it.
    static std::vector<uint8_t> RealisticCanSetInfo3();
    // Connect: the realistic settable info, then every data group as the
    // in-process virtual camera holds it; the panels are enabled.
    void ConnectToVirtualCamera(uint8_t driveMode = 1);
};

}  // namespace kvx::test
