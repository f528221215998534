// krvs-bench: times the program on demo catalogues of growing size.
//
//   krvs-bench [--sizes 10000,100000,1000000] [--keep DIR]
//
// For each size the driver makes a catalogue with krvs-makedb (kept in DIR when
// given, and reused there on the next run), then runs itself once per size in a
// child process, so that each size's peak memory is its own. The child copies the
// catalogue into a fresh program folder, opens the real main window on the
// offscreen platform and times what a user waits for. Nothing is asserted; the
// figures are printed as a table.

#include "app/frmKRVS.h"
#include "grid/FlexGrid.h"
#include "grid/SortFlexP.h"
#include "util/AppError.h"
#include "util/UiServices.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>
#include <optional>
#include <sys/resource.h>

using namespace krvs;

namespace {

QTextStream& out() {
    static QTextStream s(stdout);
    return s;
}

QTextStream& err() {
    static QTextStream s(stderr);
    return s;
}

// Answers Yes (or OK) to every question and lists what the program said.
class BenchUi : public UiServices {
  public:
    int msgBox(const QString& text, int flags, const QString& title) override {
        err() << "  [box] " << title << ": " << QString(text).replace("\r\n", " ") << Qt::endl;
        if ((flags & 7) == mb::YesNo || (flags & 7) == 3 /* Yes/No/Cancel */) return mb::AnsYes;
        return mb::AnsOK;
    }
    QString showSave(const SaveDialogRequest&) override { throw AppError::cancelSave(); }
    int shellOpen(const QString&, const QString&, int) override { return 42; }
    int showModal(QDialog& form) override {
        err() << "  [form] " << form.objectName() << Qt::endl;
        return QDialog::Rejected;
    }
    QDateTime now() override { return QDateTime::currentDateTime(); }
    QString updateServer() override { return defaultUpdateServer(); }
};

long peakKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss; // kilobytes on Linux
}

