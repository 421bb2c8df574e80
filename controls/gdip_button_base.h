// CGdipButtonBase: what the picture buttons share: the owner's state and
// disabled look, the hover flag and the colour behind the pictures.
#pragma once

#include <QAbstractButton>
#include <QColor>

class CGdipButtonBase : public QAbstractButton {
    Q_OBJECT
public:
    void SetState(int state);  // repaints
    int GetState() const { return state_; }
    // Set by the owner together with setEnabled(): draws the disabled
    // picture and grey text.
    void SetDisabledLook(bool disabled);
    bool DisabledLook() const { return disabled_look_; }
    void SetBackgroundColor(const QColor& colour);  // default 0x2C2C2C
    QColor BackgroundColor() const { return background_; }
    int Kind() const { return kind_; }
    bool IsHovered() const { return hover_; }

protected:
    explicit CGdipButtonBase(QWidget* parent);
    void SetKind(int kind) { kind_ = kind; }
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int kind_ = 0;
    int state_ = 0;
    bool disabled_look_ = false;
    bool hover_ = false;
    QColor background_{44, 44, 44};
};
