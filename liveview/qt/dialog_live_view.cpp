#include "dialog_live_view.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>

#include "log/write_log.h"
#include "model/camera.h"
#include "model/record_layout.h"
#include "model/setting_commands.h"
#include "model/value_tables.h"
#include "model/window_messages.h"
#include "resource_images.h"

namespace kvx::liveview {
namespace {

const QColor kWindowColour(22, 22, 22);

uint8_t GroupByte(const VARNO::CCamera& camera, int group, bool field2, uint8_t bit, int at = 0) {
    const auto* f = VARNO::DataGroupField(group, VARNO::FieldIndex(field2, bit));
    if (f == nullptr || f->width <= at) return 0;
    return camera.DataGroupByte(group, f->offset + at);
}

uint32_t Settable4(const VARNO::CCamera& camera, VARNO::SettableField field) {
    if (!camera.CanSetInfoReceived(4)) return 0;
    return camera.SettableOf(4, field).value_or(0);
}

}  // namespace

CDialogLiveView::CDialogLiveView(kvx::ui::ICommandSink& sink, CLiveViewStep& step,
                                 const VARNO::CCamera& camera, const LiveViewSettings& settings,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window),
      sink_(sink),
      step_(step),
      camera_(camera),
      canvas_(std::make_shared<CLiveViewCanvas>()),
      settings_(settings) {
    WriteLog(2, "enter %s", "CDialogLiveView::CDialogLiveView");
    setWindowTitle("Live View screen");
    setWindowIcon(kvx::res::ProgramIcon());
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kWindowColour);
    pal.setColor(QPalette::WindowText, Qt::white);
    setPalette(pal);

    overlay_.gridDivisions = settings.gridLines;
    overlay_.gridPattern = std::clamp(settings.gridPattern, 0, 2);
    overlay_.useMask = settings.useMask;
    canvas_->SetAngle(CYuvConverter::NormalAngle(settings.rotateAngle));

    // The saved display mode, read against the camera's focus-point mode.
    const int v = NormalDisplayMode(settings.focusSelect);
    const uint8_t m = GroupByte(camera_, 5, true, 0x08);
    if (m == 1) {
        overlay_.focusMode = (v == 0) ? 0 : ((v == 1 || v == 3) ? 1 : 2);
        interactive_ = overlay_.focusMode == 1;
    } else if (m == 2) {
        overlay_.focusMode = (v == 0) ? 0 : ((v == 1 || v == 3) ? 3 : 4);
        interactive_ = overlay_.focusMode != 0;
    } else {
        overlay_.focusMode = v;
    }

    BuildControls();
    const QScreen* s = QGuiApplication::primaryScreen();
    setGeometry(PlacementFor(settings, s ? s->availableGeometry() : QRect(0, 0, 1920, 1080)));
    LayOut();
    RefreshFocus();
    SyncOverlay();
}

CDialogLiveView::~CDialogLiveView() {
    // No frame may be composed for, or repaint requested of, a window that
    // is going: detach before anything of it is destroyed.
    step_.Detach();
    canvas_->DetachWindow();
    WriteLog(2, "enter %s", "CDialogLiveView::~CDialogLiveView");
}

QRect CDialogLiveView::PlacementFor(const LiveViewSettings& s, const QRect& available) {
    // Never larger than the slots can fill or the screen can show, never
    // smaller than the controls need.
    const int maxW = std::max(kMinWidth, std::min(kMaxWidth, available.width()));
    const int maxH = std::max(kMinHeight, std::min(kMaxHeight, available.height()));
    const int w = s.width > 0 ? std::clamp(s.width, kMinWidth, maxW) : std::min(900, maxW);
    const int h = s.height > 0 ? std::clamp(s.height, kMinHeight, maxH) : std::min(700, maxH);
    int x = s.left, y = s.top;
    if (x < available.left() || x + w > available.right() + 1)
        x = available.left() + std::max(0, (available.width() - w) / 2);
    if (y < available.top() || y + h > available.bottom() + 1)
        y = available.top() + std::max(0, (available.height() - h) / 2);
    return QRect(x, y, w, h);
}

