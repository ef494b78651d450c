// The three reconciliation passes between the placement table and the windows
// that exist right now. Each takes a fresh snapshot and the current layout key
// and works only in that layout's part of the table.
#pragma once

// Binds snapshot windows to records: a stored, unbound record moves its window
// back to the stored place; a new key learns the window's present place.
void RestorePass();

// Unbinds every record of the current layout whose window is not in the snapshot.
void ReleasePass();

// Copies each bound window's position into the first record (byte order) bound
// to it, and re-arms the save for each such window.
void RecordPass();
