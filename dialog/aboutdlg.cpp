#include "aboutdlg.h"

#include "dialogbuilder.h"
#include "resource.h"

#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    const QHash<int, QWidget *> controls = BuildDialog(this, AboutBoxTemplate());
    auto *ok = static_cast<QPushButton *>(controls.value(Res::IDOK));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
