#include "util/LabelFit.h"

#include "util/Twips.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

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

void fitButton(QPushButton* button, int roomTwips) {
    const int room = twipsToPx(roomTwips);
    const QString text = button->text().remove(QLatin1Char('&'));
    const int frame = button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
    QFont font = button->font();
    auto needed = [&] {
        const QFontMetrics fm(font);
        return fm.horizontalAdvance(text) + 2 * frame + fm.averageCharWidth();
    };
    if (needed() <= button->width()) return;
    while (needed() > room && font.pointSizeF() > 6.5)
        font.setPointSizeF(font.pointSizeF() - 0.25);
    button->setFont(font);
    button->resize(qMin(needed(), room), button->height());
}

void useProgramFont() {
    QFont font = QApplication::font();
    font.setPointSizeF(8.25);
    QApplication::setFont(font);
}

} // namespace krvs
