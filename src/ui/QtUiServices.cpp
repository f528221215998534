#include "ui/QtUiServices.h"

#include "krvs_config.h"
#include "ui/TitleFit.h"
#include "util/AppError.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpacerItem>
#include <QStandardPaths>
#include <QUrl>

namespace krvs {

namespace {
UiServices* g_override = nullptr;

QWidget* dialogParent() {
    if (auto* w = QApplication::activeModalWidget()) return w;
    return QApplication::activeWindow();
}

// "Text File (*.txt)|*.txt|All Files (*.*)|*.*" -> Qt's "Text File (*.txt)" list.
QStringList qtFilters(const QString& filter, QStringList* patterns) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString& desc = parts[i];
        const QString pat = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        out << (desc.contains(pat) ? desc : desc + QStringLiteral(" (") + pat + QLatin1Char(')'));
        if (patterns) patterns->append(pat);
    }
    return out;
}

QString suffixOf(const QString& pattern) {
    static const QRegularExpression re(QStringLiteral("^\\*\\.([A-Za-z0-9]+)$"));
    const auto m = re.match(pattern.section(QLatin1Char(' '), 0, 0));
    return m.hasMatch() ? m.captured(1) : QString();
}
} // namespace

UiServices& ui() {
    static QtUiServices real;
    return g_override ? *g_override : real;
}

void setUi(UiServices* services) {
    g_override = services;
}

QString defaultUpdateServer() {
    return QStringLiteral(KRVS_UPDATE_SERVER_DEFAULT);
}
QString makerWebAddress() {
    return QStringLiteral("https://www.quillmark.example");
}

int QtUiServices::msgBox(const QString& text, int flags, const QString& title) {
    QMessageBox box(dialogParent());
    box.setWindowTitle(title);
    // A close button only: the box has a fixed size.
    box.setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                       Qt::MSWindowsFixedSizeDialogHint);
    box.setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    switch (flags & 0x70) {
    case mb::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case mb::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case mb::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case mb::Information:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        break;
    }
    struct B {
        QMessageBox::StandardButton b;
        int answer;
    };
    QList<B> buttons;
    switch (flags & 0x7) {
    case mb::OKCancel:
        buttons = {{QMessageBox::Ok, mb::AnsOK}, {QMessageBox::Cancel, mb::AnsCancel}};
        break;
    case 3:
        buttons = {{QMessageBox::Yes, mb::AnsYes},
                   {QMessageBox::No, mb::AnsNo},
                   {QMessageBox::Cancel, mb::AnsCancel}};
        break;
    case mb::YesNo:
        buttons = {{QMessageBox::Yes, mb::AnsYes}, {QMessageBox::No, mb::AnsNo}};
        break;
    case 5:
        buttons = {{QMessageBox::Retry, 4}, {QMessageBox::Cancel, mb::AnsCancel}};
        break;
    default:
        buttons = {{QMessageBox::Ok, mb::AnsOK}};
        break;
    }
    for (const auto& b : buttons)
        box.addButton(b.b);
    const int defIndex = (flags & mb::DefaultButton2) && buttons.size() > 1 ? 1 : 0;
    box.setDefaultButton(buttons[defIndex].b);
    // The box sizes itself when shown, from its layout's least width: a row as wide as
    // the title bar needs keeps the whole title readable.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        const QMargins m = grid->contentsMargins();
        grid->addItem(new QSpacerItem(titleBarWidth(title, &box) - m.left() - m.right(), 0,
                                      QSizePolicy::Fixed, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    box.exec();
    const auto clicked = box.standardButton(box.clickedButton());
    for (const auto& b : buttons)
        if (b.b == clicked) return b.answer;
    // Closed from the title bar: the cancel answer where there is one.
    return buttons.size() > 1 ? buttons.last().answer : mb::AnsOK;
}

QString QtUiServices::showSave(const SaveDialogRequest& r) {
    QFileDialog dlg(dialogParent(), r.title, r.initDir);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
    QStringList patterns;
    const QStringList filters = qtFilters(r.filter, &patterns);
    dlg.setNameFilters(filters);
    const int index = qBound(0, r.filterIndex - 1, qMax(0, filters.size() - 1));
    if (!filters.isEmpty()) {
        dlg.selectNameFilter(filters[index]);
        dlg.setDefaultSuffix(suffixOf(patterns[index]));
    }
    QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg, [&](const QString& f) {
        const int i = filters.indexOf(f);
        dlg.setDefaultSuffix(i >= 0 ? suffixOf(patterns[i]) : QString());
    });
    if (!r.fileName.isEmpty()) dlg.selectFile(r.fileName);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        throw AppError::cancelSave();
    return dlg.selectedFiles().first();
}

QString QtUiServices::showOpen(const OpenDialogRequest& r) {
    QFileDialog dlg(dialogParent(), r.title, r.initDir);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setNameFilters(qtFilters(r.filter, nullptr));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        throw AppError::cancelSave();
    return dlg.selectedFiles().first();
}

int QtUiServices::shellOpen(const QString& file, const QString& verb, int) {
    Q_UNUSED(verb);
    const QUrl asUrl(file, QUrl::StrictMode);
    const bool isUrl =
        asUrl.isValid() && asUrl.scheme().size() > 1 && !QFileInfo(file).isAbsolute();
    if (isUrl) return QDesktopServices::openUrl(asUrl) ? 42 : 31;

    const QFileInfo info(file);
    if (!info.absoluteDir().exists()) return 3;
    if (!info.exists()) return 2;
    if (info.isDir())
        return QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath())) ? 42 : 31;
    // No program for the type: the caller falls back to the "Open With" chooser.
    const QString mime = QMimeDatabase().mimeTypeForFile(info).name();
    if (!QStandardPaths::findExecutable(QStringLiteral("xdg-mime")).isEmpty()) {
        QProcess q;
        q.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), mime});
        if (q.waitForFinished(3000) && q.readAllStandardOutput().trimmed().isEmpty()) return 31;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath())) ? 42 : 31;
}

int QtUiServices::showModal(QDialog& form) {
    return form.exec();
}

QDateTime QtUiServices::now() {
    return QDateTime::currentDateTime();
}

// The build's address, or for one run the one KRVS_UPDATE_SERVER names.
QString QtUiServices::updateServer() {
    const QString fromEnvironment = qEnvironmentVariable("KRVS_UPDATE_SERVER").trimmed();
    return fromEnvironment.isEmpty() ? defaultUpdateServer() : fromEnvironment;
}

} // namespace krvs
