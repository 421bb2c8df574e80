// CImageArrowKeyFilter: hands the arrow keys to "Image Setting 1" while it is
// the open panel, so the white-balance point can be moved without first
// clicking the grid. Installed on the application by the main window, which
// says through `active` when the keys belong to the panel (its accordion shows
// panel 2 and none of its dialogs is open). A key is left alone while a drop
// list or a modal dialog has it, or while the focus is in a text field.
#pragma once

#include <QObject>
#include <functional>

class CDialogImage1;

class CImageArrowKeyFilter : public QObject {
    Q_OBJECT
public:
    CImageArrowKeyFilter(CDialogImage1& panel, std::function<bool()> active,
                         QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CDialogImage1& panel_;
    std::function<bool()> active_;
};
