#include "export/ResultsExport.h"

#include <QLocale>
#include <QStringDecoder>
#include <QStringEncoder>

#include <clocale>
#include <langinfo.h>

namespace krvs {

namespace {

const QString Title = QStringLiteral("KORVESSA DATABASE (KRVS) RESULTS");

// Builds one output line at a time with a write position counted in characters
// from column 1, as Tab(n) needs it.
class LineWriter {
  public:
    explicit LineWriter(const LineSink& sink) : sink_(sink) {}

    void text(const QString& s) {
        line_ += s;
        // A line break inside a cell starts the count again.
        const qsizetype nl = s.lastIndexOf(QLatin1Char('\n'));
        if (nl >= 0)
            column_ = s.size() - nl;
        else
            column_ += s.size();
    }
    void blanks(int n) { text(QString(n, QLatin1Char(' '))); }
    // Moves to column n; a line already past it is ended first.
    void tab(int n) {
        if (column_ > n) end();
        if (column_ < n) blanks(n - column_);
    }
    void end() {
        sink_(line_);
        line_.clear();
        column_ = 1;
    }
    void line(const QString& s) {
        text(s);
        end();
    }

  private:
    const LineSink& sink_;
    QString line_;
    qsizetype column_ = 1;
};

// The export's dates are written in English: the program and its users read
// English, and the files are compared and shared between people whatever the
// desktop's own language.
QString englishDate(const QDateTime& when, const QString& format) {
    static const QLocale english(QLocale::English, QLocale::UnitedStates);
    return english.toString(when, format);
}

QString csvQuoted(QString cell) {
    cell.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + cell + QLatin1Char('"');
}

bool needsQuotes(const QString& cell) {
    return cell.contains(QLatin1Char(',')) || cell.contains(QLatin1Char('"')) ||
           cell.contains(QLatin1Char('\n')) || cell.contains(QLatin1Char('\r'));
}

bool captionShown(const GridSource& grid, int col) {
    return !grid.colWidth || grid.colWidth(col) >= 0;
}

} // namespace

QString reportDate(const QDateTime& when) {
    return englishDate(when, QStringLiteral("MMMM dd, yyyy hh:mm:ss AP"));
}

QString csvDate(const QDateTime& when) {
    return englishDate(when, QStringLiteral("MMMM dd yyyy hh:mm:ss AP"));
}

void buildReport(const GridSource& grid, const ExportHeader& header, const LineSink& sink) {
    LineWriter w(sink);
    const int rows = grid.rows();
    const int cols = grid.cols();
    w.line(QStringLiteral(" "));
    w.tab(6);
    w.line(Title);
    w.tab(6);
    w.line(QStringLiteral("File generated on ") + reportDate(header.when));
    w.tab(6);
    w.line(header.caption);
    w.tab(6);
    w.line(QStringLiteral("Database path: ") + header.dbPath);
    w.tab(6);
    w.line(QString(94, QLatin1Char('-')));
    w.end();
    w.tab(6);
    w.line(QString(94, QLatin1Char('_')));

    // The caption row: its first bar follows the first caption and four blanks.
    for (int c = 0; c < cols; ++c) {
        if (!captionShown(grid, c)) continue;
        const QString caption = grid.textMatrix(0, c).trimmed();
        if (c == 0) {
            w.tab(4);
            w.text(QStringLiteral("  |"));
            w.text(caption);
            w.blanks(4);
        } else {
            w.text(QStringLiteral("|  "));
            w.text(caption);
        }
    }
    w.end();
    w.tab(4);
    w.line(QStringLiteral("  |") + QString(7, QLatin1Char('_')) + QLatin1Char('|') +
           QString(85, QLatin1Char('_')));

    for (int r = 1; r < rows; ++r) {
        w.tab(4);
        w.text(QStringLiteral("  |"));
        if (cols > 0) {
            w.text(grid.textMatrix(r, 0));
            w.tab(14);
            w.text(QStringLiteral("| "));
        }
        for (int c = 1; c < cols; ++c)
            w.text(QLatin1Char('"') + grid.textMatrix(r, c) + QStringLiteral("\" "));
        w.end();
        if (grid.rowDone) grid.rowDone(r);
    }
    w.tab(6);
    w.line(QString(94, QLatin1Char('_')));
}

void buildCsv(const GridSource& grid, const ExportHeader& header, const LineSink& sink) {
    const int rows = grid.rows();
    const int cols = grid.cols();
    sink(QStringLiteral(" "));
    sink(Title);
    sink(QStringLiteral("File generated on ") + csvDate(header.when));
    sink(header.caption);
    sink(QStringLiteral("Database path: ") + header.dbPath);

    QString line;
    for (int c = 0; c < cols; ++c) {
        if (!captionShown(grid, c)) continue;
        const QString caption = grid.textMatrix(0, c);
        line += needsQuotes(caption) ? csvQuoted(caption) : caption;
        line += QLatin1Char(',');
    }
    sink(line);

    for (int r = 1; r < rows; ++r) {
        line.clear();
        for (int c = 0; c < cols; ++c) {
            line += csvQuoted(grid.textMatrix(r, c));
            line += QLatin1Char(',');
        }
        sink(line);
        if (grid.rowDone) grid.rowDone(r);
    }
}

namespace {
void buildExport(int format, const GridSource& grid, const ExportHeader& header,
                 const LineSink& sink) {
    if (format == 1)
        buildReport(grid, header, sink);
    else
        buildCsv(grid, header, sink);
}
} // namespace

QStringList exportLines(int format, const GridSource& grid, const ExportHeader& header) {
    QStringList lines;
    buildExport(format, grid, header, [&lines](const QString& l) { lines << l; });
    return lines;
}

// ---- character set ---------------------------------------------------------------

QByteArray TextEncoder::localeCharset() {
    const char* set = nl_langinfo(CODESET);
    return set ? QByteArray(set) : QByteArray();
}

namespace {

bool namesUtf8(const QByteArray& name) {
    const QByteArray n = name.toUpper().replace('-', "").replace('_', "");
    return n.isEmpty() || n == "UTF8" || n == "UTF8MB4" ||
           // The plain C locale names 7-bit ASCII only because nothing was chosen;
           // Qt reads such a system as UTF-8 as well.
           n == "ANSIX3.41968" || n == "ASCII" || n == "USASCII" || n == "646";
}

} // namespace

TextEncoder::TextEncoder() : TextEncoder(localeCharset()) {}

TextEncoder::TextEncoder(const QByteArray& name) : name_(name) {
    utf8_ = namesUtf8(name);
    if (!utf8_) {
        encoder_ = std::make_unique<QStringEncoder>(name.constData());
        decoder_ = std::make_unique<QStringDecoder>(name.constData());
        // A set this build cannot convert to is written as UTF-8 rather than lost.
        if (!encoder_->isValid() || !decoder_->isValid()) {
            encoder_.reset();
            decoder_.reset();
            utf8_ = true;
        }
    }
}

TextEncoder::~TextEncoder() = default;
TextEncoder::TextEncoder(TextEncoder&&) noexcept = default;
TextEncoder& TextEncoder::operator=(TextEncoder&&) noexcept = default;

// Converts text and checks that it reads back unchanged. A converter that met a
// character it cannot hold is replaced by a fresh one: the converters Qt takes from
// the system's conversion library keep their error mark through resetState(), and
// would fail every later text.
bool TextEncoder::encodeExactly(const QString& text, QByteArray* bytes) {
    *bytes = encoder_->encode(text);
    if (encoder_->hasError()) {
        encoder_ = std::make_unique<QStringEncoder>(name_.constData());
        return false;
    }
    const QString back = decoder_->decode(*bytes);
    if (decoder_->hasError()) {
        decoder_ = std::make_unique<QStringDecoder>(name_.constData());
        return false;
    }
    encoder_->resetState();
    decoder_->resetState();
    return back == text;
}

QByteArray TextEncoder::encode(const QString& text) {
    if (utf8_) return text.toUtf8();
    QByteArray bytes;
    if (encodeExactly(text, &bytes)) return bytes;
    // One character at a time, with "?" for each one the set cannot hold.
    QByteArray out;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const qsizetype len =
            (text.at(i).isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate()) ? 2 : 1;
        if (encodeExactly(text.mid(i, len), &bytes) && !bytes.isEmpty())
            out += bytes;
        else
            out += '?';
        i += len;
    }
    return out;
}

void writeExport(int format, const GridSource& grid, const ExportHeader& header,
                 TextEncoder& encoder, const ByteSink& sink) {
    buildExport(format, grid, header, [&](const QString& line) {
        sink(encoder.encode(line) + QByteArrayLiteral("\r\n"));
    });
}

QByteArray exportBytes(int format, const GridSource& grid, const ExportHeader& header,
                       TextEncoder& encoder) {
    QByteArray out;
    writeExport(format, grid, header, encoder, [&out](const QByteArray& bytes) { out += bytes; });
    return out;
}

} // namespace krvs
