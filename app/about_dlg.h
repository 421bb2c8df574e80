// The About box: the program's name and "Version <project version>".
#pragma once

#include <QDialog>

namespace kvx::app {

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent, const QFont& font);

    // "Version %s" with the version the program was built as.
    static QString VersionText();
};

}  // namespace kvx::app
