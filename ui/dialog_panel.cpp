#include "dialog_panel.h"

#include <QKeyEvent>

#include "gdip_button.h"
#include "gdip_hold_button.h"
#include "gdip_slider.h"
#include "log/write_log.h"
#include "model/string_table.h"
#include "static_combo.h"

namespace {
const QColor kBackground(0x2C, 0x2C, 0x2C);
const QColor kWhite(0xFF, 0xFF, 0xFF);
const QColor kGrey(0x64, 0x64, 0x64);
constexpr const char* kDimmed = "kvxDimmed";
}  // namespace

CDialogPanel::CDialogPanel(QWidget* parent, VARNO::CCamera& camera, kvx::ui::ICommandSink& sink)
    : QWidget(parent), camera_(camera), sink_(sink) {
    setFixedSize(kWidth, kHeight);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackground);
    pal.setColor(QPalette::WindowText, kWhite);
    pal.setColor(QPalette::Base, Qt::black);
    pal.setColor(QPalette::Text, kWhite);
    setPalette(pal);
    QFont f = font();
    f.setWeight(QFont::Normal);
    setFont(f);
}

void CDialogPanel::Queue(const tag_CAM_COMMAND& command) {
    if (!sink_.QueueCommand(command))
        WriteLog(1, "+++ error code = %d at %s +++ (command 0x%x refused)", 1,
                 "CDialogPanel::Queue", static_cast<unsigned>(command.command));
}

void CDialogPanel::SetPanelEnabled(bool enable) {
    enabled_ = enable;
    RefreshLabels();
}

QColor CDialogPanel::LabelColour(const QLabel* label) {
    return label->palette().color(QPalette::WindowText);
}

QLabel* CDialogPanel::AddLabel(uint32_t string_id, const QRect& box, Qt::Alignment align) {
    auto* label = new QLabel(QString::fromUtf8(VARNO::StringText(string_id)), this);
    label->setGeometry(box);
    label->setAlignment(align);
    label->setWordWrap(box.height() > 20);
    labels_.push_back(label);
    return label;
}

QLabel* CDialogPanel::AddValueText(const QPoint& at, const QString& text) {
    auto* label = new QLabel(text, this);
    label->setGeometry(at.x(), at.y() - 1, 90, 16);
    labels_.push_back(label);
    return label;
}

void CDialogPanel::SetLabelDimmed(QLabel* label, bool dimmed) {
    label->setProperty(kDimmed, dimmed);
    RefreshLabels();
}

void CDialogPanel::RefreshLabels() {
    for (QLabel* label : labels_) {
        const bool grey = !enabled_ || label->property(kDimmed).toBool();
        const QColor& colour = grey ? kGrey : kWhite;
        // Only a real change: a palette change re-polishes and repaints the label.
        if (label->palette().color(QPalette::WindowText) == colour) continue;
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, colour);
        label->setPalette(pal);
    }
}

CStaticCombo* CDialogPanel::AddSelector(int x, int y, int width) {
    auto* combo = new CStaticCombo(this);
    combo->Place(x, y, width);
    return combo;
}

bool CDialogPanel::FillSelector(CStaticCombo* combo, VARNO::ValueTable table, uint32_t mask,
                                int current_code) {
    const VARNO::FilteredList list = VARNO::FilterValueTable(table, mask, -1);
    const VARNO::tag_VALUE_ITEM* rows = VARNO::GetValueTable(table).data();
    const auto placeholder = VARNO::PlaceholderCode(table);
    const bool first_is_placeholder =
        placeholder && !list.items.empty() && list.items[0]->stringId == VARNO::kStrPlaceholder;
    // A status update refills lists whose mask has not changed: keep the
    // items (and an open drop list) when the rows are the same.
    bool same = combo->Count() == static_cast<int>(list.items.size());
    for (int i = 0; same && i < combo->Count(); ++i)
        same = combo->Row(i) == static_cast<uint8_t>(list.items[i] - rows);
    if (!same) {
        combo->Clear();
        for (const VARNO::tag_VALUE_ITEM* item : list.items)
            combo->AddItem(QString::fromUtf8(VARNO::ValueText(*item)),
                           static_cast<uint8_t>(item - rows), item->code);
        combo->SetFirstOffered(first_is_placeholder ? 1 : 0);
    }
    int selected = current_code >= 0 ? combo->IndexOfOfferedCode(uint8_t(current_code)) : -1;
    if (selected < 0) selected = first_is_placeholder ? 0 : -1;
    if (selected != combo->Selected()) combo->Select(selected);
    return HasOptions(combo);
}

bool CDialogPanel::ShowCode(CStaticCombo* combo, int code) {
    if (code < 0 || code > 255) return false;
    const int index = combo->IndexOfOfferedCode(static_cast<uint8_t>(code));
    if (index < 0) return false;
    combo->Select(index);
    return true;
}

bool CDialogPanel::HasOptions(const CStaticCombo* combo) {
    return combo->FirstOffered() < combo->Count();
}

CGdipHoldButton* CDialogPanel::AddStepButton(bool up, const QPoint& at, bool arrows) {
    auto* b = new CGdipHoldButton(this);
    const int first = arrows ? (up ? 2108 : 2104) : (up ? 2116 : 2112);
    b->SetImages(0, first, first + 1, first + 2, first + 3);
    b->SetTiming(500, 500);
    b->setGeometry(at.x(), at.y(), 17, 18);
    return b;
}

CGdipSlider* CDialogPanel::AddSlider(const QPoint& at, int minimum, int maximum) {
    auto* s = new CGdipSlider(this);
    s->LoadImages(2120);
    s->setGeometry(at.x(), at.y(), 176, 18);
    s->setRange(minimum, maximum);
    s->setPageStep(1);
    s->setSingleStep(1);
    return s;
}

CGdipButton* CDialogPanel::AddCheckButton(uint32_t string_id, const QRect& box) {
    auto* b = new CGdipButton(this);
    b->SetImages(CGdipButton::kCheckBox, 175, 176, 176, 177, 0, 174);
    // A space keeps the text clear of the box the picture draws.
    b->setText(QStringLiteral(" ") + QString::fromUtf8(VARNO::StringText(string_id)));
    b->SetWithText(true);
    b->SetDrawSize(QSize(13, 13));
    b->setGeometry(box);
    return b;
}

void CDialogPanel::EnableControl(QWidget* w, bool enable) {
    if (auto* combo = qobject_cast<CStaticCombo*>(w)) {
        combo->Enable(enable);
        return;
    }
    w->setEnabled(enable);
    if (auto* b = qobject_cast<CGdipButtonBase*>(w)) b->SetDisabledLook(!enable);
}

void CDialogPanel::SetChecked(CGdipButton* button, bool checked) {
    button->SetState(checked ? CGdipButton::kStateChecked : CGdipButton::kStateNormal);
}

void CDialogPanel::keyPressEvent(QKeyEvent* event) {
    // Neither Escape nor Enter closes a panel.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter)
        return;
    QWidget::keyPressEvent(event);
}
