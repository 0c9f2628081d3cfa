#pragma once

#include <QString>

// Where the connection file is saved. It holds passwords, and the temporary
// directory on Linux is shared by every account: the file goes into a folder
// only this user can enter. On Windows the temporary directory is per-user
// already and is used as it is.

// The folder for tmp.rdp: the account's private runtime folder
// (privateRuntimeFolder in app/PrivateFiles.h), which the rendezvous of the
// running launcher shares.
QString privateDownloadFolder(const QString &tempDir, const QString &runtimeDir);

// The same for this process's temporary directory and XDG_RUNTIME_DIR; the
// folder found is kept for the process's lifetime while it stays private.
QString privateDownloadFolder();

// A new folder of this user's own inside folder for one desktop's connection
// file, named after this process so that a later start can tell it from a
// live launcher's; "" when none can be made.
QString makeDesktopFolder(const QString &folder);

// Removes the desktop folders in folder that no running process owns any
// more (a launcher that was killed), and a tmp.rdp of earlier versions lying
// there. Folders of running launchers stay.
void removeStaleDesktopFolders(const QString &folder);

// An earlier version left tmp.rdp readable by everybody in the shared temporary
// directory: removed when this user owns it. Links and others' files stay.
void removeStaleConnectionFile(const QString &tempDir);

// Narrows the saved connection file to owner read and write.
void makeOwnerOnly(const QString &filePath);
