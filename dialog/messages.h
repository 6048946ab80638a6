#pragma once

#include <QString>
#include <functional>

class QWidget;

// Every message of the program goes through DimraMessageBox or DimraNotice,
// so that one seam decides how it is shown: as a message box for a user, or
// watched by a test without blocking it.
// The details, when there are any, keep the system's own words for a bug
// report; the text is the sentence the user reads.
using MessagePresenter = std::function<void(QWidget *parent, const QString &text, const QString &details)>;

// A modal message: returns once the user has read it.
void DimraMessageBox(QWidget *parent, const QString &text, const QString &details = QString());

// A message that tells and does not wait: it shows beside the window, which
// goes on working behind it (a lost adapter the window waits for).
void DimraNotice(QWidget *parent, const QString &text, const QString &details = QString());

// Replace the presenter of modal messages, or of notices (an empty one
// restores the message box), and return the one that was in place.
MessagePresenter SetMessagePresenter(MessagePresenter presenter);
MessagePresenter SetNoticePresenter(MessagePresenter presenter);
