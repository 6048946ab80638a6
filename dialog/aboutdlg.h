#pragma once

#include <QDialog>

// The About box: icon, name and version, one line about the program, and a
// button that closes it.
class CAboutDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget *parent = nullptr);
};