void CDialogLiveView::BuildControls() {
    screen_ = new CLiveViewScreen(canvas_, this);
    screen_->drawOver = [this](QPainter& p, const SlotRects& r) { DrawMarker(p, r); };
    screen_->pressed = [this](QMouseEvent* e) { OnPress(e); };
    screen_->moved = [this](QMouseEvent* e) { OnMove(e); };
    screen_->released = [this](QMouseEvent* e) { OnRelease(e); };
    screen_->left = [this] { OnLeave(); };

    auto toggle = [this](int on, int onHover, int off, int offHover, int disabled,
                         const char* tip) {
        auto* b = new CGdipToggleButtonEx(this);
        b->SetImages(0, on, onHover, off, offHover, disabled);
        b->SetBackgroundColor(kWindowColour);
        b->setFixedSize(24, 24);
        b->setToolTip(tip);
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    zoom8_ = toggle(1413, 1414, 1411, 1412, 1415, "Zoom 8");
    zoom4_ = toggle(1408, 1409, 1406, 1407, 1410, "Zoom 4");
    fit_ = toggle(1418, 1419, 1416, 1417, 1420, "Fit");
    auto button = [this](int normal, int hover, int pushed, int disabled, const char* tip,
                         int lit = 0) {
        auto* b = new CGdipButton(this);
        b->SetImages(0, normal, hover, pushed, disabled, lit);
        b->SetBackgroundColor(kWindowColour);
        b->setFixedSize(27, 28);
        b->setToolTip(tip);
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    focusButton_ = button(1421, 1423, 1422, 1424, "Focus Frame", 1460);
    maskButton_ = button(1425, 1427, 1426, 1428, "Mask", 1461);
    peakButton_ = button(1429, 1431, 1430, 1432, "Peak", 1462);
    gridButton_ = button(1433, 1435, 1434, 1436, "Grid", 1463);
    rightButton_ = button(1437, 1439, 1438, 1440, "Right");
    leftButton_ = button(1441, 1443, 1442, 1444, "Left");

    gridList_ = new CStaticCombo(this);
    peakList_ = new CStaticCombo(this);
    for (CStaticCombo* c : {gridList_, peakList_}) {
        c->Place(0, 0, 60);
        c->setFocusPolicy(Qt::NoFocus);
    }
    peakList_->SetImageMode(true);
    int row = 0;
    for (const auto& item : VARNO::GetValueTable(VARNO::ValueTable::LiveViewGrid)) {
        if (item.stringId >= 36000)  // not the placeholder row
            gridList_->AddItem(VARNO::ValueText(item), uint8_t(row), uint8_t(item.code));
        ++row;
    }
    const int at = gridList_->IndexOfCode(uint8_t(overlay_.gridDivisions));
    gridList_->Select(at < 0 ? 0 : at);
    overlay_.gridDivisions = gridList_->SelectedCode();

    connect(fit_, &QAbstractButton::clicked, this, [this] { SetZoom(1, true); });
    connect(zoom4_, &QAbstractButton::clicked, this, [this] { SetZoom(2, true); });
    connect(zoom8_, &QAbstractButton::clicked, this, [this] { SetZoom(3, true); });
    connect(focusButton_, &QAbstractButton::clicked, this, [this] { PressFocusFrameButton(); });
    connect(maskButton_, &QAbstractButton::clicked, this,
            [this] { SetUseMask(!overlay_.useMask); });
    connect(gridButton_, &QAbstractButton::clicked, this,
            [this] { SetGridPattern((overlay_.gridPattern + 1) % 3); });
    connect(leftButton_, &QAbstractButton::clicked, this, [this] { Rotate(true); });
    connect(rightButton_, &QAbstractButton::clicked, this, [this] { Rotate(false); });
    connect(gridList_, &CStaticCombo::picked, this,
            [this](int i) { SetGridDivisions(gridList_->Code(i)); });
    connect(peakButton_, &QAbstractButton::clicked, this, [this] {
        peaking_ = !peaking_;
        const int v = peaking_ && peakList_->Selected() >= 0 ? peakList_->SelectedCode() : 1;
        Queue(VARNO::MakeSettingCommand(VARNO::Setting::PeakingLevel, v));
        EnableControls();
    });
    connect(peakList_, &CStaticCombo::picked, this, [this](int i) {
        Queue(VARNO::MakeSettingCommand(VARNO::Setting::PeakingLevel, peakList_->Code(i)));
    });
    SetZoom(1, false);
    RebuildPeakingList();
    EnableControls();
}

void CDialogLiveView::LayOut() {
    const int w = width(), h = height();
    screen_->setGeometry(7, 7, std::max(1, w - 14), std::max(1, h - 65));
    zoom8_->move(w - 33, h - 47);
    zoom4_->move(w - 58, h - 47);
    fit_->move(w - 83, h - 47);
    focusButton_->move(w - 130, h - 49);
    maskButton_->move(w - 164, h - 49);
    peakButton_->move(w - 273, h - 49);
    gridButton_->move(w - 382, h - 49);
    rightButton_->move(w - 422, h - 49);
    leftButton_->move(w - 450, h - 49);
    gridList_->move(w - 352, h - 46);
    peakList_->move(w - 243, h - 46);
    overlay_.screen = screen_->size();
}

void CDialogLiveView::resizeEvent(QResizeEvent*) {
    LayOut();
    SyncOverlay();
    update();
}

void CDialogLiveView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), kWindowColour);
}

