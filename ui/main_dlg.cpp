#include "ui/main_dlg.h"

#include <sys/statvfs.h>

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QUrl>
#include <filesystem>

#include "engine/camera_detector.h"
#include "log/write_log.h"
#include "model/record_layout.h"
#include "model/setting_commands.h"
#include "model/string_table.h"
#include "resources/resource_images.h"
#include "ui/dialog_exposure.h"
#include "ui/dialog_image1.h"
#include "ui/image_arrow_key_filter.h"

namespace kvx::ui {

using namespace kvx::engine;
namespace dg1 = VARNO::dg1;
namespace dg2 = VARNO::dg2;
namespace dg3 = VARNO::dg3;
namespace dg4 = VARNO::dg4;

namespace {

QString Text(int id) {
    return QString::fromUtf8(VARNO::StringText(static_cast<uint32_t>(id)));
}

// Readout places (x 406) and the buttons of the status column.
constexpr int kReadoutX = 406;
constexpr int kReadoutY[6] = {16, 103, 136, 173, 202, 254};
// Top bar cell of readouts 2..5.
constexpr int kTopBarCell[6] = {-1, 5, 6, 3, 10, -1};

struct ButtonPlace {
    int id, x, y, size, normal, hover, pushed, disabled, alternate;
};
constexpr ButtonPlace kButtons[] = {
    {CMainDlg::kIdAeLock, 436, 331, 17, 172, 172, 173, 171, 173},
    {CMainDlg::kIdAfLock, 474, 331, 17, 172, 172, 173, 171, 173},
    {CMainDlg::kIdAfCapture, 440, 360, 50, 159, 160, 161, 162, 0},
    {CMainDlg::kIdCapture, 412, 419, 50, 163, 164, 165, 166, 0},
    {CMainDlg::kIdAfOnly, 468, 419, 50, 167, 168, 169, 170, 0},
    {CMainDlg::kIdAbSetting, 417, 480, 40, 155, 156, 157, 158, 0},
};

constexpr int kFrameX = 0, kFrameY = 14, kFrameW = 393, kFrameH = 512;
constexpr int kHeaderH = 21;

// Longest file name a notice quotes before it is shortened.
constexpr int kNoticeNameChars = 60;

QString ShortName(const std::string& name) {
    QString n = QString::fromStdString(name);
    if (n.size() > kNoticeNameChars) n = n.left(kNoticeNameChars - 3) + QStringLiteral("...");
    return n;
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction

CMainDlg::CMainDlg(Options options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)) {
    kvx::res::InitResources();
    // The engine's waits on this thread keep the event loop turning.
    clock_ = std::make_shared<CEventPumpingClock>(options_.clock, thread());
    kvx::SetClock(clock_);

    setWindowTitle(Text(103));
    setWindowIcon(kvx::res::ProgramIcon());

    // Registered before the session exists: the device watcher may post as
    // soon as the session starts it.
    port_.Register(kTargetMainWindow, this);
    CCameraSession::Options so;
    so.naming = options_.naming;
    so.watchDevices = options_.watchDevices;
    so.link = options_.link;
    session_ = std::make_unique<CCameraSession>(static_cast<ISessionFrontEnd&>(*this), so, &port_);
    session_->Dispatcher().SetMainWindow(this);

    BuildControls();
    BuildMenus();
    OpenPanel(0);
    OnDisplayReset();
    SetConnected(false);

    if (options_.settings) move(options_.settings->windowLeft, options_.settings->windowTop);

    readoutTimer_.setInterval(options_.readoutTickMs);
    connect(&readoutTimer_, &QTimer::timeout, this, &CMainDlg::ReadoutTick);
    readoutTimer_.start();
    sessionTimer_.setInterval(options_.sessionTickMs);
    connect(&sessionTimer_, &QTimer::timeout, this, &CMainDlg::OnSessionTick);
    sessionTimer_.start();
}

CMainDlg::~CMainDlg() {
    readoutTimer_.stop();
    sessionTimer_.stop();
    closingForReal_ = true;
    if (notice_) notice_->disconnect(this);
    // The live view window draws the session's camera and queues into it.
    CloseLiveView();
    session_->Dispatcher().SetMainWindow(nullptr);
    for (auto& p : panels_)
        if (p.detach) p.detach();
    ++sessionDepth_;  // nothing reaches the session from here on
    session_->Stop();
    port_.Unregister(kTargetMainWindow);
    session_.reset();
    kvx::SetClock(options_.clock);
}

void CMainDlg::BuildControls() {
    const QImage background = kvx::res::LoadPicture(149);
    const QSize client =
        background.isNull() ? QSize(kClientWidth, kClientHeight) : background.size();
    client_ = new QLabel(this);
    client_->setFixedSize(client);
    client_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (!background.isNull()) client_->setPixmap(QPixmap::fromImage(background));
    client_->setAutoFillBackground(true);
    QPalette pal = client_->palette();
    pal.setColor(QPalette::Window, QColor(62, 60, 58));
    pal.setColor(QPalette::WindowText, Qt::white);
    client_->setPalette(pal);
    setCentralWidget(client_);

    frame_ = new QWidget(client_);
    frame_->setGeometry(kFrameX, kFrameY, kFrameW, kFrameH);

    panels_ = MakeMainDlgPanels(frame_, session_->Camera(), *this, session_->Dispatcher());
    for (auto& p : panels_) p.widget->hide();
    // The arrow keys move the white-balance point while "Image Setting 1" is
    // the open panel (the filter leaves keys that a list or dialog has alone).
    if (auto* image1 = qobject_cast<CDialogImage1*>(panels_[2].widget)) {
        auto* filter = new CImageArrowKeyFilter(
            *image1, [this] { return openPanel_ == 2; }, this);
        qApp->installEventFilter(filter);
    }

    for (int k = 0; k < 6; ++k) {
        auto* h = new CGdipToggleButtonEx(frame_);
        h->SetImages(0, 2123, 2123, 2122, 2123, 2122);
        h->setText(Text(10006 + k));
        h->setObjectName(QStringLiteral("header%1").arg(kIdFirstHeader + k));
        connect(h, &QAbstractButton::clicked, this, [this, k] { OpenPanel(k); });
        headers_[static_cast<size_t>(k)] = h;
        buttons_[kIdFirstHeader + k] = h;
    }

    for (int k = 0; k < 6; ++k) {
        auto* r = new CDigitalPanel(client_);
        r->LoadStrips();
        r->LayOut(k + 1);
        r->move(kReadoutX, kReadoutY[k]);
        readouts_[static_cast<size_t>(k)] = r;
    }

    for (const auto& b : kButtons) {
        auto* button = new CGdipButton(client_);
        button->SetImages(b.alternate ? CGdipButton::kPushAlt : CGdipButton::kPush, b.normal,
                          b.hover, b.pushed, b.disabled, b.alternate);
        button->setGeometry(b.x, b.y, b.size, b.size);
        button->setFocusPolicy(Qt::NoFocus);
        buttons_[b.id] = button;
    }
    buttons_[kIdAfCapture]->setToolTip(Text(40006));
    buttons_[kIdCapture]->setToolTip(Text(40002));
    buttons_[kIdAfOnly]->setToolTip(Text(40007));
    buttons_[kIdAeLock]->setToolTip(QStringLiteral("AE Lock"));
    buttons_[kIdAfLock]->setToolTip(QStringLiteral("AF Lock"));
    buttons_[kIdAbSetting]->setToolTip(QStringLiteral("Special Capture Setting"));
    auto* live = new CGdipToggleButtonEx(client_);
    live->SetImages(0, 268, 269, 270, 271, 272);
    live->setGeometry(473, 480, 40, 40);
    live->setFocusPolicy(Qt::NoFocus);
    live->setToolTip(QStringLiteral("Live View"));
    buttons_[kIdLiveView] = live;

    connect(buttons_[kIdAfCapture], &QAbstractButton::clicked, this, [this] { Capture(1, true); });
    connect(buttons_[kIdCapture], &QAbstractButton::clicked, this, [this] { Capture(2, true); });
    connect(buttons_[kIdAfOnly], &QAbstractButton::clicked, this, [this] { Capture(3, false); });
    connect(buttons_[kIdAfLock], &QAbstractButton::clicked, this, &CMainDlg::ToggleAfLock);
    connect(buttons_[kIdAeLock], &QAbstractButton::clicked, this, &CMainDlg::ToggleAeLock);
    connect(buttons_[kIdAbSetting], &QAbstractButton::clicked, this,
            &CMainDlg::OpenSpecialSettings);
    connect(live, &QAbstractButton::clicked, this, &CMainDlg::ToggleLiveView);

    QFont lineFont(QStringLiteral("Verdana"));
    lineFont.setStyleHint(QFont::SansSerif);
    if (options_.statusFontTenths > 0)
        lineFont.setPointSizeF(options_.statusFontTenths / 10.0);
    else
        lineFont.setPixelSize(11);
    cameraLine_ = new QLabel(client_);
    statusLine_ = new QLabel(client_);
    for (QLabel* l : {cameraLine_, statusLine_}) {
        l->setFont(lineFont);
        l->setPalette(pal);
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    cameraLine_->setObjectName(QStringLiteral("cameraLine"));
    statusLine_->setObjectName(QStringLiteral("statusLine"));
    PlaceTextLines();

    // The download's progress: a hairline along the bottom edge, only while
    // a picture comes in.
    transferBar_ = new QProgressBar(client_);
    transferBar_->setTextVisible(false);
    transferBar_->setRange(0, 1000);
    transferBar_->setGeometry(0, client.height() - 3, client.width(), 3);
    transferBar_->setStyleSheet(
        QStringLiteral("QProgressBar { border: none; background: rgb(30,29,28); }"
                       "QProgressBar::chunk { background: rgb(226,150,58); }"));
    transferBar_->hide();

    // Fixed size: the client area is the background picture.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void CMainDlg::BuildMenus() {
    auto add = [this](QMenu* menu, int id) {
        QAction* a = menu->addAction(Text(id));
        a->setData(id);
        actions_[id] = a;
        return a;
    };
    QMenu* file = menuBar()->addMenu(Text(40090));
    connect(add(file, kCmdPreferences), &QAction::triggered, this, &CMainDlg::OpenPreferences);
    file->addSeparator();
    connect(add(file, kCmdExit), &QAction::triggered, this, &QWidget::close);

    QMenu* panel = menuBar()->addMenu(Text(40091));
    for (int k = 0; k < 6; ++k) {
        QAction* a = add(panel, kCmdFirstPanel + k);
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, k] { OpenPanel(k); });
    }

