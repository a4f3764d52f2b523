#pragma once

// Paths as the system spells them: bytes, whatever their encoding (an archive unpacked from an older system
// holds names in GBK). They are kept so from the command line and the folder listing to the open and the
// output's name, and decoded only to be shown.

#include <QByteArray>
#include <QString>

#include <optional>

namespace FilePaths {

// The last component: "a.jpg" of "x/a.jpg".
QByteArray fileName(const QByteArray &path);
// The file name up to its last dot, which its extension follows: "trip.day1" of "trip.day1.jpg".
QByteArray stem(const QByteArray &fileName);
// All before the last component: "x" of "x/a.jpg", "." of "a.jpg", "/" of "/a.jpg".
QByteArray folder(const QByteArray &path);
// `a`/`b`, or either alone when the other is empty (or `a` is ".").
QByteArray join(const QByteArray &a, const QByteArray &b);

// The path without "." components and repeated or trailing slashes, and without a leading slash: the relative
// path it keeps below an output folder. None when the path climbs out with "..".
std::optional<QByteArray> relativeLayout(const QByteArray &path);

// The same entry however it is spelled: its folder resolved, its own name as it is (a link at the name is
// the link, not what it points to).
QByteArray entryIdentity(const QByteArray &path);

// The entry at the path as the system finds it (a link at the name is the link), the same however the path is
// spelled and however the file system compares names: its device and inode, or empty where there is none.
QByteArray entryOf(const QByteArray &path);

// Makes the folder and those above it; false, with errno telling why, when one cannot be made.
bool makeFolders(const QByteArray &path);

// The path for a message: as it is where it is valid UTF-8 and printable, otherwise quoted as `ls` quotes it,
// with the bytes that are no text written as $'\ooo'.
QString shown(const QByteArray &path);

} // namespace FilePaths
