// CSettingDispatcher: the main window's handling of the ten setting update
// messages. It merges the received record into VARNO::CCamera and pushes every
// reported field to the panels, readouts and open dialogs through the
// interfaces of dispatch_interfaces.h. Any consumer may be null (window not
// open). Runs on the main window thread only.
#pragma once

#include <cstdint>

#include "model/camera.h"
#include "model/dispatch_interfaces.h"

namespace VARNO {

class CSettingDispatcher final : private IMergeReport {
public:
    CSettingDispatcher(CCamera& camera, IDispatchHost& host);

    void SetExposurePanel(IExposurePanel* p) { m_exposure = p; }
    void SetCameraPanel(ICameraPanel* p) { m_cameraPanel = p; }
    void SetImagePanel1(IImagePanel1* p) { m_image1 = p; }
    void SetImagePanel2(IImagePanel2* p) { m_image2 = p; }
    void SetWbAdjustGrid(IWbAdjustGrid* p) { m_grid = p; }
    void SetSetupPanel(ISetupPanel* p) { m_setup = p; }
    void SetFlashPanel(IFlashPanel* p) { m_flash = p; }
    void SetMainWindow(IMainWindowView* p) { m_main = p; }
    // Set while the dialog runs, null when it is closed.
    void SetSpecialSettingsDialog(ISpecialSettingsDialog* p) { m_special = p; }
    void SetLiveViewWindow(ILiveViewWindow* p) { m_liveView = p; }
    void SetIsoFunctionDialogOpen(bool open) { m_isoDialogOpen = open; }

    // Update message handlers (merge, then dispatch). Each returns 0.
    int OnUpdateDataGroup(int group);     // 1..6
    int OnUpdateCanSetInfo(int version);  // 1..4
    // Routes WM_USER+101/102/103/107/109/110/114/115/116/120; false for any other message.
    bool HandleMessage(uint32_t message);

    // The main window's setting state that the dispatch keeps up to date.
    struct MainSettingsState {
        uint8_t driveMode = 0;
        bool qmd = false;
        uint8_t dcCrop = 0;
        int8_t bracketAmount = 0;
        uint8_t bracketSetting = 0;
        uint8_t bracketShots = 1;  // shots class: 1 = 3 shots, 2 = 5 shots
        bool aeLock = false;
        bool afLock = false;
    };
    const MainSettingsState& State() const { return m_state; }
    // The special capture settings dialog ended with OK: keep its amount and setting.
    void SetBracketValues(int8_t amount, uint8_t setting);

    // Slider bounds as list positions (exposure and flash compensation relative
    // to their -5.0 / -3.0 ends).
    struct Range {
        int lower = 0;
        int upper = 0;
    };
    Range ShutterRange() const { return m_shutterRange; }
    Range ApertureRange() const { return m_apertureRange; }
    Range IsoRange() const { return m_isoRange; }
    Range ExposureCompRange() const { return m_expCompRange; }
    Range FlashCompRange() const { return m_flashCompRange; }
    int BracketAmountLimit() const { return m_bracketLimit; }

    // New link: state and bounds back to their starting values (full lists).
    void ResetForNewLink();

private:
    void OnDataGroupField(int group, int index) override;
    void DataGroup1Field(int index);
    void DataGroup2Field(int index);
    void DataGroup3Field(int index);
    void DataGroup4Field(int index);
    void DataGroup5Field(int index);
    void DataGroup6Field(int index);
    void SettableChanged(int version, const CCamera::SettableChange& change);

    uint8_t Byte(int group, size_t offset) const { return m_camera.DataGroupByte(group, offset); }
    void IsoAutoIndicator();
    void BracketingIndicator();
    void FlashIndicators(bool sync, bool slowSync, bool fp, bool available, bool comp);
    void IntervalReadout();
    void PostIsoDialog();
    void ApplyIsoRange(int version);

    CCamera& m_camera;
    IDispatchHost& m_host;
    IExposurePanel* m_exposure = nullptr;
    ICameraPanel* m_cameraPanel = nullptr;
    IImagePanel1* m_image1 = nullptr;
    IImagePanel2* m_image2 = nullptr;
    IWbAdjustGrid* m_grid = nullptr;
    ISetupPanel* m_setup = nullptr;
    IFlashPanel* m_flash = nullptr;
    IMainWindowView* m_main = nullptr;
    ISpecialSettingsDialog* m_special = nullptr;
    ILiveViewWindow* m_liveView = nullptr;
    bool m_isoDialogOpen = false;

    MainSettingsState m_state;
    Range m_shutterRange, m_apertureRange, m_isoRange, m_expCompRange, m_flashCompRange;
    int m_bracketLimit = 9;
    // DataGroup4: the ISO function dialog hears of each update once.
    bool m_isoDialogPosted = false;
    uint8_t m_dataGroup4Field1 = 0;
};

}  // namespace VARNO
