#include "gdip_button.h"

#include <QPainter>

#include "resource_images.h"

CGdipButton::CGdipButton(QWidget* parent) : CGdipButtonBase(parent) {}

bool CGdipButton::SetImages(int kind, int normal, int hover, int pushed, int disabled,
                            int alternate, int check_mark) {
    SetKind(kind);
    if (kind == kRadio || kind == kCheckBox) with_text_ = true;
    normal_ = kvx::res::LoadPicture(normal);
    hover_img_ = kvx::res::LoadPicture(hover);
    pushed_ = kvx::res::LoadPicture(pushed);
    disabled_ = kvx::res::LoadPicture(disabled);
    alternate_ = alternate ? kvx::res::LoadPicture(alternate) : QImage();
    check_mark_ = check_mark ? kvx::res::LoadPicture(check_mark) : QImage();
    loaded_ = !normal_.isNull() && !hover_img_.isNull() && !pushed_.isNull() && !disabled_.isNull();
    update();
    return loaded_;
}

void CGdipButton::SetDrawSize(const QSize& size) {
    draw_size_ = size;
    updateGeometry();
    update();
}

void CGdipButton::SetWithText(bool with_text) {
    with_text_ = with_text;
    update();
}

void CGdipButton::SetCentredText(bool centred) {
    centred_text_ = centred;
    update();
}

CGdipButton::Picture CGdipButton::ChoosePicture(bool disabled_look, bool pushed, bool hover,
                                                int state) {
    // First match wins; a disabled check box hides its check mark.
    if (disabled_look) return Picture::kDisabled;
    if (pushed && state == kStateAlternate) return Picture::kAlternate;
    if (pushed && state == kStateChecked) return Picture::kPushedChecked;
    if (pushed) return Picture::kPushed;
    if (state == kStateAlternate) return Picture::kAlternate;
    if (hover && state == kStateChecked) return Picture::kHoverChecked;
    if (hover) return Picture::kHover;
    if (state == kStateChecked) return Picture::kNormalChecked;
    return Picture::kNormal;
}

CGdipButton::Picture CGdipButton::CurrentPicture() const {
    if (!loaded_) return Picture::kNone;
    return ChoosePicture(DisabledLook(), isDown(), IsHovered(), GetState());
}

QSize CGdipButton::DrawSize() const {
    // Qualified: inside this class plain Kind() names the enum, and Kind()
    // would be a value-initialised kPush.
    if (CGdipButtonBase::Kind() == kCheckBox) return {13, 13};
    if (draw_size_.isValid()) return draw_size_;
    // A radio button's picture keeps its own size; the text runs beside it.
    if (CGdipButtonBase::Kind() == kRadio && !normal_.isNull()) return normal_.size();
    return size();
}

QSize CGdipButton::sizeHint() const {
    if (draw_size_.isValid()) return draw_size_;
    return normal_.isNull() ? QSize(16, 16) : normal_.size();
}

QImage CGdipButton::Render(Picture picture) const {
    const QImage* base = &normal_;
    bool with_mark = false;
    switch (picture) {
        case Picture::kNone:
            return {};
        case Picture::kNormal:
            break;
        case Picture::kHover:
            base = &hover_img_;
            break;
        case Picture::kPushed:
            base = &pushed_;
            break;
        case Picture::kDisabled:
            base = &disabled_;
            break;
        case Picture::kAlternate:
            base = alternate_.isNull() ? &normal_ : &alternate_;
            break;
        case Picture::kNormalChecked:
            with_mark = true;
            break;
        case Picture::kHoverChecked:
            base = &hover_img_, with_mark = true;
            break;
        case Picture::kPushedChecked:
            base = &pushed_, with_mark = true;
            break;
    }
    const QSize size = DrawSize();
    QImage out(size, QImage::Format_ARGB32_Premultiplied);
    out.fill(BackgroundColor());
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.drawImage(QRect(QPoint(0, 0), size), *base);
    if (with_mark && !check_mark_.isNull()) p.drawImage(QRect(0, 0, 13, 13), check_mark_);
    return out;
}

void CGdipButton::paintEvent(QPaintEvent*) {
    const Picture picture = CurrentPicture();
    if (picture == Picture::kNone) return;  // nothing is drawn without its pictures
    QPainter p(this);
    const QImage image = Render(picture);
    if (!with_text_) {
        p.drawImage(0, 0, image);
        return;
    }
    p.fillRect(rect(), BackgroundColor());
    QRect area = rect().adjusted(2, 0, -2, 0);
    const int image_y = CGdipButtonBase::Kind() == kCheckBox || CGdipButtonBase::Kind() == kRadio
                            ? (height() - image.height()) / 2
                            : 0;
    p.drawImage(CGdipButtonBase::Kind() == kPush ? 0 : area.left(), image_y, image);
    if (text().isEmpty()) return;

    p.setFont(font());
    const QColor colour = DisabledLook() ? QColor(100, 100, 100) : QColor(255, 255, 255);
    int flags = 0;
    if (CGdipButtonBase::Kind() != kPush) {
        area.setLeft(area.left() + image.width() + 3);
        flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap;
    } else if (centred_text_) {
        area.translate(0, -1);
        flags = Qt::AlignCenter;
    } else {
        area.setLeft(area.left() + 5);
        area.translate(0, -2);
        flags = Qt::AlignLeft | Qt::AlignVCenter;
    }
    if (CGdipButtonBase::Kind() == kPush) {
        // A dark copy under the text keeps it readable on the lighter faces.
        p.setPen(Qt::black);
        p.drawText(area, flags, text());
        area.translate(1, 1);
    }
    p.setPen(colour);
    p.drawText(area, flags, text());
}
