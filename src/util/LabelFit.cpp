#include "LabelFit.h"

#include "Twips.h"

#include <QFontMetrics>
#include <QLabel>

namespace krvs {

void fitLabel(QLabel* label, int roomTwips) {
    const int room = twipsToPx(roomTwips);
    const QString text = label->text().remove(QLatin1Char('&'));
    QFont font = label->font();
    int needed = QFontMetrics(font).horizontalAdvance(text);
    if (needed <= label->width()) return;
    while (needed > room && font.pointSizeF() > 6.5) {
        font.setPointSizeF(font.pointSizeF() - 0.25);
        needed = QFontMetrics(font).horizontalAdvance(text);
    }
    label->setFont(font);
    label->resize(qMin(needed + 2, room), label->height());
}

} // namespace krvs
