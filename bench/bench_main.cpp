// krvs-bench: times the program on demo catalogues of growing size.
//
//   krvs-bench [--sizes 10000,100000,1000000] [--keep DIR] [--runs 3]
//
// For each size the driver makes a catalogue with krvs-makedb (kept in DIR when
// given, and reused there on the next run), then runs itself once per size in a
// child process, so that each size's peak memory is its own. The child copies the
// catalogue into a fresh program folder, opens the real main window on the
// offscreen platform and times what a user waits for. Nothing is asserted; the
// figures are printed as a table.

#include "app/frmKRVS.h"
#include "db/Dialect.h"
#include "db/GrowBuffer.h"
#include "db/TextFold.h"
#include "grid/FlexGrid.h"
#include "grid/HeaderSort.h"
#include "ui/UiServices.h"
#include "util/AppError.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sqlite3.h>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <time.h>
#include <unicode/ucol.h>
#include <unicode/ustring.h>
#include <unistd.h>
#include <utility>
#include <vector>

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

// The system's monotonic clock in nanoseconds: the same in every process, so a child's
// moment can be set beside the moment its parent started it.
qint64 monoNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// Answers Yes (or OK) to every question and lists what the program said; remembers
// when the last question was answered and when the last box showed, and answers
// a save dialog with saveTarget.
class BenchUi : public UiServices {
  public:
    qint64 answeredNs = 0, boxNs = 0;
    QString saveTarget;
    int msgBox(const QString& text, int flags, const QString& title) override {
        const qint64 shown = monoNs();
        err() << "  [box] " << title << ": " << QString(text).replace("\r\n", " ") << Qt::endl;
        if ((flags & 7) == mb::YesNo || (flags & 7) == 3 /* Yes/No/Cancel */) {
            answeredNs = monoNs();
            return mb::AnsYes;
        }
        boxNs = shown;
        return mb::AnsOK;
    }
    QString showSave(const SaveDialogRequest&) override {
        if (saveTarget.isEmpty()) throw AppError::cancelSave();
        return saveTarget;
    }
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

// A fingerprint of the order of a result's rows: FNV-1a over each row's DbId text, kept to
// 48 bits so that it travels exactly as a number of the RESULT line.
class RowPrint {
  public:
    void add(std::string_view id) {
        for (const char c : id)
            h_ = (h_ ^ static_cast<unsigned char>(c)) * kPrime;
        h_ = (h_ ^ '\n') * kPrime;
    }
    double value() const { return static_cast<double>(h_ & ((std::uint64_t{1} << 48) - 1)); }

  private:
    static constexpr std::uint64_t kPrime = 1099511628211ULL;
    std::uint64_t h_ = 14695981039346656037ULL;
};

// The grid's rows as the user sees them, DbId first.
double gridPrint(const frmKRVS& w) {
    RowPrint print;
    for (int r = 1; r < w.fgdCards->Rows(); ++r)
        print.add(w.fgdCards->TextMatrix(r, 0).toStdString());
    return print.value();
}

// The statements the program ran, in the engine's dialect, handed to the plain loop.
QString engineSql(const QString& statement) {
    return db::dialect::translate(statement).sql;
}

// ---- child: the empty program -------------------------------------------------------

// The main window shown on no catalogue: what the program holds before any card.
int runEmpty() {
    BenchUi bench;
    setUi(&bench);
    QTemporaryDir folder;
    {
        frmKRVS w(folder.path(), QStringLiteral("KRVS"));
        w.show();
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        out() << "EMPTY " << peakKb() << Qt::endl;
    }
    setUi(nullptr);
    return 0;
}

// ---- child: the program on one size -------------------------------------------------

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

    QStringList fig; // name=value, printed on one line
    auto put = [&](const char* name, double v) {
        fig << QLatin1String(name) + QLatin1Char('=') + QString::number(v, 'f', 3);
    };
    QStringList statements;
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
        put("startup", ms(t));
        put("captionAt", static_cast<double>(monoNs()) / 1e6);
        put("peakStartup", static_cast<double>(peakKb()));
        if (!w.cmdQuery->isEnabled()) {
            err() << "start-up did not finish: " << w.windowTitle() << Qt::endl;
            return 1;
        }
        put("orderStartup", gridPrint(w));
        statements << engineSql(w.g.gCurSQL);

