#pragma once
#include "checklist/ChecklistFile.h"

#include <QString>
#include <vector>

namespace krvs::db {
class Connection;
class RowSet;
} // namespace krvs::db

namespace krvs::checklist {

// One field of a card that the merge changes.
struct FieldChange {
    Field field;
    QString before;
    QString after;
};

struct CardChange {
    qint64 dbId = 0;
    QString title; // the new one
    std::vector<FieldChange> fields;
};

// A card the merge adds or changes whose Series or Category no box of the search
// panel selects: only "*" and the advanced mode find it.
struct UnboxedCard {
    qint64 dbId = 0;
    QString title, series, category;
};

// What merging a checklist into a catalogue would do.
struct MergePlan {
    std::vector<Card> added;   // cards only in the checklist
    std::vector<Card> changed; // cards in both whose publisher's fields differ, as in the checklist
    std::vector<CardChange> changes; // the same cards, field by field
    qint64 unchanged = 0;
    qint64 missing = 0; // cards only in the catalogue: they stay as they are
    std::vector<UnboxedCard> unboxed;
    std::array<bool, fCount> present{}; // the fields the checklist gives
    QString error;                      // a checklist that cannot be merged

    bool changesNothing() const { return added.empty() && changed.empty(); }
};

// The publisher's fields: the ones a merge may change in a card the catalogue holds.
// Own and UserComments are the user's and are never changed.
bool isPublisherField(Field f);

// The statement that reads what planMerge compares: DbId and the publisher's fields.
QString catalogueStatement();

// Compares the checklist with the catalogue's cards (the rows of catalogueStatement,
// or of any statement giving those fields). Only fields the checklist gives are
// compared and changed.
MergePlan planMerge(const db::RowSet& catalogue, const Checklist& list);

// "new N, changed N, unchanged N, missing N"
QString countsLine(const MergePlan& plan);

// The one statement that adds the new cards and changes the changed ones: the
// engine carries a single statement out whole or not at all, so a failure, a full
// disk or a kill leaves the catalogue as it was.
QString mergeStatement(const MergePlan& plan);

// Runs mergeStatement on the connection; throws AppError. Does nothing when the
// plan changes nothing.
void applyMerge(db::Connection& connection, const MergePlan& plan);

// Where the backup before a merge goes: in folder, the backup's dated name with
// "-before-merge" before its extension (DEC07-2026-before-merge.krv), and a
// number after it when a merge of the same day left one already.
QString mergeBackupPath(const QString& folder, const QString& datedBackupName);

} // namespace krvs::checklist
