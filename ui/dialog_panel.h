// CDialogPanel: what the six setting panels share: their size and look, their
// labels (white, grey while the panel or the label's own rule says so), the
// way a value selector is filled from a value table, the step buttons and
// sliders, and the one way out to the camera: the command sink.
//
// Selector rule, the same in every panel: a table's "---" placeholder is
// item 0 and is shown when the camera's value is not in the list, but it is
// never offered in the drop list and never selected for a code the camera
// reports; a code that is not offered leaves the selection as it is.
#pragma once

#include <QLabel>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "model/camera.h"
#include "model/value_tables.h"
#include "ui/command_sink.h"

class CGdipButton;
class CGdipHoldButton;
class CGdipSlider;
class CStaticCombo;

namespace VARNO {
class CSettingDispatcher;
}

class CDialogPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 393;
    static constexpr int kHeight = 386;  // the accordion's 512 less six 21-pixel headers

    // Enables or disables the panel as a whole.
    virtual void EnablePanel(bool enable) = 0;
    // Registers the panel (and what it owns) with the dispatcher.
    virtual void RegisterWith(VARNO::CSettingDispatcher& dispatcher) = 0;
    bool PanelEnabled() const { return enabled_; }

    // The colour a label is drawn in now (tests and screenshots look at it).
    static QColor LabelColour(const QLabel* label);

protected:
    CDialogPanel(QWidget* parent, VARNO::CCamera& camera, kvx::ui::ICommandSink& sink);

    VARNO::CCamera& Camera() const { return camera_; }
    // Queues one command; a refused command is logged, never retried.
    void Queue(const tag_CAM_COMMAND& command);
    void SetPanelEnabled(bool enable);

    QLabel* AddLabel(uint32_t string_id, const QRect& box,
                     Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop);
    QLabel* AddValueText(const QPoint& at, const QString& text = {});
    // Grey while `dimmed` even when the panel is enabled.
    void SetLabelDimmed(QLabel* label, bool dimmed);
    void RefreshLabels();

    CStaticCombo* AddSelector(int x, int y, int width = 218);
    // Rebuilds `combo` from `table` filtered by `mask`; the selection is the
    // offered row with `current_code`, else the placeholder. Returns whether
    // anything can be picked.
    static bool FillSelector(CStaticCombo* combo, VARNO::ValueTable table, uint32_t mask,
                             int current_code);
    // Selects the offered row with `code`; false (selection unchanged) when none.
    static bool ShowCode(CStaticCombo* combo, int code);
    static bool HasOptions(const CStaticCombo* combo);

    CGdipHoldButton* AddStepButton(bool up, const QPoint& at, bool arrows = true);
    CGdipSlider* AddSlider(const QPoint& at, int minimum, int maximum);
    CGdipButton* AddCheckButton(uint32_t string_id, const QRect& box);
    static void EnableControl(QWidget* w, bool enable);
    static void SetChecked(CGdipButton* button, bool checked);

    void keyPressEvent(QKeyEvent* event) override;

private:
    VARNO::CCamera& camera_;
    kvx::ui::ICommandSink& sink_;
    bool enabled_ = false;
    std::vector<QLabel*> labels_;
};
