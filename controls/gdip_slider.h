// CGdipSlider: a horizontal trackbar with a picture channel (drawn 160
// pixels wide, centred) and a 9 x 14 picture thumb (2102 normal, 2101 hot,
// 2100 pressed, 2103 disabled).
//
// userChanged() carries only the user's changes: keyboard, wheel, clicks on
// the channel, and a drag once, on release. A value the program sets with
// setValue() never comes back through it, so a camera update cannot echo
// back to the camera as a new setting.
#pragma once

#include <QAbstractSlider>
#include <QColor>
#include <QImage>
#include <algorithm>

class CGdipSlider : public QAbstractSlider {
    Q_OBJECT
public:
    enum class Thumb { kNormal, kHot, kPressed, kDisabled };
    static constexpr int kThumbWidth = 9;
    static constexpr int kThumbHeight = 14;
    static constexpr int kChannelWidth = 160;

    explicit CGdipSlider(QWidget* parent = nullptr);

    // Loads the thumb pictures and the given channel picture. False when any
    // fails; the slider then keeps no pictures and draws a plain trackbar.
    bool LoadImages(int channel);
    void SetBackgroundColor(const QColor& colour);  // default 0x2C2C2C

    // The thumb picture for the current state; `cursor_on_thumb` lights a
    // thumb under the pointer even without a hot state.
    static Thumb ChooseThumb(bool enabled, bool pressed, bool focused, bool hot,
                             bool cursor_on_thumb);
    Thumb CurrentThumb() const;
    QRect ThumbRect() const;  // where the thumb is drawn for the slider position

    QSize sizeHint() const override { return {176, 18}; }

signals:
    void userChanged(int value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int ChannelLeft() const { return 8; }
    int ChannelSpan() const { return std::max(1, width() - 16); }
    int ValueAt(int x) const;
    void PaintPlain(QPainter& p);

    bool loaded_ = false;
    bool user_pending_ = false;
    bool cursor_on_thumb_ = false;
    int drag_offset_ = 0;
    QColor background_{44, 44, 44};
    QImage channel_, thumb_normal_, thumb_hot_, thumb_pressed_, thumb_disabled_;
};
