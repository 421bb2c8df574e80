#include "live_view_canvas.h"

#include <QMetaObject>
#include <QPainter>

#include "liveview/picture_layout.h"
#include "resource_images.h"

namespace kvx::liveview {
namespace {

const QColor kPictureBackground(44, 44, 44);

QRect Q(const Rect& r) {
    return QRect(r.x, r.y, r.w, r.h);
}

void ShadeOutside(QPainter& p, const Rect& a, int mx, int my) {
    if (mx == 0 && my == 0) return;
    const QColor shade(0, 0, 0, 0x8D), line(255, 255, 255, 0x8D);
    p.setPen(QPen(line, 1));
    if (my >= 1) {
        p.fillRect(a.x, a.y, a.w, my, shade);
        p.fillRect(a.x, a.y + a.h - my, a.w, my, shade);
        p.drawLine(a.x, a.y + my, a.x + a.w, a.y + my);
        p.drawLine(a.x, a.y + a.h - my - 1, a.x + a.w, a.y + a.h - my - 1);
    } else {
        p.fillRect(a.x, a.y, mx, a.h, shade);
        p.fillRect(a.x + a.w - mx, a.y, mx, a.h, shade);
        p.drawLine(a.x + mx, a.y, a.x + mx, a.y + a.h - 1);
        p.drawLine(a.x + a.w - mx - 1, a.y, a.x + a.w - mx - 1, a.y + a.h - 1);
    }
}

void DrawGrid(QPainter& p, const Overlay& o, const Rect& a, int mx, int my) {
    if (o.gridPattern == 0) return;
    p.setPen(QPen(o.gridPattern == 1 ? QColor(255, 255, 255, 0x7F) : QColor(0, 0, 0, 0x7F), 2.0));
    const bool inset = o.useMask && o.zoom == 1;
    const int W = inset ? a.w - 2 * mx : a.w, H = inset ? a.h - 2 * my : a.h;
    for (int off : GridOffsets(W, o.gridDivisions))
        p.drawLine(a.x + mx + off, a.y + my, a.x + mx + off, a.y + a.h - my);
    for (int off : GridOffsets(H, o.gridDivisions))
        p.drawLine(a.x + mx, a.y + my + off, a.x + a.w - mx, a.y + my + off);
}

void NinePointSquare(QPainter& p, Point c, int s, bool selected) {
    const int b = s / 2;
    const QPen outer(selected ? QColor(0, 0, 0) : QColor(0, 0, 0, 0x7F), 1);
    const QPen inner(selected ? QColor(255, 255, 255) : QColor(255, 255, 255, 0x7F), 2);
    p.setBrush(Qt::NoBrush);
    p.setPen(outer);
    p.drawRect(c.x - b - 2, c.y - b - 2, s + 3, s + 3);
    p.setPen(inner);
    p.drawRect(c.x - b, c.y - b, s, s);
    p.setPen(outer);
    p.drawRect(c.x - b + 1, c.y - b + 1, s - 3, s - 3);
}

void DrawFocusOverlay(QPainter& p, const Overlay& o, const SlotRects& r, const Rect& area) {
    const CameraFocus& f = o.focus;
    if (o.focusMode == 1 || o.focusMode == 2) {
        if (o.focusMode == 1 && !o.tracking) return;
        const Point selected = IndexToScreen({NearestColumn(f.x, 2), NearestRow(f.y, 2)}, r.angle);
        const NineGrid g = NinePointGrid(SizeUnits(f.size), area, r.aspect, r.rotated);
        if (g.side <= 0) return;
        for (int j = 0; j < 3; ++j)
            for (int i = 0; i < 3; ++i)
                NinePointSquare(p, NinePointCentre(g, area, {i, j}), g.side,
                                !o.dragging && selected == Point{i, j});
    } else if (o.focusMode == 3 || o.focusMode == 4) {
        if (o.focusMode == 3 && !o.tracking) return;
        const Rect bounds = r.masked ? r.mask : r.picture;
        auto region = MarkerRegion(r.full, r.angle, f, bounds, 0);
        if (!region || region->x2 < region->x1 || region->y2 < region->y1) return;
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(255, 255, 255, 0x7F), 1));
        p.drawRect(region->x1 - 3, region->y1 - 3, region->x2 - region->x1 + 4,
                   region->y2 - region->y1 + 4);
        p.setPen(QPen(QColor(0, 0, 0, 0x7F), 1));
        p.drawRect(region->x1 - 4, region->y1 - 4, region->x2 - region->x1 + 6,
                   region->y2 - region->y1 + 6);
    }
}

}  // namespace

CLiveViewCanvas::CLiveViewCanvas() : frame_(kSlotSide, kSlotSide, QImage::Format_RGB32) {
    frame_.fill(Qt::black);
    for (auto& c : composed_) {
        c = QImage(kSlotSide, kSlotSide, QImage::Format_RGB32);
        c.fill(kPictureBackground);
    }
    navigator_[0] = kvx::res::LoadPicture(1480);
    navigator_[1] = kvx::res::LoadPicture(1481);
}

