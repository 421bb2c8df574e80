// CDialogNewFolder: asks for the name of a new folder inside the current
// one. OK takes only a name that CPreferenceRules accepts as one folder
// name; anything else is explained and the dialog stays open.
#pragma once

#include <string>

#include "prefs/picture_dialog.h"

class QLineEdit;
class QLabel;

namespace kvx::prefs {

class CDialogNewFolder : public CPictureDialog {
    Q_OBJECT
public:
    static constexpr int kBackground = 148;

    CDialogNewFolder(QWidget* parent, const QString& currentFolder);

    // The name entered, as UTF-8 (valid after OK).
    std::string Name() const { return name_; }
    QLineEdit* NameEdit() const { return edit_; }
    // Presses OK: true when the name was taken and the dialog accepted.
    bool TryAccept();

private:
    QLineEdit* edit_ = nullptr;
    std::string name_;
};

}  // namespace kvx::prefs