void CDialogLiveView::SyncOverlay() {
    canvas_->SetOverlay(overlay_);
}

void CDialogLiveView::Queue(const tag_CAM_COMMAND& command) {
    sink_.QueueCommand(command);
}

void CDialogLiveView::Open(bool running) {
    Queue(VARNO::MakeSettingCommand(VARNO::Setting::LiveView, 2));
    liveOffSent_ = false;
    canvas_->Reset();
    canvas_->AttachWindow(this);
    step_.Attach(canvas_);
    RefreshFocus();
    const CameraFocus& f = overlay_.focus;
    InitFocusFrame(f.mode, f.x, f.y, f.size);
    ShowPeakingLevel(GroupByte(camera_, 5, true, 0x01));
    // 0: the camera has not reported its magnification yet; stay at Fit.
    if (const uint8_t zoom = GroupByte(camera_, 4, false, 0x20); zoom != 0) ShowMagnification(zoom);
    SetRunning(running);
    show();
}

LiveViewSettings CDialogLiveView::CurrentSettings() const {
    LiveViewSettings s = settings_;
    const QRect g = normalGeometry().isValid() ? normalGeometry() : geometry();
    s.left = g.left();
    s.top = g.top();
    s.width = g.width();
    s.height = g.height();
    s.gridLines = overlay_.gridDivisions;
    s.gridPattern = overlay_.gridPattern;
    s.focusSelect = overlay_.focusMode;
    s.useMask = overlay_.useMask;
    s.rotateAngle = canvas_->Angle();
    return s;
}

void CDialogLiveView::closeEvent(QCloseEvent* event) {
    settings_ = CurrentSettings();
    // The camera leaves live view whichever way its window closes; a camera
    // left in live view with nothing showing it only drains its battery.
    if (!liveOffSent_) Queue(VARNO::MakeSettingCommand(VARNO::Setting::LiveView, 0));
    liveOffSent_ = true;
    step_.Detach();
    event->accept();
    emit closed();
}

void CDialogLiveView::HandleMessage(uint32_t message, uintptr_t wParam, intptr_t) {
    if (message == VARNO::kMsgLiveViewAvailable) {
        SetRunning(wParam != 0);
    } else if (message == VARNO::kMsgLiveViewMask) {
        if (wParam == VARNO::kLiveViewPeakingMask) {
            RebuildPeakingList();
            ShowPeakingLevel(GroupByte(camera_, 5, true, 0x01));
        }
        EnableControls();
    }
}

void CDialogLiveView::SetRunning(bool running) {
    running_ = running;
    RebuildPeakingList();
    ShowPeakingLevel(GroupByte(camera_, 5, true, 0x01));
    EnableControls();
    if (running) {
        setMinimumSize(kMinWidth, kMinHeight);
        setMaximumSize(kMaxWidth, kMaxHeight);
    } else {
        setFixedSize(size());  // not resizable while no camera feeds it
    }
}

