#include "util/AppError.h"
#include "util/ValueText.h"

#include <QTest>

using namespace krvs;

// The program's error list and the strict whole-number reading of the grid.
class TestErrorsAndValues : public QObject {
    Q_OBJECT
  private slots:
    // Each error raised in several places keeps the number and text its boxes have always shown.
    void errorTexts() {
        const struct {
            AppError error;
            int number;
            const char *description, *source = "KRVS";
        } rows[] = {
            {AppError::objectClosed(QStringLiteral("Recordset")), 3704,
             "Operation is not allowed when the object is closed.", "Recordset"},
            {AppError::objectOpen(), 3705, "Operation is not allowed when the object is open."},
            {AppError::of(err::ConnectionUnusable), 3709,
             "The connection cannot be used to perform this operation. It is either closed or "
             "invalid in this context."},
            {AppError::typeMismatch(), 13, "Type mismatch"},
            {AppError::overflow(), 6, "Overflow"},
            {AppError::cancelSave(), 32755, "Cancel was selected."},
            {AppError::of(err::InvalidArgument), 5, "Invalid procedure call or argument"},
            {AppError::of(err::ObjectNotSet), 91, "Object variable or With block variable not set"},
            // a detail follows the text; a transfer failure is its reason alone
            {AppError::of(err::DiskFull, QStringLiteral("/d/KRVS.krv (No space left on device)")),
             61, "Disk full: /d/KRVS.krv (No space left on device)"},
            {AppError::of(err::FetchFailed, QStringLiteral("HTTP status 404")), 35750,
             "HTTP status 404"},
        };
        for (const auto& r : rows) {
            QCOMPARE(r.error.number(), r.number);
            QCOMPARE(r.error.description(), QString::fromUtf8(r.description));
            QCOMPARE(r.error.source(), QString::fromUtf8(r.source));
        }
    }

    // A card's DbId as the grid shows it: a whole number only, never rounded to another
    // card's, nor read from another script's digits; else error 6 (overflow) or 13.
    void wholeNumberText() {
        const std::pair<const char*, qint32> valid[] = {{"17", 17},
                                                        {" -3 ", -3},
                                                        {"+8", 8},
                                                        {"2147483647", INT32_MAX},
                                                        {"-2147483648", INT32_MIN}};
        for (const auto& [text, value] : valid)
            QCOMPARE(strictInteger(QString::fromUtf8(text)), value);
        auto error = [](const char* text) {
            try {
                strictInteger(QString::fromUtf8(text));
            } catch (const AppError& e) {
                return e.number();
            }
            return 0;
        };
        for (const char* text : {"2147483648", "-99999999999999999999"})
            QVERIFY2(error(text) == err::Overflow, text);
        for (const char* text : {"17.5", "17.", "1e3", "-", "", "1 7", "abc", "\u0661\u0662"})
            QVERIFY2(error(text) == err::TypeMismatch, text);
    }
};

QTEST_GUILESS_MAIN(TestErrorsAndValues)
#include "tst_errors_and_values.moc"
