// The checklist CSV reader: any text is either read or refused with its line
// number, and the cards it reads come back unchanged when written out as CSV
// again and read a second time.
#include "FuzzCheck.h"

#include "checklist/CsvCards.h"

#include <QRegularExpression>
#include <cstddef>
#include <cstdint>
#include <string>

using namespace krvs::checklist;

namespace {

std::string field(const std::string& v) {
    std::string out = "\"";
    for (char c : v) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

QByteArray writeCsv(const std::vector<Card>& cards) {
    std::string out =
        "DbId,Index,CardType,Title,Category,Series,Season,Own,DBComments,UserComments\r\n";
    for (const Card& c : cards) {
        out += std::to_string(c.dbId) + ',' + field(c.index) + ',' + field(c.cardType) + ',' +
               field(c.title) + ',' + field(c.category) + ',' + field(c.series) + ',' +
               field(c.season) + ',' + (c.own ? "True" : "False") + ',' + field(c.dbComments) +
               ',' + field(c.userComments) + "\r\n";
    }
    return QByteArray::fromStdString(out);
}

bool same(const Card& a, const Card& b) {
    return a.dbId == b.dbId && a.index == b.index && a.cardType == b.cardType &&
           a.title == b.title && a.category == b.category && a.series == b.series &&
           a.season == b.season && a.own == b.own && a.dbComments == b.dbComments &&
           a.userComments == b.userComments;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const CsvCards read = readCardsCsv(text);
    if (!read.error.isEmpty()) {
        static const QRegularExpression lineNo(QStringLiteral("^line [0-9]+: "));
        FUZZ_CHECK(lineNo.match(read.error).hasMatch(), read.error);
        return 0;
    }
    const QByteArray again = writeCsv(read.cards);
    const CsvCards back = readCardsCsv(again);
    FUZZ_CHECK(back.error.isEmpty(), back.error);
    FUZZ_CHECK(back.cards.size() == read.cards.size(), QString::fromUtf8(again));
    for (std::size_t i = 0; i < read.cards.size(); ++i)
        FUZZ_CHECK(same(back.cards[i], read.cards[i]), QString::fromUtf8(again));
    return 0;
}
