#include "messages.h"

#include <QMessageBox>

namespace {

void showMessageBox(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Dimra"), text, QMessageBox::Ok, parent);
    box.exec();
}

MessagePresenter &presenter()
{
    static MessagePresenter current = showMessageBox;
    return current;
}

} // namespace

void DimraMessageBox(QWidget *parent, const QString &text)
{
    presenter()(parent, text);
}

MessagePresenter SetMessagePresenter(MessagePresenter replacement)
{
    MessagePresenter previous = presenter();
    presenter() = replacement ? std::move(replacement) : MessagePresenter(showMessageBox);
    return previous;
}
