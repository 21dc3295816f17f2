#pragma once

class QWidget;
class TdmMain;

// Gives the entry manager its windows for merging, for a new password and
// for picking an entry, and the entry editor its password window; owner is
// the window they belong to. Uninstall takes them back (and ends a picker
// kept between requests).
void InstallEntryTransferWindows(TdmMain& dmMain, QWidget* owner);
void UninstallEntryTransferWindows(TdmMain& dmMain);
