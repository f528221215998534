// The update files' format and the release numbers, as plain functions.
#include "update/UpdateFile.h"

#include <QTest>

using namespace krvs::update;

namespace {
// A payload and what it reads as: "=" the payload itself, "" refused.
void row(const char* payload, const char* result) {
    const QByteArray name = QByteArray(payload).replace("\r\n", "\\r\\n");
    QTest::newRow(name.isEmpty() ? "empty" : name.constData())
        << QString::fromUtf8(payload) << QString::fromUtf8(*result == '=' ? payload : result);
}
} // namespace

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
    QTest::addColumn<QString>("shown");
    row("0.80.0", "=");
    row("0.081.00", "0.81.0");
    row(" 1 . 2 .  3 ", "1.2.3");
    row("0.81.0\r\n", "0.81.0");
    row("-1.+2.0", "-1.2.0");
    row("32767.-32768.0", "=");
    row("1.2", "");
    row("", "");
    row("1.x.3", "");
    row("1..3", "");
    row("1.2.3.4", "");   // a fourth piece stays in the third
    row("40000.0.0", ""); // beyond 16 bits
    row("1.2.3b", "");
}

void TstUpdateFile::releases() {
    QFETCH(QString, payload);
    QFETCH(QString, shown);
    const auto r = parseRelease(payload);
    QCOMPARE(r.has_value(), !shown.isEmpty());
    if (r) QCOMPARE(releaseText(*r), shown);
}

void TstUpdateFile::comparison() {
    const Release running{0, 80, 0};
    QVERIFY(!isNewer({0, 80, 0}, running));
    QVERIFY(isNewer({0, 81, 0}, running));
    QVERIFY(!isNewer({0, 79, 9}, running));
    // a higher major wins over a lower minor and revision
    QVERIFY(isNewer({1, 0, 0}, {0, 99, 99}));
    // signed comparison: a negative piece is lower
    QVERIFY(!isNewer({-1, 90, 0}, running));
    QVERIFY(!isNewer({0, 80, -1}, running));
}

void TstUpdateFile::installerAddresses_data() {
    QTest::addColumn<QString>("payload");
    QTest::addColumn<QString>("address");
    row("https://dl.quillmark.example/krvs-0.81.0.tar.gz", "=");
    row("http://h.example:8080/get?f=1", "=");
    row("HTTPS://h.example/x", "=");
    row("https://h.example/x\r\n", "https://h.example/x");
    row("file:///usr/bin/xterm", "");
    row("/usr/bin/xterm", "");
    row("files/setup.exe", "");
    row("ftp://h.example/setup.exe", "");
    row("https:///setup.exe", "");
    row("https://h.example/a b", "");
    row("https://h.example/a\r\nfile:///etc/passwd", "");
    row("", "");
}

void TstUpdateFile::installerAddresses() {
    QFETCH(QString, payload);
    QFETCH(QString, address);
    QCOMPARE(installerAddress(payload).value_or(QString()), address);
}

QTEST_APPLESS_MAIN(TstUpdateFile)
#include "tst_updatefile.moc"
