// The update files' format and the release numbers, as plain functions.
#include "update/UpdateFile.h"

#include <QTest>

using namespace krvs::update;

Q_DECLARE_METATYPE(std::optional<Release>)

class TstUpdateFile : public QObject {
    Q_OBJECT
  private slots:
    void releases_data();
    void releases();
    void comparison();
    void installerAddresses_data();
    void installerAddresses();
};

void TstUpdateFile::releases_data() {
    QTest::addColumn<QString>("payload");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << "0.80.0" << true << "0.80.0";
    QTest::newRow("leading zeros") << "0.081.00" << true << "0.81.0";
    QTest::newRow("blanks around pieces") << " 1 . 2 .  3 " << true << "1.2.3";
    QTest::newRow("final line break") << "0.81.0\r\n" << true << "0.81.0";
    QTest::newRow("signed") << "-1.+2.0" << true << "-1.2.0";
    QTest::newRow("16-bit limits") << "32767.-32768.0" << true << "32767.-32768.0";
    QTest::newRow("two pieces") << "1.2" << false << "";
    QTest::newRow("one piece") << "7" << false << "";
    QTest::newRow("empty") << "" << false << "";
    QTest::newRow("not a number") << "1.x.3" << false << "";
    QTest::newRow("empty piece") << "1..3" << false << "";
    QTest::newRow("fourth piece stays in the third") << "1.2.3.4" << false << "";
    QTest::newRow("beyond 16 bits") << "40000.0.0" << false << "";
    QTest::newRow("sign alone") << "1.-.3" << false << "";
    QTest::newRow("digits then text") << "1.2.3b" << false << "";
}

void TstUpdateFile::releases() {
    QFETCH(QString, payload);
    QFETCH(bool, ok);
    QFETCH(QString, shown);
    const auto r = parseRelease(payload);
    QCOMPARE(r.has_value(), ok);
    if (ok) QCOMPARE(releaseText(*r), shown);
}

void TstUpdateFile::comparison() {
    const Release running{0, 80, 0};
    QVERIFY(!isNewer({0, 80, 0}, running));
    QVERIFY(isNewer({0, 81, 0}, running));
    QVERIFY(isNewer({0, 80, 1}, running));
    QVERIFY(isNewer({1, 0, 0}, running));
    QVERIFY(!isNewer({0, 79, 9}, running));
    // a higher major wins over a lower minor and revision
    QVERIFY(isNewer({1, 0, 0}, {0, 99, 99}));
    QVERIFY(!isNewer({0, 99, 99}, {1, 0, 0}));
    // signed comparison: a negative piece is lower
    QVERIFY(!isNewer({-1, 90, 0}, running));
    QVERIFY(!isNewer({0, 80, -1}, running));
}

void TstUpdateFile::installerAddresses_data() {
    QTest::addColumn<QString>("payload");
    QTest::addColumn<QString>("address"); // empty: refused
    QTest::newRow("https") << "https://dl.quillmark.example/krvs-0.81.0.tar.gz"
                           << "https://dl.quillmark.example/krvs-0.81.0.tar.gz";
    QTest::newRow("http with port and query") << "http://h.example:8080/get?f=1"
                                              << "http://h.example:8080/get?f=1";
    QTest::newRow("scheme in capitals") << "HTTPS://dl.quillmark.example/x"
                                        << "HTTPS://dl.quillmark.example/x";
    QTest::newRow("final line break") << "https://dl.quillmark.example/x\r\n"
                                      << "https://dl.quillmark.example/x";
    QTest::newRow("file url") << "file:///usr/bin/xterm"
                              << "";
    QTest::newRow("absolute path") << "/usr/bin/xterm"
                                   << "";
    QTest::newRow("drive path") << "C:\\setup.exe"
                                << "";
    QTest::newRow("relative") << "files/setup.exe"
                              << "";
    QTest::newRow("ftp") << "ftp://h.example/setup.exe"
                         << "";
    QTest::newRow("script") << "javascript:alert(1)"
                            << "";
    QTest::newRow("no host") << "https:///setup.exe"
                             << "";
    QTest::newRow("blank inside") << "https://h.example/a b"
                                  << "";
    QTest::newRow("two lines") << "https://h.example/a\r\nfile:///etc/passwd"
                               << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TstUpdateFile::installerAddresses() {
    QFETCH(QString, payload);
    QFETCH(QString, address);
    const auto a = installerAddress(payload);
    QCOMPARE(a.value_or(QString()), address);
}

QTEST_APPLESS_MAIN(TstUpdateFile)
#include "tst_updatefile.moc"