    cameraMenu_ = menuBar()->addMenu(Text(40092));
    connect(add(cameraMenu_, kCmdAfCapture), &QAction::triggered, this,
            [this] { Capture(1, true); });
    connect(add(cameraMenu_, kCmdMfCapture), &QAction::triggered, this,
            [this] { Capture(2, true); });
    connect(add(cameraMenu_, kCmdAfDriveOnly), &QAction::triggered, this,
            [this] { Capture(3, false); });
    cameraMenu_->addSeparator();
    for (int k = 0; k < 3; ++k) {
        connect(add(cameraMenu_, kCmdCustomWb1 + k), &QAction::triggered, this, [this, k] {
            if (customWbCapture) customWbCapture(9 + 2 * k);
        });
    }
    cameraMenu_->addSeparator();
    connect(add(cameraMenu_, kCmdIsoFunction), &QAction::triggered, this, [this] {
        if (!isoFunctionDialog) return;
        session_->Dispatcher().SetIsoFunctionDialogOpen(true);
        isoFunctionDialog(this);
        session_->Dispatcher().SetIsoFunctionDialogOpen(false);
    });
    connect(add(cameraMenu_, kCmdDateSetting), &QAction::triggered, this, [this] {
        if (dateTimeDialog) dateTimeDialog(this);
    });

