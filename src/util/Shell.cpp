#include "Shell.h"

#include "AppError.h"
#include "Twips.h"
#include "UiServices.h"
#include "frmOpenWith.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QWidget>

namespace krvs {

QString shellErrorText(long code) {
    switch (code) {
    case 0:
        return QStringLiteral("Error: Out of Memory/Resources. Couldn't Execute!");
    case 2:
        return QStringLiteral("Error: File not found.  Couldn't Execute!");
    case 3:
        return QStringLiteral("Error: Path not found. Couldn't Execute!");
    case 11:
        return QStringLiteral("Error:  Bad File Format. Couldn't Execute!");
    default:
        return QString();
    }
}

long ShellExec(const QString& file, long showCmd, const QString& verb) {
    // Only the two verbs the shell knows by name are passed on; anything else
    // asks for the file type's default action.
    const QString useVerb =
        (verb == QLatin1String("Open") || verb == QLatin1String("Explore")) ? verb : QString();
    long result = ui().shellOpen(file, useVerb, static_cast<int>(showCmd));
    if (result > 32) return -1;
    if (result == 31) {
        // No program for the type: the user chooses one. A program that cannot be
        // started reaches the caller's error handler; a cancel ends it quietly.
        OpenWith(file);
        return -1;
    }
    ui().msgBox(file + QStringLiteral("\r\n") + shellErrorText(result), mb::OKOnly | mb::Critical,
                QStringLiteral("Shell execute failed..."));
    return result;
}

QString fileSizeTextFor(qint64 n) {
    // The "0.00" number format: the locale's decimal separator, no grouping.
    QLocale locale = QLocale::system();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    auto fmt = [&](double v, const char* unit) {
        return locale.toString(v, 'f', 2) + QLatin1Char(' ') + QLatin1String(unit);
    };
    if (n < 1024) return QString::number(n) + QStringLiteral(" bytes");
    if (n < 1048576) return fmt(double(n) / 1024.0, "KB");
    if (n < 1073741824) return fmt(double(n) / 1048576.0, "MB");
    return fmt(double(n) / 1073741824.0, "GB");
}

QString FileSizeText(const QString& path) {
    QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        throw AppError(err::FileNotFound, QStringLiteral("File not found"));
    return fileSizeTextFor(info.size());
}

void CenterForm(QWidget* parent, QWidget* child) {
    if (!parent || !child) return;
    const QRect p = parent->frameGeometry();
    const QRect c = child->frameGeometry();
    // Computed in twips like the rest of the layout; not kept on the screen.
    const double pt = pxToTwips(p.top()), pl = pxToTwips(p.left());
    const double ph = pxToTwips(p.height()), pw = pxToTwips(p.width());
    const double ch = pxToTwips(c.height()), cw = pxToTwips(c.width());
    const float top = static_cast<float>((ph - ch) / 2 + pt);
    const float left = static_cast<float>((pw - cw) / 2 + pl);
    child->move(twipsToPx(left), twipsToPx(top));
}

void SelectAllText(QLineEdit* box) {
    if (box) box->setSelection(0, box->text().length());
}

void SelectAllText(QPlainTextEdit* box) {
    if (box) box->selectAll();
}

void SelectAllText(QComboBox* box) {
    if (box && box->lineEdit()) SelectAllText(box->lineEdit());
}

void SetClientSize(QWidget* form, int widthTwips, int heightTwips) {
    if (!form) return;
    // Qt sizes a window by its inner area already; the frame is the window system's.
    form->resize(twipsToPx(widthTwips), twipsToPx(heightTwips));
}

} // namespace krvs
