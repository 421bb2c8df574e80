// CStaticWbAdjust: the white-balance fine adjustment as a point on a colour
// grid, blue (left) to amber (right), green (top) to magenta (bottom), each
// axis -16 .. +16 in steps of 2. The user drags the point or steps it with
// the arrow keys; each commit is reported once with committed(). A value the
// camera reports (SetAdjustValue) moves the point silently.
#pragma once

#include <QImage>
#include <QWidget>
#include <array>
#include <cstdint>

#include "model/dispatch_interfaces.h"

class CStaticWbAdjust : public QWidget, public VARNO::IWbAdjustGrid {
    Q_OBJECT
public:
    enum class Direction { kLeft, kRight, kUp, kDown };
    static constexpr int kSide = 149;
    static constexpr int kGridOrigin = 18;
    static constexpr int kCell = 7;
    static constexpr int kCentre = 74;

    // Throws std::runtime_error when a picture cannot be loaded.
    explicit CStaticWbAdjust(QWidget* parent = nullptr);

    void SetAdjustValue(int8_t blue_amber, int8_t green_magenta) override;
    // axis 1: along blue-amber, else green-magenta; frames code 1 -> 3, 2 -> 5, else 1.
    void SetBracketMarks(int axis, int frames_code, int step);
    // One cell in `direction`, committed like a release. At the edge nothing
    // moves and nothing is committed.
    void StepCursor(Direction direction);
    // Set together with enabling or disabling the window.
    void SetDisabledLook(bool disabled);

    QPoint Cursor() const { return cursor_; }
    QPoint Committed() const { return committed_; }
    bool Dragging() const { return dragging_; }
    int Frames() const { return frames_; }
    QPoint SatelliteOffset(int i) const { return offsets_[i]; }  // i = 1..4
    bool DisabledLook() const { return disabled_look_; }

    static int Snap(int pixel);
    static int PixelOfValue(int value);
    static int ValueOfPixel(int pixel);

signals:
    void committed(int8_t blue_amber, int8_t green_magenta);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void Commit();

    bool disabled_look_ = false;
    bool dragging_ = false;
    QPoint cursor_{kCentre, kCentre};
    QPoint committed_{kCentre, kCentre};
    int frames_ = 1;
    std::array<QPoint, 5> offsets_{};
    QImage grid_, grid_dim_, cursor_dot_, committed_dot_;
};
