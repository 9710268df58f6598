/* The in-process COM server of the 32-bit test program. Nothing loads it:
 * it carries the two exports that make a DLL a COM server, so that the
 * class the installer registers names a file of the right kind. */
#include <windows.h>

__declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void **object) {
  (void)clsid;
  (void)iid;
  *object = NULL;
  return CLASS_E_CLASSNOTAVAILABLE;
}

__declspec(dllexport) HRESULT WINAPI DllRegisterServer(void) { return S_OK; }
