#pragma once

#include <QString>
#include <functional>

class QWidget;

// Every modal message of the program goes through DimraMessageBox, so that
// one seam decides how it is shown: as a modal message box for a user, or
// watched by a test without blocking it.
// The details, when there are any, keep the system's own words for a bug
// report; the text is the sentence the user reads.
using MessagePresenter = std::function<void(QWidget *parent, const QString &text, const QString &details)>;

void DimraMessageBox(QWidget *parent, const QString &text, const QString &details = QString());

// Replaces the presenter (an empty one restores the message box) and
// returns the one that was in place.
MessagePresenter SetMessagePresenter(MessagePresenter presenter);
