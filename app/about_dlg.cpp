#include "app/about_dlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "model/string_table.h"

namespace kvx::app {

QString CAboutDlg::VersionText() {
    return QString::asprintf("Version %s", KVX_VERSION);
}

CAboutDlg::CAboutDlg(QWidget* parent, const QFont& font) : QDialog(parent) {
    const QString name = QString::fromUtf8(VARNO::StringText(103));
    setWindowTitle(name);
    setFont(font);
    auto* layout = new QVBoxLayout(this);  // children are owned by the dialog
    layout->addWidget(new QLabel(name, this));
    layout->addWidget(new QLabel(VersionText(), this));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace kvx::app
