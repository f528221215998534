#include "catalogue/EarlyRead.h"

#include <QDir>
#include <QFileInfo>
#include <utility>

namespace krvs {

EarlyRead::EarlyRead(const QString& file, SearchRequest request)
    : file_(file), connection_(std::make_unique<db::Connection>()) {
    // The window's progress hook runs its events: never from this thread.
    connection_->setHooked(false);
    db::Connection* c = connection_.get();
    done_ = std::async(std::launch::async, [c, file = file_, request = std::move(request)] {
        Result r;
        try {
            c->open(file, QString());
            const db::SnapshotOrder* order = request.order ? &*request.order : nullptr;
            r.rows = c->execute(order ? order->unordered : request.text, request.origin, order);
        } catch (const AppError& e) {
            r.error = e;
        }
        return r;
    });
}

EarlyRead::~EarlyRead() {
    if (!done_.valid()) return;
    stop();
    (void)done_.get();
    if (connection_ && connection_->isOpen()) {
        try {
            connection_->close();
        } catch (const AppError&) {
        }
    }
}

bool EarlyRead::waitFor(std::chrono::milliseconds time) const {
    return !done_.valid() || done_.wait_for(time) == std::future_status::ready;
}

void EarlyRead::stop() {
    if (connection_) connection_->interrupt();
}

EarlyRead::Result EarlyRead::take() {
    Result r = done_.get();
    r.connection = std::move(connection_);
    r.connection->setHooked(true);
    return r;
}

std::unique_ptr<EarlyRead> readCardsEarly(const QString& folder) {
    const QString file = QDir(folder).filePath(QStringLiteral("KRVS.krv"));
    if (folder.isEmpty() || !QFileInfo(file).isFile()) return nullptr;
    return std::make_unique<EarlyRead>(file, loadAllRequest());
}

} // namespace krvs
