#pragma once

class QWidget;

namespace krvs {

// Centres child over parent (outer frames, no clamping to the screen).
void CenterForm(QWidget* parent, QWidget* child);

// Sizes a form so that its inner area is width x height twips.
void SetClientSize(QWidget* form, int widthTwips, int heightTwips);

} // namespace krvs