void CDialogLiveView::EnableControls() {
    auto enable = [](CGdipButtonBase* b, bool on) {
        b->setEnabled(on);
        b->SetDisabledLook(!on);
    };
    for (CGdipButtonBase* b :
         {static_cast<CGdipButtonBase*>(maskButton_), static_cast<CGdipButtonBase*>(focusButton_),
          static_cast<CGdipButtonBase*>(peakButton_), static_cast<CGdipButtonBase*>(gridButton_),
          static_cast<CGdipButtonBase*>(rightButton_), static_cast<CGdipButtonBase*>(leftButton_)})
        enable(b, running_);
    gridList_->Enable(running_ && overlay_.gridPattern != 0);
    peakList_->Enable(running_ && peaking_);
    const uint32_t z = Settable4(camera_, VARNO::SettableField::MagnificationMask);
    enable(fit_, running_ && (z & 0x01));
    enable(zoom4_, running_ && (z & 0x02));
    enable(zoom8_, running_ && (z & 0x04));
    maskButton_->SetState(overlay_.useMask ? CGdipButton::kStateAlternate : 0);
    gridButton_->SetState(overlay_.gridPattern != 0 ? CGdipButton::kStateAlternate : 0);
    peakButton_->SetState(peaking_ ? CGdipButton::kStateAlternate : 0);
    focusButton_->SetState(overlay_.focusMode != 0 ? CGdipButton::kStateAlternate : 0);
}

void CDialogLiveView::RebuildPeakingList() {
    peakList_->Clear();
    if (!running_) return;
    const uint32_t c = Settable4(camera_, VARNO::SettableField::PeakingMask);
    const bool p = (c & 0x02) || (c & 0x04);
    const bool q = (c & 0x08) || p;
    auto add = [this](int normal, int disabled, int value) {
        const int index = peakList_->Count();
        if (!peakList_->AddItem(QString(), uint8_t(index), uint8_t(value))) return;
        if (!peakList_->SetItemImages(index, normal, disabled))
            WriteLog(1, "peaking swatch %d did not load", normal);
    };
    if (c & 0x02) add(1453, 1454, 2);
    if (p) add(1450, 1450, 3);
    if (q) add(1451, 1452, 4);
    if ((c & 0x10) || q) add(1455, 1456, 5);
}

void CDialogLiveView::SelectPeaking(uint8_t value) {
    const int at = peakList_->IndexOfCode(value);
    if (at >= 0) peakList_->Select(at);
}

void CDialogLiveView::ShowPeakingLevel(uint8_t value) {
    peaking_ = value > 1;
    if (peaking_) SelectPeaking(value);
    EnableControls();
}

void CDialogLiveView::ShowMagnification(uint8_t code) {
    SetZoom(code == 1 ? 1 : (code == 2 ? 2 : 3), false);
}

void CDialogLiveView::SetZoom(int mode, bool send) {
    fit_->SetState(mode == 1);
    zoom4_->SetState(mode == 2);
    zoom8_->SetState(mode == 3);
    if (send) Queue(VARNO::MakeSettingCommand(VARNO::Setting::Magnification, mode));
    overlay_.zoom = mode;
    SyncOverlay();
    screen_->update();
}

void CDialogLiveView::SetGridPattern(int pattern) {
    overlay_.gridPattern = std::clamp(pattern, 0, 2);
    EnableControls();
    SyncOverlay();
}

void CDialogLiveView::SetGridDivisions(int divisions) {
    const int at =
        divisions >= 0 && divisions <= 255 ? gridList_->IndexOfCode(uint8_t(divisions)) : -1;
    gridList_->Select(at < 0 ? 0 : at);
    overlay_.gridDivisions = gridList_->SelectedCode();
    SyncOverlay();
}

void CDialogLiveView::SetUseMask(bool on) {
    overlay_.useMask = on;
    EnableControls();
    SyncOverlay();
}

void CDialogLiveView::Rotate(bool left) {
    const int a = canvas_->Angle();
    canvas_->SetAngle(left ? (a + 90) % 360 : (a + 270) % 360);
    holdCount_ = 4;
}

