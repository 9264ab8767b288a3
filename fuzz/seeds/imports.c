typedef int BOOL;
__declspec(dllimport) int HostAdd(int a, int b);
__declspec(dllimport) void HostNotify(unsigned reason);
__declspec(dllimport) int HostOrdinal(void);

__declspec(dllexport) int Global = 42;
__declspec(dllexport) int* GlobalPointer = &Global;
static const char Text[] = "fixture";
__declspec(dllexport) const char* TextPointer = Text;

__declspec(dllexport) int CallHost(int a, int b) { return HostAdd(a, b) * 100 + HostOrdinal(); }
__declspec(dllexport) int* AddressOfGlobal(void) { return &Global; }

BOOL DllMain(void* module, unsigned reason, void* reserved)
{
    (void)module; (void)reserved;
    HostNotify(reason);
    return 1;
}
