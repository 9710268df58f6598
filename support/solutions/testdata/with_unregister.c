/* A DLL that could unregister itself: exports DllUnregisterServer. */
int __stdcall DllMain(void* instance, unsigned long reason, void* reserved) {
  (void)instance;
  (void)reason;
  (void)reserved;
  return 1;
}
__declspec(dllexport) long __stdcall DllRegisterServer(void) { return 0; }
__declspec(dllexport) long __stdcall DllUnregisterServer(void) { return 0; }
