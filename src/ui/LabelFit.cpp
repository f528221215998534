#include "ui/LabelFit.h"

#include "ui/Twips.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPushButton>
#include <QStyle>

namespace krvs {

QFont shrinkToFit(QFont font, int roomPx, const std::function<int(const QFont&)>& widthIn) {
    while (widthIn(font) > roomPx && font.pointSizeF() > kSmallestPointSize)
        font.setPointSizeF(font.pointSizeF() - 0.25);
    return font;
}

void fitButton(QPushButton* button, int roomTwips) {
    const int room = twipsToPx(roomTwips);
    const QString text = button->text().remove(QLatin1Char('&'));
    const int frame = button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
    const auto needed = [&](const QFont& f) {
        const QFontMetrics fm(f);
        return fm.horizontalAdvance(text) + 2 * frame + fm.averageCharWidth();
    };
    if (needed(button->font()) <= button->width()) return;
    const QFont font = shrinkToFit(button->font(), room, needed);
    button->setFont(font);
    button->resize(qMin(needed(font), room), button->height());
}

void useDesignFont(QWidget* form) {
    QFont face = form->font();
    face.setPointSizeF(kDesignPointSize);
    form->setFont(face);
}

void useProgramFont() {
    QFont font = QApplication::font();
    font.setPointSizeF(kDesignPointSize);
    QApplication::setFont(font);
}

} // namespace krvs
