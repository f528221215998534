#include "util/AppError.h"
#include "util/ValueText.h"

#include <QTest>

using namespace krvs;

// The program's error list and the strict whole-number reading of the grid.
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

    // A card's DbId as the grid shows it: a whole number only, never rounded to another
    // card's, nor read from another script's digits; else error 6 (overflow) or 13.
    void wholeNumberText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint32>("value");
        QTest::addColumn<int>("error");
        const auto row = [](const char* text, qint32 value, int error = 0) {
            QTest::newRow(text) << QString::fromUtf8(text) << value << error;
        };
        row("17", 17);
        row(" -3 ", -3);
        row("+8", 8);
        row("2147483647", INT32_MAX);
        row("-2147483648", INT32_MIN);
        for (const char* text : {"2147483648", "-99999999999999999999"})
            row(text, 0, err::Overflow);
        for (const char* text : {"17.5", "17.", "1e3", "-", "", "1 7", "abc", "\u0661\u0662"})
            row(text, 0, err::TypeMismatch);
    }
    void wholeNumberText() {
        QFETCH(QString, text);
        QFETCH(int, error);
        try {
            const qint32 value = strictInteger(text);
            QCOMPARE(error, 0);
            QTEST(value, "value");
        } catch (const AppError& e) {
            QCOMPARE(e.number(), error);
        }
    }
};

QTEST_GUILESS_MAIN(TestErrorsAndValues)
#include "tst_errors_and_values.moc"
