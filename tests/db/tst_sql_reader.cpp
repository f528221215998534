// The one reader of statement texts: where quotes, comments and words begin and end,
// the name a quoted token gives, and the VACUUM INTO check built on it.
#include "db/SqlReader.h"

#include <QTest>

using namespace krvs::db;

namespace {

// Each token as a letter for its kind and its text; "!" marks an unclosed one.
QString render(const SqlReader& r) {
    static const char kinds[] = "_CTDBGWNP";
    QStringList out;
    for (const SqlToken& t : r.tokens())
        out << QChar(kinds[t.kind]) + QString(t.closed ? "" : "!") + u':' + r.text(t).toString();
    return out.join(u'|');
}

} // namespace

class TestSqlReader : public QObject {
    Q_OBJECT
  private slots:
    void tokens_data();
    void tokens();
    void names_data();
    void names();
    void vacuumInto_data();
    void vacuumInto();
};

void TestSqlReader::tokens_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("tokens");
    QTest::newRow("doubled quote in each quote style") << "'it''s' \"a\"\"b\" `x``y`"
                                                       << "T:'it''s'|_: |D:\"a\"\"b\"|_: |G:`x``y`";
    QTest::newRow("] ends a bracketed name, doubled or not") << "[a]]"
                                                             << "B:[a]|P:]";
    QTest::newRow("unclosed text") << "a = 'it''s"
                                   << "W:a|_: |P:=|_: |T!:'it''s";
    QTest::newRow("unclosed double quote") << "\"ab"
                                           << "D!:\"ab";
    QTest::newRow("unclosed grave") << "`a``"
                                    << "G!:`a``";
    QTest::newRow("unclosed bracket") << "[a b"
                                      << "B!:[a b";
    QTest::newRow("unclosed comment") << "1 /* x"
                                      << "N:1|_: |C!:/* x";
    QTest::newRow("line comment at the end") << "1--x"
                                             << "N:1|C:--x";
    QTest::newRow("line comment ends before the line break") << "--a\r\nb"
                                                             << "C:--a\r|_:\n|W:b";
    QTest::newRow("quotes in comments, comments in quotes") << "/* ' */'--'\"/*\""
                                                            << "C:/* ' */|T:'--'|D:\"/*\"";
    QTest::newRow("minus and slash alone") << "a-b/c"
                                           << "W:a|P:-|W:b|P:/|W:c";
    QTest::newRow("$ inside a word, not at its start") << "a$b $c"
                                                       << "W:a$b|_: |P:$|W:c";
    QTest::newRow("numbers take letters and dots") << "1.ORDER 0x1F .5"
                                                   << "N:1.ORDER|_: |N:0x1F|_: |P:.|N:5";
    // Beyond ASCII a character belongs to a word, as it does for the engine; a
    // blank beyond ASCII that starts a token is a blank.
    QTest::newRow("beyond ASCII") << QString::fromUtf8("é€x\u00a0 \u00a0y")
                                  << QString::fromUtf8("W:é€x\u00a0|_: \u00a0|W:y");
}

void TestSqlReader::tokens() {
    QFETCH(QString, sql);
    QFETCH(QString, tokens);
    const SqlReader r(sql);
    QCOMPARE(render(r), tokens);
    // One after the other from the first character to the last.
    qsizetype at = 0;
    for (const SqlToken& t : r.tokens()) {
        QCOMPARE(t.begin, at);
        QVERIFY(t.end > t.begin);
        at = t.end;
    }
    QCOMPARE(at, sql.size());
}

void TestSqlReader::names_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("name");
    QTest::newRow("word") << "tblKRVS101"
                          << "tblKRVS101";
    QTest::newRow("double quotes") << "\"a\"\"b\""
                                   << "a\"b";
    QTest::newRow("graves") << "`a``b`"
                            << "a`b";
    QTest::newRow("text") << "'a''b'"
                          << "a'b";
    QTest::newRow("brackets keep quotes") << "[a\"\"b]"
                                          << "a\"\"b";
    QTest::newRow("empty") << "\"\""
                           << "";
    QTest::newRow("unclosed") << "\"ab"
                              << "";
    QTest::newRow("number") << "12"
                            << "";
}

void TestSqlReader::names() {
    QFETCH(QString, sql);
    QFETCH(QString, name);
    const SqlReader r(sql);
    QCOMPARE(r.tokens().size(), 1);
    QCOMPARE(r.name(r.tokens().front()), name);
}

void TestSqlReader::vacuumInto_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("into");
    QTest::newRow("plain") << "VACUUM INTO 'copy.krv';" << true;
    QTest::newRow("schema, lower case") << "vacuum main into 'copy.krv'" << true;
    QTest::newRow("comments without blanks") << "/**/VACUUM/*x*/INTO'f'" << true;
    QTest::newRow("after a parenthesis") << "(VACUUM INTO 'f')" << true;
    QTest::newRow("no INTO") << "VACUUM;" << false;
    QTest::newRow("INTO in a line comment") << "VACUUM -- INTO 'f'\n;" << false;
    QTest::newRow("INTO as a bracketed schema") << "VACUUM [INTO]" << false;
    QTest::newRow("INTO in a quote after an unclosed one") << "VACUUM \"a INTO 'f'" << false;
    QTest::newRow("not the first word") << "SELECT 'VACUUM' INTO" << false;
    QTest::newRow("a number first") << "1 VACUUM INTO 'f'" << false;
    QTest::newRow("a longer word") << "VACUUMS INTO 'f'" << false;
}

void TestSqlReader::vacuumInto() {
    QFETCH(QString, sql);
    QFETCH(bool, into);
    QCOMPARE(krvs::db::vacuumInto(sql), into);
}

QTEST_GUILESS_MAIN(TestSqlReader)
#include "tst_sql_reader.moc"