        // The search panel with every series and category, titles and comments.
        for (QCheckBox* c : w.findChildren<QCheckBox*>())
            frmKRVS::setChkValue(c, 1);
        w.optBothOwn->setChecked(true);

        w.cboSearch->setEditText(QStringLiteral("Vellan,Qorth"));
        t.start();
        w.cmdQuery_Click();
        put("query", ms(t));
        put("matches", w.fgdCards->Rows() - 1);
        put("peakQuery", static_cast<double>(peakKb()));
        put("orderQuery", gridPrint(w));
        statements << engineSql(w.g.gCurSQL);

        w.cboSearch->setEditText(QStringLiteral("*"));
        t.start();
        w.cmdQuery_Click();
        put("all", ms(t));
        put("allRows", w.fgdCards->Rows() - 1);
        put("peakAll", static_cast<double>(peakKb()));
        put("orderAll", gridPrint(w));
        statements << engineSql(w.g.gCurSQL);

        // Header clicks on Title (generic: ascending, then descending) and DbId (numeric).
        auto sortBy = [&](int col) {
            QElapsedTimer s;
            s.start();
            sortByHeader(&w, w.fgdCards, col, col, sortKindForColumn(col),
                         [&](int p) { w.setMousePointer(p); });
            return ms(s);
        };
        put("sortAsc", sortBy(3));
        put("sortDesc", sortBy(3));
        put("sortId", sortBy(0));
        put("peakSort", static_cast<double>(peakKb()));

        // Painting the visible rows at the top and at the bottom of the grid.
        t.start();
        (void)w.fgdCards->grab();
        w.fgdCards->verticalScrollBar()->setValue(w.fgdCards->verticalScrollBar()->maximum());
        (void)w.fgdCards->grab();
        put("paint", ms(t) / 2);

        // Ownership of the first 1,000 rows (or all rows of a smaller grid), answered Yes;
        // the grid is refreshed from the statement afterwards.
        QList<qint32> ids;
        for (int r = 1; r < w.fgdCards->Rows() && ids.size() < 1000; ++r)
            ids.append(w.fgdCards->TextMatrix(r, 0).toInt());
        bool own = true;
        t.start();
        w.UpdateOwnBulk(ids, own);
        put("bulk", ms(t));

        // Every card from the pop-up menu's command (the grid holds every card now),
        // timed from the answer Yes to the success box.
        ids.clear();
        for (int r = 1; r < w.fgdCards->Rows(); ++r)
            ids.append(w.fgdCards->TextMatrix(r, 0).toInt());
        own = false;
        bench.answeredNs = bench.boxNs = 0;
        w.UpdateOwnBulk(ids, own);
        put("bulkAll", static_cast<double>(bench.boxNs - bench.answeredNs) / 1e6);
        put("bulkAllCards", static_cast<double>(ids.size()));

        // Compaction and backup from the File menu, each timed from the command to its
        // success box (the reload of the grid after it is not counted).
        const auto fileWork = [&](QAction* command) {
            bench.boxNs = 0;
            const qint64 start = monoNs();
            command->trigger();
            return bench.boxNs > start ? static_cast<double>(bench.boxNs - start) / 1e6 : -1.0;
        };
        put("compact", fileWork(w.mnuCompact));
        bench.saveTarget = folder.filePath(QStringLiteral("backup/bench.krv"));
        put("backup", fileWork(w.mnuBakDB));
        put("fileBytes", static_cast<double>(QFileInfo(w.catalogue().file()).size()));

        w.Form_Unload();
    }
    put("peak", static_cast<double>(peakKb()));
    setUi(nullptr);

    for (const QString& s : statements)
        out() << "STATEMENT " << s << Qt::endl;
    out() << "RESULT " << fig.join(' ') << Qt::endl;
    return 0;
}

