/* A DLL of either width that exports one function, named by EXPORT. */
__declspec(dllexport) int EXPORT(void)
{
    return sizeof(void*);
}
