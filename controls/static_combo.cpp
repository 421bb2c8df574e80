#include "static_combo.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "dialog_combo_list.h"
#include "resource_images.h"

namespace {
// "B&&W" is stored with a doubled ampersand, as menus want it; a selector
// shows a single one.
QString Shown(const QString& text) {
    QString t = text;
    return t.replace("&&", "&");
}
}  // namespace

CStaticCombo::CStaticCombo(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
    setMouseTracking(true);
    QFont f = font();
    f.setWeight(QFont::Normal);
    setFont(f);
    body_normal_ = kvx::res::LoadPicture(195);
    body_hover_ = kvx::res::LoadPicture(194);
    body_disabled_ = kvx::res::LoadPicture(196);
    button_open_ = kvx::res::LoadPicture(188);
    button_hover_ = kvx::res::LoadPicture(189);
    button_normal_ = kvx::res::LoadPicture(190);
    button_disabled_ = kvx::res::LoadPicture(191);
    resize(218, kHeight);
}

CStaticCombo::~CStaticCombo() {
    CloseList();
}

void CStaticCombo::Place(int x, int y, int width) {
    setGeometry(x, y, width, kHeight);
    show();
}

void CStaticCombo::Clear() {
    CloseList();
    items_.clear();
    selected_ = -1;
    first_offered_ = 0;
    update();
}

bool CStaticCombo::AddItem(const QString& text, uint8_t row, uint8_t code) {
    if (Count() >= kMaxItems) return false;
    items_.push_back({text, row, code, {}, {}});
    return true;
}

void CStaticCombo::Select(int index) {
    selected_ = (index >= 0 && index < Count()) ? index : -1;
    update();
}

void CStaticCombo::SetFirstOffered(int index) {
    first_offered_ = std::clamp(index, 0, Count());
}

void CStaticCombo::Enable(bool on) {
    if (!on) CloseList();
    setEnabled(on);
    update();
}

void CStaticCombo::SetNarrowStyle() {
    style_ = Style::kNarrow;
    body_normal_ = kvx::res::LoadPicture(133);
    body_hover_ = kvx::res::LoadPicture(132);
    body_disabled_ = kvx::res::LoadPicture(134);
    update();
}

void CStaticCombo::SetImageMode(bool on) {
    image_mode_ = on;
    update();
}

bool CStaticCombo::SetItemImages(int index, int normal, int disabled) {
    if (index < 0 || index >= Count()) return false;
    QImage n = kvx::res::LoadPicture(normal), d = kvx::res::LoadPicture(disabled);
    if (n.isNull() || d.isNull()) return false;
    items_[index].normal = std::move(n);
    items_[index].disabled = std::move(d);
    return true;
}

QString CStaticCombo::Text(int index) const {
    return index >= 0 && index < Count() ? items_[index].text : QString();
}
uint8_t CStaticCombo::Row(int index) const {
    return index >= 0 && index < Count() ? items_[index].row : 0;
}
uint8_t CStaticCombo::Code(int index) const {
    return index >= 0 && index < Count() ? items_[index].code : 0;
}
int CStaticCombo::SelectedCode() const {
    return selected_ >= 0 ? items_[selected_].code : -1;
}
int CStaticCombo::IndexOfOfferedCode(uint8_t code) const {
    for (int i = first_offered_; i < Count(); ++i)
        if (items_[i].code == code) return i;
    return -1;
}
int CStaticCombo::IndexOfCode(uint8_t code) const {
    for (int i = 0; i < Count(); ++i)
        if (items_[i].code == code) return i;
    return -1;
}
QImage CStaticCombo::ItemImage(int index, bool disabled) const {
    if (index < 0 || index >= Count()) return {};
    return disabled ? items_[index].disabled : items_[index].normal;
}

void CStaticCombo::OpenList() {
    if (list_ || !isEnabled() || first_offered_ >= Count()) return;
    auto* list = new CDialogComboList(*this);  // owns itself: deleted when closed
    list_ = list;
    connect(list, &CDialogComboList::closed, this, &CStaticCombo::OnListClosed);
    list->show();
    list->setFocus();
    update();
}

void CStaticCombo::CloseList() {
    if (!list_) return;
    CDialogComboList* list = list_;
    list_ = nullptr;
    list->disconnect(this);
    list->hide();
    list->deleteLater();
}

void CStaticCombo::OnListClosed(int index) {
    list_ = nullptr;
    update();
    if (index >= first_offered_ && index < Count()) {
        selected_ = index;
        emit picked(index);
    }
}

void CStaticCombo::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0x2C, 0x2C, 0x2C));
    const bool disabled = !isEnabled();
    const bool open = list_ != nullptr;
    const QImage& body = disabled ? body_disabled_ : (open || hover_) ? body_hover_ : body_normal_;
    const QImage& button = disabled ? button_disabled_
                           : open   ? button_open_
                           : hover_ ? button_hover_
                                    : button_normal_;
    // The body stretches to the owner's width, the button keeps its size.
    const int button_w = button.isNull() ? 26 : button.width();
    const int body_w = std::max(0, width() - button_w);
    if (!body.isNull()) p.drawImage(QRect(0, 0, body_w, kHeight), body);
    if (!button.isNull()) p.drawImage(body_w, 0, button);
    if (selected_ < 0) return;
    const Item& item = items_[selected_];
    if (image_mode_) {
        const QImage& img = disabled ? item.disabled : item.normal;
        if (!img.isNull()) p.drawImage(QRect(12, 10, 13, 4), img);
        return;
    }
    p.setPen(disabled ? QColor(0x96, 0x96, 0x96) : QColor(0xFF, 0xFF, 0xFF));
    p.setFont(font());
    p.drawText(QRect(text_offset_, 0, body_w - 3 - text_offset_, kHeight),
               Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, Shown(item.text));
}

void CStaticCombo::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    setFocus(Qt::MouseFocusReason);
    // A click on the open selector reaches here only after the pop-up has
    // closed itself as cancelled: the user's choice stays as it was and
    // nothing is sent again.
    if (list_)
        CloseList();
    else
        OpenList();
    update();
}

void CStaticCombo::enterEvent(QEnterEvent*) {
    hover_ = true;
    update();
}

void CStaticCombo::leaveEvent(QEvent*) {
    hover_ = false;
    update();
}