// ---- child: the plain engine loop ---------------------------------------------------

// The least work any client-side snapshot must do: prepare, step, and copy every
// cell's text into one buffer with 32-bit offsets, both grown without copying (a large
// block moves by remapping its pages, as realloc moves it).
struct PlainSnapshot {
    db::GrowBuffer<char> text;
    db::GrowBuffer<std::uint32_t>
        offsets; // where each cell ends; a cell starts where the last ended
    int cols = 0;
    std::size_t rows() const { return cols ? offsets.size() / cols : 0; }
    std::string_view cell(std::size_t r, int c) const {
        const std::size_t i = r * cols + c;
        const std::uint32_t from = i ? offsets[i - 1] : 0;
        return std::string_view(text.data() + from, offsets[i] - from);
    }
};

bool plainRun(sqlite3* db, const QString& sql, PlainSnapshot& snap) {
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, text.constData(), static_cast<int>(text.size()), &st, nullptr) !=
        SQLITE_OK) {
        err() << "plain loop: " << sqlite3_errmsg(db) << Qt::endl;
        return false;
    }
    snap.cols = sqlite3_column_count(st);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        for (int c = 0; c < snap.cols; ++c) {
            const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
            const auto n = static_cast<std::size_t>(sqlite3_column_bytes(st, c));
            if (t) snap.text.append(t, n);
            snap.offsets.push_back(static_cast<std::uint32_t>(snap.text.size()));
        }
    }
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) err() << "plain loop: " << sqlite3_errmsg(db) << Qt::endl;
    return rc == SQLITE_DONE;
}

// The locale's collation keys of a column, made beforehand, in one buffer.
struct TextKeys {
    std::string bytes;
    std::vector<std::uint64_t> at{0};
    std::string_view key(std::size_t i) const {
        return std::string_view(bytes.data() + at[i], at[i + 1] - at[i]);
    }
};

TextKeys collationKeys(const PlainSnapshot& snap, int col) {
    TextKeys keys;
    const QByteArray name =
        QLocale().bcp47Name().replace(QLatin1Char('-'), QLatin1Char('_')).toLatin1();
    UErrorCode status = U_ZERO_ERROR;
    UCollator* coll = ucol_open(name.constData(), &status);
    status = U_ZERO_ERROR;
    ucol_setAttribute(coll, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    ucol_setAttribute(coll, UCOL_STRENGTH, UCOL_SECONDARY, &status);
    std::vector<UChar> u16;
    std::vector<uint8_t> key;
    for (std::size_t r = 0; r < snap.rows(); ++r) {
        const std::string_view v = snap.cell(r, col);
        u16.resize(v.size() + 1);
        int32_t len = 0;
        status = U_ZERO_ERROR;
        u_strFromUTF8WithSub(u16.data(), static_cast<int32_t>(u16.size()), &len, v.data(),
                             static_cast<int32_t>(v.size()), 0xFFFD, nullptr, &status);
        key.resize(static_cast<std::size_t>(len) * 4 + 16);
        int32_t size =
            ucol_getSortKey(coll, u16.data(), len, key.data(), static_cast<int32_t>(key.size()));
        if (size > static_cast<int32_t>(key.size())) {
            key.resize(static_cast<std::size_t>(size));
            size = ucol_getSortKey(coll, u16.data(), len, key.data(), size);
        }
        keys.bytes.append(reinterpret_cast<const char*>(key.data()),
                          size > 0 ? static_cast<std::size_t>(size) - 1 : 0);
        keys.at.push_back(keys.bytes.size());
    }
    ucol_close(coll);
    return keys;
}

// The same statements once more, untimed, with the program's text functions in the engine
// (its LIKE and letter-case collation): the rows, in the order, the program must show.
template <class Put>
bool putEngineOrders(const QByteArray& file, const QStringList& statements, Put put) {
    const char* orders[] = {"orderStartup", "orderQuery", "orderAll"};
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
        db::text::registerFunctions(db) != SQLITE_OK) {
        sqlite3_close(db);
        err() << "plain loop: cannot open " << file << " for the order check" << Qt::endl;
        return false;
    }
    bool ok = true;
    for (int i = 0; ok && i < statements.size() && i < 3; ++i) {
        const QByteArray sql = statements[i].toUtf8();
        sqlite3_stmt* st = nullptr;
        ok = sqlite3_prepare_v2(db, sql.constData(), static_cast<int>(sql.size()), &st, nullptr) ==
             SQLITE_OK;
        RowPrint print;
        int rc = SQLITE_DONE;
        while (ok && (rc = sqlite3_step(st)) == SQLITE_ROW)
            print.add(std::string_view(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                                       static_cast<std::size_t>(sqlite3_column_bytes(st, 0))));
        ok = ok && rc == SQLITE_DONE;
        if (!ok) err() << "order check: " << sqlite3_errmsg(db) << Qt::endl;
        sqlite3_finalize(st);
        put(orders[i], print.value());
    }
    sqlite3_close(db);
    return ok;
}

