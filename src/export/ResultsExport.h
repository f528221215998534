#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QStringDecoder;
class QStringEncoder;

namespace krvs {

// What the export reads from the results grid: its shape, its cells (row 0 is
// the caption row) and a per-column width; a column whose width is below 0 has no
// caption written.
struct GridSource {
    std::function<int()> rows;
    std::function<int()> cols;
    std::function<QString(int row, int col)> textMatrix;
    std::function<int(int col)> colWidth;
    // When set, called after each data row has been written (rows from 1), so that a
    // long export can let its window repaint and show how far it has gone.
    std::function<void(int row)> rowDone = nullptr;
};

// The header lines' facts: the main window's caption, the catalogue's path and
// the moment of the export.
struct ExportHeader {
    QString caption;
    QString dbPath;
    QDateTime when;
};

// Receives each finished line, without its line end. It may throw to stop.
using LineSink = std::function<void(const QString& line)>;

// The formatted text report, line by line.
void buildReport(const GridSource& grid, const ExportHeader& header, const LineSink& sink);
// The CSV file, line by line. Every data cell is quoted with its double quotes
// doubled; a caption is quoted only when it holds a comma, a double quote or a
// line break. Every line ends with a comma.
void buildCsv(const GridSource& grid, const ExportHeader& header, const LineSink& sink);

// Both formats as whole lists of lines (format 1 the report, any other the CSV).
QStringList exportLines(int format, const GridSource& grid, const ExportHeader& header);

// "December 05, 2026 03:32:47 AM" (report) and "December 05 2026 03:32:47 AM" (CSV).
QString reportDate(const QDateTime& when);
QString csvDate(const QDateTime& when);

// Turns the export's text into the bytes of the file. The default is the
// system's character set: UTF-8 where the locale's character set is UTF-8 (or
// the plain C locale, which names none), otherwise that 8-bit set, with "?" for
// each character it cannot hold.
class TextEncoder {
  public:
    TextEncoder();                                // the system's character set
    explicit TextEncoder(const QByteArray& name); // a named character set
    ~TextEncoder();
    TextEncoder(TextEncoder&&) noexcept;
    TextEncoder& operator=(TextEncoder&&) noexcept;

    QByteArray encode(const QString& text);
    const QByteArray& name() const { return name_; }
    bool isUtf8() const { return utf8_; }

    // The character-set name of the current locale (LC_CTYPE), as the C library
    // reports it.
    static QByteArray localeCharset();

  private:
    bool encodeExactly(const QString& text, QByteArray* bytes);

    QByteArray name_;
    bool utf8_ = true;
    std::unique_ptr<QStringEncoder> encoder_;
    std::unique_ptr<QStringDecoder> decoder_;
};

// Receives the bytes of each finished line, its CR LF included. It may throw to stop.
using ByteSink = std::function<void(const QByteArray& bytes)>;

// Writes the export (format 1 the report, any other the CSV) as the bytes of the
// file, one line at a time: each line in the encoder's character set, ended with
// CR LF.
void writeExport(int format, const GridSource& grid, const ExportHeader& header,
                 TextEncoder& encoder, const ByteSink& sink);

// The whole export as the bytes of the file (writeExport's bytes, in one piece).
QByteArray exportBytes(int format, const GridSource& grid, const ExportHeader& header,
                       TextEncoder& encoder);

} // namespace krvs
