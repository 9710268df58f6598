// The COM class checks of the "ActiveX / OLE" section: class registrations
// under the context's root that name an application identifier or a type
// library that is not registered under HKEY_CLASSES_ROOT. Both run on the
// scan thread, report through the context and stop before the next class
// once running is cleared. Registry failures skip the class concerned.
#pragma once

#include "scanners/scan_context.h"

namespace orvane {

// Classes whose "AppID" value names a missing HKEY_CLASSES_ROOT\AppID key.
void CheckClassAppIds(ScanContext& context);
// Classes whose TypeLib subkey's default value names a missing
// HKEY_CLASSES_ROOT\TypeLib key.
void CheckClassTypeLibs(ScanContext& context);

}  // namespace orvane
