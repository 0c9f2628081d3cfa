#pragma once

#include <QString>

// Settings and logs hold a remembered password and the portal's replies. On a
// machine shared by several accounts only their owner may read them: folders
// are kept at 0700, files at 0600, whatever the umask. Each call says whether
// the path is owner-only afterwards; a mode that cannot be changed stays as
// it is, and the caller decides what to say. On Windows the per-user folder
// already keeps others out: nothing here does anything, and all is well.

// Creates dir (with its parents) as a folder only its owner may enter, or
// narrows an existing one to the owner's bits.
bool makeOwnerOnlyDirectory(const QString &dir);

// Creates an empty file at path with owner-only modes when there is none, so
// whatever writes it next never exposes it, or narrows an existing one.
bool makeOwnerOnlyFile(const QString &path);

// Narrows an existing folder or file to the owner's bits; never widens. False
// for a path that is missing or a link, which is never followed.
bool narrowToOwner(const QString &path);

// Opens path for appending, created with owner-only modes or narrowed to them.
// Returns the descriptor (the caller closes it), or -1. On Windows: -1.
int openOwnerOnlyForAppend(const QString &path);

// A folder (not a link to one) of this user that nobody else may enter. On
// Windows: any existing folder.
bool isPrivateDirectory(const QString &path);

// The account's own folder for this program's files of one session (a
// desktop's connection file, the rendezvous of the running launcher):
// "velmoclient" under runtimeDir when that is a private folder of this user,
// else "velmoclient-<uid>" in tempDir; when that name is taken by anything
// that is not this user's private folder (a planted file, folder or link,
// which is never followed), a fresh folder with an unguessable name in
// tempDir. Returns tempDir itself only when no folder can be made. On Windows
// the temporary folder is per-user already and is returned as it is.
QString privateRuntimeFolder(const QString &tempDir, const QString &runtimeDir);