    QMenu* help = menuBar()->addMenu(Text(40093));
    QAction* h = add(help, kCmdHelp);
    h->setShortcut(QKeySequence(Qt::Key_F1));
    h->setShortcutContext(Qt::ApplicationShortcut);
    connect(h, &QAction::triggered, this, &CMainDlg::OpenHelp);
    connect(add(help, kCmdWeb), &QAction::triggered, this, &CMainDlg::OpenWebPage);
    help->addSeparator();
    connect(add(help, kCmdAbout), &QAction::triggered, this, [this] {
        if (aboutDialog)
            aboutDialog(this);
        else
            QMessageBox::about(
                this, Text(103),
                Text(103) + QStringLiteral("\n") + QCoreApplication::applicationVersion());
    });
}

void CMainDlg::PlaceTextLines() {
    const int h = client_->height();
    const int w = client_->width();
    // 13 pixels high, 16 above the bottom; a larger status font grows the
    // lines upwards rather than cutting their letters.
    const int lineHeight = std::max(13, cameraLine_->fontMetrics().height());
    const int y = h - 3 - lineHeight;
    cameraLine_->setGeometry(4, y, cameraLineWidth_ + 4, lineHeight);
    const int sx = cameraLine_->geometry().right() + 1 + 4;
    statusLine_->setGeometry(sx, y, std::max(0, w - 8 - sx), lineHeight);
}

// ---------------------------------------------------------------------------
// Accordion

void CMainDlg::OpenPanel(int index) {
    if (index < 0 || index > 5) return;
    rules::AccordionLayout layout =
        rules::LayOutAccordion({0, 0, kFrameW, kFrameH}, kHeaderH, index);
    for (auto& p : panels_) p.widget->hide();
    for (int k = 0; k < 6; ++k) {
        const rules::Rect& r = layout.headers[static_cast<size_t>(k)];
        headers_[static_cast<size_t>(k)]->setGeometry(r.x, r.y, r.width, r.height);
        headers_[static_cast<size_t>(k)]->SetState(k == index ? 1 : 0);
        if (QAction* a = Action(kCmdFirstPanel + k)) a->setChecked(k == index);
    }
    QWidget* open = panels_[static_cast<size_t>(index)].widget;
    open->setGeometry(layout.panel.x, layout.panel.y, layout.panel.width, layout.panel.height);
    open->show();
    openPanel_ = index;
}

// ---------------------------------------------------------------------------
// The session, re-entry safe

template <typename F>
void CMainDlg::InSession(F&& f) {
    ++sessionDepth_;
    f();
    --sessionDepth_;
    if (sessionDepth_ == 0) DeliverDeferred();
}

void CMainDlg::DeliverDeferred() {
    while (sessionDepth_ == 0 && !deferred_.empty()) {
        PostedMessage m = deferred_.front();
        deferred_.pop_front();
        ++sessionDepth_;
        session_->HandleMessage(m);
        --sessionDepth_;
    }
    if (sessionDepth_ == 0 && closePending_) {
        closePending_ = false;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
}

bool CMainDlg::event(QEvent* e) {
    if (e->type() == CQtMessagePort::Event::TypeId()) {
        if (!session_ || (closingForReal_ && sessionDepth_ > 0)) return true;
        deferred_.push_back(static_cast<CQtMessagePort::Event*>(e)->Message());
        DeliverDeferred();
        return true;
    }
    return QMainWindow::event(e);
}

void CMainDlg::OnSessionTick() {
    if (sessionDepth_ > 0 || !session_) return;
    InSession([this] { session_->Tick(); });
}

void CMainDlg::Start() {
    if (started_ || closingForReal_) return;
    started_ = true;
    InSession([this] { session_->Start(); });
}

void CMainDlg::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    // The search waits for the window to be on the screen: its waits turn
    // the event loop, and the first paint should not wait for them.
    if (options_.searchOnShow && !started_)
        QMetaObject::invokeMethod(this, &CMainDlg::Start, Qt::QueuedConnection);
}

bool CMainDlg::QueueCommand(const tag_CAM_COMMAND& command) {
    return session_->QueueCommand(command);
}

// ---------------------------------------------------------------------------
// Closing

void CMainDlg::closeEvent(QCloseEvent* e) {
    if (closingForReal_) {
        QMainWindow::closeEvent(e);
        return;
    }
    e->ignore();
    if (sessionDepth_ > 0) {
        // A link is starting or stopping: the close runs when that is done.
        closePending_ = true;
        return;
    }
    InSession([this] {
        if (session_->Close() == CCameraDetector::CloseOutcome::Deferred) {
            closeDeferred_ = true;
            ApplyControls();
        }
    });
}

void CMainDlg::OnClosed() {
    // The session stopped its thread: the program ends normally.
    EndProgram(exitCode_.value_or(0));
}

void CMainDlg::OnQuit(int exitCode) {
    // Only cameras of the other model group are attached: the program ends
    // without a message.
    EndProgram(exitCode);
}

void CMainDlg::EndProgram(int exitCode) {
    // Told once, whichever way the end came first.
    if (exitCode_) return;
    exitCode_ = exitCode;
    // The live view window goes first: its placement is among the settings
    // the program writes when it ends.
    CloseLiveView();
    if (options_.settings) {
        options_.settings->windowLeft = x();
        options_.settings->windowTop = y();
    }
    readoutTimer_.stop();
    closingForReal_ = true;
    if (notice_) notice_->done(QDialog::Accepted);
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    emit programEnds(exitCode);
}

void CMainDlg::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            return;  // never closes the window
        default:
            break;
    }
    QMainWindow::keyPressEvent(e);
}

void CMainDlg::changeEvent(QEvent* e) {
    if (e->type() == QEvent::ActivationChange && isActiveWindow()) update();
    QMainWindow::changeEvent(e);
}

// ---------------------------------------------------------------------------
// Notices

