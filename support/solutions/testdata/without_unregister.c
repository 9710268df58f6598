/* A DLL with exports, none of them DllUnregisterServer. */
int __stdcall DllMain(void* instance, unsigned long reason, void* reserved) {
  (void)instance;
  (void)reason;
  (void)reserved;
  return 1;
}
__declspec(dllexport) long __stdcall DllRegisterServer(void) { return 0; }
__declspec(dllexport) int Unregister(void) { return 1; }
