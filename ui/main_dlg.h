// CMainDlg: the program's main window. It holds the accordion of the six
// setting panels, the six status readouts, the capture and lock buttons, the
// camera line and the status line, and it is the window-side front end of
// the camera session: every message the engine posts reaches it as a Qt
// event (CQtMessagePort) and goes to the session in order; the session tells
// it what to show through ISessionFrontEnd, and the setting dispatch through
// IMainWindowView.
//
// The window thread never sleeps: the engine's waits while a link starts or
// stops keep the event loop turning (CEventPumpingClock), and anything that
// would re-enter the session meanwhile waits until the session call returns.
#pragma once

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>
#include <array>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "controls/digital_panel.h"
#include "controls/gdip_button.h"
#include "controls/gdip_toggle_button_ex.h"
#include "engine/app_settings.h"
#include "engine/camera_session.h"
#include "model/dispatch_interfaces.h"
#include "ui/command_sink.h"
#include "ui/dialog_message_box.h"
#include "ui/event_pumping_clock.h"
#include "ui/main_dlg_panels.h"
#include "ui/main_dlg_rules.h"
#include "ui/qt_message_port.h"

namespace kvx::ui {

class CMainDlg final : public QMainWindow,
                       public ICommandSink,
                       private engine::ISessionFrontEnd,
                       private VARNO::IMainWindowView {
    Q_OBJECT
public:
    // Control and command ids.
    enum ControlId : int {
        kIdAfCapture = 200,
        kIdCapture = 201,
        kIdAfOnly = 202,
        kIdAfLock = 203,
        kIdAeLock = 204,
        kIdAbSetting = 205,
        kIdLiveView = 206,
        kIdFrame = 207,
        kIdFirstHeader = 208,
        kIdStatusLine = 214,
        kIdCameraLine = 215,
    };
    enum CommandId : int {
        kCmdPreferences = 40000,
        kCmdExit = 40001,
        kCmdMfCapture = 40002,
        kCmdHelp = 40003,
        kCmdAbout = 40004,
        kCmdWeb = 40005,
        kCmdAfCapture = 40006,
        kCmdAfDriveOnly = 40007,
        kCmdDateSetting = 40009,
        kCmdFirstPanel = 40010,  // .. 40015
        kCmdIsoFunction = 40016,
        kCmdCustomWb1 = 40020,  // .. 40022
    };

    // The maker's page the web item opens.
    // The maker's pages: Japanese when the program runs in Japanese.
    static constexpr const char* kWebPage = "https://www.varno-imaging.example/kolvex/";
    static constexpr const char* kWebPageJapanese = "https://www.varno-imaging.example/ja/kolvex/";
    // The client size when picture 149 cannot be loaded.
    static constexpr int kClientWidth = 528;
    static constexpr int kClientHeight = 546;

    struct Options {
        engine::NamingOptions naming;
        bool watchDevices = true;
        engine::ICameraLink* link = nullptr;  // null: the real library
        // The clock the engine's waits use; the window wraps it so that its
        // own thread keeps turning its event loop while it waits (null: real time).
        std::shared_ptr<kvx::Clock> clock;
        // Read for the window position, written back with it when the window
        // closes for real; may be null.
        engine::AppSettings* settings = nullptr;
        // The camera search runs by itself once the window is first shown
        // (else the owner calls Start()).
        bool searchOnShow = false;
        // The text lines' font size in tenths of a point; 0: the built-in size.
        int statusFontTenths = 0;
        // Timer periods (ms): the readout tick and the session's tick.
        int readoutTickMs = 300;
        int sessionTickMs = 100;
    };

    explicit CMainDlg(Options options, QWidget* parent = nullptr);
    ~CMainDlg() override;

    // The first camera search; once, after the window is shown (later calls
    // do nothing).
    void Start();

    // ---- hooks for what other parts of the program provide ----
    // Runs the preferences dialog modally; true when it ended with OK. After
    // OK the window takes the naming options from NamingOptionsSource.
    std::function<bool(QWidget* parent)> preferencesDialog;
    std::function<engine::NamingOptions()> namingOptionsSource;
    // Opens (true) or closes (false) the live view window; returns whether
    // it is open afterwards. The window itself queues the camera's live view
    // on and off. Closed again when the live-view-closed message comes (its
    // close box) and before the window ends.
    std::function<bool(bool open)> liveViewToggle;
    // The special capture settings dialog, the custom WB capture, the ISO and
    // date dialogs, the about box: each runs modally when set.
    std::function<void(QWidget* parent)> specialSettingsDialog;
    std::function<void(int mode)> customWbCapture;
    // Every white balance the camera reports and every capture result, for
    // a custom WB capture run that is open.
    std::function<void(uint8_t code)> whiteBalanceReported;
    std::function<void(uint32_t status)> captureResult;
    std::function<void(QWidget* parent)> isoFunctionDialog;
    std::function<void(QWidget* parent)> dateTimeDialog;
    std::function<void(QWidget* parent)> aboutDialog;

    // ---- ICommandSink (window thread) ----
    bool QueueCommand(const tag_CAM_COMMAND& command) override;

    // ---- the window's state, for the program and for tests ----
    engine::CCameraSession& Session() { return *session_; }
    // Dialogs and the live view window register their targets here while
    // they are open (and unregister before they are destroyed).
    CQtMessagePort& Port() { return port_; }
    CDigitalPanel* Readout(int number) const;  // 1..6
    CGdipButtonBase* Button(int id) const;     // 200..206, headers 208..213
    QAction* Action(int commandId) const;
    QWidget* Panel(int index) const { return panels_.at(static_cast<size_t>(index)).widget; }
    QWidget* Frame() const { return frame_; }
    int OpenPanelIndex() const { return openPanel_; }
    void OpenPanel(int index);
    bool Connected() const { return connected_; }
    bool LiveViewOpen() const { return liveViewOpen_; }
    bool ControlsEnabled() const { return ControlsOn(); }
    int StatusOverride() const { return session_->Engine().GetStatusOverride(); }
    QString StatusLineText() const;
    QString CameraLineText() const;
    QLabel* StatusLineLabel() const { return statusLine_; }
    QProgressBar* TransferBar() const { return transferBar_; }
    CDialogMessageBox* NoticeBox() const { return notice_.data(); }
    // The notices of failed or incomplete pictures shown so far (once each).
    int PictureFailureNotices() const { return failureNotices_; }
    // Set when the program has to end: the exit code.
    std::optional<int> ExitCode() const { return exitCode_; }
    // Where the user guide is, or empty when none is installed.
    static QString UserGuidePath();
    // One step of the readout timer (tests drive it directly).
    void ReadoutTick();

signals:
    // The window closed for real or the program has to end: the program's
    // exit code (0 normally, 0x8001 when only other cameras are attached).
    void programEnds(int exitCode);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // ---- engine::ISessionFrontEnd ----
    void OnNotice(int stringId, const std::string& text, uint32_t autoCloseMs) override;
    void OnNoticeClosed() override;
    void OnQuit(int exitCode) override;
    void OnClosed() override;
    void OnStatusLine(const engine::StatusLine& status) override;
    void OnCameraLine(const std::string& text) override;
    void OnStatusLinesCleared() override;
    void OnLinkChanged(bool linked) override;
    void OnControlsEnabled(bool enabled) override;
    void OnDisplayReset() override;
    void OnPanelsReset() override;
    void OnSettingsUpdated(uint32_t message) override;
    void OnCaptureResult(uint32_t code) override;
    void OnPictureFinished(const engine::PictureEvent& event) override;
    void OnTransferProgress(const engine::TransferProgress& progress) override;
    void OnWindowMessage(const engine::PostedMessage& message) override;

    // ---- VARNO::IMainWindowView ----
    void UpdateExposureReadout(int code) override;
    void ShowIsoAutoIndicator(int state) override;
    void SetBracketAmount(int8_t amount) override;
    void SetBracketSetting(uint8_t code, uint8_t shotsClass) override;
    void SetBracketingIndicator(int glyph) override;
    void RefreshBracketReadout() override;
    void SetBracketAmountLimit(int limit) override;
    void EvaluateCaptureButtons() override;
    void EvaluateSpecialButtons() override;
    void ShowRemainingShots(uint16_t count, uint8_t cardState) override;
    void ShowBattery(int8_t code) override;
    void ShowAdditionalBatteries(uint8_t first, uint8_t second) override;
    void SetAeLock(bool locked) override;
    void RedrawAeLockButton() override;
    void SetAfLock(bool locked) override;
    void SetDriveModeState(uint8_t code) override;
    void ShowExposureModeIndicator(uint8_t mode) override;
    void ShowMeteringIndicator(uint8_t code) override;
    void ShowIntervalReadout(bool on, uint16_t runningSeconds, uint8_t runningCount,
                             uint8_t configuredCount) override;
    void UpdateAfModeStatus(uint8_t afMode) override;
    void UpdateCameraLine(uint16_t shortest, uint16_t longest) override;
    void SetIndicator(VARNO::StatusIndicator indicator, bool lit) override;
    void SetSpecialBracketIndicator(uint8_t kind) override;
    void OnWhiteBalanceReported(uint8_t code) override;
    void EvaluateCustomWbMenu() override;
    void SetQmdMode(bool on) override;
    void UpdateIsoFunctionMenu() override;
    void SetDcCrop(uint8_t code) override;

    // ---- building ----
    void BuildMenus();
    void BuildControls();
    void PlaceTextLines();

    // ---- the session, re-entry safe ----
    template <typename F>
    void InSession(F&& f);
    void DeliverDeferred();
    void OnSessionTick();

    // ---- window behaviour ----
    bool Live() const;
    bool ControlsOn() const;
    void SetConnected(bool on);
    void EndProgram(int exitCode);
    void ApplyControls();
    void Capture(uint8_t mode, bool sendDestination);
    void ToggleAfLock();
    void ToggleAeLock();
    void OpenPreferences();
    void OpenSpecialSettings();
    void ToggleLiveView();
    void CloseLiveView();
    void OpenHelp();
    void OpenWebPage();
    void ShowShutterAndAperture();
    void ShowIso();
    void WriteRemainingOrBracketing(bool bracketing);
    void ShowBatteryIcon();
    void JudgeBatteries();
    void SetStatusOverride(int value);
    void PostStatusRefresh();
    void ShowNoticeText(const QString& text, uint32_t autoCloseMs, bool fromSession);
    void UpdateTransferTooltip();
    std::optional<uint64_t> DestinationFreeBytes() const;
    std::string DestinationFolder() const;
    uint8_t Byte(int group, size_t offset) const;

    Options options_;
    std::shared_ptr<CEventPumpingClock> clock_;
    CQtMessagePort port_;
    std::unique_ptr<engine::CCameraSession> session_;

    // Session re-entry guard: messages that arrive while a session call is
    // still running (its waits turn the event loop) wait here, in order.
    int sessionDepth_ = 0;
    std::deque<engine::PostedMessage> deferred_;
    bool closePending_ = false;
    bool closingForReal_ = false;
    bool closeDeferred_ = false;
    bool started_ = false;  // closing once the pictures in the camera are in

    // Widgets (owned by their Qt parents).
    QLabel* client_ = nullptr;
    QWidget* frame_ = nullptr;
    std::array<CGdipToggleButtonEx*, 6> headers_{};
    std::array<MainDlgPanel, 6> panels_{};
    std::array<CDigitalPanel*, 6> readouts_{};
    std::map<int, CGdipButtonBase*> buttons_;
    std::map<int, QAction*> actions_;
    QMenu* cameraMenu_ = nullptr;
    QLabel* cameraLine_ = nullptr;
    QLabel* statusLine_ = nullptr;
    QProgressBar* transferBar_ = nullptr;
    QPointer<CDialogMessageBox> notice_;
    bool noticeFromSession_ = false;

    QTimer readoutTimer_;
    QTimer sessionTimer_;

    // Window state.
    int openPanel_ = 0;
    bool connected_ = false;
    int statusMode_ = -1;
    bool panelsOff_ = false;  // status mode 2: controls on, setting panels off
    uint8_t driveMode_ = 0;
    int8_t bracketAmount_ = 0;
    uint8_t bracketSetting_ = 0;
    uint8_t shotsClass_ = 1;
    bool qmd_ = false;
    uint8_t dcCrop_ = 0;
    bool aeLock_ = false;
    bool afLock_ = false;
    int batteryMain_ = 0;
    int batteryFirst_ = 0;
    int batterySecond_ = 0;
    bool blinkPhase_ = false;
    bool bracketPhase_ = false;
    int tickCount_ = 0;
    int overrideTicks_ = 0;
    bool liveViewOpen_ = false;
    bool lowBatteryEnding_ = false;
    int cameraLineWidth_ = 150;
    std::string cameraLineText_;
    std::string transferName_;
    int transferPending_ = 0;
    std::set<std::string> failuresShown_;
    int failureNotices_ = 0;
    std::optional<int> exitCode_;
};

}  // namespace kvx::ui
