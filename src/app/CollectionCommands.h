#pragma once
#include "app/WindowOps.h"

#include <QString>
#include <optional>

namespace krvs {

class Catalogue;
namespace checklist {
struct Checklist;
}

// File > Merge Checklist... and Tools > Collection Summary...
class CollectionCommands {
  public:
    CollectionCommands(Catalogue& catalogue, QString programFolder, WindowOps window);

    // A newer checklist (CSV or another catalogue) merged into the open catalogue
    // after a preview, with a backup first.
    void merge();
    // Owned against total per series and category.
    void summary();

  private:
    std::optional<checklist::Checklist> readChosen(const QString& path);

    Catalogue& catalogue_;
    QString programFolder_;
    WindowOps window_;
};

} // namespace krvs
