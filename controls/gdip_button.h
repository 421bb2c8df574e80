// CGdipButton: a push button, check box or radio button drawn entirely from
// the program's pictures (normal, hover, pushed, disabled, alternate, check
// mark), with optional text.
//
// The owner decides the state: a click only emits clicked(); the owner then
// calls SetState() (a selected radio button is state 1, a checked check box
// state 2) and SetDisabledLook() together with setEnabled().
#pragma once

#include <QImage>

#include "gdip_button_base.h"

class CGdipButton : public CGdipButtonBase {
    Q_OBJECT
public:
    enum Kind { kPush = 0, kPushAlt = 1, kRadio = 2, kCheckBox = 3 };
    enum State { kStateNormal = 0, kStateAlternate = 1, kStateChecked = 2 };
    // The picture shown for a combination of look, press, hover and state.
    enum class Picture {
        kNone,
        kNormal,
        kHover,
        kPushed,
        kDisabled,
        kAlternate,
        kNormalChecked,
        kHoverChecked,
        kPushedChecked
    };

    explicit CGdipButton(QWidget* parent = nullptr);

    // Loads the pictures by number. Kinds 2 and 3 draw their text beside the
    // picture. False (and nothing drawn) unless all four main pictures load;
    // `alternate` and `check_mark` are optional (0 = none).
    virtual bool SetImages(int kind, int normal, int hover, int pushed, int disabled,
                           int alternate = 0, int check_mark = 0);

    // State 0, 1 or 2, the disabled look and the background colour: see
    // CGdipButtonBase.

    // Draw at this size instead of the widget's; check boxes use 13 x 13.
    void SetDrawSize(const QSize& size);
    void SetTooltipText(const QString& text) { setToolTip(text); }
    void SetWithText(bool with_text);
    void SetCentredText(bool centred);

    static Picture ChoosePicture(bool disabled_look, bool pushed, bool hover, int state);
    Picture CurrentPicture() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage Render(Picture picture) const;
    QSize DrawSize() const;

    bool with_text_ = false;
    bool centred_text_ = false;
    bool loaded_ = false;
    QSize draw_size_;
    QImage normal_, hover_img_, pushed_, disabled_, alternate_, check_mark_;
};
