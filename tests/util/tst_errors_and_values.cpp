#include "util/AppError.h"
#include "util/ValueText.h"

#include <QTest>

using namespace krvs;

namespace {
// A row: what the error holds, then what it should hold.
void row(const char* name, const AppError& e, int number, const char* description,
         const char* source = "KRVS") {
    QTest::newRow(name) << e.number() << e.description() << e.source() << number
                        << QString::fromUtf8(description) << QString::fromUtf8(source);
}
} // namespace

// The program's error list and the strict text readings shared by the settings and
// the grid.
class TestErrorsAndValues : public QObject {
    Q_OBJECT
  private slots:
    void errorTexts_data();
    void errorTexts();
    void wholeNumberText_data();
    void wholeNumberText();
};

// Each error the program raises in several places keeps the number and the text
// its boxes have always shown.
void TestErrorsAndValues::errorTexts_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("wantNumber");
    QTest::addColumn<QString>("wantDescription");
    QTest::addColumn<QString>("wantSource");
    row("closed, with the object's source", AppError::objectClosed(QStringLiteral("Recordset")),
        3704, "Operation is not allowed when the object is closed.", "Recordset");
    row("open", AppError::objectOpen(), 3705, "Operation is not allowed when the object is open.");
    row("unusable connection", AppError::of(err::ConnectionUnusable), 3709,
        "The connection cannot be used to perform this operation. It is either closed or "
        "invalid in this context.");
    row("type mismatch", AppError::typeMismatch(), 13, "Type mismatch");
    row("overflow", AppError::overflow(), 6, "Overflow");
    row("cancelled save", AppError::cancelSave(), 32755, "Cancel was selected.");
    row("empty WHERE part", AppError::of(err::InvalidArgument), 5,
        "Invalid procedure call or argument");
    row("no grid", AppError::of(err::ObjectNotSet), 91,
        "Object variable or With block variable not set");
    row("detail follows the text",
        AppError::of(err::DiskFull, QStringLiteral("/d/KRVS.krv (No space left on device)")), 61,
        "Disk full: /d/KRVS.krv (No space left on device)");
    row("a transfer failure is its reason alone",
        AppError::of(err::FetchFailed, QStringLiteral("HTTP status 404")), 35750,
        "HTTP status 404");
}

void TestErrorsAndValues::errorTexts() {
    QFETCH(int, number);
    QFETCH(QString, description);
    QFETCH(QString, source);
    QTEST(number, "wantNumber");
    QTEST(description, "wantDescription");
    QTEST(source, "wantSource");
}

// A card's DbId as the grid shows it: a whole number only, never rounded to another
// card's; 0 stands for "raises" in the value column.
void TestErrorsAndValues::wholeNumberText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("error");
    QTest::newRow("plain") << "17" << 17 << 0;
    QTest::newRow("blanks and signs") << " -3 " << -3 << 0;
    QTest::newRow("plus sign") << "+8" << 8 << 0;
    QTest::newRow("largest") << "2147483647" << 2147483647 << 0;
    QTest::newRow("smallest") << "-2147483648" << int(-2147483648LL) << 0;
    QTest::newRow("one beyond") << "2147483648" << 0 << 6;
    QTest::newRow("far beyond") << "-99999999999999999999" << 0 << 6;
    QTest::newRow("a half is not rounded") << "17.5" << 0 << 13;
    QTest::newRow("a point alone") << "17." << 0 << 13;
    QTest::newRow("exponent") << "1e3" << 0 << 13;
    QTest::newRow("sign alone") << "-" << 0 << 13;
    QTest::newRow("empty") << "" << 0 << 13;
    QTest::newRow("blank inside") << "1 7" << 0 << 13;
    QTest::newRow("not digits") << "abc" << 0 << 13;
    QTest::newRow("other script's digits") << QString::fromUtf8("\u0661\u0662") << 0 << 13;
}

void TestErrorsAndValues::wholeNumberText() {
    QFETCH(QString, text);
    QFETCH(int, value);
    QFETCH(int, error);
    try {
        const qint32 got = strictInteger(text);
        QVERIFY2(error == 0, qPrintable(QStringLiteral("read as %1").arg(got)));
        QCOMPARE(got, value);
    } catch (const AppError& e) {
        QCOMPARE(e.number(), error);
    }
}

QTEST_GUILESS_MAIN(TestErrorsAndValues)
#include "tst_errors_and_values.moc"
