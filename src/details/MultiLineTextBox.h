#pragma once
#include <QPlainTextEdit>

namespace krvs {

// A multi-line text box whose text, as the program reads and writes it, uses CR LF
// for its line breaks, and whose typing limit counts characters of that text.
//
// How the box's text maps to the program's text:
// - every line break of the box (Enter, Shift+Enter, a pasted line break) is one
//   CR LF pair, so it counts as two characters towards the limit;
// - a CR LF pair in a text put into the box shows as a line break;
// - a lone CR or a lone LF in a text put into the box is not a line break (as in
//   the old single-convention text boxes); it shows as the control picture U+240D
//   or U+240A and comes back out of the box unchanged.
class MultiLineTextBox : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit MultiLineTextBox(QWidget* parent = nullptr);

    // The text with CR LF line breaks.
    QString text() const;
    // Not limited: only typing, pasting and dropping are.
    void setText(const QString& text);

    // At most this many characters can be typed (0: no limit).
    int maxLength() const { return maxLength_; }
    void setMaxLength(int n) { maxLength_ = n; }

    // The box's own text <-> the program's text.
    static QString toBoxText(const QString& text);
    static QString fromBoxText(const QString& boxText);

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    void insertFromMimeData(const QMimeData* source) override;
    void inputMethodEvent(QInputMethodEvent* e) override;

  private:
    // Characters that may still be typed in place of the selection.
    int room() const;
    // The longest head of s (line breaks as '\n', each costing two) that fits room.
    QString fitting(const QString& s) const;

    int maxLength_ = 0;
};

} // namespace krvs
