// CLiveViewScreen: the screen area of the live view window. It copies the
// composed slot on display and hands pointer input to its owner; the focus
// marker is drawn by the owner's callback on top.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "live_view_canvas.h"

namespace kvx::liveview {

class CLiveViewScreen : public QWidget {
    Q_OBJECT
public:
    CLiveViewScreen(std::shared_ptr<CLiveViewCanvas> canvas, QWidget* parent);

    // Drawn over the picture with what was composed into the slot shown.
    std::function<void(QPainter&, const SlotRects&)> drawOver;
    std::function<void(QMouseEvent*)> pressed, moved, released;
    std::function<void()> left;
    // The rectangles of the slot shown last (empty before the first frame).
    const SlotRects& ShownRects() const { return shown_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    std::shared_ptr<CLiveViewCanvas> canvas_;
    SlotRects shown_;
};

}  // namespace kvx::liveview