void CDialogLiveView::PressFocusFrameButton() {
    const uint8_t m = overlay_.focus.mode;
    int& d = overlay_.focusMode;
    if (m == 1) {
        static constexpr int kNext[5] = {1, 2, 0, 2, 0};
        d = kNext[std::clamp(d, 0, 4)];
        interactive_ = d == 1;
    } else if (m == 2) {
        static constexpr int kNext[5] = {3, 4, 0, 4, 0};
        d = kNext[std::clamp(d, 0, 4)];
        interactive_ = d != 0;
    } else {
        return;
    }
    EnableControls();
    SyncOverlay();
    screen_->update();
}

void CDialogLiveView::RefreshFocus() {
    CameraFocus& f = overlay_.focus;
    const CameraFocus now = FocusFromCamera(camera_);
    f = now;
}

CameraFocus CDialogLiveView::FocusFromCamera(const VARNO::CCamera& camera) {
    CameraFocus f;
    f.mode = GroupByte(camera, 5, true, 0x08, 0);
    f.x = GroupByte(camera, 5, true, 0x08, 1);
    f.y = GroupByte(camera, 5, true, 0x08, 2);
    f.size = GroupByte(camera, 5, true, 0x08, 3);
    using VARNO::SettableField;
    auto get = [&](SettableField field) {
        return static_cast<uint16_t>(camera.Settable(field).value_or(0));
    };
    f.rangeWidth = get(SettableField::FocusRangeWidth);
    f.rangeHeight = get(SettableField::FocusRangeHeight);
    f.minX = get(SettableField::FreeMoveMinX);
    f.maxX = get(SettableField::FreeMoveMaxX);
    f.minY = get(SettableField::FreeMoveMinY);
    f.maxY = get(SettableField::FreeMoveMaxY);
    return f;
}

void CDialogLiveView::ShowFocusFrame(const uint8_t frame[4]) {
    overlay_.focus.mode = frame[0];
    overlay_.focus.x = frame[1];
    overlay_.focus.y = frame[2];
    overlay_.focus.size = frame[3];
    // The range may have arrived with the same report.
    const CameraFocus fresh = FocusFromCamera(camera_);
    overlay_.focus.rangeWidth = fresh.rangeWidth;
    overlay_.focus.rangeHeight = fresh.rangeHeight;
    overlay_.focus.minX = fresh.minX;
    overlay_.focus.maxX = fresh.maxX;
    overlay_.focus.minY = fresh.minY;
    overlay_.focus.maxY = fresh.maxY;
    InitFocusFrame(frame[0], frame[1], frame[2], frame[3]);
}

void CDialogLiveView::InitFocusFrame(uint8_t m, uint8_t px, uint8_t py, uint8_t z) {
    int& d = overlay_.focusMode;
    if (m == 1) {
        if (d == 3) d = 1, interactive_ = true;
        if (d == 4) d = 2, interactive_ = false;
    } else if (m == 2) {
        if (d == 1) d = 3, interactive_ = true;
        if (d == 2) d = 4, interactive_ = true;
    }
    overlay_.focus.mode = m;
    overlay_.focus.x = px;
    overlay_.focus.y = py;
    overlay_.focus.size = z;
    if (m == 1) {
        keyColumn_ = px == 18 ? 0 : (px == 32 ? 1 : 2);
        keyRow_ = py == 12 ? 0 : (py == 21 ? 1 : 2);
    } else {
        const SlotRects& r = screen_->ShownRects();
        auto p = r.valid ? CameraToScreen(r.full, r.angle, overlay_.focus, px, py) : std::nullopt;
        const int side =
            r.valid ? MarkerSide(SizeUnits(z), MarkerBounds(r), r.aspect, r.rotated) : 0;
        auto c = p ? ClampMarker(r.full, r.angle, overlay_.focus, MarkerBounds(r), side, *p)
                   : std::nullopt;
        marker_ = c ? *c : Point{-1, -1};
    }
    holdCount_ = 0;
    SyncOverlay();
    screen_->update();
}

