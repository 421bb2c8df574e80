// CGdipToggleButtonEx: a two-state button drawn from five pictures (on,
// on-hover, off, off-hover, disabled), with an optional text drawn over the
// picture (the accordion's panel headers). The owner sets the state after
// each click.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QImage>

class CGdipToggleButtonEx : public QAbstractButton {
    Q_OBJECT
public:
    enum class Picture { kNone, kOn, kOnHover, kOff, kOffHover, kDisabled };

    explicit CGdipToggleButtonEx(QWidget* parent = nullptr);

    // False (and nothing drawn) unless all five pictures load.
    bool SetImages(int kind, int on, int on_hover, int off, int off_hover, int disabled);
    void SetState(int state);  // 0 off, 1 on; repaints
    int GetState() const { return state_; }
    void SetDisabledLook(bool disabled);
    bool DisabledLook() const { return disabled_look_; }
    void SetBackgroundColor(const QColor& colour);  // default 0x2C2C2C
    int Kind() const { return kind_; }
    bool IsHovered() const { return hover_; }

    static Picture ChoosePicture(bool disabled_look, bool pushed_or_hover, int state);
    Picture CurrentPicture() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int kind_ = 0;
    int state_ = 0;
    bool disabled_look_ = false;
    bool hover_ = false;
    bool loaded_ = false;
    QColor background_{44, 44, 44};
    QImage on_, on_hover_, off_, off_hover_, disabled_;
};