// A plain copy of a file in 1 MiB blocks, flushed to disk before it is closed.
bool plainCopy(const QString& from, const QString& to) {
    const int in = ::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC);
    const int out =
        ::open(QFile::encodeName(to).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    bool ok = in >= 0 && out >= 0;
    std::vector<char> buf(std::size_t{1} << 20);
    while (ok) {
        const ssize_t n = ::read(in, buf.data(), buf.size());
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        ok = ::write(out, buf.data(), static_cast<std::size_t>(n)) == n;
    }
    ok = ok && ::fsync(out) == 0;
    if (in >= 0) ::close(in);
    if (out >= 0) ::close(out);
    return ok;
}

// The bare engine's bulk update: every card's own UPDATE, in DbId order, all inside one
// transaction, on the journal and flush settings the program uses. Sets ms to its time.
bool plainBulk(const QString& file, double& ms) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
            SQLITE_OK ||
        sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;", nullptr, nullptr,
                     nullptr) != SQLITE_OK) {
        err() << "plain bulk: " << sqlite3_errmsg(db) << Qt::endl;
        sqlite3_close(db);
        return false;
    }
    std::vector<qint32> ids;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT DbId FROM tblKRVS101 ORDER BY DbId;", -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        ids.push_back(sqlite3_column_int(st, 0));
    sqlite3_finalize(st);
    QElapsedTimer t;
    t.start();
    bool ok = sqlite3_exec(db, "BEGIN;", nullptr, nullptr, nullptr) == SQLITE_OK;
    char sql[96];
    for (std::size_t i = 0; ok && i < ids.size(); ++i) {
        std::snprintf(sql, sizeof sql, "UPDATE tblKRVS101 SET Own = 0 WHERE DbId = %d;", ids[i]);
        ok = sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ok = ok && sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr) == SQLITE_OK;
    ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
    if (!ok) err() << "plain bulk: " << sqlite3_errmsg(db) << Qt::endl;
    sqlite3_close(db);
    return ok;
}

