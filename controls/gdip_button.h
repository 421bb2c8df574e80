// CGdipButton: a push button, check box or radio button drawn entirely from
// the program's pictures (normal, hover, pushed, disabled, alternate, check
// mark), with optional text.
//
// The owner decides the state: a click only emits clicked(); the owner then
// calls SetState() (a selected radio button is state 1, a checked check box
// state 2) and SetDisabledLook() together with setEnabled().
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QImage>

class CGdipButton : public QAbstractButton {
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

    void SetState(int state);  // 0, 1 or 2; repaints
    int GetState() const { return state_; }
    void SetDisabledLook(bool disabled);
    bool DisabledLook() const { return disabled_look_; }
    // Draw at this size instead of the widget's; check boxes use 13 x 13.
    void SetDrawSize(const QSize& size);
    void SetBackgroundColor(const QColor& colour);  // default 0x2C2C2C
    void SetTooltipText(const QString& text) { setToolTip(text); }
    void SetWithText(bool with_text);
    void SetCentredText(bool centred);
    int Kind() const { return kind_; }
    bool IsHovered() const { return hover_; }

    static Picture ChoosePicture(bool disabled_look, bool pushed, bool hover, int state);
    Picture CurrentPicture() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QImage Render(Picture picture) const;
    QSize DrawSize() const;

    int kind_ = kPush;
    int state_ = kStateNormal;
    bool disabled_look_ = false;
    bool hover_ = false;
    bool with_text_ = false;
    bool centred_text_ = false;
    bool loaded_ = false;
    QSize draw_size_;
    QColor background_{44, 44, 44};
    QImage normal_, hover_img_, pushed_, disabled_, alternate_, check_mark_;
};
