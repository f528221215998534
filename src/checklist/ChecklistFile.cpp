#include "checklist/ChecklistFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <sqlite3.h>

namespace krvs::checklist {

namespace {

constexpr char kPlainHeader[] = "SQLite format 3";
// An encrypted catalogue is made of whole pages of this size.
constexpr qint64 kCipherPage = 1024;

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString text(sqlite3_stmt* st, int col) {
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
    return t ? QString::fromUtf8(t, sqlite3_column_bytes(st, col)) : QString();
}

std::string utf8(sqlite3_stmt* st, int col) {
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
    return t ? std::string(t, static_cast<std::size_t>(sqlite3_column_bytes(st, col)))
             : std::string();
}

Checklist readCatalogue(const QString& path, const QString& password, bool encrypted) {
    Checklist list;
    const QByteArray uri =
        "file:" + QUrl::toPercentEncoding(QFileInfo(path).absoluteFilePath(), "/") + "?immutable=1";
    sqlite3* db = nullptr;
    sqlite3_stmt* st = nullptr;
    const auto done = [&](QString error) {
        sqlite3_finalize(st);
        sqlite3_close(db);
        if (!error.isEmpty()) {
            list.error = std::move(error);
            list.cards.clear();
        }
        return list;
    };
    if (sqlite3_open_v2(uri.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) !=
        SQLITE_OK)
        return done(QStringLiteral("cannot open %1: %2")
                        .arg(native(path), db ? QString::fromUtf8(sqlite3_errmsg(db))
                                              : QStringLiteral("out of memory")));
    if (encrypted) {
        const QByteArray key = password.toUtf8();
        if (sqlite3_key(db, key.constData(), static_cast<int>(key.size())) != SQLITE_OK)
            return done(QString::fromUtf8(sqlite3_errmsg(db)));
    }
    const char* sql = "SELECT DbId, \"Index\", CardType, Title, Category, Series, Season, Own, "
                      "DBComments, UserComments FROM tblKRVS101 ORDER BY DbId;";
    int rc = sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    if ((rc & 0xFF) == SQLITE_NOTADB) {
        list.badPassword = encrypted;
        return done(encrypted ? QStringLiteral("%1: not a valid password").arg(native(path))
                              : QStringLiteral("%1 is not a card catalogue").arg(native(path)));
    }
    if (rc != SQLITE_OK)
        return done(QStringLiteral("%1 is not a card catalogue: %2")
                        .arg(native(path), QString::fromUtf8(sqlite3_errmsg(db))));
    list.present.fill(true);
    qint64 row = 0;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        ++row;
        if (sqlite3_column_type(st, 0) != SQLITE_INTEGER)
            return done(QStringLiteral("%1, card %2: DbId \"%3\" is not a whole number")
                            .arg(native(path))
                            .arg(row)
                            .arg(text(st, 0)));
        Card c;
        c.dbId = sqlite3_column_int64(st, 0);
        c.index = utf8(st, 1);
        c.cardType = utf8(st, 2);
        c.title = utf8(st, 3);
        c.category = utf8(st, 4);
        c.series = utf8(st, 5);
        c.season = utf8(st, 6);
        c.own = sqlite3_column_int(st, 7) != 0;
        c.dbComments = utf8(st, 8);
        c.userComments = utf8(st, 9);
        list.cards.push_back(std::move(c));
    }
    if (rc != SQLITE_DONE)
        return done(
            QStringLiteral("%1: %2").arg(native(path), QString::fromUtf8(sqlite3_errmsg(db))));
    return done({});
}

} // namespace

ChecklistKind checklistKind(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return ChecklistKind::Csv; // its reader tells why
    const qint64 size = f.size();
    const QByteArray head = f.read(4 * kCipherPage);
    if (head.startsWith(QByteArray(kPlainHeader, sizeof kPlainHeader)))
        return ChecklistKind::Catalogue;
    // Text holds none of the control bytes 0 to 8; a page of random bytes holds
    // some of them but for about once in ten million (four pages read).
    const bool binary = std::any_of(head.begin(), head.end(),
                                    [](char c) { return static_cast<unsigned char>(c) < 9; });
    if (size >= kCipherPage && size % kCipherPage == 0 && binary)
        return ChecklistKind::EncryptedCatalogue;
    return ChecklistKind::Csv;
}

Checklist readChecklist(const QString& path, const QString& password) {
    const ChecklistKind kind = checklistKind(path);
    if (kind != ChecklistKind::Csv)
        return readCatalogue(path, password, kind == ChecklistKind::EncryptedCatalogue);
    Checklist list;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        list.error = QStringLiteral("cannot read %1: %2").arg(native(path), f.errorString());
        return list;
    }
    CsvCards csv = readCardsCsv(f.readAll(), true);
    list.cards = std::move(csv.cards);
    list.present = csv.present;
    if (!csv.error.isEmpty()) list.error = QStringLiteral("%1: %2").arg(native(path), csv.error);
    return list;
}

} // namespace krvs::checklist
