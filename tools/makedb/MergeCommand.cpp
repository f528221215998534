#include "makedb/MergeCommand.h"

#include "catalogue/FileOps.h"
#include "checklist/Merge.h"
#include "db/Connection.h"
#include "util/AppError.h"
#include "util/Files.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace krvs::makedb {

namespace {

void open(db::Connection& c, const QString& catalogue, const QString& password) {
    c.open(catalogue, password);
}

} // namespace

int runMerge(const QString& file, const QString& password, const QString& catalogue, QString& out,
             QString& err) {
    const auto fail = [&err](const QString& why) {
        err += QStringLiteral("krvs-makedb: ") + why + u'\n';
        return 1;
    };
    if (!QFileInfo(file).isFile())
        return fail(
            QStringLiteral("cannot read %1: no such file").arg(QDir::toNativeSeparators(file)));
    if (sameFile(file, catalogue))
        return fail(QStringLiteral("%1 cannot be merged into itself")
                        .arg(QDir::toNativeSeparators(catalogue)));
    const checklist::Checklist list = checklist::readChecklist(file, password);
    if (!list.error.isEmpty()) return fail(list.error);
    try {
        db::Connection connection;
        open(connection, catalogue, password);
        const auto rows = connection.execute(checklist::catalogueStatement());
        const checklist::MergePlan plan = checklist::planMerge(*rows, list);
        if (!plan.error.isEmpty()) return fail(plan.error);
        if (!plan.changesNothing()) {
            // The backup is a copy of the closed file: the log is folded into it at close.
            connection.close();
            const QString folder =
                maint::backupFolder(maint::folderOf(QFileInfo(catalogue).absoluteFilePath()));
            if (!QFileInfo(folder).isDir()) maint::makeFolder(folder);
            const QString backup = checklist::mergeBackupPath(
                folder, maint::defaultBackupName(QDateTime::currentDateTime()));
            maint::safeCopy(catalogue, backup);
            out += QStringLiteral("Backed up %1 to %2\n")
                       .arg(QDir::toNativeSeparators(catalogue), QDir::toNativeSeparators(backup));
            open(connection, catalogue, password);
            checklist::applyMerge(connection, plan);
            connection.close();
        }
        out += checklist::countsLine(plan) + u'\n';
        return 0;
    } catch (const AppError& e) {
        return fail(e.description());
    }
}

} // namespace krvs::makedb
