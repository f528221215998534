#include "support/AppFixture.h"

#include "catalogue/EarlyRead.h"

#include "app/frmKRVS.h"
#include "db/Connection.h"
#include "grid/FlexGrid.h"
#include "util/AppError.h"

#include <QDialog>
#include <QFile>
#include <QHash>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <sqlite3.h>

namespace krvs::test {

void AppFolder::skipFirstStartWarning() const {
    QFile f(iniFile());
    if (f.exists()) return;
    if (f.open(QIODevice::WriteOnly)) f.write("[Main]\r\nBackup_Warn=5\r\n");
}

void typeText(QWidget* box, const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClicks(box, QString(c));
        else
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

bool copyOfCatalogue(const QString& path, int cards, const QString& password) {
    static QTemporaryDir made;
    static QHash<QString, QString> byKind;
    const QString kind = QString::number(cards) + QLatin1Char('/') + password;
    QString source = byKind.value(kind);
    if (source.isEmpty()) {
        source = made.filePath(QStringLiteral("%1.krv").arg(byKind.size()));
        if (!makeCatalogue(source, cards, password)) return false;
        byKind.insert(kind, source);
    }
    QFile::remove(path);
    return QFile::copy(source, path) &&
           QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                           QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther);
}

std::unique_ptr<frmKRVS> startMainWindow(ScriptedUi* ui, const QString& folder,
                                         const QString& password, bool early) {
    std::unique_ptr<EarlyRead> read = early ? readCardsEarly(folder) : nullptr;
    auto w = std::make_unique<frmKRVS>(folder, QStringLiteral("KRVS"));
    w->setEarlyRead(std::move(read));
    if (ui && !password.isEmpty())
        ui->onModal([password](QDialog& d) {
            typeText(d.findChild<QLineEdit*>(QStringLiteral("txtPwd")), password);
            d.findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
        });
    w->Form_Load();
    return w;
}

int cardsOrError(const QString& path, const QString& password, const QString& sql) try {
    db::Connection c;
    c.open(path, password);
    return c.execute(sql)->rowCount();
} catch (const AppError& e) {
    return e.number();
}

QString loadedTitle(int cards) {
    return QStringLiteral("Korvessa Database - (Total records=%1)").arg(cards);
}

bool runSql(const QString& path, const QString& sql) {
    sqlite3* db = nullptr;
    const bool ok =
        sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK &&
        sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

AppFixture::AppFixture() = default;
AppFixture::~AppFixture() = default;

void AppFixture::begin(bool warned) {
    w.reset();
    ui.reset(); // the old script restores the real services when it goes
    ui = std::make_unique<ScriptedUi>();
    folder = std::make_unique<AppFolder>();
    if (warned) folder->skipFirstStartWarning();
    problems_.clear();
}

bool AppFixture::end() {
    w.reset();
    folder.reset();
    problems_ = ui ? ui->problems() : QString();
    ui.reset();
    return problems_.isEmpty();
}

bool AppFixture::makeCatalogue(int cards, const QString& password) {
    return copyOfCatalogue(catalogue(), cards, password);
}

frmKRVS& AppFixture::start(const QString& password) {
    w = startMainWindow(ui.get(), folder->path(), password, readEarly);
    return *w;
}

QString AppFixture::ownColumn() const {
    const auto rows = w->catalogue().connection().execute(
        QStringLiteral("SELECT Own FROM tblKRVS101 ORDER BY DbId;"));
    QString own;
    for (int r = 0; r < rows->rowCount(); ++r)
        own += rows->cell(r, 0) == QLatin1String("True") ? QLatin1Char('T') : QLatin1Char('F');
    return own;
}

void AppFixture::close() {
    if (w) w->close();
    w.reset();
}

void AppFixture::queryWorks() {
    QVERIFY(w->isEnabled() && w->cmdQuery->isEnabled());
    w->cmdQuery->click();
    QVERIFY2(w->windowTitle().startsWith("Korvessa Database - (Matches returned="),
             qPrintable(w->windowTitle()));
    QVERIFY(w->fgdCards->Rows() > 1);
}

} // namespace krvs::test