Rect CDialogLiveView::MarkerBounds(const SlotRects& r) const {
    return (overlay_.useMask && overlay_.zoom == 1 && r.masked) ? r.mask : r.picture;
}

void CDialogLiveView::OnFrameComposed() {
    if (!firstFrameShown_ && canvas_->HasPicture()) {
        firstFrameShown_ = true;
        screen_->repaint();
        RefreshFocus();
        const CameraFocus& f = overlay_.focus;
        InitFocusFrame(f.mode, f.x, f.y, f.size);
    }
    screen_->update();
}

void CDialogLiveView::SendFocus(uint8_t mode, int x, int y) {
    Queue(VARNO::MakeFocusFrameCommand(mode, static_cast<uint8_t>(std::clamp(x, 0, 255)),
                                       static_cast<uint8_t>(std::clamp(y, 0, 255)),
                                       overlay_.focus.size));
}

void CDialogLiveView::ApplyFocusPoint(int sx, int sy) {
    const SlotRects& r = screen_->ShownRects();
    if (!r.valid) return;
    const CameraFocus& f = overlay_.focus;
    auto cam = ScreenToCamera(r.full, r.angle, f, sx, sy);
    if (!cam) return;
    if (overlay_.focusMode == 1 || overlay_.focusMode == 2) {
        const int sizeIndex = SizeIndex(f.size);
        const Point index{NearestColumn(cam->x, sizeIndex), NearestRow(cam->y, sizeIndex)};
        selected_ = IndexToScreen(index, r.angle);
        const Rect area = MarkerBounds(r);
        const NineGrid g = NinePointGrid(SizeUnits(f.size), area, r.aspect, false);
        marker_ = {area.x + area.w / 2 - 1 + (selected_.x - 1) * g.columnStep,
                   area.y + area.h / 2 - 1 + (selected_.y - 1) * g.rowStep};
        const Point back = IndexToCamera(selected_, r.angle);
        keyColumn_ = back.x;
        keyRow_ = back.y;
        SendFocus(1, NinePointX(back.x), NinePointY(back.y));
    } else {
        const Point p = HoldInFreeRange(f, cam->x, cam->y);
        SendFocus(2, p.x, p.y);
    }
    holdCount_ = 15;
    screen_->update();
}

void CDialogLiveView::MoveFocusByKey(ArrowKey key) {
    const ArrowKey effective = TurnKey(key, canvas_->Angle());
    if (overlay_.zoom != 1 || overlay_.whiteBalanceArea) return;
    const CameraFocus& f = overlay_.focus;
    if (interactive_ && (overlay_.focusMode == 3 || overlay_.focusMode == 4)) {
        if (f.rangeWidth == 0 || f.rangeHeight == 0) return;
        const Point p = FreeKeyMove(f, effective);
        SendFocus(2, p.x, p.y);
    } else if (overlay_.focusMode == 1 || overlay_.focusMode == 2) {
        const Point next = NineKeyMove({keyColumn_, keyRow_}, effective);
        keyColumn_ = next.x;
        keyRow_ = next.y;
        SendFocus(1, NinePointX(next.x), NinePointY(next.y));
    }
}

void CDialogLiveView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Left:
            MoveFocusByKey(ArrowKey::Left);
            break;
        case Qt::Key_Right:
            MoveFocusByKey(ArrowKey::Right);
            break;
        case Qt::Key_Up:
            MoveFocusByKey(ArrowKey::Up);
            break;
        case Qt::Key_Down:
            MoveFocusByKey(ArrowKey::Down);
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    event->accept();
}

void CDialogLiveView::OnPress(QMouseEvent* e) {
    if (overlay_.zoom != 1 || overlay_.whiteBalanceArea) return;
    if (interactive_ && hit_.contains(e->position().toPoint())) {
        dragging_ = true;
        overlay_.dragging = true;
        SyncOverlay();
    }
}

