#include "settings/IniFile.h"

#include "util/Files.h"
#include "util/WriteBudget.h"

#include <QFile>
#include <QStringDecoder>

// Only the byte-string flavour is used; the text encoding is ours. The packaged
// header keeps its template bodies behind SI_IMPLEMENTATION; this is the one file
// that includes it, so the bodies are compiled here and no library is linked.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <string>

namespace krvs {

namespace {

// Longest value a read hands back; longer values are cut.
constexpr qsizetype MaxValueLength = 2047;

// Lines are written with CR LF: the settings file of earlier releases came from
// Windows, people open it in Windows editors and copy it between machines, and
// CR LF is what every profile-file reader expects. Reading accepts CR LF, LF and
// CR alike.
constexpr const char* LineEnd = "\r\n";

// Section and key names compare without regard to case; SimpleIni keeps the
// order in which sections and keys were first seen, and a replaced value keeps
// its key's place. Bytes pass through untouched: we do the text encoding here.
using Profile = CSimpleIniA;

// The file's text as UTF-8. A file saved by an older release in an 8-bit code
// page is not valid UTF-8; its text is taken as Windows-1252 (Latin-1 where the
// converter lacks it) so that nothing is lost, and it is written back as UTF-8.
std::string readFileUtf8(const QString& file, bool* exists, bool* readable = nullptr) {
    QFile f(file);
    *exists = f.exists();
    if (readable) *readable = !*exists;
    if (!f.open(QIODevice::ReadOnly)) return {};
    if (readable) *readable = true;
    const QByteArray bytes = f.readAll();
    // Checked whole: a decoder would take a last byte that starts a character as
    // the beginning of more text to come, not as an error.
    if (bytes.isValidUtf8()) return bytes.toStdString();
    QStringDecoder legacy("windows-1252");
    QString converted;
    if (legacy.isValid()) {
        converted = legacy.decode(bytes);
        if (legacy.hasError()) converted = QString::fromLatin1(bytes);
    } else {
        converted = QString::fromLatin1(bytes);
    }
    return converted.toUtf8().toStdString();
}

// False when the file exists but cannot be read: it is then never replaced.
bool load(Profile& ini, const QString& file, bool* exists) {
    bool readable = false;
    const std::string data = readFileUtf8(file, exists, &readable);
    return readable && ini.LoadData(data) >= 0;
}

// A value or name must stay on its own line.
QByteArray oneLine(const QString& text) {
    QString s = text;
    s.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return s.toUtf8();
}

// The whole file in the program's layout: "[Section]" lines and "key=value"
// lines with no blanks around the equals sign and no blank lines between
// sections. SimpleIni keeps the order and the comments; its output is tidied
// line by line.
bool serialise(Profile& ini, QByteArray& out) {
    ini.SetSpaces(false);
    std::string text;
    if (ini.Save(text) < 0) return false;
    out.reserve(qsizetype(text.size()) + 64);
    for (QByteArray line : QByteArray::fromStdString(text).split('\n')) {
        while (line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty()) continue;
        out += line;
        out += LineEnd;
    }
    return true;
}

} // namespace

QString ReadINI(const QString& section, const QString& key, const QString& def,
                const QString& file) {
    Profile ini;
    bool exists = false;
    QString value = def;
    if (load(ini, file, &exists)) {
        const QByteArray s = section.toUtf8();
        const QByteArray k = key.toUtf8();
        if (const char* v = ini.GetValue(s.constData(), k.constData(), nullptr))
            // A value is given back as stored, a leading U+FEFF included.
            value = QStringDecoder(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom)
                        .decode(QByteArrayView(v));
    }
    if (value.size() > MaxValueLength) {
        qsizetype n = MaxValueLength;
        // Never split a character that needs two UTF-16 units.
        if (value.at(n - 1).isHighSurrogate()) --n;
        value.truncate(n);
    }
    return value;
}

struct IniEdit::Data {
    QString file;
    QByteArray original; // the file's bytes as read
    Profile ini;
    bool loaded = false;
    bool changed = false;
};

IniEdit::IniEdit(const QString& file) : d_(std::make_unique<Data>()) {
    d_->file = file;
    bool exists = false;
    d_->loaded = load(d_->ini, file, &exists);
    if (d_->loaded && exists) {
        QFile f(file);
        if (f.open(QIODevice::ReadOnly)) d_->original = f.readAll();
    }
}

IniEdit::~IniEdit() = default;

void IniEdit::write(const QString& section, const QString& key, const QString& value) {
    if (!d_->loaded) return;
    const QByteArray s = oneLine(section);
    const QByteArray k = oneLine(key);
    const QByteArray v = oneLine(value);
    Profile& ini = d_->ini;
    if (key.isEmpty()) {
        d_->changed = ini.Delete(s.constData(), nullptr) || d_->changed;
    } else if (value.isEmpty()) {
        d_->changed = ini.Delete(s.constData(), k.constData(), false) || d_->changed;
    } else {
        const char* old = ini.GetValue(s.constData(), k.constData(), nullptr);
        if (!old || v != QByteArray(old)) {
            if (ini.SetValue(s.constData(), k.constData(), v.constData()) < 0)
                d_->loaded = false; // nothing is stored then
            else
                d_->changed = true;
        }
    }
}

bool IniEdit::commit() {
    if (!d_->loaded) return false;
    // Storing what is already stored leaves the file (or its absence) as it was.
    if (!d_->changed) return true;
    QByteArray bytes;
    if (!serialise(d_->ini, bytes)) return false;
    // A section deleted and written again as it was changes nothing either.
    if (bytes == d_->original) return true;
    // the write budget stands for the disk's free space in tests
    if (!takeFromWriteBudget(bytes.size())) return false;
    if (replaceWhole(d_->file, bytes, "ini-write") != 0) return false;
    d_->changed = false;
    return true;
}

long WriteINI(const QString& section, const QString& key, const QString& value,
              const QString& file) {
    IniEdit edit(file);
    edit.write(section, key, value);
    return edit.commit() ? 1 : 0;
}

bool removeIniLeftovers(const QString& file) {
    return removeReplaceLeftovers(file);
}

} // namespace krvs