void CMainDlg::ShowNoticeText(const QString& text, uint32_t autoCloseMs, bool fromSession) {
    if (notice_) {
        noticeFromSession_ = false;  // replaced, not dismissed by the user
        notice_->disconnect(this);
        notice_->done(QDialog::Accepted);
        notice_->deleteLater();
    }
    auto* box = new CDialogMessageBox(this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->SetCaption(Text(103));
    box->SetMessage(text);
    box->SetOwnerRect(frameGeometry());
    // The session keeps the time of its own notices (it knows when pictures
    // are pending); the box's own timer serves the window's notices.
    box->SetAutoCloseMs(fromSession ? 0 : autoCloseMs);
    box->SetPendingPictures([this] { return session_ ? session_->PendingPictures() : 0; });
    noticeFromSession_ = fromSession;
    connect(box, &QDialog::finished, this, [this, box] {
        if (notice_ != box) return;
        const bool tell = noticeFromSession_;
        noticeFromSession_ = false;
        notice_ = nullptr;
        if (tell && session_ && sessionDepth_ == 0) {
            InSession([this] { session_->DismissNotice(); });
        } else if (tell && session_) {
            session_->DismissNotice();
        }
    });
    notice_ = box;
    box->Open();
}

void CMainDlg::OnNotice(int, const std::string& text, uint32_t autoCloseMs) {
    ShowNoticeText(QString::fromStdString(text), autoCloseMs, true);
}

void CMainDlg::OnNoticeClosed() {
    if (!notice_ || !noticeFromSession_) return;
    noticeFromSession_ = false;
    CDialogMessageBox* box = notice_;
    notice_ = nullptr;
    box->done(QDialog::Accepted);
}

// ---------------------------------------------------------------------------
// Status and camera lines

void CMainDlg::OnStatusLine(const StatusLine& s) {
    switch (s.mode) {
        case 0:
            panelsOff_ = false;
            SetConnected(false);
            port_.Post(kTargetLiveView, kMsgLiveViewAvailable, 0, 0);
            break;
        case 1:
            panelsOff_ = false;
            SetConnected(true);
            port_.Post(kTargetLiveView, kMsgLiveViewAvailable, 1, 0);
            ShowShutterAndAperture();
            ShowIso();
            // The exposure panel shows the camera's values again too.
            if (auto* exposure = qobject_cast<CDialogExposure*>(panels_[0].widget)) {
                exposure->ShowShutterSpeed(Byte(1, dg1::kShutter));
                exposure->ShowAperture(Byte(1, dg1::kAperture));
                exposure->ShowIso(Byte(1, dg1::kIso));
            }
            break;
        default:
            panelsOff_ = true;
            SetConnected(true);
            break;
    }
    statusLine_->setText(QString::fromStdString(s.text));
    if (s.mode != statusMode_) {
        statusMode_ = s.mode;
        update();
    }
}

void CMainDlg::OnCameraLine(const std::string& text) {
    cameraLineText_ = text;
    const QString t = QString::fromStdString(text);
    // Measured here, with the line's own font, on the window thread.
    const int w = QFontMetrics(cameraLine_->font()).horizontalAdvance(t);
    cameraLineWidth_ = w > 149 ? w : 150;
    cameraLine_->setText(t);
    PlaceTextLines();
}

void CMainDlg::OnStatusLinesCleared() {
    cameraLineText_.clear();
    cameraLine_->clear();
    statusLine_->clear();
    cameraLineWidth_ = 150;
    PlaceTextLines();
}

QString CMainDlg::StatusLineText() const {
    return statusLine_->text();
}

QString CMainDlg::CameraLineText() const {
    return cameraLine_->text();
}

void CMainDlg::UpdateCameraLine(uint16_t, uint16_t) {
    const std::string line = session_->CameraLine();
    if (!line.empty()) OnCameraLine(line);
}

// ---------------------------------------------------------------------------
// Connection and controls

void CMainDlg::OnLinkChanged(bool linked) {
    if (!linked) {
        transferBar_->hide();
        transferName_.clear();
        UpdateTransferTooltip();
    }
    ApplyControls();
}

void CMainDlg::OnControlsEnabled(bool enabled) {
    if (enabled) panelsOff_ = false;
    SetConnected(enabled);
}

void CMainDlg::OnDisplayReset() {
    for (CDigitalPanel* r : readouts_) r->Reset();
    batteryMain_ = batteryFirst_ = batterySecond_ = 0;
    bracketPhase_ = false;
}

void CMainDlg::OnPanelsReset() {
    driveMode_ = 0;
    aeLock_ = afLock_ = false;
    bracketAmount_ = 0;
    bracketSetting_ = 0;
    shotsClass_ = 1;
    qmd_ = false;
    RedrawAeLockButton();
    SetAfLock(false);
    ApplyControls();
}

bool CMainDlg::Live() const {
    // Once the program is on its way out (a close waiting for pictures, a
    // low battery) a later status refresh must not hand the controls back:
    // a new capture would only add pictures the close then waits for.
    return connected_ && !closingForReal_ && !closeDeferred_ && !lowBatteryEnding_;
}

bool CMainDlg::ControlsOn() const {
    return Live() && driveMode_ != 0 && driveMode_ != 6;
}

void CMainDlg::SetConnected(bool on) {
    connected_ = on;
    ApplyControls();
}

void CMainDlg::ApplyControls() {
    const bool on = ControlsOn();
    cameraMenu_->setEnabled(on);
    for (int id : {int(kIdCapture), int(kIdAfLock), int(kIdAeLock)}) {
        buttons_[id]->setEnabled(on);
        buttons_[id]->SetDisabledLook(!on);
    }
    for (auto& p : panels_) p.enablePanel(on && !panelsOff_);
    EvaluateCaptureButtons();
    EvaluateSpecialButtons();
    EvaluateCustomWbMenu();
    if (Live()) {
        for (int k = 1; k <= 4; ++k)
            readouts_[static_cast<size_t>(k)]->SetGlyph(kTopBarCell[k], on ? 0 : 1);
    }
    for (CDigitalPanel* r : readouts_) r->update();
}

uint8_t CMainDlg::Byte(int group, size_t offset) const {
    return session_->Camera().DataGroupByte(group, offset);
}

std::string CMainDlg::DestinationFolder() const {
    const NamingOptions& n = options_.naming;
    if (!n.destinationFolder.empty()) return n.destinationFolder;
    if (!n.programFolder.empty()) return n.programFolder;
    return QCoreApplication::applicationDirPath().toStdString();
}

std::optional<uint64_t> CMainDlg::DestinationFreeBytes() const {
    struct statvfs st {};
    if (::statvfs(DestinationFolder().c_str(), &st) != 0) return std::nullopt;
    return static_cast<uint64_t>(st.f_bavail) * static_cast<uint64_t>(st.f_frsize);
}

void CMainDlg::EvaluateCaptureButtons() {
    const VARNO::CCamera& cam = session_->Camera();
    rules::CaptureInputs in;
    in.driveMode = driveMode_;
    in.afMode = Byte(2, dg2::kAfMode);
    in.mirrorUpRelease = Byte(3, dg3::kMirrorUpRelease);
    in.picturesToCard = options_.naming.inCamera;
    in.picturesToComputer = options_.naming.inPC;
    in.cardState = Byte(1, dg1::kCardState);
    in.remainingShots = cam.DataGroupU16(1, dg1::kRemainingShots);
    in.cardReady = Byte(1, dg1::kCardReady);
    if (in.picturesToComputer) in.destinationFreeBytes = DestinationFreeBytes();
    in.lensReported = cam.DataGroupU16(3, dg3::kFocalShortest) != 0 ||
                      cam.DataGroupU16(3, dg3::kFocalLongest) != 0;
    in.cameraState = session_->CameraState();
    in.afLocked = afLock_;
    in.canSetInfo4Received = cam.CanSetInfoReceived(4);
    in.liveViewMagnification = Byte(4, dg4::kMagnification);
    in.connected = Live();
    const rules::CaptureButtons b = rules::EvaluateCaptureButtons(in);
    const std::pair<int, bool> apply[] = {
        {kIdAfCapture, b.afCapture}, {kIdCapture, b.capture}, {kIdAfOnly, b.afOnly}};
    const int menu[] = {kCmdAfCapture, kCmdMfCapture, kCmdAfDriveOnly};
    for (size_t i = 0; i < 3; ++i) {
        buttons_[apply[i].first]->setEnabled(apply[i].second);
        buttons_[apply[i].first]->SetDisabledLook(!apply[i].second);
        actions_[menu[i]]->setEnabled(apply[i].second);
    }
}

void CMainDlg::EvaluateSpecialButtons() {
    const VARNO::CCamera& cam = session_->Camera();
    rules::SpecialInputs in;
    in.driveMode = driveMode_;
    in.cameraState = session_->CameraState();
    const auto* flash = VARNO::DataGroupField(2, VARNO::FieldIndex(true, 0x01));
    in.flashActive = flash && flash->width && Byte(2, flash->offset) != 0;
    in.connected = Live();
    const int version = cam.CanSetInfoReceived(4) ? 4 : (cam.CanSetInfoReceived(3) ? 3 : 0);
    if (version) {
        using F = VARNO::SettableField;
        in.autoBracketMask = cam.SettableOf(version, F::BracketMask).value_or(0);
        in.wbBracketMask = cam.SettableOf(version, F::WbBracketMask).value_or(0);
        in.colorBracketMask = cam.SettableOf(version, F::ColorBracketMask).value_or(0);
    }
    if (cam.CanSetInfoReceived(4))
        in.liveViewOffered =
            cam.SettableOf(4, VARNO::SettableField::LiveViewAvailable).value_or(0) != 0;
    const rules::SpecialButtons s = rules::EvaluateSpecialButtons(in);
    // A button whose window is not part of this build stays off rather than
    // doing nothing when pressed.
    const bool ab = s.abSetting && static_cast<bool>(specialSettingsDialog);
    const bool live = (s.liveView && static_cast<bool>(liveViewToggle)) || liveViewOpen_;
    for (const auto& [id, on] :
         {std::pair{int(kIdAbSetting), ab}, std::pair{int(kIdLiveView), live}}) {
        buttons_[id]->setEnabled(on);
        buttons_[id]->SetDisabledLook(!on);
    }
    // The open dialogs hear of what is available now.
    auto tell = [this](int target, bool available, uintptr_t w) {
        port_.Post(target, available ? kMsgFunctionAvailable : kMsgFunctionUnavailable, w, 0);
    };
    tell(kTargetSpecialAB, s.autoBracket, in.connected ? 1 : 0);
    tell(kTargetSpecialWB, s.wbBracket, 0);
    tell(kTargetSpecialColor, s.colorBracket, 0);
    port_.Post(kTargetIsoSetting,
               in.connected && in.cameraState != 5 ? kMsgIsoDialogEnable : kMsgIsoDialogDisable, 0,
               0);
    port_.Post(kTargetDateTime, in.connected ? kMsgDateDialogConnected : kMsgDateDialogDisconnected,
               0, 0);
}

void CMainDlg::EvaluateCustomWbMenu() {
    const VARNO::CCamera& cam = session_->Camera();
    rules::MenuInputs in;
    in.driveMode = driveMode_;
    in.connected = Live();
    in.cameraState = session_->CameraState();
    in.pendingPictures = session_->PendingPictures();
    in.whiteBalance = Byte(2, dg2::kWhiteBalance);
    in.settableVersion = cam.VersionInForce();
    in.whiteBalanceMask = cam.Settable(VARNO::SettableField::WhiteBalanceMask).value_or(0);
    in.dataGroup4Seen = session_->GroupSeen(4);
    in.qmd = qmd_;
    const rules::MenuStates m = rules::EvaluateMenus(in);
    for (int k = 0; k < 3; ++k)
        actions_[kCmdCustomWb1 + k]->setEnabled(m.customWb && static_cast<bool>(customWbCapture));
    actions_[kCmdDateSetting]->setEnabled(m.dateSetting && static_cast<bool>(dateTimeDialog));
    actions_[kCmdIsoFunction]->setEnabled(m.isoFunction && static_cast<bool>(isoFunctionDialog));
}

void CMainDlg::UpdateIsoFunctionMenu() {
    EvaluateCustomWbMenu();
}

void CMainDlg::SetDriveModeState(uint8_t code) {
    driveMode_ = code;
    if (code == 0) {
        SetConnected(false);
    } else if (code == 6) {
        SetConnected(true);
        RefreshBracketReadout();
        RedrawAeLockButton();
    } else {
        SetConnected(true);
        ShowShutterAndAperture();
        RefreshBracketReadout();
        ShowIso();
        ShowIsoAutoIndicator(Byte(1, dg1::kIsoAuto) == 1 ? 1 : 2);
        UpdateExposureReadout(-1);
    }
    EvaluateCaptureButtons();
    EvaluateSpecialButtons();
}

// ---------------------------------------------------------------------------
// Commands

void CMainDlg::Capture(uint8_t mode, bool sendDestination) {
    if (sendDestination)
        QueueCommand(
            VARNO::MakeCaptureDestinationCommand(options_.naming.inCamera, options_.naming.inPC));
    QueueCommand(VARNO::MakeReleaseCommand(mode));
}

void CMainDlg::ToggleAfLock() {
    const VARNO::CCamera& cam = session_->Camera();
    if (!cam.AfLockAvailable()) return;
    // Locking needs a focus the camera has found.
    if (!afLock_ && Byte(1, dg1::kFocusState) == 3) return;
    SetAfLock(!afLock_);
    QueueCommand(VARNO::MakeSettingCommand(VARNO::Setting::AfLock, afLock_ ? 1 : 0));
    EvaluateCaptureButtons();
}

void CMainDlg::ToggleAeLock() {
    if (!session_->Camera().AeLockAvailable()) return;
    SetAeLock(!aeLock_);
    QueueCommand(VARNO::MakeSettingCommand(VARNO::Setting::AeLock, aeLock_ ? 1 : 0));
}

void CMainDlg::SetAeLock(bool locked) {
    aeLock_ = locked;
    RedrawAeLockButton();
}

void CMainDlg::RedrawAeLockButton() {
    buttons_[kIdAeLock]->SetState(aeLock_ ? CGdipButton::kStateAlternate
                                          : CGdipButton::kStateNormal);
}

void CMainDlg::SetAfLock(bool locked) {
    afLock_ = locked;
    buttons_[kIdAfLock]->SetState(afLock_ ? CGdipButton::kStateAlternate
                                          : CGdipButton::kStateNormal);
}

void CMainDlg::OpenPreferences() {
    if (!preferencesDialog) return;
    const bool ok = preferencesDialog(this);
    // The dialog ran modally: the window may have been closed meanwhile.
    if (closingForReal_) return;
    if (ok && namingOptionsSource) options_.naming = namingOptionsSource();
    ShowRemainingShots(session_->Camera().DataGroupU16(1, dg1::kRemainingShots),
                       Byte(1, dg1::kCardState));
    if (ok) {
        session_->SetNamingOptions(options_.naming);
        QueueCommand(
            VARNO::MakeCaptureDestinationCommand(options_.naming.inCamera, options_.naming.inPC));
    }
    EvaluateCaptureButtons();
}

void CMainDlg::OpenSpecialSettings() {
    RefreshBracketReadout();
    RedrawAeLockButton();
    if (specialSettingsDialog) specialSettingsDialog(this);
    SetDriveModeState(driveMode_);
}

void CMainDlg::ToggleLiveView() {
    auto* live = buttons_[kIdLiveView];
    if (!session_->Camera().CanSetInfoReceived(4) || !liveViewToggle) {
        live->SetState(liveViewOpen_ ? 1 : 0);
        return;
    }
    // The live view window queues the camera's live view on as it opens and
    // off as it closes, whichever way it closes: nothing is sent from here.
    liveViewOpen_ = liveViewToggle(!liveViewOpen_);
    live->SetState(liveViewOpen_ ? 1 : 0);
    EvaluateSpecialButtons();
}

void CMainDlg::CloseLiveView() {
    if (!liveViewOpen_) return;
    liveViewOpen_ = false;
    if (liveViewToggle) liveViewToggle(false);
    buttons_[kIdLiveView]->SetState(0);
}

void CMainDlg::OnWindowMessage(const PostedMessage& m) {
    // Its close box closed the live view window: it has stored its settings
    // and taken the camera out of live view; it only has to go.
    if (m.message == kMsgLiveViewClosed) {
        CloseLiveView();
        EvaluateSpecialButtons();
    }
}

QString CMainDlg::UserGuidePath() {
    const QString exe = QCoreApplication::applicationDirPath();
    const QStringList candidates = {
        exe + QStringLiteral("/user-guide.html"),
        exe + QStringLiteral("/user-guide.md"),
        exe + QStringLiteral("/../share/doc/kolvex/user-guide.html"),
        exe + QStringLiteral("/../share/doc/kolvex/user-guide.md"),
    };
    for (const QString& c : candidates)
        if (QFileInfo(c).isFile()) return QFileInfo(c).canonicalFilePath();
    return {};
}

void CMainDlg::OpenHelp() {
    const QString guide = UserGuidePath();
    if (guide.isEmpty() || !QDesktopServices::openUrl(QUrl::fromLocalFile(guide))) {
        auto* box = new QMessageBox(
            QMessageBox::Information, Text(103),
            guide.isEmpty() ? QStringLiteral("The user guide is not installed.")
                            : QStringLiteral("The user guide could not be opened:\n") + guide,
            QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
}

void CMainDlg::OpenWebPage() {
    const bool japanese = options_.settings && options_.settings->languageAbbrev == "JPN";
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(japanese ? kWebPageJapanese : kWebPage)));
}

// ---------------------------------------------------------------------------
// Readouts

CDigitalPanel* CMainDlg::Readout(int number) const {
    if (number < 1 || number > 6) return nullptr;
    return readouts_[static_cast<size_t>(number - 1)];
}

CGdipButtonBase* CMainDlg::Button(int id) const {
    auto it = buttons_.find(id);
    return it == buttons_.end() ? nullptr : it->second;
}

QAction* CMainDlg::Action(int commandId) const {
    auto it = actions_.find(commandId);
    return it == actions_.end() ? nullptr : it->second;
}

void CMainDlg::OnSettingsUpdated(uint32_t message) {
    // Shutter, aperture and ISO readouts follow the model whatever panel is
    // built; the rest came through IMainWindowView during the dispatch.
    if (message == kMsgDataGroup1Updated || message == kMsgDataGroup3Updated) {
        ShowShutterAndAperture();
        ShowIso();
    }
    EvaluateCaptureButtons();
    EvaluateSpecialButtons();
    EvaluateCustomWbMenu();
}

void CMainDlg::ShowShutterAndAperture() {
    const VARNO::CCamera& cam = session_->Camera();
    CDigitalPanel* r1 = readouts_[0];
    if (connected_) {
        if (const auto* s = cam.ShutterEntry(Byte(1, dg1::kShutter)))
            r1->WriteText(6, 4, QString::fromLatin1(s->readout, 4));
    }
    if (driveMode_ == 0) return;
    const bool lens = cam.DataGroupU16(3, dg3::kFocalShortest) != 0 ||
                      cam.DataGroupU16(3, dg3::kFocalLongest) != 0;
    const auto* a = cam.ApertureEntry(Byte(1, dg1::kAperture));
    const rules::ApertureCells c = rules::ApertureReadout(connected_, lens, a ? a->value : 0);
    r1->WriteText(10, 1, QString(QChar(c.first)));
    r1->SetGlyph(11, c.point);
    r1->WriteText(12, 1, QString(QChar(c.second)));
}

void CMainDlg::ShowIso() {
    if (!connected_) return;
    const auto* iso = session_->Camera().IsoEntry(Byte(1, dg1::kIso));
    if (!iso) return;
    readouts_[2]->WriteText(1, 5, QStringLiteral("%1").arg(iso->value, 5));
}

void CMainDlg::ShowIsoAutoIndicator(int state) {
    if (connected_) readouts_[2]->SetGlyph(0, state);
}

void CMainDlg::UpdateExposureReadout(int code) {
    if (!connected_ && driveMode_ != 6) return;
    const VARNO::CCamera& cam = session_->Camera();
    if (code < 0)
        code =
            driveMode_ == 6 ? static_cast<uint8_t>(bracketAmount_) : Byte(1, dg1::kExposureLevel);
    const auto* e = cam.ExpEntry(static_cast<uint32_t>(code));
    if (!e) return;
    rules::ExposureInputs in;
    in.valueTenths = e->value;
    in.exposureMode = Byte(2, dg2::kExposureMode);
    const auto* s = cam.ShutterEntry(Byte(1, dg1::kShutter));
    in.shutterIsBulb = s && s->value == 0;
    in.driveMode = driveMode_;
    in.bracketFrameCounter = Byte(1, dg1::kBracketFrameCounter);
    const rules::ExposureCells c = rules::ExposureReadout(in);
    CDigitalPanel* r2 = readouts_[1];
    r2->SetGlyph(1, c.sign);
    r2->WriteText(2, 1, QString(QChar(c.first)));
    r2->SetGlyph(3, c.point);
    r2->WriteText(4, 1, QString(QChar(c.second)));
    r2->SetGlyph(0, c.mark);
}

void CMainDlg::SetBracketAmount(int8_t amount) {
    bracketAmount_ = amount;
}

void CMainDlg::SetBracketSetting(uint8_t code, uint8_t shotsClass) {
    bracketSetting_ = code;
    shotsClass_ = shotsClass;
}

void CMainDlg::SetBracketingIndicator(int glyph) {
    readouts_[5]->SetGlyph(6, glyph);
}

void CMainDlg::RefreshBracketReadout() {
    const uint8_t frame = Byte(1, dg1::kBracketFrameCounter);
    readouts_[5]->SetGlyph(7, rules::BracketProgress(bracketAmount_ > 0, shotsClass_, frame));
    if (bracketAmount_ <= 0 && bracketPhase_) WriteRemainingOrBracketing(false);
}

void CMainDlg::SetBracketAmountLimit(int) {}

void CMainDlg::WriteRemainingOrBracketing(bool bracketing) {
    CDigitalPanel* r1 = readouts_[0];
    bracketPhase_ = bracketing;
    if (bracketing) {
        r1->WriteText(1, 4,
                      QString::fromStdString(
                          rules::BracketingText(shotsClass_, Byte(1, dg1::kBracketFrameCounter))));
        return;
    }
    r1->WriteText(
        1, 4,
        QString::fromStdString(rules::RemainingShotsText(
            session_->Camera().DataGroupU16(1, dg1::kRemainingShots), Byte(1, dg1::kCardState))));
    r1->SetGlyph(0, 1);
    r1->SetGlyph(5, 2);
}

void CMainDlg::ShowRemainingShots(uint16_t count, uint8_t cardState) {
    if (!bracketPhase_) WriteRemainingOrBracketing(false);
    SetStatusOverride(rules::CardFullOverride(StatusOverride(), count, cardState));
}

void CMainDlg::ShowBattery(int8_t code) {
    batteryMain_ = code;
    ShowBatteryIcon();
    JudgeBatteries();
}

void CMainDlg::ShowBatteryIcon() {
    readouts_[0]->SetGlyph(13, rules::BlinkingBatteryIcon(batteryMain_, blinkPhase_));
}

void CMainDlg::ShowAdditionalBatteries(uint8_t first, uint8_t second) {
    batteryFirst_ = first;
    batterySecond_ = second;
    const rules::AdditionalBatteryCells c = rules::AdditionalBatteries(first, second);
    CDigitalPanel* r1 = readouts_[0];
    r1->SetGlyph(14, c.visible ? 1 : 0);
    r1->SetGlyph(15, c.visible ? c.first : 0);
    r1->SetGlyph(16, c.visible ? c.second : 0);
    JudgeBatteries();
}

void CMainDlg::JudgeBatteries() {
    switch (rules::JudgeBatteries(batteryMain_, batteryFirst_, batterySecond_)) {
        case rules::BatteryVerdict::Normal:
            break;
        case rules::BatteryVerdict::ControlsOff:
            SetConnected(false);
            break;
        case rules::BatteryVerdict::EndProgram:
            if (!lowBatteryEnding_) {
                lowBatteryEnding_ = true;
                WriteLog(2, "+++ battery low: %s +++", "CMainDlg::ShowBattery");
                // The engine ends the program once no picture is pending and
                // the notice has had its time.
                session_->Engine().SetCloseRequest(kCloseBatteryLow);
                session_->PostNotice(10202, 5000);
            }
            SetConnected(false);
            break;
    }
}

void CMainDlg::ShowExposureModeIndicator(uint8_t mode) {
    if (driveMode_ == 0) return;
    const auto modes = rules::ExposureModeGlyphs(mode);
    const auto custom = rules::CustomModeGlyphs(mode);
    CDigitalPanel* r5 = readouts_[4];
    for (int i = 0; i < 4; ++i) r5->SetGlyph(i, modes[static_cast<size_t>(i)]);
    for (int i = 0; i < 6; ++i) r5->SetGlyph(4 + i, custom[static_cast<size_t>(i)]);
}

void CMainDlg::ShowMeteringIndicator(uint8_t code) {
    const auto g = rules::MeteringGlyphs(code);
    for (int i = 0; i < 3; ++i) readouts_[3]->SetGlyph(i, g[static_cast<size_t>(i)]);
}

void CMainDlg::ShowIntervalReadout(bool on, uint16_t runningSeconds, uint8_t runningCount,
                                   uint8_t configuredCount) {
    const rules::IntervalCells c =
        rules::IntervalReadout(on, runningSeconds, runningCount, configuredCount);
    CDigitalPanel* r6 = readouts_[5];
    r6->WriteText(9, 4, QString::fromStdString(c.timer));
    r6->SetGlyph(13, c.colon);
    r6->SetGlyph(14, c.countMark);
    r6->WriteText(15, 4, QString::fromStdString(c.count));
    r6->SetGlyph(19, c.separator);
    r6->SetCellVisible(20, c.noCountVisible);
    r6->SetGlyph(20, on && c.noCountVisible ? 1 : 0);
}

void CMainDlg::UpdateAfModeStatus(uint8_t afMode) {
    SetStatusOverride(
        rules::AfModeOverride(StatusOverride(), afMode, connected_ || driveMode_ == 6));
}

void CMainDlg::SetIndicator(VARNO::StatusIndicator indicator, bool lit) {
    using I = VARNO::StatusIndicator;
    int cell = 0;
    switch (indicator) {
        case I::FpFlash:
            cell = 0;
            break;
        case I::FlashSync:
            cell = 1;
            break;
        case I::FlashAvailable:
            cell = 2;
            break;
        case I::SlowSync:
            cell = 3;
            break;
        case I::FlashComp:
            cell = 4;
            break;
        case I::StatusLamp:
            cell = 8;
            break;
    }
    readouts_[5]->SetGlyph(cell, lit ? 1 : 0);
}

void CMainDlg::SetSpecialBracketIndicator(uint8_t kind) {
    readouts_[5]->SetGlyph(5, kind == 1 ? 4 : (kind == 2 ? 2 : 0));
}

void CMainDlg::OnWhiteBalanceReported(uint8_t code) {
    // A capture slot reported by the camera starts the custom white balance
    // capture, when that dialog is built.
    if (whiteBalanceReported) {
        whiteBalanceReported(code);
        return;
    }
    if ((code == 9 || code == 11 || code == 13) && customWbCapture) customWbCapture(code);
}

void CMainDlg::SetQmdMode(bool on) {
    qmd_ = on;
    EvaluateCustomWbMenu();
}

void CMainDlg::SetDcCrop(uint8_t code) {
    dcCrop_ = code;
}

// ---------------------------------------------------------------------------
// Status override and the timer

void CMainDlg::PostStatusRefresh() {
    port_.Post(kTargetMainWindow, kMsgCameraStateChanged, 0, 0);
}

void CMainDlg::SetStatusOverride(int value) {
    if (StatusOverride() == value) return;
    session_->Engine().SetStatusOverride(value);
    PostStatusRefresh();
}

void CMainDlg::ReadoutTick() {
    if (sessionDepth_ > 0 || closingForReal_) return;
    if (!session_->ThreadRunning() || !session_->GroupSeen(1)) return;
    blinkPhase_ = !blinkPhase_;
    if (batteryMain_ == 7) ShowBatteryIcon();
    if (++tickCount_ % 2 == 0) {
        if (bracketAmount_ > 0)
            WriteRemainingOrBracketing(!bracketPhase_);
        else if (bracketPhase_)
            WriteRemainingOrBracketing(false);
    }
    if (StatusOverride() == rules::kOverrideAfFailed) {
        if (++overrideTicks_ > rules::kAfFailedTicks) {
            overrideTicks_ = 0;
            SetStatusOverride(rules::kOverrideNone);
        }
    } else {
        overrideTicks_ = 0;
    }
    EvaluateCustomWbMenu();
}

// ---------------------------------------------------------------------------
// Pictures

void CMainDlg::OnCaptureResult(uint32_t code) {
    EvaluateCaptureButtons();
    if (captureResult) captureResult(code);
}

void CMainDlg::UpdateTransferTooltip() {
    if (transferName_.empty() && transferPending_ == 0) {
        statusLine_->setToolTip({});
        return;
    }
    QString tip;
    if (!transferName_.empty())
        tip = QStringLiteral("Downloading %1").arg(QString::fromStdString(transferName_));
    if (transferPending_ > 0) {
        if (!tip.isEmpty()) tip += QStringLiteral("\n");
        tip += transferPending_ == 1
                   ? QStringLiteral("1 picture waiting in the camera")
                   : QStringLiteral("%1 pictures waiting in the camera").arg(transferPending_);
    }
    statusLine_->setToolTip(tip);
}

void CMainDlg::OnTransferProgress(const TransferProgress& p) {
    transferName_ = p.cameraName;
    transferPending_ = p.pendingPictures;
    const int value =
        p.bytesTotal == 0
            ? 0
            : static_cast<int>(std::min<uint64_t>(p.bytesDone, p.bytesTotal) * 1000 / p.bytesTotal);
    transferBar_->setValue(value);
    transferBar_->setVisible(p.bytesTotal > 0 && p.bytesDone < p.bytesTotal);
    transferBar_->raise();
    UpdateTransferTooltip();
}

void CMainDlg::OnPictureFinished(const PictureEvent& e) {
    transferPending_ = session_->PendingPictures();
    if (transferName_ == e.cameraName) {
        transferName_.clear();
        transferBar_->hide();
    }
    UpdateTransferTooltip();
    EvaluateCaptureButtons();
    if (e.kind == PictureKind::Complete) return;
    // Each failed picture is told once; a second event for the same file
    // (or the same failure again) adds nothing.
    const std::string key =
        std::to_string(static_cast<int>(e.kind)) + "|" + e.cameraName + "|" + e.path;
    if (!failuresShown_.insert(key).second) return;
    ++failureNotices_;
    QString text;
    if (e.kind == PictureKind::Incomplete)
        text = QStringLiteral("%1 was not downloaded whole.\r\nWhat arrived is kept as %2")
                   .arg(ShortName(e.cameraName),
                        ShortName(std::filesystem::path(e.path).filename().string()));
    else
        text = QStringLiteral("%1 could not be saved on the computer.\r\n%2")
                   .arg(ShortName(e.cameraName.empty() ? std::string("A picture") : e.cameraName),
                        QString::fromStdString(e.error));
    // The session's notices (closing, battery) keep the box; a failure
    // while one shows only goes to the log.
    if (notice_ && noticeFromSession_) {
        WriteLog(1, "+++ %s +++", text.toStdString().c_str());
        return;
    }
    ShowNoticeText(text, 0, false);
}

}  // namespace kvx::ui
