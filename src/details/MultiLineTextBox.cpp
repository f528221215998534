#include "details/MultiLineTextBox.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>
#include <QTextDocument>
#include <climits>

namespace krvs {

namespace {
constexpr QChar kParagraph = QChar::ParagraphSeparator; // U+2029, between blocks
constexpr QChar kLine = QChar::LineSeparator;           // U+2028, Shift+Enter
constexpr QChar kCrPicture(0x240D);
constexpr QChar kLfPicture(0x240A);

bool isBreak(QChar c) {
    return c == kParagraph || c == kLine || c == QLatin1Char('\n') || c == QLatin1Char('\r');
}

// Length of a piece of the box's text in the program's text: breaks count two.
int programLength(const QString& boxPiece) {
    int n = 0;
    for (QChar c : boxPiece)
        n += isBreak(c) ? 2 : 1;
    return n;
}
} // namespace

MultiLineTextBox::MultiLineTextBox(QWidget* parent) : QPlainTextEdit(parent) {
    setTabChangesFocus(true);
}

QString MultiLineTextBox::toBoxText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) {
            out += QLatin1Char('\n');
            ++i;
        } else if (c == QLatin1Char('\r')) {
            out += kCrPicture;
        } else if (c == QLatin1Char('\n')) {
            out += kLfPicture;
        } else {
            out += c;
        }
    }
    return out;
}

QString MultiLineTextBox::fromBoxText(const QString& boxText) {
    QString out;
    out.reserve(boxText.size() + 16);
    for (QChar c : boxText) {
        if (isBreak(c))
            out += QStringLiteral("\r\n");
        else if (c == kCrPicture)
            out += QLatin1Char('\r');
        else if (c == kLfPicture)
            out += QLatin1Char('\n');
        else
            out += c;
    }
    return out;
}

QString MultiLineTextBox::text() const {
    return fromBoxText(document()->toRawText());
}

void MultiLineTextBox::setText(const QString& text) {
    setPlainText(toBoxText(text));
}

int MultiLineTextBox::room() const {
    if (maxLength_ <= 0) return INT_MAX;
    const int used =
        programLength(document()->toRawText()) - programLength(textCursor().selectedText());
    return maxLength_ - used;
}

QString MultiLineTextBox::fitting(const QString& s) const {
    int left = room();
    QString out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        QChar c = s.at(i);
        if (c == QLatin1Char('\r') && i + 1 < s.size() && s.at(i + 1) == QLatin1Char('\n')) ++i;
        const bool br = isBreak(c);
        const int cost = br ? 2 : 1;
        if (cost > left) break;
        left -= cost;
        out += br ? QChar(QLatin1Char('\n')) : c;
    }
    return out;
}

void MultiLineTextBox::keyPressEvent(QKeyEvent* e) {
    if (!isReadOnly() && maxLength_ > 0 &&
        !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
        const QString t = e->text();
        bool printable = !t.isEmpty();
        for (QChar c : t)
            if (c.unicode() < 0x20 || c.unicode() == 0x7f) printable = false;
        if (enter || printable) {
            const int cost = enter ? 2 : static_cast<int>(t.size());
            if (cost > room()) {
                QApplication::beep();
                e->accept();
                return;
            }
        }
    }
    QPlainTextEdit::keyPressEvent(e);
}

void MultiLineTextBox::insertFromMimeData(const QMimeData* source) {
    if (isReadOnly() || maxLength_ <= 0 || !source || !source->hasText()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    const QString text = source->text();
    const QString fit = fitting(text);
    if (fit.size() < text.size()) QApplication::beep();
    if (!fit.isEmpty()) insertPlainText(fit);
    ensureCursorVisible();
}

void MultiLineTextBox::inputMethodEvent(QInputMethodEvent* e) {
    if (!isReadOnly() && maxLength_ > 0 && !e->commitString().isEmpty()) {
        const QString fit = fitting(e->commitString());
        if (fit.size() < e->commitString().size()) {
            QApplication::beep();
            e->setCommitString(fit, e->replacementStart(), e->replacementLength());
        }
    }
    QPlainTextEdit::inputMethodEvent(e);
}

} // namespace krvs