double ms(const QElapsedTimer& t) {
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

struct Figures {
    double startup = 0, query = 0, queryAll = 0, sortAsc = 0, sortDesc = 0, sortId = 0, bulk = 0,
           paint = 0;
    int matches = 0, all = 0;
    long peak = 0;
};

// ---- child: one size ----------------------------------------------------------------

int runOne(const QString& catalogue) {
    BenchUi bench;
    setUi(&bench);

    QTemporaryDir folder;
    if (!folder.isValid() || !QFile::copy(catalogue, folder.filePath(QStringLiteral("KRVS.krv")))) {
        err() << "cannot prepare a program folder for " << catalogue << Qt::endl;
        return 1;
    }
    // Started before: no first-start reminder.
    QFile ini(folder.filePath(QStringLiteral("KRVS.ini")));
    if (ini.open(QIODevice::WriteOnly)) ini.write("[Main]\r\nBackup_Warn=5\r\n");
    ini.close();

    Figures f;
    QElapsedTimer t;
    {
        t.start();
        frmKRVS w(folder.path(), QStringLiteral("KRVS"));
        w.Form_Load();
        while (!w.windowTitle().contains(QStringLiteral("Total records=")) &&
               t.elapsed() < 600000) {
            if (!w.cmdQuery->isEnabled() && w.windowTitle() == QStringLiteral("Korvessa Database"))
                break; // start-up failed; its box was printed
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        f.startup = ms(t);
        if (!w.cmdQuery->isEnabled()) {
            err() << "start-up did not finish: " << w.windowTitle() << Qt::endl;
            return 1;
        }

        // The search panel with every series and category, titles and comments.
        for (QCheckBox* c : w.findChildren<QCheckBox*>())
            frmKRVS::setChkValue(c, 1);
        w.optBothOwn->setChecked(true);

        w.cboSearch->setEditText(QStringLiteral("Vellan,Qorth"));
        t.start();
        w.cmdQuery_Click();
        f.query = ms(t);
        f.matches = w.fgdCards->Rows() - 1;

        w.cboSearch->setEditText(QStringLiteral("*"));
        t.start();
        w.cmdQuery_Click();
        f.queryAll = ms(t);
        f.all = w.fgdCards->Rows() - 1;

        // Header clicks on Title (generic: ascending, then descending) and DbId (numeric).
        auto sortBy = [&](int col) {
            qint16 c = static_cast<qint16>(col), click = c, type = sortTypeForColumn(col);
            QElapsedTimer s;
            s.start();
            SortFlexP(&w, w.fgdCards, c, click, type, [&](int p) { w.setMousePointer(p); });
            return ms(s);
        };
        f.sortAsc = sortBy(3);
        f.sortDesc = sortBy(3);
        f.sortId = sortBy(0);

        // Painting the visible rows at the top and at the bottom of the grid.
        t.start();
        (void)w.fgdCards->grab();
        w.fgdCards->verticalScrollBar()->setValue(w.fgdCards->verticalScrollBar()->maximum());
        (void)w.fgdCards->grab();
        f.paint = ms(t) / 2;

        // Ownership of the first 1,000 rows (or all rows of a smaller grid), answered Yes;
        // the grid is refreshed from the statement afterwards.
        QList<qint32> ids;
        for (int r = 1; r < w.fgdCards->Rows() && ids.size() < 1000; ++r)
            ids.append(w.fgdCards->TextMatrix(r, 0).toInt());
        bool own = true;
        t.start();
        w.UpdateOwnBulk(ids, own);
        f.bulk = ms(t);

        w.Form_Unload();
    }
    f.peak = peakKb();
    setUi(nullptr);

    out() << "RESULT " << f.startup << ' ' << f.query << ' ' << f.matches << ' ' << f.queryAll
          << ' ' << f.all << ' ' << f.sortAsc << ' ' << f.sortDesc << ' ' << f.sortId << ' '
          << f.paint << ' ' << f.bulk << ' ' << f.peak << Qt::endl;
    return 0;
}

// ---- parent: every size ---------------------------------------------------------------

QString fmtMs(double v) {
    if (v >= 10000) return QString::number(v / 1000, 'f', 1) + QStringLiteral(" s");
    return QString::number(v, 'f', v >= 100 ? 0 : 1) + QStringLiteral(" ms");
}

int runAll(const QList<int>& sizes, const QString& keep) {
    std::optional<QTemporaryDir> temp;
    QString work = keep;
    if (work.isEmpty()) {
        temp.emplace();
        work = temp->path();
    }
    QDir().mkpath(work);

    struct Row {
        int cards;
        double make;
        QStringList fields;
    };
    QList<Row> rows;
    for (int n : sizes) {
        const QString db = QDir(work).filePath(QStringLiteral("cards-%1.krv").arg(n));
        double make = -1;
        if (!QFile::exists(db)) {
            err() << "making " << n << " cards ..." << Qt::endl;
            QElapsedTimer t;
            t.start();
            QProcess p;
            p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p.start(QStringLiteral(KRVS_MAKEDB_EXE),
                    {QStringLiteral("--cards"), QString::number(n), QStringLiteral("--force"), db});
            if (!p.waitForFinished(-1) || p.exitCode() != 0) {
                err() << "krvs-makedb failed for " << n << " cards" << Qt::endl;
                return 1;
            }
            make = ms(t);
        }
        err() << "running " << n << " cards ..." << Qt::endl;
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--one"), db});
        if (!child.waitForFinished(-1) || child.exitCode() != 0) {
            err() << "the run for " << n << " cards failed" << Qt::endl;
            return 1;
        }
        QStringList fields;
        for (const QString& line : QString::fromUtf8(child.readAllStandardOutput()).split('\n'))
            if (line.startsWith(QStringLiteral("RESULT ")))
                fields = line.mid(7).split(' ', Qt::SkipEmptyParts);
        if (fields.size() != 11) {
            err() << "no figures from the run for " << n << " cards" << Qt::endl;
            return 1;
        }
        rows.append({n, make, fields});
    }

    const QStringList head = {"cards",          "make db",      "start-up",     "query (rows)",
                              "query * (rows)", "sort Title ^", "sort Title v", "sort DbId",
                              "paint",          "bulk 1,000",   "peak memory"};
    QList<QStringList> table{head};
    for (const Row& r : rows) {
        const QStringList& f = r.fields;
        auto d = [&](int i) { return f[i].toDouble(); };
        table.append({QString::number(r.cards),
                      r.make < 0 ? QStringLiteral("(kept)") : fmtMs(r.make), fmtMs(d(0)),
                      fmtMs(d(1)) + QStringLiteral(" (") + f[2] + ')',
                      fmtMs(d(3)) + QStringLiteral(" (") + f[4] + ')', fmtMs(d(5)), fmtMs(d(6)),
                      fmtMs(d(7)), fmtMs(d(8)), fmtMs(d(9)),
                      QString::number(d(10) / 1024.0, 'f', 0) + QStringLiteral(" MB")});
    }
    QList<int> width(head.size(), 0);
    for (const QStringList& line : table)
        for (int i = 0; i < line.size(); ++i)
            width[i] = std::max<int>(width[i], line[i].size());
    for (int k = 0; k < table.size(); ++k) {
        QString line;
        for (int i = 0; i < table[k].size(); ++i)
            line += (i == 0 ? table[k][i].leftJustified(width[i])
                            : table[k][i].rightJustified(width[i])) +
                    QStringLiteral("  ");
        out() << line.trimmed() << Qt::endl;
        if (k == 0) out() << QString(line.trimmed().size(), '-') << Qt::endl;
    }
    return 0;
}

QList<int> parseSizes(const QString& text) {
    QList<int> sizes;
    for (const QString& part : text.split(',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const int n = part.trimmed().toInt(&ok);
        if (ok && n > 0) sizes.append(n);
    }
    return sizes;
}

void usage() {
    err() << "usage: krvs-bench [--sizes N[,N...]] [--keep DIR]" << Qt::endl
          << "  --sizes  catalogue sizes in cards (default 10000,100000,1000000)" << Qt::endl
          << "  --keep   keep the demo catalogues in DIR and reuse them next time" << Qt::endl;
}

} // namespace

int main(int argc, char** argv) {
    // The child opens windows; both run headless.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    if (args.size() == 2 && args[0] == QLatin1String("--one")) {
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("KRVS"));
        return runOne(args[1]);
    }

    QCoreApplication app(argc, argv);
    QList<int> sizes = {10000, 100000, 1000000};
    QString keep;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--sizes") && i + 1 < args.size()) {
            sizes = parseSizes(args[++i]);
        } else if (args[i] == QLatin1String("--keep") && i + 1 < args.size()) {
            keep = args[++i];
        } else {
            usage();
            return 2;
        }
    }
    if (sizes.isEmpty()) {
        usage();
        return 2;
    }
    return runAll(sizes, keep);
}