void CLiveViewCanvas::SetOverlay(const Overlay& overlay) {
    std::lock_guard g(lock_);
    overlay_ = overlay;
}

Overlay CLiveViewCanvas::CurrentOverlay() const {
    std::lock_guard g(lock_);
    return overlay_;
}

void CLiveViewCanvas::AttachWindow(QObject* window) {
    std::lock_guard g(lock_);
    window_ = window;
}

void CLiveViewCanvas::DetachWindow() {
    std::lock_guard g(lock_);
    window_ = nullptr;
}

void CLiveViewCanvas::Reset() {
    std::lock_guard g(lock_);
    display_ = -1;
    compose_ = 0;
    for (auto& r : rects_) r = SlotRects{};
}

bool CLiveViewCanvas::HasPicture() const {
    std::lock_guard g(lock_);
    return display_ >= 0;
}

const QImage* CLiveViewCanvas::BeginPaint(SlotRects& rects, int& slot) {
    std::lock_guard g(lock_);
    slot = display_;
    if (slot < 0 || !rects_[slot].valid) return nullptr;
    reading_ = slot;
    rects = rects_[slot];
    return &composed_[slot];
}

void CLiveViewCanvas::EndPaint(int slot) {
    std::lock_guard g(lock_);
    if (reading_ == slot) reading_ = -1;
}

void CLiveViewCanvas::SetFrameResult(const FrameResult& result, int aspectIndex) {
    frameResult_ = result;
    aspectIndex_ = aspectIndex;
    haveFrame_ = true;
}

bool CLiveViewCanvas::Compose() {
    if (!haveFrame_) return false;
    int target = 0;
    Overlay o;
    {
        std::lock_guard g(lock_);
        // The next slot in turn that is neither on display nor being painted.
        target = compose_;
        while (target == display_ || target == reading_) target = (target + 1) % kSlots;
        o = overlay_;
    }
    SlotRects rects;
    ComposeInto(composed_[target], rects, o);
    std::lock_guard g(lock_);
    rects_[target] = rects;
    display_ = target;
    compose_ = (target + 1) % kSlots;
    return true;
}

bool CLiveViewCanvas::RequestRepaint() {
    std::lock_guard g(lock_);
    if (window_ == nullptr) return false;
    // Queued: the window thread repaints when it gets to it; the window
    // cannot go while we hold the lock, and Qt drops the call if it goes later.
    QMetaObject::invokeMethod(window_, "OnFrameComposed", Qt::QueuedConnection);
    return true;
}

void CLiveViewCanvas::ComposeInto(QImage& target, SlotRects& r, const Overlay& o) {
    const FrameResult& fr = frameResult_;
    const int cw = std::clamp(o.screen.width(), 1, kSlotSide);
    const int ch = std::clamp(o.screen.height(), 1, kSlotSide);
    r.rotated = fr.rotated;
    r.angle = Angle();
    r.aspect = AspectRect(fr.large, fr.rotated, aspectIndex_);
    const Rect full = FullFrameRect(fr.large, fr.rotated);
    const bool fit = o.zoom == 1;
    r.masked = o.useMask && fit && !o.whiteBalanceArea;
    Rect source = (!o.useMask && fit && !o.whiteBalanceArea) ? r.aspect : full;
    // The frame may be smaller than the table's sizes (a display size the
    // camera does not usually send): never read past what was drawn.
    source.w = std::min(source.w, fr.width - source.x);
    source.h = std::min(source.h, fr.height - source.y);
    const Rect a = FitRect(cw, ch, source.w, source.h);
    r.picture = a;
    r.full = r.masked ? a : FullFrameOnScreen(a, full.w, full.h);

    QPainter p(&target);
    p.fillRect(0, 0, cw, ch, kPictureBackground);
    // Nearest colour: the stretch keeps the camera's pixels as they are.
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (a.w > 0 && a.h > 0) p.drawImage(Q(a), frame_, Q(source));

    int mx = 0, my = 0;
    if (r.masked) {
        const Rect m = FitRect(a.w, a.h, r.aspect.w, r.aspect.h);
        mx = m.x;
        my = m.y;
        ShadeOutside(p, a, mx, my);
        r.mask = Rect{a.x + m.x, a.y + m.y, m.w, m.h};
    }
    if (!o.whiteBalanceArea) {
        if (o.useMask) {
            if (mx > 0) ++mx;
            if (my > 0) ++my;
        }
        DrawGrid(p, o, a, mx, my);
        if (o.focusMode != 0 && fit) {
            p.setRenderHint(QPainter::Antialiasing, false);
            DrawFocusOverlay(p, o, r, r.masked ? r.mask : a);
        }
        if (!fit) {
            const QImage& nav = navigator_[fr.rotated ? 1 : 0];
            if (!nav.isNull()) p.drawImage(cw - nav.width(), ch - nav.height(), nav);
        }
    }
    r.valid = true;
}

}  // namespace kvx::liveview
