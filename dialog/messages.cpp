#include "messages.h"

#include <QMessageBox>

namespace {

void showMessageBox(QWidget *parent, const QString &text, const QString &details)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Dimra"), text, QMessageBox::Ok, parent);
    if (!details.isEmpty())
        box.setDetailedText(details);
    box.exec();
}

MessagePresenter &presenter()
{
    static MessagePresenter current = showMessageBox;
    return current;
}

} // namespace

void DimraMessageBox(QWidget *parent, const QString &text, const QString &details)
{
    presenter()(parent, text, details);
}

MessagePresenter SetMessagePresenter(MessagePresenter replacement)
{
    MessagePresenter previous = presenter();
    presenter() = replacement ? std::move(replacement) : MessagePresenter(showMessageBox);
    return previous;
}