void CDialogLiveView::OnMove(QMouseEvent* e) {
    if (overlay_.zoom != 1 || overlay_.whiteBalanceArea) return;
    const QPoint pos = e->position().toPoint();
    const SlotRects& r = screen_->ShownRects();
    const bool over =
        r.valid && QRect(r.picture.x, r.picture.y, r.picture.w, r.picture.h).contains(pos);
    if (over != overlay_.tracking) {
        overlay_.tracking = over;
        SyncOverlay();
    }
    if (!interactive_ || !dragging_ || !screen_->rect().contains(pos) || !r.valid) return;
    const int side =
        MarkerSide(SizeUnits(overlay_.focus.size), MarkerBounds(r), r.aspect, r.rotated);
    if (auto c =
            ClampMarker(r.full, r.angle, overlay_.focus, MarkerBounds(r), side, {pos.x(), pos.y()}))
        marker_ = *c;
    screen_->update();
}

void CDialogLiveView::OnRelease(QMouseEvent* e) {
    if (overlay_.zoom != 1 || overlay_.whiteBalanceArea) return;
    if (dragging_ && interactive_) {
        ApplyFocusPoint(marker_.x, marker_.y);
    } else if (screen_->rect().contains(e->position().toPoint()) &&
               (interactive_ || overlay_.focusMode == 2)) {
        ApplyFocusPoint(e->position().toPoint().x(), e->position().toPoint().y());
    }
    dragging_ = false;
    overlay_.dragging = false;
    SyncOverlay();
}

void CDialogLiveView::OnLeave() {
    if (dragging_ && interactive_) ApplyFocusPoint(marker_.x, marker_.y);
    dragging_ = false;
    overlay_.dragging = false;
    overlay_.tracking = false;
    SyncOverlay();
}

void CDialogLiveView::DrawMarker(QPainter& p, const SlotRects& r) {
    if (overlay_.whiteBalanceArea) return;
    const CameraFocus& f = overlay_.focus;
    p.setBrush(Qt::NoBrush);
    if (overlay_.zoom != 1) {
        // Where the magnified part lies, in the navigator's corner.
        const int cw = screen_->width(), ch = screen_->height();
        const int nw = r.rotated ? 128 : 192, nh = r.rotated ? 192 : 128;
        int u = 0, v = 0;
        switch (r.angle) {
            case 90:
                u = 3 * f.y;
                v = 192 - 3 * f.x;
                break;
            case 180:
                u = 192 - 3 * f.x;
                v = 128 - 3 * f.y;
                break;
            case 270:
                u = 128 - 3 * f.y;
                v = 3 * f.x;
                break;
            default:
                u = 3 * f.x;
                v = 3 * f.y;
                break;
        }
        if (u < 0 || v < 0 || u > nw || v > nh) return;
        int mw = overlay_.zoom == 2 ? 48 : 24, mh = overlay_.zoom == 2 ? 32 : 16;
        if (r.rotated) std::swap(mw, mh);
        p.setPen(QPen(Qt::white, 1));
        p.drawRect(cw - nw + u + 1 - mw / 2, ch - nh + v + 1 - mh / 2, mw, mh);
        return;
    }
    if (!interactive_) return;
    const int s = MarkerSide(SizeUnits(f.size), MarkerBounds(r), r.aspect, r.rotated);
    if (holdCount_ == 0 && !dragging_) {
        auto m = CameraToScreen(r.full, r.angle, f, f.x, f.y);
        if (!m) return;
        if (auto c = ClampMarker(r.full, r.angle, f, MarkerBounds(r), s, *m)) marker_ = *c;
    }
    if (holdCount_ > 0) --holdCount_;
    if (marker_.x < 0) return;
    const int X = marker_.x - 1, Y = marker_.y - 1, half = s / 2;
    const int l = X - half, rr = X + half, t = Y - half, b = Y + half;
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(QRect(QPoint(l - 2, t - 2), QPoint(rr + 2, b + 2)));
    p.drawRect(QRect(QPoint(l + 1, t + 1), QPoint(rr - 1, b - 1)));
    p.setPen(QPen(Qt::white, 2));
    p.drawRect(QRect(QPoint(l, t), QPoint(rr + 1, b + 1)));
    hit_ = QRect(QPoint(l - 2, t - 2), QPoint(rr + 2, b + 2));
}

}  // namespace kvx::liveview