// Times the three statements the program ran, then std::stable_sort of the keys
// of the header sorts the program did on the last result.
int runPlain(const QString& catalogue, const QStringList& statements) {
    QStringList fig;
    auto put = [&](const char* name, double v) {
        fig << QLatin1String(name) + QLatin1Char('=') + QString::number(v, 'f', 3);
    };
    QElapsedTimer t;
    t.start();
    sqlite3* db = nullptr;
    const QByteArray file = QFile::encodeName(catalogue);
    if (sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        err() << "plain loop: cannot open " << catalogue << Qt::endl;
        return 1;
    }
    const char* names[] = {"startup", "query", "all"};
    PlainSnapshot snap;
    for (int i = 0; i < statements.size() && i < 3; ++i) {
        if (i > 0) t.start();
        snap = PlainSnapshot();
        if (!plainRun(db, statements[i], snap)) return 1;
        put(names[i], ms(t));
        if (i == 0) {
            put("readyAt", static_cast<double>(monoNs()) / 1e6);
            put("peakStartup", static_cast<double>(peakKb()));
        }
    }
    sqlite3_close(db);

    // A plain copy of the file, flushed to disk: what a backup or compaction must at
    // least do. The copy then takes the bare engine's bulk update.
    QTemporaryDir scratch;
    const QString copy = scratch.filePath(QStringLiteral("copy.krv"));
    t.start();
    if (!plainCopy(catalogue, copy)) {
        err() << "plain loop: cannot copy " << catalogue << Qt::endl;
        return 1;
    }
    put("copy", ms(t));
    double bulk = 0;
    if (!plainBulk(copy, bulk)) return 1;
    put("bulkAll", bulk);
    put("peak", static_cast<double>(peakKb()));
    if (!putEngineOrders(file, statements, put)) return 1;

    // The header sorts of the program, on precomputed keys of the same rows in the
    // same order: Title ascending, then descending, then DbId as numbers.
    struct TextEntry {
        std::string_view key;
        std::uint32_t row;
    };
    struct NumEntry {
        double key;
        std::uint32_t row;
    };
    const TextKeys keys = collationKeys(snap, 3);
    std::vector<TextEntry> text(snap.rows());
    for (std::size_t r = 0; r < snap.rows(); ++r)
        text[r] = {keys.key(r), static_cast<std::uint32_t>(r)};
    t.start();
    std::stable_sort(text.begin(), text.end(),
                     [](const TextEntry& a, const TextEntry& b) { return a.key < b.key; });
    put("sortAsc", ms(t));
    t.start();
    std::stable_sort(text.begin(), text.end(),
                     [](const TextEntry& a, const TextEntry& b) { return b.key < a.key; });
    put("sortDesc", ms(t));
    std::vector<NumEntry> num(snap.rows());
    for (std::size_t r = 0; r < snap.rows(); ++r) {
        const std::uint32_t row = text[r].row;
        const std::string id(snap.cell(row, 0));
        num[r] = {std::strtod(id.c_str(), nullptr), row};
    }
    t.start();
    std::stable_sort(num.begin(), num.end(),
                     [](const NumEntry& a, const NumEntry& b) { return a.key < b.key; });
    put("sortId", ms(t));
    out() << "RESULT " << fig.join(' ') << Qt::endl;
    return 0;
}

// ---- parent: every size ---------------------------------------------------------------

QString fmtMs(double v) {
    if (v >= 10000) return QString::number(v / 1000, 'f', 1) + QStringLiteral(" s");
    return QString::number(v, 'f', v >= 100 ? 0 : 1) + QStringLiteral(" ms");
}

QString fmtMb(double kb) {
    return QString::number(kb / 1024.0, 'f', 0) + QStringLiteral(" MB");
}

QString fmtRatio(double a, double b) {
    return b > 0 ? QString::number(a / b, 'f', 2) : QStringLiteral("-");
}

using Fields = QHash<QString, double>;

// Runs this program with args and reads its RESULT line (and STATEMENT lines).
bool runChild(const QStringList& args, Fields& fields, QStringList* statements = nullptr) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The child runs on the platform this run has (offscreen unless one was chosen).
    child.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    const qint64 execNs = monoNs();
    child.start(QCoreApplication::applicationFilePath(), args);
    if (!child.waitForFinished(-1) || child.exitCode() != 0) return false;
    fields.clear();
    fields.insert(QStringLiteral("execAt"), static_cast<double>(execNs) / 1e6);
    for (const QString& line : QString::fromUtf8(child.readAllStandardOutput()).split('\n')) {
        if (statements && line.startsWith(QStringLiteral("STATEMENT ")))
            statements->append(line.mid(10));
        if (line.startsWith(QStringLiteral("EMPTY ")))
            fields.insert(QStringLiteral("peak"), line.mid(6).toDouble());
        if (!line.startsWith(QStringLiteral("RESULT "))) continue;
        for (const QString& kv : line.mid(7).split(' ', Qt::SkipEmptyParts)) {
            const qsizetype eq = kv.indexOf('=');
            if (eq > 0) fields.insert(kv.left(eq), kv.mid(eq + 1).toDouble());
        }
    }
    return fields.size() > 1;
}

