#pragma once
#include <QList>
#include <QString>
#include <exception>
#include <string>

namespace krvs {

// Every error number the program raises or tells apart, in one list. The texts
// of the runtime's numbers are given by errorText; the engine's numbers carry the
// engine's own message.
namespace err {
// the runtime's errors
constexpr int InvalidArgument = 5;        // closing an empty WHERE part
constexpr int Overflow = 6;               // a number beyond its type's range
constexpr int OutOfMemory = 7;            // a sort that could not get its memory
constexpr int TypeMismatch = 13;          // a text that is not the value asked for
constexpr int FileNotFound = 53;          // a file (or program) that is not there
constexpr int DeviceIO = 57;              // a write the system failed
constexpr int FileAlreadyExists = 58;     // a target name taken by something not a file
constexpr int DiskFull = 61;              // no space left while writing
constexpr int PermissionDenied = 70;      // the system refused access
constexpr int PathFileAccess = 75;        // any other file failure
constexpr int PathNotFound = 76;          // a target's folder that does not exist
constexpr int ObjectNotSet = 91;          // no grid, no form where one is needed
constexpr int InvalidPropertyValue = 380; // a check box value other than 0, 1, 2
constexpr int SubscriptOutOfRange = 381;  // a column that the grid does not have
// the data-access objects' errors
constexpr int ObjectClosed = 3704;       // using a closed connection or recordset
constexpr int ObjectOpen = 3705;         // opening one that is open already
constexpr int ConnectionUnusable = 3709; // a statement on a closed connection
// the controls' errors
constexpr int CancelSave = 32755;  // the save dialog was cancelled
constexpr int FetchFailed = 35750; // the update check's transfer failed
// the engine's errors (their text is the engine's message)
constexpr int BadPassword = -2147217843; // a missing or wrong password
constexpr int Engine = -2147467259;      // any other engine failure
} // namespace err

// The fixed description of an error number of the list ("" for the engine's
// numbers and for numbers not in it).
QString errorText(int number);

// One entry of the engine's own error list.
struct EngineError {
    int Number = 0;
    QString Source;
    QString Description;
};

// The one exception type of the program: a number, a source and a description,
// plus the engine's error list when the engine raised it.
class AppError : public std::exception {
  public:
    AppError(int number, QString description, QString source = defaultSource(),
             QList<EngineError> engineErrors = {})
        : number_(number), source_(std::move(source)), description_(std::move(description)),
          engineErrors_(std::move(engineErrors)), what_(description_.toStdString()) {}

    // The error of a number in the list with its fixed text; a detail, when given,
    // follows the text after ": " (the file concerned, the reason).
    static AppError of(int number, const QString& detail = QString(),
                       QString source = defaultSource());

    // The errors raised in more than one place.
    static AppError objectClosed(QString source = defaultSource()) {
        return of(err::ObjectClosed, QString(), std::move(source));
    }
    static AppError objectOpen(QString source = defaultSource()) {
        return of(err::ObjectOpen, QString(), std::move(source));
    }
    static AppError typeMismatch() { return of(err::TypeMismatch); }
    static AppError overflow() { return of(err::Overflow); }
    static AppError cancelSave() { return of(err::CancelSave); }

    static QString defaultSource() { return QStringLiteral("KRVS"); }

    int number() const { return number_; }
    const QString& source() const { return source_; }
    const QString& description() const { return description_; }
    const QList<EngineError>& engineErrors() const { return engineErrors_; }
    const char* what() const noexcept override { return what_.c_str(); }

  private:
    int number_;
    QString source_;
    QString description_;
    QList<EngineError> engineErrors_;
    std::string what_;
};

// "number CR LF description", the text of every error box.
inline QString errorBoxText(const AppError& e) {
    return QString::number(e.number()) + QStringLiteral("\r\n") + e.description();
}

} // namespace krvs
