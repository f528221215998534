#pragma once
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace krvs::test {

// A system locale such as "de_DE.ISO-8859-15", built by localedef for this run so that a
// test does not depend on the locales the machine has.
struct NamedLocale {
    QString name;    // what LC_ALL is set to: "de_DE.ISO-8859-15"
    QString source;  // the locale's source: "de_DE"
    QString charmap; // the character map: "ISO-8859-15"
};

// Builds the locale once per run; the folder for LOCPATH, or empty and the reason in *why.
QString buildLocale(const NamedLocale& locale, QString* why);

// What a run of the test program as a child gave.
struct ChildResult {
    int exitCode = -1;
    QString output;
};

// Runs this test program again in the locale: the child class's test functions (see
// KRVS_CHILD_TEST_MAIN) with extra environment entries; its output comes back.
ChildResult runChildInLocale(const QString& locpath, const QString& locale,
                             const QStringList& functions,
                             const QProcessEnvironment& extra = QProcessEnvironment());

// True in a child started by runChildInLocale.
bool isLocaleChild();

} // namespace krvs::test

// A main running the Parent test class, or Child in a child of runChildInLocale; `before`
// runs before the application object is made.
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
