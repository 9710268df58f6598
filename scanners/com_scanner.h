// The COM class checks of the "ActiveX / OLE" section: class registrations
// under the context's root that name an application identifier or a type
// library that is not registered under HKEY_CLASSES_ROOT, or a server file
// that is missing. All run on the scan thread in the context's view (the
// class, the identifiers it names and its files are looked up as a program
// of that view would), report through the context and stop before the next
// class once running is cleared. Registry failures skip the class concerned.
#pragma once

#include "scanners/scan_context.h"

namespace orvane {

// Classes whose "AppID" value names a missing HKEY_CLASSES_ROOT\AppID key.
void CheckClassAppIds(ScanContext& context);
// Classes whose TypeLib subkey's default value names a missing
// HKEY_CLASSES_ROOT\TypeLib key.
void CheckClassTypeLibs(ScanContext& context);
// Classes whose InprocServer32 default value names a missing DLL, or whose
// LocalServer32 command line names a missing program. A bare file name is
// looked for where Windows loads it from: the view's system folder
// (system32, or syswow64 for the 32-bit view), then the Windows folder.
// Values that name no file of a drive (a relative path, nothing) are left
// alone.
void CheckClassServers(ScanContext& context);

}  // namespace orvane
