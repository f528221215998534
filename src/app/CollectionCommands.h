#pragma once

namespace krvs {

class frmKRVS;

// File > Merge Checklist...: a newer checklist (CSV or another catalogue) merged
// into the open catalogue after a preview, with a backup first.
void mnuMerge_Click(frmKRVS& w);

// Tools > Collection Summary...: owned against total per series and category.
void mnuSummary_Click(frmKRVS& w);

} // namespace krvs
