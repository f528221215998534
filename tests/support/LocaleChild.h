#pragma once
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace krvs::test {

// A named system locale such as "de_DE.ISO-8859-15": built from the system's locale
// sources (the "locales" package's localedef) into a folder of this test run, so that
// a test does not depend on the locales the machine happens to have.
struct NamedLocale {
    QString name;    // what LC_ALL is set to: "de_DE.ISO-8859-15"
    QString source;  // the locale's source: "de_DE"
    QString charmap; // the character map: "ISO-8859-15"
};

// Builds the locale (once per run) and returns the folder to put in LOCPATH; an empty
// string and the reason in *why when it cannot be built.
QString buildLocale(const NamedLocale& locale, QString* why);

// What a run of the test program as a child gave.
struct ChildResult {
    int exitCode = -1;
    QString output;
};

// Runs this test program again in the locale, with the child's test function named
// in `function` (the child's test class comes from KRVS_CHILD_TEST_MAIN) and extra
// environment entries. The child's own output comes back for the failure message.
ChildResult runChildInLocale(const QString& locpath, const QString& locale, const QString& function,
                             const QProcessEnvironment& extra = QProcessEnvironment());

// True in a child started by runChildInLocale.
bool isLocaleChild();

} // namespace krvs::test

// A main that runs the Parent test class, or the Child class in a child started by
// runChildInLocale. `before` runs before the application object is made (for
// environment a library reads when it first starts).
#define KRVS_CHILD_TEST_MAIN(Parent, Child, before)                                                \
    int main(int argc, char** argv) {                                                              \
        before;                                                                                    \
        QApplication app(argc, argv);                                                              \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        if (krvs::test::isLocaleChild()) {                                                         \
            Child child;                                                                           \
            return QTest::qExec(&child, argc, argv);                                               \
        }                                                                                          \
        Parent parent;                                                                             \
        return QTest::qExec(&parent, argc, argv);                                                  \
    }
