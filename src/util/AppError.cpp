#include "util/AppError.h"

namespace krvs {

QString errorText(int number) {
    switch (number) {
    case err::InvalidArgument:
        return QStringLiteral("Invalid procedure call or argument");
    case err::Overflow:
        return QStringLiteral("Overflow");
    case err::OutOfMemory:
        return QStringLiteral("Out of memory");
    case err::TypeMismatch:
        return QStringLiteral("Type mismatch");
    case err::FileNotFound:
        return QStringLiteral("File not found");
    case err::DeviceIO:
        return QStringLiteral("Device I/O error");
    case err::FileAlreadyExists:
        return QStringLiteral("File already exists");
    case err::DiskFull:
        return QStringLiteral("Disk full");
    case err::PermissionDenied:
        return QStringLiteral("Permission denied");
    case err::PathFileAccess:
        return QStringLiteral("Path/File access error");
    case err::PathNotFound:
        return QStringLiteral("Path not found");
    case err::ObjectNotSet:
        return QStringLiteral("Object variable or With block variable not set");
    case err::InvalidPropertyValue:
        return QStringLiteral("Invalid property value");
    case err::SubscriptOutOfRange:
        return QStringLiteral("Subscript out of range");
    case err::ObjectClosed:
        return QStringLiteral("Operation is not allowed when the object is closed.");
    case err::ObjectOpen:
        return QStringLiteral("Operation is not allowed when the object is open.");
    case err::ConnectionUnusable:
        return QStringLiteral("The connection cannot be used to perform this operation. It is "
                              "either closed or invalid in this context.");
    case err::CancelSave:
        return QStringLiteral("Cancel was selected.");
    default:
        return QString();
    }
}

AppError AppError::of(int number, const QString& detail, QString source) {
    const QString text = errorText(number);
    QString description = text;
    if (text.isEmpty())
        description = detail;
    else if (!detail.isEmpty())
        description = text + QStringLiteral(": ") + detail;
    return AppError(number, std::move(description), std::move(source));
}

} // namespace krvs
