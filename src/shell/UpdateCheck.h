#pragma once
#include <QString>

// The update notice: a newer program in the update folder is recognised by the version
// marker compiled into every build. The candidate file is only read, never run.
namespace UpdateCheck {

// The text in front of the version in every binary.
QString MarkerPrefix();
// The version of this program (the one in its own marker).
QString OwnVersion();
// The marker text as it stands in the binary, e.g. "MIRELO-VERSION:0.1.0".
const char *OwnMarker();

// Reads at most this many bytes of a candidate file.
constexpr qint64 MaxScanBytes = qint64(1) << 30;

// The version in the marker of a program file; empty when the file cannot be read or has
// no marker. The file is scanned in bounded chunks.
QString ReadVersionMarker(const QString &binaryPath, qint64 maxBytes = MaxScanBytes);

// Field by field ("." separated, each compared as a number): the first field where the
// candidate is greater makes it newer, the first where it is smaller makes it not newer.
bool IsNewerVersion(const QString &candidate, const QString &own);

// The file with the program's own name in the update folder when its version is newer
// than ownVersion; empty otherwise (no folder, no file, no marker, not newer).
QString FindNewerProgram(const QString &updateFolder, const QString &programPath,
                         const QString &ownVersion = OwnVersion());

} // namespace UpdateCheck
