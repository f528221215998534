#include "makedb/MakeDb.h"

#include "checklist/CsvCards.h"
#include "makedb/CatalogueWriter.h"
#include "makedb/DemoCards.h"
#include "makedb/MergeCommand.h"

#include "util/AppError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace krvs::makedb {

namespace {

const QString kUsage = QStringLiteral(
    "usage: krvs-makedb [--cards N | --from-csv FILE] [--password TEXT] [--force] OUTPUT\n"
    "       krvs-makedb --merge FILE [--password TEXT] CATALOGUE\n"
    "  --cards N        write N invented demo cards (500 when neither option is given)\n"
    "  --from-csv FILE  write the cards of a checklist CSV whose first row names the fields\n"
    "  --password TEXT  encrypt the catalogue with this password\n"
    "  --force          replace OUTPUT when it already exists\n"
    "  --merge FILE     merge a newer checklist (CSV or catalogue) into CATALOGUE: new cards\n"
    "                   are added, the publisher's fields of known cards updated, Own and\n"
    "                   UserComments kept; a backup goes into the catalogue's backup folder\n");

} // namespace

int run(const QStringList& args, QString& out, QString& err) {
    qint64 cards = 500;
    bool cardsGiven = false;
    QString csvPath, mergePath, password, output;
    bool force = false;
    auto bad = [&](const QString& why) {
        err += QStringLiteral("krvs-makedb: ") + why + u'\n' + kUsage;
        return 2;
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](QString& v) {
            if (i + 1 >= args.size()) return false;
            v = args[++i];
            return true;
        };
        if (a == QLatin1StringView("--help") || a == QLatin1StringView("-h")) {
            out += kUsage;
            return 0;
        } else if (a == QLatin1StringView("--cards")) {
            QString v;
            bool ok = false;
            if (!value(v)) return bad(QStringLiteral("--cards needs a number"));
            cards = v.toLongLong(&ok);
            if (!ok || cards < 0 || cards > 100000000)
                return bad(QStringLiteral("--cards takes a number from 0 to 100000000, not \"%1\"")
                               .arg(v));
            cardsGiven = true;
        } else if (a == QLatin1StringView("--from-csv")) {
            if (!value(csvPath) || csvPath.isEmpty())
                return bad(QStringLiteral("--from-csv needs a file"));
        } else if (a == QLatin1StringView("--merge")) {
            if (!value(mergePath) || mergePath.isEmpty())
                return bad(QStringLiteral("--merge needs a file"));
        } else if (a == QLatin1StringView("--password")) {
            if (!value(password)) return bad(QStringLiteral("--password needs a text"));
        } else if (a == QLatin1StringView("--force")) {
            force = true;
        } else if (a.startsWith(QLatin1StringView("--"))) {
            return bad(QStringLiteral("unknown option %1").arg(a));
        } else if (output.isEmpty()) {
            output = a;
        } else {
            return bad(QStringLiteral("only one OUTPUT file can be given"));
        }
    }
    if (output.isEmpty()) return bad(QStringLiteral("no OUTPUT file given"));
    if (cardsGiven && !csvPath.isEmpty())
        return bad(QStringLiteral("--cards and --from-csv cannot be used together"));
    // the two grave accents mean "no password", as everywhere in the program
    if (password == QLatin1StringView("``")) password.clear();
    if (!mergePath.isEmpty()) {
        if (cardsGiven || !csvPath.isEmpty() || force)
            return bad(QStringLiteral("--merge takes only --password and the CATALOGUE"));
        return runMerge(mergePath, password, output, out, err);
    }

    const QFileInfo target(output);
    if (target.isDir()) {
        err +=
            QStringLiteral("krvs-makedb: %1 is a folder\n").arg(QDir::toNativeSeparators(output));
        return 1;
    }
    if ((target.exists() || target.isSymLink()) && !force) {
        err += QStringLiteral("krvs-makedb: %1 already exists; use --force to replace it\n")
                   .arg(QDir::toNativeSeparators(output));
        return 1;
    }

    try {
        qint64 written = 0;
        if (!csvPath.isEmpty()) {
            QFile f(csvPath);
            if (!f.open(QIODevice::ReadOnly)) {
                err += QStringLiteral("krvs-makedb: cannot read %1: %2\n")
                           .arg(QDir::toNativeSeparators(csvPath), f.errorString());
                return 1;
            }
            checklist::CsvCards csv = checklist::readCardsCsv(f.readAll());
            if (!csv.error.isEmpty()) {
                err += QStringLiteral("krvs-makedb: %1: %2\n")
                           .arg(QDir::toNativeSeparators(csvPath), csv.error);
                return 1;
            }
            std::size_t k = 0;
            writeCatalogue(output, password, [&](Card& c) {
                if (k >= csv.cards.size()) return false;
                c = std::move(csv.cards[k++]);
                return true;
            });
            written = static_cast<qint64>(k);
        } else {
            qint64 n = 0;
            writeCatalogue(output, password, [&](Card& c) {
                if (n >= cards) return false;
                DemoCards::make(++n, c);
                return true;
            });
            written = n;
        }
        out += QStringLiteral("Wrote %1 cards to %2%3\n")
                   .arg(written)
                   .arg(QDir::toNativeSeparators(output),
                        password.isEmpty() ? QString() : QStringLiteral(" (encrypted)"));
        return 0;
    } catch (const AppError& e) {
        err += QStringLiteral("krvs-makedb: %1\n").arg(e.description());
        return 1;
    }
}

} // namespace krvs::makedb
