#pragma once
// Adjustments of standard Qt controls that the main window's look needs: editable selectors
// that always show the start of their text with a drop-down list wide enough for every item,
// and page tabs drawn as flat buttons. Main (GUI) thread only.
class QComboBox;
class QLineEdit;
class QTabBar;

namespace lum {

// An editable selector narrower than its texts shows their beginning: whenever its text is
// set by the program or an item is picked, the cursor goes to the start of the text (the
// field never stays scrolled to the end); while the user types, the cursor follows the
// typing, and leaving the field brings the start back into view.
void KeepTextStartInView(QComboBox& box);

// Width the drop-down list needs to show its longest item in full.
int PopupWidthForItems(const QComboBox& box);
// Makes the drop-down list at least PopupWidthForItems wide, kept up to date as items change.
void FitPopupToItems(QComboBox& box);

// A password field whose characters show as "*" (the system's mask character may be
// another, such as a dot): echo mode Password with the mask set.
void MaskWithAsterisks(QLineEdit& edit);

// Tabs as flat buttons: no tab frame and no base line, each tab a button with a thin border
// and rounded corners, the current one shown pressed.
void StyleTabsAsFlatButtons(QTabBar& tabs);

}  // namespace lum
