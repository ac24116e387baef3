#pragma once
#include <QString>

// The program folder of the original: definition files (ZPA), language files (ini),
// manuals. Stored paths use '\' and were made on a case-insensitive file system.
namespace DataDir {

// Explicit folder (from --data); empty restores the automatic choice.
void setOverride(const QString &dir);
// --data, else $MIRELO_DATA_DIR, else share/mirelo beside the binary, else the source tree's data/.
QString path();
// The choice behind path(), given its inputs: the first non-empty of explicitDir and
// envDir; else <programDir>/../share/mirelo when it holds a ZPA folder (an installed
// program); else sourceDir. Returned as an absolute, clean path.
QString choose(const QString &explicitDir, const QString &envDir, const QString &programDir,
               const QString &sourceDir);
// Path below the data folder for a relative name like "ZPA\\Z202 PA004-DE.ZPA", each
// component matched case-insensitively. When nothing matches, the name as given below the folder.
QString resolve(const QString &relative);
// The same for an arbitrary (absolute or relative) path.
QString resolvePath(const QString &path);

} // namespace DataDir
