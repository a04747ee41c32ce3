#include "foundation/ui/fieldlabel.h"

#include <QEvent>
#include <QPainter>
#include <QRegularExpression>

namespace papyrant {

FieldLabel::FieldLabel(const QString &caption, QWidget *field, QWidget *parent)
    : QLabel(caption, parent), m_field(field)
{
    if (m_field)
        m_field->setParent(this);
    placeField();
}

FieldLabel::Parts FieldLabel::parts() const
{
    // The longest run of two or more spaces holds the field; without one it follows the text.
    static const QRegularExpression spaces(QStringLiteral(" {2,}"));
    const QString caption = text();
    qsizetype bestAt = -1;
    qsizetype bestLength = 0;
    for (auto it = spaces.globalMatch(caption); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.capturedLength() > bestLength) {
            bestAt = m.capturedStart();
            bestLength = m.capturedLength();
        }
    }
    if (bestAt < 0)
        return {caption, {}};
    return {caption.left(bestAt), caption.mid(bestAt + bestLength)};
}

int FieldLabel::gap() const
{
    return fontMetrics().horizontalAdvance(QLatin1Char(' '));
}

QSize FieldLabel::sizeHint() const
{
    const Parts p = parts();
    const QFontMetrics fm = fontMetrics();
    const QSize field = m_field ? m_field->sizeHint() : QSize();
    const int width = fm.horizontalAdvance(p.before) + gap() + field.width() + gap()
                      + fm.horizontalAdvance(p.after);
    return {width, qMax(fm.height(), field.height())};
}

QSize FieldLabel::minimumSizeHint() const
{
    return sizeHint();
}

void FieldLabel::placeField()
{
    if (!m_field)
        return;
    const QSize field = m_field->sizeHint();
    const int x = fontMetrics().horizontalAdvance(parts().before) + gap();
    m_field->setGeometry(x, (height() - field.height()) / 2, field.width(), field.height());
}

void FieldLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
    const Parts p = parts();
    const QFontMetrics fm = fontMetrics();
    const QRect line = rect();
    painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, p.before);
    const int fieldWidth = m_field ? m_field->sizeHint().width() : 0;
    const int afterX = fm.horizontalAdvance(p.before) + gap() + fieldWidth + gap();
    painter.drawText(line.adjusted(afterX, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, p.after);
}

void FieldLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    placeField();
}

bool FieldLabel::event(QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange
        || event->type() == QEvent::LayoutRequest) {
        placeField();
        updateGeometry();
    }
    return QLabel::event(event);
}

} // namespace papyrant
