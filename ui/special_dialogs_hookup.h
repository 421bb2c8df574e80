// CSpecialDialogsHookup: plugs the special function dialogs into the main
// window's hooks: the special capture settings dialog (AB Setting), the
// custom white-balance capture run (Set Custom WB 1..3 and a capture mode
// chosen on the camera body), the ISO function and the date dialogs. While a
// dialog runs it is the receiver of its window targets, so the main window's
// availability messages and the dispatch's DataGroup4 notice reach it.
#pragma once

#include <QObject>
#include <memory>

#include "ui/custom_wb_capture.h"

namespace kvx::ui {

class CMainDlg;
class CDialogDateTime;
class CDialogIsoSetting;
class CDialogSpecialSetting;

class CSpecialDialogsHookup final : public QObject {
    Q_OBJECT
public:
    // Sets the window's hooks; the hookup is owned by the window.
    static CSpecialDialogsHookup* Install(CMainDlg& window);

protected:
    bool event(QEvent* event) override;

private:
    explicit CSpecialDialogsHookup(CMainDlg& window);
    void RunSpecialSettings(QWidget* parent);
    void RunIsoFunction(QWidget* parent);
    void RunDateTime(QWidget* parent);
    void Register(std::initializer_list<int> targets, bool on);

    CMainDlg& window_;
    std::unique_ptr<CCustomWbCapture> capture_;
    CDialogSpecialSetting* special_ = nullptr;
    CDialogIsoSetting* iso_ = nullptr;
    CDialogDateTime* date_ = nullptr;
};

}  // namespace kvx::ui