// Starts the program itself (its own executable, beside a copy of the catalogue, as a
// user starts it) and times it from its exec until its caption shows the total of
// cards, which the program logs when asked (QT_LOGGING_RULES). Its peak memory then is
// read from the system before it is ended.
bool runProgram(const QString& catalogue, Fields& fields) {
    QTemporaryDir folder;
    const QString exe = folder.filePath(QStringLiteral("KRVS"));
    const QByteArray from = QFile::encodeName(QStringLiteral(KRVS_EXE));
    if (::link(from.constData(), QFile::encodeName(exe).constData()) != 0 &&
        !QFile::copy(QStringLiteral(KRVS_EXE), exe))
        return false;
    if (!QFile::copy(catalogue, folder.filePath(QStringLiteral("KRVS.krv")))) return false;
    QFile ini(folder.filePath(QStringLiteral("KRVS.ini")));
    if (!ini.open(QIODevice::WriteOnly)) return false;
    ini.write("[Main]\r\nBackup_Warn=5\r\n"); // started before: no first-start reminder
    ini.close();

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("krvs.startup.info=true"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.setReadChannel(QProcess::StandardError); // where the program logs
    const qint64 execNs = monoNs();
    child.start(exe, {});
    if (!child.waitForStarted(-1)) return false;
    QByteArray said;
    qint64 captionNs = 0;
    while (!captionNs && child.state() == QProcess::Running && child.waitForReadyRead(600000)) {
        said += child.readAllStandardError();
        if (said.contains("Total records=")) captionNs = monoNs();
    }
    long hwm = 0;
    QFile status(QStringLiteral("/proc/%1/status").arg(child.processId()));
    if (captionNs && status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:")) hwm = line.mid(6).trimmed().split(' ').front().toLong();
    child.kill();
    child.waitForFinished(-1);
    if (!captionNs) {
        err() << "the program did not show its total: " << said << Qt::endl;
        return false;
    }
    fields.insert(QStringLiteral("exec"), static_cast<double>(captionNs - execNs) / 1e6);
    fields.insert(QStringLiteral("execPeak"), static_cast<double>(hwm));
    return true;
}

// The median of each figure over several runs (the first run's value for a figure
// some run lacks).
Fields medians(const QList<Fields>& runs) {
    Fields m;
    for (auto it = runs.front().begin(); it != runs.front().end(); ++it) {
        std::vector<double> v;
        for (const Fields& f : runs)
            if (f.contains(it.key())) v.push_back(f.value(it.key()));
        std::sort(v.begin(), v.end());
        const std::size_t n = v.size();
        m.insert(it.key(), n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2);
    }
    return m;
}

void printTable(const QList<QStringList>& table) {
    QList<int> width(table.front().size(), 0);
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
    out() << Qt::endl;
}

int runAll(const QList<int>& sizes, const QString& keep, int runs) {
    std::optional<QTemporaryDir> temp;
    QString work = keep;
    if (work.isEmpty()) {
        temp.emplace();
        work = temp->path();
    }
    QDir().mkpath(work);

    Fields empty;
    if (!runChild({QStringLiteral("--empty")}, empty)) {
        err() << "the run of the empty program failed" << Qt::endl;
        return 1;
    }
    const double emptyKb = empty.value(QStringLiteral("peak"));

    struct Row {
        int cards;
        double make;
        Fields prog, plain;
        int runs = 1;
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
        Row row{n, make, {}, {}};
        QList<Fields> progRuns, plainRuns;
        for (int run = 1; run <= runs; ++run) {
            err() << "running " << n << " cards (run " << run << " of " << runs << ") ..."
                  << Qt::endl;
            Fields prog, plain;
            QStringList statements;
            if (!runChild({QStringLiteral("--one"), db}, prog, &statements) ||
                statements.size() != 3) {
                err() << "the run for " << n << " cards failed" << Qt::endl;
                return 1;
            }
            if (!runProgram(db, prog)) {
                err() << "the program's own start for " << n << " cards failed" << Qt::endl;
                return 1;
            }
            if (!runChild(QStringList{QStringLiteral("--plain"), db} + statements, plain)) {
                err() << "the plain loop for " << n << " cards failed" << Qt::endl;
                return 1;
            }
            // Moments become lengths before the medians are taken.
            plain.insert(QStringLiteral("exec"), plain.value(QStringLiteral("readyAt")) -
                                                     plain.value(QStringLiteral("execAt")));
            prog.insert(QStringLiteral("inExec"), prog.value(QStringLiteral("captionAt")) -
                                                      prog.value(QStringLiteral("execAt")));
            progRuns.append(prog);
            plainRuns.append(plain);
        }
        row.prog = medians(progRuns);
        row.plain = medians(plainRuns);
        // The orders are compared as the first run gave them, not as medians.
        for (const char* k : {"orderStartup", "orderQuery", "orderAll"}) {
            row.prog.insert(QLatin1String(k), progRuns.front().value(QLatin1String(k)));
            row.plain.insert(QLatin1String(k), plainRuns.front().value(QLatin1String(k)));
        }
        row.runs = runs;
        rows.append(row);
    }

    // One table per size: the program beside the plain loop.
    for (const Row& r : rows) {
        auto p = [&](const char* k) { return r.prog.value(QLatin1String(k)); };
        auto q = [&](const char* k) { return r.plain.value(QLatin1String(k)); };
        const QString cards = QLocale(QLocale::English).toString(r.cards);
        QList<QStringList> table{
            {cards + QStringLiteral(" cards"), "program", "plain loop", "ratio"}};
        auto timed = [&](const QString& what, const char* k) {
            table.append({what, fmtMs(p(k)), fmtMs(q(k)), fmtRatio(p(k), q(k))});
        };
        timed(QStringLiteral("start-up from exec (the program itself, to its caption)"), "exec");
        {
            const double prog = p("inExec");
            table.append({QStringLiteral("start-up from exec (the bench's window, to the caption)"),
                          fmtMs(prog), fmtMs(q("exec")), fmtRatio(prog, q("exec"))});
        }
        timed(QStringLiteral("start-up in the process (all cards by DbId)"), "startup");
        const QLocale english(QLocale::English);
        timed(QStringLiteral("key words (%1 rows)").arg(english.toString(qRound64(p("matches")))),
              "query");
        timed(QStringLiteral("\"*\" (%1 rows)").arg(english.toString(qRound64(p("allRows")))),
              "all");
        table.append({QStringLiteral("peak memory at start-up (the program itself)"),
                      fmtMb(p("execPeak")), fmtMb(q("peakStartup")),
                      fmtRatio(p("execPeak"), q("peakStartup"))});
        table.append({QStringLiteral("peak memory, whole run"), fmtMb(p("peak")),
                      fmtMb(q("peakStartup")), fmtRatio(p("peak"), q("peakStartup"))});
        timed(QStringLiteral("Own on every card (%1, Yes to the box)")
                  .arg(english.toString(qRound64(p("bulkAllCards")))),
              "bulkAll");
        const QString size = fmtMb(p("fileBytes") / 1024.0);
        table.append({QStringLiteral("compaction (%1 file; plain: a copy)").arg(size),
                      fmtMs(p("compact")), fmtMs(q("copy")), fmtRatio(p("compact"), q("copy"))});
        table.append({QStringLiteral("backup (%1 file; plain: a copy)").arg(size),
                      fmtMs(p("backup")), fmtMs(q("copy")), fmtRatio(p("backup"), q("copy"))});
        out() << "plain loop: the same statements, prepare + step + copy into one buffer; the "
                 "same UPDATEs in one transaction; a copy of the file flushed to disk; peak "
                 "memory: the plain loop over the start-up statement"
              << Qt::endl
              << "medians of " << r.runs << (r.runs == 1 ? " run" : " runs") << Qt::endl;
        printTable(table);
        auto same = [&](const char* k) {
            return p(k) == q(k) ? QStringLiteral("same") : QStringLiteral("DIFFERENT");
        };
        out() << "rows and their order beside the plain loop's (DbId of every row): start-up "
              << same("orderStartup") << ", key words " << same("orderQuery") << ", \"*\" "
              << same("orderAll") << Qt::endl
              << Qt::endl;

        QList<QStringList> sorts{
            {cards + QStringLiteral(" rows"), "program", "std::stable_sort of keys", "ratio"}};
        auto sorted = [&](const QString& what, const char* k) {
            sorts.append({what, fmtMs(p(k)), fmtMs(q(k)), fmtRatio(p(k), q(k))});
        };
        sorted(QStringLiteral("header sort Title ^"), "sortAsc");
        sorted(QStringLiteral("header sort Title v"), "sortDesc");
        sorted(QStringLiteral("header sort DbId"), "sortId");
        printTable(sorts);
        out() << "program's peak memory after start-up " << fmtMb(p("peakStartup"))
              << ", key words " << fmtMb(p("peakQuery")) << ", \"*\" " << fmtMb(p("peakAll"))
              << ", the sorts " << fmtMb(p("peakSort"))
              << ", the bulk updates, compaction and backup " << fmtMb(p("peak")) << Qt::endl
              << Qt::endl;
    }

    // The sizes side by side, each with its growth over the size before it.
    QList<QStringList> lin{{"cards", "make db", "start-up", "key words", "\"*\"", "sort Title ^",
                            "sort DbId", "paint", "bulk 1,000", "bulk all", "peak", "above empty"}};
    for (int i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        const Row* prev = i > 0 ? &rows[i - 1] : nullptr;
        auto cell = [&](const char* k, bool memory = false) {
            const double v =
                memory ? r.prog.value(QLatin1String(k)) - emptyKb : r.prog.value(QLatin1String(k));
            QString s = memory ? fmtMb(v) : fmtMs(v);
            if (prev) {
                const double pv = memory ? prev->prog.value(QLatin1String(k)) - emptyKb
                                         : prev->prog.value(QLatin1String(k));
                s += QStringLiteral(" x") + fmtRatio(v, pv);
            }
            return s;
        };
        lin.append({QString::number(r.cards), r.make < 0 ? QStringLiteral("(kept)") : fmtMs(r.make),
                    cell("startup"), cell("query"), cell("all"), cell("sortAsc"), cell("sortId"),
                    cell("paint"), cell("bulk"), cell("bulkAll"),
                    fmtMb(r.prog.value(QStringLiteral("peak"))), cell("peak", true)});
    }
    out() << "growth (x: over the size before; memory above the empty program's " << fmtMb(emptyKb)
          << ")" << Qt::endl;
    printTable(lin);
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
    err() << "usage: krvs-bench [--sizes N[,N...]] [--keep DIR] [--runs N]" << Qt::endl
          << "  --sizes  catalogue sizes in cards (default 10000,100000,1000000)" << Qt::endl
          << "  --keep   keep the demo catalogues in DIR and reuse them next time" << Qt::endl
          << "  --runs   runs per size, figures are their medians (default 3)" << Qt::endl;
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
    if (args.size() == 1 && args[0] == QLatin1String("--empty")) {
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("KRVS"));
        return runEmpty();
    }
    if (args.size() >= 2 && args[0] == QLatin1String("--plain")) {
        QCoreApplication app(argc, argv);
        return runPlain(args[1], args.mid(2));
    }

    QCoreApplication app(argc, argv);
    QList<int> sizes = {10000, 100000, 1000000};
    QString keep;
    int runs = 3;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--sizes") && i + 1 < args.size()) {
            sizes = parseSizes(args[++i]);
        } else if (args[i] == QLatin1String("--keep") && i + 1 < args.size()) {
            keep = args[++i];
        } else if (args[i] == QLatin1String("--runs") && i + 1 < args.size()) {
            runs = std::max(1, args[++i].toInt());
        } else {
            usage();
            return 2;
        }
    }
    if (sizes.isEmpty()) {
        usage();
        return 2;
    }
    return runAll(sizes, keep, runs);
}
