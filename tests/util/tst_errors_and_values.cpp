#include "util/AppError.h"
#include "util/ValueText.h"

#include <QTest>
#include <functional>
#include <limits>
#include <map>

using namespace krvs;

// The program's error list and its readings of numbers.
class TestErrorsAndValues : public QObject {
    Q_OBJECT
  private slots:
    // Each error raised in several places keeps the number and text its boxes have always shown.
    void errorTexts_data() {
        QTest::addColumn<QString>("error"); // number|description|source
        QTest::addColumn<QString>("shown");
        const auto row = [](const AppError& e, int number, const char* description,
                            const char* source = "KRVS") {
            QTest::newRow(description)
                << QString::number(e.number()) + u'|' + e.description() + u'|' + e.source()
                << QString::number(number) + u'|' + QString::fromUtf8(description) + u'|' +
                       QString::fromUtf8(source);
        };
        row(AppError::objectClosed(QStringLiteral("Recordset")), 3704,
            "Operation is not allowed when the object is closed.", "Recordset");
        row(AppError::objectOpen(), 3705, "Operation is not allowed when the object is open.");
        row(AppError::of(err::ConnectionUnusable), 3709,
            "The connection cannot be used to perform this operation. It is either closed or "
            "invalid in this context.");
        row(AppError::typeMismatch(), 13, "Type mismatch");
        row(AppError::overflow(), 6, "Overflow");
        row(AppError::cancelSave(), 32755, "Cancel was selected.");
        row(AppError::of(err::InvalidArgument), 5, "Invalid procedure call or argument");
        row(AppError::of(err::ObjectNotSet), 91, "Object variable or With block variable not set");
        // a detail follows the text; a transfer failure is its reason alone
        row(AppError::of(err::DiskFull, QStringLiteral("/d/KRVS.krv (No space left on device)")),
            61, "Disk full: /d/KRVS.krv (No space left on device)");
        row(AppError::of(err::FetchFailed, QStringLiteral("HTTP status 404")), 35750,
            "HTTP status 404");
    }
    void errorTexts() {
        QFETCH(QString, error);
        QTEST(error, "shown");
    }

    // The readings of numbers in settings and cells, and the error each raises, if any. A
    // card's DbId is a whole number only, never rounded to another card's, nor read from
    // another script's digits; else error 6 (overflow) or 13.
    void readings_data() {
        QTest::addColumn<QString>("reading");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("error");
        const auto row = [](const char* reading, const char* text, double value, int error = 0) {
            QTest::addRow("%s(%s)", reading, text)
                << QString(reading) << QString::fromUtf8(text) << value << error;
        };
        row("strictInteger", "17", 17);
        row("strictInteger", " -3 ", -3);
        row("strictInteger", "+8", 8);
        row("strictInteger", "2147483647", INT32_MAX);
        row("strictInteger", "-2147483648", INT32_MIN);
        for (const char* text : {"2147483648", "-99999999999999999999"})
            row("strictInteger", text, 0, err::Overflow);
        for (const char* text : {"17.5", "17.", "1e3", "-", "", "1 7", "abc", "\u0661\u0662"})
            row("strictInteger", text, 0, err::TypeMismatch);
        // settings read leniently: text with no number reads as 0
        row("leadingNumber", "", 0);
        row("leadingNumber", "12abc", 12);
        row("leadingNumber", " 1 2\t3 ", 123);
        row("leadingNumber", "- 30", -30);
        row("leadingNumber", "--7", 0);
        row("leadingNumber", ".5x", 0.5);
        row("leadingNumber", "2d2", 200);
        row("leadingNumber", "3e+", 3);
        row("leadingNumber", "1.2.3", 1.2);
        // halves to even; far too large values are held at the ends, never raised
        row("leadingWhole", "2.5", 2);
        row("leadingWhole", "-3.5", -4);
        row("leadingWhole", "99999999999", std::numeric_limits<qint32>::max());
        row("leadingInt16", "32767.5", 0, err::Overflow);
        // the strict readings raise on anything else
        row("strictBool", " tRUE ", 1);
        row("strictBool", "0.5", 1);
        row("strictBool", "False", 0);
        for (const char* bad : {"", " ", "yes", "Truex", "1a"})
            row("strictBool", bad, 0, err::TypeMismatch);
        row("strictWhole", " 1000.5 ", 1000);
        for (const char* bad : {"", "abc", "12abc", "1 2", "."})
            row("strictWhole", bad, 0, err::TypeMismatch);
        row("strictWhole", "1e10", 0, err::Overflow);
    }
    void readings() {
        QFETCH(QString, reading);
        QFETCH(QString, text);
        QFETCH(double, value);
        QFETCH(int, error);
        const std::map<QString, std::function<double(const QString&)>> read = {
            {"strictInteger", strictInteger}, {"leadingNumber", leadingNumber},
            {"leadingWhole", leadingWhole},   {"leadingInt16", leadingInt16},
            {"strictBool", strictBool},       {"strictWhole", strictWhole}};
        try {
            const double got = read.at(reading)(text);
            QCOMPARE(error, 0);
            QVERIFY2(got == value, qPrintable(QString::number(got)));
        } catch (const AppError& e) {
            QCOMPARE(e.number(), error);
        }
    }
};

QTEST_GUILESS_MAIN(TestErrorsAndValues)
#include "tst_errors_and_values.moc"
