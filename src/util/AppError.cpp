#include "util/AppError.h"

namespace krvs {

namespace {

// The fixed text of each number of the list that has one.
constexpr struct {
    int number;
    const char* text;
} kTexts[] = {
    {err::InvalidArgument, "Invalid procedure call or argument"},
    {err::Overflow, "Overflow"},
    {err::OutOfMemory, "Out of memory"},
    {err::TypeMismatch, "Type mismatch"},
    {err::FileNotFound, "File not found"},
    {err::DeviceIO, "Device I/O error"},
    {err::FileAlreadyExists, "File already exists"},
    {err::DiskFull, "Disk full"},
    {err::PermissionDenied, "Permission denied"},
    {err::PathFileAccess, "Path/File access error"},
    {err::PathNotFound, "Path not found"},
    {err::ObjectNotSet, "Object variable or With block variable not set"},
    {err::InvalidPropertyValue, "Invalid property value"},
    {err::SubscriptOutOfRange, "Subscript out of range"},
    {err::ObjectClosed, "Operation is not allowed when the object is closed."},
    {err::ObjectOpen, "Operation is not allowed when the object is open."},
    {err::ConnectionUnusable, "The connection cannot be used to perform this operation. It is "
                              "either closed or invalid in this context."},
    {err::CancelSave, "Cancel was selected."},
};

} // namespace

QString errorText(int number) {
    for (const auto& t : kTexts)
        if (t.number == number) return QString::fromUtf8(t.text);
    return QString();
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
