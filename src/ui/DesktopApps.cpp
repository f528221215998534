// The desktop's headers come before Qt's: Qt's "signals" keyword would clash with them.
#include <gio/gio.h>

#include "ui/DesktopApps.h"

#include "util/AppError.h"

#include <QFile>
#include <QSet>

namespace krvs {

namespace {

QString fromUtf8(const char* text) {
    return text ? QString::fromUtf8(text) : QString();
}

} // namespace

QList<DesktopApp> desktopAppsFor(const QString& file) {
    const QByteArray path = QFile::encodeName(file);
    gboolean uncertain = FALSE;
    gchar* type = g_content_type_guess(path.constData(), nullptr, 0, &uncertain);
    if (uncertain) {
        QFile f(file);
        if (f.open(QIODevice::ReadOnly)) {
            const QByteArray head = f.read(4096);
            g_free(type);
            type = g_content_type_guess(path.constData(),
                                        reinterpret_cast<const guchar*>(head.constData()),
                                        static_cast<gsize>(head.size()), &uncertain);
        }
    }
    GList* all = g_app_info_get_all_for_type(type);
    g_free(type);

    QList<DesktopApp> apps;
    QSet<QString> seen;
    for (GList* l = all; l; l = l->next) {
        GAppInfo* info = G_APP_INFO(l->data);
        DesktopApp app;
        app.id = fromUtf8(g_app_info_get_id(info));
        app.name = fromUtf8(g_app_info_get_display_name(info));
        if (app.name.isEmpty()) app.name = fromUtf8(g_app_info_get_name(info));
        const QString key = app.id.isEmpty() ? app.name : app.id;
        if (seen.contains(key)) continue;
        seen.insert(key);
        app.info = std::shared_ptr<void>(g_object_ref(info), g_object_unref);
        apps.append(app);
    }
    g_list_free_full(all, g_object_unref);
    return apps;
}

void launchDesktopApp(const DesktopApp& app, const QString& file) {
    auto* info = static_cast<GAppInfo*>(app.info.get());
    if (!info) throw AppError::of(err::FileNotFound);
    GFile* target = g_file_new_for_path(QFile::encodeName(file).constData());
    GList* files = g_list_append(nullptr, target);
    GError* error = nullptr;
    const gboolean started = g_app_info_launch(info, files, nullptr, &error);
    g_list_free_full(files, g_object_unref);
    if (started) return;
    const QString why = error ? fromUtf8(error->message) : QString();
    g_clear_error(&error);
    throw AppError(err::FileNotFound,
                   QStringLiteral("Cannot start %1: %2")
                       .arg(app.name, why.isEmpty() ? errorText(err::FileNotFound) : why));
}

} // namespace krvs
