#pragma once
#include <QList>
#include <QString>
#include <exception>
#include <string>

namespace krvs {

// Error numbers the program tells apart.
namespace err {
constexpr int InvalidArgument = 5;       // closing an empty WHERE part
constexpr int FileNotFound = 53;         // runtime file error
constexpr int PathFileAccess = 75;       // runtime path/file access error
constexpr int CancelSave = 32755;        // the save dialog was cancelled
constexpr int BadPassword = -2147217843; // the engine rejected a missing or wrong password
constexpr int Engine = -2147467259;      // any other engine failure
} // namespace err

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
    AppError(int number, QString description, QString source = QStringLiteral("KRVS"),
             QList<EngineError> engineErrors = {})
        : number_(number), source_(std::move(source)), description_(std::move(description)),
          engineErrors_(std::move(engineErrors)), what_(description_.toStdString()) {}

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
