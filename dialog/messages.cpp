#include "messages.h"

#include <QMessageBox>
#include <memory>

namespace {

QMessageBox *messageBox(QWidget *parent, const QString &text, const QString &details)
{
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Dimra"), text, QMessageBox::Ok, parent);
    if (!details.isEmpty())
        box->setDetailedText(details);
    return box;
}

void showMessageBox(QWidget *parent, const QString &text, const QString &details)
{
    const std::unique_ptr<QMessageBox> box(messageBox(parent, text, details));
    box->exec();
}

void showNotice(QWidget *parent, const QString &text, const QString &details)
{
    // A later notice takes the place of one still shown, so that an adapter
    // lost again and again does not stack boxes beside the window.
    const QString name = QStringLiteral("dimraNotice");
    if (parent) {
        for (QMessageBox *earlier : parent->findChildren<QMessageBox *>(name, Qt::FindDirectChildrenOnly))
            earlier->close();
    }
    QMessageBox *box = messageBox(parent, text, details);
    box->setObjectName(name);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

MessagePresenter &messagePresenter()
{
    static MessagePresenter current = showMessageBox;
    return current;
}

MessagePresenter &noticePresenter()
{
    static MessagePresenter current = showNotice;
    return current;
}

MessagePresenter replace(MessagePresenter &current, MessagePresenter replacement, void (*standard)(QWidget *, const QString &, const QString &))
{
    MessagePresenter previous = current;
    current = replacement ? std::move(replacement) : MessagePresenter(standard);
    return previous;
}

} // namespace

void DimraMessageBox(QWidget *parent, const QString &text, const QString &details)
{
    messagePresenter()(parent, text, details);
}

void DimraNotice(QWidget *parent, const QString &text, const QString &details)
{
    noticePresenter()(parent, text, details);
}

MessagePresenter SetMessagePresenter(MessagePresenter replacement)
{
    return replace(messagePresenter(), std::move(replacement), showMessageBox);
}

MessagePresenter SetNoticePresenter(MessagePresenter replacement)
{
    return replace(noticePresenter(), std::move(replacement), showNotice);
}
