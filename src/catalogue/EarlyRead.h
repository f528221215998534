#pragma once
#include "db/Connection.h"
#include "db/RowSet.h"
#include "search/SearchRequest.h"
#include "util/AppError.h"

#include <QString>
#include <chrono>
#include <future>
#include <memory>
#include <optional>

namespace krvs {

// The catalogue opened (without a password) and a first search read on a thread of
// its own, started before the window exists: the window system starts meanwhile on
// the other core. The window takes the connection and the rows when it needs them.
class EarlyRead {
  public:
    struct Result {
        std::unique_ptr<db::Connection> connection; // open, or the one that failed to open
        std::shared_ptr<const db::RowSet> rows;
        std::optional<AppError> error; // the open or the search failed
    };

    EarlyRead(const QString& file, SearchRequest request);
    // Stops the search and waits for the thread; a connection not taken is closed.
    ~EarlyRead();
    EarlyRead(const EarlyRead&) = delete;
    EarlyRead& operator=(const EarlyRead&) = delete;

    const QString& file() const { return file_; }
    bool waitFor(std::chrono::milliseconds time) const;
    // Stops the search (from the thread that made this); it then fails as "interrupted".
    void stop();
    // Waits for the thread and gives what it did; once.
    Result take();

  private:
    QString file_;
    std::unique_ptr<db::Connection> connection_;
    std::future<Result> done_;
};

// Starts reading every card of the catalogue KRVS.krv in folder, as the window's start
// reads them; none when there is no such file.
std::unique_ptr<EarlyRead> readCardsEarly(const QString& folder);

} // namespace krvs
