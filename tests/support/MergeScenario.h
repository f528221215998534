#pragma once
// A newer checklist for a demo catalogue of n cards, and what the catalogue holds after
// merging it: three cards changed, two added, three left out, the rest as they are.
#include "db/Connection.h"
#include "db/RowSet.h"

#include <QString>
#include <QStringList>

namespace krvs::test {

// Every card of a catalogue opened alone with exactly password, in DbId order, fields
// joined by '|' in table order (Own as True or False); empty when it does not open.
inline QStringList storedCards(const QString& path, const QString& password = {}) {
    try {
        db::Connection c;
        c.open(path, password);
        const auto rows = c.execute(QStringLiteral(
            "SELECT DbId, Index, CardType, Title, Category, Series, Season, Own, DBComments, "
            "UserComments FROM tblKRVS101 ORDER BY DbId;"));
        QStringList out;
        for (int r = 0; r < rows->rowCount(); ++r) {
            QStringList f;
            for (int col = 0; col < rows->colCount(); ++col)
                f << rows->cell(r, col);
            out << f.join(u'|');
        }
        c.close();
        return out;
    } catch (const AppError&) {
        return {};
    }
}

struct MergeScenario {
    QByteArray csv;         // the newer checklist, every field given
    QStringList expected;   // storedCards after the merge
    QStringList newerCards; // the checklist's cards as stored lines (for a catalogue of it)
    qint64 added = 2, changed = 3, unchanged = 0, missing = 3;

    // The checklist as the merge reports it.
    QString counts() const {
        return QStringLiteral("new %1, changed %2, unchanged %3, missing %4")
            .arg(added)
            .arg(changed)
            .arg(unchanged)
            .arg(missing);
    }
};

inline MergeScenario mergeScenario(const QStringList& stored) {
    MergeScenario s;
    const qsizetype n = stored.size();
    const auto quoted = [](const QString& v) {
        return u'"' + QString(v).replace(u'"', QStringLiteral("\"\"")) + u'"';
    };
    s.csv = "DbId,Index,CardType,Title,Category,Series,Season,Own,DBComments,UserComments\r\n";
    const auto addRow = [&](QStringList f) {
        s.newerCards << f.join(u'|');
        for (int i = 1; i < f.size(); ++i)
            if (i != 7) f[i] = quoted(f[i]);
        s.csv += f.join(u',').toUtf8() + "\r\n";
    };
    for (qsizetype i = 0; i < n; ++i) {
        QStringList f = stored[i].split(u'|');
        if (i >= n - 3) { // left out of the newer checklist: kept as it is
            s.expected << stored[i];
            continue;
        }
        QStringList after = f;
        const qint32 id = f[0].toInt();
        if (id == 2) after[3] = QStringLiteral("Vellan's Return, \"2nd\"");
        if (id == 4) {
            after[5] = QStringLiteral("ZZZ"); // no box in the search panel
            after[8] = QStringLiteral("Reprinted\r\nin two lines");
        }
        if (id == 6) {
            after[4] =
                f[4] == QLatin1String("Ship") ? QStringLiteral("Crew") : QStringLiteral("Ship");
            after[1] = QStringLiteral("X6");
        }
        s.expected << after.join(u'|');
        // The checklist's Own and UserComments of a known card are never taken.
        QStringList row = after;
        row[7] = f[7] == QLatin1String("True") ? QStringLiteral("False") : QStringLiteral("True");
        row[9] = QStringLiteral("not the user's");
        addRow(row);
    }
    s.unchanged = n - 6;
    const QString a = QString::number(n + 1), b = QString::number(n + 2);
    const QStringList first{a,
                            QStringLiteral("201"),
                            QStringLiteral("Base"),
                            QStringLiteral("Nødra Ascendant"),
                            QStringLiteral("Crew"),
                            QStringLiteral("VEX"),
                            QStringLiteral("9"),
                            QStringLiteral("True"),
                            QStringLiteral("New in 9."),
                            QStringLiteral("from the file")};
    const QStringList second{b,
                             QStringLiteral("202"),
                             QStringLiteral("Foil"),
                             QStringLiteral("Moonrise"),
                             QStringLiteral("Moons"),
                             QStringLiteral("NOR"),
                             QStringLiteral("9"),
                             QStringLiteral("False"),
                             QString(),
                             QString()};
    addRow(first);
    addRow(second);
    s.expected << first.join(u'|') << second.join(u'|');
    return s;
}

} // namespace krvs::test
