#include "ui/Shell.h"

#include "ui/UiServices.h"
#include "ui/frmOpenWith.h"

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

} // namespace krvs
