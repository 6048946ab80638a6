#include "dialogbuilder.h"

#include "resource.h"

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace {

// A drop-down list whose closed box shortens a text too long for it instead
// of cutting it off mid-letter. A port entry ("COM1  ttyUSB0 · CH340")
// keeps its number and its device whole and gives up what follows the
// device first; a device name too long even alone loses its middle, so that
// both of its ends show. The open list and the tooltip give the whole entry.
class CElidingComboBox : public QComboBox
{
public:
    using QComboBox::QComboBox;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QStylePainter painter(this);
        QStyleOptionComboBox option;
        initStyleOption(&option);
        painter.drawComplexControl(QStyle::CC_ComboBox, option);
        const QRect room = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
        option.currentText = shortened(option.currentText, room.width());
        painter.drawControl(QStyle::CE_ComboBoxLabel, option);
    }

private:
    QString shortened(const QString &text, int width) const
    {
        const QFontMetrics metrics = fontMetrics();
        if (metrics.horizontalAdvance(text) <= width)
            return text;
        const qsizetype gap = text.indexOf(QLatin1String("  "));
        if (gap <= 0)
            return metrics.elidedText(text, Qt::ElideMiddle, width);
        const QString number = text.left(gap + 2);
        const QString name = text.mid(gap + 2);
        const QString device = name.section(QStringLiteral(" · "), 0, 0);
        const int nameRoom = width - metrics.horizontalAdvance(number);
        const int rest = nameRoom - metrics.horizontalAdvance(device);
        if (rest < 0)
            return number + metrics.elidedText(device, Qt::ElideMiddle, qMax(0, nameRoom));
        return number + device + metrics.elidedText(name.mid(device.size()), Qt::ElideRight, rest);
    }
};

int mulDiv(int value, int numerator, int denominator)
{
    return int((qint64(value) * numerator + denominator / 2) / denominator);
}

QWidget *createItem(QWidget *dialog, const DialogItem &item)
{
    const QString text = QCoreApplication::translate(kTemplateContext, item.text);
    switch (item.kind) {
    case ItemKind::Label:
    case ItemKind::CentredLabel: {
        auto *label = new QLabel(text, dialog);
        label->setAlignment(item.kind == ItemKind::CentredLabel ? Qt::AlignHCenter | Qt::AlignTop
                                                                : Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    case ItemKind::Icon: {
        auto *label = new QLabel(dialog);
        label->setPixmap(QIcon(QStringLiteral(":/icons/dimra-32.png")).pixmap(32, 32));
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    case ItemKind::Slider: {
        auto *slider = new QSlider(Qt::Horizontal, dialog);
        slider->setTickPosition(QSlider::TicksBothSides);
        return slider;
    }
    case ItemKind::Edit:
        return new QLineEdit(dialog);
    case ItemKind::PushButton:
    case ItemKind::DefPushButton: {
        auto *button = new QPushButton(text, dialog);
        // Only a default push button of the template answers Enter. Qt makes
        // every other button of a dialog a candidate (auto-default), and the
        // first of them would take Enter from an edit and apply another row.
        button->setAutoDefault(item.kind == ItemKind::DefPushButton);
        button->setDefault(item.kind == ItemKind::DefPushButton);
        return button;
    }
    case ItemKind::ComboBox:
        return new CElidingComboBox(dialog);
    case ItemKind::SerialControl:
        return nullptr; // the serial control has no window of its own
    }
    return nullptr;
}

} // namespace

CDialogUnits::CDialogUnits(const QFont &font)
{
    const QFontMetrics metrics(font);
    static const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    m_baseX = qMax(1, (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2);
    m_baseY = qMax(1, metrics.height());
}

QRect CDialogUnits::toPixels(int x, int y, int cx, int cy) const
{
    return QRect(mulDiv(x, m_baseX, 4), mulDiv(y, m_baseY, 8), mulDiv(cx, m_baseX, 4),
                 mulDiv(cy, m_baseY, 8));
}

QHash<int, QWidget *> BuildDialog(QWidget *dialog, const DialogTemplate &tpl)
{
    QFont font = QApplication::font(dialog);
    font.setPointSize(tpl.pointSize);
    dialog->setFont(font);
    dialog->setWindowTitle(QCoreApplication::translate(kTemplateContext, tpl.caption));

    const CDialogUnits units(font);
    const QSize client = units.toPixels(0, 0, tpl.cx, tpl.cy).size();
    if (tpl.resizable) {
        // Shrinking the window never hides a control.
        dialog->resize(client);
        dialog->setMinimumSize(client);
    }
    else
        dialog->setFixedSize(client);

    QHash<int, QWidget *> controls;
    for (const DialogItem &item : tpl.items) {
        QWidget *widget = createItem(dialog, item);
        if (!widget)
            continue;
        widget->setObjectName(QString::fromLatin1(item.name));
        QRect rect = units.toPixels(item.x, item.y, item.cx, item.cy);
        if (item.kind == ItemKind::ComboBox) // the template's height is that of the open list
            rect.setHeight(widget->sizeHint().height());
        widget->setGeometry(rect);
        widget->setEnabled(!item.disabled);
        if (item.id != Res::IDC_STATIC)
            controls.insert(item.id, widget);
    }
    return controls;
}
