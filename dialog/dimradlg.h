#pragma once

#include "dimraprotocol.h"

#include <QDialog>

// The dimmer dialog: the whole user interface of Dimra.
class CMyDimraDlg : public QDialog, public CDimraProtocol
{
    Q_OBJECT

public:
    explicit CMyDimraDlg(QWidget *parent = nullptr);
    ~CMyDimraDlg() override;
};
