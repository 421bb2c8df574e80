// CGdipToggleButtonEx: a two-state button drawn from five pictures (on,
// on-hover, off, off-hover, disabled), with an optional text drawn over the
// picture (the accordion's panel headers). The owner sets the state after
// each click.
#pragma once

#include <QImage>

#include "gdip_button_base.h"

class CGdipToggleButtonEx : public CGdipButtonBase {
    Q_OBJECT
public:
    enum class Picture { kNone, kOn, kOnHover, kOff, kOffHover, kDisabled };

    explicit CGdipToggleButtonEx(QWidget* parent = nullptr);

    // False (and nothing drawn) unless all five pictures load.
    bool SetImages(int kind, int on, int on_hover, int off, int off_hover, int disabled);
    // State 0 off, 1 on, the disabled look and the background colour: see
    // CGdipButtonBase.

    static Picture ChoosePicture(bool disabled_look, bool pushed_or_hover, int state);
    Picture CurrentPicture() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool loaded_ = false;
    QImage on_, on_hover_, off_, off_hover_, disabled_;
};
