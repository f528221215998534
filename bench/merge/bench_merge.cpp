// krvs-bench-merge [N ...]: merging a newer checklist of N cards (1% changed, 1% new)
// into a catalogue of N cards, beside the bare engine writing the same rows in one
// transaction; and opening the collection summary beside the engine's bare GROUP BY.
#include "checklist/Merge.h"
#include "db/Connection.h"
#include "db/Engine.h"
#include "makedb/CatalogueWriter.h"
#include "makedb/DemoCards.h"
#include "summary/frmSummary.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <cstdio>
#include <sqlite3.h>

using namespace krvs;

namespace {

double ms(const QElapsedTimer& t) {
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

std::unique_ptr<db::Connection> openProgram(const QString& path) {
    auto c = std::make_unique<db::Connection>();
    c->open(path, QString());
    return c;
}

std::string csvField(const std::string& v) {
    std::string out = "\"";
    for (char c : v) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

// The newer checklist: the demo cards, every hundredth with a new title, and one new card
// per hundred after the last.
std::vector<checklist::Card> newerCards(qint64 n) {
    std::vector<checklist::Card> cards;
    cards.reserve(static_cast<std::size_t>(n + n / 100));
    for (qint64 i = 1; i <= n + n / 100; ++i) {
        checklist::Card c;
        makedb::DemoCards::make(i, c);
        if (i <= n && i % 100 == 0) c.title += " (revised)";
        cards.push_back(std::move(c));
    }
    return cards;
}

void writeCsv(const QString& path, const std::vector<checklist::Card>& cards) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return;
    f.write("DbId,Index,CardType,Title,Category,Series,Season,Own,DBComments,UserComments\n");
    std::string line;
    for (const auto& c : cards) {
        line = std::to_string(c.dbId) + ',' + csvField(c.index) + ',' + csvField(c.cardType) + ',' +
               csvField(c.title) + ',' + csvField(c.category) + ',' + csvField(c.series) + ',' +
               csvField(c.season) + ',' + (c.own ? "True" : "False") + ',' +
               csvField(c.dbComments) + ',' + csvField(c.userComments) + '\n';
        f.write(line.data(), static_cast<qint64>(line.size()));
    }
}

// The bare engine: the same changed and new rows, an UPDATE of the publisher's fields or
// an INSERT per row, in one transaction (the engine here has no upsert statement).
double bareUpsert(const QString& path, const std::vector<const checklist::Card*>& rows) {
    sqlite3* db = db::engine::open(path, QString());
    QElapsedTimer t;
    t.start();
    sqlite3_stmt *up = nullptr, *ins = nullptr;
    sqlite3_exec(db, "BEGIN;", nullptr, nullptr, nullptr);
    sqlite3_prepare_v2(db,
                       "UPDATE tblKRVS101 SET \"Index\"=?2, CardType=?3, Title=?4, Category=?5, "
                       "Series=?6, Season=?7, DBComments=?9 WHERE DbId=?1;",
                       -1, &up, nullptr);
    sqlite3_prepare_v2(db,
                       "INSERT INTO tblKRVS101 (DbId, \"Index\", CardType, Title, Category, "
                       "Series, Season, Own, DBComments, UserComments) VALUES "
                       "(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10);",
                       -1, &ins, nullptr);
    const auto bind = [](sqlite3_stmt* st, const checklist::Card& c) {
        const auto text = [st](int i, const std::string& s) {
            sqlite3_bind_text(st, i, s.data(), static_cast<int>(s.size()), SQLITE_STATIC);
        };
        sqlite3_bind_int64(st, 1, c.dbId);
        text(2, c.index);
        text(3, c.cardType);
        text(4, c.title);
        text(5, c.category);
        text(6, c.series);
        text(7, c.season);
        sqlite3_bind_int(st, 8, c.own ? 1 : 0);
        text(9, c.dbComments);
        text(10, c.userComments);
    };
    for (const checklist::Card* c : rows) {
        bind(up, *c);
        sqlite3_step(up);
        sqlite3_reset(up);
        if (sqlite3_changes(db) == 0) {
            bind(ins, *c);
            sqlite3_step(ins);
            sqlite3_reset(ins);
        }
    }
    sqlite3_finalize(up);
    sqlite3_finalize(ins);
    sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
    const double took = ms(t);
    db::engine::close(db);
    return took;
}

void run(qint64 n) {
    QTemporaryDir dir;
    const QString base = dir.filePath("base.krv");
    qint64 k = 0;
    makedb::writeCatalogue(base, QString(), [&](makedb::Card& c) {
        if (k >= n) return false;
        makedb::DemoCards::make(++k, c);
        return true;
    });
    const auto cards = newerCards(n);
    writeCsv(dir.filePath("newer.csv"), cards);
    const QString loc = QLocale::c().toString(n);
    std::printf("\n%s cards, a checklist of %s (%s changed, %s new)\n", qPrintable(loc),
                qPrintable(QLocale::c().toString(static_cast<qint64>(cards.size()))),
                qPrintable(QLocale::c().toString(n / 100)),
                qPrintable(QLocale::c().toString(n / 100)));

    // The program: read the checklist, read the catalogue, plan, one statement.
    QFile::copy(base, dir.filePath("program.krv"));
    QElapsedTimer t;
    t.start();
    const checklist::Checklist list = checklist::readChecklist(dir.filePath("newer.csv"));
    const double read = ms(t);
    auto c = openProgram(dir.filePath("program.krv"));
    t.restart();
    const auto rows = c->execute(checklist::catalogueStatement());
    const checklist::MergePlan plan = checklist::planMerge(*rows, list);
    const double planned = ms(t);
    // The first write waits for the check of every page that opening started.
    t.restart();
    c->execute(QStringLiteral("UPDATE tblKRVS101 SET Own = Own WHERE DbId = 0;"));
    const double checked = ms(t);
    t.restart();
    checklist::applyMerge(*c, plan);
    const double applied = ms(t);
    c->close();
    std::printf("  program: read CSV %.0f ms, catalogue read and compared %.0f ms, page check "
                "before the first write %.0f ms, one statement %.0f ms (%s)\n",
                read, planned, checked, applied, qPrintable(checklist::countsLine(plan)));
    std::printf("  program merge without reading the CSV: %.0f ms\n", planned + applied);

    // The bare engine on the same rows.
    QFile::copy(base, dir.filePath("bare.krv"));
    std::vector<const checklist::Card*> changedRows;
    for (const auto& card : plan.added)
        changedRows.push_back(&card);
    for (const auto& card : plan.changed)
        changedRows.push_back(&card);
    const double bare = bareUpsert(dir.filePath("bare.krv"), changedRows);
    std::printf("  bare engine, the %zu changed and new rows in one transaction: %.0f ms "
                "(program %.1f x)\n",
                changedRows.size(), bare, (planned + applied) / bare);
    QFile::copy(base, dir.filePath("bare-all.krv"));
    std::vector<const checklist::Card*> allRows;
    for (const auto& card : list.cards)
        allRows.push_back(&card);
    const double bareAll = bareUpsert(dir.filePath("bare-all.krv"), allRows);
    std::printf("  bare engine, every row of the checklist in one transaction: %.0f ms "
                "(program %.2f x)\n",
                bareAll, (planned + applied) / bareAll);

    // The summary: the program's counts and dialog beside the engine's bare GROUP BY.
    c = openProgram(dir.filePath("program.krv"));
    c->execute(QStringLiteral("SELECT count(*) FROM tblKRVS101;")); // the page check is done
    t.restart();
    const auto counts = summary::countCollection(*c);
    const double counted = ms(t);
    {
        frmSummary form(counts, summary::countShown(*rows), nullptr);
        form.show();
        QApplication::processEvents();
    }
    const double opened = ms(t);
    c->close();
    sqlite3* db = db::engine::open(dir.filePath("program.krv"), QString());
    t.restart();
    sqlite3_exec(db,
                 "SELECT Series, Category, count(*), sum(Own) FROM tblKRVS101 GROUP BY Series, "
                 "Category;",
                 nullptr, nullptr, nullptr);
    const double bareGroup = ms(t);
    db::engine::close(db);
    std::printf("  summary: counted %.0f ms, dialog shown %.0f ms; bare engine GROUP BY %.0f ms\n",
                counted, opened, bareGroup);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList sizes = QCoreApplication::arguments().mid(1);
    if (sizes.isEmpty())
        sizes << "10000"
              << "100000"
              << "1000000";
    for (const QString& s : sizes)
        run(s.toLongLong());
    return 0;
}
